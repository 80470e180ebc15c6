#pragma once
// The application's main window: the map editor window whose document is a
// sundrel document (".dvk": a map with its result layers). It owns the
// result layers and their worker, draws them over the map, saves them with
// it, and exports the map alone as a triangulation document.

#include "app/shell/MainForm.h"
#include "monmonier/MonmonierLayer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>

class QActionGroup;
class QMenu;

namespace sundrel::app {

class TImportMatForm;
class TMonmonierSetup;
class TReportForm;
class TSundrelMonmonierDialog;
class TSundrelSelection;

class TSundrelForm : public TMainForm {
    Q_OBJECT

public:
    explicit TSundrelForm(QWidget* parent = nullptr);
    ~TSundrelForm() override;

    MonmonierLayer& Layers() { return *layers_; }
    QAction* ExportTriangulationAction() const { return exportTriangulationAction_; }

    // "Export" > "Triangulation (*.dvt)": the map alone, through the export
    // dialog; true once written.
    bool ExportTriangulationCommand();
    // "Sundrels" > "New...": the set-up, then the analysis on the layers'
    // worker; false when nothing was started.
    bool NewAnalysisCommand();
    // "Sundrels" > "Status window": 0 auto, 1 always visible, 2 never visible.
    void SetStatusWindowMode(int mode);
    int StatusWindowMode() const { return statusMode_; }

    TMonmonierSetup* Setup() const { return setup_; }
    TImportMatForm* MatrixImport() const { return importMat_; }
    TSundrelMonmonierDialog* StatusWindow() const { return status_; }
    TReportForm* ReportWindow() const { return report_; }
    TSundrelSelection* SelectionWindow() const { return selection_; }
    QMenu* SundrelsMenu() const { return sundrelsMenu_; }
    QAction* NewAnalysisAction() const { return newAnalysisAction_; }

    bool LayerVisible(int layer) const override;

    // The style targets of the result layers, after the five map layers.
    static constexpr int kSundrelsTarget = 5;
    static constexpr int kTitlesTarget = 6;
    static constexpr int kNumbersTarget = 7;
    // Where a target's per-layer entries are listed.
    enum class TargetPlace { LayersMenu, ViewMenu, Button };
    QMenu* TargetMenu(int target, TargetPlace place) const;
    // The per-layer entries of the "Sundrels" menu, in drawing order; each
    // holds the layer's context menu.
    QList<QMenu*> LayerEntries() const { return layerEntries_; }

protected:
    void EnableMapControls() override;
    void DisableMapControls() override;
    void RenderExtraLayers(render::Canvas& canvas) override;
    MonmonierLayer* ExportedLayers() override { return layers_.get(); }
    // Every result layer shown; or, while a result-layer target is chosen,
    // all but the active one hidden, else all of them.
    void ShowAllExtraLayers() override;
    void HideUnactiveExtraLayers() override;
    DocumentHeader BuildHeader() const override;
    void AfterLoad(const DocumentHeader& header, const std::filesystem::path& file) override;
    void ReadExtraSettings(QSettings& settings) override;
    void WriteExtraSettings(QSettings& settings) override;
    void AfterNewMap() override;
    void BeforeCloseMap() override;
    void AfterSaveJob() override;
    bool BeforeMapEdit() override;
    void OnMapEdited() override;
    void SaveMap(const std::filesystem::path& file, const JobHooks& hooks) override;
    std::int64_t SaveStepCount() const override;
    void SetLayerVisibility(int layer, bool visible) override;
    void SetActiveLayer(int layer) override;
    void UpdateActiveLayerCaption() override;
    void UpdateLayerCommands() override;
    TargetStyle ActiveStyle() const override;
    bool ApplyColour(std::uint32_t colour) override;
    bool ApplySize(float size) override;
    bool ApplyFont(const MapFont& font) override;

private:
    // Ends the layers' work on the map about to go; what they said about it
    // is dropped with it.
    void StopLayers();
    void LayersLoaded(const JobResult& result);
    void CreateSundrelsMenu();
    void UpdateSundrelsMenu();
    // The three style targets: their buttons, their items in the Layers
    // menu and the view's pop-up menu, and the menus of per-layer entries.
    void CreateTargetControls();
    // The layer list changed (added, read, removed, reordered, renamed,
    // activated, all gone): the windows that follow layers let go of removed
    // ones, the style target is selected again and the per-layer entries are
    // built anew.
    void LayersChanged();
    void RebuildLayerEntries();
    // The entries' captions and check marks as the layers are now.
    void RefreshLayerEntries();
    QMenu* BuildLayerEntry(std::int32_t index);
    // The context menu's items as they apply to the layer now.
    void UpdateLayerEntry(QMenu* entry, std::intptr_t serial);
    // Runs `command` on the layer with this serial, if it is still there.
    void OnLayer(std::intptr_t serial, const std::function<void(std::int32_t)>& command);
    void ActivateLayer(std::int32_t index);
    // A result-layer target follows the active layer: none without one,
    // titles and numbers by its kind.
    void ReselectTarget();

    QAction* exportTriangulationAction_ = nullptr;
    QMenu* sundrelsMenu_ = nullptr;
    QAction* newAnalysisAction_ = nullptr;
    QAction* showAllAction_ = nullptr;
    QAction* hideUnactiveAction_ = nullptr;
    QAction* hideAllAction_ = nullptr;
    QAction* removeAllAction_ = nullptr;
    QActionGroup* statusModes_ = nullptr;
    std::array<QAction*, 3> targetButtons_{};
    std::array<std::array<QMenu*, 3>, 3> targetMenus_{};
    QList<QMenu*> layerEntries_;
    // The index of the checked "Status window" item: 0 "Always visible",
    // 1 "Auto (default)", 2 "Never visible".
    int statusItem_ = 1;
    int statusMode_ = 0;
    TMonmonierSetup* setup_ = nullptr;
    TImportMatForm* importMat_ = nullptr;
    TSundrelMonmonierDialog* status_ = nullptr;
    TReportForm* report_ = nullptr;
    TSundrelSelection* selection_ = nullptr;
    // A document's layers read while a save ran, taken in once it ended.
    std::optional<JobResult> pendingLoad_;
    // Declared last: its worker stops before the rest of the window goes.
    std::unique_ptr<MonmonierLayer> layers_;
};

} // namespace sundrel::app
