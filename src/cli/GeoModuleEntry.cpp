// The geo module's table: the real functions behind the executable's
// forwarders (cli/GeoModule.h).

#include "cli/GeoModule.h"

namespace {

const sundrel::cli::GeoModuleTable kTable{
    sundrel::cli::kGeoModuleBuild,
    &sundrel::cli::RunExport,
    &sundrel::cli::RunGis,
    &sundrel::geo::CoordinateSystem::FromText,
    [](const sundrel::geo::CoordinateSystem& crs) { return crs.Description(); },
    &sundrel::geo::ProjectSites,
    &sundrel::geo::FormatBackdropList,
    &sundrel::geo::ParseBackdropList,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const sundrel::cli::GeoModuleTable*
sundrel_cli_geo_module()
{
    return &kTable;
}
