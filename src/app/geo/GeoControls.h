#pragma once
// The window's geography, wired in one place: the backdrops of the open
// document drawn beneath the map in the view and in every figure, "Layers" >
// "Backdrop..." and its dialog, and "File" > "Export" > "GIS layers...".
// Failures come out through failed() (an error box), notes and summaries
// in the window's status bar, beside the map's coordinate system.

#include <QObject>
#include <QString>

#include <filesystem>
#include <memory>

class QAction;
class QMainWindow;
class QMenu;

namespace sundrel::geo {
struct DocumentGeography;
}

namespace sundrel::app {

class TBackdropDialog;
class TBackdropLayers;
class TElidedLabel;
class TFigureExporter;
class TGisExport;
class TOpenDocument;
class TViewController;

class TGeoControls : public QObject {
    Q_OBJECT

public:
    TGeoControls(TOpenDocument& document, TViewController& viewer, TFigureExporter& exports,
                 QMainWindow* window);
    // Takes the backdrops back from the view and the exporter.
    ~TGeoControls() override;

    // "Backdrop..." at the end of `layers`.
    void AddMenuEntries(QMenu* layers);
    void EnableMapCommands(bool enabled);

    TBackdropLayers& Backdrops() const { return *backdrops_; }
    // The status bar's panel naming the map's coordinate system.
    TElidedLabel* CrsPanel() const { return crsPanel_; }
    TGisExport& GisExport() const { return *gisExport_; }
    // The backdrop dialog, made when first asked for.
    TBackdropDialog* BackdropDialog();
    void BackdropCommand();

    // The sidecars of `document`; those that cannot be read are named in
    // `warnings`, one a line.
    static geo::DocumentGeography Read(const std::filesystem::path& document, QString& warnings);

signals:
    void failed(const QString& message);

private:
    TOpenDocument& document_;
    TViewController& viewer_;
    TFigureExporter& exports_;
    QMainWindow* window_;
    std::unique_ptr<TBackdropLayers> backdrops_;
    TGisExport* gisExport_;
    TBackdropDialog* backdropDialog_ = nullptr;
    QAction* backdropAction_ = nullptr;
    TElidedLabel* crsPanel_;
};

} // namespace sundrel::app
