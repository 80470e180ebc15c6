// The map commands: create a map from a coordinates file, edit its virtual
// points, describe a document.

#include "cli/Messages.h"
#include "cli/CommandLine.h"
#include "cli/Documents.h"
#include "cli/Interrupt.h"

#include "common/Errors.h"
#include "geo/GeographicSites.h"
#include "geo/Sidecar.h"
#include "import/CoordinateImport.h"
#include "import/FileReader.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "model/Messages.h"

#include <cstdio>
#include <exception>
#include <unistd.h>

namespace sundrel::cli {

namespace {

std::string Summary(const std::string& file, const MMap& map)
{
    return file + ": " + std::to_string(map.N()) + " original points, " +
           std::to_string(map.V()) + " virtual points, " + std::to_string(map.mesh.PointCount()) +
           " points, " + std::to_string(map.mesh.LineCount()) + " lines, " +
           std::to_string(map.mesh.TriangleCount()) + " triangles";
}

// Parses "X,Y".
MXY ParsePosition(const std::string& text)
{
    const std::size_t comma = text.find(',');
    if (comma == std::string::npos)
        throw UsageError("--add needs a position X,Y, not '" + text + "'");
    return {ParseDouble(text.substr(0, comma), "X"), ParseDouble(text.substr(comma + 1), "Y")};
}

} // namespace

int RunMap(Arguments& args)
{
    std::string input, output;
    std::int64_t firstLine = 1, firstColumn = 1, points = 0;
    DataOrder order = DataOrder::XFirst;
    bool geographic = false;
    std::optional<geo::CoordinateSystem> crs;
    while (!args.Done()) {
        if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else if (args.Take("--geographic"))
            geographic = true;
        else if (args.Take("--crs"))
            crs = geo::CoordinateSystem::FromText(args.Value("--crs"));
        else if (args.Take("--first-line"))
            firstLine = ParseInteger(args.Value("--first-line"), "--first-line", 1, INT64_MAX);
        else if (args.Take("--first-column"))
            firstColumn = ParseInteger(args.Value("--first-column"), "--first-column", 1, INT32_MAX);
        else if (args.Take("--points"))
            points = ParseInteger(args.Value("--points"), "--points", 1, INT32_MAX);
        else if (args.Take("--y-first"))
            order = DataOrder::YFirst;
        else
            args.TakeOperand(input);
    }
    if (input.empty())
        throw UsageError("map needs a coordinates file");
    if (output.empty())
        throw UsageError("map needs an output document: -o MAP.dvt");
    CheckOutput(output, "triangulation document", ".dvt");

    InterruptGuard interrupts;
    std::vector<MXY> sites;
    {
        FileReader reader(input, nullptr, false, &Interrupt());
        if (points == 0)
            points = DefaultPointCount(reader, firstLine);
        sites = ExtractCoordinates(reader, firstLine, firstColumn, points, order);
    }
    // Degrees are projected before triangulation; a system named alone says
    // what the plane coordinates are.
    geo::DocumentGeography geography;
    if (geographic) {
        geo::ProjectedSites projected = geo::ProjectSites(sites, firstLine, crs);
        sites = std::move(projected.sites);
        geography.SetCrs(projected.crs);
    } else if (crs) {
        geography.SetCrs(*crs);
    }

    MMapFactory factory;
    // A terminal sees the line rewritten in place, a log a line per tenth.
    const bool tty = ::isatty(STDERR_FILENO);
    int percent = 0;
    factory.OnProgress = [&](MMapFactory&) {
        ++percent;
        if (tty)
            std::fprintf(stderr, "\r%s %3d%%", msg::ComputingTriangulation, percent);
        else if (percent % 10 == 0 && percent <= 100)
            std::fprintf(stderr, "%s %d%%\n", msg::ComputingTriangulation, percent);
    };
    double seconds = 0;
    factory.OnFinished = [&](MMapFactory&, double s) { seconds = s; };

    factory.StartCreation(sites);
    WaitForWorker(factory);
    if (tty)
        std::fprintf(stderr, "\r%60s\r", "");

    std::unique_ptr<MMap> map = factory.TakeMap();
    if (!map) {
        const JobResult result = factory.lastResult();
        if (result.outcome != JobOutcome::Failed)
            throw Error(msg::ComputationAborted);
        // Two sites at one place are named by their lines.
        if (const std::exception_ptr failure = result.failure) {
            try {
                std::rethrow_exception(failure);
            } catch (const DuplicateSitesError& e) {
                throw Error(msg::DuplicateSites(e.what(), firstLine + e.first(),
                                                firstLine + e.second()));
            } catch (...) {
            }
        }
        throw Error(result.message);
    }
    std::printf("%s%0.3f s\n", msg::TriangulationCreatedIn, seconds);
    const JobHooks hooks = InterruptHooks();
    geo::SaveMapDocument(output, geography, BuildHeader(*map), *map, factory, &hooks);
    std::printf("%s\n", Summary(output, *map).c_str());
    if (geography.crs)
        std::printf("coordinate system: %s (%s)\n", geography.crs->Description().c_str(),
                    geo::CrsSidecar(output).string().c_str());
    return 0;
}

int RunEdit(Arguments& args)
{
    struct Edit {
        enum Kind { Add, Remove, RemoveAll } kind;
        MXY position;
        std::int64_t slot;
    };
    std::string input, output;
    std::vector<Edit> edits;
    while (!args.Done()) {
        if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else if (args.Take("--add"))
            edits.push_back({Edit::Add, ParsePosition(args.Value("--add")), 0});
        else if (args.Take("--remove-virtual"))
            edits.push_back({Edit::Remove, {},
                             ParseInteger(args.Value("--remove-virtual"), "--remove-virtual", 0,
                                          INT32_MAX)});
        else if (args.Take("--remove-all-virtual"))
            edits.push_back({Edit::RemoveAll, {}, 0});
        else
            args.TakeOperand(input);
    }
    if (input.empty())
        throw UsageError("edit needs a document");
    if (output.empty())
        throw UsageError("edit needs an output document: -o OUT.dvt");
    CheckOutput(output, "triangulation document", ".dvt");

    MMapFactory factory;
    LoadedDocument doc = LoadMapDocument(input, factory);
    std::vector<std::string> warnings;
    const geo::DocumentGeography geography = geo::ReadGeography(input, &warnings);
    PrintWarnings(warnings);
    if (doc.header.tag != "DVT")
        throw Error(msg::EditNeedsTriangulation);
    MMap& map = *doc.map;
    for (const Edit& e : edits) {
        switch (e.kind) {
        case Edit::Add:
            factory.AddVirtualPoint(map, e.position.x, e.position.y);
            break;
        case Edit::Remove:
            factory.RemoveVirtualPoint(map, static_cast<std::int32_t>(e.slot));
            break;
        case Edit::RemoveAll:
            factory.RemoveAllVirtualPoints(map);
            break;
        }
    }
    InterruptGuard interrupts;
    const JobHooks hooks = InterruptHooks();
    geo::SaveMapDocument(output, geography,
                         BuildHeader(map, doc.header.activeLayer, doc.header.visibility), map,
                         factory, &hooks);
    std::printf("%s\n", Summary(output, map).c_str());
    return 0;
}

namespace {

std::string BoundsText(const MBounds& b)
{
    return FormatDouble(b.xMin) + " " + FormatDouble(b.xMax) + " " + FormatDouble(b.yMin) + " " +
           FormatDouble(b.yMax);
}

std::string BoundsJson(const MBounds& b)
{
    return "{\"xMin\": " + FormatDouble(b.xMin) + ", \"xMax\": " + FormatDouble(b.xMax) +
           ", \"yMin\": " + FormatDouble(b.yMin) + ", \"yMax\": " + FormatDouble(b.yMax) + "}";
}

std::string KindOf(const std::string& tag)
{
    if (tag == "DVT")
        return "triangulation";
    if (tag == "DVK")
        return "sundrel";
    return "unknown";
}

} // namespace

int RunInfo(Arguments& args)
{
    std::string input;
    bool json = false;
    while (!args.Done()) {
        if (args.Take("--json"))
            json = true;
        else
            args.TakeOperand(input);
    }
    if (input.empty())
        throw UsageError("info needs a document");

    MMapFactory factory;
    MonmonierLayer layers;
    // Layers that cannot be read leave the map, as the window opens it.
    OpenDocument open = OpenWithLayers(input, factory, layers, false, true);
    if (!open.layersError.empty())
        std::fprintf(stderr, "%s\n", open.layersError.c_str());
    PrintWarnings(open.geographyWarnings);
    const geo::DocumentGeography& geography = open.geography;
    const LoadedDocument& doc = open.doc;
    const MMap& map = *doc.map;
    const DocumentHeader& h = doc.header;
    char colours[5][16];
    for (int i = 0; i < 5; ++i)
        std::snprintf(colours[i], sizeof colours[i], "0x%08X", h.layerColours[i]);
    if (json) {
        std::printf("{\n  \"file\": %s,\n  \"kind\": %s,\n  \"tag\": %s,\n  \"version\": %d,\n",
                    JsonString(input).c_str(), JsonString(KindOf(h.tag)).c_str(),
                    JsonString(h.tag).c_str(), h.documentVersion);
        std::printf("  \"N\": %d,\n  \"V\": %d,\n  \"points\": %zu,\n  \"lines\": %zu,\n"
                    "  \"triangles\": %zu,\n",
                    map.N(), map.V(), map.mesh.PointCount(), map.mesh.LineCount(),
                    map.mesh.TriangleCount());
        std::printf("  \"frameBounds\": %s,\n  \"outerBounds\": %s,\n",
                    BoundsJson(map.frameBounds).c_str(), BoundsJson(map.outerBounds).c_str());
        std::printf("  \"style\": {\"originalPointSize\": %s, \"virtualPointSize\": %s, "
                    "\"delaunayLineWidth\": %s, \"voronoiLineWidth\": %s, \"layerColours\": "
                    "[\"%s\", \"%s\", \"%s\", \"%s\", \"%s\"], \"font\": {\"name\": %s, \"size\": "
                    "%d, \"style\": %d}, \"activeLayer\": %d, \"visibility\": [%d, %d, %d, %d, %d]}",
                    FormatDouble(h.originalPointSize).c_str(), FormatDouble(h.virtualPointSize).c_str(),
                    FormatDouble(h.delaunayLineWidth).c_str(), FormatDouble(h.voronoiLineWidth).c_str(),
                    colours[0], colours[1], colours[2], colours[3], colours[4],
                    JsonString(h.fontName).c_str(), h.fontSize, h.fontStyle, h.activeLayer,
                    h.visibility[0], h.visibility[1], h.visibility[2], h.visibility[3],
                    h.visibility[4]);
        if (!geography.crsText.empty()) {
            const auto& crs = geography.crs;
            std::printf(",\n  \"crs\": {\"file\": %s, \"name\": %s, \"authority\": %s, \"wkt\": %s}",
                        JsonString(geo::CrsSidecar(input).string()).c_str(),
                        crs ? JsonString(crs->Name()).c_str() : "null",
                        crs && !crs->Authority().empty() ? JsonString(crs->Authority()).c_str() : "null",
                        JsonString(geography.crsText).c_str());
        }
        if (!geography.backdrops.empty()) {
            std::printf(",\n  \"backdrops\": [");
            for (std::size_t k = 0; k < geography.backdrops.size(); ++k)
                std::printf("%s\n    {\"file\": %s, \"visible\": %s}", k ? "," : "",
                            JsonString(geography.backdrops[k].file.string()).c_str(),
                            geography.backdrops[k].style.visible ? "true" : "false");
            std::printf("\n  ]");
        }
        if (open.sundrel)
            PrintLayers(layers, true);
        std::printf("\n}\n");
        return 0;
    }
    std::printf("file: %s\n", input.c_str());
    std::printf("kind: %s (%s, version %d)\n", KindOf(h.tag).c_str(), h.tag.c_str(),
                h.documentVersion);
    std::printf("original points (N): %d\n", map.N());
    std::printf("virtual points (V): %d\n", map.V());
    std::printf("points: %zu\nlines: %zu\ntriangles: %zu\n", map.mesh.PointCount(),
                map.mesh.LineCount(), map.mesh.TriangleCount());
    std::printf("frame bounds: %s\n", BoundsText(map.frameBounds).c_str());
    std::printf("outer bounds: %s\n", BoundsText(map.outerBounds).c_str());
    if (!geography.crsText.empty())
        std::printf("coordinate system: %s\n",
                    geography.crs ? geography.crs->Description().c_str()
                                  : "not understood (see the message above)");
    if (!geography.backdrops.empty()) {
        std::printf("backdrops: %zu\n", geography.backdrops.size());
        for (const geo::BackdropEntry& b : geography.backdrops)
            std::printf("  %s%s\n", b.file.string().c_str(), b.style.visible ? "" : " (hidden)");
    }
    if (open.sundrel)
        PrintLayers(layers, false);
    return 0;
}

} // namespace sundrel::cli
