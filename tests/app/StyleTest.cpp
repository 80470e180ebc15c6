// The property buttons of the layer tool bar on the real window: swatches,
// the colour table's base, the colour dialog, the size menus, and result
// layer styles that become the defaults of new layers and are remembered.

#include "AppTestSupport.h"
#include "app/shell/SundrelForm.h"
#include "app/style/StyleMenus.h"
#include "app/view/OpenGLControl.h"
#include "common/ColourTable.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"

#include <QAction>
#include <QColorDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

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

class StyleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        Open();
    }

    // A new window, with the example document unless `document` is false
    // (a document brings its own result-layer defaults).
    void Open(bool document = true)
    {
        form = std::make_unique<TSundrelForm>();
        ASSERT_TRUE(test::ShowAndOpen(*form, document ? kExample : std::filesystem::path()));
        if (!document)
            return;
        ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
        test::Settle();
        ASSERT_EQ(form->Layers().layer(0)->name, "distances");
    }

    // Closing the window writes the settings; a new one reads them.
    void Restart()
    {
        form->SetModified(false);
        form->close();
        form.reset();
        Open(false);
    }

    // A single-run analysis of random distances on the open map.
    void AddSingleRunLayer()
    {
        AnalysisRequest request;
        request.store = std::make_unique<MatrixFile>(
            std::filesystem::path(dir.path().toStdString()) / "single.dat");
        const std::int32_t n = form->Map()->N();
        request.store->initialize(n);
        std::mt19937 rng(7);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        std::vector<double> values(static_cast<std::size_t>(n) * static_cast<std::size_t>(n - 1) / 2);
        for (double& v : values)
            v = u(rng);
        SMatrix matrix;
        matrix.assign(n, std::move(values));
        request.store->writeMatrix(matrix);
        request.single = true;
        request.sundrels = 1;
        request.title = "added";
        const std::int32_t before = form->Layers().count();
        ASSERT_TRUE(form->Layers().newAnalysis(std::move(request)));
        ASSERT_TRUE(WaitUntil(
            [&] { return form->Layers().count() == before + 1 && test::LayersComputed(*form); }));
    }

    void SelectTarget(int target)
    {
        form->LayerControls().ChooseActiveLayer(target);
        ASSERT_EQ(form->Document().ActiveLayer(), target);
    }

    QTemporaryDir dir;
    std::unique_ptr<TSundrelForm> form;
};

TEST_F(StyleTest, SwatchForSingleRunSundrelsBecomesTheDefaultAndIsRemembered)
{
    form->Layers().activate(0);
    SelectTarget(TOpenDocument::kSundrelsTarget);
    const std::uint32_t before = form->Layers().layer(0)->lineColor;
    TColourMenu* menu = form->Styles().ColourMenu();
    ASSERT_EQ(menu->Count(), 64);
    EXPECT_EQ(menu->CheckedIndex(), NearestColour(form->Document().ColourTable(), before));
    const int chosen = (menu->CheckedIndex() + 5) % menu->Count();
    const std::uint32_t colour = form->Document().ColourTable()[static_cast<std::size_t>(chosen)];
    ASSERT_NE(colour, before);

    form->SetModified(false);
    menu->popup(form->Styles().ColourButton()->mapToGlobal(QPoint(0, form->Styles().ColourButton()->height())));
    ASSERT_TRUE(WaitUntil([&] { return menu->isVisible(); }, 5000));
    test::Settle();
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString::fromStdString(
        (std::filesystem::path(SUNDREL_SCREENSHOT_DIR) / "colour-menu.png").string()));
    QTest::mouseClick(menu->SwatchButton(chosen), Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !menu->isVisible(); }, 5000));

    EXPECT_EQ(form->Layers().layer(0)->lineColor, colour);
    EXPECT_EQ(form->Layers().styles.singleColor, colour);
    EXPECT_NE(form->Layers().styles.multipleColor, colour);
    EXPECT_EQ(menu->CheckedIndex(), chosen);
    EXPECT_TRUE(form->Modified());

    AddSingleRunLayer();
    EXPECT_EQ(form->Layers().layer(form->Layers().count() - 1)->lineColor, colour);

    Restart();
    EXPECT_EQ(QSettings().value("MapEditor/SundrelSingleColor").toUInt(), colour);
    EXPECT_EQ(form->Layers().styles.singleColor, colour);
}

TEST_F(StyleTest, OnlyAChangeMarksTheDocumentModified)
{
    SelectTarget(3);
    form->SetModified(false);
    const float width = form->Map()->delaunayLineWidth;
    form->Styles().LineSizeMenu()->Entry(SizeEntry(width))->trigger();
    EXPECT_FALSE(form->Modified());
    form->Styles().ChooseSwatch(form->Styles().ColourMenu()->CheckedIndex());
    EXPECT_FALSE(form->Modified());

    const std::uint32_t present = form->Map()->layerColours[3];
    QColor started;
    test::WhenModal("ColorDialog", [&](QWidget* dialog) {
        auto* colours = qobject_cast<QColorDialog*>(dialog);
        ASSERT_NE(colours, nullptr);
        started = colours->currentColor();
        colours->setCurrentColor(QColor(1, 2, 3));
        colours->accept();
    });
    FindAction(form->Styles().ColourOptionsMenu(), "Other color...")->trigger();
    EXPECT_EQ(FromQColor(started), present);
    EXPECT_EQ(form->Map()->layerColours[3], 0x030201u);
    EXPECT_EQ(form->Settings().layerColourIndex[3], 0); // black is nearest
    EXPECT_TRUE(form->Modified());
}

TEST_F(StyleTest, FontDialogStartsFromTheTargetsFontAndSetsIt)
{
    const auto chooseFont = [&](const QFont& font) {
        QFont started;
        test::WhenModal("FontDialog", [&](QWidget* dialog) {
            auto* fonts = qobject_cast<QFontDialog*>(dialog);
            ASSERT_NE(fonts, nullptr);
            started = fonts->currentFont();
            fonts->setCurrentFont(font);
            fonts->accept();
        });
        QTest::mouseClick(form->Styles().FontButton(), Qt::LeftButton);
        return started;
    };
    QFont bold("DejaVu Sans", 12);
    bold.setBold(true);

    SelectTarget(2);
    form->SetModified(false);
    const int labelSize = form->Map()->font.size;
    EXPECT_EQ(chooseFont(bold).pointSize(), labelSize);
    EXPECT_EQ(form->Map()->font.size, 12);
    EXPECT_EQ(form->Map()->font.style, 0x1);
    EXPECT_EQ(form->Settings().font, form->Map()->font);
    EXPECT_TRUE(form->Modified());

    form->Layers().activate(0);
    SelectTarget(TOpenDocument::kTitlesTarget);
    const LayerFont before = form->Layers().layer(0)->font;
    EXPECT_EQ(chooseFont(QFont("DejaVu Sans", 15)).pointSize(), before.size);
    const LayerFont after = form->Layers().layer(0)->font;
    EXPECT_EQ(after.size, 15);
    EXPECT_EQ(form->Layers().styles.titleFont, after);
    EXPECT_NE(form->Layers().styles.valueFont, after);
}

TEST_F(StyleTest, EightColoursRemapEveryLayerToTheNearestCorner)
{
    QMenu* options = form->Styles().ColourOptionsMenu();
    QMenu* less = FindAction(options, "Less colors")->menu();
    QMenu* more = FindAction(options, "More colors")->menu();
    EXPECT_EQ(MenuTexts(less), QStringList({"8 colors (2x2x2)", "27 colors (3x3x3)"}));
    EXPECT_EQ(MenuTexts(more), QStringList({"125 colors (5x5x5)", "216 colors (6x6x6)"}));

    form->SetModified(false);
    FindAction(less, "8 colors (2x2x2)")->trigger();
    test::Settle(50);
    ASSERT_EQ(form->Document().ColourTableBase(), 2);
    EXPECT_EQ(form->Styles().ColourMenu()->Count(), 8);
    const std::vector<std::uint32_t> corners = BuildColourTable(2);
    for (std::size_t layer = 0; layer < 5; ++layer) {
        const std::uint32_t colour = form->Map()->layerColours[layer];
        const auto index = static_cast<std::size_t>(form->Settings().layerColourIndex[layer]);
        ASSERT_LT(index, corners.size());
        EXPECT_EQ(colour, corners[index]) << layer;
        // The default colours have channels of 0 and 170: 170 goes to 255.
        for (int shift : {0, 8, 16}) {
            const std::uint32_t channel = (colour >> shift) & 0xFF;
            EXPECT_TRUE(channel == 0 || channel == 255) << layer;
        }
    }
    EXPECT_EQ(form->Map()->layerColours[0], 0x0000FFu); // (170, 0, 0) -> (255, 0, 0)
    EXPECT_EQ(form->Map()->layerColours[1], 0xFFFF00u); // (0, 170, 170) -> (0, 255, 255)
    EXPECT_TRUE(form->Modified());
    EXPECT_FALSE(less->menuAction()->isEnabled());
    EXPECT_EQ(MenuTexts(more).size(), 4);
    EXPECT_EQ(MenuTexts(more).front(), "27 colors (3x3x3)");
}

TEST_F(StyleTest, SizeMenusListTheSizesAndCheckThePresentOne)
{
    QStringList captions{"1 pt"};
    for (int s : {2, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 16, 18, 20})
        captions << QString("%1 pts").arg(s);
    EXPECT_EQ(MenuTexts(form->Styles().LineSizeMenu()), captions);
    EXPECT_EQ(MenuTexts(form->Styles().PointSizeMenu()), captions);
    EXPECT_EQ(SizeEntry(1.0f), 0);
    EXPECT_EQ(SizeEntry(10.0f), 9);
    EXPECT_EQ(SizeEntry(11.0f), 9);
    EXPECT_EQ(SizeEntry(12.0f), 10);
    EXPECT_EQ(SizeEntry(20.0f), 14);
    EXPECT_EQ(SizeEntry(2.5f), 1);
    EXPECT_EQ(SizeEntry(0.5f), -1);
    EXPECT_EQ(SizeEntry(22.0f), -1);

    SelectTarget(3);
    form->SetModified(false);
    FindAction(form->Styles().LineSizeMenu(), "14 pts")->trigger();
    EXPECT_EQ(form->Map()->delaunayLineWidth, 14.0f);
    EXPECT_EQ(form->Settings().delaunayLineSize, 14.0f);
    EXPECT_EQ(form->Map()->voronoiLineWidth, 1.0f);
    EXPECT_EQ(form->Styles().LineSizeMenu()->CheckedEntry(), 11);
    EXPECT_TRUE(form->Modified());

    SelectTarget(0);
    EXPECT_EQ(form->Styles().PointSizeMenu()->CheckedEntry(), SizeEntry(form->Map()->originalPointSize));
    FindAction(form->Styles().PointSizeMenu(), "5 pts")->trigger();
    EXPECT_EQ(form->Map()->originalPointSize, 5.0f);
    EXPECT_EQ(form->Map()->virtualPointSize, 3.0f);

    // The sundrels of the active significance layer take line sizes only.
    form->Layers().activate(1);
    SelectTarget(TOpenDocument::kSundrelsTarget);
    FindAction(form->Styles().LineSizeMenu(), "6 pts")->trigger();
    EXPECT_EQ(form->Layers().layer(1)->lineSize, 6.0f);
    EXPECT_EQ(form->Layers().styles.multipleSize, 6.0f);
}

TEST_F(StyleTest, ButtonsFollowTheActiveTarget)
{
    struct Expected {
        int target;
        bool point, line, font;
    };
    form->Layers().activate(0);
    for (const Expected& e : {Expected{0, true, false, false}, Expected{1, true, false, false},
                              Expected{2, false, false, true}, Expected{3, false, true, false},
                              Expected{4, false, true, false}, Expected{5, false, true, false},
                              Expected{6, false, false, true}}) {
        SelectTarget(e.target);
        EXPECT_TRUE(form->Styles().ColourButton()->isEnabled()) << e.target;
        EXPECT_EQ(form->Styles().PointSizeButton()->isEnabled(), e.point) << e.target;
        EXPECT_EQ(form->Styles().LineSizeButton()->isEnabled(), e.line) << e.target;
        EXPECT_EQ(form->Styles().FontButton()->isEnabled(), e.font) << e.target;
    }
    for (QToolButton* button : {form->Styles().ColourButton(), form->Styles().LineSizeButton(),
                                form->Styles().PointSizeButton(), form->Styles().FontButton()})
        EXPECT_EQ(test::AccessibleName(button), button->text());
    EXPECT_EQ(form->Styles().ColourButton()->text(), "Color");
    EXPECT_EQ(form->Styles().FontButton()->text(), "Font");

    form->CloseMap();
    for (QToolButton* button : {form->Styles().ColourButton(), form->Styles().LineSizeButton(),
                                form->Styles().PointSizeButton(), form->Styles().FontButton()})
        EXPECT_FALSE(button->isEnabled());
}

TEST_F(StyleTest, UnusableStyleSettingsFallBackOneByOne)
{
    form->SetModified(false);
    form->close();
    form.reset();
    QSettings settings;
    settings.clear();
    settings.beginGroup("MapEditor");
    settings.setValue("SundrelSingleSize", "thick");
    settings.setValue("SundrelMultipleSize", 2.5);
    settings.setValue("SundrelSingleColor", -4);
    settings.setValue("SundrelMultipleColor", 0x123456);
    settings.setValue("SundrelTitleFontName", "");
    settings.setValue("SundrelTitleFontSize", 0);
    settings.setValue("SundrelValueFontName", "Courier");
    settings.setValue("SundrelValueFontStyle", 0x11);
    settings.endGroup();
    settings.sync();
    Open(false);
    const LayerStyles defaults;
    const LayerStyles& read = form->Layers().styles;
    EXPECT_EQ(read.singleSize, defaults.singleSize);
    EXPECT_EQ(read.multipleSize, 2.5f);
    EXPECT_EQ(read.singleColor, defaults.singleColor);
    EXPECT_EQ(read.multipleColor, 0x123456u);
    EXPECT_EQ(read.titleFont, defaults.titleFont);
    EXPECT_EQ(read.valueFont, (LayerFont{"Courier", defaults.valueFont.size, 0x11}));
}

} // namespace
