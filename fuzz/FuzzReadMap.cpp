// The map body reader and the document reader on arbitrary bytes. Failing
// with sundrel::Error is the expected answer to a damaged file; anything else
// is a finding. A map that reads must come back unchanged from a write and a
// second read, and the same body must read the same from a string and from a
// document file.

#include "ScratchFile.h"

#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <sstream>
#include <string>

namespace {

// One factory for the whole run: it owns a worker thread.
sundrel::MMapFactory& Factory()
{
    static sundrel::MMapFactory factory;
    return factory;
}

std::unique_ptr<sundrel::MMap> ReadBody(const std::string& bytes)
{
    std::istringstream in(bytes);
    try {
        return Factory().ReadMap(in);
    } catch (const sundrel::Error&) {
        return nullptr;
    }
}

// Writing a map the reader accepted must not fail: any exception escapes.
std::string WriteBody(const sundrel::MMap& map)
{
    std::ostringstream out;
    Factory().WriteMap(map, out);
    return std::move(out).str();
}

std::unique_ptr<sundrel::MMap> LoadDocument(const std::filesystem::path& path)
{
    try {
        return sundrel::LoadMapDocument(path, Factory()).map;
    } catch (const sundrel::Error&) {
        return nullptr;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static sundrel::fuzz::ScratchFile document("sundrel-fuzz-read-map");
    static const auto defaultHeader = sundrel::DocumentHeader{}.Encode();

    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::unique_ptr<sundrel::MMap> map = ReadBody(bytes);
    std::string written;
    if (map) {
        written = WriteBody(*map);
        const std::unique_ptr<sundrel::MMap> again = ReadBody(written);
        if (!again || WriteBody(*again) != written)
            __builtin_trap();
    }

    // The input as a whole document: header checks, body offset, body.
    document.Write(data, size);
    LoadDocument(document.path());

    // The input as the body of a document with a valid header.
    document.Write(data, size, reinterpret_cast<const char*>(defaultHeader.data()),
                   defaultHeader.size());
    const std::unique_ptr<sundrel::MMap> loaded = LoadDocument(document.path());
    if (static_cast<bool>(loaded) != static_cast<bool>(map))
        __builtin_trap();
    document.Remove();
    if (loaded && WriteBody(*loaded) != written)
        __builtin_trap();
    return 0;
}
