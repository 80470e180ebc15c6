// "Sundrels" > "New from genotypes..." driven through its widgets: the
// document it gives is the command line's for the same choices, a genotype
// file whose populations are not the map's sites is refused before any
// work, and a cancelled computation leaves neither a layer nor a file.

#include "AppTestSupport.h"
#include "app/analysis/MonmonierSetup.h"
#include "app/genetics/ColumnBox.h"
#include "app/genetics/GenotypeForm.h"
#include "app/importing/ImportMatForm.h"
#include "app/shell/SundrelForm.h"
#include "support/CliRunner.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGroupBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>

#include <gtest/gtest.h>

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

// What the user chooses in the dialog, and the same as options of
// `distances`.
struct Choices {
    int distance;   // index in the distance box
    int resampling; // 0 none, 1 loci, 2 individuals
    int replicates;
    int seed;
    std::vector<std::string> options;
};

class GenotypeFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        ASSERT_EQ(test::RunCli({"map", (kExamples / "nancycats-sites.txt").string(), "--first-line", "2",
                                "-o", map_.string()})
                      .status,
                  0);
        OpenForm();
    }

    void OpenForm()
    {
        form_ = std::make_unique<TSundrelForm>();
        ASSERT_TRUE(test::ShowAndOpen(*form_, map_));
        form_->findChild<TImportMatForm*>()->Stores().Choose(stores_.path());
    }

    // Chooses `file` through "Browse..." and waits until it is read.
    static void ReadFile(TGenotypeForm* dialog, const fs::path& file)
    {
        bool missed = false;
        ChooseFile("GenotypeFileDialog", file, &missed);
        QTest::mouseClick(dialog->BrowseButton(), Qt::LeftButton);
        ASSERT_FALSE(missed);
        ASSERT_TRUE(WaitUntil([&] { return !dialog->IsReading(); }));
    }

    // Runs the dialog on `file` with `choices`, then the set-up with two
    // sundrels; true when an analysis started.
    bool NewFromGenotypes(const fs::path& file, const Choices& choices, const char* shot = nullptr)
    {
        bool missed = false;
        WhenModal(
            "GenotypeForm",
            [&](QWidget* d) {
                auto* dialog = static_cast<TGenotypeForm*>(d);
                test::ExpectAccessible(dialog);
                ReadFile(dialog, file);
                ASSERT_TRUE(dialog->OKButton()->isEnabled()) << dialog->StatusLabel()->text().toStdString();
                EXPECT_TRUE(dialog->SummaryView()->toPlainText().startsWith("17 populations"));
                dialog->DistanceBox()->setCurrentIndex(choices.distance);
                test::Toggle(dialog->ResamplingButtons()->button(choices.resampling));
                EXPECT_EQ(dialog->ReplicatesEdit()->isEnabled(), choices.resampling != 0);
                dialog->ReplicatesEdit()->setValue(choices.replicates);
                dialog->SeedEdit()->setValue(choices.seed);
                if (shot)
                    dialog->grab().save(QString::fromStdString((kScreenshotDir / shot).string()));
                QTest::mouseClick(dialog->OKButton(), Qt::LeftButton);
            },
            &missed);
        WhenModal(
            "MonmonierSetup",
            [&](QWidget* d) {
                auto* setup = static_cast<TMonmonierSetup*>(d);
                EXPECT_EQ(setup->TitleEdit()->text(), "nancycats");
                EXPECT_EQ(setup->IsSingleRun(), choices.resampling == 0);
                // The test counts over the replicates only.
                EXPECT_EQ(setup->MatrixCount(), choices.resampling == 0 ? 1 : choices.replicates);
                EXPECT_TRUE(setup->LabelsGroup()->isEnabled());
                test::Toggle(setup->SundrelButton(2));
                if (shot)
                    setup->grab().save(QString::fromStdString((kScreenshotDir / "genotype-setup.png").string()));
                QTest::mouseClick(setup->OKButton(), Qt::LeftButton);
            },
            &missed);
        const bool started = form_->NewFromGenotypesCommand();
        EXPECT_FALSE(missed);
        return started;
    }

    test::TempDir dir_{"genotype-form"};
    test::TempDir stores_{"genotype-stores"};
    const fs::path map_ = dir_ / "cats.dvt";
    std::unique_ptr<TSundrelForm> form_;
};

// One request gives both layers of `analyse --genotypes`: the single run on
// the observed matrix and, with resampling, the significance test on the M
// replicates alone ("nancycats bootstrap"); the document is the command
// line's, byte for byte.
TEST_F(GenotypeFormTest, TheDocumentIsTheCommandLinesForTheSameChoices)
{
    const fs::path genotypes = kExamples / "nancycats.gen";
    const Choices cases[] = {
        {0, 1, 30, 7, {"--distance", "nei", "--bootstrap", "30", "--resample", "loci", "--seed", "7"}},
        {2, 2, 12, 3, {"--distance", "reynolds", "--bootstrap", "12", "--resample", "individuals", "--seed", "3"}},
        {1, 0, 5, 9, {"--distance", "edwards"}},
    };
    int i = 0;
    for (const Choices& c : cases) {
        SCOPED_TRACE(c.options[1]);
        OpenForm();
        ASSERT_TRUE(NewFromGenotypes(genotypes, c, i == 0 ? "genotype-form.png" : nullptr));
        const int layers = c.resampling == 0 ? 1 : 2;
        ASSERT_TRUE(WaitUntil([&] { return form_->Layers().count() == layers && LayersComputed(*form_); }));
        EXPECT_TRUE(form_->Layers().layer(0)->isSingle());
        EXPECT_EQ(form_->Layers().layer(0)->matrixCount(), 1);
        if (layers == 2) {
            EXPECT_FALSE(form_->Layers().layer(1)->isSingle());
            EXPECT_EQ(form_->Layers().layer(1)->matrixCount(), c.replicates);
            EXPECT_EQ(form_->Layers().layer(1)->layerName(), "nancycats bootstrap");
        }
        if (i == 0)
            form_->grab().save(QString::fromStdString((kScreenshotDir / "genotype-window.png").string()));
        const fs::path window = dir_ / ("window-" + std::to_string(i) + ".dvk");
        bool missed = false;
        ChooseFile("SaveDialog", window, &missed);
        ASSERT_TRUE(form_->SaveCommand());
        ASSERT_FALSE(missed);

        const fs::path cli = dir_ / ("cli-" + std::to_string(i) + ".dvk");
        std::vector<std::string> args = {"analyse", map_.string(), "--genotypes", genotypes.string(),
                                         "--sundrels", "2", "-o", cli.string()};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const test::CliResult analysed = test::RunCli(args);
        ASSERT_EQ(analysed.status, 0) << analysed.err;
        EXPECT_TRUE(test::ReadFile(window) == test::ReadFile(cli)) << "document " << i << " differs";
        ++i;
    }
    // The choices of the last run are kept.
    form_.reset();
    OpenForm();
    auto* dialog = form_->findChild<TGenotypeForm*>();
    EXPECT_EQ(dialog->FileEdit()->text(), QString::fromStdString(genotypes.string()));
    EXPECT_EQ(dialog->DistanceBox()->currentIndex(), 1);
    EXPECT_EQ(dialog->ResamplingButtons()->checkedId(), 0);
    EXPECT_EQ(dialog->ReplicatesEdit()->value(), 5);
    EXPECT_EQ(dialog->SeedEdit()->value(), 9);
}

TEST_F(GenotypeFormTest, OtherPopulationCountsAreRefusedAndCancelLeavesNothingBehind)
{
    // Three populations against seventeen sites; a file that is no genotype
    // file at all.
    const fs::path three = dir_ / "three.gen";
    test::WriteFile(three, "Three colonies\nloc1, loc2\nPOP\na1 , 0101 0202\na2 , 0102 0202\n"
                           "POP\nb1 , 0202 0101\nPOP\nc1 , 0101 0102\n");
    const fs::path garbage = dir_ / "garbage.txt";
    test::WriteFile(garbage, std::string("\x01\x02\x03\x04 not genotypes\n"));
    form_->SetModified(false);

    bool missed = false;
    WhenModal(
        "GenotypeForm",
        [&](QWidget* d) {
            auto* dialog = static_cast<TGenotypeForm*>(d);
            ReadFile(dialog, three);
            EXPECT_EQ(dialog->StatusLabel()->text(), "The genotypes hold 3 populations but the map has 17 sites");
            EXPECT_TRUE(dialog->SummaryView()->toPlainText().startsWith("3 populations, 4 individuals, 2 loci"));
            EXPECT_FALSE(dialog->OKButton()->isEnabled());

            // A file that cannot be read: its path and the reason, in the
            // error box and the status.
            QString boxText;
            WhenModal("ErrorBox", [&](QWidget* box) {
                auto* message = static_cast<QMessageBox*>(box);
                boxText = message->text();
                message->accept();
            });
            ReadFile(dialog, garbage);
            EXPECT_TRUE(boxText.startsWith(QString::fromStdString(garbage.string()))) << boxText.toStdString();
            EXPECT_TRUE(dialog->StatusLabel()->text().contains(boxText));
            EXPECT_FALSE(dialog->OKButton()->isEnabled());

            // The map's colonies, with far more replicates than the test
            // waits for: cancelled while computing, the dialog stays and its
            // store's file goes.
            ReadFile(dialog, kExamples / "nancycats.gen");
            ASSERT_TRUE(dialog->OKButton()->isEnabled());
            form_->findChild<TImportMatForm*>()->Stores().SetFreeSpaceQuery(
                [](const fs::path&) -> std::int64_t { return std::int64_t(1) << 50; });
            test::Toggle(dialog->ResamplingButtons()->button(1));
            dialog->ReplicatesEdit()->setValue(1000000);
            QTest::mouseClick(dialog->OKButton(), Qt::LeftButton);
            ASSERT_TRUE(dialog->IsComputing());
            EXPECT_FALSE(dialog->DistanceBox()->isEnabled());
            // The worker makes each store's file as it starts: the observed
            // matrix's, then the replicates'.
            EXPECT_TRUE(WaitUntil([&] { return stores_.FileCount() == 2u; }));
            test::Settle(300);
            QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
            ASSERT_TRUE(WaitUntil([&] { return !dialog->IsComputing(); }));
            EXPECT_TRUE(dialog->isVisible());
            EXPECT_EQ(dialog->StatusLabel()->text(), "Distance computation canceled");
            EXPECT_TRUE(dialog->DistanceBox()->isEnabled());
            EXPECT_EQ(stores_.FileCount(), 0u);
            QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
        },
        &missed);
    EXPECT_FALSE(form_->NewFromGenotypesCommand());
    EXPECT_FALSE(missed);
    EXPECT_EQ(form_->Layers().count(), 0);
    EXPECT_FALSE(form_->Modified());
    EXPECT_EQ(stores_.FileCount(), 0u);
}

TEST_F(GenotypeFormTest, TheFormatAndLayoutChosenAreTheOnesRead)
{
    const fs::path str = fs::path(SUNDREL_GENETICS_FIXTURES) / "nancycats.str";
    bool missed = false;
    WhenModal(
        "GenotypeForm",
        [&](QWidget* d) {
            auto* dialog = static_cast<TGenotypeForm*>(d);
            const auto summary = [&] { return dialog->SummaryView()->toPlainText(); };
            const auto settle = [&] { ASSERT_TRUE(WaitUntil([&] { return !dialog->IsReading(); })); };
            // Detected: the third column is taken for a locus.
            ReadFile(dialog, str);
            EXPECT_TRUE(summary().startsWith("17 populations, 237 individuals, 10 loci")) << summary().toStdString();
            EXPECT_FALSE(dialog->ColumnsGroup()->isVisible());

            // STRUCTURE chosen: its layout is shown and applied. Loci from
            // the fourth column; the third column as the populations' makes
            // one population, refused.
            dialog->FormatBox()->setCurrentIndex(3);
            settle();
            EXPECT_TRUE(dialog->ColumnsGroup()->isVisible());
            EXPECT_FALSE(dialog->SamplesRow()->isVisible());
            dialog->FirstLocusColumnEdit()->setValue(4);
            settle();
            EXPECT_TRUE(summary().startsWith("17 populations, 237 individuals, 9 loci")) << summary().toStdString();
            EXPECT_TRUE(dialog->OKButton()->isEnabled());
            dialog->PopulationColumnEdit()->setValue(3);
            settle();
            EXPECT_TRUE(summary().startsWith("1 populations, 237 individuals, 9 loci")) << summary().toStdString();
            EXPECT_EQ(dialog->StatusLabel()->text().toStdString(),
                      "The genotypes hold 1 population but the map has 17 sites");
            EXPECT_FALSE(dialog->OKButton()->isEnabled());
            dialog->PopulationColumnEdit()->setValue(2);
            settle();
            EXPECT_TRUE(dialog->OKButton()->isEnabled());

            // GENEPOP forced on it: refused with the file and the reason.
            QString boxText;
            WhenModal("ErrorBox", [&](QWidget* box) {
                boxText = static_cast<QMessageBox*>(box)->text();
                static_cast<QMessageBox*>(box)->accept();
            });
            dialog->FormatBox()->setCurrentIndex(1);
            settle();
            EXPECT_TRUE(boxText.startsWith(QString::fromStdString(str.string() + ": no POP line"))) << boxText.toStdString();
            EXPECT_FALSE(dialog->OKButton()->isEnabled());
            EXPECT_FALSE(dialog->ColumnsGroup()->isVisible());
            // VCF shows the samples file.
            dialog->FormatBox()->setCurrentIndex(5);
            EXPECT_TRUE(dialog->SamplesRow()->isVisible());
            QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
        },
        &missed);
    EXPECT_FALSE(form_->NewFromGenotypesCommand());
    EXPECT_FALSE(missed);
}

// A VCF file chosen while the samples field is empty waits for its samples
// file (no error box before the row that asks for it can be used); the
// samples dialog offers every file; once named, the file is read.
TEST_F(GenotypeFormTest, AVcfFileWaitsForItsSamplesFile)
{
    const fs::path vcf = dir_ / "two.vcf";
    test::WriteFile(vcf, "##fileformat=VCFv4.2\n"
                         "#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ta1\ta2\tb1\n"
                         "1\t10\t.\tA\tG\t.\tPASS\t.\tGT\t0/1\t0/0\t1/1\n"
                         "1\t20\t.\tC\tT\t.\tPASS\t.\tGT\t0/0\t0/1\t1/1\n");
    const fs::path samples = dir_ / "samples.list";
    test::WriteFile(samples, "a1 colony A\na2 colony A\nb1 colony B\n");
    // Any error box that comes is recorded and closed.
    QStringList boxes;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            boxes << box->text();
            box->accept();
        }
    });
    watch.start(20);
    bool missed = false;
    WhenModal(
        "GenotypeForm",
        [&](QWidget* d) {
            auto* dialog = static_cast<TGenotypeForm*>(d);
            dialog->SamplesEdit()->clear();
            ReadFile(dialog, vcf);
            test::Settle();
            EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
            EXPECT_TRUE(dialog->SamplesRow()->isVisible());
            EXPECT_EQ(dialog->StatusLabel()->text(),
                      "Choose the samples file: a VCF file needs a samples file assigning each sample "
                      "to a population.");
            EXPECT_NE(dialog->StatusLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
            EXPECT_FALSE(dialog->OKButton()->isEnabled());
            dialog->grab().save(QString::fromStdString((kScreenshotDir / "genotype-vcf.png").string()));

            QStringList filters;
            WhenModal("SamplesFileDialog", [&](QWidget* files) {
                filters = static_cast<QFileDialog*>(files)->nameFilters();
                auto* name = files->findChild<QLineEdit*>("fileNameEdit");
                name->setText(QString::fromStdString(samples.string()));
                static_cast<QDialog*>(files)->accept();
            }, &missed);
            QTest::mouseClick(dialog->SamplesButton(), Qt::LeftButton);
            EXPECT_TRUE(filters.contains("all files (*)")) << filters.join(';').toStdString();
            ASSERT_TRUE(WaitUntil([&] { return !dialog->IsReading(); }));
            EXPECT_TRUE(dialog->SummaryView()->toPlainText().startsWith("2 populations, 3 individuals, 2 loci"))
                << dialog->SummaryView()->toPlainText().toStdString();
            EXPECT_EQ(dialog->StatusLabel()->text(), "The genotypes hold 2 populations but the map has 17 sites");
            EXPECT_TRUE(boxes.isEmpty());
            QTest::mouseClick(dialog->CancelButton(), Qt::LeftButton);
        },
        &missed);
    EXPECT_FALSE(form_->NewFromGenotypesCommand());
    EXPECT_FALSE(missed);
}

} // namespace
