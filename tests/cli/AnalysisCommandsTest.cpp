#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

// The example study: the map, a single run on the observed distances and a
// significance test on the resampled ones, in one sundrel document.
class CliStudy : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::RunCli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o",
                                (dir_ / "map.dvt").string()})
                      .status,
                  0);
    }

    test::CliResult Single(const std::string& output, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"analyse", (dir_ / "map.dvt").string(),
                                      kExamples + "/distances.txt", "-o", output, "--sundrels", "3"};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::RunCli(args);
    }

    test::TempDir dir_{"cli-study"};
};

TEST_F(CliStudy, SingleRunThenSignificanceTestInOneDocument)
{
    const std::string doc = (dir_ / "study.dvk").string();
    auto r = Single(doc, {"--report", (dir_ / "single.txt").string(), "--labels", "roman"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Layer 0 \"distances\": single run, 1 matrix of 40 populations, 3 sundrels"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("sundrel 1 i:"), std::string::npos) << r.out;

    r = test::RunCli({"analyse", doc, kExamples + "/resampled.txt", "--matrices", "10", "--gap", "1",
                      "--sundrels", "2", "--name", "bootstrap", "--select", "1", "-o", doc});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Layer 1 \"bootstrap\": significance test, 10 matrices"), std::string::npos)
        << r.out;

    r = test::RunCli({"info", doc});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("kind: sundrel"), std::string::npos);
    EXPECT_NE(r.out.find("layer 0 \"distances\": single run, N 40, M 1, K 3"), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("layer 1 \"bootstrap\": significance test, N 40, M 10, K 2, selection 1,"),
              std::string::npos)
        << r.out;
    r = test::RunCli({"info", doc, "--json"});
    EXPECT_NE(r.out.find("\"kind\": \"significance\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"drawOrder\": [0, 1]"), std::string::npos) << r.out;

    // The report file is Windows-1252 text: the degree sign is one byte.
    const std::string single = test::ReadFile(dir_ / "single.txt");
    EXPECT_EQ(single.rfind("**** Creating single monmonier layer \"distances\" ****\r\n", 0), 0u);
    EXPECT_NE(single.find("**** Loading distance matrix n\xB0 1\r\n"), std::string::npos);

    // Recomputed from the stored matrices, the report is the same.
    r = test::RunCli({"report", doc, "--layer", "0", "-o", (dir_ / "again.txt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFile(dir_ / "again.txt"), single);
    // On screen it is UTF-8.
    r = test::RunCli({"report", doc, "--layer", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("**** Creating multiple monmonier layer name \"bootstrap\" ****\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("matrix n\xC2\xB0 10\n"), std::string::npos);
    r = test::RunCli({"report", doc, "--layer", "2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "The document has no layer 2 (it holds 2)\n");
    // Only a triangulation document can be edited.
    r = test::RunCli({"edit", doc, "-o", (dir_ / "edited.dvt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "edit works on triangulation documents (.dvt)\n");
}

TEST_F(CliStudy, BarriersListSegmentsAndCounts)
{
    const std::string doc = (dir_ / "b.dvk").string();
    ASSERT_EQ(Single(doc).status, 0);
    ASSERT_EQ(test::RunCli({"analyse", doc, kExamples + "/resampled.txt", "--matrices", "10", "--gap",
                            "1", "-o", doc})
                  .status,
              0);
    auto r = test::RunCli({"barriers", doc});
    ASSERT_EQ(r.status, 0) << r.err;
    std::istringstream csv(r.out);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, "layer,name,kind,rank,label,i,j,value");
    int single = 0, counted = 0;
    while (std::getline(csv, line)) {
        if (line.rfind("0,distances,single,", 0) == 0) {
            ++single;
            // i is the larger population number; the value reads back exactly.
            int rank, i, j;
            char label;
            double value;
            ASSERT_EQ(std::sscanf(line.c_str(), "0,distances,single,%d,%c,%d,%d,%lf", &rank, &label,
                                  &i, &j, &value),
                      5)
                << line;
            EXPECT_GT(i, j);
            EXPECT_EQ(label, 'a' + rank - 1);
        } else if (line.rfind("1,resampled,significance,,,", 0) == 0) {
            ++counted;
        } else {
            ADD_FAILURE() << line;
        }
    }
    EXPECT_GT(single, 3);
    EXPECT_GT(counted, 3);

    r = test::RunCli({"barriers", doc, "--layer", "0", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"kind\": \"single\""), std::string::npos);
    EXPECT_NE(r.out.find("\"ends\": ["), std::string::npos);
    EXPECT_EQ(r.out.find("significance"), std::string::npos);
}

TEST_F(CliStudy, MistakesAndFailuresLeaveNoDocument)
{
    const auto out = dir_ / "bad.dvk";
    // Matrices of another size than the map's.
    std::string small;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j)
            small += std::to_string(i == j ? 0 : 1 + i + j) + " ";
        small += "\n";
    }
    test::WriteFile(dir_ / "small.txt", small);
    auto r = test::RunCli({"analyse", (dir_ / "map.dvt").string(), (dir_ / "small.txt").string(),
                           "--size", "5", "-o", out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error : incompatible matrix size (expected size : 40 x 40)\n");
    // Too short for the map's 40 populations.
    r = test::RunCli({"analyse", (dir_ / "map.dvt").string(), (dir_ / "small.txt").string(), "-o",
                      out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("File isn't large enough (file size : 6 lines", 0), 0u) << r.err;
    r = test::RunCli({"analyse", (dir_ / "map.dvt").string(), kExamples + "/distances.txt", "-o",
                      out.string(), "--labels", "greek"});
    EXPECT_EQ(r.status, 2);
    r = test::RunCli({"analyse", (dir_ / "map.dvt").string(), kExamples + "/distances.txt", "-o",
                      out.string(), "--select", "0"});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(std::filesystem::exists(out));

    // K beyond the start segments: the command succeeds, the report shows
    // where the matrix stopped.
    r = Single((dir_ / "many.dvk").string(), {"--sundrels", "999"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("none (no start segment left)"), std::string::npos);

    // A damaged document gives the reading message and writes nothing.
    const std::string doc = (dir_ / "ok.dvk").string();
    ASSERT_EQ(Single(doc).status, 0);
    std::string bytes = test::ReadFile(doc);
    bytes[280] = 'X';
    test::WriteFile(dir_ / "damaged.dvk", bytes);
    r = test::RunCli({"analyse", (dir_ / "damaged.dvk").string(), kExamples + "/distances.txt", "-o",
                      out.string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("An error occured while reading file :\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Error : Unrecognized monmonier header\nMonmonier data will be ignored."),
              std::string::npos)
        << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
