#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/SundrelDocument.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"
#include "support/RecordingNotifier.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

using namespace sundrel;

namespace {

constexpr std::int32_t kN = 24;
constexpr std::size_t kFirstLayer = 588; // 280 + the 308-byte monmonier header

// Everything a layer shows and stores, to compare a layer with its reloaded copy.
struct LayerState {
    std::string name;
    bool single = true;
    std::int32_t m = 0, n = 0, k = 0;
    int labelStyle = 0;
    bool visible = false, labelsVisible = false;
    std::uint32_t lineColor = 0, textColor = 0;
    float lineSize = 0;
    LayerFont font;
    std::array<bool, 10> selection{};
    Report report;
    std::vector<SundrelElement> counts;
    bool operator==(const LayerState&) const = default;
};

LayerState StateOf(const SundrelMonmonier& l)
{
    return {l.name,        l.isSingle(),      l.matrixCount(), l.populationCount(),
            l.sundrelCount(), l.isSingle() ? l.labelStyle : 0, l.visible,
            l.labelsVisible, l.lineColor,     l.textColor,     l.lineSize,
            l.font,        l.getSelection(),  l.report(),      l.countList()};
}

std::vector<LayerState> StatesOf(const MonmonierLayer& layers)
{
    std::vector<LayerState> states;
    for (std::int32_t i = 0; i < layers.count(); ++i)
        states.push_back(StateOf(*layers.layer(i)));
    return states;
}

std::int32_t IntAt(const std::string& s, std::size_t at)
{
    return LoadLE<std::int32_t>(reinterpret_cast<const unsigned char*>(s.data() + at));
}

void PutInt(std::string& s, std::size_t at, std::int32_t v)
{
    StoreLE(reinterpret_cast<unsigned char*>(&s[at]), v);
}

class SundrelDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sites_ = test::RandomPoints(kN, 41);
        map_ = test::Create(factory_, sites_);
        ASSERT_TRUE(map_);
    }

    std::unique_ptr<MonmonierLayer> NewLayers()
    {
        auto layers = std::make_unique<MonmonierLayer>(
            MonmonierLayer::Windows{&main_, &progress_, nullptr});
        InstallDocumentLoader(*layers);
        return layers;
    }

    // M matrices: the distance between the sites, plus a jump across the
    // line x = 500 and some noise.
    std::unique_ptr<MatrixFile> Store(std::int32_t m, unsigned seed)
    {
        auto store = std::make_unique<MatrixFile>(TemporaryMatrixFileName(dir_.path()));
        store->initialize(kN);
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> noise(0.0, 50.0);
        for (std::int32_t k = 0; k < m; ++k) {
            std::vector<double> values(static_cast<std::size_t>(PairCount(kN)));
            for (std::int32_t hi = 1; hi < kN; ++hi)
                for (std::int32_t lo = 0; lo < hi; ++lo) {
                    const MXY a = sites_[static_cast<std::size_t>(hi)];
                    const MXY b = sites_[static_cast<std::size_t>(lo)];
                    const bool across = (a.x < 500) != (b.x < 500);
                    values[static_cast<std::size_t>(PairIndex(hi, lo))] =
                        std::hypot(a.x - b.x, a.y - b.y) / 10 + (across ? 400 : 0) + noise(rng);
                }
            SMatrix matrix;
            matrix.assign(kN, std::move(values));
            store->writeMatrix(matrix);
        }
        return store;
    }

    void Analyse(MonmonierLayer& layers, std::int32_t m, std::int32_t k, int labelStyle,
                 const std::string& title)
    {
        AnalysisRequest request;
        request.store = Store(m, 100 + static_cast<unsigned>(layers.count()));
        request.single = m == 1;
        request.sundrels = k;
        request.labelStyle = labelStyle;
        request.title = title;
        ASSERT_TRUE(layers.newAnalysis(std::move(request)));
        ASSERT_TRUE(layers.wait());
        layers.acknowledge();
        ASSERT_EQ(layers.lastResult().message, "");
    }

    // A single-run layer and a significance layer with settings off their
    // defaults: hidden sundrels, hidden labels, a toggled rank, non-ASCII
    // texts, a font name too long for the file, the drawing order reversed.
    std::unique_ptr<MonmonierLayer> Study()
    {
        auto layers = NewLayers();
        layers->setMap(*map_);
        EXPECT_TRUE(layers->wait());
        Analyse(*layers, 1, 3, 2, "Barrière nord");
        Analyse(*layers, 4, 2, 0, "Rééchantillons \"bootstrap\"");
        layers->requestToggle(1, 0);
        EXPECT_TRUE(layers->wait());
        layers->layer(0)->visible = false;
        layers->layer(0)->font = {std::string(200, 'F'), 14, 0x1001};
        layers->layer(1)->labelsVisible = false;
        layers->layer(1)->lineColor = 0x00123456;
        layers->styles.singleSize = 2.5f;
        layers->styles.titleFont = {"Liberation Sans", 12, 0x10};
        layers->styles.valueColor = 0x00ABCDEF;
        layers->background(1);
        layers->activate(0);
        return layers;
    }

    void Save(const std::filesystem::path& path, MonmonierLayer& layers, const MMap& map,
              const JobHooks* hooks = nullptr)
    {
        SaveSundrelDocument(path, BuildSundrelHeader(map, layers), map, layers, factory_, hooks);
    }

    // Opens the layers of a document as the main window does; the load
    // error text, empty on success.
    std::string Load(MonmonierLayer& layers, const std::filesystem::path& path, const MMap& map)
    {
        main_.clear();
        layers.load(path, map);
        EXPECT_TRUE(layers.wait());
        std::intptr_t result = -200;
        for (const RecordedMessage& m : main_.messages())
            if (m.message == WM_LAYERS_LOADED)
                result = m.wParam;
        EXPECT_NE(result, -200) << "no WM_LAYERS_LOADED";
        // The failure's text travels with the message.
        const std::vector<JobResult> results = main_.results();
        EXPECT_FALSE(results.empty());
        layers.completeLoad();
        std::string error;
        if (result == kLayersLoadFailed) {
            error = layers.loadError();
            EXPECT_EQ(results.back().message, error);
            layers.reset();
        } else {
            EXPECT_EQ(layers.activeIndex(), result);
        }
        layers.mapChanged(&map.cells);
        EXPECT_TRUE(layers.wait());
        return error;
    }

    static std::string LoadError(const std::filesystem::path& path, const std::string& message)
    {
        return "An error occured while reading file :\n" + path.string() + "\nError : " +
               message + "\nMonmonier data will be ignored.";
    }

    test::TempDir dir_{"sundrel-document"};
    MMapFactory factory_;
    std::vector<MXY> sites_;
    std::unique_ptr<MMap> map_;
    RecordingNotifier main_;
    RecordingNotifier progress_;
};

TEST_F(SundrelDocumentTest, RoundTripGivesTheSameLayersAndAByteIdenticalRewrite)
{
    auto study = Study();
    const auto path = dir_ / "study.dvk";
    const std::int64_t dataSize = study->dataSize();
    Save(path, *study, *map_);
    const std::string bytes = test::ReadFile(path);
    const std::string body = test::BodyBytes(factory_, *map_);

    // Header, monmonier header, first layer header, drawing order, body.
    const DocumentHeader header =
        DocumentHeader::Decode(reinterpret_cast<const unsigned char*>(bytes.data()));
    EXPECT_EQ(header.tag, "DVK");
    EXPECT_EQ(header.documentVersion, 4);
    EXPECT_EQ(header.bodyOffset, 280 + dataSize);
    ASSERT_EQ(bytes.size(), 280 + dataSize + body.size());
    EXPECT_EQ(bytes.substr(header.bodyOffset), body);
    EXPECT_EQ(bytes.substr(280, 4), std::string("MH \0", 4));
    EXPECT_EQ(IntAt(bytes, 580), 2);
    EXPECT_EQ(IntAt(bytes, 584), 0);
    EXPECT_EQ(bytes.substr(kFirstLayer, 8), std::string("MLH\0\0\0\0\0", 8)); // hidden
    EXPECT_EQ(bytes.substr(kFirstLayer + 24, 128), std::string(127, 'F') + '\0');
    EXPECT_EQ(bytes.substr(kFirstLayer + 176, 15), std::string("Barri\xE8re nord\0\0", 15));
    EXPECT_EQ(IntAt(bytes, header.bodyOffset - 8), 1);
    EXPECT_EQ(IntAt(bytes, header.bodyOffset - 4), 0);

    // The stores now read their blocks from the document.
    EXPECT_EQ(study->layer(0)->store().fileName(), path);
    EXPECT_EQ(study->layer(0)->store().baseOffset(), kFirstLayer + 316);
    EXPECT_EQ(dir_.FileCount(), 1u) << "temporary stores or files left behind";

    LoadedDocument doc = LoadMapDocument(path, factory_);
    ASSERT_TRUE(HasMonmonierData(doc.header));
    auto loaded = NewLayers();
    ASSERT_EQ(Load(*loaded, path, *doc.map), "");
    std::vector<LayerState> expected = StatesOf(*study);
    expected[0].font.name.resize(127);
    ASSERT_GT(expected[0].report.size(), 10u);
    ASSERT_FALSE(expected[1].counts.empty());
    EXPECT_EQ(StatesOf(*loaded), expected);
    EXPECT_EQ(loaded->drawOrder(), std::vector<std::int32_t>({1, 0}));
    EXPECT_EQ(loaded->activeIndex(), 0);
    EXPECT_EQ(loaded->styles, study->styles);
    EXPECT_EQ(loaded->singleLayers(), std::vector<std::int32_t>({0}));
    EXPECT_EQ(loaded->multipleLayers(), std::vector<std::int32_t>({1}));

    const auto again = dir_ / "again.dvk";
    Save(again, *loaded, *doc.map);
    EXPECT_EQ(test::ReadFile(again), bytes);
}

TEST_F(SundrelDocumentTest, DocumentWithoutLayersHasTheBodyAt588)
{
    auto layers = NewLayers();
    layers->setMap(*map_);
    ASSERT_TRUE(layers->wait());
    layers->styles.multipleSize = 5.5f;
    layers->styles.valueFont = {"Caf\xC3\xA9", 7, 0x100};
    EXPECT_EQ(layers->dataSize(), 308);
    const auto path = dir_ / "empty.dvk";
    Save(path, *layers, *map_);
    const std::string bytes = test::ReadFile(path);
    EXPECT_EQ(IntAt(bytes, 276), 588);
    EXPECT_EQ(IntAt(bytes, 580), 0);
    EXPECT_EQ(IntAt(bytes, 584), -1);
    EXPECT_EQ(bytes.substr(588), test::BodyBytes(factory_, *map_));

    LoadedDocument doc = LoadMapDocument(path, factory_);
    auto loaded = NewLayers();
    ASSERT_EQ(Load(*loaded, path, *doc.map), "");
    EXPECT_EQ(loaded->count(), 0);
    EXPECT_EQ(loaded->activeIndex(), -1);
    EXPECT_EQ(loaded->styles, layers->styles);
}

TEST_F(SundrelDocumentTest, OnlyTagDvkVersion4CarriesLayers)
{
    auto study = Study();
    const auto path = dir_ / "study.dvk";
    Save(path, *study, *map_);
    const std::string bytes = test::ReadFile(path);
    const std::string body = bytes.substr(static_cast<std::size_t>(IntAt(bytes, 276)));

    // Exported as a triangulation: tag "???", version 4, the body at 280;
    // written at exactly the name given.
    ExportTriangulation(dir_ / "plain.dvt", BuildSundrelHeader(*map_, *study), *map_, factory_);
    ASSERT_TRUE(std::filesystem::exists(dir_ / "plain.dvt"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "plain.dvk"));
    const std::string exported = test::ReadFile(dir_ / "plain.dvt");
    EXPECT_EQ(exported.substr(5, 5), std::string("???\0\x04", 5));
    EXPECT_EQ(IntAt(exported, 276), 280);
    EXPECT_EQ(exported.substr(280), body);
    EXPECT_EQ(exported.substr(10, 266), bytes.substr(10, 266));

    std::string dvt = bytes;
    dvt.replace(5, 4, std::string("DVT\0", 4));
    test::WriteFile(dir_ / "tag-dvt.dvk", dvt);
    for (const auto& name : {"plain.dvt", "tag-dvt.dvk"}) {
        LoadedDocument doc = LoadMapDocument(dir_ / name, factory_);
        EXPECT_FALSE(HasMonmonierData(doc.header)) << name;
        EXPECT_EQ(doc.map->N(), kN) << name;
    }

    std::string v3 = bytes;
    v3[9] = 3;
    test::WriteFile(dir_ / "v3.dvk", v3);
    try {
        LoadMapDocument(dir_ / "v3.dvk", factory_);
        ADD_FAILURE() << "version 3 accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Unsupported DVK file version");
    }
}

TEST_F(SundrelDocumentTest, DamagedLayerDataIsIgnoredAndTheMapStillOpens)
{
    auto study = Study();
    const auto path = dir_ / "study.dvk";
    Save(path, *study, *map_);
    const std::string good = test::ReadFile(path);
    const std::size_t bodyAt = static_cast<std::size_t>(IntAt(good, 276));
    const std::string body = good.substr(bodyAt);
    const std::size_t second = kFirstLayer + 316 + 12 * PairCount(kN); // single layer: M = 1
    const std::size_t secondBlock = 4 * 12 * PairCount(kN);
    ASSERT_EQ(second + 316 + secondBlock + 8, bodyAt);

    // The file cut 100 bytes into the second layer's matrices, with the map
    // body (too short to stand for the rest of the block) moved behind.
    std::string cut = good.substr(0, second + 316 + 100) + body;
    PutInt(cut, 276, static_cast<std::int32_t>(second + 316 + 100));
    ASSERT_LT(body.size(), secondBlock - 100);

    struct Case {
        const char* name;
        std::function<void(std::string&)> damage;
        const char* message;
    };
    const auto setInt = [](std::size_t at, std::int32_t v) {
        return [at, v](std::string& s) { PutInt(s, at, v); };
    };
    const std::int32_t big = 0x7FFFFFFF;
    const std::vector<Case> cases = {
        {"cut inside the matrices", [&](std::string& s) { s = cut; }, "File positioning error"},
        {"monmonier magic", [](std::string& s) { s[282] = '!'; }, "Unrecognized monmonier header"},
        {"layer magic", [&](std::string& s) { s[second + 3] = 'X'; },
         "Unrecognized monmonier layer header"},
        {"L = 2^31 - 1", setInt(580, big), "Unrecognized monmonier header"},
        {"L = -1", setInt(580, -1), "Unrecognized monmonier header"},
        {"L one too many", setInt(580, 3), "Unrecognized monmonier layer header"},
        {"negative M", setInt(second + 168, -4), "Unrecognized monmonier layer header"},
        {"M = 0", setInt(second + 168, 0), "Unrecognized monmonier layer header"},
        {"M beyond the file", setInt(second + 168, 1 << 20), "File positioning error"},
        {"M = 2^31 - 1", setInt(second + 168, big), "File positioning error"},
        {"huge N", setInt(second + 164, big), "Unrecognized monmonier layer header"},
        {"negative N", setInt(second + 164, -kN), "Unrecognized monmonier layer header"},
        {"N of another map", setInt(kFirstLayer + 164, kN - 1), "Unrecognized monmonier layer header"},
        {"huge K", setInt(second + 172, big), "Unrecognized monmonier layer header"},
        {"negative K", setInt(kFirstLayer + 172, -1), "Unrecognized monmonier layer header"},
        {"order index out of range", setInt(bodyAt - 4, 2), "Unrecognized monmonier header"},
        {"negative order index", setInt(bodyAt - 8, -1), "Unrecognized monmonier header"},
        {"order index twice", setInt(bodyAt - 4, 1), "Unrecognized monmonier header"},
        {"active index out of range", setInt(584, 2), "Unrecognized monmonier header"},
    };
    auto layers = NewLayers();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = good;
        c.damage(bytes);
        const auto file = dir_ / "damaged.dvk";
        test::WriteFile(file, bytes);
        LoadedDocument doc = LoadMapDocument(file, factory_);
        ASSERT_TRUE(doc.map);
        EXPECT_EQ(Load(*layers, file, *doc.map), LoadError(file, c.message));
        EXPECT_EQ(layers->count(), 0);
        layers->reset(); // the map goes before the next case
    }

    // A document gone since its map was read.
    EXPECT_EQ(Load(*layers, dir_ / "gone.dvk", *map_),
              LoadError(dir_ / "gone.dvk", "Couldn't open the file"));
    // The same object then reads an intact document.
    EXPECT_EQ(Load(*layers, path, *map_), "");
    EXPECT_EQ(StatesOf(*layers).size(), 2u);
    EXPECT_EQ(StatesOf(*layers)[1].report, study->layer(1)->report());
}

TEST_F(SundrelDocumentTest, SavingOverTheOpenDocumentMovesTheStoresToTheNewFile)
{
    auto study = Study();
    const auto path = dir_ / "study.dvk";
    Save(path, *study, *map_);
    LoadedDocument doc = LoadMapDocument(path, factory_);
    auto layers = NewLayers();
    ASSERT_EQ(Load(*layers, path, *doc.map), "");
    const LayerState significance = StateOf(*layers->layer(1));
    const std::int64_t oldOffset = layers->layer(1)->store().baseOffset();

    // Without the first layer, the second one's block moves forward in the
    // file that its store reads from while the file is replaced.
    layers->remove(0);
    RecordingNotifier dialog;
    const JobHooks hooks{&dialog, nullptr};
    Save(path, *layers, *doc.map, &hooks);
    // Stage 106 names its layer by index (wParam); the stage code is lParam.
    EXPECT_EQ(dialog.messages().front(), (RecordedMessage{WM_EXPORT_STAGE, 0, 0, false}));
    std::vector<std::pair<std::intptr_t, std::intptr_t>> stages;
    for (const RecordedMessage& m : dialog.messages())
        if (m.message == WM_EXPORT_STAGE)
            stages.emplace_back(m.lParam, m.wParam);
    EXPECT_EQ(stages, (decltype(stages){{0, 0}, {106, 0}, {16, 0}, {20, 0}}));
    MatrixFile& store = layers->layer(0)->store();
    EXPECT_EQ(store.fileName(), path);
    EXPECT_EQ(store.baseOffset(), kFirstLayer + 316);
    EXPECT_NE(store.baseOffset(), oldOffset);
    EXPECT_EQ(dir_.FileCount(), 1u);

    // Recomputed from the new file at the new offset: the same results.
    layers->mapChanged(&doc.map->cells);
    ASSERT_TRUE(layers->wait());
    EXPECT_EQ(StateOf(*layers->layer(0)), significance);

    LoadedDocument reopened = LoadMapDocument(path, factory_);
    auto again = NewLayers();
    ASSERT_EQ(Load(*again, path, *reopened.map), "");
    ASSERT_EQ(again->count(), 1);
    EXPECT_EQ(StateOf(*again->layer(0)), significance);
}

TEST_F(SundrelDocumentTest, FailedSaveLeavesThePreviousDocumentAndTheStores)
{
    auto study = Study();
    const auto path = dir_ / "study.dvk";
    Save(path, *study, *map_);
    LoadedDocument doc = LoadMapDocument(path, factory_);
    auto layers = NewLayers();
    ASSERT_EQ(Load(*layers, path, *doc.map), "");
    const std::string before = test::ReadFile(path);
    const std::vector<LayerState> states = StatesOf(*layers);
    const std::int64_t offset = layers->layer(1)->store().baseOffset();

    // Cancelled at the second layer, after the first layer's block was
    // copied, with a change that would alter the file: the header, layer 0,
    // its matrix and its permutation are four steps.
    int steps = 0;
    JobFeedback feedback;
    RecordingNotifier dialog;
    dialog.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_EXPORT_STEP && ++steps == 4)
            feedback.cancel();
    };
    const JobHooks hooks{&dialog, &feedback};
    const std::int64_t offset0 = layers->layer(0)->store().baseOffset();
    layers->layer(0)->name = "renamed";
    EXPECT_THROW(Save(path, *layers, *doc.map, &hooks), Abort);
    EXPECT_EQ(steps, 4);
    layers->layer(0)->name = states[0].name;
    EXPECT_EQ(test::ReadFile(path), before);
    EXPECT_EQ(dir_.FileCount(), 1u) << "temporary file left behind";
    EXPECT_EQ(layers->layer(0)->store().fileName(), path);
    EXPECT_EQ(layers->layer(0)->store().baseOffset(), offset0);
    EXPECT_EQ(layers->layer(1)->store().baseOffset(), offset);
    layers->mapChanged(&doc.map->cells);
    ASSERT_TRUE(layers->wait());
    EXPECT_EQ(StatesOf(*layers), states);

    // A folder that does not exist.
    try {
        Save(dir_ / "no" / "such.dvk", *layers, *doc.map);
        ADD_FAILURE() << "saved into a missing folder";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Impossible to open the file");
    }
    EXPECT_EQ(dir_.FileCount(), 1u);
}

TEST(SundrelReport, FileIsWindows1252WithCrLf)
{
    test::TempDir dir("sundrel-report");
    const Report report = {"**** Creating single monmonier layer \"Barrière\" ****", "",
                           "**** Loading distance matrix n\xC2\xB0 1"};
    WriteReport(dir / "r.txt", report);
    EXPECT_EQ(test::ReadFile(dir / "r.txt"),
              "**** Creating single monmonier layer \"Barri\xE8re\" ****\r\n\r\n"
              "**** Loading distance matrix n\xB0 1\r\n");
    WriteReport(dir / "empty.txt", {});
    EXPECT_EQ(test::ReadFile(dir / "empty.txt"), "");
    EXPECT_THROW(WriteReport(dir / "no" / "r.txt", report), Error);
    EXPECT_EQ(dir.FileCount(), 2u);
}

TEST(SundrelReport, ProposedNameLiesBetweenTheFirstAndLastQuote)
{
    EXPECT_EQ(ProposedReportName({"**** Creating multiple monmonier layer name \"Test\" ****", "x"}),
              "Test");
    EXPECT_EQ(ProposedReportName({"a \"b \"c\" d\" e"}), "b \"c\" d");
    EXPECT_EQ(ProposedReportName({"\"\""}), "");
    EXPECT_EQ(ProposedReportName({"no quote", "\"second line\""}), "");
    EXPECT_EQ(ProposedReportName({"one \" quote"}), "");
    EXPECT_EQ(ProposedReportName({}), "");
}

} // namespace
