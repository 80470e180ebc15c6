#pragma once
// The map editor window: the one open map document shown in the OpenGL view
// inside a scrolling panel; the commands that create, open, save and close
// documents, with the close query before anything replaces unsaved work;
// the window's settings; and the view rectangle logic (the requested view,
// the actual view derived from it at every resize, the scroll area and
// bars, the zoom panel). The sundrel window derives from it through the
// virtual hooks.
//
// Worker notifications reach this window and its dialogs through one
// DocumentBridge; long work (creating a map, saving) runs on the workers
// behind modal progress dialogs with Cancel.

#include "app/shell/MainFormSettings.h"
#include "app/view/ViewGeometry.h"
#include "common/AtomicFile.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "render/Canvas.h"
#include "render/Export.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QKeyEvent;
class QMouseEvent;
class QPrinter;
class QSettings;
class QTimer;
class QToolBar;
class QToolButton;

namespace sundrel {
class EditHistory;
class MapSnapshot;
class MonmonierLayer;
} // namespace sundrel

namespace sundrel::app {

class DocumentBridge;
class TCloseDialog;
class TBitmapSizeConfiguration;
class TExportDialog;
class TImportForm;
class TMapCreationControl;
class TOpenGLControl;
class TScrollingPanel;
class TColourMenu;
class TSizeMenu;

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    // The view's tools.
    enum class Tool { Select, MovePoint, AddPoint, RemovePoint, Zoom, Unzoom, Move };

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
    // "Reset zoom": the requested view becomes the frame bounds.
    void ResetZoom();
    void ZoomIn();
    void ZoomOut();
    // The requested view centred in the map's outer bounds.
    void CentreView();

    // The tool chosen, and the one in force with the modifier keys held.
    void SetTool(Tool tool);
    Tool CurrentTool() const { return tool_; }
    Tool EffectiveTool() const;
    // The active layer and the layers' visibility, as the menus and the
    // layer buttons change them (the document becomes modified).
    void ChooseActiveLayer(int layer);
    void ChangeLayerVisibility(int layer, bool visible);
    void ShowAllLayersCommand();
    void HideUnactiveLayersCommand();
    // "File" > "Export" > "PostScript (*.ps)" (EPS, SVG and PDF by the file
    // type chosen) and "Bitmap (*.bmp)" (or PNG), "Print..." and "Printer
    // setup...": the view as it is shown, on the export thread with the
    // export dialog. False when cancelled, refused or failed.
    bool ExportPostScriptCommand();
    bool ExportBitmapCommand();
    bool PrintCommand();
    void PrinterSetupCommand();
    // "Edit" > "Undo" and "Redo", "Points" > "Remove all virtual points".
    void UndoCommand();
    void RedoCommand();
    void RemoveAllVirtualPointsCommand();

    // The close query: true when the caller may go on (nothing to save, the
    // changes dropped, or saved); false when the user chose to stay or the
    // save failed.
    bool CloseQuery();

    const MMap* Map() const { return map_.get(); }
    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    const QString& DocumentName() const { return documentName_; }
    const QString& DocumentExtension() const { return documentExtension_; }
    const MainFormSettings& Settings() const { return settings_; }
    ViewRect RequestedView() const { return requested_; }
    ViewRect CurrentView() const { return actual_; }
    ViewRect CurrentScrollArea() const { return area_; }
    QString ZoomText() const;
    int ActiveLayer() const { return settings_.activeLayer; }
    // Whether a layer is shown; a derived window answers for its own style
    // targets.
    virtual bool LayerVisible(int layer) const;
    const std::vector<std::uint32_t>& ColourTable() const { return colourTable_; }

    TOpenGLControl* View() const { return view_; }
    TScrollingPanel* Panel() const { return panel_; }
    DocumentBridge& Bridge() const { return *bridge_; }
    MMapFactory& Factory() const { return *factory_; }
    TCloseDialog* CloseDialog() const { return closeDialog_; }
    TExportDialog* ExportDialog() const { return exportDialog_; }
    TImportForm* ImportForm() const { return importForm_; }
    TMapCreationControl* CreationControl() const { return creationControl_; }
    QAction* NewAction() const { return newAction_; }
    QAction* OpenAction() const { return openAction_; }
    QAction* CloseAction() const { return closeAction_; }
    QAction* SaveAction() const { return saveAction_; }
    QAction* SaveAsAction() const { return saveAsAction_; }
    QAction* QuitAction() const { return quitAction_; }
    QAction* AboutAction() const { return aboutAction_; }
    QAction* ResetZoomAction() const { return resetZoomAction_; }
    QAction* ZoomInAction() const { return zoomInAction_; }
    QAction* ZoomOutAction() const { return zoomOutAction_; }
    QAction* ToolAction(Tool tool) const;
    QAction* LayerAction(int layer) const;
    QAction* VisibleAction() const { return visibleAction_; }
    // The button of a layer or style target in the layer tool bar.
    QWidget* LayerButton(int layer) const;
    QMenu* LayersMenu() const { return layersMenu_; }
    QMenu* ViewMenu() const { return viewMenu_; }
    QMenu* PointsMenu() const { return pointsMenu_; }
    QMenu* EditMenu() const { return editMenu_; }
    QAction* UndoItem() const { return undoAction_; }
    QAction* RedoItem() const { return redoAction_; }
    QAction* RemoveAllPointsItem() const { return removeAllAction_; }
    // The edit history of the open map (none without a map, or after it
    // failed).
    const EditHistory* History() const { return history_.get(); }
    // The virtual point following the mouse, or -1.
    std::int32_t DraggedPoint() const { return dragged_; }
    QString ToolText() const;
    // The status bar's active-layer panel.
    QString ActiveLayerText() const;
    QMenu* FileMenu() const { return fileMenu_; }
    QMenu* ExportMenu() const { return exportMenu_; }
    QAction* PostScriptAction() const { return postScriptAction_; }
    QAction* BitmapAction() const { return bitmapAction_; }
    QAction* PrintAction() const { return printAction_; }
    QAction* PrinterSetupAction() const { return printerSetupAction_; }
    TBitmapSizeConfiguration* SizeDialog() const { return sizeDialog_; }
    // The printer of "Print..." and "Printer setup...", made when first asked for.
    QPrinter& Printer();

    // The property buttons of the active target and their menus.
    QToolButton* ColourButton() const { return colourButton_; }
    QToolButton* LineSizeButton() const { return lineSizeButton_; }
    QToolButton* PointSizeButton() const { return pointSizeButton_; }
    QToolButton* FontButton() const { return fontButton_; }
    TColourMenu* ColourMenu() const { return colourMenu_; }
    // The colour button's right-click menu: "Less colors", "More colors",
    // "Other color...".
    QMenu* ColourOptionsMenu() const { return colourOptions_; }
    TSizeMenu* LineSizeMenu() const { return lineSizeMenu_; }
    TSizeMenu* PointSizeMenu() const { return pointSizeMenu_; }
    int ColourTableBase() const { return settings_.colourTableBase; }
    // The style commands on the active target; each marks the document
    // modified and redraws when it changed something.
    void ChooseSwatch(int index);
    void ChooseSize(float size);
    void OtherColourCommand();
    void ChooseFontCommand();
    // A new colour table; every map layer's colour becomes the nearest one
    // of it.
    void ChangeColourBase(int base);

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
    // Reads the settings (with the hooks), builds the colour table and
    // leaves the window without a map.
    void Initialize();

    // A map is present: enable its commands, apply visibility and the
    // active layer. No map: disable them, clear modified and the name.
    virtual void EnableMapControls();
    virtual void DisableMapControls();
    virtual void SetLayerVisibility(int layer, bool visible);
    virtual void SetActiveLayer(int layer);
    virtual void UpdateActiveLayerCaption();
    void SetActiveLayerText(const QString& text);
    // Brings the layer buttons, the visibility button and the point
    // commands up to date with the active layer.
    virtual void UpdateLayerCommands();
    // A further style target after the five layers (its index is the next
    // one): its button joins the layer buttons, its items the Layers menu
    // and the view's pop-up menu after the layer items. The caller connects
    // what they do.
    void AddLayerTarget(QAction* button, QMenu* layersItem, QMenu* viewItem);
    // What the property buttons show and allow for the active target.
    struct TargetStyle {
        bool colour = false;
        bool pointSize = false;
        bool lineSize = false;
        bool font = false;
        std::uint32_t colourValue = 0;
        float size = 0.0f;
        MapFont fontValue;
    };
    virtual TargetStyle ActiveStyle() const;
    // Give the active target a colour, a size (point or line, whichever it
    // has) or a font: true when that changed it.
    virtual bool ApplyColour(std::uint32_t colour);
    virtual bool ApplySize(float size);
    virtual bool ApplyFont(const MapFont& font);
    void UpdatePropertyButtons();
    virtual void BeforeReadSettings() {}
    virtual void ReadExtraSettings(QSettings&) {}
    virtual void AfterCreateControls() {}
    virtual void WriteExtraSettings(QSettings&) {}
    // Drawn by the scene after the map's points, under the labels.
    virtual void RenderExtraLayers(render::Canvas&) {}
    // "Show all layers" and "Hide unactive layers" for the derived window's
    // own layers, before the map layers follow.
    virtual void ShowAllExtraLayers() {}
    virtual void HideUnactiveExtraLayers() {}
    // The result layers the exports draw with the map (none here).
    virtual MonmonierLayer* ExportedLayers() { return nullptr; }
    // The header of the document about to be saved.
    virtual DocumentHeader BuildHeader() const;
    // Validates a header read from a file (raises the reader's messages).
    virtual void CheckHeader(const DocumentHeader& header) const;
    // After the header and map body were read and the file closed.
    virtual void AfterLoad(const DocumentHeader&, const std::filesystem::path&) {}
    virtual void AfterNewMap() {}
    virtual void BeforeCloseMap() {}
    // After a save job ended, however it ended.
    virtual void AfterSaveJob() {}
    virtual void AfterSave() {}
    virtual void AfterClose() {}
    virtual void AfterOpen() {}
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
    virtual void AboutCommand();

    void closeEvent(QCloseEvent* event) override;
    // The view's mouse, keys and pop-up menu.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Before an edit, undo or redo changes the map: false when the map
    // cannot be changed now (nothing is done then).
    virtual bool BeforeMapEdit() { return true; }
    // After the map's virtual points changed.
    virtual void OnMapEdited() {}
    // Draws what the window adds over the scene (the zoom rectangle).
    void RenderOverlay();

    // The save and open dialogs' texts; the derived window sets its own.
    struct DocumentDialogs {
        QString openTitle;
        QString openFilters;
        QString saveTitle;
        QString saveFilter;
        QString defaultName;
    };
    DocumentDialogs dialogs_;
    QString documentExtension_ = ".dvt";

    std::unique_ptr<DocumentBridge> bridge_;
    std::unique_ptr<MMapFactory> factory_;
    std::unique_ptr<MMap> map_;
    MainFormSettings settings_;
    std::vector<std::uint32_t> colourTable_;

private:
    void CreateMenus();
    void CreateToolMenus();
    void CreatePropertyButtons();
    // The swatches and the base options for the present colour table.
    void RebuildColourMenus();
    void StyleChanged(bool changed);
    void CreateStatusBar();
    void UpdateTool();
    void ViewMousePress(QMouseEvent* event);
    void ViewMouseMove(QMouseEvent* event);
    void ViewMouseRelease(QMouseEvent* event);
    bool ViewKey(QKeyEvent* event, bool pressed);
    // Editing (MainFormEdit.cpp).
    void CreateEditCommands();
    void ResetHistory();
    void DiscardHistory();
    void HistoryFailed(const std::exception& error);
    // Appends to the history, if any; a failure drops it with its message.
    void Record(const std::function<void(EditHistory&)>& write);
    void UpdateEditCommands();
    void PickAt(QPointF pixel);
    void EditPress(QMouseEvent* event);
    void EditMove(QMouseEvent* event);
    void EditRelease(QMouseEvent* event);
    bool EditKey(QKeyEvent* event, bool pressed);
    void EndDrag();
    // Adds a virtual point (false, with the message shown, when refused).
    bool AddPoint(MXY at);
    // Moves virtual point `slot` to `to` (clamped into the outer bounds);
    // false when it stays where it is.
    bool MovePoint(std::int32_t slot, MXY to, bool record, bool merge);
    void RemoveHighlightedPoint();
    void Undo(bool redo);
    // Before the first recorded edit: keeps the map as it stands for when
    // every edit is undone.
    void KeepOriginal();
    void MapEdited();
    void KeepVisible(MXY at);
    // The map position under a pixel of the view.
    MXY ViewToMap(QPointF pixel) const;
    void CreateDialogs();
    void ReadSettings();
    void WriteSettings();
    void UpdateCommands();
    // Runs a save job to `fileName` through the export dialog; true once the
    // file is written.
    bool SaveTo(const QString& fileName);
    // Makes `map` the open document (the previous one is closed).
    void InstallMap(std::unique_ptr<MMap> map);
    void SetDocumentName(const QString& fileName);
    // The file chosen in a file dialog, or an empty string.
    QString AskOpenFileName(const QString& title, const QString& filters, QString& folder);
    QString AskSaveFileName();
    // What the exports draw: the map as the view shows it.
    render::ExportSource ViewSource();
    // A save dialog for an export (object name `name`): the document's name
    // with the first filter's extension, or "MyMap" with it.
    QString AskExportFileName(const QString& name, const QString& title,
                              const QStringList& filters, const QStringList& suffixes);
    // The view's handlers (the context is current).
    void SetupRC();
    void RenderScene();
    void Resize(int width, int height);
    void ReleaseRC();
    void UpdateScrollBars();
    void ScrollHorizontally(int position);
    void ScrollVertically(int position);

    TScrollingPanel* panel_;
    TOpenGLControl* view_;
    TCloseDialog* closeDialog_ = nullptr;
    TExportDialog* exportDialog_ = nullptr;
    TImportForm* importForm_ = nullptr;
    TMapCreationControl* creationControl_ = nullptr;

    QMenu* fileMenu_ = nullptr;
    QMenu* exportMenu_ = nullptr;
    QAction* newAction_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* saveAsAction_ = nullptr;
    QAction* printerSetupAction_ = nullptr;
    QAction* printAction_ = nullptr;
    QAction* postScriptAction_ = nullptr;
    QAction* bitmapAction_ = nullptr;
    TBitmapSizeConfiguration* sizeDialog_ = nullptr;
    std::unique_ptr<QPrinter> printer_;
    QAction* quitAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* resetZoomAction_ = nullptr;
    QAction* zoomInAction_ = nullptr;
    QAction* zoomOutAction_ = nullptr;
    QMenu* zoomMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* toolsMenu_ = nullptr;
    QMenu* layersMenu_ = nullptr;
    QMenu* pointsMenu_ = nullptr;
    QMenu* viewMenu_ = nullptr; // the view's pop-up menu
    QToolBar* toolBar_ = nullptr;
    QToolBar* layerBar_ = nullptr;
    QToolBar* styleBar_ = nullptr;
    QActionGroup* tools_ = nullptr;
    QActionGroup* layerGroup_ = nullptr;
    QAction* visibleAction_ = nullptr;
    QToolButton* colourButton_ = nullptr;
    QToolButton* lineSizeButton_ = nullptr;
    QToolButton* pointSizeButton_ = nullptr;
    QToolButton* fontButton_ = nullptr;
    TColourMenu* colourMenu_ = nullptr;
    QMenu* colourOptions_ = nullptr;
    QMenu* lessColours_ = nullptr;
    QMenu* moreColours_ = nullptr;
    TSizeMenu* lineSizeMenu_ = nullptr;
    TSizeMenu* pointSizeMenu_ = nullptr;
    // The property buttons' places in the layer tool bar.
    QList<QAction*> propertyActions_;
    // Where further style targets go: before these separators.
    QAction* layerBarSeparator_ = nullptr;
    QAction* layersMenuSeparator_ = nullptr;
    QAction* viewMenuSeparator_ = nullptr;
    QList<QAction*> layerActions_;
    QList<QAction*> pointActions_;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* removeAllAction_ = nullptr;
    QAction* deleteAllAction_ = nullptr;
    QAction* showAllLayersAction_ = nullptr;
    QAction* hideUnactiveLayersAction_ = nullptr;
    // The tools, the modifier keys that switch them for a while, and the
    // gestures of the zoom and move tools.
    Tool tool_ = Tool::Select;
    bool shiftHeld_ = false;
    bool ctrlHeld_ = false;
    bool spaceHeld_ = false;
    bool zoomRectShown_ = false;
    QPointF zoomStart_;
    QPointF zoomEnd_;
    bool panning_ = false;
    MXY panOrigin_;
    QTimer* blinkTimer_ = nullptr;
    // The edit history, the map as it was before the first edit, and the
    // gestures that edit.
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<MapSnapshot> original_;
    bool dragging_ = false;
    std::int32_t dragged_ = -1;
    bool addingPoint_ = false;
    bool mergeMoves_ = false;
    bool mergeKeys_ = false;
    QLabel* zoomPanel_ = nullptr;
    QLabel* toolPanel_ = nullptr;
    QLabel* layerPanel_ = nullptr;

    bool modified_ = false;
    bool saving_ = false;
    QString documentName_;
    // The name the save dialog proposes.
    QString saveName_;
    // The open document's file as read or last written here.
    FileStamp documentStamp_;

    ViewRect requested_;
    ViewRect actual_;
    ViewRect area_;

    // Fonts of the view's context: made on first use, freed with it.
    std::unique_ptr<render::CachedFonts> fonts_;
};

} // namespace sundrel::app
