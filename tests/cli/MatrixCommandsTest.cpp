#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cstdlib>
#include <sstream>

namespace {

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

std::vector<std::vector<std::string>> Rows(const std::string& text)
{
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        rows.emplace_back();
        for (std::string f; fields >> f;)
            rows.back().push_back(f);
    }
    return rows;
}

// A value as the command prints it: the shortest text of the double.
std::string Shortest(const std::string& field)
{
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::strtod(field.c_str(), nullptr));
    return std::string(buffer, end);
}

// The summary the command prints for matrices whose first lines are given.
std::string Summary(const std::vector<std::vector<std::string>>& rows, int n,
                    const std::vector<std::size_t>& firstLines)
{
    std::string s = "Matrix size : " + std::to_string(n) + "x" + std::to_string(n) +
                    "\nNumber of matrices: " + std::to_string(firstLines.size()) + "\n";
    for (std::size_t k = 0; k < firstLines.size(); ++k) {
        const std::size_t first = firstLines[k];
        s += "matrix " + std::to_string(k + 1) + ": d(2,1) = " + Shortest(rows[first + 1][0]) +
             "  d(" + std::to_string(n) + "," + std::to_string(n - 1) +
             ") = " + Shortest(rows[first + n - 1][n - 2]) + "\n";
    }
    return s;
}

// What follows the summary: the time taken, and nothing else.
void ExpectTimeLine(const std::string& out, std::size_t from)
{
    const std::string rest = out.substr(std::min(from, out.size()));
    EXPECT_EQ(rest.rfind("Matrices extracted in ", 0), 0u) << out;
    EXPECT_EQ(rest.substr(rest.size() - 3), " s\n") << out;
}

TEST(CliMatrices, ExampleMatricesAreSymmetricAndExtractWhole)
{
    test::TempDir temp("cli-matrices-examples");
    const std::string observed = test::ReadFile(kExamples + "/distances.txt");
    const std::string resampled = test::ReadFile(kExamples + "/resampled.txt");

    // Each example matrix is 40 x 40, symmetric, with a zero diagonal; the
    // resampled ones are separated by one blank line.
    const auto o = Rows(observed), r = Rows(resampled);
    ASSERT_EQ(o.size(), 40u);
    ASSERT_EQ(r.size(), 10u * 41 - 1);
    for (std::size_t first = 0; first < r.size(); first += 41) {
        for (std::size_t i = 0; i < 40; ++i) {
            ASSERT_EQ(r[first + i].size(), 40u) << "line " << first + i + 1;
            ASSERT_EQ(r[first + i][i], "0.000");
            for (std::size_t j = 0; j < i; ++j) {
                ASSERT_EQ(r[first + i][j], r[first + j][i]) << first + i + 1 << ", " << j + 1;
            }
        }
        if (first + 40 < r.size()) {
            EXPECT_TRUE(r[first + 40].empty());
        }
    }
    for (std::size_t i = 0; i < 40; ++i) {
        for (std::size_t j = 0; j < i; ++j)
            ASSERT_EQ(o[i][j], o[j][i]);
    }

    auto result = test::RunCli({"matrices", kExamples + "/distances.txt", "--size", "40",
                                "--temp-dir", temp.path().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    std::string expected = Summary(o, 40, {0});
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    ExpectTimeLine(result.out, expected.size());

    result = test::RunCli({"matrices", kExamples + "/resampled.txt", "--size", "40", "--matrices",
                           "10", "--gap", "1", "--temp-dir", temp.path().string()});
    ASSERT_EQ(result.status, 0) << result.err;
    expected = Summary(r, 40, {0, 41, 82, 123, 164, 205, 246, 287, 328, 369});
    EXPECT_EQ(result.out.substr(0, expected.size()), expected);
    ExpectTimeLine(result.out, expected.size());
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(temp.FileCount(), 0u) << "the store is deleted at exit";
}

TEST(CliMatrices, LayoutOptionsPlaceEveryMatrix)
{
    test::TempDir dir("cli-matrices-layout");
    test::TempDir temp("cli-matrices-layout-store");
    // Two lower-triangular 4 x 4 matrices with their diagonal, behind a
    // header line and a name column, two comment lines between them.
    test::WriteFile(dir / "lower.txt", "populations of two replicates\n"
                                       "A 0\nB 2.5 0\nC 3,25 4 0\nD 1e-3 6 7.75 0\n"
                                       "# replicate 2\n#\n"
                                       "A 0\nB 12 0\nC 13 14 0\nD 15 16 17 0\n");
    // The diagonal line of population 1 is skipped by starting one line later.
    auto r = test::RunCli({"matrices", (dir / "lower.txt").string(), "--size", "4", "--lower",
                           "--matrices", "2", "--first-line", "3", "--first-column", "2", "--gap",
                           "3", "--temp-dir", temp.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("Matrices extracted")),
              "Matrix size : 4x4\nNumber of matrices: 2\n"
              "matrix 1: d(2,1) = 2.5  d(4,3) = 7.75\n"
              "matrix 2: d(2,1) = 12  d(4,3) = 17\n");

    // The same values as square matrices, with the defaults otherwise.
    test::WriteFile(dir / "square.txt", "0 2.5 3.25 0.001\n2.5 0 4 6\n3.25 4 0 7.75\n0.001 6 7.75 0\n");
    r = test::RunCli({"matrices", (dir / "square.txt").string(), "--size", "4", "--temp-dir",
                      temp.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("matrix 1: d(2,1) = 2.5  d(4,3) = 7.75\n"), std::string::npos) << r.out;
    // Fewer populations read the top-left block only.
    r = test::RunCli({"matrices", (dir / "square.txt").string(), "--size", "2", "--temp-dir",
                      temp.path().string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("matrix 1: d(2,1) = 2.5  d(2,1) = 2.5\n"), std::string::npos) << r.out;
    EXPECT_EQ(temp.FileCount(), 0u);
}

TEST(CliMatrices, BadFilesFailWithTheMessageAndLeaveNoStore)
{
    test::TempDir dir("cli-matrices-bad");
    test::TempDir temp("cli-matrices-bad-store");
    const std::string tempDir = temp.path().string();

    // 40 lines (and the empty one after the last break) cannot hold 2 matrices.
    auto r = test::RunCli({"matrices", kExamples + "/distances.txt", "--size", "40", "--matrices",
                           "2", "--temp-dir", tempDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File isn't large enough (file size : 41 lines, expected size : at least 80 lines)\n");
    EXPECT_EQ(r.out, "");
    // The resampled file with one line too many asked for.
    r = test::RunCli({"matrices", kExamples + "/resampled.txt", "--size", "40", "--matrices", "10",
                      "--gap", "1", "--first-line", "3", "--temp-dir", tempDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File isn't large enough (file size : 410 lines, expected size : at least 411 lines)\n");

    test::WriteFile(dir / "missing.txt", "0 1 2\n1 0 3\n2\n\n");
    r = test::RunCli({"matrices", (dir / "missing.txt").string(), "--size", "3", "--temp-dir", tempDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error at line 3 (column 2)\n");

    // A bad value in the second matrix, after the first was stored.
    test::WriteFile(dir / "word.txt", "0 1 2\n1 0 3\n2 3 0\n0 1 2\n1 0 3\n2 three 0\n");
    r = test::RunCli({"matrices", (dir / "word.txt").string(), "--size", "3", "--matrices", "2",
                      "--temp-dir", tempDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("'three'"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");

    r = test::RunCli({"matrices", (dir / "none.txt").string(), "--size", "3", "--temp-dir", tempDir});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir / "none.txt").string() +
                         " (No such file or directory)\n");

    // A missing temporary folder is named, with what chooses it.
    r = test::RunCli({"matrices", (dir / "word.txt").string(), "--size", "3", "--temp-dir",
                      (dir / "no-such-folder").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The temporary folder doesn't exist: " + (dir / "no-such-folder").string() +
                         "; choose another with --temp-dir DIR or the TMPDIR variable\n");
    r = test::RunCli({"matrices", (dir / "word.txt").string(), "--size", "3"},
                     {{"TMPDIR=" + (dir / "no-tmp").string()}, {}});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The temporary folder doesn't exist: " + (dir / "no-tmp").string() +
                         "; choose another with --temp-dir DIR or the TMPDIR variable\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "no-such-folder"));

    EXPECT_EQ(temp.FileCount(), 0u);
}

TEST(CliMatrices, CommandLineMistakesShowTheUsage)
{
    const std::string file = kExamples + "/distances.txt";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"matrices", file},
             {"matrices", file, "--size", "1"},
             {"matrices", file, "--size", "40", "--gap", "-1"},
             {"matrices", file, "--size", "40", "--square"}}) {
        const auto r = test::RunCli(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("usage: sundrel-cli"), std::string::npos);
    }
}

} // namespace
