#pragma once
// The application's main window: the map editor window whose document is a
// sundrel document (".dvk": a map with its result layers). It owns the
// result layers and their worker, draws them over the map, saves them with
// it, and exports the map alone as a triangulation document.

#include "app/shell/MainForm.h"
#include "monmonier/MonmonierLayer.h"

#include <memory>

namespace sundrel::app {

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

protected:
    void EnableMapControls() override;
    void DisableMapControls() override;
    void RenderExtraLayers(render::Canvas& canvas) override;
    DocumentHeader BuildHeader() const override;
    void AfterLoad(const DocumentHeader& header, const std::filesystem::path& file) override;
    void AfterNewMap() override;
    void BeforeCloseMap() override;
    void BeforeSave() override;
    void SaveMap(const std::filesystem::path& file, const MapWriteHooks& hooks) override;
    std::int64_t SaveStepCount() const override;

private:
    // Ends the layers' work on the map about to go; what they said about it
    // is dropped with it.
    void StopLayers();
    void LayersLoaded();
    void LayersLoadFailed();

    QAction* exportTriangulationAction_ = nullptr;
    // Declared last: its worker stops before the rest of the window goes.
    std::unique_ptr<MonmonierLayer> layers_;
};

} // namespace sundrel::app
