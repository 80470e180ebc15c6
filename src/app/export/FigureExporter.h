#pragma once
// The jobs of the export thread for the open document, each behind the
// export dialog with its progress and Cancel: the figures of the view as it
// is shown — PostScript (and EPS, SVG, PDF), bitmaps (BMP, PNG) and printing
// — and the jobs that write documents. A cancelled or failed job leaves no
// file and keeps the one it would have replaced.

#include "render/Export.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QPrinter;
class QWidget;

namespace sundrel::app {

class DocumentBridge;
class TBitmapSizeConfiguration;
class TExportDialog;
class TOpenDocument;
class TViewController;

class TFigureExporter : public QObject {
    Q_OBJECT

public:
    TFigureExporter(TOpenDocument& document, TViewController& view, DocumentBridge& bridge,
                    QWidget* window);
    ~TFigureExporter() override;

    // Where the file dialogs start when the document has no name yet.
    std::function<QString()> DocumentFolder;
    // The backdrops the figures draw beneath the map, as the view does.
    std::function<const std::vector<render::Backdrop>*()> Backdrops;

    // "Export" with "PostScript (*.ps)" and "Bitmap (*.bmp)"; "Printer
    // setup..." and "Print...".
    QMenu* ExportMenu() const { return exportMenu_; }
    QAction* PrinterSetupAction() const { return printerSetup_; }
    QAction* PrintAction() const { return print_; }
    TExportDialog* ExportDialog() const { return exportDialog_; }
    TBitmapSizeConfiguration* SizeDialog() const { return sizeDialog_; }
    // The printer of "Print..." and "Printer setup...", made when first asked
    // for.
    QPrinter& Printer();

    // The view as it is shown, the PostScript figure by the file type chosen
    // (EPS, SVG and PDF too), the bitmap (or PNG), the printed page: false
    // when cancelled, refused or failed.
    bool ExportPostScriptCommand();
    bool ExportBitmapCommand();
    bool PrintCommand();
    void PrinterSetupCommand();
    // Runs a job of the export thread through the export dialog, whose box
    // is captioned `caption` (the job's own caption when empty).
    JobOutcome Run(int job, const render::ExportParameters& parameters,
                   render::ExportSource source, std::int64_t progressMaximum,
                   const QString& caption = {});
    // The commands that need a map.
    void EnableMapCommands(bool enabled);

signals:
    // A figure could not be made, with the reason.
    void failed(const QString& message);

private:
    // What the figures draw: the map as the view shows it.
    render::ExportSource ViewSource() const;
    // A save dialog for a figure (object name `name`): the document's name
    // with the first filter's extension, or "MyMap" with it.
    QString AskFileName(const QString& name, const QString& title, const QStringList& filters,
                        const QStringList& suffixes);
    // The size dialog for the view's shape: true for OK.
    bool AskSize(bool printing);

    TOpenDocument& document_;
    TViewController& view_;
    QWidget* window_;
    QMenu* exportMenu_;
    QAction* postScript_;
    QAction* bitmap_;
    QAction* printerSetup_;
    QAction* print_;
    TExportDialog* exportDialog_;
    TBitmapSizeConfiguration* sizeDialog_;
    std::unique_ptr<QPrinter> printer_;
};

} // namespace sundrel::app
