#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const std::string kExample = std::string(SUNDREL_EXAMPLES_DIR) + "/sites.txt";

TEST(CliMap, BuildsTheExampleAndDescribesIt)
{
    test::TempDir dir("cli-map");
    const auto out = dir / "example.dvt";
    auto r = test::RunCli({"map", kExample, "--first-line", "2", "-o", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Triangulation created in ", 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" s\n"), std::string::npos);
    EXPECT_NE(r.out.find("40 original points"), std::string::npos) << r.out;

    r = test::RunCli({"info", out.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("kind: triangulation"), std::string::npos);
    EXPECT_NE(r.out.find("original points (N): 40\n"), std::string::npos) << r.out;

    r = test::RunCli({"info", out.string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"N\": 40,"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"frameBounds\": {\"xMin\": "), std::string::npos);
    EXPECT_EQ(dir.FileCount(), 1u);
}

TEST(CliMap, OptionsSelectLinesColumnsCountAndOrder)
{
    test::TempDir dir("cli-options");
    test::WriteFile(dir / "c.txt", "site lat lon\nA 46.5 6.1\nB 47.0 7.2\nC 45.1 8.0\nD 45.0 6.0\n\n\n");
    const auto out = dir / "m.dvt";
    auto r = test::RunCli({"map", (dir / "c.txt").string(), "-o", out.string(), "--first-line", "2",
                           "--first-column", "2", "--y-first"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("4 original points"), std::string::npos) << r.out;
    r = test::RunCli({"info", out.string(), "--json"});
    // X comes from the third column: the frame spans longitudes, not latitudes.
    EXPECT_NE(r.out.find("\"frameBounds\": {\"xMin\": 4, \"xMax\": 10, \"yMin\": 43, \"yMax\": 49}"), std::string::npos) << r.out;

    r = test::RunCli({"map", (dir / "c.txt").string(), "-o", out.string(), "--first-line", "2",
                      "--first-column", "2", "--points", "2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("2 original points"), std::string::npos);
}

TEST(CliMap, FailuresPrintTheMessageAndLeaveNoFile)
{
    test::TempDir dir("cli-fail");
    const auto out = dir / "m.dvt";

    // Two sites at one place are named by their lines.
    test::WriteFile(dir / "dup.txt", "x y\n1 2\n3 4\n5 1\n1 2\n");
    auto r = test::RunCli({"map", (dir / "dup.txt").string(), "-o", out.string(), "--first-line", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.substr(r.err.rfind("Dup")), "Duplicate point: lines 2 and 5 give the same position\n");

    test::WriteFile(dir / "bad.txt", "1 2\n3 4\n5 x\n");
    r = test::RunCli({"map", (dir / "bad.txt").string(), "-o", out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'x'"), std::string::npos) << r.err;

    test::WriteFile(dir / "short.txt", "1 2\n3\n5 1\n");
    r = test::RunCli({"map", (dir / "short.txt").string(), "-o", out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error at line 2 (line isn't long enough)\n");

    // File errors name the file and the system's reason.
    r = test::RunCli({"map", (dir / "missing.txt").string(), "-o", out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir / "missing.txt").string() +
                         " (No such file or directory)\n");

    // A FIFO or a device is refused before it is opened (opening a FIFO
    // would wait for a writer), as a text file and as a document.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    for (const std::string& input : {(dir / "fifo").string(), std::string("/dev/zero")})
        for (const bool map : {true, false}) {
            r = map ? test::RunCli({"map", input, "-o", out.string()}) : test::RunCli({"info", input});
            EXPECT_EQ(r.status, 1) << input;
            EXPECT_EQ(r.err, "Impossible to open the file: " + input + " (not a regular file)\n");
        }

    r = test::RunCli({"map", (dir / "short.txt").string()});
    EXPECT_EQ(r.status, 2);
    r = test::RunCli({"map", kExample, "-o", out.string(), "--points", "zero"});
    EXPECT_EQ(r.status, 2);
    r = test::RunCli({"frobnicate"});
    EXPECT_EQ(r.status, 2);

    // Only the input files are left.
    EXPECT_EQ(dir.FileCount(), 4u);
}

TEST(CliEdit, EditsApplyInOrderAndFailuresKeepEverything)
{
    test::TempDir dir("cli-edit");
    const auto map = dir / "m.dvt";
    ASSERT_EQ(test::RunCli({"map", kExample, "--first-line", "2", "-o", map.string()}).status, 0);
    const std::string original = test::ReadFile(map);

    const auto out = dir / "e.dvt";
    auto r = test::RunCli({"edit", map.string(), "-o", out.string(), "--add", "8,46",
                           "--add", "-1.5e6,46.25", "--remove-virtual", "0"});
    EXPECT_EQ(r.status, 1) << "a position outside the frame: " << r.out;
    EXPECT_EQ(r.err, "The position lies outside the triangulation frame\n");
    EXPECT_FALSE(std::filesystem::exists(out));

    r = test::RunCli({"edit", map.string(), "-o", out.string(), "--add", "8,46",
                      "--remove-virtual", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunCli({"info", out.string(), "--json"});
    EXPECT_NE(r.out.find("\"V\": 30,"), std::string::npos) << r.out;

    r = test::RunCli({"edit", map.string(), "-o", out.string(), "--remove-virtual", "30"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Virtual point index out of bounds error\n");

    r = test::RunCli({"edit", map.string(), "-o", map.string(), "--remove-all-virtual"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("0 virtual points"), std::string::npos);
    EXPECT_NE(test::ReadFile(map), original);
    EXPECT_EQ(dir.FileCount(), 2u);
}

TEST(CliInfo, DamagedDocumentsGiveTheReaderMessages)
{
    test::TempDir dir("cli-info");
    const auto map = dir / "m.dvt";
    ASSERT_EQ(test::RunCli({"map", kExample, "--first-line", "2", "-o", map.string()}).status, 0);
    std::string bytes = test::ReadFile(map);

    test::WriteFile(dir / "t.dvt", bytes.substr(0, bytes.size() - 7));
    auto r = test::RunCli({"info", (dir / "t.dvt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unreadable polygon\n");

    bytes[0] = 'X';
    test::WriteFile(dir / "x.dvt", bytes);
    r = test::RunCli({"info", (dir / "x.dvt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Unrecognized file format\n");
}

} // namespace
