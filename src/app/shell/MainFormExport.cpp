// The figures of the main window: PostScript (and EPS, SVG, PDF), bitmaps
// (BMP, PNG) and printing of the view as it is shown. Every job runs on the
// export thread behind the export dialog, with its progress and Cancel; a
// cancelled or failed job leaves no file and keeps the one it would have
// replaced.

#include "app/export/BitmapSizeConfiguration.h"
#include "app/export/ExportDialog.h"
#include "app/shell/MainForm.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewGeometry.h"
#include "common/Messages.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

#include <memory>

namespace sundrel::app {

render::ExportSource TMainForm::ViewSource()
{
    render::ExportSource source;
    source.map = map_.get();
    for (int k = 0; k < 5; ++k)
        source.visible[static_cast<std::size_t>(k)] = settings_.visibility[static_cast<std::size_t>(k)];
    source.layers = ExportedLayers();
    source.view = ToBounds(actual_);
    source.primitives = &view_->Primitives();
    source.screenPixelsPerInch = view_->Primitives().screen.resolution;
    return source;
}

QString TMainForm::AskExportFileName(const QString& name, const QString& title,
                                     const QStringList& filters, const QStringList& suffixes)
{
    QFileDialog dialog(this, title);
    dialog.setObjectName(name);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.front());
    // The suffix follows the file type chosen.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const qsizetype k = filters.indexOf(filter);
        if (k >= 0)
            dialog.setDefaultSuffix(suffixes[k]);
    });
    const QFileInfo document(DocumentName());
    if (!DocumentName().isEmpty()) {
        dialog.setDirectory(document.absolutePath());
        dialog.selectFile(document.completeBaseName() + "." + suffixes.front());
    } else {
        if (!settings_.openMapDir.isEmpty())
            dialog.setDirectory(settings_.openMapDir);
        dialog.selectFile("MyMap." + suffixes.front());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

bool TMainForm::ExportPostScriptCommand()
{
    if (!map_)
        return false;
    const QString fileName = AskExportFileName(
        "ExportPostScriptDialog", tr("Export to PostScript"),
        {tr("PostScript Files (*.ps)"), tr("Encapsulated PostScript Files (*.eps)"),
         tr("SVG Files (*.svg)"), tr("PDF Files (*.pdf)")},
        {"ps", "eps", "svg", "pdf"});
    if (fileName.isEmpty())
        return false;
    render::ExportParameters parameters;
    parameters.file = std::filesystem::path(fileName.toUtf8().toStdString());
    if (!render::VectorFormatOf(parameters.file)) {
        ShowError(tr("The figure's name must end in .ps, .eps, .svg or .pdf."));
        return false;
    }
    // One point per pixel of the view as it is shown.
    parameters.width = view_->ClientWidth();
    parameters.height = view_->ClientHeight();
    return exportDialog_->Run(render::kJobVector, parameters, ViewSource(), 1) ==
           JobOutcome::Done;
}

bool TMainForm::ExportBitmapCommand()
{
    if (!map_)
        return false;
    sizeDialog_->SetImageMode();
    sizeDialog_->SetAspectRatio(actual_.Width() / actual_.Height());
    if (sizeDialog_->exec() != QDialog::Accepted)
        return false;
    const QString fileName =
        AskExportFileName("ExportBitmapDialog", tr("Export to Bitmap"),
                          {tr("Bitmap Files (*.bmp)"), tr("PNG Files (*.png)")}, {"bmp", "png"});
    if (fileName.isEmpty())
        return false;
    render::ExportParameters parameters;
    parameters.file = std::filesystem::path(fileName.toUtf8().toStdString());
    parameters.width = sizeDialog_->PixelWidth();
    parameters.height = sizeDialog_->PixelHeight();
    parameters.resolution = sizeDialog_->Resolution();
    render::ExportSource source = ViewSource();
    const std::int64_t steps = render::ExportProgressMaximum(source);
    return exportDialog_->Run(render::kJobBitmap, parameters, std::move(source), steps) ==
           JobOutcome::Done;
}

QPrinter& TMainForm::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void TMainForm::PrinterSetupCommand()
{
    QPageSetupDialog dialog(&Printer(), this);
    dialog.setObjectName("PrinterSetupDialog");
    dialog.exec();
}

bool TMainForm::PrintCommand()
{
    if (!map_)
        return false;
    {
        QPrintDialog dialog(&Printer(), this);
        dialog.setObjectName("PrintDialog");
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    sizeDialog_->SetPrintingMode();
    sizeDialog_->SetAspectRatio(actual_.Width() / actual_.Height());
    if (sizeDialog_->exec() != QDialog::Accepted)
        return false;
    const QString title = QCoreApplication::applicationName().isEmpty()
                              ? QStringLiteral("Sundrel")
                              : QCoreApplication::applicationName();
    render::ExportParameters parameters;
    parameters.file = std::filesystem::path(DocumentName().toUtf8().toStdString());
    parameters.width = sizeDialog_->PixelWidth();
    parameters.height = sizeDialog_->PixelHeight();
    parameters.resolution = sizeDialog_->Resolution();
    printer_->setDocName(
        (DocumentName().isEmpty() ? tr("Untitled") : QFileInfo(DocumentName()).fileName()) +
        " - " + title);
    // The page is rendered on the export thread and handed over here; it
    // goes to the printer once the job has finished.
    auto page = std::make_shared<std::vector<unsigned char>>();
    render::ExportSource source = ViewSource();
    source.print = [page](const std::vector<unsigned char>& rows, std::int32_t, std::int32_t) {
        *page = rows;
    };
    const std::int64_t steps = render::ExportProgressMaximum(source);
    if (exportDialog_->Run(render::kJobPrint, parameters, std::move(source), steps) !=
        JobOutcome::Done)
        return false;
    const std::int32_t w = parameters.width;
    const std::int32_t h = parameters.height;
    const QImage image = render::ImageFromBitmapRows(*page, w, h);
    if (image.isNull()) {
        ShowError(QString::fromUtf8(msg::MemoryAllocationFailure));
        return false;
    }
    const QRect pageRect = printer_->pageLayout().paintRectPixels(printer_->resolution());
    const render::PrintPlacement place = render::PlacePrintedBitmap(
        w, h, parameters.resolution, printer_->logicalDpiX(), printer_->logicalDpiY(),
        pageRect.width(), pageRect.height(), ToBounds(actual_));
    QPainter painter;
    if (!painter.begin(printer_.get())) {
        ShowError(tr("The printer could not be started."));
        return false;
    }
    painter.drawImage(QRect(place.x, place.y, place.width, place.height), image);
    if (!painter.end()) {
        ShowError(tr("The page could not be sent to the printer."));
        return false;
    }
    return true;
}

} // namespace sundrel::app
