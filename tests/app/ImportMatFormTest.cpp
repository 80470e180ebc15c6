// The matrix import dialog through its widgets: files that cannot serve,
// square and lower-triangular files extracted into a store, cancelling and
// closing mid-extraction, a temporary folder without room, the settings, and
// the names accessibility clients see.

#include "AppTestSupport.h"
#include "app/document/DocumentBridge.h"
#include "app/importing/DiskDialog.h"
#include "app/importing/ImportMatForm.h"
#include "matrix/MatrixFile.h"
#include "matrix/Messages.h"
#include "matrix/PreviewGrid.h"
#include "matrix/SMatrix.h"
#include "support/CliRunner.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::Settle;
using test::WaitUntil;
using test::WhenModal;

namespace fs = std::filesystem;

const fs::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;
const QColor kRed(255, 0, 0);

QString Q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

// d(i, j) of matrix m, exact in binary and in decimal.
double Value(int m, int i, int j)
{
    return i == j ? 0.0 : 1000.0 * m + 10.0 * std::max(i, j) + std::min(i, j) / 4.0;
}

// M matrices of N populations. Square ones as a spreadsheet exports them: a
// header line, a name before each row, a blank line between matrices;
// lower-triangular ones without the diagonal, back to back.
std::string MatrixText(int n, int m, bool square)
{
    std::string text = square ? "pop" : "";
    char field[32];
    const auto add = [&](const char* format, auto value) {
        std::snprintf(field, sizeof field, format, value);
        text += field;
    };
    for (int j = 0; square && j < n; ++j)
        add(" P%d", j + 1);
    for (int k = 0; k < m; ++k) {
        if (square)
            text += '\n';
        for (int i = square ? 0 : 1; i < n; ++i) {
            if (square)
                add("P%d ", i + 1);
            for (int j = 0; j < (square ? n : i); ++j)
                add(j ? " %.17g" : "%.17g", Value(k, i, j));
            text += '\n';
        }
    }
    return text;
}

void Shoot(QWidget* widget, const char* name)
{
    widget->grab().save(Q(kScreenshotDir / name));
}

bool Idle(const TImportMatForm& form)
{
    return !form.Reading() && !form.Extracting();
}

QColor Colour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

// Every distance of the store is the file's.
::testing::AssertionResult HoldsTheValues(MatrixFile& store, int n, int m)
{
    if (store.matrixCount() != m || store.size() != n)
        return ::testing::AssertionFailure() << store.matrixCount() << " x " << store.size();
    for (int k = 0; k < m; ++k)
        for (int i = 1; i < n; ++i)
            for (int j = 0; j < i; ++j)
                if (const double d = store.readDistance(k, PairIndex(i, j)); d != Value(k, i, j))
                    return ::testing::AssertionFailure() << k << ": d(" << i << "," << j << ") " << d;
    return ::testing::AssertionSuccess();
}

// The grid shows all of matrix m, populations numbered from 1.
::testing::AssertionResult ShowsMatrix(const TImportMatForm& form, int n, int m)
{
    const QAbstractItemModel* grid = form.MatrixPreview()->model();
    if (!form.MatrixPreview()->isVisible() || grid->rowCount() != n || grid->columnCount() != n)
        return ::testing::AssertionFailure() << "hidden or " << grid->rowCount() << " rows";
    for (int i = 0; i < n; ++i) {
        if (grid->headerData(i, Qt::Horizontal) != QString::number(i + 1) ||
            grid->headerData(i, Qt::Vertical) != QString::number(i + 1))
            return ::testing::AssertionFailure() << "header " << i;
        for (int j = 0; j < n; ++j)
            if (grid->index(i, j).data() != QString::fromStdString(PreviewValueText(Value(m, i, j))))
                return ::testing::AssertionFailure() << "cell " << i << "," << j;
    }
    return ::testing::AssertionSuccess();
}

class ImportMatFormTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }

    // The settings group as a user's earlier session left it.
    static void Remember(const std::map<QString, QVariant>& values)
    {
        QSettings settings;
        settings.beginGroup("ImportMat");
        const std::map<QString, QVariant> all{
            {"Top", 40},          {"Left", 60},           {"MatrixSize", 5},
            {"MatrixNumber", 1},  {"Square", 1},          {"IgnoredLines", 1},
            {"IgnoredColumns", 1}, {"IgnoredMatrices", 0}, {"TempDir", ""},
            {"AutoCheck", 0}};
        for (const auto& [key, value] : all)
            settings.setValue(key, values.count(key) ? values.at(key) : value);
    }

    // A form for N populations whose stores go to stores_.
    std::unique_ptr<TImportMatForm> Form(int n)
    {
        auto form = std::make_unique<TImportMatForm>(bridge_);
        form->setMatrixSize(n);
        form->Stores().Choose(stores_.path());
        return form;
    }

    fs::path Write(const std::string& name, const std::string& text)
    {
        test::WriteFile(dir_ / name, text);
        return dir_ / name;
    }

    // Runs `form` on `file`, `action` once it is up; what Execute returned.
    static bool Run(TImportMatForm& form, const fs::path& file,
                    const std::function<void(TImportMatForm&)>& action)
    {
        bool missed = false;
        WhenModal(
            "ImportMatForm",
            [&](QWidget*) {
                EXPECT_TRUE(WaitUntil([&] { return Idle(form); }));
                action(form);
            },
            &missed);
        const bool accepted = form.Execute(Q(file));
        EXPECT_FALSE(missed);
        return accepted;
    }

    DocumentBridge bridge_;
    test::TempDir dir_{"import-mat"};
    test::TempDir stores_{"import-mat-stores"};
};

TEST_F(ImportMatFormTest, FilesThatCannotServeAreRefusedAndNothingIsExtracted)
{
    // Two 5 x 5 matrices where three are expected, auto extract on: the check
    // comes first and the extraction never starts.
    Remember({{"MatrixNumber", 3}, {"IgnoredLines", 2}, {"IgnoredColumns", 2},
              {"IgnoredMatrices", 1}, {"AutoCheck", 1}});
    const fs::path file = Write("short.txt", MatrixText(5, 2, true));
    auto form = Form(5);
    const bool accepted = Run(*form, file, [&](TImportMatForm& f) {
        EXPECT_FALSE(f.ExtractButton()->isEnabled());
        // 12 text lines and the empty one after the last break; 1 + 3 x 6 - 1
        // needed.
        EXPECT_EQ(f.ResultLabel(1)->text(), "Matrix size : 5x5");
        EXPECT_EQ(f.ResultLabel(2)->text(), "Number of matrices: 3");
        EXPECT_EQ(f.ResultLabel(3)->text(),
                  "File isn't large enough (file size : 13 lines, expected size : at least 18 "
                  "lines)");
        for (int line = 1; line <= 3; ++line)
            EXPECT_EQ(Colour(f.ResultLabel(line)), kRed) << line;
        Settle();
        EXPECT_FALSE(f.Extracting());
        EXPECT_FALSE(f.OKButton()->isEnabled());
        Shoot(&f, "import-mat-too-short.png");

        // Pressing "Extract data" refuses alike; OK hands nothing over.
        f.AutoExtractBox()->setChecked(false);
        ASSERT_TRUE(f.ExtractButton()->isEnabled());
        QTest::mouseClick(f.ExtractButton(), Qt::LeftButton);
        EXPECT_FALSE(f.Extracting());
        EXPECT_TRUE(f.ResultLabel(3)->text().startsWith("File isn't large enough"));
        f.accept();
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(stores_.FileCount(), 0u);
        QTest::mouseClick(f.CancelButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(form->takeMatrixFile(), nullptr);

    // A file that cannot be read: both lines red, nothing to set up.
    const bool opened = Run(*form, dir_ / "missing.txt", [this](TImportMatForm& f) {
        EXPECT_EQ(f.ResultLabel(2)->text(), "Initialization error : ");
        EXPECT_EQ(f.ResultLabel(3)->text(),
                  "Impossible to open the file\n" + Q(dir_ / "missing.txt") +
                      " (No such file or directory)");
        EXPECT_EQ(Colour(f.ResultLabel(3)), kRed);
        EXPECT_FALSE(f.MatricesEdit()->isEnabled());
        QTest::keyClick(&f, Qt::Key_Escape);
    });
    EXPECT_FALSE(opened);
}

TEST_F(ImportMatFormTest, SquareAndLowerTriangularFilesExtractIntoAStore)
{
    constexpr int kN = 6;
    auto form = Form(kN);

    // Square, with a header line and a name column: nothing is extracted
    // until "Extract data" is pressed.
    const fs::path square = Write("square.txt", MatrixText(kN, 3, true));
    bool accepted = Run(*form, square, [&](TImportMatForm& f) {
        EXPECT_EQ(f.MatrixSizeEdit()->text(), "6");
        EXPECT_EQ(f.ResultLabel(3)->text(), "File preview complete.");
        EXPECT_TRUE(f.FilePreview()->toPlainText().startsWith("  1 | pop P1 P2"));
        EXPECT_FALSE(f.OKButton()->isEnabled());
        f.MatricesEdit()->setValue(3);
        f.LinesEdit()->setValue(2);
        f.ColumnsEdit()->setValue(2);
        f.GapEdit()->setValue(1);
        EXPECT_EQ(stores_.FileCount(), 0u);
        QTest::mouseClick(f.ExtractButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return Idle(f); }));
        EXPECT_EQ(f.ResultLabel(1)->text(), "Matrix size : 6x6");
        EXPECT_EQ(f.ResultLabel(2)->text(), "Number of matrices: 3");
        EXPECT_EQ(f.ResultLabel(3)->text(), "18 lines successfully extracted");
        test::ExpectAccessible(&f);
        EXPECT_EQ(f.ProgressBar()->value(), 100);
        ASSERT_TRUE(f.OKButton()->isEnabled());
        EXPECT_TRUE(f.OKButton()->isDefault());
        EXPECT_TRUE(ShowsMatrix(f, kN, 0));
        f.PreviewNumberEdit()->setValue(3);
        EXPECT_TRUE(ShowsMatrix(f, kN, 2));
        Shoot(&f, "import-mat.png");

        // A value typed is taken after a pause in typing, without leaving
        // the field: OK waits meanwhile, and comes back for a value typed
        // again unchanged.
        f.MatricesEdit()->selectAll();
        QTest::keyClick(f.MatricesEdit(), Qt::Key_Backspace);
        QTest::keyClicks(f.MatricesEdit(), "3");
        EXPECT_FALSE(f.OKButton()->isEnabled());
        EXPECT_TRUE(WaitUntil([&] { return f.OKButton()->isEnabled(); }));
        f.MatricesEdit()->selectAll();
        QTest::keyClicks(f.MatricesEdit(), "2");
        EXPECT_FALSE(f.OKButton()->isEnabled());
        EXPECT_TRUE(WaitUntil([&] { return f.ResultLabel(2)->text() == "Number of matrices: 2"; }));
        EXPECT_FALSE(f.OKButton()->isEnabled());
        f.MatricesEdit()->setValue(3);

        // Another set-up takes back what OK would give until it is extracted.
        f.ColumnsEdit()->setValue(1);
        EXPECT_FALSE(f.OKButton()->isEnabled());
        EXPECT_FALSE(f.MatrixPreview()->isVisible());
        f.ColumnsEdit()->setValue(2);
        QTest::mouseClick(f.ExtractButton(), Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return Idle(f); }));
        QTest::mouseClick(f.OKButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(accepted);
    std::unique_ptr<MatrixFile> store = form->takeMatrixFile();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(form->takeMatrixFile(), nullptr);
    EXPECT_EQ(form->MatrixCount(), 3);
    EXPECT_EQ(form->MatrixSize(), kN);
    EXPECT_EQ(store->fileName().parent_path(), stores_.path());
    EXPECT_TRUE(HoldsTheValues(*store, kN, 3));
    store.reset();
    EXPECT_EQ(stores_.FileCount(), 0u);

    // Lower-triangular, with the same dialog: checking "Auto extract"
    // extracts at once.
    const fs::path lower = Write("lower.txt", MatrixText(kN, 2, false));
    accepted = Run(*form, lower, [&](TImportMatForm& f) {
        f.SquareBox()->setChecked(false);
        f.MatricesEdit()->setValue(2);
        f.LinesEdit()->setValue(1);
        f.ColumnsEdit()->setValue(1);
        f.GapEdit()->setValue(0);
        EXPECT_FALSE(f.OKButton()->isEnabled());
        f.AutoExtractBox()->setChecked(true);
        EXPECT_FALSE(f.ExtractButton()->isEnabled());
        ASSERT_TRUE(WaitUntil([&] { return Idle(f) && f.OKButton()->isEnabled(); }));
        EXPECT_EQ(f.ResultLabel(3)->text(), "12 lines successfully extracted");
        EXPECT_TRUE(ShowsMatrix(f, kN, 0));
        QTest::mouseClick(f.OKButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(accepted);
    store = form->takeMatrixFile();
    ASSERT_NE(store, nullptr);
    EXPECT_TRUE(HoldsTheValues(*store, kN, 2));
}

// Big enough that an extraction is still running when the window handles
// its first report, though not by much: a Release build extracts it in about
// a tenth of a second.
class BusyImportTest : public ImportMatFormTest {
protected:
    static constexpr int kN = 100;
    static constexpr int kM = 400;

    void SetUp() override
    {
        ImportMatFormTest::SetUp();
        Remember({{"MatrixSize", kN}, {"MatrixNumber", kM}, {"IgnoredLines", 2},
                  {"IgnoredColumns", 2}, {"IgnoredMatrices", 1}, {"AutoCheck", 1}});
        file_ = Write("big.txt", MatrixText(kN, kM, true));
    }

    // Runs `act` once, at the first report of the extraction's progress (1 %
    // done: four matrices are in the store's file). An extraction that ended
    // before the window saw it run starts again; after a few such, the
    // dialog closes so that the test fails rather than waits.
    void AtFirstProgress(TImportMatForm& form, std::function<void()> act)
    {
        QObject::connect(&bridge_.matrixImport(), &ImportSignals::extractionEnded, &form,
                         [this, &form](quint64, const JobResult& result) {
            if (acted_ || result.outcome != JobOutcome::Done)
                return;
            if (++restarts_ > 5) {
                form.reject();
                return;
            }
            QTimer::singleShot(0, &form, [&form] {
                form.AutoExtractBox()->setChecked(false);
                form.AutoExtractBox()->setChecked(true);
            });
        });
        QObject::connect(&bridge_.matrixImport(), &ImportSignals::progress, &form,
                         [this, &form, act = std::move(act)] {
                             if (acted_ || !form.Extracting())
                                 return;
                             acted_ = true;
                             EXPECT_EQ(stores_.FileCount(), 1u);
                             act();
                         });
    }

    fs::path file_;
    bool acted_ = false;
    int restarts_ = 0;
};

TEST_F(BusyImportTest, CancelStopsTheExtractionAndTheDialogStays)
{
    auto form = Form(kN);
    AtFirstProgress(*form, [&] { QTest::mouseClick(form->CancelButton(), Qt::LeftButton); });
    const bool accepted = Run(*form, file_, [&](TImportMatForm& f) {
        // Idle may also be the pause before an extraction starts again.
        ASSERT_TRUE(WaitUntil([&] { return (acted_ || restarts_ > 5) && Idle(f); }));
        EXPECT_TRUE(acted_) << "the extraction always ended before its first report";
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(f.ResultLabel(3)->text(), "Data extraction canceled");
        EXPECT_EQ(Colour(f.ResultLabel(3)), kRed);
        EXPECT_FALSE(f.OKButton()->isEnabled());
        EXPECT_TRUE(f.MatricesEdit()->isEnabled());
        // OK, however it comes, hands nothing over.
        f.accept();
        EXPECT_TRUE(f.isVisible());
        EXPECT_EQ(stores_.FileCount(), 0u) << "the half-written store stays";
        QTest::mouseClick(f.CancelButton(), Qt::LeftButton);
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(form->takeMatrixFile(), nullptr);
    EXPECT_EQ(stores_.FileCount(), 0u);
}

TEST_F(BusyImportTest, ClosingWhileExtractingLeavesNoFile)
{
    // By Escape, then by closing the window.
    for (const bool escape : {true, false}) {
        acted_ = false;
        restarts_ = 0;
        auto form = Form(kN);
        AtFirstProgress(*form, [&] {
            if (escape)
                QTest::keyClick(form.get(), Qt::Key_Escape);
            else
                form->close();
        });
        EXPECT_FALSE(form->Execute(Q(file_)));
        EXPECT_TRUE(acted_) << "the extraction always ended before its first report";
        EXPECT_FALSE(form->Extracting());
        EXPECT_EQ(form->takeMatrixFile(), nullptr);
        EXPECT_EQ(stores_.FileCount(), 0u) << (escape ? "Escape" : "close");
    }
}

TEST_F(ImportMatFormTest, AFolderWithoutRoomAsksForAnotherOne)
{
    constexpr int kN = 6;
    const test::TempDir roomy("import-mat-roomy");
    auto form = Form(kN);
    form->Stores().SetFreeSpaceQuery([&](const fs::path& folder) -> std::int64_t {
        return folder == roomy.path() ? std::int64_t{3} << 30 : 1;
    });
    const fs::path file = Write("square.txt", MatrixText(kN, 2, true));
    const bool accepted = Run(*form, file, [&](TImportMatForm& f) {
        f.MatricesEdit()->setValue(2);
        f.LinesEdit()->setValue(2);
        f.ColumnsEdit()->setValue(2);
        f.GapEdit()->setValue(1);

        // 15 pairs x 12 bytes x 2 matrices; Cancel leaves things as they were.
        bool missed = false;
        WhenModal(
            "DiskDialog",
            [&](QWidget* dialog) {
                auto* disk = static_cast<TDiskDialog*>(dialog);
                EXPECT_EQ(disk->windowTitle(), "Disk size error");
                EXPECT_EQ(disk->Frame()->title(),
                          " Not enough space on disk (requested : 360 bytes ) ");
                EXPECT_EQ(disk->FolderEdit()->text(), Q(stores_.path()));
                EXPECT_EQ(disk->AvailableLabel()->text(), "Amout of available space : 1 byte");
                Shoot(disk, "disk-dialog.png");
                QTest::mouseClick(disk->CancelButton(), Qt::LeftButton);
            },
            &missed);
        QTest::mouseClick(f.ExtractButton(), Qt::LeftButton);
        ASSERT_FALSE(missed);
        EXPECT_FALSE(f.Extracting());
        EXPECT_FALSE(f.OKButton()->isEnabled());
        EXPECT_EQ(f.Stores().Folder(), stores_.path());

        // A folder chosen with "Browse...": its space shows; OK extracts there.
        WhenModal(
            "DiskDialog",
            [&](QWidget* dialog) {
                auto* disk = static_cast<TDiskDialog*>(dialog);
                WhenModal(
                    "FolderDialog",
                    [&](QWidget* chooser) {
                        auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
                        ASSERT_NE(name, nullptr);
                        name->setText(Q(roomy.path()));
                        static_cast<QDialog*>(chooser)->accept();
                    },
                    &missed);
                QTest::mouseClick(disk->BrowseButton(), Qt::LeftButton);
                EXPECT_EQ(disk->FolderEdit()->text(), Q(roomy.path()));
                EXPECT_EQ(disk->AvailableLabel()->text(), "Amout of available space : 3 Gb");
                QTest::mouseClick(disk->OKButton(), Qt::LeftButton);
            },
            &missed);
        QTest::mouseClick(f.ExtractButton(), Qt::LeftButton);
        ASSERT_FALSE(missed);
        ASSERT_TRUE(WaitUntil([&] { return Idle(f); }));
        EXPECT_EQ(f.ResultLabel(3)->text(), "12 lines successfully extracted");
        EXPECT_EQ(f.Stores().Folder(), roomy.path());
        QTest::mouseClick(f.OKButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(accepted);
    std::unique_ptr<MatrixFile> store = form->takeMatrixFile();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->fileName().parent_path(), roomy.path());
    EXPECT_TRUE(HoldsTheValues(*store, kN, 2));
    EXPECT_EQ(stores_.FileCount(), 0u);
    store.reset();
    EXPECT_EQ(roomy.FileCount(), 0u);

    // The folder chosen is the next session's.
    form.reset();
    EXPECT_EQ(QSettings().value("ImportMat/TempDir").toString(), Q(roomy.path()));
}

TEST_F(ImportMatFormTest, SettingsComeBackAndOneDamagedValueResetsThemAll)
{
    // N, M, square, line, column, lines between, auto extract, folder.
    const auto shown = [](const TImportMatForm& f) {
        return QString("%1 %2 %3 %4 %5 %6 %7 %8")
            .arg(f.MatrixSizeEdit()->text())
            .arg(f.MatricesEdit()->value())
            .arg(f.SquareBox()->isChecked())
            .arg(f.LinesEdit()->value())
            .arg(f.ColumnsEdit()->value())
            .arg(f.GapEdit()->value())
            .arg(f.AutoExtractBox()->isChecked())
            .arg(Q(f.Stores().Folder()));
    };
    {
        TImportMatForm form(bridge_);
        form.move(30, 20);
        form.setMatrixSize(12);
        form.MatricesEdit()->setValue(4);
        form.SquareBox()->setChecked(false);
        form.LinesEdit()->setValue(3);
        form.ColumnsEdit()->setValue(2);
        form.GapEdit()->setValue(5);
        form.AutoExtractBox()->setChecked(true);
        form.Stores().Choose("/data/scratch");
    }
    {
        TImportMatForm form(bridge_);
        EXPECT_EQ(form.pos(), QPoint(30, 20));
        EXPECT_EQ(shown(form), "12 4 0 3 2 5 1 /data/scratch");
    }
    // A value that is no number: the position read before it stays, the
    // rest takes the defaults.
    QSettings().setValue("ImportMat/IgnoredColumns", "two");
    TImportMatForm form(bridge_);
    EXPECT_EQ(form.pos(), QPoint(30, 20));
    EXPECT_EQ(shown(form), "0 1 1 1 1 1 0 " + QDir::tempPath());
}

TEST_F(ImportMatFormTest, EveryControlHasTheNameItsCaptionGives)
{
    TImportMatForm form(bridge_);
    TDiskDialog disk(1000, stores_.path(), [](const fs::path&) { return 10; });
    for (QWidget* dialog : std::initializer_list<QWidget*>{&form, &disk})
        test::ExpectAccessible(dialog);
    // Controls without a caption of their own.
    EXPECT_EQ(test::AccessibleName(form.MatricesEdit()), "Number of matrices : ");
    EXPECT_EQ(test::AccessibleName(form.PreviewNumberEdit()), "Preview matrix n° :");
    EXPECT_EQ(test::AccessibleName(form.MatrixPreview()), "Matrix preview");
    for (int line = 1; line <= 3; ++line)
        EXPECT_EQ(form.ResultLabel(line)->accessibleDescription(), QString("Result %1").arg(line));
    EXPECT_EQ(test::AccessibleName(disk.FolderEdit()), "Folder :");
    EXPECT_EQ(disk.AvailableLabel()->text(), "Amout of available space : 10 bytes");
}

} // namespace
