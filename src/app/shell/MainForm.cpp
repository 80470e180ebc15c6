#include "app/shell/MainForm.h"

#include "app/document/DocumentBridge.h"
#include "app/export/BitmapSizeConfiguration.h"
#include "app/export/ExportDialog.h"
#include "app/importing/ImportForm.h"
#include "app/importing/MapCreationControl.h"
#include "app/shell/AboutForm.h"
#include "app/shell/CloseDialog.h"
#include "app/widgets/Resources.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ScrollingPanel.h"
#include "app/widgets/Accessibility.h"
#include "app/widgets/ErrorBox.h"
#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "model/EditHistory.h"
#include "model/Messages.h"
#include "model/MapSnapshot.h"
#include "render/Export.h"
#include "render/MapDrawing.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QPrinter>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

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

// Steps the map body's writer reports, and the header's.
constexpr std::int64_t kMapWriteSteps = 3;

std::filesystem::path ToPath(const QString& fileName)
{
    return std::filesystem::path(fileName.toUtf8().toStdString());
}

// `fileName` with its extension replaced by `extension` (".dvt").
QString WithExtension(const QString& fileName, const QString& extension)
{
    const QFileInfo info(fileName);
    const QString base = info.completeSuffix().isEmpty()
                             ? fileName
                             : fileName.left(fileName.size() - info.suffix().size() - 1);
    return base + extension;
}

} // namespace

TMainForm::TMainForm(QWidget* parent) : TMainForm(parent, Deferred{})
{
    Initialize();
}

TMainForm::TMainForm(QWidget* parent, Deferred)
    : QMainWindow(parent), bridge_(std::make_unique<DocumentBridge>()),
      factory_(std::make_unique<MMapFactory>()), panel_(new TScrollingPanel(this)),
      view_(new TOpenGLControl)
{
    bridge_->attach(*factory_);
    dialogs_.openTitle = tr("Open triangulation file");
    dialogs_.openFilters = tr("Triangulation files (*.dvt *.DVT);;Sundrel files (*.dvk *.DVK);;"
                              "All files (*)");
    dialogs_.saveTitle = tr("Save triangulation");
    dialogs_.saveFilter = tr("Triangulation files (*.dvt)");
    dialogs_.defaultName = "MyMap.dvt";

    InitResources();
    setWindowIcon(ApplicationIcon());
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
    view_->setAccessibleName(tr("Map"));
    view_->installEventFilter(this);
    view_->setMouseTracking(true);

    CreateMenus();
    CreateStatusBar();
    CreateDialogs();
}

void TMainForm::Initialize()
{
    BeforeReadSettings();
    ReadSettings();
    AfterCreateControls();
    // The button a tool bar shows when its buttons do not fit has no
    // caption of its own: name it for screen readers.
    for (QToolBar* bar : findChildren<QToolBar*>()) {
        if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            more->setAccessibleName(tr("More buttons"));
    }
    colourTable_ = BuildColourTable(settings_.colourTableBase);
    RebuildColourMenus();
    saveName_ = dialogs_.defaultName;
    DisableMapControls();
}

TMainForm::~TMainForm()
{
    if (map_)
        CloseMap();
    // The dialogs' workers report through the bridge: they go first.
    delete exportDialog_;
    delete importForm_;
    delete creationControl_;
    delete closeDialog_;
    // The factory's worker ends (a creation cancelled) before the bridge it
    // reports to.
    factory_.reset();
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
    fileMenu_ = menuBar()->addMenu(tr("&File"));
    newAction_ = fileMenu_->addAction(tr("New..."), this, &TMainForm::NewCommand);
    newAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    openAction_ = fileMenu_->addAction(tr("Open..."), this, &TMainForm::OpenCommand);
    openAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    closeAction_ = fileMenu_->addAction(tr("Close"), this, &TMainForm::CloseCommand);
    closeAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    fileMenu_->addSeparator();
    saveAction_ = fileMenu_->addAction(tr("Save"), this, [this] { SaveCommand(); });
    saveAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveAsAction_ = fileMenu_->addAction(tr("Save as..."), this, [this] { SaveAsCommand(); });
    fileMenu_->addSeparator();
    exportMenu_ = fileMenu_->addMenu(tr("Export"));
    postScriptAction_ = exportMenu_->addAction(tr("PostScript (*.ps)"), this,
                                               [this] { ExportPostScriptCommand(); });
    bitmapAction_ =
        exportMenu_->addAction(tr("Bitmap (*.bmp)"), this, [this] { ExportBitmapCommand(); });
    fileMenu_->addSeparator();
    printerSetupAction_ =
        fileMenu_->addAction(tr("Printer setup..."), this, &TMainForm::PrinterSetupCommand);
    printAction_ = fileMenu_->addAction(tr("Print..."), this, [this] { PrintCommand(); });
    printAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    fileMenu_->addSeparator();
    quitAction_ = fileMenu_->addAction(tr("Quit"), this, &QWidget::close);
    quitAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(fileMenu_, &QMenu::aboutToShow, this, &TMainForm::UpdateCommands);

    CreateToolMenus();

    QMenu* help = menuBar()->addMenu(tr("?"));
    aboutAction_ = help->addAction(tr("About..."), this, &TMainForm::AboutCommand);
}

void TMainForm::CreateStatusBar()
{
    auto panel = [this](const char* text, int width, const QString& name) {
        auto* label = new QLabel(QString::fromUtf8(text), this);
        label->setFixedWidth(width);
        ShowTextToReaders(label, name);
        statusBar()->addWidget(label);
        return label;
    };
    zoomPanel_ = panel("100 %", 100, tr("Zoom"));
    toolPanel_ = panel("Select", 150, tr("Tool"));
    layerPanel_ = panel("Active layer", 200, tr("Active layer"));
    panel("", 50, tr("Status"));
}

void TMainForm::CreateDialogs()
{
    closeDialog_ = new TCloseDialog(this);
    exportDialog_ = new TExportDialog(*bridge_, this);
    sizeDialog_ = new TBitmapSizeConfiguration(this);
    importForm_ = new TImportForm(*bridge_, this);
    creationControl_ = new TMapCreationControl(*factory_, *bridge_, this);
}

QString TMainForm::ZoomText() const { return zoomPanel_->text(); }

bool TMainForm::LayerVisible(int layer) const
{
    return layer >= 0 && layer < 5 && settings_.visibility[static_cast<std::size_t>(layer)];
}

void TMainForm::SetModified(bool modified)
{
    modified_ = modified;
    UpdateCommands();
}

void TMainForm::UpdateCommands()
{
    const bool open = map_ != nullptr;
    closeAction_->setEnabled(open);
    saveAction_->setEnabled(open && modified_);
    saveAsAction_->setEnabled(open);
    postScriptAction_->setEnabled(open);
    bitmapAction_->setEnabled(open);
    printAction_->setEnabled(open);
}

// ----------------------------------------------------------------- settings

void TMainForm::ReadSettings()
{
    QSettings settings;
    ReadMainFormSettings(settings, settings_);
    if (settings_.bounds) {
        // A window placed off every screen comes back where it can be seen.
        const QRect bounds = *settings_.bounds;
        bool visible = false;
        for (const QScreen* screen : QGuiApplication::screens())
            visible = visible || screen->availableGeometry().intersects(bounds);
        resize(bounds.size().expandedTo(minimumSize()));
        if (visible)
            move(bounds.topLeft());
    }
    ReadExtraSettings(settings);
}

void TMainForm::WriteSettings()
{
    QSettings settings;
    settings_.maximized = isMaximized();
    const QRect normal = isMaximized() ? normalGeometry() : geometry();
    if (normal.isValid())
        settings_.bounds = QRect(frameGeometry().topLeft(), normal.size());
    WriteMainFormSettings(settings, settings_);
    WriteExtraSettings(settings);
    settings.sync();
}

void TMainForm::ShowAsSaved()
{
    if (settings_.maximized)
        showMaximized();
    else
        show();
}

// ---------------------------------------------------------------- documents

bool TMainForm::CloseQuery()
{
    if (!modified_ || !map_)
        return true;
    switch (closeDialog_->Ask()) {
    case TCloseDialog::Answer::Cancel:
        return false;
    case TCloseDialog::Answer::No:
        return true;
    case TCloseDialog::Answer::Yes:
        break;
    }
    // Saved to its name, or to one asked for (a document without a name of
    // this window's kind). A failed or cancelled save keeps the document
    // open and modified.
    return SaveCommand();
}

QString TMainForm::AskOpenFileName(const QString& title, const QString& filters, QString& folder)
{
    QFileDialog dialog(this, title, folder, filters);
    dialog.setObjectName("OpenDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    const QString fileName = dialog.selectedFiles().front();
    folder = QFileInfo(fileName).absolutePath();
    return fileName;
}

QString TMainForm::AskSaveFileName()
{
    QFileDialog dialog(this, dialogs_.saveTitle, QString(), dialogs_.saveFilter);
    dialog.setObjectName("SaveDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(documentExtension_.mid(1));
    const QFileInfo proposed(saveName_);
    if (proposed.isAbsolute())
        dialog.setDirectory(proposed.absolutePath());
    else if (!settings_.openMapDir.isEmpty())
        dialog.setDirectory(settings_.openMapDir);
    dialog.selectFile(proposed.fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void TMainForm::NewCommand()
{
    if (!CloseQuery())
        return;
    const QString fileName =
        AskOpenFileName(tr("Open coordinates data file"), tr("text (*.txt *.TXT);;All files (*)"),
                        settings_.openDir);
    if (fileName.isEmpty())
        return;
    if (!importForm_->Execute(fileName))
        return;
    if (!creationControl_->Run(importForm_->GetPoints())) {
        view_->UpdateSize();
        return;
    }
    std::unique_ptr<MMap> map = creationControl_->TakeMap();
    if (!map) {
        view_->UpdateSize();
        return;
    }
    // The new map takes the window's current styles.
    for (std::size_t layer = 0; layer < 5; ++layer) {
        const auto index = static_cast<std::size_t>(settings_.layerColourIndex[layer]);
        map->layerColours[layer] = index < colourTable_.size() ? colourTable_[index]
                                                               : kDefaultLayerColours[layer];
    }
    map->font = settings_.font;
    map->originalPointSize = settings_.originalPointSize;
    map->virtualPointSize = settings_.virtualPointSize;
    map->delaunayLineWidth = settings_.delaunayLineSize;
    map->voronoiLineWidth = settings_.voronoiLineSize;
    InstallMap(std::move(map));
    SetDocumentName(QString());
    saveName_ = dialogs_.defaultName;
    SetModified(true);
    AfterNewMap();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%0.3f s", creationControl_->Seconds());
    statusBar()->showMessage(QString::fromUtf8(msg::TriangulationCreatedIn) + seconds, 5000);
    emit documentChanged();
}

void TMainForm::OpenCommand()
{
    if (!CloseQuery())
        return;
    const QString fileName = AskOpenFileName(dialogs_.openTitle, dialogs_.openFilters,
                                             settings_.openMapDir);
    if (fileName.isEmpty())
        return;
    OpenDocument(fileName);
}

void TMainForm::OpenFromCommandLine(const QString& argument)
{
    if (argument.isEmpty())
        return;
    const QString full = QFileInfo(argument).absoluteFilePath();
    const QString fileName = full.isEmpty() ? argument : full;
    saveName_ = WithExtension(fileName, documentExtension_);
    OpenDocument(fileName);
}

bool TMainForm::OpenDocument(const QString& fileName)
{
    const std::filesystem::path file = ToPath(fileName);
    // Taken before reading: a change made while reading is a change too.
    const FileStamp stamp = StampOf(file);
    LoadedDocument document;
    try {
        document = LoadMapDocument(file, *factory_);
        CheckHeader(document.header);
    } catch (const Abort&) {
        return false;
    } catch (const std::bad_alloc&) {
        ShowError(QString::fromUtf8(msg::MemoryAllocationFailure));
        return false;
    } catch (const std::exception& e) {
        if (document.map)
            factory_->DestroyMap(*document.map);
        ShowError(QString::fromStdString(e.what()), ErrorDetail(e));
        if (!map_)
            view_->UpdateSize();
        return false;
    }
    // The new document exists: the open one gives way to it.
    InstallMap(std::move(document.map));
    const DocumentHeader& header = document.header;
    settings_.originalPointSize = header.originalPointSize;
    settings_.virtualPointSize = header.virtualPointSize;
    settings_.delaunayLineSize = header.delaunayLineWidth;
    settings_.voronoiLineSize = header.voronoiLineWidth;
    for (std::size_t layer = 0; layer < 5; ++layer)
        settings_.layerColourIndex[layer] = NearestColour(colourTable_, map_->layerColours[layer]);
    settings_.font = map_->font;
    SetActiveLayer(header.activeLayer);
    for (int layer = 0; layer < 5; ++layer)
        SetLayerVisibility(layer, header.visibility[static_cast<std::size_t>(layer)] != 0);
    EnableMapControls();
    SetModified(false);
    SetDocumentName(fileName);
    documentStamp_ = stamp;
    AfterLoad(header, file);
    AfterOpen();
    emit documentChanged();
    return true;
}

void TMainForm::InstallMap(std::unique_ptr<MMap> map)
{
    if (map_)
        CloseMap();
    map_ = std::move(map);
    ResetHistory();
    ResetZoom();
    EnableMapControls();
}

void TMainForm::CheckHeader(const DocumentHeader& header) const
{
    sundrel::CheckHeader(header);
}

DocumentHeader TMainForm::BuildHeader() const
{
    std::array<std::int32_t, 5> visibility{};
    for (std::size_t layer = 0; layer < 5; ++layer)
        visibility[layer] = settings_.visibility[layer] ? 1 : 0;
    return sundrel::BuildHeader(*map_, settings_.activeLayer, visibility);
}

void TMainForm::SaveMap(const std::filesystem::path& file, const JobHooks& hooks)
{
    SaveMapDocument(file, BuildHeader(), *map_, *factory_, &hooks);
}

std::int64_t TMainForm::SaveStepCount() const
{
    return kMapWriteSteps;
}

bool TMainForm::SaveTo(const QString& fileName)
{
    if (!map_)
        return false;
    // Another program (another copy of this one) may have written the file
    // since it was read or written here: its work is not replaced unasked.
    std::error_code ec;
    if (!documentName_.isEmpty() && documentStamp_.exists &&
        std::filesystem::equivalent(ToPath(fileName), ToPath(documentName_), ec)) {
        const FileStamp now = StampOf(ToPath(fileName));
        if (now.exists && now != documentStamp_ && !ConfirmReplacingChangedFile())
            return false;
    }
    render::ExportParameters parameters;
    parameters.file = ToPath(fileName);
    render::ExportSource source;
    source.save = [this](const std::filesystem::path& file, const JobHooks& hooks) {
        SaveMap(file, hooks);
    };
    saving_ = true;
    const JobOutcome result =
        exportDialog_->Run(render::kJobSave, parameters, std::move(source), SaveStepCount());
    saving_ = false;
    AfterSaveJob();
    if (result != JobOutcome::Done)
        return false;
    documentStamp_ = StampOf(parameters.file);
    SetModified(false);
    AfterSave();
    emit documentChanged();
    return true;
}

bool TMainForm::SaveCommand()
{
    if (!map_)
        return false;
    // A document read from a file of another kind (a ".dvt" in the sundrel
    // window) is saved under a new name, as a new one is.
    if (documentName_.isEmpty() ||
        QFileInfo(documentName_).suffix().compare(documentExtension_.mid(1), Qt::CaseInsensitive) != 0)
        return SaveAsCommand();
    return SaveTo(documentName_);
}

bool TMainForm::SaveAsCommand()
{
    if (!map_)
        return false;
    if (!documentName_.isEmpty())
        saveName_ = WithExtension(documentName_, documentExtension_);
    const QString fileName = AskSaveFileName();
    if (fileName.isEmpty())
        return false;
    if (!SaveTo(fileName))
        return false;
    SetDocumentName(fileName);
    return true;
}

void TMainForm::SetDocumentName(const QString& fileName)
{
    if (fileName != documentName_ && !fileName.isEmpty()) {
        saveName_ = WithExtension(fileName, documentExtension_);
        settings_.openMapDir = QFileInfo(fileName).absolutePath();
    }
    documentName_ = fileName;
    setWindowTitle(fileName.isEmpty()
                       ? QString(kApplicationTitle)
                       : QString(kApplicationTitle) + " - " + QFileInfo(fileName).fileName());
}

void TMainForm::CloseCommand()
{
    if (CloseQuery()) {
        CloseMap();
        emit documentChanged();
    }
}

void TMainForm::CloseMap()
{
    BeforeCloseMap();
    EndDrag();
    DiscardHistory();
    if (map_) {
        factory_->DestroyMap(*map_);
        map_.reset();
    }
    DisableMapControls();
    view_->UpdateSize();
}

void TMainForm::EnableMapControls()
{
    for (QMenu* menu : {zoomMenu_, toolsMenu_, layersMenu_, pointsMenu_, editMenu_})
        menu->setEnabled(true);
    resetZoomAction_->setEnabled(true);
    toolBar_->setEnabled(true);
    layerBar_->setEnabled(true);
    styleBar_->setEnabled(true);
    blinkTimer_->start();
    UpdateActiveLayerCaption();
    UpdateLayerCommands();
    UpdateCommands();
}

void TMainForm::DisableMapControls()
{
    for (QMenu* menu : {zoomMenu_, toolsMenu_, layersMenu_, pointsMenu_, editMenu_})
        menu->setEnabled(false);
    resetZoomAction_->setEnabled(false);
    toolBar_->setEnabled(false);
    layerBar_->setEnabled(false);
    styleBar_->setEnabled(false);
    blinkTimer_->stop();
    modified_ = false;
    SetDocumentName(QString());
    UpdateCommands();
}

void TMainForm::SetLayerVisibility(int layer, bool visible)
{
    if (layer >= 0 && layer < 5)
        settings_.visibility[static_cast<std::size_t>(layer)] = visible;
}

void TMainForm::SetActiveLayer(int layer)
{
    settings_.activeLayer = layer >= -1 && layer < 5 ? layer : 1;
    UpdateActiveLayerCaption();
}

void TMainForm::UpdateActiveLayerCaption()
{
    const int layer = settings_.activeLayer;
    layerPanel_->setText(layer >= 0 && layer < 5 ? QString::fromUtf8(kLayerNames[layer])
                                                 : tr("Active layer"));
}

void TMainForm::ShowError(const QString& message, const QString& detail)
{
    ShowErrorBox(this, kApplicationTitle, message, detail);
}

bool TMainForm::ConfirmReplacingChangedFile()
{
    QMessageBox box(QMessageBox::Warning, kApplicationTitle,
                    tr("The file was changed by another program since it was opened. Replace it?"),
                    QMessageBox::Yes | QMessageBox::Cancel, this);
    box.setObjectName("ReplaceChangedFile");
    box.button(QMessageBox::Yes)->setText(tr("Replace"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Yes;
}

void TMainForm::AboutCommand()
{
    TSundrelAboutForm about(this);
    about.exec();
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    if (map_)
        CloseMap();
    WriteSettings();
    AfterClose();
    event->accept();
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
    if (map_)
        canvas.ForPixels(ToBounds(actual_));
    render::Scene scene;
    scene.map = map_.get();
    scene.visible = settings_.visibility;
    const double points = kPlaceholderPixels * 72.0 / primitives.screen.resolution;
    scene.placeholderFont =
        fonts_->Acquire(kPlaceholderFace, 0, static_cast<std::int32_t>(std::lround(points)));
    if (map_)
        scene.labelsFont = fonts_->Acquire(map_->font.name, map_->font.style, map_->font.size);
    scene.extraLayers = [this, &canvas] { RenderExtraLayers(canvas); };
    render::DrawScene(canvas, scene);
    RenderOverlay();
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
