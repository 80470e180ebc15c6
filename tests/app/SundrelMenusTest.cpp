// The result layers' menus on the real window: each layer's entry in the
// "Sundrels" menu with its context menu, and the three style targets with
// their Layers menu items, their buttons and the visibility button.

#include "AppTestSupport.h"
#include "app/analysis/SundrelMonmonierDialog.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "support/CliRunner.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::WaitUntil;

const std::filesystem::path kExample = std::filesystem::path(SUNDREL_EXAMPLES_DIR) / "example.dvk";

using test::FindAction;
using test::MenuTexts;

int CountPixels(const QImage& image, std::uint32_t colour)
{
    // Document colours are 0x00BBGGRR.
    const QRgb pixel = qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == pixel;
    return count;
}

class SundrelMenusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        form = std::make_unique<TSundrelForm>();
        ASSERT_TRUE(test::ShowAndOpen(*form, kExample));
        ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
        test::Settle();
        ASSERT_EQ(form->Layers().layer(0)->name, "distances");
        ASSERT_EQ(form->Layers().layer(1)->name, "resampled");
    }

    void TearDown() override { CloseMenus(); }

    // Opens the item captioned `caption` of `menu` (a menu of the menu bar,
    // popped up as a user does) with the keyboard, and returns its sub-menu
    // once shown.
    QMenu* OpenSubmenu(QMenu* menu, const QString& caption)
    {
        menu->popup(form->mapToGlobal(QPoint(40, 40)));
        EXPECT_TRUE(WaitUntil([&] { return menu->isVisible(); }, 5000));
        QAction* item = FindAction(menu, caption);
        if (!item || !item->menu()) {
            ADD_FAILURE() << "no sub-menu " << caption.toStdString();
            return nullptr;
        }
        menu->setActiveAction(item);
        QTest::keyClick(menu, Qt::Key_Right);
        EXPECT_TRUE(WaitUntil([&] { return item->menu()->isVisible(); }, 5000));
        return item->menu();
    }

    // The context menu of the layer named `name`, opened from the
    // "Sundrels" menu.
    QMenu* OpenEntry(const QString& name) { return OpenSubmenu(form->ResultMenus().SundrelsMenu(), name); }

    // Clicks an item of an open menu; the menus close.
    void Click(QMenu* menu, const QString& text)
    {
        QAction* action = FindAction(menu, text);
        ASSERT_NE(action, nullptr) << text.toStdString();
        ASSERT_TRUE(action->isVisible() && action->isEnabled()) << text.toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
        WaitUntil([&] { return !QApplication::activePopupWidget(); }, 5000);
    }

    void CloseMenus()
    {
        while (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    std::unique_ptr<TSundrelForm> form;
};

TEST_F(SundrelMenusTest, HidingALayersSundrelsTakesItsColourOffTheView)
{
    MonmonierLayer& layers = form->Layers();
    const std::uint32_t colour = layers.layer(0)->lineColor;
    ASSERT_NE(colour, layers.layer(1)->lineColor);
    EXPECT_GT(CountPixels(form->Viewer().View()->grabFramebuffer(), colour), 50);
    Click(OpenEntry("distances"), "Hide sundrels");
    EXPECT_FALSE(layers.layer(0)->visible || layers.layer(0)->labelsVisible);
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(CountPixels(form->Viewer().View()->grabFramebuffer(), colour), 0);

    // Hidden sundrels offer to be shown with their labels.
    Click(OpenEntry("distances"), "Show labels");
    EXPECT_TRUE(layers.layer(0)->visible && layers.layer(0)->labelsVisible);
}

TEST_F(SundrelMenusTest, ContextMenusFollowTheKindTheActiveLayerAndTheDrawingOrder)
{
    MonmonierLayer& layers = form->Layers();
    ASSERT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{0, 1}));
    QMenu* front = OpenEntry("resampled");
    EXPECT_FALSE(FindAction(front, "Move front")->isEnabled());
    EXPECT_TRUE(FindAction(front, "Sundrel selection...")->isEnabled());
    EXPECT_FALSE(FindAction(front, "Show sundrel trace")->isEnabled());
    test::Settle();
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString::fromStdString((std::filesystem::path(SUNDREL_SCREENSHOT_DIR) / "sundrels-menu.png").string()));
    CloseMenus();
    QMenu* back = OpenEntry("distances");
    EXPECT_TRUE(FindAction(back, "Move front")->isEnabled());
    EXPECT_FALSE(FindAction(back, "Move back")->isEnabled());
    EXPECT_FALSE(FindAction(back, "Sundrel selection...")->isEnabled());
    Click(back, "Show sundrel trace");
    EXPECT_TRUE(layers.layer(0)->showTrace());
    EXPECT_NE(FindAction(OpenEntry("distances"), "Hide sundrel trace"), nullptr);
    CloseMenus();

    form->SetModified(false);
    Click(OpenEntry("distances"), "Foreground");
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{1, 0}));
    // The entries follow the ten fixed items in the new order.
    EXPECT_EQ(MenuTexts(form->ResultMenus().SundrelsMenu()).mid(10), QStringList({"resampled", "distances"}));
    EXPECT_FALSE(FindAction(OpenEntry("distances"), "Move front")->isEnabled());
    CloseMenus();
    EXPECT_TRUE(FindAction(OpenEntry("resampled"), "Move front")->isEnabled());
    CloseMenus();

    // "Activate" is offered for the inactive layer only.
    const QString other = layers.activeIndex() == 0 ? "resampled" : "distances";
    Click(OpenEntry(other), "Activate");
    EXPECT_EQ(QString::fromStdString(layers.activeLayer()->name), other);
    EXPECT_FALSE(FindAction(OpenEntry(other), "Activate")->isVisible());
}

TEST_F(SundrelMenusTest, RemovingTheFirstLayerLeavesTheOtherEntryActingOnIt)
{
    MonmonierLayer& layers = form->Layers();
    Click(OpenEntry("distances"), "Remove");
    ASSERT_EQ(layers.count(), 1);
    EXPECT_EQ(MenuTexts(form->ResultMenus().SundrelsMenu()).mid(10), QStringList({"resampled"}));
    Click(OpenEntry("resampled"), "Hide labels");
    EXPECT_EQ(layers.layer(0)->name, "resampled");
    EXPECT_TRUE(layers.layer(0)->visible);
    EXPECT_FALSE(layers.layer(0)->labelsVisible);
}

TEST_F(SundrelMenusTest, TitlesAndNumbersFollowTheActiveLayersKind)
{
    MonmonierLayer& layers = form->Layers();
    Click(OpenSubmenu(form->LayerControls().LayersMenu(), "Sundrels"), "resampled");
    EXPECT_EQ(form->LayerControls().ActiveLayerText(), "resampled (sundrels)");
    EXPECT_TRUE(form->LayerControls().LayerAction(TOpenDocument::kSundrelsTarget)->isChecked());

    // Titles of a significance layer are its numbers; titles list single
    // runs only, and choosing one makes the target titles again.
    QMenu* titles = OpenSubmenu(form->LayerControls().LayersMenu(), "Sundrel title");
    EXPECT_EQ(form->LayerControls().ActiveLayerText(), "resampled (numbers)");
    EXPECT_EQ(MenuTexts(titles), QStringList({"distances"}));
    Click(titles, "distances");
    EXPECT_EQ(form->LayerControls().ActiveLayerText(), "distances (titles)");
    OpenSubmenu(form->LayerControls().LayersMenu(), "Sundrel numbers");
    CloseMenus();
    EXPECT_EQ(form->Document().ActiveLayer(), TOpenDocument::kTitlesTarget);

    // The visibility button: labels for titles (showing them shows the
    // sundrels too), both for sundrels.
    QAction* visible = form->LayerControls().VisibleAction();
    visible->trigger();
    EXPECT_TRUE(layers.layer(0)->visible);
    EXPECT_FALSE(layers.layer(0)->labelsVisible);
    layers.layer(0)->visible = false;
    visible->trigger();
    EXPECT_TRUE(layers.layer(0)->visible && layers.layer(0)->labelsVisible);
    OpenSubmenu(form->LayerControls().LayersMenu(), "Sundrels");
    CloseMenus();
    visible->trigger();
    EXPECT_FALSE(layers.layer(0)->visible || layers.layer(0)->labelsVisible);

    // Without layers a target selects nothing, from a button or the menu.
    FindAction(form->ResultMenus().SundrelsMenu(), "Remove all")->trigger();
    EXPECT_EQ(form->Document().ActiveLayer(), -1);
    QTest::mouseClick(form->LayerControls().LayerButton(TOpenDocument::kTitlesTarget), Qt::LeftButton);
    CloseMenus();
    EXPECT_EQ(form->Document().ActiveLayer(), -1);
    EXPECT_FALSE(form->LayerControls().LayerAction(TOpenDocument::kTitlesTarget)->isChecked());
    form->LayerControls().LayerAction(3)->trigger();
    OpenSubmenu(form->LayerControls().LayersMenu(), "Sundrels");
    CloseMenus();
    EXPECT_EQ(form->Document().ActiveLayer(), -1);
    EXPECT_EQ(form->LayerControls().ActiveLayerText(), "Active layer");
}

TEST_F(SundrelMenusTest, TargetButtonsAreNamedAndPopUpTheirLayersBelowThemselves)
{
    const char* const hints[3] = {"Sundrels", "Single sundrel titles", "Multiple sundrel numbers"};
    const QStringList lists[3] = {{"distances", "resampled"}, {"distances"}, {"resampled"}};
    for (int t = 0; t < 3; ++t) {
        const int target = TOpenDocument::kSundrelsTarget + t;
        QWidget* button = form->LayerControls().LayerButton(target);
        EXPECT_EQ(test::AccessibleName(button), hints[t]);
        QTest::mouseClick(button, Qt::LeftButton);
        QMenu* popup = form->ResultMenus().TargetMenu(target, TResultLayerMenus::TargetPlace::Button);
        ASSERT_TRUE(WaitUntil([&] { return popup->isVisible(); }, 5000)) << hints[t];
        EXPECT_EQ(popup->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());
        EXPECT_EQ(MenuTexts(popup), lists[t]);
        CloseMenus();
    }
}

// "Hide unactive layers" keeps only the active result layer while a
// result-layer target is chosen, and hides every result layer for a map
// layer; "Show all layers" shows them all again.
TEST_F(SundrelMenusTest, ShowAllAndHideUnactiveLayersReachTheResultLayers)
{
    MonmonierLayer& layers = form->Layers();
    const auto shown = [&](std::int32_t i) {
        return layers.layer(i)->visible && layers.layer(i)->labelsVisible;
    };
    layers.activate(1);
    form->LayerControls().ChooseActiveLayer(TOpenDocument::kSundrelsTarget);
    form->LayerControls().HideUnactiveLayersCommand();
    EXPECT_FALSE(shown(0));
    EXPECT_TRUE(shown(1));
    form->LayerControls().ShowAllLayersCommand();
    EXPECT_TRUE(shown(0) && shown(1));
    form->LayerControls().ChooseActiveLayer(3); // Delaunay
    form->LayerControls().HideUnactiveLayersCommand();
    EXPECT_FALSE(layers.layer(0)->visible || layers.layer(1)->visible);
    EXPECT_TRUE(form->Document().LayerVisible(3));
    EXPECT_FALSE(form->Document().LayerVisible(4));
    form->LayerControls().ShowAllLayersCommand();
    EXPECT_TRUE(layers.allShown());
    EXPECT_TRUE(form->Modified());
}

// "Stop" in the status window takes a new analysis back at either stage:
// while its matrices are sorted, and once its layer is in the menus. The
// document is as it was, and the next analysis runs.
TEST_F(SundrelMenusTest, StopInTheStatusWindowTakesTheAnalysisBack)
{
    MonmonierLayer& layers = form->Layers();
    auto* status = form->findChild<TSundrelMonmonierDialog*>();
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->StopButton()->isEnabled());
    test::TempDir dir("stop");
    const std::int32_t n = form->Map()->N();
    const auto request = [&](std::int32_t m, const std::string& title) {
        AnalysisRequest r;
        r.store = std::make_unique<MatrixFile>(dir / (title + ".dat"));
        r.store->initialize(n);
        std::mt19937 rng(static_cast<unsigned>(m));
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::int32_t k = 0; k < m; ++k) {
            std::vector<double> values(static_cast<std::size_t>(PairCount(n)));
            for (double& v : values)
                v = u(rng);
            SMatrix matrix;
            matrix.assign(n, std::move(values));
            r.store->writeMatrix(matrix);
        }
        r.single = m == 1;
        r.sundrels = r.single ? 3 : 20;
        r.title = title;
        return r;
    };
    for (const bool whileConstructing : {false, true}) {
        ASSERT_TRUE(form->StartAnalysis(request(1500, "long")));
        // Once its layer is in, the document is modified.
        if (whileConstructing)
            ASSERT_TRUE(WaitUntil([&] { return form->Modified(); }, 30000));
        EXPECT_EQ(layers.count(), whileConstructing ? 3 : 2);
        ASSERT_TRUE(status->StopButton()->isEnabled());
        if (whileConstructing)
            status->grab().save(QString::fromStdString(
                (std::filesystem::path(SUNDREL_SCREENSHOT_DIR) / "status-stop.png").string()));
        QTest::mouseClick(status->StopButton(), Qt::LeftButton);
        EXPECT_EQ(layers.count(), 2);
        EXPECT_TRUE(WaitUntil([&] { return status->Label()->text() == "Cancelled"; }));
        test::Settle(100);
        EXPECT_EQ(layers.count(), 2);
        EXPECT_FALSE(form->Modified());
        EXPECT_FALSE(status->StopButton()->isEnabled());
        EXPECT_EQ(MenuTexts(form->ResultMenus().SundrelsMenu()).mid(10),
                  QStringList({"distances", "resampled"}));
    }
    ASSERT_TRUE(form->StartAnalysis(request(1, "next")));
    ASSERT_TRUE(WaitUntil([&] { return status->Label()->text() == "Done"; }, 30000));
    EXPECT_EQ(layers.count(), 3);
    EXPECT_TRUE(form->Modified());
}

} // namespace
