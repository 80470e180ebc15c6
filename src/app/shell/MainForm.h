#pragma once
// The map editor window: the one open map document, its menus and tool
// bars, and its lifecycle — the commands that create, open, save and close
// documents, with the close query before anything replaces unsaved work —
// and the settings, read at start and written at close. What the user sees
// of the document is the document object's (app/document); the view, the
// tools, the layer controls, the editing, the styles and the figures are
// each a feature of their own, which this window creates and wires. The
// sundrel window derives from it through the virtual hooks.
//
// Worker notifications reach this window and its dialogs through one
// DocumentBridge; long work (creating a map, saving) runs on the workers
// behind modal progress dialogs with Cancel.

#include "app/shell/MainFormSettings.h"
#include "common/AtomicFile.h"
#include "model/MapDocument.h"

#include <QMainWindow>
#include <QString>

#include <filesystem>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSettings;

namespace sundrel {
class MMapFactory;
struct JobHooks;
} // namespace sundrel

namespace sundrel::app {

class DocumentBridge;
class TCloseDialog;
class TFigureExporter;
class TGeoControls;
class TImportForm;
class TLayerControls;
class TMapCreationControl;
class TMapEditor;
class TOpenDocument;
class TStyleController;
class TViewController;
class TViewTools;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Shows the window as the settings left it (maximized or not).
    void ShowAsSaved();
    // Reads the document named on the command line (made a full path).
    void OpenFromCommandLine(const QString& argument);
    // Reads the document and makes it the open one; false when it cannot
    // be read (the error has then been shown and the open document, if
    // any, stays as it was). Asks nothing.
    bool OpenDocument(const QString& fileName);

    // The commands of the "File" menu.
    void NewCommand();
    void OpenCommand();
    void CloseCommand();
    bool SaveCommand();
    bool SaveAsCommand();
    // "Close" without the query (no map afterwards).
    void CloseMap();
    // The close query: true when the caller may go on (nothing to save, the
    // changes dropped, or saved); false when the user chose to stay or the
    // save failed.
    bool CloseQuery();

    const MMap* Map() const;
    bool Modified() const;
    void SetModified(bool modified);
    QString DocumentName() const;
    // The settings as closing the window now would write them.
    MainFormSettings Settings() const;

    // The open document, and the window's features.
    TOpenDocument& Document() const { return *document_; }
    TViewController& Viewer() const { return *viewer_; }
    TViewTools& Tools() const { return *tools_; }
    TLayerControls& LayerControls() const { return *layerControls_; }
    TMapEditor& Editor() const { return *editor_; }
    TStyleController& Styles() const { return *styles_; }
    TFigureExporter& Exports() const { return *exports_; }
    TGeoControls& Geography() const { return *geo_; }

signals:
    // A document was read, created, saved or closed (tests and the derived
    // window follow the lifecycle through it).
    void documentChanged();

protected:
    struct Deferred {};
    // For derived windows: builds the controls; the derived constructor
    // calls Initialize() once its own members exist, so that the hooks
    // reach it.
    TMainForm(QWidget* parent, Deferred);
    // Reads the settings (with the hooks) and leaves the window without a
    // map.
    void Initialize();

    // A map is present: its commands enabled. None: disabled, modified
    // cleared, no name.
    virtual void EnableMapControls(bool enabled);
    virtual void ReadExtraSettings(QSettings&) {}
    virtual void WriteExtraSettings(QSettings&) {}
    // After the header and map body were read and the file closed.
    virtual void AfterLoad(const DocumentHeader&, const std::filesystem::path&) {}
    virtual void AfterNewMap() {}
    virtual void BeforeCloseMap() {}
    // After a save job ended, however it ended.
    virtual void AfterSaveJob() {}
    // Writes the document; runs on the export thread while the export
    // dialog is modal.
    virtual void SaveMap(const std::filesystem::path& file, const JobHooks& hooks);
    // Steps the save job reports, for the progress bar.
    virtual std::int64_t SaveStepCount() const;
    // The system's message in an error box, with the file and the system's
    // reason as its detail where there is one.
    virtual void ShowError(const QString& message, const QString& detail = {});
    // Before replacing the open document's file that another program changed
    // since it was read or written here: true to replace it.
    virtual bool ConfirmReplacingChangedFile();
    // True while a save job runs (the export dialog is modal meanwhile).
    bool Saving() const { return saving_; }

    void closeEvent(QCloseEvent* event) override;

    // The save and open dialogs' texts; the derived window sets its own.
    struct DocumentDialogs {
        QString openTitle;
        QString openFilters;
        // The filter the open dialog starts on (none: the first).
        QString openSelected;
        QString saveTitle;
        QString saveFilter;
        QString defaultName;
    };
    DocumentDialogs dialogs_;
    QString documentExtension_ = ".dvt";

    // Declared before what uses them, so that they go last.
    std::unique_ptr<DocumentBridge> bridge_;
    std::unique_ptr<MMapFactory> factory_;
    std::unique_ptr<TOpenDocument> document_;
    std::unique_ptr<TViewController> viewer_;
    std::unique_ptr<TMapEditor> editor_;
    std::unique_ptr<TViewTools> tools_;
    std::unique_ptr<TLayerControls> layerControls_;
    std::unique_ptr<TStyleController> styles_;
    std::unique_ptr<TFigureExporter> exports_;
    std::unique_ptr<TGeoControls> geo_;

private:
    void CreateMenus();
    void ReadSettings();
    void WriteSettings();
    void UpdateCommands();
    // Runs a save job to `fileName` through the export dialog; true once the
    // file is written.
    bool SaveTo(const QString& fileName);
    void SetDocumentName(const QString& fileName);
    // The file chosen in the open dialog, or an empty string.
    QString AskOpenFileName(const QString& title, const QString& filters, QString& folder,
                            const QString& selected = {});
    QString AskSaveFileName();

    TCloseDialog* closeDialog_ = nullptr;
    TImportForm* importForm_ = nullptr;
    TMapCreationControl* creationControl_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;

    // Where the window was, and the folders of the file dialogs, as read
    // from the settings and as the user has moved them since.
    std::optional<QRect> bounds_;
    bool maximized_ = false;
    QString openMapDir_;
    // The name the save dialog proposes.
    QString saveName_;
    // The open document's file as read or last written here.
    FileStamp documentStamp_;
    bool saving_ = false;
};

} // namespace sundrel::app
