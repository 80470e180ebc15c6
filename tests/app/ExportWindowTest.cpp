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

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <sstream>
#include <vector>

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

// The image of a printed PDF page: its pixel width, and the width in points
// at which the page's content stream draws it (the transformation in force
// at its "Do", applied to the unit square). Streams are inflated as zlib
// data; image streams are skipped.
struct PlacedImage {
    int pixels = 0;
    double points = 0.0;
};

PlacedImage FindPlacedImage(const std::string& pdf)
{
    PlacedImage found;
    std::smatch match;
    if (std::regex_search(pdf, match, std::regex(R"(/Subtype\s*/Image[^>]*?/Width\s+(\d+))")))
        found.pixels = std::stoi(match[1]);
    for (std::size_t at = pdf.find("stream"); at != std::string::npos;
         at = pdf.find("stream", at + 6)) {
        if (at >= 3 && pdf.compare(at - 3, 3, "end") == 0)
            continue;
        const std::size_t dict = pdf.rfind("<<", at);
        const std::string head = pdf.substr(dict, at - dict);
        std::size_t begin = at + 6;
        begin += pdf[begin] == '\r';
        begin += pdf[begin] == '\n';
        const std::size_t end = pdf.find("endstream", begin);
        if (dict == std::string::npos || end == std::string::npos ||
            head.find("/Image") != std::string::npos)
            continue;
        QByteArray data = QByteArray::fromStdString(pdf.substr(begin, end - begin));
        if (head.find("/FlateDecode") != std::string::npos) {
            // qUncompress takes zlib data after a four-byte size hint.
            data.prepend(QByteArray::fromHex("00100000"));
            data = qUncompress(data);
        }
        // A small interpreter of q, Q, cm and Do.
        std::vector<std::array<double, 6>> stack{{1, 0, 0, 1, 0, 0}};
        std::vector<double> operands;
        std::istringstream in(data.toStdString());
        std::string token;
        while (in >> token) {
            if (token == "q") {
                stack.push_back(stack.back());
            } else if (token == "Q") {
                if (stack.size() > 1)
                    stack.pop_back();
            } else if (token == "cm" && operands.size() >= 6) {
                const double* m = &operands[operands.size() - 6];
                const auto& c = stack.back();
                stack.back() = {m[0] * c[0] + m[1] * c[2], m[0] * c[1] + m[1] * c[3],
                                m[2] * c[0] + m[3] * c[2], m[2] * c[1] + m[3] * c[3],
                                m[4] * c[0] + m[5] * c[2] + c[4], m[4] * c[1] + m[5] * c[3] + c[5]};
            } else if (token == "Do") {
                const auto& c = stack.back();
                found.points = std::hypot(c[0], c[1]);
            }
            char* last = nullptr;
            const double value = std::strtod(token.c_str(), &last);
            if (last && *last == '\0' && !token.empty())
                operands.push_back(value);
            else
                operands.clear();
        }
    }
    return found;
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

// "Print..." to a PDF file on A4: the print dialog, the size dialog in
// printing mode (pixel sizes read-only) starting from the printable area at
// the printer's resolution (300 dpi at most) although the last bitmap was
// 1600 px at 72 dpi, and a page that holds the map at its own size: labels
// print at their point size.
TEST_F(ExportWindowTest, PrintingToAPdfFileGivesAPageWithTheMap)
{
    auto* sizes = form->findChild<TBitmapSizeConfiguration*>();
    ASSERT_NE(sizes, nullptr);
    sizes->SetImageMode();
    Type(sizes->ResolutionEdit(), "72");
    Type(sizes->PixelWidthEdit(), "1600");
    const fs::path pdf = dir / "printed.pdf";
    QPrinter& printer = form->Exports().Printer();
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setPageSize(QPageSize(QPageSize::A4));
    const QRectF area = printer.pageLayout().paintRect(QPageLayout::Millimeter);
    const double dpi = std::min(300, printer.resolution());
    test::WhenModal("PrintDialog", [](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    bool readOnly = false;
    test::WhenModal("BitmapSizeConfiguration", [&](QWidget* dialog) {
        auto* size = static_cast<TBitmapSizeConfiguration*>(dialog);
        readOnly = size->PixelWidthEdit()->isReadOnly() && size->PixelHeightEdit()->isReadOnly();
        EXPECT_EQ(size->windowTitle(), "Printing size");
        EXPECT_DOUBLE_EQ(size->Resolution() * 2.54, dpi);
        const double width = size->PixelWidth() / size->Resolution() * 10.0;
        const double height = size->PixelHeight() / size->Resolution() * 10.0;
        EXPECT_LE(width, area.width());
        EXPECT_LE(height, area.height());
        EXPECT_TRUE(area.width() - width < 0.2 || area.height() - height < 0.2)
            << width << " x " << height << " mm";
        QTest::mouseClick(size->OkButton(), Qt::LeftButton);
    });
    ASSERT_TRUE(form->Exports().PrintCommand());
    EXPECT_TRUE(readOnly);
    ASSERT_TRUE(fs::exists(pdf));
    EXPECT_EQ(test::ReadFile(pdf).substr(0, 5), "%PDF-");
    EXPECT_EQ(form->Exports().Printer().docName(), "example.dvk - " + QCoreApplication::applicationName());
    const PlacedImage image = FindPlacedImage(test::ReadFile(pdf));
    EXPECT_EQ(image.pixels, sizes->PixelWidth());
    EXPECT_NEAR(image.points, sizes->PixelWidth() / dpi * 72.0, 0.5);
    sizes->SetImageMode();
    EXPECT_EQ(sizes->PixelWidth(), 1600);

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

// The printing size starts from the printable area at the printer's
// resolution (300 dpi at most), whatever the image size is; once chosen it
// is kept, in the next session too, apart from the image size.
TEST(BitmapSizeDialogTest, PrintingSizeStartsFromThePageAndIsKeptApart)
{
    QSettings().clear();
    {
        TBitmapSizeConfiguration size;
        size.SetImageMode();
        size.SetAspectRatio(1.0);
        size.show();
        Type(size.ResolutionEdit(), "72");
        Type(size.PixelWidthEdit(), "1600");
        // A4's printable area, 1200 dpi: 300 dpi, the width of the page.
        size.SetPrintingMode(19.0, 27.7, 1200.0, 1.0);
        EXPECT_EQ(size.windowTitle(), "Printing size");
        EXPECT_DOUBLE_EQ(size.Resolution() * 2.54, 300.0);
        EXPECT_EQ(size.PixelWidth(), 2244); // 19 cm at 300 dpi
        EXPECT_EQ(size.WidthEdit()->text(), "19.00");
        size.grab().save(
            QString::fromStdString((fs::path(SUNDREL_SCREENSHOT_DIR) / "printing-size.png").string()));
        // A wide view fills the height instead; a 150 dpi printer keeps its own.
        size.SetPrintingMode(19.0, 10.0, 150.0, 0.5);
        EXPECT_DOUBLE_EQ(size.Resolution() * 2.54, 150.0);
        EXPECT_EQ(size.PixelHeight(), 590);
        EXPECT_EQ(size.PixelWidth(), 295);
        Type(size.ResolutionEdit(), "200");
        QTest::mouseClick(size.OkButton(), Qt::LeftButton);
        size.SetImageMode();
        EXPECT_EQ(size.PixelWidth(), 1600);
        EXPECT_DOUBLE_EQ(size.Resolution() * 2.54, 72.0);
    }
    TBitmapSizeConfiguration next;
    next.SetPrintingMode(19.0, 27.7, 1200.0, 0.5);
    EXPECT_DOUBLE_EQ(next.Resolution() * 2.54, 200.0);
    EXPECT_EQ(next.PixelWidth(), 295);
    next.SetImageMode();
    EXPECT_EQ(next.PixelWidth(), 1600);
    EXPECT_DOUBLE_EQ(next.Resolution() * 2.54, 72.0);
}

} // namespace
