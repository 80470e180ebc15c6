// The sundrel document reader on arbitrary bytes: the map through the
// document reader, then the result layers on the layers' worker, computed
// again from their stored matrices. A damaged file must end in an error
// (the reader's text for the layers); anything else is a finding. Layers
// that read must save, and read back from the saved file to the same
// layers, and a second save must give the same bytes.

#include "ScratchFile.h"

#include "common/Errors.h"
#include "common/Text.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/SundrelDocument.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

sundrel::MMapFactory& Factory()
{
    static sundrel::MMapFactory factory;
    return factory;
}

// The main window: keeps the outcome of the last load.
class MainWindow : public sundrel::Notifier {
public:
    void post(int message, std::intptr_t wParam, std::intptr_t) override
    {
        if (message == sundrel::WM_LAYERS_LOADED)
            loaded = wParam;
    }
    std::atomic<std::intptr_t> loaded{-200};
};

struct Layers {
    MainWindow main;
    sundrel::MonmonierLayer layers{sundrel::MonmonierLayer::Windows{&main, nullptr, nullptr}};
    Layers() { sundrel::InstallDocumentLoader(layers); }
};

void Check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Loads and computes the layers of `path` as the main window does; false
// when the layer data was refused.
bool Open(Layers& l, const std::filesystem::path& path, const sundrel::MMap& map)
{
    l.main.loaded = -200;
    l.layers.load(path, map);
    Check(l.layers.wait());
    const std::intptr_t loaded = l.main.loaded;
    Check(loaded != -200);
    l.layers.completeLoad();
    if (loaded == sundrel::kLayersLoadFailed) {
        Check(l.layers.loadError().rfind("An error occured while reading file :\n", 0) == 0);
        l.layers.reset();
        return false;
    }
    l.layers.mapChanged(&map.cells);
    Check(l.layers.wait());
    return true;
}

struct Result {
    sundrel::Report report;
    std::vector<sundrel::SundrelElement> counts;
    std::string name;
    std::int32_t k;
    bool operator==(const Result&) const = default;
};

std::vector<Result> Results(const sundrel::MonmonierLayer& layers)
{
    std::vector<Result> results;
    for (std::int32_t i = 0; i < layers.count(); ++i) {
        const auto l = layers.layer(i);
        results.push_back({l->report(), l->countList(), l->name, l->sundrelCount()});
    }
    return results;
}

// Names the file holds as they are: valid Windows-1252 texts with their
// terminator (others come back changed, and so do their reports).
bool NamesKeep(const sundrel::MonmonierLayer& layers)
{
    for (std::int32_t i = 0; i < layers.count(); ++i) {
        const std::string bytes = sundrel::Utf8ToCp1252(layers.layer(i)->name);
        if (bytes.size() > 127 || sundrel::Cp1252ToUtf8(bytes) != layers.layer(i)->name)
            return false;
    }
    return true;
}

std::string Bytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::filesystem::path Scratch(const char* stem)
{
    return std::filesystem::temp_directory_path() /
           (std::string(stem) + "-" + std::to_string(::getpid()) + ".dvk");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static sundrel::fuzz::ScratchFile document("sundrel-fuzz-read-document");
    static const std::filesystem::path saved = Scratch("sundrel-fuzz-saved");
    static const std::filesystem::path resaved = Scratch("sundrel-fuzz-resaved");
    static Layers first;
    static Layers second;

    document.Write(data, size);
    sundrel::LoadedDocument doc;
    try {
        doc = sundrel::LoadMapDocument(document.path(), Factory());
    } catch (const sundrel::Error&) {
        return 0;
    }
    if (!sundrel::HasMonmonierData(doc.header))
        return 0;
    const sundrel::MMap& map = *doc.map;

    // Every store is closed again before its file is rewritten or removed.
    if (Open(first, document.path(), map) && first.layers.lastResult().message.empty()) {
        const std::vector<Result> results = Results(first.layers);
        const bool namesKeep = NamesKeep(first.layers);
        sundrel::SaveSundrelDocument(saved, sundrel::BuildSundrelHeader(map, first.layers), map,
                                     first.layers, Factory());
        first.layers.reset();
        Check(Open(second, saved, map));
        Check(second.layers.lastResult().message.empty());
        Check(!namesKeep || Results(second.layers) == results);
        sundrel::SaveSundrelDocument(resaved, sundrel::BuildSundrelHeader(map, second.layers), map,
                                     second.layers, Factory());
        second.layers.reset();
        Check(Bytes(resaved) == Bytes(saved));
    }
    first.layers.reset();
    second.layers.reset();
    document.Remove();
    std::error_code ignored;
    std::filesystem::remove(saved, ignored);
    std::filesystem::remove(resaved, ignored);
    return 0;
}
