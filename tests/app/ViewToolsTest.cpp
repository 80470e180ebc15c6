// The view's tools, zooming and panning, and the layer and point commands,
// driven by keys and the mouse on the real view.

#include "AppTestSupport.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::WaitUntil;

const std::filesystem::path kExample = std::filesystem::path(SUNDREL_EXAMPLES_DIR) / "example.dvk";

class ViewToolsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        form = std::make_unique<TSundrelForm>();
        ASSERT_TRUE(test::ShowAndOpen(*form, kExample));
        test::Settle();
        view = form->Viewer().View();
    }

    std::unique_ptr<TSundrelForm> form;
    TOpenGLControl* view = nullptr;
};

TEST_F(ViewToolsTest, KeysChooseToolsAndModifiersSwitchThemWhileHeld)
{
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Z);
    EXPECT_EQ(form->Tools().CurrentTool(), Tool::Zoom);
    EXPECT_EQ(form->Tools().ToolText(), "Zoom");
    EXPECT_TRUE(form->Tools().ToolAction(Tool::Zoom)->isChecked());
    QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(form->Tools().EffectiveTool(), Tool::Unzoom);
    EXPECT_EQ(form->Tools().ToolText(), "Unzoom");
    QTest::keyRelease(view, Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(form->Tools().EffectiveTool(), Tool::Zoom);

    QTest::keyClick(view, Qt::Key_A);
    EXPECT_EQ(form->Tools().CurrentTool(), Tool::AddPoint);
    QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(form->Tools().EffectiveTool(), Tool::MovePoint);
    QTest::keyRelease(view, Qt::Key_Control, Qt::NoModifier);
    QTest::keyPress(view, Qt::Key_Space);
    EXPECT_EQ(form->Tools().EffectiveTool(), Tool::Move);
    EXPECT_EQ(form->Tools().ToolText(), "Move");
    QTest::keyRelease(view, Qt::Key_Space);
    EXPECT_EQ(form->Tools().EffectiveTool(), Tool::AddPoint);
    QTest::keyClick(view, Qt::Key_S);
    EXPECT_EQ(form->Tools().ToolText(), "Select");
}

// The tool and layer buttons as an accessibility client toggles them: what
// a button then shows is what is in force, also when it was already on.
TEST_F(ViewToolsTest, ButtonsApplyWhatAnAccessibilityClientToggles)
{
    const auto toggle = [](QToolButton* button) {
        ASSERT_NE(button, nullptr);
        test::Toggle(button);
    };
    QToolButton* select = nullptr;
    for (const auto tool : {Tool::Zoom, Tool::AddPoint, Tool::Select}) {
        QToolButton* button = nullptr;
        for (QToolButton* b : form->findChildren<QToolButton*>())
            if (b->defaultAction() == form->Tools().ToolAction(tool))
                button = b;
        toggle(button);
        EXPECT_EQ(form->Tools().CurrentTool(), tool);
        EXPECT_TRUE(button->isChecked());
        select = button;
    }
    toggle(select); // the tool in force stays on, and shown
    test::Settle(50);
    EXPECT_EQ(form->Tools().CurrentTool(), Tool::Select);
    EXPECT_TRUE(select->isChecked());
    QToolButton* last = nullptr;
    for (int layer : {0, 3, 4, 1}) {
        last = qobject_cast<QToolButton*>(form->LayerControls().LayerButton(layer));
        toggle(last);
        EXPECT_EQ(form->Document().ActiveLayer(), layer);
        EXPECT_TRUE(last->isChecked());
    }
    toggle(last);
    test::Settle(50);
    EXPECT_EQ(form->Document().ActiveLayer(), 1);
    EXPECT_TRUE(last->isChecked());
}

TEST_F(ViewToolsTest, ZoomRectangleZoomInOutAndPanning)
{
    const MBounds start = form->Viewer().CurrentView();
    form->Tools().SetTool(Tool::Zoom);
    // A rectangle a quarter of the view across zooms four times.
    const QPoint a(view->width() / 4, view->height() / 4);
    const QPoint b(view->width() / 2, view->height() / 2);
    QTest::mousePress(view, Qt::LeftButton, {}, a);
    QTest::mouseMove(view, b);
    QTest::mouseRelease(view, Qt::LeftButton, {}, b);
    // (Pixel corners: within a pixel of a quarter.)
    EXPECT_NEAR(form->Viewer().CurrentView().Width(), start.Width() / 4, start.Width() / view->width());
    const auto zoom = [&] { return form->Viewer().ZoomText().chopped(2).toInt(); };
    EXPECT_NEAR(zoom(), 400, 3);
    EXPECT_FALSE(form->Modified());

    // A click without a rectangle zooms in by 2; Unzoom by 2 the other way.
    const QPoint centre(view->width() / 2, view->height() / 2);
    const int zoomed = zoom();
    QTest::mouseClick(view, Qt::LeftButton, {}, centre);
    EXPECT_NEAR(zoom(), 2 * zoomed, 2);
    form->Tools().SetTool(Tool::Unzoom);
    QTest::mouseClick(view, Qt::LeftButton, {}, centre);
    EXPECT_NEAR(zoom(), zoomed, 2);

    // Grabbing the map and dragging it left shows what lies to the right.
    form->Tools().SetTool(Tool::Move);
    const MBounds before = form->Viewer().CurrentView();
    QTest::mousePress(view, Qt::LeftButton, {}, centre);
    QTest::mouseMove(view, centre - QPoint(50, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, centre - QPoint(50, 0));
    const double unitsPerPixel = before.Width() / view->width();
    EXPECT_NEAR(form->Viewer().CurrentView().xMin - before.xMin, 50 * unitsPerPixel, unitsPerPixel);
    EXPECT_EQ(form->Viewer().CurrentView().yMax, before.yMax);

    form->Viewer().ZoomOutAction()->trigger();
    form->Viewer().ResetZoomAction()->trigger();
    EXPECT_EQ(form->Viewer().ZoomText(), "100 %");
}

TEST_F(ViewToolsTest, LayerAndPointCommandsMarkTheDocumentModified)
{
    EXPECT_EQ(form->Document().ActiveLayer(), 1);
    form->LayerControls().LayerAction(3)->trigger();
    EXPECT_EQ(form->Document().ActiveLayer(), 3);
    EXPECT_TRUE(form->Modified());
    form->SetModified(false);

    QAction* hideOriginal = nullptr;
    for (QAction* action : form->LayerControls().PointsMenu()->actions())
        if (action->text() == "Hide original points")
            hideOriginal = action;
    ASSERT_NE(hideOriginal, nullptr);
    hideOriginal->trigger();
    EXPECT_FALSE(form->Document().LayerVisible(0));
    EXPECT_TRUE(form->Modified());

    form->LayerControls().HideUnactiveLayersCommand();
    for (int layer = 0; layer < 5; ++layer)
        EXPECT_EQ(form->Document().LayerVisible(layer), layer == 3) << layer;
    EXPECT_TRUE(form->LayerControls().VisibleAction()->isChecked());
    form->LayerControls().VisibleAction()->trigger(); // hides the active layer
    EXPECT_FALSE(form->Document().LayerVisible(3));
    form->LayerControls().ShowAllLayersCommand();
    for (int layer = 0; layer < 5; ++layer)
        EXPECT_TRUE(form->Document().LayerVisible(layer)) << layer;
}

// With no map the tool bar's picture buttons look disabled, as their menu
// items are: their pictures are faint until a map is open.
TEST(ToolBarLookTest, PictureButtonsLookDisabledWithoutAMap)
{
    QSettings().clear();
    TSundrelForm form;
    form.show();
    ASSERT_TRUE(WaitUntil([&] { return form.Viewer().View()->Initialized(); }, 20000));
    QList<QToolButton*> buttons;
    for (const char* bar : {"Tools", "Layers"})
        for (QToolButton* button : form.findChild<QToolBar*>(bar)->findChildren<QToolButton*>())
            if (button->defaultAction() && !button->defaultAction()->icon().isNull())
                buttons << button;
    ASSERT_GE(buttons.size(), 10);
    const auto dark = [&] {
        QList<int> counts;
        for (QToolButton* button : buttons) {
            const QImage image = button->grab().toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += qGray(image.pixel(x, y)) < 110;
            counts << count;
        }
        return counts;
    };
    const QList<int> without = dark();
    ASSERT_TRUE(test::ShowAndOpen(form, kExample));
    test::Settle();
    const QList<int> with = dark();
    for (qsizetype i = 0; i < buttons.size(); ++i)
        EXPECT_LT(without[i] * 4, with[i]) << buttons[i]->text().toStdString();
}

} // namespace
