#include "monmonier/SundrelDocument.h"

#include "common/AtomicFile.h"
#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "common/Notifier.h"
#include "common/Text.h"
#include "matrix/MatrixFile.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"
#include "monmonier/Messages.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <chrono>
#include <limits>
#include <ostream>

namespace sundrel {

namespace {

constexpr std::size_t kMonmonierHeaderSize = 308;
constexpr std::size_t kLayerHeaderSize = 316;
constexpr std::size_t kTextSize = 128;
constexpr std::int32_t kFontStyleBits = 0x1111; // bold, italic, underline, strike-out

// Limits on what a document may ask the layers to allocate: the set-up
// offers at most 999 sundrels, and every one of the M·K sundrels of a layer
// is an object of its own.
constexpr std::int32_t kMaxSundrels = 999;
constexpr std::int64_t kMaxSundrelObjects = std::int64_t(1) << 22;

// A text field: Windows-1252, at most size - 1 bytes, zero-filled behind.
void PutText(unsigned char* dst, const std::string& utf8)
{
    const std::string text = Utf8ToCp1252(utf8);
    std::memcpy(dst, text.data(), std::min(text.size(), kTextSize - 1));
}

std::string GetText(const unsigned char* src)
{
    std::size_t n = 0;
    while (n < kTextSize && src[n] != 0)
        ++n;
    return Cp1252ToUtf8(std::string_view(reinterpret_cast<const char*>(src), n));
}

void PutFlag(unsigned char* dst, bool flag)
{
    dst[0] = flag ? 1 : 0;
}

void PutFont(unsigned char* dst, const LayerFont& font)
{
    PutText(dst, font.name);
    StoreLE(dst + 128, font.size);
    StoreLE(dst + 132, font.style & kFontStyleBits);
}

LayerFont GetFont(const unsigned char* src)
{
    return {GetText(src), LoadLE<std::int32_t>(src + 128),
            LoadLE<std::int32_t>(src + 132) & kFontStyleBits};
}

bool HasMagic(const unsigned char* bytes, const char (&magic)[4])
{
    return std::memcmp(bytes, magic, 4) == 0;
}

void Write(std::ostream& out, const unsigned char* bytes, std::size_t size)
{
    if (!out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size)))
        throw Error(msg::FileWritingError);
}

std::array<unsigned char, kMonmonierHeaderSize> EncodeMonmonierHeader(const LayerStyles& s,
                                                                     std::int32_t layerCount,
                                                                     std::int32_t active)
{
    std::array<unsigned char, kMonmonierHeaderSize> b{};
    std::memcpy(b.data(), "MH ", 4);
    StoreLE(b.data() + 4, s.singleSize);
    StoreLE(b.data() + 8, s.singleColor);
    PutFont(b.data() + 12, s.titleFont);
    StoreLE(b.data() + 148, s.titleColor);
    StoreLE(b.data() + 152, s.multipleSize);
    StoreLE(b.data() + 156, s.multipleColor);
    PutFont(b.data() + 160, s.valueFont);
    StoreLE(b.data() + 296, s.valueColor);
    StoreLE(b.data() + 300, layerCount);
    StoreLE(b.data() + 304, active);
    return b;
}

LayerStyles DecodeStyles(const unsigned char* b)
{
    LayerStyles s;
    s.singleSize = LoadLE<float>(b + 4);
    s.singleColor = LoadLE<std::uint32_t>(b + 8);
    s.titleFont = GetFont(b + 12);
    s.titleColor = LoadLE<std::uint32_t>(b + 148);
    s.multipleSize = LoadLE<float>(b + 152);
    s.multipleColor = LoadLE<std::uint32_t>(b + 156);
    s.valueFont = GetFont(b + 160);
    s.valueColor = LoadLE<std::uint32_t>(b + 296);
    return s;
}

std::array<unsigned char, kLayerHeaderSize> EncodeLayerHeader(const SundrelMonmonier& layer)
{
    std::array<unsigned char, kLayerHeaderSize> b{};
    std::memcpy(b.data(), "MLH", 4);
    PutFlag(b.data() + 4, layer.visible);
    StoreLE(b.data() + 8, layer.lineColor);
    StoreLE(b.data() + 12, layer.lineSize);
    PutFlag(b.data() + 16, layer.labelsVisible);
    StoreLE(b.data() + 20, layer.textColor);
    PutFont(b.data() + 24, layer.font);
    StoreLE(b.data() + 160, static_cast<std::int32_t>(layer.labelStyle));
    StoreLE(b.data() + 164, layer.populationCount());
    StoreLE(b.data() + 168, layer.matrixCount());
    StoreLE(b.data() + 172, layer.sundrelCount());
    PutText(b.data() + 176, layer.name);
    const std::array<bool, 10> selection = layer.getSelection();
    for (std::size_t i = 0; i < selection.size(); ++i)
        b[304 + i] = selection[i] ? 1 : 0;
    return b;
}

// The file read at absolute positions, every extent checked against its
// length before anything is allocated for it.
class DocumentReader {
public:
    explicit DocumentReader(const std::filesystem::path& file) : in_(file, std::ios::binary)
    {
        if (!in_.is_open() || !in_.seekg(0, std::ios::end))
            throw Error(msg::CouldntOpenFile);
        length_ = static_cast<std::int64_t>(in_.tellg());
        if (length_ < 0)
            throw Error(msg::CouldntOpenFile);
    }

    std::int64_t position() const { return position_; }
    // Bytes from the current position to the end of the file.
    std::int64_t remaining() const { return length_ - position_; }

    bool seek(std::int64_t at)
    {
        if (at < 0 || at > length_)
            return false;
        in_.clear();
        if (!in_.seekg(static_cast<std::streamoff>(at), std::ios::beg))
            return false;
        position_ = at;
        return true;
    }

    bool read(unsigned char* dst, std::size_t size)
    {
        if (static_cast<std::uint64_t>(remaining()) < size)
            return false;
        if (!in_.read(reinterpret_cast<char*>(dst), static_cast<std::streamsize>(size)))
            return false;
        position_ += static_cast<std::int64_t>(size);
        return true;
    }

private:
    std::ifstream in_;
    std::int64_t length_ = 0;
    std::int64_t position_ = 0;
};

} // namespace

DocumentHeader BuildSundrelHeader(const MMap& map, const MonmonierLayer& layers,
                                  std::int32_t activeLayer,
                                  const std::array<std::int32_t, 5>& visibility)
{
    DocumentHeader h = BuildHeader(map, activeLayer, visibility);
    h.tag = kSundrelTag;
    h.documentVersion = kSundrelVersion;
    const std::int64_t offset = static_cast<std::int64_t>(kHeaderSize) + layers.dataSize();
    if (offset > std::int64_t(std::numeric_limits<std::uint32_t>::max()))
        throw Error(msg::MapTooLarge);
    h.bodyOffset = static_cast<std::uint32_t>(offset);
    return h;
}

bool HasMonmonierData(const DocumentHeader& header)
{
    return header.tag == kSundrelTag && header.documentVersion == kSundrelVersion;
}

void WriteMonmonierData(std::ostream& out, const MonmonierLayer& layers,
                        const std::filesystem::path& documentName, const JobHooks* hooks)
{
    Notifier* dialog = hooks ? hooks->progress : nullptr;
    std::vector<std::shared_ptr<SundrelMonmonier>> list;
    for (std::int32_t i = 0; i < layers.count(); ++i)
        list.push_back(layers.layer(i));
    const std::vector<std::int32_t> order = layers.drawOrder();
    const auto count = static_cast<std::int32_t>(list.size());
    // The order must be the L indices the header announces.
    if (static_cast<std::int32_t>(order.size()) != count)
        throw Error(msg::FileWritingError);

    const auto header = EncodeMonmonierHeader(layers.styles, count, layers.activeIndex());
    Write(out, header.data(), header.size());

    for (std::int32_t i = 0; i < count; ++i) {
        if (hooks)
            hooks->checkCancelled();
        // The dialog names the layer; its index travels in place of the name.
        PostStage(dialog, ExportStage::SavingLayer, i);
        SundrelMonmonier& layer = *list[static_cast<std::size_t>(i)];
        const auto record = EncodeLayerHeader(layer);
        Write(out, record.data(), record.size());
        PostStep(dialog);
        layer.store().saveTo(out, documentName, hooks);
    }

    std::vector<unsigned char> indices(order.size() * 4);
    for (std::size_t i = 0; i < order.size(); ++i)
        StoreLE(indices.data() + 4 * i, order[i]);
    if (!indices.empty())
        Write(out, indices.data(), indices.size());
}

void ReadMonmonierData(const std::filesystem::path& file, MonmonierLayer& into,
                       std::vector<LoadedLayer>& layers, std::vector<std::int32_t>& order,
                       std::int32_t& active)
{
    DocumentReader in(file);

    std::array<unsigned char, kMonmonierHeaderSize> header;
    if (!in.seek(static_cast<std::int64_t>(kHeaderSize)) || !in.read(header.data(), header.size()) ||
        !HasMagic(header.data(), "MH "))
        throw Error(msg::UnrecognizedMonmonierHeader);
    const LayerStyles styles = DecodeStyles(header.data());
    const auto layerCount = LoadLE<std::int32_t>(header.data() + 300);
    const auto activeIndex = LoadLE<std::int32_t>(header.data() + 304);
    // Each layer takes at least its header and its order entry.
    if (layerCount < 0 ||
        layerCount > in.remaining() / static_cast<std::int64_t>(kLayerHeaderSize + 4))
        throw Error(msg::UnrecognizedMonmonierHeader);

    const std::int32_t n = into.populationCount();
    const std::int64_t pairs = PairCount(n);
    std::vector<LoadedLayer> read;
    read.reserve(static_cast<std::size_t>(layerCount));
    for (std::int32_t i = 0; i < layerCount; ++i) {
        std::array<unsigned char, kLayerHeaderSize> record;
        if (!in.read(record.data(), record.size()) || !HasMagic(record.data(), "MLH"))
            throw Error(msg::UnrecognizedLayerHeader);
        const auto layerN = LoadLE<std::int32_t>(record.data() + 164);
        const auto m = LoadLE<std::int32_t>(record.data() + 168);
        const auto k = LoadLE<std::int32_t>(record.data() + 172);
        // The layer belongs to this map, its block lies inside the file, and
        // K is within what an analysis makes; all before anything is made.
        if (layerN != n || pairs < 1 || m < 1)
            throw Error(msg::UnrecognizedLayerHeader);
        if (std::int64_t(m) > in.remaining() / (12 * pairs))
            throw Error(msg::FilePositioningError);
        if (k < 0 || k > kMaxSundrels || std::int64_t(m) * k > kMaxSundrelObjects)
            throw Error(msg::UnrecognizedLayerHeader);
        into.reportLayerReading(static_cast<std::int32_t>(read.size()), m);
        const std::int64_t blockStart = in.position();
        auto store = std::make_unique<MatrixFile>(file);
        store->attach(n, m, blockStart);
        if (!in.seek(blockStart + std::int64_t(m) * (store->matrixBytes() + store->permutationBytes())))
            throw Error(msg::FilePositioningError);

        std::unique_ptr<SundrelMonmonier> layer = into.makeLayer(m == 1, m, n, std::move(store));
        layer->visible = record[4] != 0;
        layer->lineColor = LoadLE<std::uint32_t>(record.data() + 8);
        layer->lineSize = LoadLE<float>(record.data() + 12);
        layer->labelsVisible = record[16] != 0;
        layer->textColor = LoadLE<std::uint32_t>(record.data() + 20);
        layer->font = GetFont(record.data() + 24);
        if (layer->isSingle())
            layer->labelStyle = LoadLE<std::int32_t>(record.data() + 160);
        layer->name = GetText(record.data() + 176);
        layer->setStoredSundrelCount(k);
        std::array<bool, 10> selection;
        for (std::size_t s = 0; s < selection.size(); ++s)
            selection[s] = record[304 + s] != 0;
        layer->setSelection(selection);
        read.push_back({std::move(layer), k});
    }

    // The drawing order: every layer index once.
    std::vector<unsigned char> indices(static_cast<std::size_t>(layerCount) * 4);
    if (!indices.empty() && !in.read(indices.data(), indices.size()))
        throw Error(msg::UnrecognizedMonmonierHeader);
    std::vector<std::int32_t> drawOrder(static_cast<std::size_t>(layerCount));
    std::vector<bool> seen(static_cast<std::size_t>(layerCount), false);
    for (std::size_t i = 0; i < drawOrder.size(); ++i) {
        const auto index = LoadLE<std::int32_t>(indices.data() + 4 * i);
        if (index < 0 || index >= layerCount || seen[static_cast<std::size_t>(index)])
            throw Error(msg::UnrecognizedMonmonierHeader);
        seen[static_cast<std::size_t>(index)] = true;
        drawOrder[i] = index;
    }
    if (activeIndex < -1 || activeIndex >= layerCount)
        throw Error(msg::UnrecognizedMonmonierHeader);

    // Nothing of a damaged document is taken.
    into.styles = styles;
    layers = std::move(read);
    order = std::move(drawOrder);
    active = activeIndex;
}

void InstallDocumentLoader(MonmonierLayer& layers)
{
    layers.loader = ReadMonmonierData;
}

void WriteSundrelDocument(AtomicFile& file, const DocumentHeader& header, const MMap& map,
                          MonmonierLayer& layers, MMapFactory& factory, const JobHooks* hooks)
{
    Notifier* dialog = hooks ? hooks->progress : nullptr;

    PostStage(dialog, ExportStage::Initializing);
    // The body offset must match the layers as they are written now.
    DocumentHeader h = header;
    h.tag = kSundrelTag;
    h.documentVersion = kSundrelVersion;
    const std::int64_t bodyOffset = static_cast<std::int64_t>(kHeaderSize) + layers.dataSize();
    if (bodyOffset > std::int64_t(std::numeric_limits<std::uint32_t>::max()))
        throw Error(msg::MapTooLarge);
    h.bodyOffset = static_cast<std::uint32_t>(bodyOffset);

    std::ostream& out = file.stream();
    try {
        const auto bytes = h.Encode();
        Write(out, bytes.data(), bytes.size());
        PostStep(dialog);

        // The stores copy their blocks under the document's own name, never
        // the temporary one: they will read from it once it is in place.
        WriteMonmonierData(out, layers, file.target(), hooks);
        if (static_cast<std::int64_t>(out.tellp()) != bodyOffset)
            throw Error(msg::FileWritingError);
        factory.WriteMap(map, out, hooks);
    } catch (const Error& e) {
        file.raise(e);
    }
}

void AwaitLayersForSaving(MonmonierLayer& layers, const JobHooks* hooks)
{
    // The layers' matrices are written from their stores, which then read
    // from the new file: no command may run meanwhile, and a load that ended
    // is taken in, so that the layers it read are written.
    while (!layers.wait(std::chrono::milliseconds(100)))
        if (hooks)
            hooks->checkCancelled();
    layers.completeLoad();
}

void SaveSundrelDocument(const std::filesystem::path& target, const DocumentHeader& header,
                         const MMap& map, MonmonierLayer& layers, MMapFactory& factory,
                         const JobHooks* hooks)
{
    Notifier* dialog = hooks ? hooks->progress : nullptr;
    AwaitLayersForSaving(layers, hooks);
    AtomicFile file(target);
    WriteSundrelDocument(file, header, map, layers, factory, hooks);
    PostStage(dialog, ExportStage::WritingFile);
    file.commit();
    PostStep(dialog);

    layers.repointStores(target);
    PostStep(dialog);
}

void ExportTriangulation(const std::filesystem::path& target, const DocumentHeader& header,
                         const MMap& map, MMapFactory& factory, const JobHooks* hooks)
{
    AtomicFile file(target);
    WriteTriangulationExport(file, header, map, factory, hooks);
    file.commit();
    PostStep(hooks ? hooks->progress : nullptr);
}

void WriteTriangulationExport(AtomicFile& file, const DocumentHeader& header, const MMap& map,
                              MMapFactory& factory, const JobHooks* hooks)
{
    Notifier* dialog = hooks ? hooks->progress : nullptr;
    PostStage(dialog, ExportStage::Initializing);
    DocumentHeader h = header;
    h.tag = "???";
    h.documentVersion = kSundrelVersion;
    h.bodyOffset = static_cast<std::uint32_t>(kHeaderSize);

    try {
        const auto bytes = h.Encode();
        Write(file.stream(), bytes.data(), bytes.size());
        PostStep(dialog);
        factory.WriteMap(map, file.stream(), hooks);
    } catch (const Error& e) {
        file.raise(e);
    }
}

void WriteReport(AtomicFile& file, const Report& report)
{
    try {
        for (const std::string& line : report) {
            const std::string text = Utf8ToCp1252(line) + "\r\n";
            Write(file.stream(), reinterpret_cast<const unsigned char*>(text.data()), text.size());
        }
    } catch (const Error& e) {
        file.raise(e);
    }
}

void WriteReport(const std::filesystem::path& target, const Report& report)
{
    AtomicFile file(target);
    WriteReport(file, report);
    file.commit();
}

std::string ProposedReportName(const Report& report)
{
    if (report.empty())
        return {};
    const std::string& line = report.front();
    const std::size_t first = line.find('"');
    const std::size_t last = line.rfind('"');
    if (first == std::string::npos || last == first)
        return {};
    return line.substr(first + 1, last - first - 1);
}

} // namespace sundrel
