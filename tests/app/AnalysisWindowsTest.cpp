// The analysis windows against a real layer set on a map of random sites:
// the status window in each visibility mode, reports shown and saved (also
// after their layer went), the ranks a layer counts sent to the worker,
// settings, and what an accessibility client finds.

#include "AppTestSupport.h"
#include "app/analysis/ReportForm.h"
#include "app/analysis/SundrelMonmonierDialog.h"
#include "app/analysis/SundrelSelection.h"
#include "app/document/DocumentBridge.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "model/MMapFactory.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/SundrelDocument.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::AccessibleName;
using test::WaitUntil;
namespace fs = std::filesystem;

const fs::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

QString Q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

QColor Colour(const QLabel* label)
{
    return label->palette().color(QPalette::WindowText);
}

// A check box clicked on its indicator, as a user does.
void Click(QAbstractButton* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

// A bridge and its layers on 60 random sites; the bridge acknowledges
// "added" as for the main window, and the commands' outcomes (one each) are
// counted.
class AnalysisWindowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().remove("BMDialog");
        QSettings().remove("SundrelSelection");
        map_ = test::Create(factory_, test::RandomPoints(60, 23));
        ASSERT_TRUE(map_);
        layers_ = std::make_unique<MonmonierLayer>(MonmonierLayer::Windows{
            &bridge_.notifier(Sender::Layers), &bridge_.notifier(Sender::LayersStatus),
            &bridge_.notifier(Sender::Reports)});
        bridge_.attach(layers_.get());
        QObject::connect(&bridge_, &DocumentBridge::layerEnded, &bridge_, [this] { ++outcomes_; });
        layers_->setMap(*map_);
        ASSERT_TRUE(Outcomes(1));
    }

    void TearDown() override { bridge_.attach(nullptr); }

    AnalysisRequest Request(std::int32_t m, std::int32_t k, const std::string& name, bool report = false)
    {
        AnalysisRequest request;
        request.store = std::make_unique<MatrixFile>(dir_ / (std::to_string(++stores_) + ".dat"));
        request.store->initialize(map_->N());
        std::mt19937 rng(static_cast<unsigned>(stores_));
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::int32_t i = 0; i < m; ++i) {
            std::vector<double> values(static_cast<std::size_t>(PairCount(map_->N())));
            for (double& v : values)
                v = u(rng);
            SMatrix matrix;
            matrix.assign(map_->N(), std::move(values));
            request.store->writeMatrix(matrix);
        }
        request.single = m == 1;
        request.sundrels = k;
        request.title = name;
        request.showReport = report;
        return request;
    }

    // Runs an analysis until its outcome has reached the windows.
    std::int32_t Run(AnalysisRequest request)
    {
        const int expected = outcomes_ + 1;
        EXPECT_TRUE(layers_->newAnalysis(std::move(request)));
        EXPECT_TRUE(Outcomes(expected));
        return layers_->count() - 1;
    }

    // `expected` outcomes in all, and no other for a while.
    ::testing::AssertionResult Outcomes(int expected)
    {
        WaitUntil([&] { return outcomes_ >= expected && !layers_->busy(); }, 30000);
        test::Settle(250);
        if (outcomes_ == expected && !layers_->awaitingAcknowledge())
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << outcomes_ << " outcomes, " << expected << " expected";
    }

    test::TempDir dir_{"analysis-windows"};
    int stores_ = 0;
    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
    DocumentBridge bridge_;
    std::unique_ptr<MonmonierLayer> layers_; // before the bridge it posts to
    int outcomes_ = 0;
};

TEST_F(AnalysisWindowsTest, StatusWindowFollowsAnalysesInEachVisibilityMode)
{
    TSundrelMonmonierDialog status(bridge_, *layers_);
    // What the window shows once it has handled each signal.
    int sorted = 0, constructing = -1, position = -1;
    QString started;
    bool shown = false;
    QObject::connect(&bridge_, &DocumentBridge::layerSortingSteps, &status, [&] {
        sorted = status.Bar()->value();
        shown = shown || status.isVisible();
    });
    QObject::connect(&bridge_, &DocumentBridge::layerStarted, &status, [&] {
        started = status.Box()->title() + "|" + status.Label()->text() + "|" + Colour(status.Label()).name();
        constructing = status.Bar()->maximum();
    });
    QObject::connect(&bridge_, &DocumentBridge::layerPosition, &status, [&] {
        if (position < 0)
            status.grab().save(Q(kScreenshotDir / "status-window.png"));
        position = status.Bar()->value();
        shown = shown || status.isVisible();
    });

    // Automatic: shown from the set-up's Begin to the end of the analysis.
    ASSERT_EQ(status.Visibility(), 0);
    status.Begin("alpha", 3);
    EXPECT_EQ(status.Box()->title(), " Creating layer \"alpha\" ");
    EXPECT_EQ(status.Label()->text(), "Sorting matrix data,  please wait...");
    EXPECT_EQ(Colour(status.Label()), QColor(0, 128, 0));
    EXPECT_EQ(status.Bar()->maximum(), 6);
    EXPECT_TRUE(status.isVisible());
    Run(Request(3, 2, "alpha"));
    EXPECT_EQ(sorted, 6);
    EXPECT_EQ(started, " Creating layer\"alpha\" |Constructing sundrels, please wait...|#0000ff");
    EXPECT_EQ(constructing, 6);
    EXPECT_EQ(position, 6);
    EXPECT_EQ(status.Box()->title(), " Ready ");
    EXPECT_EQ(status.Label()->text(), "Done");
    EXPECT_EQ(Colour(status.Label()), QColor(128, 0, 128));
    EXPECT_EQ(status.Bar()->value(), 0);
    EXPECT_FALSE(status.isVisible());
    EXPECT_FALSE(status.Working());

    // A layer read from a document is named by index; one not listed yet has
    // no name. Cancelled ends as done does.
    layers_->reportLayerReading(7, 5);
    ASSERT_TRUE(WaitUntil([&] { return status.isVisible(); }));
    EXPECT_EQ(status.Box()->title(), " Creating layer \"\" ");
    EXPECT_EQ(status.Bar()->maximum(), 10);
    const QString longName(300, 'x');
    status.Begin(longName, 1);
    EXPECT_LE(status.Box()->fontMetrics().horizontalAdvance(status.Box()->title()), status.width());
    EXPECT_EQ(status.Box()->toolTip(), longName);
    emit bridge_.layerEnded(JobResult::Cancelled());
    EXPECT_EQ(status.Label()->text(), "Cancelled");
    EXPECT_FALSE(status.isVisible());

    // Closed by the user: closed for the rest of that work, shown for the next.
    status.Begin("beta", 1);
    status.close();
    emit bridge_.layerConstructing();
    EXPECT_FALSE(status.isVisible());
    emit bridge_.layerEnded(JobResult{});
    status.Begin("beta", 1);
    EXPECT_TRUE(status.isVisible());
    EXPECT_FALSE(status.ClosedByUser());
    emit bridge_.layerEnded(JobResult{});

    // Never visible: the texts follow, the window never appears; automatic
    // again while working shows it.
    status.SetVisibility(2);
    shown = false;
    Run(Request(2, 2, "hidden"));
    EXPECT_FALSE(shown);
    EXPECT_EQ(status.Box()->title(), " Ready ");
    status.Begin("late", 1);
    EXPECT_FALSE(status.isVisible());
    status.SetVisibility(0);
    EXPECT_TRUE(status.isVisible());
    emit bridge_.layerEnded(JobResult{});

    // Always visible: shown at once, still after the end.
    status.SetVisibility(1);
    EXPECT_TRUE(status.isVisible());
    Run(Request(2, 1, "shown"));
    EXPECT_TRUE(status.isVisible());
    EXPECT_EQ(status.Label()->text(), "Done");

    // A failure stays in view, in red, with the layers' message.
    status.SetVisibility(0);
    AnalysisRequest broken = Request(3, 2, "broken");
    fs::resize_file(broken.store->fileName(), 16); // the matrices cannot be read
    status.Begin("broken", 3);
    Run(std::move(broken));
    ASSERT_EQ(layers_->lastResult().outcome, JobOutcome::Failed);
    EXPECT_EQ(status.Label()->text(), QString::fromStdString(layers_->lastResult().message));
    EXPECT_EQ(Colour(status.Label()), QColor(255, 0, 0));
    EXPECT_TRUE(status.isVisible());
    EXPECT_FALSE(status.Working());
}

// Saves through the report's file dialog as `file`, after `check` saw it.
void SaveAs(TReportForm& form, const fs::path& file, const std::function<void(QFileDialog*)>& check = {})
{
    bool missed = false;
    test::WhenModal(
        "ReportSaveDialog",
        [&](QWidget* dialog) {
            auto* files = static_cast<QFileDialog*>(dialog);
            if (check)
                check(files);
            files->setDirectory(Q(file.parent_path()));
            for (auto* view : files->findChildren<QAbstractItemView*>())
                if (view->selectionModel())
                    view->selectionModel()->clearSelection();
            files->findChild<QLineEdit*>("fileNameEdit")->setText(Q(file));
            static_cast<QDialog*>(files)->accept();
        },
        &missed);
    QTest::mouseClick(form.SaveButton(), Qt::LeftButton);
    EXPECT_FALSE(missed);
}

bool SameAsWriteReport(const fs::path& saved, const Report& lines)
{
    const fs::path expected = saved.parent_path() / "expected.bin";
    WriteReport(expected, lines);
    return test::ReadFile(saved) == test::ReadFile(expected);
}

TEST_F(AnalysisWindowsTest, ReportsAreShownSavedAndOutliveTheirLayer)
{
    test::Recording<TReportForm> report(bridge_, *layers_);
    const std::int32_t index = Run(Request(1, 3, "Pass north", true));
    ASSERT_TRUE(report.isVisible());
    const Report lines = layers_->layer(index)->report();
    EXPECT_EQ(report.Lines(), lines);
    EXPECT_TRUE(report.Text()->toPlainText().startsWith(
        "**** Creating single monmonier layer \"Pass north\" ****\n"));
    EXPECT_TRUE(report.Text()->toPlainText().contains(QString::fromUtf8("n\xC2\xB0 1")));
    report.grab().save(Q(kScreenshotDir / "report-window.png"));

    // The layer's name proposed, "txt" added: the report file, Windows-1252
    // and CR LF, as WriteReport makes it.
    SaveAs(report, dir_ / "north", [](QFileDialog* files) {
        EXPECT_EQ(files->windowTitle(), "Save report");
        EXPECT_EQ(files->nameFilters(), (QStringList{"Text files (*.txt *.TXT)", "All files (*)"}));
        EXPECT_EQ(files->findChild<QLineEdit*>("fileNameEdit")->text(), "Pass north");
    });
    const std::string saved = test::ReadFile(dir_ / "north.txt");
    EXPECT_TRUE(SameAsWriteReport(dir_ / "north.txt", lines));
    EXPECT_NE(saved.find("n\xB0 1\r\n"), std::string::npos);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), static_cast<long>(lines.size()));
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\r'), static_cast<long>(lines.size()));

    // A file that cannot be written: the reason in an error box, nothing left.
    SaveAs(report, dir_ / "missing" / "r.txt");
    EXPECT_EQ(report.errors, QStringList{"Impossible to open the file"});
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
    QTest::mouseClick(report.CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(report.isVisible());

    // A layer removed before its report's message is handled: ignored.
    ASSERT_TRUE(layers_->newAnalysis(Request(2, 2, "gone", true)));
    ASSERT_TRUE(layers_->wait());
    layers_->acknowledge();
    layers_->remove(1);
    ASSERT_TRUE(Outcomes(outcomes_ + 1));
    EXPECT_FALSE(report.isVisible());
    EXPECT_EQ(report.Lines(), lines);

    // The layer whose report is shown goes: saving writes the window's copy.
    report.ShowLayerReport(index);
    layers_->remove(index);
    ASSERT_EQ(layers_->count(), 0);
    SaveAs(report, dir_ / "kept.txt");
    EXPECT_TRUE(SameAsWriteReport(dir_ / "kept.txt", lines));
    EXPECT_EQ(report.errors.size(), 1);
}

TEST_F(AnalysisWindowsTest, SelectionSendsOneToggleForAChangeAndNothingOtherwise)
{
    const std::int32_t counted = Run(Request(4, 3, "significance"));
    AnalysisRequest partial = Request(3, 2, "partial");
    partial.selection[2] = false;
    const std::int32_t other = Run(std::move(partial));
    const int start = outcomes_;
    const auto total = [&] {
        double sum = 0.0;
        for (const SundrelElement& e : layers_->layer(counted)->countList())
            sum += e.distance;
        return sum;
    };

    TSundrelSelection selection(*layers_);
    selection.SetLayer(other);
    for (int tag = 1; tag <= 10; ++tag)
        EXPECT_EQ(selection.Box(tag)->isChecked(), tag != 3) << tag;
    selection.SetLayer(counted);
    for (int tag = 1; tag <= 10; ++tag)
        EXPECT_TRUE(selection.Box(tag)->isChecked()) << tag;
    EXPECT_TRUE(selection.isVisible());
    EXPECT_TRUE(Outcomes(start));

    // Rank 1 no longer counted: one toggle, fewer crossings counted.
    const double before = total();
    Click(selection.Box(1));
    EXPECT_TRUE(Outcomes(start + 1));
    EXPECT_FALSE(layers_->layer(counted)->getSelection()[0]);
    EXPECT_LT(total(), before);
    selection.grab().save(Q(kScreenshotDir / "selection-window.png"));

    // The flag set again behind the window's back: the click that makes the
    // box equal to it sends nothing. "> 9" is the tenth flag.
    layers_->requestToggle(counted, 0);
    ASSERT_TRUE(Outcomes(start + 2));
    Click(selection.Box(1));
    EXPECT_TRUE(Outcomes(start + 2));
    Click(selection.Box(10));
    EXPECT_TRUE(Outcomes(start + 3));
    EXPECT_FALSE(layers_->layer(counted)->getSelection()[9]);

    // The layer goes and the other takes its index: a click changes neither
    // and disables the boxes.
    layers_->remove(counted);
    const auto flags = layers_->layer(0)->getSelection();
    Click(selection.Box(5));
    EXPECT_TRUE(Outcomes(start + 3));
    EXPECT_EQ(layers_->layer(0)->getSelection(), flags);
    EXPECT_FALSE(selection.Box(5)->isChecked());
    for (int tag = 1; tag <= 10; ++tag)
        EXPECT_FALSE(selection.Box(tag)->isEnabled()) << tag;
    QTest::mouseClick(selection.OKButton(), Qt::LeftButton);
    EXPECT_FALSE(selection.isVisible());
}

TEST_F(AnalysisWindowsTest, SettingsAreReadGroupByGroupAndWrittenAtTheEnd)
{
    const QPoint origin = QWidget(nullptr, Qt::Tool).pos();
    QSettings settings;
    settings.setValue("BMDialog/Left", 40);
    settings.setValue("BMDialog/Top", "high");
    settings.setValue("BMDialog/Visibility", 2);
    settings.setValue("SundrelSelection/Top", 70);
    {
        TSundrelMonmonierDialog status(bridge_, *layers_);
        TSundrelSelection selection(*layers_);
        EXPECT_EQ(status.pos(), QPoint(40, origin.y()));
        EXPECT_EQ(status.Visibility(), 2);
        EXPECT_EQ(selection.pos(), origin);
        status.move(50, 60);
        status.SetVisibility(1);
        selection.move(80, 90);
    }
    settings.sync();
    EXPECT_EQ(settings.value("BMDialog/Top").toInt(), 60);
    EXPECT_EQ(settings.value("BMDialog/Visibility").toInt(), 1);
    EXPECT_EQ(settings.value("SundrelSelection/Left").toInt(), 80);
    EXPECT_EQ(settings.value("SundrelSelection/Top").toInt(), 90);

    // A bad position leaves the mode read; a bad mode is the automatic one.
    settings.setValue("BMDialog/Left", "far");
    EXPECT_EQ(TSundrelMonmonierDialog(bridge_, *layers_).Visibility(), 1);
    settings.setValue("BMDialog/Visibility", 9);
    EXPECT_EQ(TSundrelMonmonierDialog(bridge_, *layers_).Visibility(), 0);
}

TEST_F(AnalysisWindowsTest, EveryControlIsNamedByItsCaption)
{
    TSundrelMonmonierDialog status(bridge_, *layers_);
    TReportForm report(bridge_, *layers_);
    TSundrelSelection selection(*layers_);
    EXPECT_EQ(AccessibleName(status.Bar()), "Progress");
    EXPECT_EQ(AccessibleName(report.Text()), "Report");
    EXPECT_EQ(AccessibleName(report.SaveButton()), "Save...");
    EXPECT_EQ(AccessibleName(selection.Box(9)), "9");
    EXPECT_EQ(AccessibleName(selection.Box(10)), "> 9");
    for (QWidget* window : std::initializer_list<QWidget*>{&status, &report, &selection})
        test::ExpectAccessible(window);
}

} // namespace
