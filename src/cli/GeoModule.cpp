// Loading the geo module, and the executable's forwarders to it.

#include "cli/GeoModule.h"

#include "common/Errors.h"

#include <system_error>

#if __has_include(<dlfcn.h>)
#include <dlfcn.h>
#define SUNDREL_HAVE_DLOPEN 1
#endif

namespace sundrel::cli {

namespace {

#ifdef SUNDREL_HAVE_DLOPEN
// The module beside the executable (a build tree), else where the install
// puts it relative to the executable's folder.
const GeoModuleTable* Load(std::string& reason)
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) {
        reason = "the program's own folder is unknown: " + ec.message();
        return nullptr;
    }
    const std::filesystem::path folder = exe.parent_path();
    const std::filesystem::path candidates[] = {
        folder / SUNDREL_CLI_MODULE_FILE,
        (folder / SUNDREL_CLI_MODULE_DIR / SUNDREL_CLI_MODULE_FILE).lexically_normal()};
    for (const std::filesystem::path& file : candidates) {
        if (!std::filesystem::exists(file, ec))
            continue;
        void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            const char* e = dlerror();
            reason = e ? e : file.string();
            return nullptr;
        }
        using Entry = const GeoModuleTable* (*)();
        const auto entry = reinterpret_cast<Entry>(dlsym(handle, kGeoModuleEntry));
        const GeoModuleTable* table = entry ? entry() : nullptr;
        if (!table || std::string(table->build) != kGeoModuleBuild) {
            reason = file.string() + " belongs to another build";
            return nullptr;
        }
        return table;
    }
    reason = "no module " + candidates[1].string();
    return nullptr;
}
#else
const GeoModuleTable* Load(std::string& reason)
{
    reason = "no modules on this platform";
    return nullptr;
}
#endif

} // namespace

const GeoModuleTable& GeoModule(const std::string& what)
{
    // Loaded once; a failure is told again to each caller.
    static std::string reason;
    static const GeoModuleTable* table = Load(reason);
    if (!table)
        throw Error(what + " not in this build of sundrel-cli (" + reason + ")");
    return *table;
}

int RunExport(Arguments& args)
{
    return GeoModule("The command export is").runExport(args);
}

int RunGis(Arguments& args)
{
    return GeoModule("The command gis is").runGis(args);
}

} // namespace sundrel::cli

namespace sundrel::geo {

using cli::GeoModule;

CoordinateSystem CoordinateSystem::FromText(const std::string& text)
{
    return GeoModule("Coordinate systems (--crs, .prj files) are").crsFromText(text);
}

std::string CoordinateSystem::Description() const
{
    return GeoModule("Coordinate systems (--crs, .prj files) are").crsDescription(*this);
}

ProjectedSites ProjectSites(const std::vector<MXY>& lonLat, std::int64_t firstLine,
                            const std::optional<CoordinateSystem>& crs)
{
    return GeoModule("Sites in degrees (--geographic) are").projectSites(lonLat, firstLine, crs);
}

std::string FormatBackdropList(const std::vector<BackdropEntry>& list,
                               const std::filesystem::path& folder)
{
    return GeoModule("Backdrops are").formatBackdropList(list, folder);
}

std::vector<BackdropEntry> ParseBackdropList(const std::string& text,
                                             const std::filesystem::path& folder,
                                             const std::string& source,
                                             std::vector<std::string>* warnings)
{
    return GeoModule("Backdrops are").parseBackdropList(text, folder, source, warnings);
}

} // namespace sundrel::geo
