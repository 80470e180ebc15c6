// sundrel-cli gis: the sites, Delaunay edges, cells and barriers of a
// document as GIS layers (GeoPackage, GeoJSON or shapefiles).

#include "cli/CommandLine.h"
#include "cli/Counts.h"
#include "cli/Documents.h"
#include "cli/Interrupt.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "geo/Messages.h"
#include "geo/GisLayers.h"

#include <cstdio>

namespace sundrel::cli {

int RunGis(Arguments& args)
{
    std::string input, output;
    std::optional<geo::CoordinateSystem> crs, toCrs;
    std::vector<std::string> countsFiles;
    while (!args.Done()) {
        if (args.Take("--counts"))
            countsFiles.push_back(args.Value("--counts"));
        else if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else if (args.Take("--crs"))
            crs = geo::CoordinateSystem::FromText(args.Value("--crs"));
        else if (args.Take("--to-crs"))
            toCrs = geo::CoordinateSystem::FromText(args.Value("--to-crs"));
        else
            args.TakeOperand(input);
    }
    if (input.empty() || output.empty())
        throw UsageError("gis needs a document and -o OUT.(gpkg|geojson|shp)");
    const std::optional<geo::GisFormat> format = geo::GisFormatOf(output);
    if (!format)
        throw UsageError("the output must end in .gpkg, .geojson or .shp");
    if (*format == geo::GisFormat::GeoJson && toCrs)
        throw UsageError(msg::GeoJsonIsLonLat);
    CheckOutputTarget(output);

    ComputedDocument document(input);
    AddCountsLayers(document, countsFiles);
    PrintWarnings(document.open.geographyWarnings);
    // --crs names the system of a document that has none; one that has a
    // system is reprojected (--to-crs), never relabelled.
    const std::optional<geo::CoordinateSystem>& own = document.open.geography.crs;
    if (crs && own && !(*crs == *own))
        throw Error(msg::CrsAlreadyKnown(own->Description()));
    geo::GisOptions options;
    options.crs = crs ? crs : own;
    options.toCrs = toCrs;
    options.feedback = &Interrupt();
    InterruptGuard interrupts;
    const auto written =
        geo::WriteGisLayers(output, *document.open.doc.map, &document.layers, options);
    for (const geo::GisLayerWritten& layer : written)
        std::printf("%s: layer %s, %lld feature%s\n", layer.file.string().c_str(),
                    layer.name.c_str(), static_cast<long long>(layer.features),
                    layer.features == 1 ? "" : "s");
    return 0;
}

} // namespace sundrel::cli
