// Layer computation: K sundrels for each of M matrices, the report's
// structure, labels, selection and per-edge counts, progress, recomputation
// and cancelling.

#include "common/Errors.h"
#include "monmonier/Messages.h"
#include "monmonier/SundrelFixture.h"
#include "support/RecordingNotifier.h"

#include <set>

using namespace sundrel;
using test::Seg;

namespace {

const std::string kDeg = "\xC2\xB0";

std::string RankLine(int rank, int matrix)
{
    return "**** Constructing sundrel n" + kDeg + " " + std::to_string(rank) +
           " -- layer \"test\"  -- matrix n" + kDeg + " " + std::to_string(matrix);
}

std::vector<std::intptr_t> Range(std::intptr_t from, std::intptr_t to)
{
    std::vector<std::intptr_t> v;
    for (auto x = from; x <= to; ++x)
        v.push_back(x);
    return v;
}

// The count list expected when each of the given sundrels is counted.
std::vector<SundrelElement> Counts(const std::vector<std::vector<Seg>>& sundrels)
{
    std::map<Seg, double, std::greater<Seg>> counts;
    for (const auto& s : sundrels)
        for (const Seg& e : s)
            counts[e] += 1;
    std::vector<SundrelElement> list;
    for (const auto& [e, c] : counts)
        list.push_back({e.first, e.second, c});
    return list;
}

std::vector<std::vector<Seg>> AllSegs(const SundrelMonmonier& layer)
{
    std::vector<std::vector<Seg>> all;
    for (int m = 0; m < layer.matrixCount(); ++m)
        for (const auto& s : layer.sundrels(m))
            all.push_back(test::Segs(*s));
    return all;
}

std::vector<double> Smooth(int n)
{
    return test::MatrixOf(n, [](int i, int j) { return 1.0 + 0.01 * PairIndex(i, j); });
}

} // namespace

using SundrelLayerTest = test::SundrelFixture;

TEST_F(SundrelLayerTest, NoSundrelsGivesTheHeaderAndOneBlockPerMatrix)
{
    Map(test::ShearedGrid(3, 2));
    RecordingNotifier progress;
    auto layer = Layer({Smooth(n), Smooth(n)}, true, &progress);
    EXPECT_EQ(progress.lParams(WM_PROGRESS_STEP).size(), 4u); // before and after each sort
    layer->compute(0);
    EXPECT_EQ(layer->report(),
              (Report{"**** Creating multiple monmonier layer name \"test\" ****", "**** Parameters :",
                      "**** matrix count : 2", "**** sundrel count : 0", "",
                      "**** Loading distance matrix n" + kDeg + " 1", "",
                      "**** Loading distance matrix n" + kDeg + " 2"}));
    EXPECT_TRUE(progress.lParams(WM_PROGRESS_POSITION).empty());
    EXPECT_EQ(progress.lParams(WM_PROGRESS_SHOW).size(), 1u);
}

// A 3 x 2 grid has 9 neighbour pairs: asking for 20 sundrels uses every pair
// exactly once, ends each matrix quietly at the first rank without a start,
// and leaves the next matrix as if computed alone.
TEST_F(SundrelLayerTest, RunningOutOfStartSegmentsEndsOnlyThatMatrix)
{
    Map(test::ShearedGrid(3, 2));
    std::multiset<Seg> neighbours;
    for (int p = 0; p < n; ++p)
        for (int q : map->cells[p].neighbours)
            if (q > p)
                neighbours.insert({q, p});
    const auto second =
        test::MatrixOf(n, [](int i, int j) { return 1.0 + 0.01 * ((PairIndex(i, j) * 7) % 15); });
    const int k = 20;
    RecordingNotifier progress;
    auto layer = Layer({Smooth(n), second}, true, &progress);
    int redraws = 0;
    layer->onRedrawRequest = [&] { ++redraws; };
    ASSERT_NO_THROW(layer->compute(k));

    std::vector<std::intptr_t> positions;
    const Report report = layer->report();
    for (int m = 0; m < 2; ++m) {
        const auto row = layer->sundrels(m);
        int built = 0;
        while (built < k && row[built]->elementCount() > 0)
            ++built;
        std::multiset<Seg> covered;
        for (int s = 0; s < k; ++s)
            for (const Seg& e : test::Segs(*row[s]))
                covered.insert(e);
        EXPECT_EQ(covered, neighbours) << "matrix " << m + 1;
        for (int s = 1; s <= built; ++s)
            positions.push_back(std::intptr_t(k) * m + s);
        // The failing rank's line ends the matrix's part of the report.
        const Report rest = test::From(report, RankLine(built + 1, m + 1));
        ASSERT_GE(rest.size(), 1u);
        const Report next = m == 0 ? Report{"", "**** Loading distance matrix n" + kDeg + " 2"} : Report{};
        EXPECT_EQ(Report(rest.begin() + 1, rest.begin() + std::min<std::size_t>(rest.size(), 3)), next);
    }
    EXPECT_EQ(progress.lParams(WM_PROGRESS_POSITION), positions);
    EXPECT_EQ(redraws, 2);

    auto alone = Layer({second});
    alone->compute(k);
    const auto both = AllSegs(*layer);
    EXPECT_EQ(AllSegs(*alone), std::vector(both.begin() + k, both.end()));
}

TEST_F(SundrelLayerTest, LayersOfOneMatrixGetLabelsUpToRank26)
{
    Map(test::ShearedGrid(3, 2));
    const std::vector<std::vector<std::string>> expected = {
        {"a", "d", "i", "n", "z", ""}, {"1", "4", "9", "14", "26", ""}, {"i", "iv", "ix", "xiv", "xxvi", ""}};
    for (int style = 0; style < 3; ++style) {
        auto layer = Layer({Smooth(n)}, style == 2); // the kind of layer does not matter
        layer->labelStyle = style;
        layer->compute(30);
        int r = 0;
        for (int rank : {1, 4, 9, 14, 26, 27})
            EXPECT_EQ(layer->sundrels(0)[rank - 1]->label, expected[style][r++]) << style << " " << rank;
    }
    auto two = Layer({Smooth(n), Smooth(n)}, true);
    two->compute(3);
    for (int m = 0; m < 2; ++m)
        for (const auto& s : two->sundrels(m))
            EXPECT_EQ(s->label, "");
}

// Matrices 1 and 2 have the vertical barrier dominant, matrix 3 the
// horizontal one. Ranks 1 to 3 give, for matrices 1 and 2: the vertical
// barrier, the left part of the horizontal one, its right part; for matrix 3:
// the horizontal barrier, the lower part of the vertical one, its upper part.
TEST_F(SundrelLayerTest, CountsAddUpTheSelectedRanksOverMatrices)
{
    using namespace test;
    Map(ShearedGrid(6, 5));
    RecordingNotifier progress;
    auto layer = Layer({CrossingMatrix(100, 10), CrossingMatrix(100, 10), CrossingMatrix(10, 100)},
                       true, &progress);
    layer->compute(3);
    EXPECT_EQ(progress.lParams(WM_PROGRESS_POSITION), Range(1, 9));
    EXPECT_EQ(progress.lParams(WM_PROGRESS_STEP).size(), 6u);

    std::vector<Seg> horizontal = kHorizontalLeft, vHigh(kVertical.begin(), kVertical.begin() + 5);
    horizontal.push_back({14, 9});
    horizontal.insert(horizontal.end(), kHorizontalRight.begin(), kHorizontalRight.end());
    const auto sorted = [](std::vector<Seg> v) {
        std::sort(v.begin(), v.end());
        return v;
    };
    const auto before = AllSegs(*layer);
    const std::vector<std::vector<Seg>> ranks = {kVertical,  kHorizontalLeft, kHorizontalRight,
                                                 kVertical,  kHorizontalLeft, kHorizontalRight,
                                                 horizontal, kVerticalLow,    vHigh};
    for (int s = 0; s < 9; ++s)
        EXPECT_EQ(sorted(before.at(s)), sorted(ranks[s])) << "sundrel " << s;
    // Each matrix covers both barriers once.
    EXPECT_EQ(layer->countList(), Counts(ranks));
    EXPECT_EQ(layer->countList().size(), 19u);
    EXPECT_EQ(layer->maxCount(), 3);

    // Without rank 3 the sundrels stay and the counts lose their segments.
    progress.clear();
    layer->toggleSelection(2);
    EXPECT_FALSE(layer->getSelection()[2]);
    EXPECT_EQ(AllSegs(*layer), before);
    EXPECT_EQ(layer->countList(), Counts({ranks[0], ranks[1], ranks[3], ranks[4], ranks[6], ranks[7]}));
    EXPECT_EQ(layer->maxCount(), 3);
    EXPECT_TRUE(progress.lParams(WM_PROGRESS_STEP).empty()); // sorted once only
    EXPECT_EQ(progress.lParams(WM_PROGRESS_POSITION), Range(1, 9));

    layer->toggleSelection(0);
    EXPECT_EQ(layer->countList(), Counts({ranks[1], ranks[4], ranks[7]}));
    EXPECT_EQ(layer->maxCount(), 2);

    // The tenth flag covers every rank from 10 on.
    layer->setSelection({true, true, true, true, true, true, true, true, true, false});
    layer->setSundrelCount(13);
    const auto all = AllSegs(*layer);
    ASSERT_FALSE(all[12].empty());
    std::vector<std::vector<Seg>> counted;
    for (int m = 0; m < 3; ++m)
        counted.insert(counted.end(), all.begin() + 13 * m, all.begin() + 13 * m + 9);
    EXPECT_EQ(layer->countList(), Counts(counted));
}

// A virtual point added on the vertical barrier changes the cells; the layer
// recomputed on the new tables equals a layer made afresh on the edited map.
TEST_F(SundrelLayerTest, RecomputingAfterAnEditEqualsAFreshLayer)
{
    Map(test::ShearedGrid(6, 5));
    const auto values = test::CrossingMatrix(100, 10);
    auto layer = Layer({values, values}, true);
    layer->compute(2);
    const Report before = layer->report();

    factory.AddVirtualPoint(*map, 3.4, 3.0);
    const PavingMatrix edited = BuildPavingMatrix(map->cells, n);
    layer->setMap(&map->cells, &edited);

    UsedBits freshUsed = MakeUsedBits(n);
    SundrelMonmonierMultiple fresh(2, n, &map->cells, Store({values, values}), &freshUsed, &edited);
    fresh.name = "test";
    fresh.compute(2);
    EXPECT_NE(layer->report(), before);
    EXPECT_EQ(layer->report(), fresh.report());
    EXPECT_EQ(AllSegs(*layer), AllSegs(fresh));
    EXPECT_EQ(layer->countList(), fresh.countList());
}

// Cancelled once sundrel 1 is done: sundrel 2 gets its start, reaches the
// map's edge at once, and its first successful step sees the request.
TEST_F(SundrelLayerTest, AbortRequestEndsTheComputationAfterTheNextStep)
{
    Map(test::ShearedGrid(6, 5));
    RecordingNotifier progress;
    progress.onMessage = [this](const RecordedMessage& m) {
        if (m.message == WM_PROGRESS_POSITION)
            cancel.cancel();
    };
    auto layer = Layer({test::CrossingMatrix(100, 10)}, false, &progress);
    int redraws = 0;
    layer->onRedrawRequest = [&] { ++redraws; };
    EXPECT_THROW(layer->compute(3), Abort);

    EXPECT_EQ(test::From(layer->report(), RankLine(2, 1)),
              (Report{RankLine(2, 1), " -- Beginning of sundrel --",
                      "->\tsegment : {  13,   7} distance : 10.042",
                      "# Constructing sundrel : first direction", "# Reached end of sundrel : stop",
                      "# Constructing sundrel : opposite direction",
                      "### Warning : computation aborted : STOP"}));
    const auto s = layer->sundrels(0);
    EXPECT_EQ(test::Segs(*s[1]), (std::vector<Seg>{{12, 6}}));
    EXPECT_EQ(s[2]->elementCount(), 0u);
    EXPECT_EQ(progress.lParams(WM_PROGRESS_POSITION), (std::vector<std::intptr_t>{1}));
    EXPECT_EQ(redraws, 0);
}

// The set-up window renames a layer and changes its labels while the worker
// computes it: each report line names one whole name, and the labels follow
// the last style asked for.
TEST_F(SundrelLayerTest, RenamingAndRelabellingWhileComputingIsSafe)
{
    Map(test::ShearedGrid(8, 7));
    auto layer = Layer({Smooth(n)});
    std::atomic<bool> done{false};
    std::thread computing([&] {
        for (int round = 0; round < 20; ++round)
            layer->compute(5);
        done = true;
    });
    for (int i = 0; !done; ++i) {
        layer->rename(i % 2 ? "first name" : "a second, longer name");
        layer->setLabelStyle(i % 3);
    }
    computing.join();
    for (const std::string& line : layer->report()) {
        if (line.find("name") != std::string::npos) {
            EXPECT_TRUE(line.find("first name") != std::string::npos ||
                        line.find("a second, longer name") != std::string::npos)
                << line;
        }
    }
    layer->setLabelStyle(2);
    EXPECT_EQ(layer->sundrels(0)[3]->label, "iv");
}
