#include "app/shell/SundrelForm.h"

#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/ReportForm.h"
#include "app/analysis/ResultLayerMenus.h"
#include "app/analysis/SundrelMonmonierDialog.h"
#include "app/analysis/SundrelSelection.h"
#include "app/document/DocumentBridge.h"
#include "app/document/OpenDocument.h"
#include "app/edit/MapEditor.h"
#include "app/export/FigureExporter.h"
#include "app/genetics/GenotypeForm.h"
#include "app/importing/ImportMatForm.h"
#include "app/shell/SundrelSettings.h"
#include "app/view/LayerControls.h"
#include "app/view/ViewController.h"
#include "app/widgets/ErrorBox.h"
#include "app/widgets/FileDialogs.h"
#include "geo/Sidecar.h"
#include "matrix/MatrixFile.h"
#include "model/MMapFactory.h"
#include "monmonier/SundrelDocument.h"
#include "render/LayerDrawing.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>

namespace sundrel::app {

TSundrelForm::TSundrelForm(QWidget* parent) : TMainForm(parent, Deferred{})
{
    documentExtension_ = ".dvk";
    dialogs_.openTitle = tr("Open triangulation and sundrels");
    // The documents this window saves are the ones looked for first.
    dialogs_.openSelected = tr("Sundrel files (*.dvk *.DVK)");
    dialogs_.saveTitle = tr("Save triangulation and sundrels");
    dialogs_.saveFilter = tr("Sundrel files (*.dvk)");
    dialogs_.defaultName = "MyMap.dvk";

    layers_ = std::make_unique<MonmonierLayer>(MonmonierLayer::Windows{
        &bridge_->notifier(Sender::Layers), &bridge_->notifier(Sender::LayersStatus),
        &bridge_->notifier(Sender::Reports)});
    InstallDocumentLoader(*layers_);
    bridge_->attach(layers_.get());
    document_->AttachLayers(layers_.get());
    viewer_->ExtraLayers = [this](render::Canvas& canvas) {
        render::DrawLayersOnScreen(canvas, *layers_);
    };
    // The layers' worker reads the map's cells: it stops before an edit, and
    // computes the layers again after it.
    editor_->BeforeEdit = [this] { return LayersLetGoOfTheMap(); };
    connect(editor_.get(), &TMapEditor::edited, this,
            [this] { layers_->mapChanged(&Map()->cells); });

    QMenu* exportMenu = exports_->ExportMenu();
    exportMenu->addSeparator();
    exportTriangulation_ = exportMenu->addAction(tr("Triangulation (*.dvt)"), this,
                                                 [this] { ExportTriangulationCommand(); });

    connect(bridge_.get(), &DocumentBridge::layersRedraw, this, [this] {
        if (layers_->redrawPending())
            viewer_->UpdateScene();
    });
    connect(bridge_.get(), &DocumentBridge::layersLoaded, this, &TSundrelForm::LayersLoaded);
    connect(bridge_.get(), &DocumentBridge::layerAdded, this, [this](qintptr serial) {
        // A stopped analysis took its layer back before it came here.
        if (layers_->indexOfSerial(serial) < 0)
            return;
        if (pendingAnalysis_ && !pendingAfter_)
            pendingAfter_ = serial;
        SetModified(true);
        menus_->LayersChanged();
        viewer_->UpdateScene();
    });

    setup_ = new TMonmonierSetup(this);
    importMat_ = new TImportMatForm(*bridge_, this);
    setup_->LoadMatrices = [this](const QString& fileName, std::int32_t expectedSize) {
        importMat_->setMatrixSize(expectedSize);
        return importMat_->Execute(fileName) ? importMat_->takeMatrixFile()
                                             : std::unique_ptr<MatrixFile>();
    };
    genotypes_ = new TGenotypeForm(*bridge_, importMat_->Stores(), this);
    status_ = new TSundrelMonmonierDialog(*bridge_, *layers_, this);
    report_ = new TReportForm(*bridge_, *layers_, this);
    selection_ = new TSundrelSelection(*layers_, this);
    menus_ = std::make_unique<TResultLayerMenus>(
        *document_, *layerControls_,
        TResultLayerMenus::Windows{setup_, report_, selection_, status_}, this);
    menus_->NewAnalysis = [this] { NewAnalysisCommand(); };
    connect(bridge_.get(), &DocumentBridge::layerEnded, this, &TSundrelForm::StartPendingAnalysis);
    connect(status_, &TSundrelMonmonierDialog::stopRequested, this, [this] {
        // A stopped single run takes the test meant to follow it along.
        pendingAnalysis_.reset();
        if (!layers_->stopAnalysis())
            return;
        SetModified(modifiedBeforeAnalysis_);
        menus_->LayersChanged();
        viewer_->UpdateScene();
    });
    menus_->NewFromGenotypes = [this] { NewFromGenotypesCommand(); };
    menuBar()->insertMenu(menuBar()->actions().back(), menus_->SundrelsMenu());
    // Configure mode edits a layer live.
    connect(setup_, &TMonmonierSetup::layerEdited, this, [this](int) {
        SetModified(true);
        // A new title renames the layer's entries and the status bar's.
        menus_->LayersChanged();
        viewer_->UpdateScene();
    });
    connect(setup_, &TMonmonierSetup::reportRequested, report_, &TReportForm::ShowLayerReport);
    Initialize();
}

TSundrelForm::~TSundrelForm()
{
    // The windows that show layers go before them, and the matrix import
    // (its worker reports through the bridge).
    delete setup_;
    delete genotypes_;
    delete importMat_;
    delete status_;
    delete report_;
    delete selection_;
    menus_.reset();
    StopLayers();
    editor_->BeforeEdit = nullptr;
    viewer_->ExtraLayers = nullptr;
    document_->AttachLayers(nullptr);
    bridge_->attach(nullptr);
    layers_.reset();
}

void TSundrelForm::ReadExtraSettings(QSettings& settings)
{
    settings.beginGroup("MapEditor");
    const auto item = ReadInt(settings, "SundrelStatus");
    LayerStyles styles = layers_->styles;
    ReadLayerStyles(settings, styles);
    document_->SetResultStyles(styles);
    settings.endGroup();
    // An item out of range leaves the default in force, and checked.
    const int chosen = item && *item >= 0 && *item <= 2 ? *item : 1;
    menus_->SetStatusWindowMode(chosen == 0 ? 1 : chosen == 1 ? 0 : 2);
}

void TSundrelForm::WriteExtraSettings(QSettings& settings)
{
    settings.beginGroup("MapEditor");
    settings.setValue("SundrelStatus", menus_->StatusItem());
    WriteLayerStyles(settings, layers_->styles);
    // The settings name map layers only.
    if (document_->ActiveLayer() >= TOpenDocument::kSundrelsTarget)
        settings.setValue("ActiveLayer", -1);
    settings.endGroup();
}

bool TSundrelForm::NewAnalysisCommand()
{
    if (!Map())
        return false;
    setup_->SetExpectedSize(Map()->N());
    if (!setup_->ExecuteNew())
        return false;
    return StartSetUpAnalysis();
}

bool TSundrelForm::NewFromGenotypesCommand()
{
    if (!Map())
        return false;
    genotypes_->SetExpectedSize(Map()->N());
    if (!genotypes_->Execute())
        return false;
    setup_->SetExpectedSize(Map()->N());
    std::unique_ptr<MatrixFile> observed = genotypes_->TakeStore();
    if (!setup_->ExecuteNew(std::move(observed), genotypes_->TakeReplicates(), genotypes_->FileName()))
        return false;
    return StartSetUpAnalysis();
}

bool TSundrelForm::StartSetUpAnalysis()
{
    std::unique_ptr<MatrixFile> store = setup_->TakeStore();
    std::unique_ptr<MatrixFile> replicates = setup_->TakeReplicates();
    if (!store)
        return false;
    AnalysisRequest request;
    request.store = std::move(store);
    // Replicates come with an observed matrix: its single run goes first.
    request.single = replicates || setup_->IsSingleRun();
    request.sundrels = setup_->SundrelNumber();
    request.labelStyle = setup_->LabelStyle();
    request.title = setup_->Title().toStdString();
    request.showReport = setup_->ReportWanted();
    pendingAnalysis_.reset();
    pendingAfter_ = 0;
    if (replicates) {
        // As `analyse --genotypes` names and makes it.
        AnalysisRequest test;
        test.single = replicates->matrixCount() == 1;
        test.store = std::move(replicates);
        test.sundrels = request.sundrels;
        test.labelStyle = request.labelStyle;
        test.title = request.title + " bootstrap";
        test.showReport = request.showReport;
        pendingAnalysis_ = std::move(test);
    }
    if (!StartAnalysis(std::move(request))) {
        pendingAnalysis_.reset();
        ShowError(tr("The result layers are still being read; try again in a moment."));
        return false;
    }
    return true;
}

void TSundrelForm::StartPendingAnalysis(const JobResult& ended)
{
    if (!pendingAnalysis_)
        return;
    // The single run removed: the test goes with it. Cancelled by an edit:
    // the layers compute the single run again, and the test waits for that.
    if (pendingAfter_ && layers_->indexOfSerial(pendingAfter_) < 0)
        pendingAnalysis_.reset();
    if (!pendingAnalysis_ || ended.outcome == JobOutcome::Cancelled)
        return;
    AnalysisRequest test = std::move(*pendingAnalysis_);
    pendingAnalysis_.reset();
    if (ended.Failed() || !Map())
        return;
    if (!StartAnalysis(std::move(test)))
        ShowError(tr("The result layers are still being read; try again in a moment."));
}

bool TSundrelForm::StartAnalysis(AnalysisRequest request)
{
    if (!request.store)
        return false;
    const QString title = QString::fromStdString(request.title);
    const std::int32_t matrices = request.store->matrixCount();
    const bool modified = Modified();
    if (!layers_->newAnalysis(std::move(request)))
        return false;
    modifiedBeforeAnalysis_ = modified;
    // The worker's first steps reach the window after this: they follow.
    status_->Begin(title, matrices, true);
    return true;
}

void TSundrelForm::EnableMapControls(bool enabled)
{
    menus_->SundrelsMenu()->setEnabled(enabled);
    TMainForm::EnableMapControls(enabled);
    exportTriangulation_->setEnabled(enabled);
    menus_->LayersChanged();
}

void TSundrelForm::AfterLoad(const DocumentHeader& header, const std::filesystem::path& file)
{
    if (HasMonmonierData(header))
        layers_->load(file, *Map());
    else
        layers_->setMap(*Map());
}

void TSundrelForm::AfterNewMap()
{
    layers_->setMap(*Map());
}

void TSundrelForm::BeforeCloseMap()
{
    StopLayers();
}

bool TSundrelForm::LayersLetGoOfTheMap()
{
    // A document's layers being read, or an analysis being handed over,
    // cannot be stopped: the edit waits for the user to try again.
    if (layers_->cancelForEdit())
        return true;
    statusBar()->showMessage(tr("The sundrels are busy: try again in a moment"), 3000);
    return false;
}

void TSundrelForm::StopLayers()
{
    // A document's layers still being read are dropped with what the layers
    // said about them.
    pendingAnalysis_.reset();
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
    if (!Map()) {
        layers_->reset();
        return;
    }
    if (result.Failed()) {
        ShowError(QString::fromStdString(result.message), ErrorDetail(result));
        layers_->reset();
        // Reset forgot the map: the layers take it again, so that a new
        // analysis on this map finds its populations.
        layers_->setMap(*Map());
    } else {
        // The sundrels are not stored: they are computed again on the cells.
        layers_->mapChanged(&Map()->cells);
    }
    menus_->LayersChanged();
    viewer_->UpdateScene();
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
    geo::SaveSundrelDocument(file, document_->Geography(), document_->Header(), *Map(), *layers_,
                             *factory_, &hooks);
}

std::int64_t TSundrelForm::SaveStepCount() const
{
    return TMainForm::SaveStepCount() + 3 + layers_->saveStepCount();
}

bool TSundrelForm::ExportTriangulationCommand()
{
    if (!Map())
        return false;
    FileQuestion question{"ExportTriangulationDialog", tr("Export to triangulation file"),
                          {tr("Triangulation Files (*.dvt)")}, {"dvt"}, {}, "MyMap.dvt"};
    if (!DocumentName().isEmpty()) {
        const QFileInfo info(DocumentName());
        question.folder = info.absolutePath();
        question.proposed = info.completeBaseName() + ".dvt";
    }
    const QString fileName = AskFileToWrite(this, question);
    if (fileName.isEmpty())
        return false;
    render::ExportParameters parameters;
    parameters.file = ToPath(fileName);
    render::ExportSource source;
    const DocumentHeader header = document_->MapHeader();
    source.extra = [this, header, geography = document_->Geography()](
                       const std::filesystem::path& file, const JobHooks& hooks) {
        geo::ExportTriangulation(file, geography, header, *Map(), *factory_, &hooks);
    };
    return exports_->Run(render::kJobExtra, parameters, std::move(source),
                         TMainForm::SaveStepCount() + 2) == JobOutcome::Done;
}

} // namespace sundrel::app
