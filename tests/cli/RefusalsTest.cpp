// Every refusal of the command line is true and clear: transects and thin
// configurations triangulate, texts that are not text are described, and
// documents without usable layers say so.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

namespace {

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

std::string Lines(const std::vector<std::pair<double, double>>& sites)
{
    std::string text;
    char line[80];
    for (const auto& [x, y] : sites) {
        std::snprintf(line, sizeof line, "%.17g %.17g\n", x, y);
        text += line;
    }
    return text;
}

// Bytes a terminal shows as they are: printable ASCII and line feeds.
bool Printable(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        return c == '\n' || (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F);
    });
}

// Sites on one line, vertical, horizontal or diagonal, in any order, and
// small configurations that once built flat triangles: never a duplicate,
// never an invalid triangle, a map every time.
TEST(CliTransects, SitesOnALineInAnyOrderMakeAMap)
{
    test::TempDir dir("cli-transects");
    std::mt19937 shuffle(7);
    std::vector<std::pair<std::string, std::vector<std::pair<double, double>>>> inputs;
    for (int n : {2, 3, 7, 100, 400}) {
        std::vector<std::pair<double, double>> h, v, d, e, m;
        for (int i = 0; i < n; ++i) {
            h.push_back({i * 0.25 + 6, 46.5});
            v.push_back({7.25, 45 + i * 0.01});
            d.push_back({i, i});
            e.push_back({i * 0.1, i * 0.3});
            m.push_back({i * 0.01 + 6.0, 46.0 + i * 0.02});
        }
        for (auto [name, sites] : std::vector<std::pair<std::string, std::vector<std::pair<double, double>>>>{
                 {"horizontal", h}, {"vertical", v}, {"diagonal", d}, {"steep", e}, {"degrees", m}}) {
            const std::string tag = name + std::to_string(n);
            inputs.push_back({tag + "-sorted", sites});
            std::reverse(sites.begin(), sites.end());
            inputs.push_back({tag + "-reversed", sites});
            std::shuffle(sites.begin(), sites.end(), shuffle);
            inputs.push_back({tag + "-shuffled", sites});
        }
    }
    // Two and three sites whose virtual points fell on an edge.
    inputs.push_back({"two", {{7.3, -113}, {0, -120.3}}});
    inputs.push_back({"three", {{0.30000000000000004, 0.8}, {0.6000000000000001, 0.4}, {0.9, 0.30000000000000004}}});
    inputs.push_back({"pair", {{0.2, 0.5}, {0.6000000000000001, 0.0}}});
    for (const auto& [name, sites] : inputs) {
        SCOPED_TRACE(name);
        const auto file = dir / (name + ".txt");
        test::WriteFile(file, Lines(sites));
        const auto r = test::RunCli({"map", file.string(), "-o", (dir / "t.dvt").string()});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(std::to_string(sites.size()) + " original points"), std::string::npos)
            << r.out;
    }
}

TEST(CliTransects, ProgressGoesToALogLineByLine)
{
    test::TempDir dir("cli-progress");
    test::WriteFile(dir / "line.txt", Lines({{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    const auto r = test::RunCli({"map", (dir / "line.txt").string(), "-o", (dir / "l.dvt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Computing the triangulation, please wait... 50%\n"), std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
}

TEST(CliTexts, ByteOrderMarkIsSkippedOtherTextsAreDescribed)
{
    test::TempDir dir("cli-texts");
    const auto out = (dir / "m.dvt").string();
    test::WriteFile(dir / "bom.txt", "\xEF\xBB\xBF" "1 2\n3 4\n5 1\n");
    auto r = test::RunCli({"map", (dir / "bom.txt").string(), "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;

    const std::string utf16("\xFF\xFE" "1\0 \0" "2\0\n\0" "3\0 \0" "4\0\n\0", 18);
    test::WriteFile(dir / "utf16.txt", utf16);
    r = test::RunCli({"map", (dir / "utf16.txt").string(), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("The file is UTF-16 text, which cannot be read: save it as UTF-8 or "
                         "ASCII text (line 1, column 1)"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(Printable(r.err)) << r.err;

    test::WriteFile(dir / "binary.txt", std::string("\x01\x02\x7F\x80\xC3 \x05\n\x90\x91 x\n", 12));
    r = test::RunCli({"map", (dir / "binary.txt").string(), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bytes that are not text"), std::string::npos) << r.err;
    EXPECT_TRUE(Printable(r.err)) << r.err;

    r = test::RunCli({"matrices", (dir / "utf16.txt").string(), "--size", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Printable(r.err)) << r.err;
}

class CliLayers : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::RunCli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o",
                                Map().string()})
                      .status,
                  0);
    }
    std::filesystem::path Map() const { return dir_ / "map.dvt"; }
    test::TempDir dir_{"cli-layers"};
};

TEST_F(CliLayers, DocumentsWithoutUsableLayersSaySo)
{
    auto r = test::RunCli({"report", Map().string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The document has no result layers\n");
    r = test::RunCli({"report", Map().string(), "-o", (dir_ / "r.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "r.txt"));

    r = test::RunCli({"barriers", Map().string()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "layer,name,kind,rank,label,i,j,value\n");
    EXPECT_EQ(r.err, "The document has no result layers\n");

    // Layers that cannot be read: the map is described, as the window opens it.
    const auto doc = dir_ / "study.dvk";
    ASSERT_EQ(test::RunCli({"analyse", Map().string(), kExamples + "/distances.txt", "-o",
                            doc.string()})
                  .status,
              0);
    std::string bytes = test::ReadFile(doc);
    bytes[280] = 'X';
    test::WriteFile(dir_ / "damaged.dvk", bytes);
    r = test::RunCli({"info", (dir_ / "damaged.dvk").string()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("original points (N): 40\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("result layers"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("Error : Unrecognized monmonier header\nMonmonier data will be ignored."),
              std::string::npos)
        << r.err;
}

TEST_F(CliLayers, OnePopulationIsRefusedBeforeAnythingIsWritten)
{
    test::WriteFile(dir_ / "one.txt", "6.5 46.2\n");
    ASSERT_EQ(test::RunCli({"map", (dir_ / "one.txt").string(), "-o", (dir_ / "one.dvt").string()})
                  .status,
              0);
    test::WriteFile(dir_ / "d.txt", "0\n");
    const auto r = test::RunCli({"analyse", (dir_ / "one.dvt").string(), (dir_ / "d.txt").string(),
                                 "-o", (dir_ / "one.dvk").string(), "--report",
                                 (dir_ / "one.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "An analysis needs at least two populations: the map holds only one\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "one.dvk"));
    EXPECT_EQ(test::ReadFile(dir_ / "one.txt"), "6.5 46.2\n");
}

} // namespace
