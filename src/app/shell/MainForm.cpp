#include "app/shell/MainForm.h"

#include "app/document/DocumentBridge.h"
#include "app/document/OpenDocument.h"
#include "app/edit/MapEditor.h"
#include "app/export/ExportDialog.h"
#include "app/export/FigureExporter.h"
#include "app/geo/GeoControls.h"
#include "app/importing/ImportForm.h"
#include "app/importing/MapCreationControl.h"
#include "app/shell/AboutForm.h"
#include "app/shell/CloseDialog.h"
#include "app/style/StyleController.h"
#include "app/view/LayerControls.h"
#include "app/view/ScrollingPanel.h"
#include "app/view/ViewController.h"
#include "app/view/ViewTools.h"
#include "app/widgets/ErrorBox.h"
#include "app/widgets/FileDialogs.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Resources.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "geo/Sidecar.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>

namespace sundrel::app {

namespace {

// Steps the map body's writer reports, and the header's.
constexpr std::int64_t kMapWriteSteps = 3;

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
      factory_(std::make_unique<MMapFactory>()),
      document_(std::make_unique<TOpenDocument>(*factory_))
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

    // The features, each with its menus and tool bars.
    viewer_ = std::make_unique<TViewController>(*document_, this);
    setCentralWidget(viewer_->Panel());
    editor_ = std::make_unique<TMapEditor>(*document_, *factory_, *viewer_, this);
    tools_ = std::make_unique<TViewTools>(*document_, *viewer_, *editor_, this);
    styles_ = std::make_unique<TStyleController>(*document_, this);
    layerControls_ = std::make_unique<TLayerControls>(*document_, editor_->RemoveAllAction(),
                                                      editor_->DeleteAllAction(), this);
    styles_->MatchHeight(layerControls_->LayerButton(0));
    exports_ = std::make_unique<TFigureExporter>(*document_, *viewer_, *bridge_, this);
    tools_->PopUpMenu = [this](const QPoint& at) { layerControls_->PopUp(at); };
    exports_->DocumentFolder = [this] { return openMapDir_; };
    connect(editor_.get(), &TMapEditor::failed, this, [this](const QString& m) { ShowError(m); });
    connect(editor_.get(), &TMapEditor::refused, this,
            [this](const QString& m) { statusBar()->showMessage(m, 3000); });
    connect(exports_.get(), &TFigureExporter::failed, this,
            [this](const QString& m) { ShowError(m); });
    geo_ = std::make_unique<TGeoControls>(*document_, *viewer_, *exports_, this);
    connect(geo_.get(), &TGeoControls::failed, this, [this](const QString& m) { ShowError(m); });
    CreateMenus();
    connect(document_.get(), &TOpenDocument::changed, this, [this](unsigned what) {
        if (what & TOpenDocument::ModifiedChange)
            UpdateCommands();
    });

    closeDialog_ = new TCloseDialog(this);
    importForm_ = new TImportForm(*bridge_, this);
    creationControl_ = new TMapCreationControl(*factory_, *bridge_, this);
}

void TMainForm::Initialize()
{
    ReadSettings();
    // The button a tool bar shows when its buttons do not fit has no
    // caption of its own: name it for screen readers.
    for (QToolBar* bar : findChildren<QToolBar*>()) {
        if (auto* more = bar->findChild<QToolButton*>(QStringLiteral("qt_toolbar_ext_button")))
            more->setAccessibleName(tr("More buttons"));
    }
    saveName_ = dialogs_.defaultName;
    EnableMapControls(false);
}

TMainForm::~TMainForm()
{
    if (Map())
        CloseMap();
    // The dialogs' workers report through the bridge: they go first, and
    // the features with them.
    delete importForm_;
    delete creationControl_;
    delete closeDialog_;
    geo_.reset();
    exports_.reset();
    // The factory's worker ends (a creation cancelled) before the bridge it
    // reports to.
    styles_.reset();
    layerControls_.reset();
    tools_.reset();
    editor_.reset();
    viewer_.reset();
    document_.reset();
    factory_.reset();
}

void TMainForm::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    QAction* newAction = file->addAction(tr("New..."), this, &TMainForm::NewCommand);
    newAction->setObjectName("NewAction");
    newAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    QAction* open = file->addAction(tr("Open..."), this, &TMainForm::OpenCommand);
    open->setObjectName("OpenAction");
    open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    closeAction_ = file->addAction(tr("Close"), this, &TMainForm::CloseCommand);
    closeAction_->setObjectName("CloseAction");
    closeAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    file->addSeparator();
    saveAction_ = file->addAction(tr("Save"), this, [this] { SaveCommand(); });
    saveAction_->setObjectName("SaveAction");
    saveAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    saveAsAction_ = file->addAction(tr("Save as..."), this, [this] { SaveAsCommand(); });
    file->addSeparator();
    file->addMenu(exports_->ExportMenu());
    file->addSeparator();
    file->addAction(exports_->PrinterSetupAction());
    file->addAction(exports_->PrintAction());
    file->addSeparator();
    QAction* quit = file->addAction(tr("Quit"), this, &QWidget::close);
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(file, &QMenu::aboutToShow, this, &TMainForm::UpdateCommands);

    for (QMenu* menu : {editor_->EditMenu(), tools_->ToolsMenu(), viewer_->ZoomMenu(),
                        layerControls_->LayersMenu(), layerControls_->PointsMenu()})
        menuBar()->addMenu(menu);
    geo_->AddMenuEntries(layerControls_->LayersMenu());
    // The style buttons of the active layer share the first row with the
    // tools, where there is room.
    addToolBar(tools_->ToolBar());
    addToolBar(styles_->StyleBar());
    addToolBarBreak();
    addToolBar(layerControls_->LayerBar());

    QMenu* help = menuBar()->addMenu(tr("?"));
    help->addAction(tr("About..."), this, [this] {
        TSundrelAboutForm about(this);
        about.exec();
    });

    statusBar()->addWidget(viewer_->ZoomPanel());
    statusBar()->addWidget(tools_->ToolPanel());
    statusBar()->addWidget(layerControls_->LayerPanel());
    statusBar()->addWidget(NewStatusPanel(QString(), 50, tr("Status")));
}

const MMap* TMainForm::Map() const
{
    return document_->Map();
}

bool TMainForm::Modified() const
{
    return document_->Modified();
}

void TMainForm::SetModified(bool modified)
{
    document_->SetModified(modified);
}

QString TMainForm::DocumentName() const
{
    return document_->Name();
}

void TMainForm::UpdateCommands()
{
    const bool open = Map() != nullptr;
    closeAction_->setEnabled(open);
    saveAction_->setEnabled(open && Modified());
    saveAsAction_->setEnabled(open);
    exports_->EnableMapCommands(open);
    geo_->EnableMapCommands(open);
}

void TMainForm::EnableMapControls(bool enabled)
{
    editor_->EditMenu()->setEnabled(enabled);
    viewer_->EnableMapCommands(enabled);
    tools_->EnableMapCommands(enabled);
    layerControls_->EnableMapCommands(enabled);
    styles_->StyleBar()->setEnabled(enabled);
    if (!enabled) {
        document_->SetModified(false);
        SetDocumentName(QString());
    }
    UpdateCommands();
}

// ----------------------------------------------------------------- settings

void TMainForm::ReadSettings()
{
    QSettings settings;
    MainFormSettings read;
    ReadMainFormSettings(settings, read);
    bounds_ = read.bounds;
    maximized_ = read.maximized;
    // The window starts the session: the folder it kept is the one in force.
    SetDataFolder(read.openDir);
    openMapDir_ = read.openMapDir;
    if (bounds_)
        PlaceWindow(*this, *bounds_);
    document_->SetDisplay(read);
    ReadExtraSettings(settings);
}

MainFormSettings TMainForm::Settings() const
{
    MainFormSettings settings;
    static_cast<DisplayState&>(settings) = document_->Display();
    settings.maximized = isMaximized();
    settings.bounds = WindowBounds(*this, bounds_);
    settings.openDir = DataFolder();
    settings.openMapDir = openMapDir_;
    return settings;
}

void TMainForm::WriteSettings()
{
    QSettings settings;
    WriteMainFormSettings(settings, Settings());
    WriteExtraSettings(settings);
    settings.sync();
}

void TMainForm::ShowAsSaved()
{
    if (maximized_)
        showMaximized();
    else
        show();
}

// ---------------------------------------------------------------- documents

bool TMainForm::CloseQuery()
{
    if (!Modified() || !Map())
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

QString TMainForm::AskOpenFileName(const QString& title, const QString& filters, QString& folder,
                                   const QString& selected)
{
    const QString fileName =
        AskFileToRead(this, {"OpenDialog", title, filters.split(";;"), {}, folder, {}, selected});
    if (!fileName.isEmpty())
        folder = QFileInfo(fileName).absolutePath();
    return fileName;
}

QString TMainForm::AskSaveFileName()
{
    const QFileInfo proposed(saveName_);
    return AskFileToWrite(this, {"SaveDialog", dialogs_.saveTitle, {dialogs_.saveFilter},
                                 {documentExtension_.mid(1)},
                                 proposed.isAbsolute() ? proposed.absolutePath() : openMapDir_,
                                 proposed.fileName()});
}

void TMainForm::NewCommand()
{
    if (!CloseQuery())
        return;
    QString folder = DataFolder();
    const QString fileName = AskOpenFileName(tr("Open coordinates data file"),
                                             tr("text (*.txt *.TXT);;All files (*)"), folder);
    SetDataFolder(folder);
    if (fileName.isEmpty() || !importForm_->Execute(fileName))
        return;
    std::unique_ptr<MMap> map;
    if (creationControl_->Run(importForm_->GetPoints()))
        map = creationControl_->TakeMap();
    if (!map) {
        viewer_->UpdateSize();
        return;
    }
    // The new map takes the window's current styles, and the coordinate
    // system of sites given in degrees.
    if (Map())
        CloseMap();
    document_->New(std::move(map), importForm_->Geography());
    EnableMapControls(true);
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
    const QString fileName =
        AskOpenFileName(dialogs_.openTitle, dialogs_.openFilters, openMapDir_,
                        dialogs_.openSelected);
    if (!fileName.isEmpty())
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
        if (!Map())
            viewer_->UpdateSize();
        return false;
    }
    // Its sidecars: one that cannot be read is named, the document opens.
    QString warnings;
    geo::DocumentGeography geography = TGeoControls::Read(file, warnings);
    // The new document exists: the open one gives way to it.
    if (Map())
        CloseMap();
    document_->Open(std::move(document.map), document.header, std::move(geography));
    EnableMapControls(true);
    SetModified(false);
    SetDocumentName(fileName);
    documentStamp_ = stamp;
    AfterLoad(document.header, file);
    emit documentChanged();
    if (!warnings.isEmpty())
        ShowError(warnings);
    return true;
}

void TMainForm::SaveMap(const std::filesystem::path& file, const JobHooks& hooks)
{
    geo::SaveMapDocument(file, document_->Geography(), document_->Header(), *Map(), *factory_,
                         &hooks);
}

std::int64_t TMainForm::SaveStepCount() const
{
    return kMapWriteSteps;
}

bool TMainForm::SaveTo(const QString& fileName)
{
    if (!Map())
        return false;
    // Another program (another copy of this one) may have written the file
    // since it was read or written here: its work is not replaced unasked.
    std::error_code ec;
    const QString& name = DocumentName();
    if (!name.isEmpty() && documentStamp_.exists &&
        std::filesystem::equivalent(ToPath(fileName), ToPath(name), ec)) {
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
        exports_->Run(render::kJobSave, parameters, std::move(source), SaveStepCount());
    saving_ = false;
    AfterSaveJob();
    if (result != JobOutcome::Done)
        return false;
    documentStamp_ = StampOf(parameters.file);
    SetModified(false);
    emit documentChanged();
    return true;
}

bool TMainForm::SaveCommand()
{
    if (!Map())
        return false;
    // A document read from a file of another kind (a ".dvt" in the sundrel
    // window) is saved under a new name, as a new one is.
    const QString name = DocumentName();
    if (name.isEmpty() ||
        QFileInfo(name).suffix().compare(documentExtension_.mid(1), Qt::CaseInsensitive) != 0)
        return SaveAsCommand();
    return SaveTo(name);
}

bool TMainForm::SaveAsCommand()
{
    if (!Map())
        return false;
    if (!DocumentName().isEmpty())
        saveName_ = WithExtension(DocumentName(), documentExtension_);
    const QString fileName = AskSaveFileName();
    if (fileName.isEmpty() || !SaveTo(fileName))
        return false;
    SetDocumentName(fileName);
    return true;
}

void TMainForm::SetDocumentName(const QString& fileName)
{
    if (fileName != DocumentName() && !fileName.isEmpty()) {
        saveName_ = WithExtension(fileName, documentExtension_);
        openMapDir_ = QFileInfo(fileName).absolutePath();
    }
    document_->SetName(fileName);
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
    document_->Close();
    EnableMapControls(false);
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

void TMainForm::closeEvent(QCloseEvent* event)
{
    if (!CloseQuery()) {
        event->ignore();
        return;
    }
    if (Map())
        CloseMap();
    WriteSettings();
    event->accept();
}

} // namespace sundrel::app
