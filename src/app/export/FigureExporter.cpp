#include "app/export/FigureExporter.h"

#include "app/document/OpenDocument.h"
#include "app/export/BitmapSizeConfiguration.h"
#include "app/export/ExportDialog.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewController.h"
#include "app/widgets/FileDialogs.h"
#include "common/Messages.h"
#include "monmonier/MonmonierLayer.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileInfo>
#include <QImage>
#include <QKeySequence>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace sundrel::app {

TFigureExporter::TFigureExporter(TOpenDocument& document, TViewController& view,
                                 DocumentBridge& bridge, QWidget* window)
    : QObject(window), document_(document), view_(view), window_(window),
      exportMenu_(new QMenu(tr("Export"), window)),
      printerSetup_(new QAction(tr("Printer setup..."), this)),
      print_(new QAction(tr("Print..."), this)), exportDialog_(new TExportDialog(bridge, window)),
      sizeDialog_(new TBitmapSizeConfiguration(window))
{
    postScript_ = exportMenu_->addAction(tr("PostScript (*.ps)"), this,
                                         [this] { ExportPostScriptCommand(); });
    bitmap_ = exportMenu_->addAction(tr("Bitmap (*.bmp)"), this, [this] { ExportBitmapCommand(); });
    connect(printerSetup_, &QAction::triggered, this, &TFigureExporter::PrinterSetupCommand);
    connect(print_, &QAction::triggered, this, [this] { PrintCommand(); });
    print_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    exportDialog_->LayerName = [this](int index) {
        const MonmonierLayer* layers = document_.Layers();
        const auto layer = layers ? layers->layer(index) : nullptr;
        return layer ? layer->name : std::string();
    };
}

TFigureExporter::~TFigureExporter()
{
    // The export dialog's worker reports through the bridge: it goes first.
    delete exportDialog_;
}

void TFigureExporter::EnableMapCommands(bool enabled)
{
    for (QAction* action : {postScript_, bitmap_, print_})
        action->setEnabled(enabled);
}

JobOutcome TFigureExporter::Run(int job, const render::ExportParameters& parameters,
                                render::ExportSource source, std::int64_t progressMaximum,
                                const QString& caption)
{
    return exportDialog_->Run(job, parameters, std::move(source), progressMaximum, caption);
}

render::ExportSource TFigureExporter::ViewSource() const
{
    render::ExportSource source;
    source.map = document_.Map();
    source.visible = document_.Display().visibility;
    source.layers = document_.Layers();
    source.view = view_.CurrentView();
    source.primitives = &view_.View()->Primitives();
    source.screenPixelsPerInch = view_.View()->Primitives().screen.resolution;
    if (Backdrops)
        source.backdrops = Backdrops();
    return source;
}

QString TFigureExporter::AskFileName(const QString& name, const QString& title,
                                     const QStringList& filters, const QStringList& suffixes)
{
    FileQuestion question{name, title, filters, suffixes, {}, "MyMap." + suffixes.front()};
    if (!document_.Name().isEmpty()) {
        const QFileInfo info(document_.Name());
        question.folder = info.absolutePath();
        question.proposed = info.completeBaseName() + "." + suffixes.front();
    } else if (DocumentFolder) {
        question.folder = DocumentFolder();
    }
    return AskFileToWrite(window_, question);
}

bool TFigureExporter::AskSize(bool printing)
{
    const MBounds& shown = view_.CurrentView();
    const double ratio = shown.Width() / shown.Height();
    if (printing) {
        const QRectF area = Printer().pageLayout().paintRect(QPageLayout::Millimeter);
        sizeDialog_->SetPrintingMode(area.width() / 10.0, area.height() / 10.0,
                                     Printer().resolution(), ratio);
    } else {
        sizeDialog_->SetImageMode();
        sizeDialog_->SetAspectRatio(ratio);
    }
    return sizeDialog_->exec() == QDialog::Accepted;
}

bool TFigureExporter::ExportPostScriptCommand()
{
    if (!document_.Map())
        return false;
    const QString fileName = AskFileName(
        "ExportPostScriptDialog", tr("Export to PostScript"),
        {tr("PostScript Files (*.ps)"), tr("Encapsulated PostScript Files (*.eps)"),
         tr("SVG Files (*.svg)"), tr("PDF Files (*.pdf)")},
        {"ps", "eps", "svg", "pdf"});
    if (fileName.isEmpty())
        return false;
    render::ExportParameters parameters;
    parameters.file = ToPath(fileName);
    if (!render::VectorFormatOf(parameters.file)) {
        emit failed(tr("The figure's name must end in .ps, .eps, .svg or .pdf."));
        return false;
    }
    // One point per pixel of the view as it is shown.
    parameters.width = view_.View()->ClientWidth();
    parameters.height = view_.View()->ClientHeight();
    return Run(render::kJobVector, parameters, ViewSource(), 1) == JobOutcome::Done;
}

bool TFigureExporter::ExportBitmapCommand()
{
    if (!document_.Map() || !AskSize(false))
        return false;
    const QString fileName =
        AskFileName("ExportBitmapDialog", tr("Export to Bitmap"),
                    {tr("Bitmap Files (*.bmp)"), tr("PNG Files (*.png)")}, {"bmp", "png"});
    if (fileName.isEmpty())
        return false;
    render::ExportParameters parameters;
    parameters.file = ToPath(fileName);
    parameters.width = sizeDialog_->PixelWidth();
    parameters.height = sizeDialog_->PixelHeight();
    parameters.resolution = sizeDialog_->Resolution();
    render::ExportSource source = ViewSource();
    const std::int64_t steps = render::ExportProgressMaximum(source);
    return Run(render::kJobBitmap, parameters, std::move(source), steps) == JobOutcome::Done;
}

QPrinter& TFigureExporter::Printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void TFigureExporter::PrinterSetupCommand()
{
    QPageSetupDialog dialog(&Printer(), window_);
    dialog.setObjectName("PrinterSetupDialog");
    dialog.exec();
}

bool TFigureExporter::PrintCommand()
{
    if (!document_.Map())
        return false;
    {
        QPrintDialog dialog(&Printer(), window_);
        dialog.setObjectName("PrintDialog");
        if (dialog.exec() != QDialog::Accepted)
            return false;
    }
    if (!AskSize(true))
        return false;
    const QString title = QCoreApplication::applicationName().isEmpty()
                              ? QStringLiteral("Sundrel")
                              : QCoreApplication::applicationName();
    const QString name = document_.Name();
    render::ExportParameters parameters;
    parameters.file = ToPath(name);
    parameters.width = sizeDialog_->PixelWidth();
    parameters.height = sizeDialog_->PixelHeight();
    parameters.resolution = sizeDialog_->Resolution();
    printer_->setDocName((name.isEmpty() ? tr("Untitled") : QFileInfo(name).fileName()) + " - " +
                         title);
    // The page is rendered on the export thread and handed over here; it
    // goes to the printer once the job has finished.
    auto page = std::make_shared<std::vector<unsigned char>>();
    render::ExportSource source = ViewSource();
    source.print = [page](const std::vector<unsigned char>& rows, std::int32_t, std::int32_t) {
        *page = rows;
    };
    const std::int64_t steps = render::ExportProgressMaximum(source);
    if (Run(render::kJobPrint, parameters, std::move(source), steps) != JobOutcome::Done)
        return false;
    const std::int32_t w = parameters.width;
    const std::int32_t h = parameters.height;
    const QImage image = render::ImageFromBitmapRows(*page, w, h);
    if (image.isNull()) {
        emit failed(QString::fromUtf8(msg::MemoryAllocationFailure));
        return false;
    }
    const QRect pageRect = printer_->pageLayout().paintRectPixels(printer_->resolution());
    const render::PrintPlacement place = render::PlacePrintedBitmap(
        w, h, parameters.resolution, printer_->logicalDpiX(), printer_->logicalDpiY(),
        pageRect.width(), pageRect.height(), view_.CurrentView());
    QPainter painter;
    if (!painter.begin(printer_.get())) {
        emit failed(tr("The printer could not be started."));
        return false;
    }
    painter.drawImage(QRect(place.x, place.y, place.width, place.height), image);
    if (!painter.end()) {
        emit failed(tr("The page could not be sent to the printer."));
        return false;
    }
    return true;
}

} // namespace sundrel::app
