// The README's example study done through the windows: the map from the
// sites, a single run with three sundrels on the observed distances and a
// significance test on ten resampled matrices. Its reports and barriers are
// the command line's, byte for byte.

#include "AppTestSupport.h"
#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/ReportForm.h"
#include "app/analysis/SundrelSelection.h"
#include "app/importing/ImportForm.h"
#include "app/importing/ImportMatForm.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"
#include "support/CliRunner.h"

#include <QAbstractButton>
#include <QCryptographicHash>
#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QSettings>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::ChooseFile;
using test::LayersComputed;
using test::WaitUntil;
using test::WhenModal;

namespace fs = std::filesystem;

const fs::path kExamples = SUNDREL_EXAMPLES_DIR;
const fs::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

// The documents of the README's study as they must stay, byte for byte: the
// map (sundrel-cli map examples/sites.txt --first-line 2) and the document
// with both layers (then analyse with examples/distances.txt --sundrels 3,
// and with examples/resampled.txt --matrices 10 --gap 1 --sundrels 3), which
// is examples/example.dvk.
constexpr const char* kStudyMapSha256 =
    "b65840e2f6d7642724016397edcd3a4d5c3e81f86c840050ebd281896e1a8fb9";
constexpr const char* kStudyDocumentSha256 =
    "f47a94c7bfe0048af93e6ffb1710b1292f22b37872c094249d6bc44933811c11";

std::string Sha256(const fs::path& file)
{
    const std::string bytes = test::ReadFile(file);
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

struct MatrixLayout {
    int matrices;
    int gap;
};

class StudyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        form_ = std::make_unique<TSundrelForm>();
        form_->show();
        ASSERT_TRUE(WaitUntil([&] { return form_->Viewer().View()->Initialized(); }, 20000));
    }

    // "New..." with the study's sites, in `form` (the sundrel window's by
    // default).
    void NewMap(TMainForm* form = nullptr)
    {
        if (!form)
            form = form_.get();
        bool missed = false;
        ChooseFile("OpenDialog", kExamples / "sites.txt", &missed);
        WhenModal(
            "ImportForm",
            [](QWidget* dialog) {
                auto* importer = static_cast<TImportForm*>(dialog);
                importer->LinesEdit()->setValue(2);
                importer->NumberEdit()->setValue(40);
                ASSERT_TRUE(WaitUntil([&] { return importer->Idle() && importer->OKButton()->isEnabled(); }));
                QTest::mouseClick(importer->OKButton(), Qt::LeftButton);
            },
            &missed);
        form->findChild<QAction*>("NewAction")->trigger();
        ASSERT_FALSE(missed);
        ASSERT_NE(form->Map(), nullptr);
    }

    // "Sundrels" > "New...": the matrices of `file`, K sundrels.
    void Analyse(const fs::path& file, MatrixLayout layout, int sundrels, const char* shot)
    {
        const std::int32_t before = form_->Layers().count();
        bool missed = false;
        WhenModal(
            "MonmonierSetup",
            [&](QWidget* dialog) {
                auto* setup = static_cast<TMonmonierSetup*>(dialog);
                ChooseFile("LoadMatrixDialog", file, &missed);
                WhenModal(
                    "ImportMatForm",
                    [&](QWidget* d) {
                        auto* importer = static_cast<TImportMatForm*>(d);
                        ASSERT_TRUE(WaitUntil([&] { return !importer->Reading(); }));
                        importer->SquareBox()->setChecked(true);
                        importer->LinesEdit()->setValue(1);
                        importer->ColumnsEdit()->setValue(1);
                        importer->GapEdit()->setValue(layout.gap);
                        importer->MatricesEdit()->setValue(layout.matrices);
                        QTest::mouseClick(importer->ExtractButton(), Qt::LeftButton);
                        ASSERT_TRUE(WaitUntil([&] { return importer->OKButton()->isEnabled(); }));
                        importer->grab().save(QString::fromStdString((kScreenshotDir / shot).string()) +
                                              "-import.png");
                        QTest::mouseClick(importer->OKButton(), Qt::LeftButton);
                    },
                    &missed);
                QTest::mouseClick(setup->LoadButton(), Qt::LeftButton);
                ASSERT_TRUE(setup->OKButton()->isEnabled());
                // As an accessibility client chooses it: the layer is made
                // with the number shown.
                test::Toggle(setup->SundrelButton(sundrels));
                setup->grab().save(QString::fromStdString((kScreenshotDir / shot).string()) +
                                   "-setup.png");
                QTest::mouseClick(setup->OKButton(), Qt::LeftButton);
            },
            &missed);
        EXPECT_TRUE(form_->NewAnalysisCommand());
        ASSERT_FALSE(missed);
        ASSERT_TRUE(WaitUntil([&] {
            return form_->Layers().count() == before + 1 && LayersComputed(*form_);
        }));
    }

    // The report of layer i as the report window saves it.
    std::string SavedReport(int i, const fs::path& file)
    {
        form_->findChild<TReportForm*>()->ShowLayerReport(i);
        bool missed = false;
        ChooseFile("ReportSaveDialog", file, &missed);
        form_->findChild<TReportForm*>()->Save();
        EXPECT_FALSE(missed);
        return test::ReadFile(file);
    }

    test::TempDir dir_{"study"};
    std::unique_ptr<TSundrelForm> form_;
};

TEST_F(StudyTest, TheExampleThroughTheWindowsIsTheCommandLinesStudy)
{
    NewMap();
    Analyse(kExamples / "distances.txt", {1, 0}, 3, "study-single");
    Analyse(kExamples / "resampled.txt", {10, 1}, 3, "study-significance");
    ASSERT_EQ(form_->Layers().count(), 2);
    EXPECT_TRUE(form_->Layers().layer(0)->isSingle());
    EXPECT_FALSE(form_->Layers().layer(1)->isSingle());
    EXPECT_TRUE(form_->Modified());
    form_->grab().save(QString::fromStdString((kScreenshotDir / "study-window.png").string()));

    const fs::path document = dir_ / "study.dvk";
    bool missed = false;
    ChooseFile("SaveDialog", document, &missed);
    ASSERT_TRUE(form_->SaveCommand());
    ASSERT_FALSE(missed);

    // The same study on the command line.
    const fs::path map = dir_ / "cli.dvt";
    const fs::path cli = dir_ / "cli.dvk";
    ASSERT_EQ(test::RunCli({"map", (kExamples / "sites.txt").string(), "--first-line", "2", "-o",
                            map.string()})
                  .status,
              0);
    ASSERT_EQ(test::RunCli({"analyse", map.string(), (kExamples / "distances.txt").string(),
                            "--sundrels", "3", "-o", cli.string()})
                  .status,
              0);
    ASSERT_EQ(test::RunCli({"analyse", cli.string(), (kExamples / "resampled.txt").string(),
                            "--matrices", "10", "--gap", "1", "--sundrels", "3", "-o", cli.string()})
                  .status,
              0);

    for (int i = 0; i < 2; ++i) {
        const std::string window = SavedReport(i, dir_ / ("window-" + std::to_string(i) + ".txt"));
        const fs::path fromCli = dir_ / ("cli-" + std::to_string(i) + ".txt");
        ASSERT_EQ(test::RunCli({"report", document.string(), "--layer", std::to_string(i), "-o",
                                fromCli.string()})
                      .status,
                  0);
        EXPECT_FALSE(window.empty());
        EXPECT_TRUE(window == test::ReadFile(fromCli)) << "report " << i << " differs";
    }
    // The documents are the bytes the study always gave.
    EXPECT_EQ(Sha256(document), kStudyDocumentSha256);
    EXPECT_EQ(Sha256(cli), kStudyDocumentSha256);
    EXPECT_EQ(Sha256(map), kStudyMapSha256);
    const test::CliResult windowBarriers = test::RunCli({"barriers", document.string()});
    const test::CliResult cliBarriers = test::RunCli({"barriers", cli.string()});
    ASSERT_EQ(windowBarriers.status, 0) << windowBarriers.err;
    EXPECT_GT(windowBarriers.out.size(), 100u);
    EXPECT_EQ(windowBarriers.out, cliBarriers.out);
}

// The study's map saved from the map editor window is the command line's, as
// it always was.
TEST_F(StudyTest, TheStudysMapSavedFromTheWindowKeepsItsBytes)
{
    TMainForm window;
    window.show();
    ASSERT_TRUE(WaitUntil([&] { return window.Viewer().View()->Initialized(); }, 20000));
    NewMap(&window);
    const fs::path saved = dir_ / "window.dvt";
    bool missed = false;
    ChooseFile("SaveDialog", saved, &missed);
    ASSERT_TRUE(window.SaveCommand());
    ASSERT_FALSE(missed);
    EXPECT_EQ(Sha256(saved), kStudyMapSha256);
}

// The windows that follow a layer (configure, selection, report) are open
// when the layers are removed: they let go of them, and nothing they do
// afterwards touches a removed layer.
TEST_F(StudyTest, RemovingLayersWithTheirWindowsOpen)
{
    NewMap();
    Analyse(kExamples / "resampled.txt", {10, 1}, 2, "study-remove-test");
    Analyse(kExamples / "distances.txt", {1, 0}, 2, "study-remove-single");
    MonmonierLayer& layers = form_->Layers();

    // Configure the single run: rename it, ask for three sundrels.
    TMonmonierSetup* setup = form_->findChild<TMonmonierSetup*>();
    setup->Configure(layers, 1);
    ASSERT_TRUE(setup->isVisible());
    setup->TitleEdit()->setText("renamed");
    emit setup->TitleEdit()->textEdited("renamed");
    EXPECT_EQ(layers.layer(1)->layerName(), "renamed");
    test::Toggle(setup->SundrelButton(3));
    test::Toggle(setup->LabelStyleButton(1));
    ASSERT_TRUE(WaitUntil([&] { return LayersComputed(*form_); }));
    EXPECT_EQ(layers.layer(1)->sundrelCount(), 3);
    EXPECT_EQ(layers.layer(1)->labelStyle, 1);
    form_->findChild<TSundrelSelection*>()->SetLayer(0);
    form_->findChild<TReportForm*>()->ShowLayerReport(1);
    const Report shown = form_->findChild<TReportForm*>()->Lines();

    QAction* removeAll = nullptr;
    for (QAction* action : form_->ResultMenus().SundrelsMenu()->actions())
        if (action->text() == "Remove all")
            removeAll = action;
    ASSERT_NE(removeAll, nullptr);
    removeAll->trigger();
    EXPECT_EQ(layers.count(), 0);
    EXPECT_FALSE(setup->isVisible());

    // Nothing reaches a removed layer.
    setup->TitleEdit()->setText("again");
    emit setup->TitleEdit()->textEdited("again");
    QTest::mouseClick(form_->findChild<TSundrelSelection*>()->Box(1), Qt::LeftButton);
    EXPECT_EQ(form_->findChild<TReportForm*>()->Lines(), shown);
    bool missed = false;
    ChooseFile("ReportSaveDialog", dir_ / "kept.txt", &missed);
    form_->findChild<TReportForm*>()->Save();
    EXPECT_FALSE(missed);
    EXPECT_FALSE(test::ReadFile(dir_ / "kept.txt").empty());
    test::Settle();
}

} // namespace
