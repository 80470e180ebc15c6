#include "app/view/ViewController.h"

#include "app/document/OpenDocument.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ScrollingPanel.h"
#include "app/view/ViewGeometry.h"
#include "app/widgets/Progress.h"
#include "monmonier/MonmonierLayer.h"
#include "render/Export.h"
#include "render/MapDrawing.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFramebufferObject>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace sundrel::app {

namespace {

// Half the side of the picking box, in pixels.
constexpr double kPickHalfBox = 4.0;

// The text shown while no map is open: a sans font of about 24 pixels.
constexpr const char* kPlaceholderFace = "Sans Serif";
constexpr double kPlaceholderPixels = 24.0;

constexpr std::int32_t kNothingHighlighted = 5;

// The element the scene leaves out: the highlighted one while its blinking
// hides it (the highlight is then drawn in its place).
MapHighlight LeftOut(const MMap& map)
{
    const MapHighlight& h = map.highlight;
    if (!h.blink || h.kind < 1 || h.kind >= kNothingHighlighted)
        return {};
    return {h.kind, h.first, h.second, true};
}

bool SameElement(const MapHighlight& a, const MapHighlight& b)
{
    return a.kind == b.kind && a.first == b.first && a.second == b.second;
}

} // namespace

TViewController::TViewController(TOpenDocument& document, QWidget* window)
    : QObject(window), document_(document), panel_(new TScrollingPanel(window)),
      view_(new TOpenGLControl), zoomPanel_(NewStatusPanel(QStringLiteral("100 %"), 100, tr("Zoom"))),
      zoomMenu_(new QMenu(tr("&Zoom"), window))
{
    panel_->SetView(view_);
    panel_->OnHScroll = [this](int position) { Scroll(true, position); };
    panel_->OnVScroll = [this](int position) { Scroll(false, position); };
    panel_->HideScrollBars();

    view_->OnSetupRC = [this](TOpenGLControl&) { SetupRC(); };
    view_->OnRenderScene = [this](TOpenGLControl&) { RenderScene(); };
    view_->OnChangeSize = [this](TOpenGLControl&, int width, int height) { Resize(width, height); };
    view_->OnReleaseRC = [this](TOpenGLControl&) { ReleaseRC(); };
    view_->setAccessibleName(tr("Map"));
    view_->setMouseTracking(true);

    zoomIn_ = zoomMenu_->addAction(tr("Zoom in"), this, &TViewController::ZoomIn);
    zoomOut_ = zoomMenu_->addAction(tr("Zoom out"), this, &TViewController::ZoomOut);
    resetZoom_ = zoomMenu_->addAction(tr("Reset zoom"), this, &TViewController::ResetZoom);

    connect(&document_, &TOpenDocument::changed, this, &TViewController::DocumentChanged);
}

TViewController::~TViewController()
{
    // The view outlives this object: free what lives in its context now and
    // leave it without handlers.
    if (view_->Initialized()) {
        view_->makeCurrent();
        ReleaseRC();
        view_->doneCurrent();
    }
    view_->OnSetupRC = nullptr;
    view_->OnRenderScene = nullptr;
    view_->OnChangeSize = nullptr;
    view_->OnReleaseRC = nullptr;
    panel_->OnHScroll = nullptr;
    panel_->OnVScroll = nullptr;
}

void TViewController::DocumentChanged(unsigned what)
{
    if (what & (TOpenDocument::MapChange | TOpenDocument::ViewChange))
        view_->UpdateSize();
    else if (what & (TOpenDocument::StyleChange | TOpenDocument::ColourTableChange |
                     TOpenDocument::VisibilityChange | TOpenDocument::LayersChange |
                     TOpenDocument::GeographyChange))
        UpdateScene();
}

QString TViewController::ZoomText() const
{
    return zoomPanel_->text();
}

void TViewController::EnableMapCommands(bool enabled)
{
    zoomMenu_->setEnabled(enabled);
    resetZoom_->setEnabled(enabled);
}

void TViewController::UpdateScene()
{
    ++generation_;
    view_->UpdateScene();
}

void TViewController::UpdateOverlay()
{
    view_->UpdateScene();
}

void TViewController::SetSceneBuffered(bool buffered)
{
    buffered_ = buffered;
    view_->UpdateScene();
}

void TViewController::UpdateSize()
{
    view_->UpdateSize();
}

MXY TViewController::ViewToMap(QPointF pixel) const
{
    return PixelToMap(actual_, view_->width(), view_->height(), pixel.x(), pixel.y());
}

PickRequest TViewController::PickAt(QPointF pixel) const
{
    const MXY a = ViewToMap(pixel - QPointF(kPickHalfBox, kPickHalfBox));
    const MXY b = ViewToMap(pixel + QPointF(kPickHalfBox, kPickHalfBox));
    PickRequest request;
    request.box = {std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y)};
    request.visible = document_.Display().visibility;
    const render::ViewParameters& screen = view_->Primitives().screen;
    request.unitsPerPoint = screen.resolution / 72.0 * screen.scale;
    return request;
}

void TViewController::ResetZoom()
{
    document_.ResetView();
}

void TViewController::ZoomIn()
{
    if (const MMap* map = document_.Map())
        document_.SetRequestedView(
            ZoomedIn(actual_, view_->width(), view_->height(), map->frameBounds, map->outerBounds));
}

void TViewController::ZoomOut()
{
    if (const MMap* map = document_.Map())
        document_.SetRequestedView(ZoomedOut(actual_, view_->width(), view_->height(),
                                             map->frameBounds, map->outerBounds));
}

void TViewController::CentreView()
{
    if (const MMap* map = document_.Map())
        document_.SetRequestedView(CentredIn(document_.RequestedView(), map->outerBounds));
}

void TViewController::ZoomToPixels(double x1, double y1, double x2, double y2)
{
    if (const MMap* map = document_.Map())
        document_.SetRequestedView(ZoomedTo(actual_, view_->width(), view_->height(), x1, y1, x2,
                                            y2, map->frameBounds, map->outerBounds));
}

void TViewController::Pan(double dx, double dy)
{
    if (const MMap* map = document_.Map())
        document_.SetRequestedView(Panned(document_.RequestedView(), dx, dy, map->outerBounds));
}

void TViewController::KeepVisible(MXY at)
{
    const MMap* map = document_.Map();
    if (!map)
        return;
    const MBounds kept = KeptVisible(actual_, view_->width(), view_->height(), at,
                                     map->frameBounds, map->outerBounds);
    if (kept != actual_)
        document_.SetRequestedView(kept);
}

// ------------------------------------------------------------------- drawing

void TViewController::SetupRC()
{
    fonts_ = std::make_unique<render::CachedFonts>(view_->Primitives().screen.resolution);
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glDisable(GL_DEPTH_TEST);
}

void TViewController::ReleaseRC()
{
    fonts_.reset();
    whole_.target.reset();
    blinking_.target.reset();
    buffersFailed_ = false;
}

void TViewController::RenderScene()
{
    if (!fonts_)
        return;
    const MMap* map = document_.Map();
    render::ViewPrimitives& primitives = view_->Primitives();
    render::Canvas canvas{primitives, primitives.screen, *fonts_, nullptr};
    if (map)
        canvas.ForPixels(actual_);
    render::Scene scene;
    scene.map = map;
    scene.visible = document_.Display().visibility;
    const double points = kPlaceholderPixels * 72.0 / primitives.screen.resolution;
    scene.placeholderFont =
        fonts_->Acquire(kPlaceholderFace, 0, static_cast<std::int32_t>(std::lround(points)));
    if (map)
        scene.labelsFont = fonts_->Acquire(map->font.name, map->font.style, map->font.size);
    if (map && Backdrops)
        scene.backdrops = Backdrops();
    scene.extraLayers = [this, &canvas] {
        if (ExtraLayers)
            ExtraLayers(canvas);
    };
    // Result layers changed by their worker since they were last drawn: both
    // kept scenes are out of date. (Drawing them clears the request, so
    // the request's own message may then find nothing to redraw.)
    if (const MonmonierLayer* layers = document_.Layers(); layers && layers->redrawPending())
        ++generation_;
    if (map && buffered_ && CopyBufferedScene(canvas, scene)) {
        render::DrawHighlight(canvas, *map);
        glFlush();
    } else {
        render::DrawScene(canvas, scene);
        ++sceneDraws_;
    }
    if (Overlay)
        Overlay();
}

bool TViewController::CopyBufferedScene(render::Canvas& canvas, const render::Scene& scene)
{
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (buffersFailed_ || !context || !QOpenGLFramebufferObject::hasOpenGLFramebufferObjects() ||
        !QOpenGLFramebufferObject::hasOpenGLFramebufferBlit())
        return false;
    const MapHighlight leftOut = LeftOut(*scene.map);
    SceneBuffer& buffer = leftOut.kind == kNothingHighlighted ? whole_ : blinking_;
    const QSize size(view_->ClientWidth(), view_->ClientHeight());
    QOpenGLExtraFunctions* gl = context->extraFunctions();
    const GLuint shown = view_->defaultFramebufferObject();
    if (!buffer.target || buffer.target->size() != size) {
        // Backdrop fills go through the stencil, as in the view's own buffer.
        buffer.target = std::make_unique<QOpenGLFramebufferObject>(
            size, QOpenGLFramebufferObject::CombinedDepthStencil, GL_TEXTURE_2D, GL_RGBA8);
        buffer.generation = 0;
        gl->glBindFramebuffer(GL_FRAMEBUFFER, shown);
        if (!buffer.target->isValid()) {
            // The view goes on drawing the whole scene at every frame.
            buffersFailed_ = true;
            whole_.target.reset();
            blinking_.target.reset();
            return false;
        }
    }
    if (buffer.generation != generation_ || !SameElement(buffer.leftOut, leftOut)) {
        render::Scene withoutHighlight = scene;
        withoutHighlight.highlight = false;
        gl->glBindFramebuffer(GL_FRAMEBUFFER, buffer.target->handle());
        render::DrawScene(canvas, withoutHighlight);
        ++sceneDraws_;
        buffer.generation = generation_;
        buffer.leftOut = leftOut;
    }
    gl->glBindFramebuffer(GL_READ_FRAMEBUFFER, buffer.target->handle());
    gl->glBindFramebuffer(GL_DRAW_FRAMEBUFFER, shown);
    gl->glBlitFramebuffer(0, 0, size.width(), size.height(), 0, 0, size.width(), size.height(),
                          GL_COLOR_BUFFER_BIT, GL_NEAREST);
    gl->glBindFramebuffer(GL_FRAMEBUFFER, shown);
    return true;
}

void TViewController::Resize(int width, int height)
{
    width = std::max(1, width);
    height = std::max(1, height);
    const MMap* map = document_.Map();
    if (!map) {
        glViewport(0, 0, width, height);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-100.0, 100.0, -100.0, 100.0, -2.0, 1.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        panel_->HideScrollBars();
        return;
    }
    // The requested view fitted to the client's aspect becomes the actual
    // view; the requested one stays as it is. The buffered scene is out of
    // date.
    ++generation_;
    actual_ = render::SetFittedProjection(document_.RequestedView(), width, height, -20.0, 20.0);
    view_->Primitives().screen.scale = actual_.Width() / width;
    area_ = ScrollArea(map->outerBounds, actual_);
    zoomPanel_->setText(QString::number(ZoomPercent(map->frameBounds, actual_)) + " %");
    UpdateScrollBars();
}

void TViewController::UpdateScrollBars()
{
    const ScrollBarSettings h = HorizontalScrollBar(area_, actual_);
    const ScrollBarSettings v = VerticalScrollBar(area_, actual_);
    panel_->SetUpdating(true);
    if (h.visible) {
        panel_->SetHMin(0);
        panel_->SetHMax(h.maximum);
        panel_->SetHPageSize(h.pageSize);
        panel_->SetHSmallChange(h.smallChange);
        panel_->SetHLargeChange(h.largeChange);
        panel_->SetHPosition(h.position);
    }
    if (v.visible) {
        panel_->SetVMin(0);
        panel_->SetVMax(v.maximum);
        panel_->SetVPageSize(v.pageSize);
        panel_->SetVSmallChange(v.smallChange);
        panel_->SetVLargeChange(v.largeChange);
        panel_->SetVPosition(v.position);
    }
    panel_->SetScrollBarVisibility(h.visible, v.visible);
    panel_->SetUpdating(false);
}

void TViewController::Scroll(bool horizontally, int position)
{
    if (!document_.Map())
        return;
    const MBounds& requested = document_.RequestedView();
    document_.SetRequestedView(horizontally
                                   ? ScrolledHorizontally(requested, actual_, area_, position)
                                   : ScrolledVertically(requested, actual_, area_, position));
}

} // namespace sundrel::app
