#pragma once
// Documents holding a map: the 280-byte document header (display settings of
// the map window, bound rectangles, offset of the map body) and the map body.

#include "model/MMap.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace sundrel {

class AtomicFile;
class MMapFactory;
struct JobHooks;

inline constexpr std::size_t kHeaderSize = 280;

struct DocumentHeader {
    std::string magic = "DVT";
    std::uint8_t fileVersion = 2;
    std::string tag = "DVT";
    std::uint8_t documentVersion = 2;
    MBounds outerBounds;
    MBounds frameBounds;
    float originalPointSize = 3.0f;
    float virtualPointSize = 3.0f;
    float delaunayLineWidth = 1.0f;
    float voronoiLineWidth = 1.0f;
    std::array<std::uint32_t, 5> layerColours = kDefaultLayerColours;
    std::string fontName;
    std::int32_t fontSize = 0;
    std::int32_t fontStyle = 0;
    std::int32_t activeLayer = 1; // 0 .. 4, or -1 for none of the map layers
    std::array<std::int32_t, 5> visibility = {1, 1, 1, 1, 1};
    std::uint32_t bodyOffset = static_cast<std::uint32_t>(kHeaderSize);

    std::array<unsigned char, kHeaderSize> Encode() const;
    static DocumentHeader Decode(const unsigned char* bytes);
};

// The header of a triangulation document for `map`: bounds, sizes, colours and
// font from the map; the active layer and visibility as given.
DocumentHeader BuildHeader(const MMap& map, std::int32_t activeLayer = 1,
                           const std::array<std::int32_t, 5>& visibility = {1, 1, 1, 1, 1});

// Raises "Unrecognized file format" or "Unsupported DVT file version", and
// "Unsupported DVK file version" for a sundrel document of another version.
void CheckHeader(const DocumentHeader& header);

// Gives the map the header's bounds, sizes, colours and font.
void ApplyHeader(const DocumentHeader& header, MMap& map);

struct LoadedDocument {
    DocumentHeader header;
    std::unique_ptr<MMap> map;
};

// Opens a document and reads its header and map body.
LoadedDocument LoadMapDocument(const std::filesystem::path& path, MMapFactory& factory);

// Writes a triangulation document through a temporary file renamed over
// `path` once complete; a failed save leaves any previous file untouched.
void SaveMapDocument(const std::filesystem::path& path, const DocumentHeader& header,
                     const MMap& map, MMapFactory& factory, const JobHooks* hooks = nullptr);
// The same into a file the caller commits.
void WriteMapDocument(AtomicFile& file, const DocumentHeader& header, const MMap& map,
                      MMapFactory& factory, const JobHooks* hooks = nullptr);

} // namespace sundrel
