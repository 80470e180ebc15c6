#pragma once
// The main window: the one open map document shown in the OpenGL view inside
// a scrolling panel, the document commands, the view rectangle logic (the
// requested view, the actual view derived from it at every resize, the
// scroll area and bars, the zoom panel) and the result layers computed on
// the layers' worker. Derived windows extend it through the virtual hooks.

#include "app/view/ViewGeometry.h"
#include "app/document/WindowMessages.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "monmonier/MonmonierLayer.h"
#include "render/Canvas.h"

#include <QMainWindow>
#include <QString>

#include <array>
#include <filesystem>
#include <memory>

class QAction;
class QLabel;
class QMenu;

namespace sundrel::app {

class TOpenGLControl;
class TScrollingPanel;

// The application title: names the settings and prefixes the caption.
inline constexpr const char* kApplicationTitle = "Sundrel";

class TMainForm : public QMainWindow {
    Q_OBJECT

public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // Reads the document named on the command line (made a full path).
    void OpenFromCommandLine(const QString& argument);
    // Closes any open map and reads the document; false when no map
    // results (the error has then been shown).
    bool OpenDocument(const QString& fileName);
    // "Close" (no map afterwards).
    void CloseMap();
    // "Reset zoom": the requested view becomes the frame bounds.
    void ResetZoom();

    const MMap* Map() const { return map_.get(); }
    MonmonierLayer& Layers() { return *layers_; }
    const QString& DocumentName() const { return documentName_; }
    ViewRect RequestedView() const { return requested_; }
    ViewRect CurrentView() const { return actual_; }
    ViewRect CurrentScrollArea() const { return area_; }
    QString ZoomText() const;
    int ActiveLayer() const { return activeLayer_; }
    bool LayerVisible(int layer) const;

    TOpenGLControl* View() const { return view_; }
    TScrollingPanel* Panel() const { return panel_; }
    QAction* OpenAction() const { return openAction_; }
    QAction* CloseAction() const { return closeAction_; }
    QAction* ResetZoomAction() const { return resetZoomAction_; }

protected:
    // A map is present: enable its commands, apply visibility and the
    // active layer. No map: disable them, clear the document name.
    virtual void EnableMapControls();
    virtual void DisableMapControls();
    virtual void SetLayerVisibility(int layer, bool visible);
    virtual void SetActiveLayer(int layer);
    virtual void UpdateActiveLayerCaption();
    // Drawn by the scene after the map's points, under the labels.
    virtual void RenderExtraLayers(render::Canvas& canvas);
    // After the header and map body were read and the file closed: the
    // result layers of a sundrel document are read on the layers' worker.
    virtual void AfterLoad(const DocumentHeader& header, const std::filesystem::path& file);
    virtual void AfterOpen() {}
    virtual void BeforeCloseMap();
    // The system's message in an error box.
    virtual void ShowError(const QString& message);
    // Messages of the layers' worker.
    virtual void HandleWindowMessage(const WindowMessage& message);

    void customEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

    std::unique_ptr<MMapFactory> factory_;
    std::unique_ptr<MMap> map_;

private:
    void CreateMenus();
    void CreateStatusBar();
    void OpenCommand();
    bool ReadDocument(const QString& fileName);
    void SetDocumentName(const QString& fileName);
    // The view's handlers (the context is current).
    void SetupRC();
    void RenderScene();
    void Resize(int width, int height);
    void ReleaseRC();
    void UpdateScrollBars();
    void ScrollHorizontally(int position);
    void ScrollVertically(int position);
    // Ends the layers' work on the map about to go; their pending messages
    // are dropped with it.
    void StopLayers();

    TScrollingPanel* panel_;
    TOpenGLControl* view_;
    QAction* openAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    QAction* resetZoomAction_ = nullptr;
    QMenu* zoomMenu_ = nullptr;
    QLabel* zoomPanel_ = nullptr;
    QLabel* toolPanel_ = nullptr;
    QLabel* layerPanel_ = nullptr;

    QString documentName_;
    // Where the open dialog starts: the folder of the last document chosen.
    QString openMapDir_;

    // Window copies of the map's display settings, taken from documents.
    MapFont mapFont_;
    float originalPointSize_ = 3.0f;
    float virtualPointSize_ = 3.0f;
    float delaunayLineSize_ = 1.0f;
    float voronoiLineSize_ = 1.0f;
    int activeLayer_ = 1;
    std::array<bool, 5> visibility_{true, true, true, true, true};

    ViewRect requested_;
    ViewRect actual_;
    ViewRect area_;

    // Fonts of the view's context: made on first use, freed with it.
    std::unique_ptr<render::CachedFonts> fonts_;

    WindowNotifier notifier_{this};
    // Declared last: its worker stops before the map and the notifier go.
    std::unique_ptr<MonmonierLayer> layers_;
};

} // namespace sundrel::app
