// Editing virtual points in the window with the mouse and the keys, and the
// edit history behind "Undo" and "Redo", driven through the real view.

#include "AppTestSupport.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewGeometry.h"
#include "model/EditHistory.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::WaitUntil;

const std::filesystem::path kExample = std::filesystem::path(SUNDREL_EXAMPLES_DIR) / "example.dvk";
const std::filesystem::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

std::string Bytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class EditingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        form = Open();
        view = form->Viewer().View();
        dir = std::filesystem::temp_directory_path() /
              ("sundrel-editing-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    static std::unique_ptr<test::Recording<TSundrelForm>> Open()
    {
        auto made = std::make_unique<test::Recording<TSundrelForm>>();
        EXPECT_TRUE(test::ShowAndOpen(*made, kExample));
        EXPECT_TRUE(WaitUntil([&] { return test::LayersComputed(*made); }));
        test::Settle();
        return made;
    }

    const MMap& Map() const { return *form->Map(); }
    MXY Virtual(std::int32_t slot) const { return Map().mesh.xy(Map().GetVirtualPoint(slot)); }
    QPoint Pixel(MXY at) const
    {
        return MapToPixel(form->Viewer().CurrentView(), view->width(), view->height(), at).toPoint();
    }
    MXY At(QPoint pixel) const
    {
        return PixelToMap(form->Viewer().CurrentView(), view->width(), view->height(), pixel.x(), pixel.y());
    }
    // A virtual point well inside the view.
    std::int32_t VisibleVirtualPoint() const
    {
        for (std::int32_t slot = 0; slot < Map().V(); ++slot) {
            const QPoint p = Pixel(Virtual(slot));
            if (p.x() > 40 && p.x() < view->width() - 40 && p.y() > 40 && p.y() < view->height() - 40)
                return slot;
        }
        return -1;
    }
    QString UndoText() const { return form->Editor().UndoAction()->text(); }
    QString RedoText() const { return form->Editor().RedoAction()->text(); }
    // "Save as" through the file dialog, once the layers are computed.
    bool SaveAs(const std::filesystem::path& file)
    {
        if (!WaitUntil([&] { return test::LayersComputed(*form); }))
            return false;
        bool missed = false;
        test::ChooseFile("SaveDialog", file, &missed);
        return form->SaveAsCommand() && !missed;
    }

    std::unique_ptr<test::Recording<TSundrelForm>> form;
    TOpenGLControl* view = nullptr;
    std::filesystem::path dir;
};

TEST_F(EditingTest, AddMoveAndRemoveWithTheMouseAreOneActionEach)
{
    const std::int32_t v = Map().V();
    EXPECT_FALSE(form->Editor().UndoAction()->isEnabled());
    EXPECT_FALSE(form->Editor().RedoAction()->isEnabled());

    // A click with "Add point" puts a point where the mouse is.
    form->Tools().SetTool(Tool::AddPoint);
    const QPoint click(view->width() / 2 + 3, view->height() / 2 + 5);
    QTest::mouseClick(view, Qt::LeftButton, {}, click);
    ASSERT_EQ(Map().V(), v + 1);
    EXPECT_EQ(Virtual(v).x, At(click).x);
    EXPECT_EQ(Virtual(v).y, At(click).y);
    EXPECT_EQ(Map().highlight.kind, 1);
    EXPECT_EQ(Map().highlight.first, v);
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(UndoText(), "Undo Add point (1)");
    EXPECT_EQ(RedoText(), "Redo (0)");

    // One drag, however many moves, is one action.
    form->Tools().SetTool(Tool::MovePoint);
    QTest::mousePress(view, Qt::LeftButton, {}, click);
    for (int step = 1; step <= 5; ++step)
        QTest::mouseMove(view, click + QPoint(10 * step, 4 * step));
    const QPoint end = click + QPoint(50, 20);
    QTest::mouseRelease(view, Qt::LeftButton, {}, end);
    ASSERT_EQ(Map().V(), v + 1);
    EXPECT_EQ(Virtual(v).x, At(end).x);
    EXPECT_EQ(Virtual(v).y, At(end).y);
    EXPECT_EQ(UndoText(), "Undo Move point (2)");
    EXPECT_EQ(form->Editor().DraggedPoint(), -1);

    // "Remove point" takes it away.
    form->Tools().SetTool(Tool::RemovePoint);
    QTest::mouseClick(view, Qt::LeftButton, {}, end);
    EXPECT_EQ(Map().V(), v);
    EXPECT_EQ(Map().highlight.kind, 5);
    EXPECT_EQ(UndoText(), "Undo Delete point (3)");

    // Two undos: the point is back where the drag started.
    form->Editor().UndoAction()->trigger();
    form->Editor().UndoAction()->trigger();
    ASSERT_EQ(Map().V(), v + 1);
    EXPECT_EQ(Virtual(v).x, At(click).x);
    EXPECT_EQ(Virtual(v).y, At(click).y);
    EXPECT_EQ(UndoText(), "Undo Add point (1)");
    EXPECT_EQ(RedoText(), "Redo Move point (2)");
    form->Editor().RedoAction()->trigger();
    EXPECT_EQ(Virtual(v).x, At(end).x);
    EXPECT_EQ(UndoText(), "Undo Move point (2)");
    EXPECT_EQ(RedoText(), "Redo Delete point (1)");

    // A new edit drops what could be redone; Ctrl+Z undoes it.
    form->Tools().SetTool(Tool::AddPoint);
    QTest::mouseClick(view, Qt::LeftButton, {}, click - QPoint(30, 30));
    EXPECT_EQ(Map().V(), v + 2);
    EXPECT_FALSE(form->Editor().RedoAction()->isEnabled());
    EXPECT_EQ(UndoText(), "Undo Add point (3)");
    // The shortcuts work in the active window.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Map().V(), v + 1);
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Map().V(), v + 2);
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join("; ").toStdString();
}

TEST_F(EditingTest, AddingFollowsTheMouseUntilReleasedAndRefusalsAreShown)
{
    const std::int32_t v = Map().V();
    form->Tools().SetTool(Tool::AddPoint);
    const QPoint press(view->width() / 2, view->height() / 2);
    const QPoint release = press + QPoint(-40, 25);
    QTest::mousePress(view, Qt::LeftButton, {}, press);
    QTest::mouseMove(view, press + QPoint(-20, 10));
    QTest::mouseMove(view, release);
    QTest::mouseRelease(view, Qt::LeftButton, {}, release);
    ASSERT_EQ(Map().V(), v + 1);
    EXPECT_EQ(Virtual(v).x, At(release).x);
    EXPECT_EQ(UndoText(), "Undo Add point (1)");

    // The same place again, and the grey margin beyond the outer bounds.
    QTest::mouseClick(view, Qt::LeftButton, {}, release);
    EXPECT_EQ(form->errors.value(0), "Duplicate point error");
    form->Viewer().ZoomOut();
    form->Viewer().ZoomOut();
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(form->errors.value(1), "The position lies outside the triangulation frame");
    EXPECT_EQ(Map().V(), v + 1);
    EXPECT_EQ(UndoText(), "Undo Add point (1)");
    form->Editor().UndoAction()->trigger();
    EXPECT_EQ(Map().V(), v);
}

TEST_F(EditingTest, ArrowsMoveTheHighlightedPointAndDeleteRemovesIt)
{
    const std::int32_t slot = VisibleVirtualPoint();
    ASSERT_GE(slot, 0);
    const std::int32_t v = Map().V();
    const MXY start = Virtual(slot);
    QTest::mouseClick(view, Qt::LeftButton, {}, Pixel(start));
    ASSERT_EQ(Map().highlight.kind, 1);
    ASSERT_EQ(Map().highlight.first, slot);

    // A run of the key (held down: presses without releases) is one action.
    const double unit = form->Viewer().CurrentView().Width() / view->width();
    QTest::keyPress(view, Qt::Key_Right);
    QTest::keyPress(view, Qt::Key_Right);
    QTest::keyPress(view, Qt::Key_Right);
    QTest::keyRelease(view, Qt::Key_Right);
    const MXY moved = Virtual(Map().highlight.first);
    EXPECT_NEAR(moved.x, start.x + 3 * unit, 1e-9 * std::abs(start.x) + 1e-12);
    EXPECT_EQ(moved.y, start.y);
    EXPECT_EQ(UndoText(), "Undo Move point (1)");
    // Ctrl moves ten pixels' worth; a new run is a new action.
    const double vertical = form->Viewer().CurrentView().Height() / view->height();
    QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_NEAR(Virtual(Map().highlight.first).y, start.y - 10 * vertical, 1e-9 * std::abs(start.y));
    EXPECT_EQ(UndoText(), "Undo Move point (2)");

    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Map().V(), v - 1);
    EXPECT_EQ(UndoText(), "Undo Delete point (3)");
    form->Editor().UndoAction()->trigger();
    EXPECT_EQ(Map().highlight.kind, 1);
    form->Editor().UndoAction()->trigger();
    form->Editor().UndoAction()->trigger();
    EXPECT_EQ(Map().V(), v);
    EXPECT_EQ(Virtual(Map().highlight.first).x, start.x);
    EXPECT_EQ(Virtual(Map().highlight.first).y, start.y);
}

TEST_F(EditingTest, DeleteOnADelaunayEdgeAddsItsMiddle)
{
    // Only the Delaunay layer is shown, so that the click finds an edge.
    form->LayerControls().LayerAction(3)->trigger();
    form->LayerControls().HideUnactiveLayersCommand();
    const MPolygon& cell = Map().cells[5];
    const std::int32_t other = cell.neighbours[0];
    ASSERT_GE(other, 0);
    const MPolygon& next = Map().cells[static_cast<std::size_t>(other)];
    const MXY middle{(cell.siteX + next.siteX) / 2, (cell.siteY + next.siteY) / 2};
    QTest::mouseClick(view, Qt::LeftButton, {}, Pixel(middle));
    ASSERT_EQ(Map().highlight.kind, 4);
    const MPolygon& a = Map().cells[static_cast<std::size_t>(Map().highlight.first)];
    const MPolygon& b = Map().cells[static_cast<std::size_t>(Map().highlight.second)];
    const MXY expected{(a.siteX + b.siteX) / 2, (a.siteY + b.siteY) / 2};
    const std::int32_t v = Map().V();
    QTest::keyClick(view, Qt::Key_Backspace);
    ASSERT_EQ(Map().V(), v + 1);
    EXPECT_EQ(Virtual(v).x, expected.x);
    EXPECT_EQ(Virtual(v).y, expected.y);
    EXPECT_EQ(Map().highlight.kind, 5);
    EXPECT_EQ(UndoText(), "Undo Add point (1)");
}

TEST_F(EditingTest, ADragStopsAtTheOuterBounds)
{
    form->Viewer().ZoomOut();
    form->Viewer().ZoomOut();
    const std::int32_t slot = VisibleVirtualPoint();
    ASSERT_GE(slot, 0);
    form->Tools().SetTool(Tool::MovePoint);
    const QPoint from = Pixel(Virtual(slot));
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QTest::mouseMove(view, QPoint(view->width() - 1, from.y()));
    QTest::mouseRelease(view, Qt::LeftButton, {}, QPoint(view->width() - 1, from.y()));
    const MXY end = Virtual(Map().highlight.first);
    EXPECT_EQ(end.x, Map().outerBounds.xMax);
    EXPECT_EQ(UndoText(), "Undo Move point (1)");

    EXPECT_TRUE(form->errors.isEmpty());
}

TEST_F(EditingTest, UndoingEverythingGivesBackTheOpenedDocument)
{
    const std::filesystem::path before = dir / "before.dvk";
    const std::filesystem::path after = dir / "after.dvk";
    ASSERT_TRUE(SaveAs(before));

    const std::int32_t slot = VisibleVirtualPoint();
    ASSERT_GE(slot, 0);
    form->Tools().SetTool(Tool::MovePoint);
    const QPoint from = Pixel(Virtual(slot));
    QTest::mousePress(view, Qt::LeftButton, {}, from);
    QTest::mouseMove(view, from + QPoint(15, 15));
    QTest::mouseRelease(view, Qt::LeftButton, {}, from + QPoint(15, 15));
    form->Tools().SetTool(Tool::AddPoint);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() / 3));
    form->Editor().RemoveAllAction()->trigger();
    EXPECT_EQ(Map().V(), 0);
    EXPECT_EQ(UndoText(), "Undo Remove all (3)");
    while (form->Editor().UndoAction()->isEnabled())
        form->Editor().UndoAction()->trigger();
    EXPECT_EQ(form->Editor().History()->Position(), 0);
    ASSERT_TRUE(SaveAs(after));
    EXPECT_TRUE(Bytes(before) == Bytes(after));
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join("; ").toStdString();
}

TEST_F(EditingTest, ADamagedHistoryIsDroppedWithItsMessage)
{
    form->Tools().SetTool(Tool::AddPoint);
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 2, view->height() / 2));
    const std::int32_t v = Map().V();
    ASSERT_TRUE(form->Editor().UndoAction()->isEnabled());
    {
        // The add's item now claims a state that no action writes.
        std::fstream file(form->Editor().History()->path(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4);
        file.put(char(9));
    }
    form->Editor().UndoAction()->trigger();
    ASSERT_EQ(form->errors.size(), 1);
    EXPECT_EQ(form->Editor().History(), nullptr);
    EXPECT_FALSE(form->Editor().UndoAction()->isEnabled());
    EXPECT_FALSE(form->Editor().RedoAction()->isEnabled());
    EXPECT_EQ(Map().V(), v);
    // Editing goes on without a history.
    QTest::mouseClick(view, Qt::LeftButton, {}, QPoint(view->width() / 3, view->height() / 2));
    EXPECT_EQ(Map().V(), v + 1);
    EXPECT_FALSE(form->Editor().UndoAction()->isEnabled());
}

TEST_F(EditingTest, EditsWhileTheLayersComputeAndTwoWindowsEditingApart)
{
    auto second = Open();
    ASSERT_NE(second->Editor().History(), nullptr);
    EXPECT_NE(second->Editor().History()->path(), form->Editor().History()->path());
    const std::int32_t v = Map().V();

    // Each arrow step cancels the layers' computation and starts it again.
    const std::int32_t slot = VisibleVirtualPoint();
    ASSERT_GE(slot, 0);
    QTest::mouseClick(view, Qt::LeftButton, {}, Pixel(Virtual(slot)));
    ASSERT_EQ(Map().highlight.kind, 1);
    for (int i = 0; i < 20; ++i) {
        QTest::keyPress(view, i % 2 ? Qt::Key_Up : Qt::Key_Left, Qt::ControlModifier);
        QTest::qWait(i * 3);
    }
    QTest::keyRelease(view, Qt::Key_Left, Qt::ControlModifier);
    ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
    EXPECT_EQ(Map().V(), v);
    EXPECT_EQ(second->Map()->V(), v);
    EXPECT_FALSE(second->Editor().UndoAction()->isEnabled());
    EXPECT_TRUE(form->Editor().UndoAction()->isEnabled());

    const std::filesystem::path history = second->Editor().History()->path();
    second->CloseMap();
    EXPECT_FALSE(std::filesystem::exists(history));
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join("; ").toStdString();
}

TEST_F(EditingTest, TheHighlightedPointBlinksInTheZoomedViewAndTheEditMenuNamesTheActions)
{
    form->Viewer().ZoomIn();
    EXPECT_EQ(form->Viewer().ZoomText(), "200 %");
    form->Viewer().ResetZoom();
    const std::int32_t slot = VisibleVirtualPoint();
    ASSERT_GE(slot, 0);
    const QPoint at = Pixel(Virtual(slot));
    form->Tools().SetTool(Tool::MovePoint);
    QTest::mousePress(view, Qt::LeftButton, {}, at);
    QTest::mouseMove(view, at + QPoint(-30, 20));
    QTest::mouseRelease(view, Qt::LeftButton, {}, at + QPoint(-30, 20));
    // A zoom rectangle around it.
    form->Tools().SetTool(Tool::Zoom);
    const QPoint near = Pixel(Virtual(Map().highlight.first));
    QTest::mousePress(view, Qt::LeftButton, {}, near - QPoint(120, 90));
    QTest::mouseMove(view, near + QPoint(120, 90));
    QTest::mouseRelease(view, Qt::LeftButton, {}, near + QPoint(120, 90));
    const QPoint moved = Pixel(Virtual(Map().highlight.first));
    ASSERT_TRUE(view->rect().contains(moved));

    // The highlight is drawn black every other blink, the point's own
    // colour in between.
    const auto blackAround = [&](const QImage& image) {
        int black = 0;
        for (int y = moved.y() - 6; y <= moved.y() + 6; ++y)
            for (int x = moved.x() - 6; x <= moved.x() + 6; ++x)
                black += image.valid(x, y) && image.pixel(x, y) == qRgb(0, 0, 0);
        return black;
    };
    int on = 0;
    int off = 0;
    for (int i = 0; i < 8 && (on == 0 || off == 0); ++i) {
        test::Settle(180);
        const QImage image = view->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        (blackAround(image) > 10 ? on : off) += 1;
        if (on == 1 && blackAround(image) > 10)
            form->grab().save(QString::fromStdString((kScreenshotDir / "sundrel-editing.png").string()));
    }
    EXPECT_GT(on, 0);
    EXPECT_GT(off, 0);

    form->Tools().SetTool(Tool::AddPoint);
    QTest::mouseClick(view, Qt::LeftButton, {}, moved + QPoint(40, 40));
    form->Editor().UndoAction()->trigger();
    form->Editor().EditMenu()->popup(form->mapToGlobal(QPoint(60, 30)));
    ASSERT_TRUE(WaitUntil([&] { return form->Editor().EditMenu()->isVisible(); }));
    test::Settle();
    EXPECT_EQ(UndoText(), "Undo Move point (1)");
    EXPECT_EQ(RedoText(), "Redo Add point (1)");
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString::fromStdString((kScreenshotDir / "sundrel-edit-menu.png").string()));
    form->Editor().EditMenu()->close();
}

} // namespace
