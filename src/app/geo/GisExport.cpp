#include "app/geo/GisExport.h"

#include "app/document/OpenDocument.h"
#include "app/export/FigureExporter.h"
#include "app/widgets/FileDialogs.h"
#include "geo/GisLayers.h"
#include "monmonier/MonmonierLayer.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

#include <memory>

namespace sundrel::app {

TGisExport::TGisExport(TOpenDocument& document, TFigureExporter& exporter, QWidget* window)
    : QObject(window), document_(document), exporter_(exporter), window_(window)
{
    action_ = exporter_.ExportMenu()->addAction(tr("GIS layers..."), this, [this] { ExportCommand(); });
}

void TGisExport::EnableMapCommands(bool enabled)
{
    action_->setEnabled(enabled);
}

bool TGisExport::ExportCommand()
{
    const MMap* map = document_.Map();
    if (!map)
        return false;
    FileQuestion question{"ExportGisDialog",
                          tr("Export GIS layers"),
                          {tr("GeoPackage (*.gpkg)"), tr("GeoJSON, one file a layer (*.geojson)"),
                           tr("Shapefiles, one a layer (*.shp)")},
                          {"gpkg", "geojson", "shp"},
                          {},
                          "MyMap.gpkg",
                          {}};
    if (!document_.Name().isEmpty()) {
        const QFileInfo info(document_.Name());
        question.folder = info.absolutePath();
        question.proposed = info.completeBaseName() + ".gpkg";
    }
    const QString fileName = AskFileToWrite(window_, question);
    if (fileName.isEmpty())
        return false;
    const std::filesystem::path target = ToPath(fileName);
    const std::optional<geo::GisFormat> format = geo::GisFormatOf(target);
    if (!format) {
        emit failed(tr("The GIS layers' name must end in .gpkg, .geojson or .shp: ") + fileName);
        return false;
    }
    const geo::DocumentGeography& geography = document_.Geography();
    if (*format == geo::GisFormat::GeoJson && !geography.crs) {
        emit failed(tr("GeoJSON is written in longitude/latitude, and the coordinate system of "
                       "the document is unknown (it has no .prj file beside it): choose a "
                       "GeoPackage or shapefiles. ") +
                    fileName);
        return false;
    }
    // The barriers are those of computed layers: a layer still being read
    // or computed would be left out.
    MonmonierLayer* layers = document_.Layers();
    if (layers && (layers->awaitingAcknowledge() || layers->busy())) {
        emit failed(tr("The sundrels are busy: try again in a moment"));
        return false;
    }

    auto layersWritten = std::make_shared<std::vector<geo::GisLayerWritten>>();
    render::ExportParameters parameters;
    parameters.file = target;
    render::ExportSource source;
    source.extra = [map, layers, crs = geography.crs, layersWritten](const std::filesystem::path& file,
                                                                const JobHooks& hooks) {
        geo::GisOptions options;
        options.crs = crs;
        options.feedback = hooks.feedback;
        options.progress = hooks.progress;
        *layersWritten = geo::WriteGisLayers(file, *map, layers, options);
    };
    if (exporter_.Run(render::kJobExtra, parameters, std::move(source), geo::GisLayerCount(layers),
                      tr(" Exporting the GIS layers, please wait... ")) != JobOutcome::Done)
        return false;
    QStringList names;
    for (const geo::GisLayerWritten& layer : *layersWritten)
        names << QString::fromStdString(layer.name) + " (" + QString::number(layer.features) + ")";
    emit written(tr("GIS layers written to %1: %2").arg(fileName, names.join(", ")));
    return true;
}

} // namespace sundrel::app
