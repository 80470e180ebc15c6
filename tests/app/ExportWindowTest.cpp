// Figures from the window: bitmaps, PNG, PostScript and printing to a PDF
// file, checked against what the command line writes for the same view, and
// the size dialog's linking and refusals, driven through the real dialogs.

#include "AppTestSupport.h"
#include "app/export/BitmapSizeConfiguration.h"
#include "app/export/ExportDialog.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewGeometry.h"
#include "support/CliRunner.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::WaitUntil;

namespace fs = std::filesystem;

const fs::path kExample = fs::path(SUNDREL_EXAMPLES_DIR) / "example.dvk";

std::string Number(double v)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// Types into a field as a user does: everything selected, then the keys.
void Type(QLineEdit* edit, const QString& text)
{
    edit->selectAll();
    QTest::keyClicks(edit, text);
}

class ExportWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        form = std::make_unique<test::Recording<TSundrelForm>>();
        ASSERT_TRUE(test::ShowAndOpen(*form, kExample));
        ASSERT_TRUE(WaitUntil([&] { return test::LayersComputed(*form); }));
        test::Settle();
    }
    void TearDown() override
    {
        if (form) {
            form->SetModified(false);
            form->CloseMap();
        }
    }
    // The command line's export of the example with the window's view.
    test::CliResult CliExport(const fs::path& out, int width, int height)
    {
        const MBounds v = form->Viewer().CurrentView();
        return test::RunCli({"export", kExample.string(), "-o", out.string(), "--width",
                             std::to_string(width), "--height", std::to_string(height), "--view",
                             Number(v.xMin) + "," + Number(v.xMax) + "," + Number(v.yMin) + "," +
                                 Number(v.yMax)});
    }
    // The size dialog answered with `width` pixels (image mode).
    void AnswerSize(int width)
    {
        test::WhenModal("BitmapSizeConfiguration", [width](QWidget* dialog) {
            auto* size = static_cast<TBitmapSizeConfiguration*>(dialog);
            Type(size->PixelWidthEdit(), QString::number(width));
            QTest::mouseClick(size->OkButton(), Qt::LeftButton);
        });
    }

    std::unique_ptr<test::Recording<TSundrelForm>> form;
    test::TempDir dir{"export-window"};
};

// A bitmap and a PNG exported from the window have the pixels the command
// line draws for the same size and view (the PNG is the very same file).
TEST_F(ExportWindowTest, BitmapsEqualTheCommandLinesForTheSameView)
{
    for (const char* name : {"window.bmp", "window.png"}) {
        AnswerSize(640);
        test::ChooseFile("ExportBitmapDialog", dir / name);
        ASSERT_TRUE(form->Exports().ExportBitmapCommand()) << name;
        const int height = form->Exports().SizeDialog()->PixelHeight();
        EXPECT_EQ(height, static_cast<int>(640 / (form->Viewer().CurrentView().Width() /
                                                   form->Viewer().CurrentView().Height())));
        const fs::path cli = dir / (std::string("cli") + fs::path(name).extension().string());
        const test::CliResult run = CliExport(cli, 640, height);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_TRUE(test::ReadFile(dir / name) == test::ReadFile(cli)) << name;
    }
    EXPECT_TRUE(form->errors.isEmpty());
    EXPECT_FALSE(form->Modified());
}

// PostScript from the window renders with Ghostscript, and is the command
// line's for a figure of the view's size (the creation date aside).
TEST_F(ExportWindowTest, PostScriptRendersAndEqualsTheCommandLines)
{
    test::ChooseFile("ExportPostScriptDialog", dir / "window.ps");
    ASSERT_TRUE(form->Exports().ExportPostScriptCommand());
    const fs::path cli = dir / "cli.ps";
    const test::CliResult run =
        CliExport(cli, form->Viewer().View()->ClientWidth(), form->Viewer().View()->ClientHeight());
    ASSERT_EQ(run.status, 0) << run.err;
    // The title is the file's name, the creation date the time of writing.
    const auto withoutTitleAndDate = [](std::string text) {
        for (const char* key : {"%%Title", "%%CreationDate"}) {
            const auto at = text.find(key);
            if (at != std::string::npos)
                text.erase(at, text.find('\n', at) - at);
        }
        return text;
    };
    EXPECT_TRUE(withoutTitleAndDate(test::ReadFile(dir / "window.ps")) ==
                withoutTitleAndDate(test::ReadFile(cli)));

    const QString gs = QStandardPaths::findExecutable("gs");
    if (gs.isEmpty())
        GTEST_SKIP() << "Ghostscript is not installed";
    QProcess process;
    process.start(gs, {"-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=png16m", "-r36",
                       QString::fromStdString("-sOutputFile=" + (dir / "ps.png").string()),
                       QString::fromStdString((dir / "window.ps").string())});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    EXPECT_GT(fs::file_size(dir / "ps.png"), 1000u);
}

// "Print..." to a PDF file: the print dialog, the size dialog in printing
// mode (pixel sizes read-only), and a page that holds the map.
TEST_F(ExportWindowTest, PrintingToAPdfFileGivesAPageWithTheMap)
{
    const fs::path pdf = dir / "printed.pdf";
    form->Exports().Printer().setOutputFileName(QString::fromStdString(pdf.string()));
    test::WhenModal("PrintDialog", [](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    bool readOnly = false;
    test::WhenModal("BitmapSizeConfiguration", [&](QWidget* dialog) {
        auto* size = static_cast<TBitmapSizeConfiguration*>(dialog);
        readOnly = size->PixelWidthEdit()->isReadOnly() && size->PixelHeightEdit()->isReadOnly();
        EXPECT_EQ(size->windowTitle(), "Printing size");
        QTest::mouseClick(size->OkButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(form->Exports().PrintCommand());
    EXPECT_TRUE(readOnly);
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_EQ(test::ReadFile(pdf).substr(0, 5), "%PDF-");
    EXPECT_EQ(form->Exports().Printer().docName(), "example.dvk - " + QCoreApplication::applicationName());

    const QString gs = QStandardPaths::findExecutable("gs");
    if (gs.isEmpty())
        GTEST_SKIP() << "Ghostscript is not installed";
    QProcess process;
    process.start(gs, {"-q", "-dBATCH", "-dNOPAUSE", "-dSAFER", "-sDEVICE=png16m", "-r20",
                       QString::fromStdString("-sOutputFile=" + (dir / "page.png").string()),
                       QString::fromStdString(pdf.string())});
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitCode(), 0);
    // Something other than white paper: the map's lines and points.
    const QImage page(QString::fromStdString((dir / "page.png").string()));
    ASSERT_FALSE(page.isNull());
    int ink = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            ink += page.pixel(x, y) != qRgb(255, 255, 255) ? 1 : 0;
    EXPECT_GT(ink, 100);
}

// "Export" > "Triangulation (*.dvt)" writes the map alone: opened again, it
// has the same map and no result layers, and the open document stays as it
// was.
TEST_F(ExportWindowTest, TheTriangulationExportReopensWithoutResultLayers)
{
    const fs::path dvt = dir / "map.dvt";
    test::ChooseFile("ExportTriangulationDialog", dvt);
    ASSERT_TRUE(form->ExportTriangulationCommand());
    EXPECT_FALSE(form->Modified());
    EXPECT_EQ(form->DocumentName().toStdString(), kExample.string());
    const std::int32_t n = form->Map()->N();
    const std::int32_t v = form->Map()->V();
    form->CloseMap();
    ASSERT_TRUE(form->OpenDocument(QString::fromStdString(dvt.string())));
    test::Settle();
    EXPECT_EQ(form->Map()->N(), n);
    EXPECT_EQ(form->Map()->V(), v);
    EXPECT_EQ(form->Layers().count(), 0);
}

// A cancelled bitmap export leaves the file it would have replaced as it
// was, and no temporary file beside it.
TEST_F(ExportWindowTest, ACancelledExportKeepsThePreviousFile)
{
    const fs::path target = dir / "kept.bmp";
    test::WriteFile(target, "the previous figure");
    AnswerSize(4000);
    test::ChooseFile("ExportBitmapDialog", target);
    // The file dialog asks before replacing a file.
    test::WhenModal("", [](QWidget* box) {
        auto* question = qobject_cast<QMessageBox*>(box);
        ASSERT_NE(question, nullptr);
        QTest::mouseClick(question->button(QMessageBox::Yes), Qt::LeftButton);
    });
    test::WhenModal("ExportDialog", [](QWidget* dialog) {
        // Its status reads as it shows.
        EXPECT_FALSE(static_cast<TExportDialog*>(dialog)->StatusLabel()->text().isEmpty());
        test::ExpectAccessible(dialog);
        QTest::mouseClick(static_cast<TExportDialog*>(dialog)->Button(), Qt::LeftButton);
    });
    EXPECT_FALSE(form->Exports().ExportBitmapCommand());
    EXPECT_EQ(test::ReadFile(target), "the previous figure");
    EXPECT_EQ(dir.FileCount(), 1u);
}

// The size dialog links its fields as the user types, shows units, and
// refuses sizes the renderer cannot make while staying open.
TEST(BitmapSizeDialogTest, FieldsFollowEachOtherAndImpossibleSizesAreRefused)
{
    QSettings().clear();
    TBitmapSizeConfiguration size;
    size.SetImageMode();
    size.SetAspectRatio(2.0);
    size.SetLimit(3000);
    size.show();
    Type(size.PixelWidthEdit(), "1000");
    EXPECT_EQ(size.PixelHeightEdit()->text(), "500");
    EXPECT_EQ(size.WidthEdit()->text(), "35.28"); // 1000 px at 72 dpi
    size.WidthUnit()->setCurrentIndex(1);
    EXPECT_EQ(size.WidthEdit()->text(), "13.89"); // inches
    Type(size.WidthEdit(), "5");                  // inches: 12.7 cm
    EXPECT_EQ(size.PixelWidth(), 360);
    EXPECT_EQ(size.PixelHeight(), 180);
    Type(size.ResolutionEdit(), "144"); // dpi: the pixels stay, the inches halve
    EXPECT_EQ(size.PixelWidth(), 360);
    EXPECT_EQ(size.WidthEdit()->text(), "2.50");
    Type(size.PixelHeightEdit(), "1600");
    EXPECT_EQ(size.PixelWidth(), 3200);

    QTest::mouseClick(size.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(size.isVisible());
    EXPECT_TRUE(size.Message()->text().contains("3000")) << size.Message()->text().toStdString();
    test::ExpectAccessible(&size);
    size.grab().save(
        QString::fromStdString((fs::path(SUNDREL_SCREENSHOT_DIR) / "size-dialog.png").string()));
    Type(size.PixelWidthEdit(), "0");
    QTest::mouseClick(size.OkButton(), Qt::LeftButton);
    EXPECT_TRUE(size.isVisible());
    EXPECT_FALSE(size.Message()->text().isEmpty());
    Type(size.PixelWidthEdit(), "800");
    QTest::mouseClick(size.OkButton(), Qt::LeftButton);
    EXPECT_FALSE(size.isVisible());
    EXPECT_EQ(size.result(), QDialog::Accepted);
    // The unit boxes read by their captions, their value the unit shown;
    // a client opens their list as it opens any combo box's.
    const QStringList captions{"Width unit", "Height unit", "Resolution unit"};
    const QList<QComboBox*> units{size.WidthUnit(), size.HeightUnit(), size.ResolutionUnit()};
    for (int i = 0; i < 3; ++i) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(units[i]);
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->role(), QAccessible::ComboBox);
        EXPECT_EQ(face->text(QAccessible::Name), captions[i]);
        EXPECT_EQ(face->text(QAccessible::Value), units[i]->currentText());
        EXPECT_EQ(face->childCount(), 1);
    }
    size.show();
    EXPECT_TRUE(test::DoAccessibleAction(size.WidthUnit(), QAccessibleActionInterface::showMenuAction()));
    EXPECT_TRUE(WaitUntil([&] { return size.WidthUnit()->view()->isVisible(); }, 5000));
    size.WidthUnit()->hidePopup();
}

// The units, the resolution and the pixel width come back after a restart.
TEST(BitmapSizeDialogTest, SettingsSurviveARestart)
{
    QSettings().clear();
    {
        TBitmapSizeConfiguration size;
        size.SetAspectRatio(1.5);
        size.ResolutionUnit()->setCurrentIndex(1);
        size.HeightUnit()->setCurrentIndex(1);
        Type(size.ResolutionEdit(), "40");
        Type(size.PixelWidthEdit(), "1234");
    }
    TBitmapSizeConfiguration again;
    again.SetAspectRatio(1.5);
    EXPECT_EQ(again.PixelWidth(), 1234);
    EXPECT_EQ(again.PixelHeight(), 822);
    EXPECT_EQ(again.Resolution(), 40.0);
    EXPECT_EQ(again.ResolutionUnit()->currentIndex(), 1);
    EXPECT_EQ(again.HeightUnit()->currentIndex(), 1);
    EXPECT_EQ(again.WidthUnit()->currentIndex(), 0);
}

} // namespace
