#include "support/CliRunner.h"

#include <gtest/gtest.h>

namespace {

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

// The example study's significance test on ten resampled matrices, run once
// into a document and in pieces into counts files.
class CliCounts : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(test::RunCli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o", Path("map.dvt")})
                      .status,
                  0);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    test::CliResult Piece(std::vector<std::string> extra, const std::string& matrices = "")
    {
        std::vector<std::string> args{"analyse", Path("map.dvt"),
                                      matrices.empty() ? kExamples + "/resampled.txt" : matrices,
                                      "--matrices", "10", "--gap", "1", "--sundrels", "3", "--select", "1,2"};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::RunCli(args);
    }

    test::TempDir dir_{"cli-counts"};
};

TEST_F(CliCounts, PiecesMergedGiveTheCountsReportAndResultsOfOneRun)
{
    // One run into a document and into counts.
    auto r = Piece({"-o", Path("one.dvk")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Piece({"--counts", Path("all.counts")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Replicates 1-10 of 10 of \"resampled\""), std::string::npos) << r.out;
    const std::string all = test::ReadFile(Path("all.counts"));
    EXPECT_EQ(all.rfind("sundrel counts 1\nmap ", 0), 0u);
    EXPECT_NE(all.find("\nselection 1,2\npopulations 40\nname resampled\nrange 1-10\nedge "), std::string::npos);

    // Two cuts, merged in scrambled orders: the same bytes as the one run.
    for (const std::vector<std::string>& cut :
         {std::vector<std::string>{"--piece", "3/3", "--piece", "1/3", "--piece", "2/3"},
          std::vector<std::string>{"--replicates", "8-10", "--replicates", "1-1", "--replicates", "2-7"}}) {
        std::vector<std::string> merge{"merge"}, traces{"--reports"};
        for (std::size_t k = 0; k < cut.size(); k += 2) {
            const std::string part = Path("p" + std::to_string(k) + ".counts");
            const std::string trace = Path("p" + std::to_string(k) + ".trace");
            r = Piece({cut[k], cut[k + 1], "--counts", part, "--report", trace});
            ASSERT_EQ(r.status, 0) << r.err;
            merge.push_back(part);
            traces.insert(traces.begin() + 1, trace);
        }
        merge.insert(merge.end(), {"-o", Path("merged.counts"), "--report", Path("merged.txt")});
        merge.insert(merge.end(), traces.begin(), traces.end());
        r = test::RunCli(merge);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "3 parts merged: replicates 1-10 of 10, " +
                             std::to_string(std::count(all.begin(), all.end(), '\n') - 15) +
                             " edges counted\n");
        EXPECT_EQ(test::ReadFile(Path("merged.counts")), all);
        ASSERT_EQ(test::RunCli({"report", Path("one.dvk"), "-o", Path("one.txt")}).status, 0);
        EXPECT_EQ(test::ReadFile(Path("merged.txt")), test::ReadFile(Path("one.txt")));
    }

    // The results from the merged counts and the map are those of the document.
    for (const std::vector<std::string>& format :
         {std::vector<std::string>{}, std::vector<std::string>{"--format", "json"}}) {
        std::vector<std::string> fromDoc{"barriers", Path("one.dvk")};
        std::vector<std::string> fromCounts{"barriers", Path("map.dvt"), "--counts", Path("merged.counts")};
        fromDoc.insert(fromDoc.end(), format.begin(), format.end());
        fromCounts.insert(fromCounts.end(), format.begin(), format.end());
        const auto a = test::RunCli(fromDoc);
        const auto b = test::RunCli(fromCounts);
        ASSERT_EQ(b.status, 0) << b.err;
        // JSON names the document it read first.
        EXPECT_EQ(a.out.substr(a.out.find("layer")), b.out.substr(b.out.find("layer")));
    }
    ASSERT_EQ(test::RunCli({"export", Path("one.dvk"), "-o", Path("one.png")}).status, 0);
    r = test::RunCli({"export", Path("map.dvt"), "--counts", Path("merged.counts"), "-o", Path("counts.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::ReadFile(Path("counts.png")), test::ReadFile(Path("one.png")));

    // A document holding the map takes the counts after its own layers.
    r = test::RunCli({"barriers", Path("one.dvk"), "--counts", Path("merged.counts"), "--layer", "1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n1,resampled,significance,,,"), std::string::npos) << r.out;
}

// A piece converts only the lines of its matrices: a damaged matrix before
// its range does not stop it, and the piece that holds it fails.
TEST_F(CliCounts, PieceReadsOnlyTheLinesOfItsRange)
{
    std::string text = test::ReadFile(kExamples + "/resampled.txt");
    text.replace(text.find('\n') + 1, 4, "oops");
    test::WriteFile(Path("damaged.txt"), text);
    auto r = Piece({"--piece", "2/2", "--counts", Path("late.counts")}, Path("damaged.txt"));
    EXPECT_EQ(r.status, 0) << r.err;
    r = Piece({"--piece", "1/2", "--counts", Path("early.counts")}, Path("damaged.txt"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("oops"), std::string::npos) << r.err;
}

TEST_F(CliCounts, RefusalsLeaveNoFileBehind)
{
    const auto refused = [&](const test::CliResult& r, int status, const std::string& message) {
        EXPECT_EQ(r.status, status) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    };
    refused(Piece({"--piece", "0/4", "--counts", Path("x.counts")}), 2, "--piece I must be a whole number from 1 to 4, not '0'");
    refused(Piece({"--piece", "5/4", "--counts", Path("x.counts")}), 2, "--piece I must be a whole number from 1 to 4, not '5'");
    refused(Piece({"--piece", "1/11", "--counts", Path("x.counts")}), 2, "--piece N must be a whole number from 1 to 10");
    refused(Piece({"--replicates", "9-12", "--counts", Path("x.counts")}), 2, "--replicates must lie within 1-10, not 9-12");
    refused(Piece({"--piece", "1/2"}), 2, "write a counts file: --counts FILE");
    refused(Piece({"--counts", Path("x.counts"), "-o", Path("x.dvk")}), 2, "either a document (-o) or counts (--counts)");
    refused(Piece({"--counts", Path("x.txt")}), 2, "x.txt");

    ASSERT_EQ(Piece({"--piece", "1/2", "--counts", Path("a.counts")}).status, 0);
    ASSERT_EQ(Piece({"--piece", "2/2", "--counts", Path("b.counts")}).status, 0);
    refused(test::RunCli({"merge", Path("a.counts"), Path("b.counts"), "-o", Path("a.counts")}), 1,
            "The output " + Path("a.counts") + " is one of the files merged");
    refused(test::RunCli({"merge", Path("a.counts"), "-o", Path("m.counts")}), 1,
            "The counts files miss replicates 6-10 of 1-10 (--partial merges them all the same)");
    refused(test::RunCli({"merge", Path("a.counts"), Path("a.counts"), "-o", Path("m.counts")}), 1, "overlap");
    // A part killed mid-write (its end line lost).
    const std::string b = test::ReadFile(Path("b.counts"));
    test::WriteFile(Path("cut.counts"), b.substr(0, b.rfind("end")));
    refused(test::RunCli({"merge", Path("a.counts"), Path("cut.counts"), "-o", Path("m.counts")}), 1,
            Path("cut.counts") + " has no end line: the file is incomplete");
    // Counts on another map.
    ASSERT_EQ(test::RunCli({"edit", Path("map.dvt"), "--add", "1,1", "-o", Path("other.dvt")}).status, 0);
    refused(test::RunCli({"barriers", Path("other.dvt"), "--counts", Path("a.counts")}), 1,
            "The counts file " + Path("a.counts") + " was made on another map");
    refused(test::RunCli({"export", Path("other.dvt"), "--counts", Path("a.counts"), "-o", Path("m.png")}), 1,
            "was made on another map");
    // --partial merges what there is, and the results say what is missing.
    auto r = test::RunCli({"merge", Path("a.counts"), "--partial", "-o", Path("m.counts")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunCli({"barriers", Path("map.dvt"), "--counts", Path("m.counts")});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.err.find("counts replicates 1-5 of 1-10 only"), std::string::npos) << r.err;

    EXPECT_EQ(dir_.FileCount(), 6u); // map, other, a, b, cut, m
}

// The pieces of a bootstrap over genotypes compute only their replicates and
// add up to the significance layer `analyse --genotypes` makes.
TEST_F(CliCounts, GenotypePiecesAddUpToTheBootstrapLayer)
{
    ASSERT_EQ(test::RunCli({"map", kExamples + "/nancycats-sites.txt", "--first-line", "2", "-o", Path("cats.dvt")})
                  .status,
              0);
    const std::vector<std::string> run{"analyse", Path("cats.dvt"), "--genotypes", kExamples + "/nancycats.gen",
                                       "--bootstrap", "6", "--seed", "7", "--sundrels", "2"};
    auto args = run;
    args.insert(args.end(), {"-o", Path("cats.dvk")});
    ASSERT_EQ(test::RunCli(args).status, 0);
    std::vector<std::string> merge{"merge"};
    for (const char* piece : {"2/2", "1/2"}) {
        args = run;
        const std::string part = Path(std::string("cats") + piece[0] + ".counts");
        args.insert(args.end(), {"--piece", piece, "--counts", part});
        const auto r = test::RunCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        merge.push_back(part);
    }
    merge.insert(merge.end(), {"-o", Path("cats.counts")});
    ASSERT_EQ(test::RunCli(merge).status, 0);
    const std::string counts = test::ReadFile(Path("cats.counts"));
    EXPECT_NE(counts.find("\nsource genotypes\n"), std::string::npos);
    EXPECT_NE(counts.find("\ndistance nei\nresampling loci\nseed 7\nreplicates 6\n"), std::string::npos) << counts;
    const auto a = test::RunCli({"barriers", Path("cats.dvk"), "--layer", "1"});
    const auto b = test::RunCli({"barriers", Path("cats.dvt"), "--counts", Path("cats.counts")});
    ASSERT_EQ(b.status, 0) << b.err;
    // The same rows but for the layer index (the document's observed layer is 0).
    const auto rows = [](const std::string& csv) {
        std::string out;
        for (std::size_t at = csv.find('\n') + 1; at < csv.size(); at = csv.find('\n', at) + 1)
            out += csv.substr(csv.find(',', at), csv.find('\n', at) - csv.find(',', at) + 1);
        return out;
    };
    EXPECT_FALSE(rows(a.out).empty());
    EXPECT_EQ(rows(a.out), rows(b.out));
}

} // namespace
