#pragma once
// "File" > "Export" > "GIS layers...": the sites, Delaunay edges, cells and
// barriers of the open document written through OGR as a GeoPackage, GeoJSON
// or shapefiles — the layers of the command line's `gis` — in a job of the
// export dialog (progress, Cancel; nothing is written unless every layer
// is), in the document's coordinate system.

#include <QObject>
#include <QString>

class QAction;
class QWidget;

namespace sundrel::app {

class TFigureExporter;
class TOpenDocument;

class TGisExport : public QObject {
    Q_OBJECT

public:
    // Adds its entry to the exporter's "Export" menu.
    TGisExport(TOpenDocument& document, TFigureExporter& exporter, QWidget* window);

    QAction* Action() const { return action_; }
    // The save dialog "ExportGisDialog", then the job; true once written.
    bool ExportCommand();
    void EnableMapCommands(bool enabled);

signals:
    // Refused before any work, with the reason.
    void failed(const QString& message);
    // Written: what the files hold.
    void written(const QString& summary);

private:
    TOpenDocument& document_;
    TFigureExporter& exporter_;
    QWidget* window_;
    QAction* action_;
};

} // namespace sundrel::app
