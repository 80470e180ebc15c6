#pragma once
// The application's main window: the map editor window whose document is a
// sundrel document (".dvk": a map with its result layers). It owns the
// result layers and their worker, the analysis windows and the result
// layers' menus, draws the layers over the map, saves them with it, and
// exports the map alone as a triangulation document.

#include "app/shell/MainForm.h"
#include "common/Job.h"
#include "monmonier/MonmonierLayer.h"

#include <memory>
#include <optional>

namespace sundrel::app {

class TGenotypeForm;
class TImportMatForm;
class TMonmonierSetup;
class TReportForm;
class TResultLayerMenus;
class TSundrelMonmonierDialog;
class TSundrelSelection;

class TSundrelForm : public TMainForm {
    Q_OBJECT

public:
    explicit TSundrelForm(QWidget* parent = nullptr);
    ~TSundrelForm() override;

    MonmonierLayer& Layers() { return *layers_; }
    // The "Sundrels" menu and the style targets of the result layers.
    TResultLayerMenus& ResultMenus() const { return *menus_; }

    // "Export" > "Triangulation (*.dvt)": the map alone, through the export
    // dialog; true once written.
    bool ExportTriangulationCommand();
    // "Sundrels" > "New...": the set-up, then the analysis on the layers'
    // worker; false when nothing was started.
    bool NewAnalysisCommand();
    // Hands a new analysis to the layers' worker, the status window
    // following it; its "Stop" cancels the analysis and removes its layer.
    // False while the layers are busy.
    bool StartAnalysis(AnalysisRequest request);
    // "Sundrels" > "New from genotypes...": the matrices computed from a
    // genotype file, the set-up, then the analyses of `analyse --genotypes`:
    // a single run on the observed matrix and, with replicates, the
    // significance test on them, named "<title> bootstrap", once the single
    // run is computed. False when nothing was started.
    bool NewFromGenotypesCommand();

protected:
    void EnableMapControls(bool enabled) override;
    void AfterLoad(const DocumentHeader& header, const std::filesystem::path& file) override;
    void ReadExtraSettings(QSettings& settings) override;
    void WriteExtraSettings(QSettings& settings) override;
    void AfterNewMap() override;
    void BeforeCloseMap() override;
    void AfterSaveJob() override;
    void SaveMap(const std::filesystem::path& file, const JobHooks& hooks) override;
    std::int64_t SaveStepCount() const override;

private:
    // Ends the layers' work on the map about to go; what they said about it
    // is dropped with it.
    void StopLayers();
    // The layers of a document read (or not): their computation starts.
    void LayersLoaded(const JobResult& result);
    // Before the map is edited: the layers' worker stops reading it.
    bool LayersLetGoOfTheMap();
    // The analysis the set-up accepted, on the layers' worker.
    bool StartSetUpAnalysis();
    // The significance test that follows a single run from genotypes starts
    // once the layers are done with the single run; a failure drops it.
    void StartPendingAnalysis(const JobResult& ended);

    QAction* exportTriangulation_ = nullptr;
    TMonmonierSetup* setup_ = nullptr;
    TImportMatForm* importMat_ = nullptr;
    TGenotypeForm* genotypes_ = nullptr;
    TSundrelMonmonierDialog* status_ = nullptr;
    TReportForm* report_ = nullptr;
    TSundrelSelection* selection_ = nullptr;
    std::unique_ptr<TResultLayerMenus> menus_;
    // Whether the document was modified when the running analysis started:
    // so it is again once the analysis is stopped.
    bool modifiedBeforeAnalysis_ = false;
    // A document's layers read while a save ran, taken in once it ended.
    std::optional<JobResult> pendingLoad_;
    // The test waiting for the single run before it (from genotypes).
    std::optional<AnalysisRequest> pendingAnalysis_;
    // The serial of the single run it follows, once added.
    qintptr pendingAfter_ = 0;
    // Declared last: its worker stops before the rest of the window goes.
    std::unique_ptr<MonmonierLayer> layers_;
};

} // namespace sundrel::app
