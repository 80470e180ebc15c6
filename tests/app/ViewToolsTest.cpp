// The view's tools, zooming and panning, and the layer and point commands,
// driven by keys and the mouse on the real view.

#include "AppTestSupport.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"

#include <QAction>
#include <QMenu>
#include <QSettings>
#include <QTest>
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
        view = form->View();
    }

    std::unique_ptr<TSundrelForm> form;
    TOpenGLControl* view = nullptr;
};

TEST_F(ViewToolsTest, KeysChooseToolsAndModifiersSwitchThemWhileHeld)
{
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Z);
    EXPECT_EQ(form->CurrentTool(), TMainForm::Tool::Zoom);
    EXPECT_EQ(form->ToolText(), "Zoom");
    EXPECT_TRUE(form->ToolAction(TMainForm::Tool::Zoom)->isChecked());
    QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
    EXPECT_EQ(form->EffectiveTool(), TMainForm::Tool::Unzoom);
    EXPECT_EQ(form->ToolText(), "Unzoom");
    QTest::keyRelease(view, Qt::Key_Shift, Qt::NoModifier);
    EXPECT_EQ(form->EffectiveTool(), TMainForm::Tool::Zoom);

    QTest::keyClick(view, Qt::Key_A);
    EXPECT_EQ(form->CurrentTool(), TMainForm::Tool::AddPoint);
    QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_EQ(form->EffectiveTool(), TMainForm::Tool::MovePoint);
    QTest::keyRelease(view, Qt::Key_Control, Qt::NoModifier);
    QTest::keyPress(view, Qt::Key_Space);
    EXPECT_EQ(form->EffectiveTool(), TMainForm::Tool::Move);
    EXPECT_EQ(form->ToolText(), "Move");
    QTest::keyRelease(view, Qt::Key_Space);
    EXPECT_EQ(form->EffectiveTool(), TMainForm::Tool::AddPoint);
    QTest::keyClick(view, Qt::Key_S);
    EXPECT_EQ(form->ToolText(), "Select");
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
    for (const auto tool : {TMainForm::Tool::Zoom, TMainForm::Tool::AddPoint, TMainForm::Tool::Select}) {
        QToolButton* button = nullptr;
        for (QToolButton* b : form->findChildren<QToolButton*>())
            if (b->defaultAction() == form->ToolAction(tool))
                button = b;
        toggle(button);
        EXPECT_EQ(form->CurrentTool(), tool);
        EXPECT_TRUE(button->isChecked());
        select = button;
    }
    toggle(select); // the tool in force stays on, and shown
    test::Settle(50);
    EXPECT_EQ(form->CurrentTool(), TMainForm::Tool::Select);
    EXPECT_TRUE(select->isChecked());
    QToolButton* last = nullptr;
    for (int layer : {0, 3, 4, 1}) {
        last = qobject_cast<QToolButton*>(form->LayerButton(layer));
        toggle(last);
        EXPECT_EQ(form->ActiveLayer(), layer);
        EXPECT_TRUE(last->isChecked());
    }
    toggle(last);
    test::Settle(50);
    EXPECT_EQ(form->ActiveLayer(), 1);
    EXPECT_TRUE(last->isChecked());
}

TEST_F(ViewToolsTest, ZoomRectangleZoomInOutAndPanning)
{
    const ViewRect start = form->CurrentView();
    form->SetTool(TMainForm::Tool::Zoom);
    // A rectangle a quarter of the view across zooms four times.
    const QPoint a(view->width() / 4, view->height() / 4);
    const QPoint b(view->width() / 2, view->height() / 2);
    QTest::mousePress(view, Qt::LeftButton, {}, a);
    QTest::mouseMove(view, b);
    QTest::mouseRelease(view, Qt::LeftButton, {}, b);
    // (Pixel corners: within a pixel of a quarter.)
    EXPECT_NEAR(form->CurrentView().Width(), start.Width() / 4, start.Width() / view->width());
    const auto zoom = [&] { return form->ZoomText().chopped(2).toInt(); };
    EXPECT_NEAR(zoom(), 400, 3);
    EXPECT_FALSE(form->Modified());

    // A click without a rectangle zooms in by 2; Unzoom by 2 the other way.
    const QPoint centre(view->width() / 2, view->height() / 2);
    const int zoomed = zoom();
    QTest::mouseClick(view, Qt::LeftButton, {}, centre);
    EXPECT_NEAR(zoom(), 2 * zoomed, 2);
    form->SetTool(TMainForm::Tool::Unzoom);
    QTest::mouseClick(view, Qt::LeftButton, {}, centre);
    EXPECT_NEAR(zoom(), zoomed, 2);

    // Grabbing the map and dragging it left shows what lies to the right.
    form->SetTool(TMainForm::Tool::Move);
    const ViewRect before = form->CurrentView();
    QTest::mousePress(view, Qt::LeftButton, {}, centre);
    QTest::mouseMove(view, centre - QPoint(50, 0));
    QTest::mouseRelease(view, Qt::LeftButton, {}, centre - QPoint(50, 0));
    const double unitsPerPixel = before.Width() / view->width();
    EXPECT_NEAR(form->CurrentView().left - before.left, 50 * unitsPerPixel, unitsPerPixel);
    EXPECT_EQ(form->CurrentView().top, before.top);

    form->ZoomOutAction()->trigger();
    form->ResetZoomAction()->trigger();
    EXPECT_EQ(form->ZoomText(), "100 %");
}

TEST_F(ViewToolsTest, LayerAndPointCommandsMarkTheDocumentModified)
{
    EXPECT_EQ(form->ActiveLayer(), 1);
    form->LayerAction(3)->trigger();
    EXPECT_EQ(form->ActiveLayer(), 3);
    EXPECT_TRUE(form->Modified());
    form->SetModified(false);

    QAction* hideOriginal = nullptr;
    for (QAction* action : form->PointsMenu()->actions())
        if (action->text() == "Hide original points")
            hideOriginal = action;
    ASSERT_NE(hideOriginal, nullptr);
    hideOriginal->trigger();
    EXPECT_FALSE(form->LayerVisible(0));
    EXPECT_TRUE(form->Modified());

    form->HideUnactiveLayersCommand();
    for (int layer = 0; layer < 5; ++layer)
        EXPECT_EQ(form->LayerVisible(layer), layer == 3) << layer;
    EXPECT_TRUE(form->VisibleAction()->isChecked());
    form->VisibleAction()->trigger(); // hides the active layer
    EXPECT_FALSE(form->LayerVisible(3));
    form->ShowAllLayersCommand();
    for (int layer = 0; layer < 5; ++layer)
        EXPECT_TRUE(form->LayerVisible(layer)) << layer;
}

} // namespace
