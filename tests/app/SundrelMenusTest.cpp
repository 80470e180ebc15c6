// The result layers' menus on the real window: each layer's entry in the
// "Sundrels" menu with its context menu, and the three style targets with
// their Layers menu items, their buttons and the visibility button.

#include "AppTestSupport.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
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
const std::filesystem::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

QStringList Titles(const QList<QMenu*>& menus)
{
    QStringList titles;
    for (QMenu* menu : menus)
        titles << menu->title();
    return titles;
}

QStringList Texts(const QMenu* menu)
{
    QStringList texts;
    for (QAction* action : menu->actions())
        texts << action->text();
    return texts;
}

QAction* Find(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    return nullptr;
}

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
        form->resize(900, 700);
        form->show();
        ASSERT_TRUE(WaitUntil([&] { return form->View()->Initialized(); }, 20000));
        ASSERT_TRUE(form->OpenDocument(QString::fromStdString(kExample.string())));
        ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
        test::Settle();
        ASSERT_EQ(form->Layers().layer(0)->name, "distances");
        ASSERT_EQ(form->Layers().layer(1)->name, "resampled");
    }

    void TearDown() override
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        form->SetModified(false);
    }

    // Opens the item captioned `caption` of `menu` (a menu of the menu bar,
    // popped up as a user does) with the keyboard, and returns its sub-menu
    // once shown.
    QMenu* OpenSubmenu(QMenu* menu, const QString& caption)
    {
        menu->popup(form->mapToGlobal(QPoint(40, 40)));
        EXPECT_TRUE(WaitUntil([&] { return menu->isVisible(); }, 5000));
        QAction* item = Find(menu, caption);
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
    QMenu* OpenEntry(const QString& name) { return OpenSubmenu(form->SundrelsMenu(), name); }

    // Clicks an item of an open menu; the menus close.
    void Click(QMenu* menu, const QString& text)
    {
        QAction* action = Find(menu, text);
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
    EXPECT_GT(CountPixels(form->View()->grabFramebuffer(), colour), 50);

    EXPECT_EQ(Texts(OpenEntry("distances")),
              QStringList({"Activate", "", "Configure...", "Show report", "", "Sundrel selection...",
                           "", "Show sundrel trace", "", "Show sundrels", "Hide sundrels",
                           "Show labels", "Hide labels", "", "Foreground", "Move front",
                           "Move back", "Background", "", "Remove"}));
    Click(OpenEntry("distances"), "Hide sundrels");
    EXPECT_FALSE(layers.layer(0)->visible);
    EXPECT_FALSE(layers.layer(0)->labelsVisible);
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(CountPixels(form->View()->grabFramebuffer(), colour), 0);

    // Hidden sundrels offer to be shown, with or without their labels.
    QMenu* entry = OpenEntry("distances");
    EXPECT_TRUE(Find(entry, "Show sundrels")->isVisible());
    EXPECT_FALSE(Find(entry, "Hide sundrels")->isVisible());
    EXPECT_TRUE(Find(entry, "Show labels")->isVisible());
    EXPECT_FALSE(Find(entry, "Hide labels")->isVisible());
    Click(entry, "Show labels");
    EXPECT_TRUE(layers.layer(0)->visible && layers.layer(0)->labelsVisible);
    EXPECT_GT(CountPixels(form->View()->grabFramebuffer(), colour), 50);
}

TEST_F(SundrelMenusTest, ContextMenusFollowTheKindTheActiveLayerAndTheDrawingOrder)
{
    MonmonierLayer& layers = form->Layers();
    ASSERT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(Titles(form->LayerEntries()), QStringList({"distances", "resampled"}));
    // The entries come right after the nine fixed items.
    EXPECT_EQ(form->SundrelsMenu()->actions().at(9), form->LayerEntries().at(0)->menuAction());
    const std::int32_t active = layers.activeIndex();
    ASSERT_GE(active, 0);
    EXPECT_TRUE(form->LayerEntries().at(active)->menuAction()->isChecked());
    EXPECT_FALSE(form->LayerEntries().at(1 - active)->menuAction()->isChecked());

    QMenu* front = OpenEntry("resampled");
    test::Settle(100);
    QGuiApplication::primaryScreen()->grabWindow(0).save(
        QString::fromStdString((kScreenshotDir / "sundrel-layer-menu.png").string()));
    EXPECT_FALSE(Find(front, "Foreground")->isEnabled());
    EXPECT_FALSE(Find(front, "Move front")->isEnabled());
    EXPECT_TRUE(Find(front, "Move back")->isEnabled());
    EXPECT_TRUE(Find(front, "Sundrel selection...")->isEnabled());
    EXPECT_FALSE(Find(front, "Show sundrel trace")->isEnabled());
    EXPECT_EQ(Find(front, "Activate")->isVisible(), active != 1);
    CloseMenus();

    QMenu* back = OpenEntry("distances");
    EXPECT_TRUE(Find(back, "Move front")->isEnabled());
    EXPECT_FALSE(Find(back, "Move back")->isEnabled());
    EXPECT_FALSE(Find(back, "Background")->isEnabled());
    EXPECT_FALSE(Find(back, "Sundrel selection...")->isEnabled());
    Click(back, "Show sundrel trace");
    EXPECT_TRUE(layers.layer(0)->showTrace());
    EXPECT_NE(Find(OpenEntry("distances"), "Hide sundrel trace"), nullptr);
    CloseMenus();

    form->SetModified(false);
    Click(OpenEntry("distances"), "Foreground");
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{1, 0}));
    EXPECT_EQ(Titles(form->LayerEntries()), QStringList({"resampled", "distances"}));
    QMenu* moved = OpenEntry("distances");
    EXPECT_FALSE(Find(moved, "Move front")->isEnabled());
    EXPECT_TRUE(Find(moved, "Move back")->isEnabled());
    CloseMenus();
    EXPECT_TRUE(Find(OpenEntry("resampled"), "Move front")->isEnabled());
    CloseMenus();

    Click(OpenEntry(active == 0 ? "resampled" : "distances"), "Activate");
    EXPECT_EQ(layers.activeIndex(), 1 - active);
    EXPECT_FALSE(Find(OpenEntry(active == 0 ? "resampled" : "distances"), "Activate")->isVisible());
}

TEST_F(SundrelMenusTest, RemovingTheFirstLayerLeavesTheOtherEntryActingOnIt)
{
    MonmonierLayer& layers = form->Layers();
    Click(OpenEntry("distances"), "Remove");
    ASSERT_EQ(layers.count(), 1);
    EXPECT_EQ(Titles(form->LayerEntries()), QStringList({"resampled"}));
    EXPECT_EQ(Texts(form->TargetMenu(TSundrelForm::kSundrelsTarget, TSundrelForm::TargetPlace::Button)),
              QStringList({"resampled"}));
    EXPECT_TRUE(form->TargetMenu(TSundrelForm::kTitlesTarget, TSundrelForm::TargetPlace::LayersMenu)
                    ->isEmpty());

    Click(OpenEntry("resampled"), "Hide labels");
    EXPECT_EQ(layers.layer(0)->name, "resampled");
    EXPECT_TRUE(layers.layer(0)->visible);
    EXPECT_FALSE(layers.layer(0)->labelsVisible);
    Click(OpenEntry("resampled"), "Remove");
    EXPECT_EQ(layers.count(), 0);
    EXPECT_TRUE(form->LayerEntries().isEmpty());
}

TEST_F(SundrelMenusTest, TitlesAndNumbersFollowTheActiveLayersKind)
{
    MonmonierLayer& layers = form->Layers();
    // "Sundrels" in the Layers menu, then the significance layer in it.
    QMenu* sundrels = OpenSubmenu(form->LayersMenu(), "Sundrels");
    EXPECT_EQ(form->ActiveLayer(), TSundrelForm::kSundrelsTarget);
    Click(sundrels, "resampled");
    EXPECT_EQ(layers.activeIndex(), 1);
    EXPECT_EQ(form->ActiveLayerText(), "resampled (sundrels)");
    EXPECT_TRUE(form->LayerAction(TSundrelForm::kSundrelsTarget)->isChecked());

    QMenu* titles = OpenSubmenu(form->LayersMenu(), "Sundrel title");
    EXPECT_EQ(form->ActiveLayer(), TSundrelForm::kNumbersTarget);
    EXPECT_EQ(form->ActiveLayerText(), "resampled (numbers)");
    // Only single-run layers are listed under titles: choosing one makes
    // the target titles.
    EXPECT_EQ(Texts(titles), QStringList({"distances"}));
    Click(titles, "distances");
    EXPECT_EQ(layers.activeIndex(), 0);
    EXPECT_EQ(form->ActiveLayer(), TSundrelForm::kTitlesTarget);
    EXPECT_EQ(form->ActiveLayerText(), "distances (titles)");
    OpenSubmenu(form->LayersMenu(), "Sundrel numbers");
    EXPECT_EQ(form->ActiveLayer(), TSundrelForm::kTitlesTarget);
    CloseMenus();

    // The visibility button: titles hide and show the labels (showing them
    // shows the sundrels too); sundrels hide both.
    QAction* visible = form->VisibleAction();
    EXPECT_TRUE(visible->isEnabled() && visible->isChecked());
    visible->trigger();
    EXPECT_TRUE(layers.layer(0)->visible);
    EXPECT_FALSE(layers.layer(0)->labelsVisible);
    layers.layer(0)->visible = false;
    visible->trigger();
    EXPECT_TRUE(layers.layer(0)->visible && layers.layer(0)->labelsVisible);
    OpenSubmenu(form->LayersMenu(), "Sundrels");
    CloseMenus();
    EXPECT_TRUE(visible->isChecked());
    visible->trigger();
    EXPECT_FALSE(layers.layer(0)->visible || layers.layer(0)->labelsVisible);
    EXPECT_FALSE(visible->isChecked());

    // Without layers a target selects nothing.
    Find(form->SundrelsMenu(), "Remove all")->trigger();
    ASSERT_EQ(layers.count(), 0);
    EXPECT_EQ(form->ActiveLayer(), -1);
    QTest::mouseClick(form->LayerButton(TSundrelForm::kTitlesTarget), Qt::LeftButton);
    CloseMenus();
    EXPECT_EQ(form->ActiveLayer(), -1);
    form->LayerAction(3)->trigger();
    ASSERT_EQ(form->ActiveLayer(), 3);
    OpenSubmenu(form->LayersMenu(), "Sundrels");
    CloseMenus();
    EXPECT_EQ(form->ActiveLayer(), -1);
    EXPECT_EQ(form->ActiveLayerText(), "Active layer");
    for (int target = 5; target <= 7; ++target)
        EXPECT_FALSE(form->LayerAction(target)->isChecked()) << target;
}

TEST_F(SundrelMenusTest, TargetButtonsAreNamedAndPopUpTheirLayersBelowThemselves)
{
    const char* const hints[3] = {"Sundrels", "Single sundrel titles", "Multiple sundrel numbers"};
    const QStringList lists[3] = {{"distances", "resampled"}, {"distances"}, {"resampled"}};
    for (int t = 0; t < 3; ++t) {
        const int target = TSundrelForm::kSundrelsTarget + t;
        QWidget* button = form->LayerButton(target);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(test::AccessibleName(button), hints[t]);
        EXPECT_EQ(button->toolTip(), hints[t]);
        EXPECT_FALSE(static_cast<QToolButton*>(button)->icon().isNull());

        form->SetModified(false);
        QTest::mouseClick(button, Qt::LeftButton);
        QMenu* popup = form->TargetMenu(target, TSundrelForm::TargetPlace::Button);
        ASSERT_TRUE(WaitUntil([&] { return popup->isVisible(); }, 5000)) << hints[t];
        EXPECT_EQ(popup->geometry().top(), button->mapToGlobal(QPoint(0, button->height())).y());
        EXPECT_EQ(Texts(popup), lists[t]);
        EXPECT_TRUE(form->Modified());
        EXPECT_GE(form->ActiveLayer(), TSundrelForm::kSundrelsTarget);
        CloseMenus();
    }
}

} // namespace
