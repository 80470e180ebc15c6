#include "monmonier/CountsFile.h"

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace sundrel {
namespace {

CountsFile Part(std::int64_t from, std::int64_t to, std::vector<EdgeCount> edges)
{
    CountsFile c;
    c.header.mapDigest = "0123456789abcdef";
    c.header.dataDigest = "fedcba9876543210";
    c.header.source = "matrices";
    c.header.options = "--size 5 --matrices 10";
    c.header.distance = "imported";
    c.header.resampling = "none";
    c.header.replicates = 10;
    c.header.sundrels = 2;
    c.header.selection = "1,2,3,4,5,6,7,8,9,>9";
    c.header.populations = 5;
    c.header.name = "back\\slash\nand line";
    c.ranges = {{from, to}};
    c.edges = std::move(edges);
    return c;
}

std::string Failure(const std::string& text)
{
    try {
        ParseCounts(text, "p.counts");
    } catch (const Error& e) {
        return e.what();
    }
    return "accepted";
}

TEST(CountsFile, ReadsBackWhatItWritesByteForByte)
{
    const CountsFile c = Part(3, 7, {{4, 1, 5}, {4, 0, 2}, {2, 1, 1}});
    const std::string text = FormatCounts(c);
    EXPECT_NE(text.find("name back\\\\slash\\nand line\n"), std::string::npos) << text;
    EXPECT_NE(text.find("range 3-7\nedge 5 2 5\nedge 5 1 2\nedge 3 2 1\nend 3\n"), std::string::npos);
    const CountsFile back = ParseCounts(text, "p.counts");
    EXPECT_EQ(back.header, c.header);
    EXPECT_EQ(back.edges, c.edges);
    EXPECT_EQ(FormatCounts(back), text);
}

// A part cut, edited by hand or from another version is refused with the
// file, the line and the reason.
TEST(CountsFile, RefusesDamagedFilesNamingFileLineAndReason)
{
    const std::string good = FormatCounts(Part(1, 4, {{4, 1, 4}, {3, 2, 1}}));
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    EXPECT_EQ(Failure(good), "accepted");
    EXPECT_EQ(Failure("distance matrices\n"),
              "p.counts is not a counts file (its first line is not \"sundrel counts 1\")");
    EXPECT_NE(Failure(replaced("counts 1", "counts 2")).find("another version"), std::string::npos);
    EXPECT_EQ(Failure(good.substr(0, good.size() - 6)),
              "p.counts has no end line: the file is incomplete (a piece stopped while writing it?)");
    EXPECT_EQ(Failure(good.substr(0, good.size() - 1)),
              "p.counts, line 17: the file ends inside this line: it is incomplete (a piece stopped "
              "while writing it?)");
    EXPECT_EQ(Failure(good.substr(0, 40)).rfind("p.counts, line 3: the file ends inside", 0), 0u);
    EXPECT_EQ(Failure(replaced("end 2", "end 3")),
              "p.counts, line 17: the end line \"end 3\" does not match the 2 edge lines before it");
    EXPECT_EQ(Failure(good + "edge 2 1 1\n"), "p.counts, line 18: text follows the end line");
    EXPECT_EQ(Failure(replaced("edge 5 2 4", "edge 5 2 5")),
              "p.counts, line 15: the count 5 is not from 1 to the 4 replicates counted");
    EXPECT_EQ(Failure(replaced("edge 5 2 4", "edge 6 2 4")),
              "p.counts, line 15: the edge 6 2 is not a pair I > J of the 5 populations");
    EXPECT_EQ(Failure(replaced("edge 5 2 4", "edge 2 5 4")),
              "p.counts, line 15: the edge 2 5 is not a pair I > J of the 5 populations");
    EXPECT_EQ(Failure(replaced("edge 4 3 1", "edge 5 2 1")),
              "p.counts, line 16: the edge 5 2 is out of order (edges go in descending order, once each)");
    EXPECT_EQ(Failure(replaced("edge 4 3 1", "edge 4 3 -1")),
              "p.counts, line 16: \"edge 4 3 -1\" is not an edge line (edge I J COUNT)");
    EXPECT_EQ(Failure(replaced("range 1-4", "range 8-11")),
              "p.counts, line 14: the range \"8-11\" is not ascending ranges within 1-10");
    EXPECT_EQ(Failure(replaced("seed 0\n", "")),
              "p.counts, line 8: the seed line was expected, not \"replicates 10\"");
    EXPECT_EQ(Failure(replaced("map 0123456789abcdef", "map 0123")),
              "p.counts, line 2: the map digest \"0123\" is not 16 hexadecimal digits");
}

// However the replicates are cut and whatever the order of the parts, the
// merge gives the file of one run.
TEST(CountsFile, MergeOfAnyCutInAnyOrderIsTheWholeRun)
{
    const CountsFile whole = Part(1, 10, {{4, 3, 10}, {4, 1, 7}, {3, 0, 2}, {1, 0, 1}});
    // Per replicate, which edges a run counted (summing to `whole`).
    const auto piece = [](std::int64_t from, std::int64_t to) {
        std::vector<EdgeCount> edges;
        const auto n = to - from + 1;
        const std::int64_t c7 = std::min<std::int64_t>(to, 7) - std::min<std::int64_t>(from - 1, 7);
        const std::int64_t c2 = (from <= 2 && to >= 2) + (from <= 9 && to >= 9);
        const std::int64_t c1 = from <= 5 && to >= 5;
        edges.push_back({4, 3, n});
        if (c7 > 0)
            edges.push_back({4, 1, c7});
        if (c2 > 0)
            edges.push_back({3, 0, c2});
        if (c1 > 0)
            edges.push_back({1, 0, c1});
        return Part(from, to, edges);
    };
    std::mt19937 random(5);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::int64_t> cuts{0, 10};
        for (int k = 0; k < round % 5; ++k)
            cuts.push_back(1 + static_cast<std::int64_t>(random() % 9));
        std::sort(cuts.begin(), cuts.end());
        cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
        std::vector<CountsPart> parts;
        for (std::size_t k = 1; k < cuts.size(); ++k)
            parts.push_back({"p" + std::to_string(k), piece(cuts[k - 1] + 1, cuts[k])});
        std::shuffle(parts.begin(), parts.end(), random);
        EXPECT_EQ(FormatCounts(MergeCounts(parts, false)), FormatCounts(whole)) << round;
    }
    // A partial merge merged again with the rest is the whole run too.
    const CountsFile gappy = MergeCounts({{"a", piece(1, 2)}, {"c", piece(8, 10)}}, true);
    EXPECT_EQ(FormatRanges(gappy.ranges), "1-2,8-10");
    EXPECT_FALSE(gappy.complete());
    const CountsFile again = ParseCounts(FormatCounts(gappy), "gappy");
    EXPECT_EQ(FormatCounts(MergeCounts({{"b", piece(3, 7)}, {"gappy", again}}, false)),
              FormatCounts(whole));
}

TEST(CountsFile, MergeRefusesPartsOfOtherTestsOverlapsAndGaps)
{
    const auto failure = [](const std::vector<CountsPart>& parts, bool partial = false) {
        try {
            MergeCounts(parts, partial);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("merged");
    };
    CountsFile otherSeed = Part(6, 10, {});
    otherSeed.header.seed = 8;
    EXPECT_EQ(failure({{"a.counts", Part(1, 5, {})}, {"b.counts", otherSeed}}),
              "The counts files a.counts and b.counts differ in seed (0 and 8): they are not "
              "pieces of the same test");
    CountsFile otherMap = Part(6, 10, {});
    otherMap.header.mapDigest = "1111111111111111";
    EXPECT_NE(failure({{"a.counts", Part(1, 5, {})}, {"b.counts", otherMap}}).find("differ in map"),
              std::string::npos);
    EXPECT_EQ(failure({{"a.counts", Part(1, 6, {})}, {"b.counts", Part(5, 10, {})}}),
              "The counts files a.counts (replicates 1-6) and b.counts (replicates 5-10) overlap: "
              "replicates 5-6 would count twice");
    EXPECT_EQ(failure({{"a.counts", Part(2, 3, {})}, {"b.counts", Part(6, 8, {})}}),
              "The counts files miss replicates 1-1,4-5,9-10 of 1-10 (--partial merges them all the same)");
    EXPECT_EQ(failure({{"a.counts", Part(2, 3, {})}, {"b.counts", Part(6, 8, {})}}, true), "merged");
}

TEST(CountsFile, PiecesCoverTheReplicatesInBalancedRanges)
{
    for (std::int64_t m : {1, 7, 10, 100, 10000})
        for (std::int64_t n = 1; n <= std::min<std::int64_t>(m, 13); ++n) {
            std::int64_t next = 1;
            for (std::int64_t i = 1; i <= n; ++i) {
                const ReplicateRange r = PieceRange(i, n, m);
                EXPECT_EQ(r.from, next);
                EXPECT_GE(r.size(), m / n);
                EXPECT_LE(r.size(), m / n + 1);
                next = r.to + 1;
            }
            EXPECT_EQ(next, m + 1);
        }
}

TEST(CountsFile, DigestDoesNotDependOnHowTheBytesArrive)
{
    std::string bytes(1000, '\0');
    for (std::size_t k = 0; k < bytes.size(); ++k)
        bytes[k] = static_cast<char>(k * 7 + 3);
    Digest whole;
    whole.add(bytes.data(), bytes.size());
    for (std::size_t step : {1, 5, 31, 32, 33, 999}) {
        Digest pieces;
        for (std::size_t at = 0; at < bytes.size(); at += step)
            pieces.add(bytes.data() + at, std::min(step, bytes.size() - at));
        EXPECT_EQ(pieces.text(), whole.text()) << step;
    }
    // One byte changed, or a byte more, changes the digest.
    for (std::size_t at : {0, 500, 999}) {
        std::string changed = bytes;
        changed[at] ^= 1;
        Digest d;
        d.add(changed.data(), changed.size());
        EXPECT_NE(d.text(), whole.text());
    }
    Digest longer;
    longer.add((bytes + std::string(1, '\0')).data(), bytes.size() + 1);
    EXPECT_NE(longer.text(), whole.text());
}

TEST(CountsFile, TracesMergeInAnyOrderIntoOneReport)
{
    const std::string heading = "**** head\r\nparams\r\nM 3\r\nK 1\r\n";
    const auto trace = [&](std::int64_t from, std::int64_t to, const std::string& body) {
        return TraceFirstLine({from, to}, 3, 4) + "\r\n" + heading + body;
    };
    const std::string one = trace(1, 1, "\r\nmatrix 1\r\n");
    const std::string two = trace(2, 3, "\r\nmatrix 2\r\n\r\nmatrix 3\r\n");
    EXPECT_EQ(MergeTraces({{"b", two}, {"a", one}}, false),
              heading + "\r\nmatrix 1\r\n\r\nmatrix 2\r\n\r\nmatrix 3\r\n");
    const auto failure = [](const std::vector<TracePart>& parts) {
        try {
            MergeTraces(parts, false);
        } catch (const Error& e) {
            return std::string(e.what());
        }
        return std::string("merged");
    };
    EXPECT_EQ(failure({{"a", one}}),
              "The reports miss replicates 2-3 of 1-3 (--partial merges them all the same)");
    EXPECT_EQ(failure({{"a", one}, {"x", "**** head\r\n"}}),
              "x is not the report of a piece (its first line is not \"sundrel trace 1 range "
              "FROM-TO of M heading H\")");
    std::string renamed = two;
    renamed.replace(renamed.find("**** head"), 9, "**** HEAD");
    EXPECT_EQ(failure({{"a", one}, {"b", renamed}}),
              "The reports a and b have different headings: they are not pieces of the same test");
    EXPECT_EQ(failure({{"a", one}, {"b", two.substr(0, two.size() - 1)}}),
              "b ends inside a line: the file is incomplete");
}

} // namespace
} // namespace sundrel
