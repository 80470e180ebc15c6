// The analysis set-up window, new and configure modes, with matrices loaded
// by a stand-in for the matrix import.

#include "AppTestSupport.h"
#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/SundrelNumberDialog.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "support/CliRunner.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::WhenModal;

namespace fs = std::filesystem;

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        setup_ = std::make_unique<TMonmonierSetup>();
        setup_->LoadMatrices = [this](const QString& file, std::int32_t expected) {
            lastFile_ = file;
            expected_ = expected;
            return Store(matrices_, size_);
        };
    }

    std::unique_ptr<MatrixFile> Store(std::int32_t m, std::int32_t n)
    {
        auto store = std::make_unique<MatrixFile>(TemporaryMatrixFileName(dir_.path()));
        store->initialize(n);
        for (std::int32_t k = 0; k < m; ++k) {
            SMatrix matrix;
            matrix.assign(n, std::vector<double>(static_cast<std::size_t>(PairCount(n)), 1.0 + k));
            store->writeMatrix(matrix);
        }
        return store;
    }

    // Opens the set-up, loads `file` through its file dialog and runs `then`
    // on the modal set-up; returns its result.
    bool Run(const fs::path& file, const std::function<void(TMonmonierSetup&)>& then)
    {
        test::WriteFile(file, "0\n");
        WhenModal("MonmonierSetup", [&](QWidget*) {
            WhenModal("LoadMatrixDialog", [&](QWidget* dialog) {
                auto* files = static_cast<QFileDialog*>(dialog);
                files->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(file.string()));
                static_cast<QDialog*>(files)->accept();
            });
            QTest::mouseClick(setup_->LoadButton(), Qt::LeftButton);
            then(*setup_);
        });
        setup_->SetExpectedSize(40);
        return setup_->ExecuteNew();
    }

    test::TempDir dir_{"setup"};
    std::unique_ptr<TMonmonierSetup> setup_;
    std::int32_t matrices_ = 1;
    std::int32_t size_ = 40;
    QString lastFile_;
    std::int32_t expected_ = 0;
};

TEST_F(SetupTest, OneMatrixIsASingleRunWithLabels)
{
    const fs::path file = dir_ / "distances.obs.txt";
    const bool accepted = Run(file, [&](TMonmonierSetup& s) {
        EXPECT_EQ(s.StatusLabel()->text(), "Status : 1 matrix loaded (size : 40 x 40)");
        // The file the user chose, not the store it was copied into.
        EXPECT_EQ(s.FileLabel()->text().toStdString(), "File : " + file.string());
        EXPECT_TRUE(s.NoAnalysisButton()->isChecked());
        EXPECT_TRUE(s.LabelsGroup()->isEnabled());
        EXPECT_FALSE(s.BSTLabel()->isEnabled());
        EXPECT_EQ(s.TitleEdit()->text(), "distances.obs");
        ASSERT_TRUE(s.OKButton()->isEnabled());
        // A significance test on one matrix is refused.
        test::ExpectAccessible(&s);
        // Every choice is made as an accessibility client makes it.
        WhenModal("", [](QWidget* box) { static_cast<QMessageBox*>(box)->accept(); });
        test::Toggle(s.AnalysisButton());
        EXPECT_FALSE(s.OKButton()->isEnabled());
        EXPECT_FALSE(s.AnalysisButton()->isEnabled());
        test::Toggle(s.NoAnalysisButton());
        EXPECT_TRUE(s.OKButton()->isEnabled());
        test::Toggle(s.LabelStyleButton(2));
        test::Toggle(s.SundrelButton(4));
        EXPECT_EQ(s.SundrelNumber(), 4);
        QTest::mouseClick(s.OKButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(accepted);
    EXPECT_EQ(expected_, 40);
    EXPECT_TRUE(setup_->IsSingleRun());
    EXPECT_EQ(setup_->SundrelNumber(), 4);
    EXPECT_EQ(setup_->LabelStyle(), 2);
    EXPECT_EQ(setup_->Title(), "distances.obs");
    const std::unique_ptr<MatrixFile> store = setup_->TakeStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->matrixCount(), 1);
}

// An observed matrix with its replicates (from genotypes): the test counts
// the replicates only; "Yes" hands both over (the single run and the test),
// "No" the single run on the observed matrix alone, without a warning.
TEST_F(SetupTest, AnObservedMatrixWithReplicatesGivesTheSingleRunAndTheTest)
{
    for (const bool both : {true, false}) {
        SCOPED_TRACE(both);
        // A warning box, if any comes, is recorded and closed.
        bool warned = false;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                warned = true;
                box->reject();
            }
        });
        watch.start(20);
        WhenModal("MonmonierSetup", [&](QWidget*) {
            EXPECT_EQ(setup_->StatusLabel()->text(),
                      "Status : 100 matrices loaded (size : 40 x 40)\n"
                      "and the observed matrix: a single run on it, beside the test (Yes)");
            EXPECT_TRUE(setup_->AnalysisButton()->isChecked());
            EXPECT_TRUE(setup_->LabelsGroup()->isEnabled());
            EXPECT_TRUE(setup_->OKButton()->isEnabled());
            EXPECT_EQ(setup_->TitleEdit()->text(), "cats");
            if (!both) {
                test::Toggle(setup_->NoAnalysisButton());
                test::Settle();
                EXPECT_TRUE(setup_->OKButton()->isEnabled());
            }
            QTest::mouseClick(setup_->OKButton(), Qt::LeftButton);
        });
        setup_->SetExpectedSize(40);
        ASSERT_TRUE(setup_->ExecuteNew(Store(1, 40), Store(100, 40), "cats.gen"));
        EXPECT_FALSE(warned);
        const std::unique_ptr<MatrixFile> observed = setup_->TakeStore();
        const std::unique_ptr<MatrixFile> replicates = setup_->TakeReplicates();
        ASSERT_TRUE(observed);
        EXPECT_EQ(observed->matrixCount(), 1);
        EXPECT_EQ(replicates != nullptr, both);
        if (replicates)
            EXPECT_EQ(replicates->matrixCount(), 100);
    }
    EXPECT_EQ(dir_.FileCount(), 0u);
}

TEST_F(SetupTest, SeveralMatricesAreATestAndAWrongSizeIsRefused)
{
    matrices_ = 10;
    Run(dir_ / "resampled", [](TMonmonierSetup& s) {
        EXPECT_EQ(s.StatusLabel()->text(), "Status : 10 matrices loaded (size : 40 x 40)");
        EXPECT_TRUE(s.AnalysisButton()->isChecked());
        EXPECT_FALSE(s.LabelsGroup()->isEnabled());
        EXPECT_TRUE(s.BSTLabel()->isEnabled());
        EXPECT_EQ(s.TitleEdit()->text(), ""); // a name without a dot
        QTest::mouseClick(s.CancelButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(setup_->TakeStore());
    EXPECT_EQ(dir_.FileCount(), 1u) << "a cancelled store left its file behind";

    size_ = 39;
    Run(dir_ / "other.txt", [](TMonmonierSetup& s) {
        EXPECT_EQ(s.StatusLabel()->text(),
                  "Status : 10 matrices loaded (size : 39 x 39)\n"
                  "Error : incompatible matrix size (expected size : 40 x 40)");
        EXPECT_EQ(s.StatusLabel()->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        EXPECT_FALSE(s.OKButton()->isEnabled());
        EXPECT_FALSE(s.SundrelGroup()->isEnabled());
        EXPECT_TRUE(s.LoadButton()->isEnabled());
        QTest::mouseClick(s.CancelButton(), Qt::LeftButton);
    });
}

TEST_F(SetupTest, MoreThanTenSundrelsLeaveNoItemChecked)
{
    Run(dir_ / "d.txt", [](TMonmonierSetup& s) {
        WhenModal("SundrelNumberDialog", [](QWidget* dialog) {
            auto* number = static_cast<TSundrelNumberDialog*>(dialog);
            number->NumberEdit()->setValue(15);
            static_cast<QDialog*>(dialog)->accept();
        });
        QTest::mouseClick(s.MoreButton(), Qt::LeftButton);
        EXPECT_EQ(s.SundrelNumber(), 15);
        EXPECT_EQ(s.SundrelGroup()->title(), " Number of sundrels : 15 ");
        for (int k = 1; k <= 10; ++k)
            EXPECT_FALSE(s.SundrelButton(k)->isChecked()) << k;
        QTest::mouseClick(s.OKButton(), Qt::LeftButton);
    });
    // The number is kept for the next analysis.
    setup_.reset();
    TMonmonierSetup again;
    EXPECT_EQ(again.SundrelNumber(), 15);
}

} // namespace

namespace {

// A second load that is given up keeps what the first one loaded.
TEST_F(SetupTest, AGivenUpLoadKeepsThePreviousMatrices)
{
    Run(dir_ / "first.txt", [this](TMonmonierSetup& s) {
        const QString status = s.StatusLabel()->text();
        const QString file = s.FileLabel()->text();
        setup_->LoadMatrices = [](const QString&, std::int32_t) { return std::unique_ptr<MatrixFile>(); };
        test::ChooseFile("LoadMatrixDialog", dir_ / "first.txt");
        QTest::mouseClick(s.LoadButton(), Qt::LeftButton);
        EXPECT_EQ(s.StatusLabel()->text(), status);
        EXPECT_EQ(s.FileLabel()->text(), file);
        EXPECT_TRUE(s.OKButton()->isEnabled());
        QTest::mouseClick(s.OKButton(), Qt::LeftButton);
    });
    const std::unique_ptr<MatrixFile> store = setup_->TakeStore();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->matrixCount(), 1);
}

} // namespace
