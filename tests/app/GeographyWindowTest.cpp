// Maps on the Earth from the window, through the real widgets, against what
// the command line makes of the same input: sites in degrees imported and
// projected, the sidecars carried by every save, the GIS layers, and a
// backdrop added in its dialog, kept beside the document and drawn beneath
// the map in the view and in a bitmap.

#include "AppTestSupport.h"
#include "app/export/BitmapSizeConfiguration.h"
#include "app/export/ExportDialog.h"
#include "app/geo/BackdropDialog.h"
#include "app/geo/BackdropLayers.h"
#include "app/geo/GeoControls.h"
#include "app/geo/GisExport.h"
#include "app/widgets/ElidedLabel.h"
#include "app/importing/ImportForm.h"
#include "geo/Sidecar.h"
#include "support/CliRunner.h"
#include "support/VectorFiles.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableView>
#include <QTest>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::ChooseFile;
using test::WaitUntil;
using test::WhenModal;

namespace fs = std::filesystem;

const fs::path kExamples = SUNDREL_EXAMPLES_DIR;
const fs::path kSites = kExamples / "sites.txt"; // longitude latitude, a header line
const fs::path kCoast = kExamples / "coast.geojson";
const fs::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

QString Q(const fs::path& path)
{
    return QString::fromStdString(path.string());
}

std::string Number(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

class GeographyWindowTest : public ::testing::Test {
protected:
    void SetUp() override { QSettings().clear(); }

    template <typename Window>
    std::unique_ptr<test::Recording<Window>> Show(const fs::path& document = {})
    {
        auto form = std::make_unique<test::Recording<Window>>();
        EXPECT_TRUE(test::ShowAndOpen(*form, document));
        return form;
    }
    // The bundled sites in degrees as `map --geographic` makes them.
    fs::path CliMap(const std::string& name)
    {
        const fs::path out = dir / name;
        const test::CliResult run = test::RunCli(
            {"map", kSites.string(), "--first-line", "2", "--geographic", "-o", out.string()});
        EXPECT_EQ(run.status, 0) << run.err;
        return out;
    }

    test::TempDir dir{"geography-window"};
};

// Degrees imported through the dialog: a site out of range is refused with
// its line, and once it is left out the map and its .prj are the command
// line's, byte for byte; a file of plane numbers keeps the plain import.
TEST_F(GeographyWindowTest, SitesInDegreesMakeTheCommandLinesMapAndCoordinateSystem)
{
    // The bundled sites, then one at latitude 95 (line 42).
    const std::string sites = test::ReadFile(kSites);
    ASSERT_EQ(std::count(sites.begin(), sites.end(), '\n'), 41);
    const fs::path file = dir / "sites.txt";
    test::WriteFile(file, sites + "7.5 95\n");
    auto form = Show<TMainForm>();

    bool missed = false;
    ChooseFile("OpenDialog", file, &missed);
    WhenModal(
        "ImportForm",
        [&](QWidget* dialog) {
            auto* importer = static_cast<TImportForm*>(dialog);
            QCheckBox* degrees = importer->GeographicBox();
            EXPECT_EQ(degrees->text(), "Longitude / latitude (degrees)");
            EXPECT_FALSE(degrees->isChecked());
            importer->LinesEdit()->setValue(2);
            importer->NumberEdit()->setValue(41);
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            // Plane numbers: latitude 95 is a number like any other.
            EXPECT_TRUE(importer->OKButton()->isEnabled());
            test::Toggle(degrees);
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            EXPECT_EQ(importer->InformationLabel()->text(),
                      "Line 42: latitude 95 is outside -90 to 90 degrees");
            EXPECT_FALSE(importer->OKButton()->isEnabled());
            test::ExpectAccessible(importer);
            importer->NumberEdit()->setValue(40);
            EXPECT_TRUE(WaitUntil([&] { return importer->Idle(); }));
            ASSERT_TRUE(importer->OKButton()->isEnabled());
            // The preview shows the file's degrees, the map takes metres.
            EXPECT_EQ(importer->DataPreview()->model()->index(0, 0).data().toString().toDouble(),
                      8.454);
            ASSERT_TRUE(importer->Geography().crs.has_value());
            EXPECT_GT(std::abs(importer->GetPoints()[0].x), 1000.0);
            QTest::mouseClick(importer->OKButton(), Qt::LeftButton);
        },
        &missed);
    form->findChild<QAction*>("NewAction")->trigger();
    ASSERT_FALSE(missed);
    ASSERT_NE(form->Map(), nullptr);
    ASSERT_TRUE(form->Document().Geography().crs.has_value());

    const fs::path saved = dir / "window.dvt";
    ChooseFile("SaveDialog", saved, &missed);
    ASSERT_TRUE(form->SaveCommand());
    ASSERT_FALSE(missed);
    const fs::path cli = CliMap("cli.dvt");
    EXPECT_TRUE(test::ReadFile(saved) == test::ReadFile(cli));
    EXPECT_EQ(test::ReadFile(geo::CrsSidecar(saved)), test::ReadFile(geo::CrsSidecar(cli)));
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join('\n').toStdString();
    form->CloseMap();
    form.reset();
    // The choice is kept for the next import.
    EXPECT_EQ(QSettings().value("Import/Geographic").toInt(), 1);
}

// What travels beside a document reaches every document the window writes
// from it: "Save as" (into another folder), the sundrel window's save and its
// triangulation export; unreadable sidecars and backdrops are named and the
// document opens without them.
TEST_F(GeographyWindowTest, SidecarsTravelWithEveryDocumentTheWindowWrites)
{
    const fs::path map = CliMap("alps.dvt");
    fs::copy_file(kCoast, dir / "coast.geojson");
    test::WriteFile(geo::BackdropSidecar(map),
                    "visible=0 line=#3060a0 size=1.5 fill=none point=3 file=coast.geojson\n");
    const std::vector<std::string> noWarnings;
    std::vector<std::string> warnings;
    const geo::DocumentGeography read = geo::ReadGeography(map, &warnings);
    ASSERT_EQ(warnings, noWarnings);
    ASSERT_EQ(read.backdrops.size(), 1u);

    auto form = Show<TSundrelForm>(map);
    ASSERT_NE(form->Map(), nullptr);
    EXPECT_EQ(form->Document().Geography().crsText, read.crsText);
    EXPECT_EQ(form->Document().Geography().backdrops, read.backdrops);
    fs::create_directory(dir / "out");
    const fs::path sundrel = dir / "out" / "alps.dvk";
    bool missed = false;
    ChooseFile("SaveDialog", sundrel, &missed);
    ASSERT_TRUE(form->SaveAsCommand());
    const fs::path triangulation = dir / "out" / "again.dvt";
    ChooseFile("ExportTriangulationDialog", triangulation, &missed);
    ASSERT_TRUE(form->ExportTriangulationCommand());
    ASSERT_FALSE(missed);
    for (const fs::path& written : {sundrel, triangulation}) {
        EXPECT_EQ(test::ReadFile(geo::CrsSidecar(written)), read.crsText) << written;
        // The backdrop's file, outside the new folder, is named by its full
        // path there: the list still finds it.
        const geo::DocumentGeography carried = geo::ReadGeography(written, &warnings);
        EXPECT_EQ(warnings, noWarnings);
        EXPECT_EQ(carried.backdrops, read.backdrops) << written;
    }
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join('\n').toStdString();

    // A .prj PROJ cannot read and a backdrop file that is gone: both named,
    // and the document is open all the same.
    test::WriteFile(geo::CrsSidecar(sundrel), "not a coordinate system");
    test::WriteFile(geo::BackdropSidecar(sundrel), "visible=1 file=gone.shp\n");
    ASSERT_TRUE(form->OpenDocument(Q(sundrel)));
    ASSERT_NE(form->Map(), nullptr);
    const QString shown = form->errors.join('\n');
    EXPECT_TRUE(shown.contains(Q(geo::CrsSidecar(sundrel)))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(Q(dir / "out" / "gone.shp"))) << shown.toStdString();
    EXPECT_TRUE(form->Geography().Backdrops().Unreadable(dir / "out" / "gone.shp"));
    EXPECT_EQ(form->Geography().Backdrops().Drawn(), nullptr);
    // Saved again, the unread texts are carried as they were.
    form->SetModified(true);
    ASSERT_TRUE(form->SaveCommand());
    EXPECT_EQ(test::ReadFile(geo::CrsSidecar(sundrel)), "not a coordinate system");
    EXPECT_NE(test::ReadFile(geo::BackdropSidecar(sundrel)).find("file=gone.shp"),
              std::string::npos);
    form->SetModified(false);
    form->CloseMap();
}

// Every feature of a layer as WKB and its fields as text, in order.
std::vector<std::string> LayerContents(const fs::path& file, const std::string& layer)
{
    std::vector<std::string> features;
    std::unique_ptr<GDALDataset> dataset(
        GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset)
        return {"unreadable"};
    OGRLayer* l = dataset->GetLayerByName(layer.c_str());
    if (!l)
        return {"no layer " + layer};
    for (const auto& feature : *l) {
        std::string text;
        for (int k = 0; k < feature->GetFieldCount(); ++k)
            text += std::string(feature->GetFieldAsString(k)) + "|";
        const OGRGeometry* g = feature->GetGeometryRef();
        std::string wkb(g ? static_cast<std::size_t>(g->WkbSize()) : 0, '\0');
        if (g)
            g->exportToWkb(wkbNDR, reinterpret_cast<unsigned char*>(wkb.data()));
        features.push_back(text + wkb);
    }
    return features;
}

// "GIS layers..." writes what `sundrel-cli gis` writes: GeoJSON files byte
// for byte, a GeoPackage with the same features; GeoJSON of a document of
// unknown coordinate system is refused before anything is written.
TEST_F(GeographyWindowTest, GisLayersAreTheCommandLines)
{
    const fs::path example = dir / "example.dvk";
    fs::copy_file(kExamples / "example.dvk", example);
    auto form = Show<TSundrelForm>(example);
    ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
    bool missed = false;
    ChooseFile("ExportGisDialog", dir / "plane.geojson", &missed);
    EXPECT_FALSE(form->Geography().GisExport().ExportCommand());
    ASSERT_EQ(form->errors.size(), 1);
    EXPECT_TRUE(form->errors[0].startsWith("GeoJSON is written in longitude/latitude"));
    EXPECT_TRUE(form->errors[0].contains(Q(dir / "plane.geojson")));
    EXPECT_EQ(dir.FileCount(), 1u);
    // The status bar names the coordinate system, as `info` does.
    TElidedLabel* crs = form->Geography().CrsPanel();
    EXPECT_TRUE(crs->isVisible());
    EXPECT_EQ(crs->FullText(), "No coordinate system");
    EXPECT_EQ(test::AccessibleName(crs), "No coordinate system");
    form->CloseMap();
    EXPECT_EQ(crs->FullText(), "");

    // The example's plane numbers taken as UTM metres.
    test::WriteFile(geo::CrsSidecar(example), "EPSG:32632");
    ASSERT_TRUE(form->OpenDocument(Q(example)));
    ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
    const test::CliResult info = test::RunCli({"info", example.string()});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(info.out.find("coordinate system: " + crs->FullText().toStdString() + "\n") != std::string::npos)
        << crs->FullText().toStdString() << "\n" << info.out;
    EXPECT_EQ(crs->FullText(), "WGS 84 / UTM zone 32N (EPSG:32632)");
    EXPECT_EQ(crs->text(), crs->FullText());
    form->grab().save(Q(kScreenshotDir / "window-crs.png"));
    QAction* entry = test::FindAction(form->Exports().ExportMenu(), "GIS layers...");
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->isEnabled());
    for (const char* extension : {".geojson", ".gpkg"}) {
        const fs::path window = dir / (std::string("window") + extension);
        const fs::path cli = dir / (std::string("cli") + extension);
        ChooseFile("ExportGisDialog", window, &missed);
        ASSERT_TRUE(form->Geography().GisExport().ExportCommand()) << extension;
        ASSERT_FALSE(missed);
        const test::CliResult run = test::RunCli({"gis", example.string(), "-o", cli.string()});
        ASSERT_EQ(run.status, 0) << run.err;
        for (const char* layer : {"sites", "delaunay", "cells", "barriers"}) {
            if (std::string(extension) == ".geojson") {
                const std::string name = std::string(".") + layer + ".geojson";
                EXPECT_TRUE(test::ReadFile(dir / ("window" + name)) ==
                            test::ReadFile(dir / ("cli" + name)))
                    << layer;
            } else {
                const auto contents = LayerContents(window, layer);
                EXPECT_GT(contents.size(), 0u) << layer;
                EXPECT_EQ(contents, LayerContents(cli, layer)) << layer;
            }
        }
    }
    EXPECT_EQ(form->errors.size(), 1);

    // A failed export: the dialog says what it was doing and shows every
    // line of the failure whole.
    test::WriteFile(dir / "blocker", "");
    QString caption;
    QStringList lines;
    WhenModal(
        "ExportDialog",
        [&](QWidget* dialog) {
            auto* progress = static_cast<TExportDialog*>(dialog);
            ASSERT_TRUE(WaitUntil([&] { return progress->Button()->text() == "Close"; }));
            caption = progress->Box()->title();
            QLabel* label = progress->StatusLabel();
            lines = label->text().split('\n');
            test::Settle(100);
            EXPECT_GE(label->height(), label->heightForWidth(label->width())) << label->text().toStdString();
            const QRect inside = QRect(label->mapTo(progress, QPoint(0, 0)), label->size());
            EXPECT_TRUE(progress->rect().contains(inside));
            progress->grab().save(Q(kScreenshotDir / "gis-failed.png"));
            QTest::mouseClick(progress->Button(), Qt::LeftButton);
        },
        &missed);
    ChooseFile("ExportGisDialog", dir / "blocker" / "layers.gpkg", &missed);
    EXPECT_FALSE(form->Geography().GisExport().ExportCommand());
    ASSERT_FALSE(missed);
    EXPECT_EQ(caption, " Exporting the GIS layers, please wait... ");
    EXPECT_GE(lines.size(), 2) << lines.join('|').toStdString();
    form->CloseMap();
}

// The count of pixels of `image` in `colour`.
int PixelsOf(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return count;
}

// A backdrop added and styled in its dialog, as a keyboard or a screen
// reader reaches its controls: kept in the .backdrops sidecar (the document
// bytes unchanged), drawn beneath the map in the view, and in a bitmap made
// from the window equal to `sundrel-cli export --backdrop` with the same
// style.
TEST_F(GeographyWindowTest, BackdropAddedInTheDialogIsSavedAndDrawnAsTheCommandLineDraws)
{
    const fs::path map = CliMap("alps.dvt");
    const std::string bytes = test::ReadFile(map);
    auto form = Show<TMainForm>(map);
    ASSERT_NE(form->Map(), nullptr);
    QAction* entry = test::FindAction(form->LayerControls().LayersMenu(), "Backdrop...");
    ASSERT_NE(entry, nullptr);

    const QColor line(0x30, 0x60, 0xA0), fill(0xB8, 0xD8, 0xF0);
    bool missed = false;
    WhenModal(
        "BackdropDialog",
        [&](QWidget* widget) {
            auto* dialog = static_cast<TBackdropDialog*>(widget);
            EXPECT_FALSE(dialog->RemoveButton()->isEnabled());
            // A file OGR cannot read is named and not listed.
            test::WriteFile(dir / "broken.geojson", "{ not json");
            ChooseFile("AddBackdropDialog", dir / "broken.geojson", &missed);
            QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
            EXPECT_EQ(dialog->List()->count(), 0);
            EXPECT_EQ(form->errors.size(), 1);
            EXPECT_TRUE(form->errors.value(0).contains(Q(dir / "broken.geojson")));
            EXPECT_FALSE(form->Modified());

            ChooseFile("AddBackdropDialog", kCoast, &missed);
            // A client's press is an animated click: it lands a moment later.
            EXPECT_TRUE(test::DoAccessibleAction(dialog->AddButton(), "Press"));
            if (!WaitUntil([&] { return dialog->List()->count() == 1; })) {
                ADD_FAILURE() << form->errors.join('\n').toStdString();
                dialog->reject();
                return;
            }
            EXPECT_EQ(dialog->List()->item(0)->text(), "coast.geojson");
            // The list shows the topmost first: a second file goes on top,
            // "Move down" draws it beneath, "Remove" takes it away.
            fs::copy_file(kCoast, dir / "second.geojson");
            ChooseFile("AddBackdropDialog", dir / "second.geojson", &missed);
            QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
            EXPECT_EQ(dialog->List()->count(), 2);
            EXPECT_EQ(dialog->List()->item(0)->text(), "second.geojson");
            EXPECT_FALSE(dialog->UpButton()->isEnabled());
            QTest::mouseClick(dialog->DownButton(), Qt::LeftButton);
            EXPECT_EQ(dialog->List()->item(1)->text(), "second.geojson");
            EXPECT_EQ(form->Document().Geography().backdrops.at(0).file, dir / "second.geojson");
            EXPECT_TRUE(dialog->UpButton()->isEnabled());
            QTest::mouseClick(dialog->RemoveButton(), Qt::LeftButton);
            EXPECT_EQ(dialog->List()->count(), 1);
            EXPECT_EQ(form->Document().Geography().backdrops.at(0).file, kCoast);
            for (auto [button, colour] : {std::pair{dialog->LineColourButton(), line},
                                          std::pair{dialog->FillColourButton(), fill}}) {
                bool shown = false;
                WhenModal("ColorDialog", [colour, &shown](QWidget* d) {
                    shown = true;
                    static_cast<QColorDialog*>(d)->setCurrentColor(colour);
                    static_cast<QDialog*>(d)->accept();
                }, &missed);
                EXPECT_TRUE(test::DoAccessibleAction(button, "Press"));
                EXPECT_TRUE(WaitUntil([&] { return shown; }));
                test::Settle();
            }
            dialog->LineSizeEdit()->setValue(1.5);
            // Hidden and shown again by its check box, however it is toggled.
            dialog->List()->item(0)->setCheckState(Qt::Unchecked);
            EXPECT_FALSE(form->Document().Geography().backdrops.at(0).style.visible);
            EXPECT_EQ(form->Geography().Backdrops().Drawn(), nullptr);
            dialog->List()->item(0)->setCheckState(Qt::Checked);
            test::ExpectAccessible(dialog);
            dialog->grab().save(Q(kScreenshotDir / "backdrop-dialog.png"));
            QTest::mouseClick(dialog->CloseButton(), Qt::LeftButton);
        },
        &missed);
    entry->trigger();
    ASSERT_FALSE(missed);
    ASSERT_EQ(form->Document().Geography().backdrops.size(), 1u);
    const geo::BackdropStyle style = form->Document().Geography().backdrops[0].style;
    EXPECT_TRUE(style.visible);
    EXPECT_EQ(geo::FormatColour(style.lineColour), "#3060a0");
    EXPECT_EQ(geo::FormatColour(style.fillColour), "#b8d8f0");
    EXPECT_EQ(style.lineSize, 1.5f);
    EXPECT_TRUE(form->Modified());

    // Saved: the list beside the document, the document's bytes as they were.
    ASSERT_TRUE(form->SaveCommand());
    EXPECT_TRUE(test::ReadFile(map) == bytes);
    std::vector<std::string> warnings;
    EXPECT_EQ(geo::ReadGeography(map, &warnings).backdrops,
              form->Document().Geography().backdrops);

    // Beneath the map in the view: the lakes' fill shows.
    test::Settle();
    const QImage view = form->Viewer().View()->grabFramebuffer();
    EXPECT_GT(PixelsOf(view, fill.rgb()), 100);
    form->grab().save(Q(kScreenshotDir / "window-backdrop.png"));

    // A bitmap from the window, and the command line's of the document
    // without its list, given the backdrop and its style as options.
    test::WhenModal("BitmapSizeConfiguration", [](QWidget* d) {
        auto* size = static_cast<TBitmapSizeConfiguration*>(d);
        size->PixelWidthEdit()->selectAll();
        QTest::keyClicks(size->PixelWidthEdit(), "500");
        QTest::mouseClick(size->OkButton(), Qt::LeftButton);
    });
    ChooseFile("ExportBitmapDialog", dir / "window.bmp", &missed);
    ASSERT_TRUE(form->Exports().ExportBitmapCommand());
    const int height = form->Exports().SizeDialog()->PixelHeight();
    fs::remove(geo::BackdropSidecar(map));
    const MBounds v = form->Viewer().CurrentView();
    const test::CliResult run = test::RunCli(
        {"export", map.string(), "-o", (dir / "cli.bmp").string(), "--width", "500", "--height",
         std::to_string(height), "--view",
         Number(v.xMin) + "," + Number(v.xMax) + "," + Number(v.yMin) + "," + Number(v.yMax),
         "--backdrop", kCoast.string(), "--backdrop-line", "#3060a0", "--backdrop-size", "1.5",
         "--backdrop-fill", "#b8d8f0"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(test::ReadFile(dir / "window.bmp") == test::ReadFile(dir / "cli.bmp"));
    EXPECT_GT(PixelsOf(QImage(Q(dir / "window.bmp")), fill.rgb()), 100);
    EXPECT_EQ(form->errors.size(), 1);
    form->CloseMap();
}

// The backdrop dialog follows the open document: it closes when its
// document goes (another one opened, or none left), and shows the list of
// the document open when it comes again.
TEST_F(GeographyWindowTest, TheBackdropDialogFollowsTheOpenDocument)
{
    const fs::path first = CliMap("first.dvt");
    const fs::path second = dir / "second.dvt";
    fs::copy_file(first, second);
    fs::copy_file(geo::CrsSidecar(first), geo::CrsSidecar(second));
    auto form = Show<TMainForm>(first);
    // The status bar's name of the system: what does not fit is elided,
    // readers get it whole.
    TElidedLabel* crs = form->Geography().CrsPanel();
    test::Settle();
    EXPECT_TRUE(crs->FullText().startsWith("Azimuthal equidistant around longitude")) << crs->FullText().toStdString();
    EXPECT_EQ(test::AccessibleName(crs), crs->FullText());
    EXPECT_LE(crs->fontMetrics().horizontalAdvance(crs->text()), crs->contentsRect().width());
    bool missed = false;
    // Runs the dialog; `then` acts on it and says whether it must be closed.
    const auto withDialog = [&](const std::function<bool(TBackdropDialog*)>& then) {
        bool closed = false;
        WhenModal(
            "BackdropDialog",
            [&](QWidget* widget) {
                auto* dialog = static_cast<TBackdropDialog*>(widget);
                if (then(dialog))
                    dialog->reject();
                closed = true;
            },
            &missed);
        form->Geography().BackdropCommand();
        EXPECT_TRUE(closed);
    };
    withDialog([&](TBackdropDialog* dialog) {
        ChooseFile("AddBackdropDialog", kCoast, &missed);
        QTest::mouseClick(dialog->AddButton(), Qt::LeftButton);
        EXPECT_EQ(dialog->List()->count(), 1);
        EXPECT_TRUE(form->SaveCommand());
        // Another document, without backdrops: the list shown was the
        // first one's, the dialog goes.
        EXPECT_TRUE(form->OpenDocument(Q(second)));
        EXPECT_FALSE(dialog->isVisible());
        return dialog->isVisible();
    });
    withDialog([&](TBackdropDialog* dialog) {
        EXPECT_EQ(dialog->List()->count(), 0);
        EXPECT_FALSE(dialog->RemoveButton()->isEnabled());
        return true;
    });
    withDialog([&](TBackdropDialog* dialog) {
        EXPECT_TRUE(form->OpenDocument(Q(first)));
        EXPECT_FALSE(dialog->isVisible());
        return dialog->isVisible();
    });
    withDialog([&](TBackdropDialog* dialog) {
        EXPECT_EQ(dialog->List()->count(), 1);
        // No document left: the dialog goes.
        form->CloseMap();
        EXPECT_FALSE(dialog->isVisible());
        return dialog->isVisible();
    });
    ASSERT_FALSE(missed);
    EXPECT_TRUE(form->errors.isEmpty()) << form->errors.join('\n').toStdString();
}

} // namespace
