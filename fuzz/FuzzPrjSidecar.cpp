// The ".prj" sidecar on arbitrary bytes, read as a document's sidecar is.
// Reading never raises; a system PROJ reads carries its text as it was, and
// its own WKT reads back to the same system.

#include "ScratchFile.h"

#include "common/Errors.h"
#include "geo/CoordinateSystem.h"
#include "geo/Sidecar.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sundrel::geo;
    // The sidecar of a scratch document (which need not exist).
    static sundrel::fuzz::ScratchFile prj("sundrel-fuzz-prj", ".dvt.prj");
    static const std::filesystem::path document = prj.path().parent_path() / prj.path().stem();
    prj.Write(data, size);
    std::vector<std::string> warnings;
    const DocumentGeography g = ReadGeography(document, &warnings);
    prj.Remove();
    if (g.crsText != std::string(reinterpret_cast<const char*>(data), size) || !g.backdrops.empty())
        __builtin_trap();
    if (!g.crs)
        return 0;
    if (!warnings.empty() || g.crs->Wkt().empty())
        __builtin_trap();
    std::optional<CoordinateSystem> read;
    try {
        read = CoordinateSystem::FromText(g.crs->Wkt());
    } catch (const sundrel::Error&) {
        __builtin_trap();
    }
    const CoordinateSystem& again = *read;
    if (again.Wkt() != g.crs->Wkt() || again.IsGeographic() != g.crs->IsGeographic() ||
        again.IsProjected() != g.crs->IsProjected())
        __builtin_trap();
    return 0;
}
