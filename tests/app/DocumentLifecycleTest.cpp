// The document lifecycle through the real widgets: a new map from a
// coordinates file (the same document as the command line makes), saving
// and reopening, every answer of the close query, a save that fails, and the
// settings kept from one start to the next.

#include "AppTestSupport.h"
#include "app/document/DocumentBridge.h"
#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/SundrelNumberDialog.h"
#include "app/export/ExportDialog.h"
#include "app/importing/ImportForm.h"
#include "app/importing/MapCreationControl.h"
#include "app/shell/CloseDialog.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"
#include "monmonier/SundrelDocument.h"
#include "support/CliRunner.h"

#include <QAction>
#include <QFileDialog>
#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QGuiApplication>
#include <QScreen>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::LayersComputed;
using test::Settle;
using test::WaitUntil;
using test::ChooseFile;
using test::WhenModal;
using test::Recording;

namespace fs = std::filesystem;

const fs::path kExample = fs::path(SUNDREL_EXAMPLES_DIR) / "example.dvk";
const fs::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

QString Q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

void Shoot(QWidget* widget, const char* name)
{
    widget->grab().save(Q(kScreenshotDir / name));
}

void Answer(TCloseDialog::Answer answer, bool* missed = nullptr)
{
    WhenModal(
        "CloseDialog",
        [answer](QWidget* dialog) {
            auto* close = static_cast<TCloseDialog*>(dialog);
            QPushButton* button = answer == TCloseDialog::Answer::Yes ? close->YesButton()
                                  : answer == TCloseDialog::Answer::No ? close->NoButton()
                                                                       : close->CancelButton();
            QTest::mouseClick(button, Qt::LeftButton);
        },
        missed);
}

// A file made by the tests' own folder.
class LifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }

    template <typename Form>
    std::unique_ptr<Recording<Form>> Show()
    {
        auto form = std::make_unique<Recording<Form>>();
        form->show();
        EXPECT_TRUE(WaitUntil([&] { return form->Viewer().View()->Initialized(); }, 20000));
        return form;
    }

    // A copy of the example sundrel document, opened, its layers computed.
    std::unique_ptr<Recording<TSundrelForm>> OpenCopy(const fs::path& copy)
    {
        fs::copy_file(kExample, copy, fs::copy_options::overwrite_existing);
        auto form = Show<TSundrelForm>();
        EXPECT_TRUE(form->OpenDocument(Q(copy)));
        EXPECT_TRUE(WaitUntil([&] { return LayersComputed(*form); }));
        Settle();
        return form;
    }

    test::TempDir dir_{"lifecycle"};
};

// Sites in the layout a spreadsheet gives: a header line, a name column,
// latitude before longitude, decimal commas.
std::string SitesText(int n)
{
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> lat(45.0, 47.0), lon(5.5, 10.5);
    std::string text = "site latitude longitude\n";
    for (int i = 0; i < n; ++i) {
        char line[96];
        std::snprintf(line, sizeof line, "P%02d %.4f %.4f\n", i + 1, lat(rng), lon(rng));
        for (char* c = line; *c; ++c)
            if (*c == '.')
                *c = ',';
        text += line;
    }
    return text;
}

TEST_F(LifecycleTest, NewMapFromACoordinatesFileIsTheCommandLinesMap)
{
    constexpr int kSites = 30;
    const fs::path sites = dir_ / "sites.txt";
    test::WriteFile(sites, SitesText(kSites));
    auto form = Show<TMainForm>();

    bool missed = false;
    ChooseFile("OpenDialog", sites, &missed);
    WhenModal(
        "ImportForm",
        [&](QWidget* dialog) {
            auto* importer = static_cast<TImportForm*>(dialog);
            // The first extraction, with the default set-up, fails on the
            // header line, in red, and OK stays disabled.
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            EXPECT_FALSE(importer->OKButton()->isEnabled());
            EXPECT_EQ(importer->InformationLabel()->palette().color(QPalette::WindowText),
                      QColor(255, 0, 0));
            EXPECT_TRUE(importer->FilePreview()->toPlainText().startsWith(
                "  1 | site latitude longitude"));
            // The message says where to look.
            const QString failure = importer->InformationLabel()->text();
            EXPECT_TRUE(failure.startsWith("Error at line 1") ||
                        failure.contains("at line 1 (column 1)")) << failure.toStdString();
            EXPECT_TRUE(failure.contains("\"Start import at line\"")) << failure.toStdString();
            Shoot(importer, "import-form-error.png");

            importer->LinesEdit()->setValue(2);
            importer->ColumnsEdit()->setValue(2);
            // The settings' ten points of thirty data lines: said before OK.
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            EXPECT_EQ(importer->NumberEdit()->value(), 10);
            EXPECT_EQ(importer->InformationLabel()->text(),
                      "10 lines successfully read\n10 of the 30 data lines will be read");
            Shoot(importer, "import-form-part.png");
            importer->NumberEdit()->setValue(kSites);
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            // "Y first" chosen as an accessibility client chooses it: the
            // values are read again in that order.
            QRadioButton* yFirst = importer->YFirstButton();
            test::Toggle(yFirst);
            EXPECT_TRUE(yFirst->isChecked());
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            EXPECT_EQ(importer->InformationLabel()->text(), "30 lines successfully read");
            test::ExpectAccessible(importer);
            ASSERT_TRUE(importer->OKButton()->isEnabled());
            // Y first: the grid's X is the second number of the line.
            const QAbstractItemModel* grid = importer->DataPreview()->model();
            EXPECT_EQ(grid->rowCount(), kSites);
            EXPECT_EQ(grid->headerData(0, Qt::Horizontal).toString(), "X");
            const double x = grid->index(0, 0).data().toString().toDouble();
            EXPECT_GT(x, 5.5);
            EXPECT_LT(x, 10.5);
            Shoot(importer, "import-form.png");
            QTest::mouseClick(importer->OKButton(), Qt::LeftButton);
        },
        &missed);
    form->findChild<QAction*>("NewAction")->trigger();
    ASSERT_FALSE(missed);
    ASSERT_NE(form->Map(), nullptr);
    EXPECT_EQ(form->Map()->N(), kSites);
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(form->windowTitle(), "Sundrel");
    EXPECT_TRUE(form->findChild<QAction*>("SaveAction")->isEnabled());

    // "Save" of a document without a name asks for one; the document the
    // window writes with the default styles is the command line's, byte for
    // byte.
    const fs::path saved = dir_ / "window.dvt";
    ChooseFile("SaveDialog", saved, &missed);
    EXPECT_TRUE(form->SaveCommand());
    ASSERT_FALSE(missed);
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(form->windowTitle(), "Sundrel - window.dvt");
    const fs::path cli = dir_ / "cli.dvt";
    const test::CliResult made =
        test::RunCli({"map", sites.string(), "--first-line", "2", "--first-column", "2",
                      "--points", std::to_string(kSites), "--y-first", "-o", cli.string()});
    ASSERT_EQ(made.status, 0) << made.err;
    EXPECT_TRUE(test::ReadFile(saved) == test::ReadFile(cli)) << "the documents differ";
    Shoot(form.get(), "new-map.png");
}

// Where the file dialogs start: on the documents of the window's own kind,
// and for data files in the folder of the last one chosen, coordinates or
// matrices alike.
TEST_F(LifecycleTest, FileDialogsStartWhereTheUsersFilesAre)
{
    const auto openFilter = [](TMainForm& form) {
        QString filter;
        WhenModal("OpenDialog", [&](QWidget* dialog) {
            filter = static_cast<QFileDialog*>(dialog)->selectedNameFilter();
            static_cast<QDialog*>(dialog)->reject();
        });
        form.findChild<QAction*>("OpenAction")->trigger();
        return filter;
    };
    EXPECT_TRUE(openFilter(*Show<TMainForm>()).startsWith("Triangulation files"));
    EXPECT_TRUE(openFilter(*Show<TSundrelForm>()).startsWith("Sundrel files"));

    const fs::path data = dir_ / "data";
    fs::create_directories(data);
    test::WriteFile(data / "sites.txt", SitesText(5));
    auto form = Show<TMainForm>();
    bool missed = false;
    ChooseFile("OpenDialog", data / "sites.txt", &missed);
    WhenModal("ImportForm", [](QWidget* dialog) { static_cast<QDialog*>(dialog)->reject(); },
              &missed);
    form->findChild<QAction*>("NewAction")->trigger();
    ASSERT_FALSE(missed);

    TMonmonierSetup setup;
    QString folder;
    WhenModal("MonmonierSetup", [&](QWidget*) {
        WhenModal("LoadMatrixDialog", [&](QWidget* dialog) {
            folder = static_cast<QFileDialog*>(dialog)->directory().absolutePath();
            static_cast<QDialog*>(dialog)->reject();
        });
        QTest::mouseClick(setup.LoadButton(), Qt::LeftButton);
        static_cast<QDialog&>(setup).reject();
    });
    setup.SetExpectedSize(5);
    setup.ExecuteNew();
    EXPECT_EQ(folder.toStdString(), data.string());
}

TEST_F(LifecycleTest, CancellingAnyStepOfNewOrOpenKeepsTheOpenDocument)
{
    auto form = OpenCopy(dir_ / "kept.dvk");
    const MMap* open = form->Map();
    form->SetModified(true);

    // "I don't know" stops at once.
    bool missed = false;
    Answer(TCloseDialog::Answer::Cancel, &missed);
    form->findChild<QAction*>("OpenAction")->trigger();
    EXPECT_FALSE(missed);
    // "No", then the file dialog cancelled; then the import cancelled.
    Answer(TCloseDialog::Answer::No, &missed);
    ChooseFile("OpenDialog", {}, &missed);
    form->findChild<QAction*>("OpenAction")->trigger();
    const fs::path sites = dir_ / "sites.txt";
    test::WriteFile(sites, SitesText(12));
    Answer(TCloseDialog::Answer::No, &missed);
    ChooseFile("OpenDialog", sites, &missed);
    WhenModal(
        "ImportForm",
        [](QWidget* dialog) {
            auto* importer = static_cast<TImportForm*>(dialog);
            WaitUntil([&] { return importer->Idle(); });
            QTest::mouseClick(importer->CancelButton(), Qt::LeftButton);
        },
        &missed);
    form->findChild<QAction*>("NewAction")->trigger();
    // The creation fails (two sites at one place): its reason under the
    // generic line, then Cancel.
    const fs::path twins = dir_ / "twins.txt";
    test::WriteFile(twins, "1 1\n2 5\n1 1\n4 2\n");
    Answer(TCloseDialog::Answer::No, &missed);
    ChooseFile("OpenDialog", twins, &missed);
    WhenModal(
        "ImportForm",
        [](QWidget* dialog) {
            auto* importer = static_cast<TImportForm*>(dialog);
            importer->NumberEdit()->setValue(4);
            WaitUntil([&] { return importer->Idle() && importer->OKButton()->isEnabled(); });
            QTest::mouseClick(importer->OKButton(), Qt::LeftButton);
        },
        &missed);
    WhenModal(
        "MapCreationControl",
        [](QWidget* dialog) {
            auto* creation = static_cast<TMapCreationControl*>(dialog);
            WaitUntil([&] { return creation->ReasonLabel()->isVisible(); });
            EXPECT_EQ(creation->ProgressionLabel()->text(),
                      "An error occured during the computation.");
            EXPECT_EQ(creation->ReasonLabel()->text(), "Duplicate point");
            EXPECT_FALSE(creation->OKButton()->isEnabled());
            Shoot(creation, "creation-error.png");
            QTest::mouseClick(creation->CancelButton(), Qt::LeftButton);
        },
        &missed);
    form->findChild<QAction*>("NewAction")->trigger();
    ASSERT_FALSE(missed);

    EXPECT_EQ(form->Map(), open);
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(form->windowTitle(), "Sundrel - kept.dvk");
    EXPECT_EQ(form->Layers().count(), 2);
    EXPECT_TRUE(form->errors.isEmpty());
}

TEST_F(LifecycleTest, CloseQueryAnswers)
{
    const fs::path named = dir_ / "named.dvk";
    auto form = OpenCopy(named);
    const std::string before = test::ReadFile(named);
    bool missed = false;

    // "I don't know": nothing changes, closing the window included.
    form->SetModified(true);
    WhenModal("CloseDialog", [](QWidget* dialog) {
        Shoot(dialog, "close-dialog.png");
        QTest::mouseClick(static_cast<TCloseDialog*>(dialog)->CancelButton(), Qt::LeftButton);
    });
    form->findChild<QAction*>("CloseAction")->trigger();
    Answer(TCloseDialog::Answer::Cancel, &missed);
    EXPECT_FALSE(form->close());
    ASSERT_FALSE(missed);
    EXPECT_NE(form->Map(), nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(form->Modified());

    // "Yes" with a name: saved to it, then closed.
    Answer(TCloseDialog::Answer::Yes, &missed);
    form->findChild<QAction*>("CloseAction")->trigger();
    ASSERT_FALSE(missed);
    EXPECT_EQ(form->Map(), nullptr);
    EXPECT_EQ(form->windowTitle(), "Sundrel");
    EXPECT_EQ(test::ReadFile(named), before);

    // A triangulation document in the sundrel window has no sundrel name:
    // "Yes" asks for one, and cancelling that keeps the document.
    const fs::path triangulation = dir_ / "map.dvt";
    {
        MMapFactory factory;
        LoadedDocument doc = LoadMapDocument(kExample, factory);
        ExportTriangulation(triangulation, BuildHeader(*doc.map), *doc.map, factory);
        factory.DestroyMap(*doc.map);
    }
    ASSERT_TRUE(form->OpenDocument(Q(triangulation)));
    form->SetModified(true);
    Answer(TCloseDialog::Answer::Yes, &missed);
    ChooseFile("SaveDialog", {}, &missed);
    form->findChild<QAction*>("CloseAction")->trigger();
    EXPECT_NE(form->Map(), nullptr);
    EXPECT_TRUE(form->Modified());

    // ... and giving one saves a sundrel document there.
    const fs::path chosen = dir_ / "chosen.dvk";
    Answer(TCloseDialog::Answer::Yes, &missed);
    ChooseFile("SaveDialog", chosen, &missed);
    form->findChild<QAction*>("CloseAction")->trigger();
    ASSERT_FALSE(missed);
    EXPECT_EQ(form->Map(), nullptr);
    ASSERT_TRUE(fs::exists(chosen));

    // "No": closed without saving; quitting with nothing modified asks nothing.
    ASSERT_TRUE(form->OpenDocument(Q(chosen)));
    const std::string kept = test::ReadFile(chosen);
    form->SetModified(true);
    Answer(TCloseDialog::Answer::No, &missed);
    EXPECT_TRUE(form->close());
    ASSERT_FALSE(missed);
    EXPECT_EQ(test::ReadFile(chosen), kept);
    EXPECT_TRUE(form->errors.isEmpty());
}

// Writes beyond `bytes` fail in this process while it lives, as on a full
// disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(LifecycleTest, AFailedSaveKeepsTheDocumentModifiedAndThePreviousFile)
{
    const fs::path named = dir_ / "full.dvk";
    auto form = OpenCopy(named);
    const std::string before = test::ReadFile(named);
    form->SetModified(true);

    bool missed = false;
    QImage shot; // saved once files may grow again
    WhenModal(
        "ExportDialog",
        [&shot](QWidget* dialog) {
            auto* progress = static_cast<TExportDialog*>(dialog);
            ASSERT_TRUE(WaitUntil([&] { return progress->Button()->text() == "Close"; }));
            // The message, then the file and the system's reason.
            const QStringList lines = progress->StatusLabel()->text().split('\n');
            ASSERT_EQ(lines.size(), 2);
            EXPECT_EQ(lines[0], "File writing error");
            EXPECT_TRUE(lines[1].contains("full.dvk")) << lines[1].toStdString();
            // Shown whole, however the path wraps.
            QLabel* label = progress->StatusLabel();
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
            EXPECT_EQ(progress->StatusLabel()->palette().color(QPalette::WindowText),
                      QColor(255, 0, 0));
            shot = progress->grab().toImage();
            QTest::mouseClick(progress->Button(), Qt::LeftButton);
        },
        &missed);
    bool saved = true;
    {
        FileSizeLimit full(4096);
        saved = form->SaveCommand();
    }
    ASSERT_FALSE(missed);
    shot.save(Q(kScreenshotDir / "save-failed.png"));
    EXPECT_FALSE(saved);
    EXPECT_TRUE(form->Modified());
    EXPECT_EQ(form->windowTitle(), "Sundrel - full.dvk");
    EXPECT_EQ(test::ReadFile(named), before);
    EXPECT_EQ(dir_.FileCount(), 1u) << "a temporary file was left behind";

    // The close query does not go on after a failed save.
    WhenModal("CloseDialog", [](QWidget* dialog) {
        WhenModal("ExportDialog", [](QWidget* progress) {
            auto* d = static_cast<TExportDialog*>(progress);
            WaitUntil([&] { return d->Button()->text() == "Close"; });
            QTest::mouseClick(d->Button(), Qt::LeftButton);
        });
        QTest::mouseClick(static_cast<TCloseDialog*>(dialog)->YesButton(), Qt::LeftButton);
    });
    {
        FileSizeLimit full(4096);
        EXPECT_FALSE(form->CloseQuery());
    }
    EXPECT_NE(form->Map(), nullptr);
    EXPECT_TRUE(form->Modified());
}

// Two copies of the program with one document: the second to save is asked
// before it replaces what the first wrote; Cancel keeps its document
// modified and the file as the first left it.
TEST_F(LifecycleTest, AFileChangedByAnotherCopyIsNotReplacedUnasked)
{
    const fs::path shared = dir_ / "shared.dvk";
    auto first = OpenCopy(shared);
    auto second = Show<TSundrelForm>();
    ASSERT_TRUE(second->OpenDocument(Q(shared)));
    ASSERT_TRUE(WaitUntil([&] { return LayersComputed(*second); }));

    // Every question about a changed file is answered `answer` and counted.
    int asked = 0;
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box->objectName() == "ReplaceChangedFile" && box->isVisible()) {
            ++asked;
            QTest::mouseClick(box->button(answer), Qt::LeftButton);
        }
    });
    answering.start(20);

    first->LayerControls().VisibleAction()->trigger();
    ASSERT_TRUE(first->Modified());
    EXPECT_TRUE(first->SaveCommand());
    EXPECT_EQ(asked, 0);
    const std::string firstVersion = test::ReadFile(shared);

    second->SetModified(true);
    EXPECT_FALSE(second->SaveCommand());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(second->Modified());
    EXPECT_EQ(test::ReadFile(shared), firstVersion);

    answer = QMessageBox::Yes;
    EXPECT_TRUE(second->SaveCommand());
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(second->Modified());
    EXPECT_NE(test::ReadFile(shared), firstVersion);

    // What a copy wrote itself is replaced without a question.
    second->SetModified(true);
    EXPECT_TRUE(second->SaveCommand());
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(dir_.FileCount(), 1u);
}

TEST_F(LifecycleTest, CancellingACreationStopsItAndTheNextOneWorks)
{
    DocumentBridge bridge;
    MMapFactory factory;
    bridge.attach(factory);
    TMapCreationControl creation(factory, bridge);
    const std::vector<MXY> points = [] {
        std::mt19937 rng(3);
        std::uniform_real_distribution<double> u(0.0, 1000.0);
        std::vector<MXY> p(200000);
        for (MXY& q : p)
            q = {u(rng), u(rng)};
        return p;
    }();

    // Cancel once the bar has moved: the dialog closes at once, the worker
    // stops at its next step and hands out no map.
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, [&] {
        if (creation.ProgressBar()->value() < 5)
            return;
        cancel.stop();
        Shoot(&creation, "creation.png");
        QTest::mouseClick(creation.CancelButton(), Qt::LeftButton);
    });
    cancel.start(5);
    EXPECT_FALSE(creation.Run(points));
    EXPECT_FALSE(creation.isVisible());
    EXPECT_TRUE(factory.wait(std::chrono::milliseconds(5000)));
    EXPECT_EQ(creation.TakeMap(), nullptr);

    const std::vector<MXY> few(points.begin(), points.begin() + 500);
    EXPECT_TRUE(creation.Run(few));
    const std::unique_ptr<MMap> map = creation.TakeMap();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->N(), 500);
    EXPECT_TRUE(creation.ProgressionLabel()->text().startsWith("Triangulation created in "));
    EXPECT_TRUE(creation.ProgressionLabel()->text().endsWith(" s"));
    factory.DestroyMap(*map);
    bridge.detach(factory);
}

TEST_F(LifecycleTest, SavedDocumentReopensWithTheSameView)
{
    auto form = OpenCopy(dir_ / "original.dvk");
    const QImage before = form->Viewer().View()->grabFramebuffer();
    const fs::path copy = dir_ / "copy.dvk";
    bool missed = false;
    ChooseFile("SaveDialog", copy, &missed);
    ASSERT_TRUE(form->SaveAsCommand());
    ASSERT_FALSE(missed);
    EXPECT_EQ(form->windowTitle(), "Sundrel - copy.dvk");
    form->CloseCommand();
    ASSERT_EQ(form->Map(), nullptr);

    ASSERT_TRUE(form->OpenDocument(Q(copy)));
    ASSERT_TRUE(WaitUntil([&] { return LayersComputed(*form); }));
    Settle();
    EXPECT_EQ(form->Viewer().View()->grabFramebuffer(), before);
    EXPECT_EQ(form->Layers().count(), 2);
}

// Saved while its layers are still read and computed: the document keeps
// them all, in their order.
TEST_F(LifecycleTest, SavingRightAfterOpeningKeepsTheLayers)
{
    const fs::path copy = dir_ / "busy.dvk";
    fs::copy_file(kExample, copy);
    auto form = Show<TSundrelForm>();
    // No event is handled between the two: the layers are still being read.
    ASSERT_TRUE(form->OpenDocument(Q(copy)));
    form->SetModified(true);
    ASSERT_TRUE(form->SaveCommand());
    ASSERT_TRUE(WaitUntil([&] { return LayersComputed(*form); }));
    const QImage before = form->Viewer().View()->grabFramebuffer();

    form->CloseCommand();
    ASSERT_TRUE(form->OpenDocument(Q(copy)));
    ASSERT_TRUE(WaitUntil([&] { return LayersComputed(*form); }));
    Settle();
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join("\n").toStdString();
    EXPECT_EQ(form->Layers().count(), 2);
    EXPECT_EQ(form->Layers().drawOrder(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(form->Viewer().View()->grabFramebuffer(), before);
}

TEST_F(LifecycleTest, SettingsComeBackAndADamagedGroupFallsBackAlone)
{
    {
        QSettings settings;
        settings.beginGroup("MapEditor");
        settings.setValue("Left", 40);
        settings.setValue("Top", 30);
        settings.setValue("Width", 700);
        settings.setValue("Height", 520);
        settings.setValue("Maximized", 0);
        settings.setValue("OpenDir", "/data/sites");
        settings.setValue("OpenMapDir", "/data/maps");
        settings.setValue("ColorTableBase", 5);
        for (int i = 0; i < 5; ++i)
            settings.setValue(QString("LayerColor%1").arg(i), 10 + i);
        settings.setValue("MapFontName", "Courier");
        settings.setValue("MapFontSize", 12);
        settings.setValue("MapFontStyle", 0x11);
        settings.setValue("OriginalPointSize", 5.0);
        settings.setValue("VirtualPointSize", "big"); // damaged: the sizes take their defaults
        settings.setValue("DelaunayLineSize", 2.0);
        settings.setValue("VoronoiLineSize", 2.0);
        settings.setValue("ActiveLayer", 3);
        for (int i = 0; i < 5; ++i)
            settings.setValue(QString("LayerVisibility%1").arg(i), i == 2 ? 0 : 1);
    }
    const auto read = [] {
        TSundrelForm form;
        return form.Settings();
    };
    const MainFormSettings s = read();
    EXPECT_EQ(s.openDir, "/data/sites");
    EXPECT_EQ(s.openMapDir, "/data/maps");
    EXPECT_EQ(s.colourTableBase, 5);
    EXPECT_EQ(s.layerColourIndex, (std::array<int, 5>{10, 11, 12, 13, 14}));
    EXPECT_EQ(s.font, (MapFont{"Courier", 12, 0x11}));
    EXPECT_EQ(s.originalPointSize, 3.0f);
    EXPECT_EQ(s.virtualPointSize, 3.0f);
    EXPECT_EQ(s.delaunayLineSize, 1.0f);
    EXPECT_EQ(s.activeLayer, 3);
    EXPECT_EQ(s.visibility, (std::array<bool, 5>{true, true, false, true, true}));

    // A first start has the documented defaults.
    QSettings().clear();
    const MainFormSettings first = read();
    EXPECT_EQ(first.colourTableBase, 4);
    EXPECT_EQ(first.layerColourIndex, (std::array<int, 5>{2, 40, 0, 8, 32}));
    EXPECT_EQ(first.activeLayer, 1);
    EXPECT_EQ(first.originalPointSize, 3.0f);
    EXPECT_EQ(first.delaunayLineSize, 1.0f);

    // Closing writes what a document changed; the next start reads it.
    {
        auto form = Show<TSundrelForm>();
        form->resize(640, 500);
        fs::copy_file(kExample, dir_ / "doc.dvk");
        ASSERT_TRUE(form->OpenDocument(Q(dir_ / "doc.dvk")));
        EXPECT_TRUE(form->close());
    }
    const MainFormSettings again = read();
    EXPECT_EQ(again.openMapDir, Q(dir_.path()));
    ASSERT_TRUE(again.bounds.has_value());
    EXPECT_EQ(again.bounds->size(), QSize(640, 500));
}

// Damaged or foreign settings: a dialog placed off every screen (a modal
// one would block the window unseen) comes back onto the screen, and a
// choice out of range leaves the default checked.
TEST_F(LifecycleTest, SettingsOutOfRangeComeBackWithinIt)
{
    QSettings settings;
    for (const char* group : {"Import", "ImportMat", "MonmonierSetup", "BMDialog"}) {
        settings.setValue(QString("%1/Left").arg(group), 99999);
        settings.setValue(QString("%1/Top").arg(group), -99999);
    }
    settings.setValue("MapEditor/SundrelStatus", 9);
    settings.sync();
    auto form = Show<TSundrelForm>();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    for (QWidget* dialog : form->findChildren<QDialog*>())
        EXPECT_TRUE(screen.contains(dialog->pos())) << dialog->objectName().toStdString();
    EXPECT_TRUE(screen.contains(form->findChild<TImportForm*>()->pos()));

    QMenu* status = nullptr;
    for (QAction* action : form->ResultMenus().SundrelsMenu()->actions())
        if (action->menu() && action->text() == "Status window")
            status = action->menu();
    ASSERT_NE(status, nullptr);
    QStringList checked;
    for (QAction* item : status->actions())
        if (item->isChecked())
            checked << item->text();
    EXPECT_EQ(checked, QStringList{"Auto (default)"});
    EXPECT_EQ(form->ResultMenus().StatusWindowMode(), 0);

    // What the window writes back is on the screen too.
    form.reset();
    QSettings again;
    EXPECT_LE(again.value("Import/Left").toInt(), screen.right());
    EXPECT_GE(again.value("Import/Top").toInt(), screen.top());
}

TEST_F(LifecycleTest, EveryControlHasTheNameItsCaptionGives)
{
    auto form = Show<TSundrelForm>();
    for (QWidget* dialog : std::initializer_list<QWidget*>{
             form->findChild<TImportForm*>(), form->findChild<TCloseDialog*>(), form->Exports().ExportDialog(),
             form->findChild<TMapCreationControl*>(), form->findChild<TMonmonierSetup*>(), form->findChild<TMonmonierSetup*>()->NumberDialog()})
        test::ExpectAccessible(dialog);
    // Every button of the window's tool bars, the overflow button included.
    for (QToolBar* bar : form->findChildren<QToolBar*>())
        for (QToolButton* button : bar->findChildren<QToolButton*>())
            EXPECT_FALSE(test::AccessibleName(button).isEmpty())
                << bar->windowTitle().toStdString() << ": " << button->objectName().toStdString();
}

} // namespace
