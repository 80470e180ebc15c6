#pragma once
// The view of the open document: the OpenGL control in its scrolling panel,
// the view shown (the requested view the document keeps, fitted to the
// client area at every resize), the scroll bars over the map's outer bounds,
// the "Zoom" menu and the zoom's status panel, and the drawing of the scene.
// Zooming, scrolling and panning ask the document for another view; what the
// document says changed is drawn again.
//
// The scene is drawn once into an off-screen buffer of the view's size and
// copied to the view at each frame, with the highlight and the overlay drawn
// on top: a blink or a moving zoom rectangle costs a copy, not the whole map.
// While the highlight is hidden by its blinking the scene leaves the
// highlighted element out, so that element gets a second buffer, kept while
// the same element stays highlighted. The buffers are drawn again after
// UpdateScene, a resize or another view.

#include "model/MMap.h"
#include "model/Picking.h"
#include "render/Canvas.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace sundrel::render {
class Backdrop;
}

class QAction;
class QLabel;
class QMenu;
class QOpenGLFramebufferObject;
class QWidget;

namespace sundrel::render {
struct Scene;
}

namespace sundrel::app {

class TOpenDocument;
class TOpenGLControl;
class TScrollingPanel;

class TViewController : public QObject {
    Q_OBJECT

public:
    // The panel and the view are children of `window`.
    TViewController(TOpenDocument& document, QWidget* window);
    ~TViewController() override;

    // Drawn by the scene after the map's points, under the labels (the
    // result layers), and over the scene in the view's pixels (the zoom
    // rectangle).
    std::function<void(render::Canvas&)> ExtraLayers;
    std::function<void()> Overlay;
    // The backdrops drawn beneath the map (null or none: no backdrop).
    std::function<const std::vector<render::Backdrop>*()> Backdrops;

    // The window's central widget, and the view in it.
    TScrollingPanel* Panel() const { return panel_; }
    TOpenGLControl* View() const { return view_; }
    QLabel* ZoomPanel() const { return zoomPanel_; }
    QMenu* ZoomMenu() const { return zoomMenu_; }
    QAction* ZoomInAction() const { return zoomIn_; }
    QAction* ZoomOutAction() const { return zoomOut_; }
    QAction* ResetZoomAction() const { return resetZoom_; }

    // The view shown, the area the scroll bars span, the zoom as the status
    // bar shows it.
    const MBounds& CurrentView() const { return actual_; }
    const MBounds& CurrentScrollArea() const { return area_; }
    QString ZoomText() const;
    // The map position under a pixel of the view, and what a click there
    // picks: the box of a few pixels around it over the layers shown.
    MXY ViewToMap(QPointF pixel) const;
    PickRequest PickAt(QPointF pixel) const;

    // "Reset zoom": the frame; "Zoom in", "Zoom out": a factor 2 about the
    // centre; the view centred in the outer bounds.
    void ResetZoom();
    void ZoomIn();
    void ZoomOut();
    void CentreView();
    // To the pixel rectangle (x1, y1) - (x2, y2) of the view.
    void ZoomToPixels(double x1, double y1, double x2, double y2);
    // Moved by (dx, dy) map units, on each axis only inside the outer bounds.
    void Pan(double dx, double dy);
    // Brought over a map position outside the view.
    void KeepVisible(MXY at);
    // The commands that need a map.
    void EnableMapCommands(bool enabled);
    // The scene drawn again.
    void UpdateScene();
    // A frame over the scene as it is: only the highlight or the overlay
    // changed.
    void UpdateOverlay();
    // Off: every frame draws the whole scene, as an export does.
    void SetSceneBuffered(bool buffered);
    bool SceneBuffered() const { return buffered_; }
    // Times the whole scene was drawn, into a buffer or the view.
    int SceneDraws() const { return sceneDraws_; }
    // The view fitted again (the view shown follows the one asked for).
    void UpdateSize();

private:
    void DocumentChanged(unsigned what);
    // The view's handlers (the context is current).
    void SetupRC();
    void RenderScene();
    void Resize(int width, int height);
    void ReleaseRC();
    void UpdateScrollBars();
    void Scroll(bool horizontally, int position);
    // Draws the scene into a buffer when what it holds is out of date and
    // copies it to the view; false when no buffer can be had.
    bool CopyBufferedScene(render::Canvas& canvas, const render::Scene& scene);

    // A drawing of the scene kept off screen: the scene's generation it
    // shows and the element it leaves out (kind 5: none).
    struct SceneBuffer {
        std::unique_ptr<QOpenGLFramebufferObject> target;
        unsigned generation = 0;
        MapHighlight leftOut;
    };

    TOpenDocument& document_;
    TScrollingPanel* panel_;
    TOpenGLControl* view_;
    QLabel* zoomPanel_;
    QMenu* zoomMenu_;
    QAction* zoomIn_;
    QAction* zoomOut_;
    QAction* resetZoom_;
    MBounds actual_;
    MBounds area_;
    // Fonts of the view's context: made on first use, freed with it.
    std::unique_ptr<render::CachedFonts> fonts_;
    // The scene with nothing left out, and with the blinking element left
    // out; their generation moves on with every change of the scene.
    SceneBuffer whole_;
    SceneBuffer blinking_;
    unsigned generation_ = 1;
    bool buffered_ = true;
    bool buffersFailed_ = false;
    int sceneDraws_ = 0;
};

} // namespace sundrel::app
