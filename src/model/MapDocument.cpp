#include "model/MapDocument.h"

#include "common/AtomicFile.h"
#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"

#include <cerrno>
#include <cstring>
#include <fstream>

namespace sundrel {

namespace {

void PutText(unsigned char* dst, std::size_t size, const std::string& text)
{
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(dst, text.data(), n);
}

std::string GetText(const unsigned char* src, std::size_t size)
{
    std::size_t n = 0;
    while (n < size && src[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(src), n);
}

void PutBounds(unsigned char* dst, const MBounds& b)
{
    StoreLE(dst, b.xMin);
    StoreLE(dst + 8, b.xMax);
    StoreLE(dst + 16, b.yMin);
    StoreLE(dst + 24, b.yMax);
}

MBounds GetBounds(const unsigned char* src)
{
    return {LoadLE<double>(src), LoadLE<double>(src + 8), LoadLE<double>(src + 16),
            LoadLE<double>(src + 24)};
}

} // namespace

std::array<unsigned char, kHeaderSize> DocumentHeader::Encode() const
{
    std::array<unsigned char, kHeaderSize> b{};
    PutText(b.data(), 4, magic);
    b[4] = fileVersion;
    PutText(b.data() + 5, 4, tag);
    b[9] = documentVersion;
    PutBounds(b.data() + 16, outerBounds);
    PutBounds(b.data() + 48, frameBounds);
    StoreLE(b.data() + 80, originalPointSize);
    StoreLE(b.data() + 84, virtualPointSize);
    StoreLE(b.data() + 88, delaunayLineWidth);
    StoreLE(b.data() + 92, voronoiLineWidth);
    for (std::size_t i = 0; i < 5; ++i)
        StoreLE(b.data() + 96 + 4 * i, layerColours[i]);
    PutText(b.data() + 116, 128, fontName);
    StoreLE(b.data() + 244, fontSize);
    StoreLE(b.data() + 248, fontStyle);
    StoreLE(b.data() + 252, activeLayer);
    for (std::size_t i = 0; i < 5; ++i)
        StoreLE(b.data() + 256 + 4 * i, visibility[i]);
    StoreLE(b.data() + 276, bodyOffset);
    return b;
}

DocumentHeader DocumentHeader::Decode(const unsigned char* b)
{
    DocumentHeader h;
    // The magic counts only with its terminating zero.
    h.magic = b[3] == 0 ? GetText(b, 4) : std::string(reinterpret_cast<const char*>(b), 4);
    h.fileVersion = b[4];
    h.tag = GetText(b + 5, 4);
    h.documentVersion = b[9];
    h.outerBounds = GetBounds(b + 16);
    h.frameBounds = GetBounds(b + 48);
    h.originalPointSize = LoadLE<float>(b + 80);
    h.virtualPointSize = LoadLE<float>(b + 84);
    h.delaunayLineWidth = LoadLE<float>(b + 88);
    h.voronoiLineWidth = LoadLE<float>(b + 92);
    for (std::size_t i = 0; i < 5; ++i)
        h.layerColours[i] = LoadLE<std::uint32_t>(b + 96 + 4 * i);
    h.fontName = GetText(b + 116, 128);
    h.fontSize = LoadLE<std::int32_t>(b + 244);
    h.fontStyle = LoadLE<std::int32_t>(b + 248);
    h.activeLayer = LoadLE<std::int32_t>(b + 252);
    for (std::size_t i = 0; i < 5; ++i)
        h.visibility[i] = LoadLE<std::int32_t>(b + 256 + 4 * i);
    h.bodyOffset = LoadLE<std::uint32_t>(b + 276);
    return h;
}

DocumentHeader BuildHeader(const MMap& map, std::int32_t activeLayer,
                           const std::array<std::int32_t, 5>& visibility)
{
    DocumentHeader h;
    h.outerBounds = map.outerBounds;
    h.frameBounds = map.frameBounds;
    h.originalPointSize = map.originalPointSize;
    h.virtualPointSize = map.virtualPointSize;
    h.delaunayLineWidth = map.delaunayLineWidth;
    h.voronoiLineWidth = map.voronoiLineWidth;
    h.layerColours = map.layerColours;
    h.fontName = map.font.name;
    h.fontSize = map.font.size;
    h.fontStyle = map.font.style;
    h.activeLayer = activeLayer;
    h.visibility = visibility;
    return h;
}

void CheckHeader(const DocumentHeader& header)
{
    if (header.magic != "DVT")
        throw Error(msg::UnrecognizedFormat);
    if (header.fileVersion != 2)
        throw Error(msg::UnsupportedVersion);
    if (header.tag == "DVK" && header.documentVersion != 4)
        throw Error(msg::UnsupportedSundrelVersion);
}

void ApplyHeader(const DocumentHeader& header, MMap& map)
{
    map.outerBounds = header.outerBounds;
    map.frameBounds = header.frameBounds;
    map.originalPointSize = header.originalPointSize;
    map.virtualPointSize = header.virtualPointSize;
    map.delaunayLineWidth = header.delaunayLineWidth;
    map.voronoiLineWidth = header.voronoiLineWidth;
    map.layerColours = header.layerColours;
    map.font = {header.fontName, header.fontSize, header.fontStyle};
}

LoadedDocument LoadMapDocument(const std::filesystem::path& path, MMapFactory& factory)
{
    // Folders, FIFOs and devices are refused before open(), which would
    // block on a FIFO until a writer comes.
    CheckInputFile(path);
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in.is_open())
        throw FileError(msg::ImpossibleToOpen, path, SystemReason(errno ? errno : ENOENT));
    unsigned char bytes[kHeaderSize];
    if (!in.read(reinterpret_cast<char*>(bytes), kHeaderSize))
        throw Error(msg::FileReadingError);
    LoadedDocument doc;
    doc.header = DocumentHeader::Decode(bytes);
    CheckHeader(doc.header);
    if (!in.seekg(static_cast<std::streamoff>(doc.header.bodyOffset), std::ios::beg))
        throw Error(msg::FilePositioningError);
    doc.map = factory.ReadMap(in);
    ApplyHeader(doc.header, *doc.map);
    return doc;
}

void SaveMapDocument(const std::filesystem::path& path, const DocumentHeader& header,
                     const MMap& map, MMapFactory& factory, const JobHooks* hooks)
{
    AtomicFile file(path);
    WriteMapDocument(file, header, map, factory, hooks);
    file.commit();
}

void WriteMapDocument(AtomicFile& file, const DocumentHeader& header, const MMap& map,
                      MMapFactory& factory, const JobHooks* hooks)
{
    try {
        const auto bytes = header.Encode();
        file.stream().write(reinterpret_cast<const char*>(bytes.data()), kHeaderSize);
        if (!file.stream())
            throw Error(msg::FileWritingError);
        factory.WriteMap(map, file.stream(), hooks);
    } catch (const Error& e) {
        file.raise(e);
    }
}

} // namespace sundrel
