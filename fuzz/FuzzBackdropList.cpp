// The backdrop list sidecar on arbitrary text. A list that reads must write
// and read back to the same list, with no warning the second time;
// sundrel::Error from the writer (a name it cannot hold) is an answer too.

#include "common/Errors.h"
#include "geo/Backdrop.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sundrel::geo;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::filesystem::path folder = "/maps/study";
    std::vector<std::string> warnings;
    const std::vector<BackdropEntry> list = ParseBackdropList(text, folder, "fuzz", &warnings);
    std::string written;
    try {
        written = FormatBackdropList(list, folder);
    } catch (const sundrel::Error&) {
        return 0;
    }
    warnings.clear();
    if (ParseBackdropList(written, folder, "fuzz", &warnings) != list || !warnings.empty())
        __builtin_trap();
    // From another folder the names are absolute or relative to it: the
    // same files still.
    if (ParseBackdropList(FormatBackdropList(list, "/maps"), "/maps", "fuzz") != list)
        __builtin_trap();
    return 0;
}
