#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "model/Messages.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace sundrel;

namespace {

std::string ReadError(MMapFactory& f, const std::string& body)
{
    std::istringstream in(body, std::ios::binary);
    try {
        f.ReadMap(in);
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

std::unique_ptr<MMap> ReadBack(MMapFactory& f, const std::string& body)
{
    std::istringstream in(body, std::ios::binary);
    return f.ReadMap(in);
}

void PutInt(std::string& s, std::size_t at, std::int32_t v)
{
    StoreLE(reinterpret_cast<unsigned char*>(&s[at]), v);
}

TEST(MapFile, WriteReadWriteIsByteIdentical)
{
    MMapFactory f;
    for (auto pts : {test::RandomPoints(300, 21), test::GridPoints(7, 9), test::ClusteredPoints(200, 22)}) {
        auto map = test::Create(f, pts);
        ASSERT_TRUE(map);
        const std::string body = test::BodyBytes(f, *map);
        auto back = ReadBack(f, body);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->N(), map->N());
        EXPECT_EQ(back->V(), map->V());
        EXPECT_EQ(back->cells, map->cells);
        for (std::int32_t k = 0; k < map->V(); ++k) {
            const MXY a = map->mesh.xy(map->GetVirtualPoint(k));
            const MXY b = back->mesh.xy(back->GetVirtualPoint(k));
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
        }
        EXPECT_TRUE(test::MapIsValid(*back));
        EXPECT_EQ(test::BodyBytes(f, *back), body);

        // A read map can be edited like a created one.
        f.RemoveVirtualPoint(*back, 0);
        f.RemoveVirtualPoint(*map, 0);
        EXPECT_EQ(test::BodyBytes(f, *back), test::BodyBytes(f, *map));
    }
}

TEST(MapFile, OnePointWithoutVirtualPointsHasTheExpectedBodyLength)
{
    MMapFactory f;
    auto map = test::Create(f, {{1.0, 2.0}});
    ASSERT_TRUE(map);
    f.RemoveAllVirtualPoints(*map);
    const std::string body = test::BodyBytes(f, *map);
    EXPECT_EQ(body.size(), 4u + 40 + 4 + 120 + 64 + 96 + 0 + (24 + 4 * 16 + 4 * 4));
    EXPECT_EQ(body.substr(0, 4), std::string("MAP\0", 4));
    EXPECT_EQ(LoadLE<std::int32_t>(reinterpret_cast<const unsigned char*>(body.data()) + 4), 5);
    // The first triangle written is the one on the top frame edge, whose first
    // corner is the top-left frame corner.
    const double x = LoadLE<double>(reinterpret_cast<const unsigned char*>(body.data()) + 48);
    EXPECT_EQ(x, map->Frame().xMin);
}

TEST(MapFile, MalformedBodiesFailWithTheirMessages)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(40, 23));
    ASSERT_TRUE(map);
    const std::string body = test::BodyBytes(f, *map);

    std::string s = body;
    s[3] = 'X';
    EXPECT_EQ(ReadError(f, s), msg::UnreadableTriangulation);

    const char* messages[5] = {msg::InconsistentPoints, msg::InconsistentLines,
                               msg::InconsistentTriangles, msg::InconsistentVirtualPoints,
                               msg::InconsistentPolygons};
    for (int i = 0; i < 5; ++i) {
        s = body;
        PutInt(s, 8 + 8 * i, 12345);
        EXPECT_EQ(ReadError(f, s), messages[i]);
    }

    const std::int32_t P = LoadLE<std::int32_t>(reinterpret_cast<const unsigned char*>(body.data()) + 4);
    const std::int32_t L = LoadLE<std::int32_t>(reinterpret_cast<const unsigned char*>(body.data()) + 12);
    const std::int32_t T = LoadLE<std::int32_t>(reinterpret_cast<const unsigned char*>(body.data()) + 20);
    const std::size_t points = 48, lines = points + 24 * P, tris = lines + 8 * L, virt = tris + 24 * T;

    s = body; // a point index beyond the original points
    PutInt(s, points + 16, 100000);
    EXPECT_EQ(ReadError(f, s), msg::PointsReadingError);
    s = body; // a line end beyond the point table
    PutInt(s, lines, P);
    EXPECT_EQ(ReadError(f, s), msg::LinesPointsMismatch);
    s = body; // the first line beyond the line table
    PutInt(s, 44, L);
    EXPECT_EQ(ReadError(f, s), msg::LinesPointsMismatch);
    s = body; // a triangle naming line 1000
    PutInt(s, tris + 12, 1000);
    EXPECT_EQ(ReadError(f, s), msg::TrianglesMismatch);
    s = body; // a virtual point number beyond the table
    PutInt(s, virt, P + 3);
    EXPECT_EQ(ReadError(f, s), msg::WrongVirtualPoints);
    s = body; // a virtual point in the wrong slot
    PutInt(s, virt, LoadLE<std::int32_t>(reinterpret_cast<const unsigned char*>(s.data()) + virt + 4));
    EXPECT_EQ(ReadError(f, s), msg::WrongVirtualPoints);
    const std::size_t cells = virt + 4 * map->V();
    s = body; // a cell with a neighbour out of range
    PutInt(s, cells + 24 + 16 * map->cells[0].count(), 5000);
    EXPECT_EQ(ReadError(f, s), msg::UnreadablePolygon);
    s = body; // a cell claiming a huge vertex count
    PutInt(s, cells + 20, 0x7fffffff);
    EXPECT_EQ(ReadError(f, s), msg::UnreadablePolygon);
    s = body; // counts far beyond the file
    for (int i = 0; i < 2; ++i)
        PutInt(s, 4 + 4 * i, 0x7ffffff0);
    EXPECT_EQ(ReadError(f, s), msg::PointsReadingError);
    s = body;
    for (int i = 0; i < 2; ++i)
        PutInt(s, 4 + 4 * i, -5);
    EXPECT_EQ(ReadError(f, s), msg::MemoryAllocationFailure);
}

// Bodies whose indices are all in range but which edits could not keep
// consistent: a first line that an edit deletes, a stray virtual index, a
// cell that does not match its triangles.
TEST(MapFile, BodiesThatEditsWouldBreakAreRefused)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(3, 29));
    ASSERT_TRUE(map);
    const std::string body = test::BodyBytes(f, *map);
    const auto* b = reinterpret_cast<const unsigned char*>(body.data());
    const std::int32_t P = LoadLE<std::int32_t>(b + 4), L = LoadLE<std::int32_t>(b + 12);
    const std::size_t points = 48, lines = points + 24 * std::size_t(P);

    // A line from a virtual point, which removing that point would delete.
    std::int32_t spoke = -1;
    for (std::int32_t l = 0; l < L && spoke < 0; ++l) {
        const std::int32_t p1 = LoadLE<std::int32_t>(b + lines + 8 * l);
        if (LoadLE<std::int32_t>(b + points + 24 * p1 + 16) < -1)
            spoke = l;
    }
    ASSERT_GE(spoke, 0);
    std::string s = body;
    PutInt(s, 44, spoke);
    EXPECT_EQ(ReadError(f, s), msg::TrianglesMismatch);

    // A frame corner numbered like a virtual point.
    s = body;
    for (std::int32_t p = 0; p < P; ++p)
        if (LoadLE<std::int32_t>(b + points + 24 * p + 16) == -1 &&
            std::fabs(LoadLE<double>(b + points + 24 * p)) > 100) {
            PutInt(s, points + 24 * p + 16, -2);
            break;
        }
    EXPECT_EQ(ReadError(f, s), msg::WrongVirtualPoints);

    // A cell whose neighbours are out of turn.
    const std::size_t cells = s.size() - (24 + 20 * map->cells[2].count()) -
                              (24 + 20 * map->cells[1].count()) - (24 + 20 * map->cells[0].count());
    s = body;
    const std::size_t nbs = cells + 24 + 16 * map->cells[0].count();
    const std::int32_t first = LoadLE<std::int32_t>(b + nbs), second = LoadLE<std::int32_t>(b + nbs + 4);
    ASSERT_NE(first, second);
    PutInt(s, nbs, second);
    PutInt(s, nbs + 4, first);
    EXPECT_EQ(ReadError(f, s), msg::UnreadablePolygon);
}

// No truncation and no byte flip of a valid body makes the reader crash, leak
// or accept an inconsistent map (run under the sanitizers too).
TEST(MapFile, DamagedBodiesNeverCrash)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(12, 24));
    ASSERT_TRUE(map);
    const std::string body = test::BodyBytes(f, *map);
    for (std::size_t n = 0; n < body.size(); n += 3)
        EXPECT_NE(ReadError(f, body.substr(0, n)), "") << "truncated at " << n;
    std::mt19937 rng(24);
    for (int i = 0; i < 3000; ++i) {
        std::string s = body;
        const int flips = 1 + static_cast<int>(rng() % 3);
        for (int k = 0; k < flips; ++k)
            s[rng() % s.size()] ^= static_cast<char>(1u << (rng() % 8));
        std::istringstream in(s, std::ios::binary);
        try {
            auto m = f.ReadMap(in);
            // Accepted: the map must be usable.
            test::BodyBytes(f, *m);
        } catch (const Error&) {
        }
    }
}

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() /
               ("sundrel-doc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
};

TEST_F(DocumentTest, HeaderRoundTripAndDefaults)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(30, 25));
    ASSERT_TRUE(map);
    const DocumentHeader h = BuildHeader(*map);
    const auto bytes = h.Encode();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 10),
              std::string("DVT\0\x02" "DVT\0\x02", 10));
    EXPECT_EQ(LoadLE<float>(bytes.data() + 80), 3.0f);
    EXPECT_EQ(LoadLE<float>(bytes.data() + 92), 1.0f);
    EXPECT_EQ(LoadLE<std::uint32_t>(bytes.data() + 96), 0x000000AAu);
    EXPECT_EQ(LoadLE<std::uint32_t>(bytes.data() + 100), 0x00AAAA00u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + 116), "MS Sans Serif");
    EXPECT_EQ(LoadLE<std::int32_t>(bytes.data() + 252), 1);
    EXPECT_EQ(LoadLE<std::uint32_t>(bytes.data() + 276), 280u);
    EXPECT_EQ(LoadLE<double>(bytes.data() + 48), map->frameBounds.xMin);
    EXPECT_EQ(DocumentHeader::Decode(bytes.data()).Encode(), bytes);
}

TEST_F(DocumentTest, SaveAndLoadKeepTheMapAndItsStyles)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(80, 26));
    ASSERT_TRUE(map);
    map->voronoiLineWidth = 2.5f;
    map->layerColours[4] = 0x00123456u;
    map->font = {"DejaVu Sans", 11, 0x11};
    const auto path = dir_ / "map.dvt";
    SaveMapDocument(path, BuildHeader(*map, 3, {1, 0, 1, 1, 0}), *map, f);
    LoadedDocument doc = LoadMapDocument(path, f);
    ASSERT_TRUE(doc.map);
    EXPECT_EQ(doc.map->frameBounds, map->frameBounds);
    EXPECT_EQ(doc.map->outerBounds, map->outerBounds);
    EXPECT_EQ(doc.map->voronoiLineWidth, 2.5f);
    EXPECT_EQ(doc.map->layerColours, map->layerColours);
    EXPECT_EQ(doc.map->font, map->font);
    EXPECT_EQ(doc.header.activeLayer, 3);
    EXPECT_EQ(doc.header.visibility, (std::array<std::int32_t, 5>{1, 0, 1, 1, 0}));
    EXPECT_EQ(test::BodyBytes(f, *doc.map), test::BodyBytes(f, *map));

    // Saving again over the file gives the same bytes.
    std::ifstream a(path, std::ios::binary);
    const std::string first((std::istreambuf_iterator<char>(a)), {});
    SaveMapDocument(path, doc.header, *doc.map, f);
    std::ifstream b(path, std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(b)), {}), first);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
}

TEST_F(DocumentTest, BadHeadersAndFilesFailWithTheWindowMessages)
{
    MMapFactory f;
    const auto loadError = [&](const std::filesystem::path& p) -> std::string {
        try {
            LoadMapDocument(p, f);
        } catch (const Error& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(loadError(dir_ / "missing.dvt"), msg::ImpossibleToOpen);

    auto map = test::Create(f, test::RandomPoints(10, 27));
    ASSERT_TRUE(map);
    const auto good = dir_ / "good.dvt";
    SaveMapDocument(good, BuildHeader(*map), *map, f);
    std::ifstream in(good, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});

    const auto write = [&](const std::string& name, const std::string& content) {
        std::ofstream(dir_ / name, std::ios::binary) << content;
        return dir_ / name;
    };
    std::string s = bytes;
    s[3] = 'X';
    EXPECT_EQ(loadError(write("magic.dvt", s)), msg::UnrecognizedFormat);
    s = bytes;
    s[4] = 3;
    EXPECT_EQ(loadError(write("version.dvt", s)), msg::UnsupportedVersion);
    EXPECT_EQ(loadError(write("short.dvt", bytes.substr(0, 100))), msg::FileReadingError);
    s = bytes;
    PutInt(s, 276, 1 << 30);
    EXPECT_EQ(loadError(write("offset.dvt", s)), msg::UnreadableTriangulation);
}

TEST_F(DocumentTest, FailedSaveKeepsThePreviousFile)
{
    MMapFactory f;
    auto map = test::Create(f, test::RandomPoints(20, 28));
    ASSERT_TRUE(map);
    const auto path = dir_ / "keep.dvt";
    std::ofstream(path) << "previous";
    JobFeedback cancelled;
    cancelled.cancel();
    const JobHooks hooks{nullptr, &cancelled};
    EXPECT_THROW(SaveMapDocument(path, BuildHeader(*map), *map, f, &hooks), Abort);
    std::ifstream in(path);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}), "previous");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1);
    EXPECT_THROW(SaveMapDocument(dir_ / "no" / "such" / "dir.dvt", BuildHeader(*map), *map, f),
                 Error);
}

} // namespace
