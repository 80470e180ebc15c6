#pragma once
// The commands and options that need PROJ, GDAL, Qt or OpenGL (export, gis,
// sites in degrees, coordinate systems, backdrops) live in a module,
// sundrel-cli-geo, that the executable loads the first time one of them runs:
// the other commands start without those libraries. The module exports one
// function returning this table; the executable defines the functions it
// calls (RunExport, CoordinateSystem::FromText ...) as forwarders to the
// table, the module the real ones. A build without the module (or a module
// missing or from another build) says so in the error of whatever needed it.

#include "cli/CommandLine.h"
#include "geo/Backdrop.h"
#include "geo/GeographicSites.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sundrel::cli {

struct GeoModuleTable {
    // The build the module belongs to; a table of another build is refused.
    const char* build;
    int (*runExport)(Arguments& args);
    int (*runGis)(Arguments& args);
    geo::CoordinateSystem (*crsFromText)(const std::string& text);
    std::string (*crsDescription)(const geo::CoordinateSystem& crs);
    geo::ProjectedSites (*projectSites)(const std::vector<MXY>& lonLat, std::int64_t firstLine,
                                        const std::optional<geo::CoordinateSystem>& crs);
    std::string (*formatBackdropList)(const std::vector<geo::BackdropEntry>& list,
                                      const std::filesystem::path& folder);
    std::vector<geo::BackdropEntry> (*parseBackdropList)(const std::string& text,
                                                         const std::filesystem::path& folder,
                                                         const std::string& source,
                                                         std::vector<std::string>* warnings);
};

// The module's one exported function: extern "C" const GeoModuleTable* NAME().
inline constexpr const char* kGeoModuleEntry = "sundrel_cli_geo_module";
// Identifies a build: the version and the layout of the table.
inline constexpr const char* kGeoModuleBuild = "sundrel " SUNDREL_VERSION " geo module 1";

// The module's table, loaded on first use. Raises Error "WHAT not in this
// build of sundrel-cli (REASON)" when it cannot be loaded ("The command
// export is", "Backdrops are").
const GeoModuleTable& GeoModule(const std::string& what);

} // namespace sundrel::cli
