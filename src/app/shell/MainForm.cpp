#include "app/shell/MainForm.h"

#include "app/view/OpenGLControl.h"
#include "app/view/ScrollingPanel.h"
#include "common/Errors.h"
#include "monmonier/SundrelDocument.h"
#include "render/Export.h"
#include "render/LayerDrawing.h"
#include "render/MapDrawing.h"

#include <QAction>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include <GL/gl.h>

#include <cmath>

namespace sundrel::app {

namespace {

// Layer names, by index, as the status bar and the menus show them.
const char* const kLayerNames[5] = {"Original points", "Virtual points", "Population labels",
                                    "Delaunay", "Voronoï"};

// The text shown while no map is open: a sans font of about 24 pixels.
constexpr const char* kPlaceholderFace = "Sans Serif";
constexpr double kPlaceholderPixels = 24.0;

std::filesystem::path ToPath(const QString& fileName)
{
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent), factory_(std::make_unique<MMapFactory>()),
      panel_(new TScrollingPanel(this)), view_(new TOpenGLControl)
{
    layers_ = std::make_unique<MonmonierLayer>(
        MonmonierLayer::Windows{&notifier_, nullptr, nullptr});
    InstallDocumentLoader(*layers_);

    setWindowTitle(kApplicationTitle);
    setMinimumSize(512, 450);
    resize(800, 600);

    panel_->SetView(view_);
    setCentralWidget(panel_);
    panel_->OnHScroll = [this](int position) { ScrollHorizontally(position); };
    panel_->OnVScroll = [this](int position) { ScrollVertically(position); };
    panel_->HideScrollBars();

    view_->OnSetupRC = [this](TOpenGLControl&) { SetupRC(); };
    view_->OnRenderScene = [this](TOpenGLControl&) { RenderScene(); };
    view_->OnChangeSize = [this](TOpenGLControl&, int width, int height) { Resize(width, height); };
    view_->OnReleaseRC = [this](TOpenGLControl&) { ReleaseRC(); };

    CreateMenus();
    CreateStatusBar();
    DisableMapControls();
}

TMainForm::~TMainForm()
{
    StopLayers();
    // The view outlives this object's members: free what lives in its
    // context now and leave it without handlers.
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

void TMainForm::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(tr("File"));
    openAction_ = file->addAction(tr("Open..."), this, &TMainForm::OpenCommand);
    openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    closeAction_ = file->addAction(tr("Close"), this, &TMainForm::CloseMap);
    closeAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    file->addSeparator();
    quitAction_ = file->addAction(tr("Quit"), this, &QWidget::close);
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(file, &QMenu::aboutToShow, this,
            [this] { closeAction_->setEnabled(map_ != nullptr); });

    zoomMenu_ = menuBar()->addMenu(tr("Zoom"));
    resetZoomAction_ = zoomMenu_->addAction(tr("Reset zoom"), this, &TMainForm::ResetZoom);
}

void TMainForm::CreateStatusBar()
{
    auto panel = [this](const char* text, int width) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setFixedWidth(width);
        statusBar()->addWidget(label);
        return label;
    };
    zoomPanel_ = panel("100 %", 100);
    toolPanel_ = panel("Select", 150);
    layerPanel_ = panel("Active layer", 200);
    panel("", 50);
}

QString TMainForm::ZoomText() const { return zoomPanel_->text(); }

bool TMainForm::LayerVisible(int layer) const
{
    return layer >= 0 && layer < 5 && visibility_[static_cast<std::size_t>(layer)];
}

// ---------------------------------------------------------------- documents

void TMainForm::OpenCommand()
{
    if (map_)
        CloseMap();
    const QString fileName = QFileDialog::getOpenFileName(
        this, tr("Open triangulation and sundrels"), openMapDir_,
        tr("Triangulation and sundrel files (*.dvt *.dvk *.DVT *.DVK);;"
           "Triangulation files (*.dvt *.DVT);;Sundrel files (*.dvk *.DVK);;All files (*)"));
    if (fileName.isEmpty())
        return;
    openMapDir_ = QFileInfo(fileName).path();
    OpenDocument(fileName);
}

void TMainForm::OpenFromCommandLine(const QString& argument)
{
    if (argument.isEmpty())
        return;
    const QString full = QFileInfo(argument).absoluteFilePath();
    OpenDocument(full.isEmpty() ? argument : full);
}

bool TMainForm::OpenDocument(const QString& fileName)
{
    if (map_)
        CloseMap();
    if (!ReadDocument(fileName)) {
        view_->UpdateSize();
        return false;
    }
    SetDocumentName(fileName);
    AfterOpen();
    return true;
}

bool TMainForm::ReadDocument(const QString& fileName)
{
    const std::filesystem::path file = ToPath(fileName);
    try {
        LoadedDocument document = LoadMapDocument(file, *factory_);
        map_ = std::move(document.map);
        const DocumentHeader& header = document.header;
        originalPointSize_ = header.originalPointSize;
        virtualPointSize_ = header.virtualPointSize;
        delaunayLineSize_ = header.delaunayLineWidth;
        voronoiLineSize_ = header.voronoiLineWidth;
        mapFont_ = map_->font;
        ResetZoom();
        SetActiveLayer(header.activeLayer);
        for (int layer = 0; layer < 5; ++layer)
            SetLayerVisibility(layer, header.visibility[static_cast<std::size_t>(layer)] != 0);
        EnableMapControls();
        AfterLoad(header, file);
        return true;
    } catch (const Abort&) {
        // cancelled: nothing to tell
    } catch (const std::bad_alloc&) {
        ShowError(tr("Memory allocation failure"));
    } catch (const std::exception& e) {
        ShowError(QString::fromStdString(e.what()));
    }
    // The window stays without a map.
    if (map_)
        CloseMap();
    return false;
}

void TMainForm::AfterLoad(const DocumentHeader& header, const std::filesystem::path& file)
{
    if (HasMonmonierData(header))
        layers_->load(file, *map_);
    else
        layers_->setMap(*map_);
}

void TMainForm::SetDocumentName(const QString& fileName)
{
    if (fileName == documentName_)
        return;
    documentName_ = fileName;
    setWindowTitle(fileName.isEmpty()
                       ? QString(kApplicationTitle)
                       : QString(kApplicationTitle) + " - " + QFileInfo(fileName).fileName());
}

void TMainForm::CloseMap()
{
    BeforeCloseMap();
    if (map_) {
        factory_->DestroyMap(*map_);
        map_.reset();
    }
    DisableMapControls();
    view_->UpdateSize();
}

void TMainForm::BeforeCloseMap() { StopLayers(); }

void TMainForm::StopLayers()
{
    // A document being read keeps the layers busy until its message is
    // handled: let the reading end and drop its result.
    if (layers_->awaitingAcknowledge()) {
        layers_->waitIdle();
        layers_->acknowledge();
    }
    layers_->reset();
    for (int message : {WM_LAYERS_REDRAW, WM_LAYERS_LOADED, WM_LAYER_ADDED})
        QCoreApplication::removePostedEvents(this, message);
}

void TMainForm::EnableMapControls()
{
    closeAction_->setEnabled(true);
    zoomMenu_->setEnabled(true);
    resetZoomAction_->setEnabled(true);
}

void TMainForm::DisableMapControls()
{
    closeAction_->setEnabled(false);
    zoomMenu_->setEnabled(false);
    resetZoomAction_->setEnabled(false);
    SetDocumentName(QString());
}

void TMainForm::SetLayerVisibility(int layer, bool visible)
{
    if (layer >= 0 && layer < 5)
        visibility_[static_cast<std::size_t>(layer)] = visible;
}

void TMainForm::SetActiveLayer(int layer)
{
    activeLayer_ = layer;
    UpdateActiveLayerCaption();
}

void TMainForm::UpdateActiveLayerCaption()
{
    layerPanel_->setText(activeLayer_ >= 0 && activeLayer_ < 5
                             ? QString::fromUtf8(kLayerNames[activeLayer_])
                             : tr("Active layer"));
}

void TMainForm::ShowError(const QString& message)
{
    QMessageBox::critical(this, kApplicationTitle, message);
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (map_)
        CloseMap();
    event->accept();
}

// ------------------------------------------------------------ layer messages

void TMainForm::customEvent(QEvent* event)
{
    if (auto* message = dynamic_cast<WindowMessage*>(event))
        HandleWindowMessage(*message);
    else
        QMainWindow::customEvent(event);
}

void TMainForm::HandleWindowMessage(const WindowMessage& message)
{
    switch (message.message()) {
    case WM_LAYERS_REDRAW:
        if (layers_->redrawPending())
            view_->UpdateScene();
        break;
    case WM_LAYERS_LOADED:
        if (!map_) {
            layers_->acknowledge();
            layers_->reset();
            break;
        }
        if (message.wParam != -100) {
            layers_->acknowledge();
            layers_->finishLoad(layers_->takeLoadedOrder(), layers_->loadedActiveIndex());
            // The sundrels are not stored: they are computed again on the cells.
            layers_->mapChanged(&map_->cells);
        } else {
            ShowError(QString::fromStdString(layers_->loadError()));
            layers_->acknowledge();
            layers_->reset();
            // Reset forgot the map: the layers take it again, so that a new
            // analysis on this map finds its populations.
            layers_->setMap(*map_);
        }
        view_->UpdateScene();
        break;
    case WM_LAYER_ADDED:
        layers_->acknowledge();
        view_->UpdateScene();
        break;
    default:
        break;
    }
}

// --------------------------------------------------------------------- view

void TMainForm::ResetZoom()
{
    if (!map_)
        return;
    requested_ = ToViewRect(map_->frameBounds);
    view_->UpdateSize();
}

void TMainForm::SetupRC()
{
    fonts_ = std::make_unique<render::CachedFonts>(view_->Primitives().screen.resolution);
    glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
    glDisable(GL_DEPTH_TEST);
}

void TMainForm::ReleaseRC() { fonts_.reset(); }

void TMainForm::RenderScene()
{
    if (!fonts_)
        return;
    render::ViewPrimitives& primitives = view_->Primitives();
    render::Canvas canvas{primitives, primitives.screen, *fonts_, nullptr};
    render::Scene scene;
    scene.map = map_.get();
    scene.visible = visibility_;
    const double points = kPlaceholderPixels * 72.0 / primitives.screen.resolution;
    scene.placeholderFont =
        fonts_->Acquire(kPlaceholderFace, 0, static_cast<std::int32_t>(std::lround(points)));
    if (map_)
        scene.labelsFont = fonts_->Acquire(map_->font.name, map_->font.style, map_->font.size);
    scene.extraLayers = [this, &canvas] { RenderExtraLayers(canvas); };
    render::DrawScene(canvas, scene);
}

void TMainForm::RenderExtraLayers(render::Canvas& canvas)
{
    render::DrawLayersOnScreen(canvas, *layers_);
}

void TMainForm::Resize(int width, int height)
{
    width = std::max(1, width);
    height = std::max(1, height);
    if (!map_) {
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
    // view; the requested one stays as it is.
    actual_ = ToViewRect(
        render::SetFittedProjection(ToBounds(requested_), width, height, -20.0, 20.0));
    view_->Primitives().screen.scale = actual_.Width() / width;
    area_ = ScrollArea(map_->outerBounds, actual_);
    zoomPanel_->setText(QString::number(ZoomPercent(map_->frameBounds, actual_)) + " %");
    UpdateScrollBars();
}

void TMainForm::UpdateScrollBars()
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

void TMainForm::ScrollHorizontally(int position)
{
    if (!map_)
        return;
    requested_ = ScrolledHorizontally(requested_, actual_, area_, position);
    view_->UpdateSize();
}

void TMainForm::ScrollVertically(int position)
{
    if (!map_)
        return;
    requested_ = ScrolledVertically(requested_, actual_, area_, position);
    view_->UpdateSize();
}

} // namespace sundrel::app
