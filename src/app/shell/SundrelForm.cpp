#include "app/shell/SundrelForm.h"

#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/ReportForm.h"
#include "app/analysis/SundrelMonmonierDialog.h"
#include "app/analysis/SundrelSelection.h"
#include "app/document/DocumentBridge.h"
#include "app/export/ExportDialog.h"
#include "app/importing/ImportMatForm.h"
#include "app/shell/SundrelSettings.h"
#include "app/view/OpenGLControl.h"
#include "matrix/MatrixFile.h"
#include "monmonier/SundrelDocument.h"
#include "render/LayerDrawing.h"

#include <QAction>
#include <QActionGroup>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>

namespace sundrel::app {

TSundrelForm::TSundrelForm(QWidget* parent) : TMainForm(parent, Deferred{})
{
    documentExtension_ = ".dvk";
    dialogs_.openTitle = tr("Open triangulation and sundrels");
    dialogs_.saveTitle = tr("Save triangulation and sundrels");
    dialogs_.saveFilter = tr("Sundrel files (*.dvk)");
    dialogs_.defaultName = "MyMap.dvk";

    layers_ = std::make_unique<MonmonierLayer>(MonmonierLayer::Windows{
        &bridge_->notifier(Sender::Layers), &bridge_->notifier(Sender::LayersStatus),
        &bridge_->notifier(Sender::Reports)});
    InstallDocumentLoader(*layers_);
    bridge_->attach(layers_.get());
    ExportDialog()->LayerName = [this](int index) {
        const auto layer = layers_->layer(index);
        return layer ? layer->name : std::string();
    };

    ExportMenu()->addSeparator();
    exportTriangulationAction_ = ExportMenu()->addAction(tr("Triangulation (*.dvt)"), this,
                                                         [this] { ExportTriangulationCommand(); });

    connect(bridge_.get(), &DocumentBridge::layersRedraw, this, [this] {
        if (layers_->redrawPending())
            View()->UpdateScene();
    });
    connect(bridge_.get(), &DocumentBridge::layersLoaded, this, &TSundrelForm::LayersLoaded);
    connect(bridge_.get(), &DocumentBridge::layerAdded, this, [this] {
        SetModified(true);
        LayersChanged();
        View()->UpdateScene();
    });

    setup_ = new TMonmonierSetup(this);
    importMat_ = new TImportMatForm(*bridge_, this);
    setup_->LoadMatrices = [this](const QString& fileName, std::int32_t expectedSize) {
        importMat_->setMatrixSize(expectedSize);
        return importMat_->Execute(fileName) ? importMat_->takeMatrixFile()
                                             : std::unique_ptr<MatrixFile>();
    };
    status_ = new TSundrelMonmonierDialog(*bridge_, *layers_, this);
    report_ = new TReportForm(*bridge_, *layers_, this);
    selection_ = new TSundrelSelection(*layers_, this);
    // Configure mode edits a layer live.
    connect(setup_, &TMonmonierSetup::layerEdited, this, [this](int) {
        SetModified(true);
        // A new title renames the layer's entries.
        RebuildLayerEntries();
        UpdateActiveLayerCaption();
        View()->UpdateScene();
    });
    connect(setup_, &TMonmonierSetup::reportRequested, report_, &TReportForm::ShowLayerReport);
    CreateSundrelsMenu();
    CreateTargetControls();
    Initialize();
}

void TSundrelForm::CreateSundrelsMenu()
{
    sundrelsMenu_ = new QMenu(tr("&Sundrels"), this);
    menuBar()->insertMenu(menuBar()->actions().back(), sundrelsMenu_);
    newAnalysisAction_ =
        sundrelsMenu_->addAction(tr("New..."), this, [this] { NewAnalysisCommand(); });
    sundrelsMenu_->addSeparator();
    const auto command = [this](void (MonmonierLayer::*change)()) {
        return [this, change] {
            (layers_.get()->*change)();
            LayersChanged();
            SetModified(true);
            View()->UpdateScene();
        };
    };
    showAllAction_ = sundrelsMenu_->addAction(tr("Show all"), this, command(&MonmonierLayer::showAll));
    hideUnactiveAction_ =
        sundrelsMenu_->addAction(tr("Hide unactive"), this, command(&MonmonierLayer::hideInactive));
    hideAllAction_ = sundrelsMenu_->addAction(tr("Hide all"), this, command(&MonmonierLayer::hideAll));
    removeAllAction_ =
        sundrelsMenu_->addAction(tr("Remove all"), this, command(&MonmonierLayer::removeAll));
    sundrelsMenu_->addSeparator();
    sundrelsMenu_->addSeparator();
    QMenu* status = sundrelsMenu_->addMenu(tr("Status window"));
    statusModes_ = new QActionGroup(this);
    const char* const items[3] = {"Always visible", "Auto (default)", "Never visible"};
    for (int item = 0; item < 3; ++item) {
        QAction* action = status->addAction(tr(items[item]));
        action->setCheckable(true);
        action->setData(item);
        statusModes_->addAction(action);
    }
    connect(statusModes_, &QActionGroup::triggered, this, [this](QAction* action) {
        statusItem_ = action->data().toInt();
        SetStatusWindowMode(statusItem_ == 0 ? 1 : statusItem_ == 1 ? 0 : 2);
    });
    connect(sundrelsMenu_, &QMenu::aboutToShow, this, &TSundrelForm::UpdateSundrelsMenu);
}

void TSundrelForm::UpdateSundrelsMenu()
{
    const bool any = layers_->count() > 0;
    showAllAction_->setEnabled(any && !layers_->allShown());
    hideAllAction_->setEnabled(any && !layers_->allHidden());
    hideUnactiveAction_->setEnabled(layers_->count() > 1 && !layers_->allHidden());
    removeAllAction_->setEnabled(any);
    statusModes_->actions().at(statusItem_)->setChecked(true);
    RefreshLayerEntries();
}

void TSundrelForm::SetStatusWindowMode(int mode)
{
    statusMode_ = mode;
    status_->SetVisibility(mode);
    statusItem_ = mode == 1 ? 0 : mode == 0 ? 1 : 2;
    statusModes_->actions().at(statusItem_)->setChecked(true);
}

void TSundrelForm::ReadExtraSettings(QSettings& settings)
{
    settings.beginGroup("MapEditor");
    const auto item = ReadInt(settings, "SundrelStatus");
    ReadLayerStyles(settings, layers_->styles);
    settings.endGroup();
    // An item out of range leaves the default in force, and checked.
    const int chosen = item && *item >= 0 && *item <= 2 ? *item : 1;
    SetStatusWindowMode(chosen == 0 ? 1 : chosen == 1 ? 0 : 2);
}

void TSundrelForm::WriteExtraSettings(QSettings& settings)
{
    settings.beginGroup("MapEditor");
    settings.setValue("SundrelStatus", statusItem_);
    WriteLayerStyles(settings, layers_->styles);
    // The settings name map layers only.
    if (ActiveLayer() >= kSundrelsTarget)
        settings.setValue("ActiveLayer", -1);
    settings.endGroup();
}

bool TSundrelForm::NewAnalysisCommand()
{
    if (!map_)
        return false;
    setup_->SetExpectedSize(map_->N());
    if (!setup_->ExecuteNew())
        return false;
    std::unique_ptr<MatrixFile> store = setup_->TakeStore();
    if (!store)
        return false;
    AnalysisRequest request;
    request.store = std::move(store);
    request.single = setup_->IsSingleRun();
    request.sundrels = setup_->SundrelNumber();
    request.labelStyle = setup_->LabelStyle();
    request.title = setup_->Title().toStdString();
    request.showReport = setup_->ReportWanted();
    status_->Begin(setup_->Title(), setup_->MatrixCount());
    if (!layers_->newAnalysis(std::move(request))) {
        ShowError(tr("The result layers are still being read; try again in a moment."));
        return false;
    }
    return true;
}

TSundrelForm::~TSundrelForm()
{
    // The windows that show layers go before them, and the matrix import
    // (its worker reports through the bridge).
    delete setup_;
    delete importMat_;
    delete status_;
    delete report_;
    delete selection_;
    StopLayers();
    bridge_->attach(nullptr);
    layers_.reset();
}

void TSundrelForm::EnableMapControls()
{
    if (sundrelsMenu_)
        sundrelsMenu_->setEnabled(true);
    TMainForm::EnableMapControls();
    if (exportTriangulationAction_)
        exportTriangulationAction_->setEnabled(true);
    LayersChanged();
}

void TSundrelForm::DisableMapControls()
{
    if (sundrelsMenu_)
        sundrelsMenu_->setEnabled(false);
    TMainForm::DisableMapControls();
    if (exportTriangulationAction_)
        exportTriangulationAction_->setEnabled(false);
    LayersChanged();
}

void TSundrelForm::RenderExtraLayers(render::Canvas& canvas)
{
    render::DrawLayersOnScreen(canvas, *layers_);
}

DocumentHeader TSundrelForm::BuildHeader() const
{
    const DocumentHeader map = TMainForm::BuildHeader();
    // The header names map layers only: a result-layer target is none.
    const std::int32_t active = map.activeLayer < kSundrelsTarget ? map.activeLayer : -1;
    return BuildSundrelHeader(*map_, *layers_, active, map.visibility);
}

void TSundrelForm::AfterLoad(const DocumentHeader& header, const std::filesystem::path& file)
{
    if (HasMonmonierData(header))
        layers_->load(file, *map_);
    else
        layers_->setMap(*map_);
}

void TSundrelForm::AfterNewMap()
{
    layers_->setMap(*map_);
}

void TSundrelForm::BeforeCloseMap()
{
    StopLayers();
}

bool TSundrelForm::BeforeMapEdit()
{
    // The layers' worker reads the map's cells: it stops first. A document's
    // layers being read, or an analysis being handed over, cannot be
    // stopped: the edit waits for the user to try again.
    if (layers_->cancelForEdit())
        return true;
    statusBar()->showMessage(tr("The sundrels are busy: try again in a moment"), 3000);
    return false;
}

void TSundrelForm::OnMapEdited()
{
    layers_->mapChanged(&map_->cells);
}

void TSundrelForm::StopLayers()
{
    // A document's layers still being read are dropped with what the layers
    // said about them.
    layers_->close();
    for (Sender sender : {Sender::Layers, Sender::LayersStatus, Sender::Reports})
        bridge_->discard(sender);
}

void TSundrelForm::LayersLoaded(const JobResult& result)
{
    // A save is writing the layers' matrices: what the load asks for waits
    // until it is done (AfterSaveJob).
    if (Saving()) {
        pendingLoad_ = result;
        return;
    }
    if (!map_) {
        layers_->reset();
        return;
    }
    if (result.Failed()) {
        ShowError(QString::fromStdString(result.message));
        layers_->reset();
        // Reset forgot the map: the layers take it again, so that a new
        // analysis on this map finds its populations.
        layers_->setMap(*map_);
    } else {
        // The sundrels are not stored: they are computed again on the cells.
        layers_->mapChanged(&map_->cells);
    }
    LayersChanged();
    View()->UpdateScene();
}

void TSundrelForm::AfterSaveJob()
{
    if (!pendingLoad_)
        return;
    const JobResult result = *pendingLoad_;
    pendingLoad_.reset();
    LayersLoaded(result);
}

void TSundrelForm::SaveMap(const std::filesystem::path& file, const JobHooks& hooks)
{
    // The save waits for the layers' command and takes in a load that ended;
    // no new computation starts while it runs (see LayersLoaded).
    SaveSundrelDocument(file, BuildHeader(), *map_, *layers_, *factory_, &hooks);
}

std::int64_t TSundrelForm::SaveStepCount() const
{
    return TMainForm::SaveStepCount() + 3 + layers_->saveStepCount();
}

bool TSundrelForm::ExportTriangulationCommand()
{
    if (!map_)
        return false;
    QFileDialog dialog(this, tr("Export to triangulation file"), QString(),
                       tr("Triangulation Files (*.dvt)"));
    dialog.setObjectName("ExportTriangulationDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("dvt");
    if (DocumentName().isEmpty()) {
        dialog.selectFile("MyMap.dvt");
    } else {
        const QFileInfo info(DocumentName());
        dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.completeBaseName() + ".dvt");
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    render::ExportParameters parameters;
    parameters.file = std::filesystem::path(dialog.selectedFiles().front().toUtf8().toStdString());
    render::ExportSource source;
    const DocumentHeader header = TMainForm::BuildHeader();
    source.extra = [this, header](const std::filesystem::path& file, const JobHooks& hooks) {
        ExportTriangulation(file, header, *map_, *factory_, &hooks);
    };
    return ExportDialog()->Run(render::kJobExtra, parameters, std::move(source),
                               TMainForm::SaveStepCount() + 2) ==
           JobOutcome::Done;
}

} // namespace sundrel::app
