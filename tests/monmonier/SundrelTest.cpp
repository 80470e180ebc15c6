// Sundrel construction on sheared grids with designed distances, where the
// expected sundrels follow from the geometry; and the quicksort that fixes
// the order of equal distances.

#include "monmonier/SundrelFixture.h"

#include <cmath>
#include <random>
#include <set>

using namespace sundrel;
using test::Ahead;
using test::Seg;

namespace {

// The quicksort as written: middle element as pivot, scans, swap, recursion
// on the left part, loop on the right part.
void ReferenceSort(std::vector<std::int32_t>& a, const std::vector<double>& d, long l, long r)
{
    const auto cmp = [](double x, double y) { return x < y ? -1 : (x > y ? 1 : 0); };
    long i, j;
    do {
        const double p = d[a[(l + r) / 2]];
        i = l;
        j = r;
        do {
            while (cmp(d[a[i]], p) < 0)
                ++i;
            while (cmp(d[a[j]], p) > 0)
                --j;
            if (i <= j)
                std::swap(a[i++], a[j--]);
        } while (i <= j);
        if (l < j)
            ReferenceSort(a, d, l, j);
        l = i;
    } while (i < r);
}

std::vector<std::int32_t> Reference(const std::vector<double>& d)
{
    std::vector<std::int32_t> a(d.size());
    for (std::size_t p = 0; p < a.size(); ++p)
        a[p] = static_cast<std::int32_t>(p);
    ReferenceSort(a, d, 0, static_cast<long>(a.size()) - 1);
    return a;
}

std::vector<std::int32_t> Sorted(const std::vector<double>& d)
{
    SMatrix m;
    m.assign(static_cast<int>(std::lround((1 + std::sqrt(1.0 + 8.0 * d.size())) / 2)), d);
    return SortedPermutation(m);
}

const std::string kDeg = "\xC2\xB0";

} // namespace

using SundrelTest = test::SundrelFixture;

TEST(SundrelSort, EqualDistancesComeOutInTheQuicksortsOrder)
{
    // Traced by hand.
    EXPECT_EQ(Sorted({1, 1, 1}), (std::vector<std::int32_t>{2, 1, 0}));
    EXPECT_EQ(Sorted({4, 4, 4, 4, 4, 4}), (std::vector<std::int32_t>{3, 4, 5, 0, 1, 2}));

    std::mt19937 random(7);
    std::vector<std::vector<double>> cases(4, std::vector<double>(45, 0.25));
    for (int p = 0; p < 45; ++p) {
        cases[0][p] = p;                // already sorted
        cases[1][p] = 45 - p;           // reversed
        cases[2][p] = std::abs(22 - p); // ties in pairs
    }
    // Few distinct values, and (past a million pairs) where the sort may split
    // its work.
    for (long pairs : {190L, 1225L, PairCount(1500)}) {
        cases.emplace_back(pairs);
        for (auto& v : cases.back())
            v = static_cast<double>(random() % 16);
    }
    for (const auto& d : cases)
        EXPECT_EQ(Sorted(d), Reference(d)) << d.size() << " pairs, first " << d[0];
}

// 4 x 3 grid, barrier between columns 1 and 2. Its five neighbour pairs carry
// large distances; the pairs across it that are not neighbours carry larger
// ones, which never start a sundrel.
TEST_F(SundrelTest, StraightBarrierIsFollowedToTheMapEdgeAndReported)
{
    Map(test::ShearedGrid(4, 3));
    const std::map<Seg, double> across = {
        {{6, 5}, 12.5}, {{9, 6}, 11.0626}, {{10, 9}, 8.4567}, {{5, 2}, 10.25}, {{2, 1}, 9.1234}};
    auto layer = Layer({test::MatrixOf(n, [](int i, int j) {
        return (i % 4 >= 2) == (j % 4 >= 2) ? 0.1 + 0.001 * PairIndex(i, j) : 20.0;
    }, across)});
    layer->name = "barrier";
    layer->compute(1);

    // From {6, 5}: the first direction climbs with ref = 6 on the right, the
    // opposite one descends with ref = 5 on the left.
    const auto s = layer->sundrels(0).at(0);
    EXPECT_EQ(test::Segs(*s), (std::vector<Seg>{{2, 1}, {5, 2}, {6, 5}, {9, 6}, {10, 9}}));
    EXPECT_EQ(s->firstEndRef(), 10);
    EXPECT_EQ(s->oppositeEndRef(), 1);
    EXPECT_EQ(layer->report(),
              (Report{"**** Creating single monmonier layer \"barrier\" ****",
                      "**** Parameters :",
                      "**** sundrel count : 1",
                      "",
                      "**** Loading distance matrix n" + kDeg + " 1",
                      "",
                      "**** Constructing sundrel n" + kDeg + " 1 -- layer \"barrier\"  -- matrix n" +
                          kDeg + " 1",
                      " -- Beginning of sundrel --",
                      "->\tsegment : {   7,   6} distance : 12.500",
                      "# Constructing sundrel : first direction",
                      "->\tsegment : {  10,   7} distance : 11.063",
                      "->\tsegment : {  11,  10} distance : 8.457",
                      "# Reached end of sundrel : stop",
                      "# Constructing sundrel : opposite direction",
                      "<-\tsegment : {   6,   3} distance : 10.250",
                      "<-\tsegment : {   3,   2} distance : 9.123",
                      "# Reached end of sundrel : stop",
                      " -- End of sundrel --"}));
}

// 6 x 5 grid, the vertical barrier dominant: sundrel 1 is all of it; sundrel
// 2 starts at the left edge of the horizontal one and stops where it meets
// sundrel 1; sundrel 3 takes the right part.
TEST_F(SundrelTest, LaterSundrelStopsWhereItMeetsAnEarlierOne)
{
    Map(test::ShearedGrid(6, 5));
    auto layer = Layer({test::CrossingMatrix(100, 10)});
    layer->compute(3);
    const auto s = layer->sundrels(0);
    EXPECT_EQ(test::Segs(*s[0]), test::kVertical);
    EXPECT_EQ(test::Segs(*s[1]), test::kHorizontalLeft);
    EXPECT_EQ(s[1]->firstEndRef(), 12);
    EXPECT_EQ(s[1]->oppositeEndRef(), 8);
    EXPECT_EQ(test::Segs(*s[2]), test::kHorizontalRight);

    const Report second = test::From(layer->report(), " -- End of sundrel --");
    ASSERT_GE(second.size(), 9u);
    EXPECT_EQ(Report(second.begin() + 4, second.begin() + 8),
              (Report{"->\tsegment : {  13,   7} distance : 10.042",
                      "# Constructing sundrel : first direction",
                      "# Reached end of sundrel : stop", // the map's edge
                      "# Constructing sundrel : opposite direction"}));
    const auto end = std::find(second.begin() + 1, second.end(), " -- End of sundrel --");
    EXPECT_EQ(end[-2], "<-\tsegment : {  15,   9} distance : 10.038");
    EXPECT_EQ(end[-1], "# Reached end of sundrel : stop"); // sundrel 1 ahead

    // The used bits (bit p of byte p / 8) are exactly the sundrels' pairs.
    std::set<std::int64_t> pairs;
    for (const auto& sundrel : s)
        for (const auto& e : sundrel->elements())
            pairs.insert(PairIndex(e.i, e.j));
    EXPECT_EQ(pairs.size(), 19u);
    for (std::int64_t p = 0; p < PairCount(n); ++p)
        EXPECT_EQ((used[p / 8] >> (p % 8)) & 1u, pairs.count(p)) << p;
}

// Several neighbour pairs (and one that is not) share the largest distance:
// the start is the neighbour pair the quicksort leaves last, which here is
// neither the first nor the last of them in pair order.
TEST_F(SundrelTest, EqualLargestDistancesStartWhereTheQuicksortLeavesThem)
{
    Map(test::ShearedGrid(4, 3));
    std::map<Seg, double> top;
    for (Seg s : {Seg{4, 1}, {5, 1}, {6, 2}, {9, 5}, {10, 6}, {7, 6}, {8, 0}})
        top[s] = 9.0;
    const auto values = test::MatrixOf(
        n, [](int i, int j) { return 0.5 + 0.001 * ((PairIndex(i, j) * 37) % 66); }, top);
    const auto order = Reference(values);
    ASSERT_EQ(order.back(), PairIndex(8, 0)); // not neighbours
    ASSERT_EQ(order[order.size() - 2], PairIndex(7, 6));

    auto layer = Layer({values});
    layer->compute(1);
    EXPECT_EQ(test::From(layer->report(), " -- Beginning of sundrel --").at(1),
              "->\tsegment : {   8,   7} distance : 9.000");
}

namespace {

const char* kOneStep = "##  Warning : undetermined direction at one step";
const char* kChosen = "##  Warning : direction choosen at two steps : direction may be wrong...";
const char* kStop = "### Warning : undetermined direction at two steps : STOP";
const char* kEnd = "# Reached end of sundrel : stop";
const char* kOpposite = "# Constructing sundrel : opposite direction";

struct TieCase {
    const char* name;
    Seg start;                          // distance 100
    std::map<Seg, double> special;
    std::vector<std::string> lines;     // after "first direction"
    Seg added;                          // next segment after the start, if any
};
void PrintTo(const TieCase& c, std::ostream* os)
{
    *os << c.name;
}

// On the 6 x 5 grid. Ahead of {14, 13} lies 19: A = {19, 14}, B = {19, 13};
// A's look-ahead meets 20 ({20, 14}, {20, 19}), B's meets 18 ({19, 18},
// {18, 13}). Ahead of {26, 20} lies 25, and A's look-ahead reaches the map's
// edge; ahead of {8, 3} lies 2, and B's does.
const std::vector<TieCase> kTies = {
    {"PicksA", {14, 13}, {{{19, 14}, 50}, {{19, 13}, 50}, {{20, 19}, 40}},
     {kOneStep, kChosen, "->\tsegment : {  20,  15} distance : 50.000"}, {19, 14}},
    {"PicksB", {14, 13}, {{{19, 14}, 50}, {{19, 13}, 50}, {{18, 13}, 40}},
     {kOneStep, kChosen, "->\tsegment : {  20,  14} distance : 50.000"}, {19, 13}},
    // A tie within a look-ahead is not looked into further.
    {"TieInLookAhead", {14, 13}, {{{19, 14}, 50}, {{19, 13}, 50}, {{20, 14}, 40}, {{20, 19}, 40}},
     {kOneStep, kChosen, "->\tsegment : {  20,  15} distance : 50.000"}, {19, 14}},
    {"LookAheadsEqual", {14, 13}, {{{19, 14}, 50}, {{19, 13}, 50}, {{20, 19}, 40}, {{18, 13}, 40}},
     {kOneStep, kStop, kOpposite}, {}},
    {"LookAheadANone", {26, 20}, {{{26, 25}, 50}, {{25, 20}, 50}}, {kOneStep, kEnd, kStop, kOpposite}, {}},
    {"LookAheadBNone", {8, 3}, {{{8, 2}, 50}, {{3, 2}, 50}}, {kOneStep, kEnd, kStop, kOpposite}, {}},
};

class SundrelTieTest : public test::SundrelFixture, public ::testing::WithParamInterface<TieCase> {};

} // namespace

TEST_P(SundrelTieTest, EqualCandidatesAreSettledTwoStepsAhead)
{
    const TieCase& c = GetParam();
    Map(test::ShearedGrid(6, 5));
    ASSERT_EQ(Ahead(map->cells, 14, 13), 19);
    ASSERT_EQ(Ahead(map->cells, 14, 19), 20);
    ASSERT_EQ(Ahead(map->cells, 19, 13), 18);
    ASSERT_EQ(Ahead(map->cells, 26, 20), 25);
    ASSERT_LT(Ahead(map->cells, 26, 25), 0);
    ASSERT_EQ(Ahead(map->cells, 8, 3), 2);
    ASSERT_LT(Ahead(map->cells, 2, 3), 0);

    auto special = c.special;
    special[c.start] = 100;
    auto layer = Layer({test::MatrixOf(
        n, [](int i, int j) { return 0.5 + 0.0001 * PairIndex(i, j); }, special)});
    layer->compute(1);
    const Report lines = test::From(layer->report(), "# Constructing sundrel : first direction");
    ASSERT_GT(lines.size(), c.lines.size());
    EXPECT_EQ(Report(lines.begin() + 1, lines.begin() + 1 + c.lines.size()), c.lines);

    const auto s = layer->sundrels(0)[0];
    const auto segs = test::Segs(*s);
    const auto at = std::find(segs.begin(), segs.end(), c.start);
    ASSERT_NE(at, segs.end());
    if (c.added == Seg{}) {
        EXPECT_EQ(at + 1, segs.end());
        EXPECT_EQ(s->firstEndRef(), c.start.first);
    } else {
        ASSERT_NE(at + 1, segs.end());
        EXPECT_EQ(at[1], c.added);
    }
}

INSTANTIATE_TEST_SUITE_P(Ties, SundrelTieTest, ::testing::ValuesIn(kTies),
                         [](const auto& info) { return std::string(info.param.name); });

// Equal look-aheads stop sundrel 1 short of 19, so of that triangle only
// {14, 13} is used. Sundrel 2 starts on {19, 14} or {19, 13}, whichever the
// quicksort leaves above the other. From {19, 14} with ref = 19 (first
// direction), A = {19, 13} is free but B = {14, 13} is used; from {19, 13}
// with ref = 13 (opposite direction), A = {13, 14} is used and B = {19, 14}
// free. Either way that direction ends there.
TEST_F(SundrelTest, SundrelStopsAtTheLooseEndOfAnEarlierOne)
{
    Map(test::ShearedGrid(6, 5));
    ASSERT_EQ(Ahead(map->cells, 19, 14), 13);
    ASSERT_EQ(Ahead(map->cells, 13, 19), 14);
    for (double slope : {-0.0001, 0.0001}) {
        const auto values = test::MatrixOf(
            n, [&](int i, int j) { return 0.55 + slope * PairIndex(i, j); },
            {{{14, 13}, 100}, {{19, 14}, 50}, {{19, 13}, 50}, {{20, 19}, 40}, {{18, 13}, 40}});
        const auto order = Reference(values);
        const bool from14 = slope < 0;
        ASSERT_EQ(order[order.size() - 2], PairIndex(19, from14 ? 14 : 13));

        auto layer = Layer({values});
        layer->compute(2);
        const auto second = test::Segs(*layer->sundrels(0)[1]);
        EXPECT_EQ(from14 ? second.back() : second.front(), (Seg{19, from14 ? 14 : 13})) << slope;
        const Report report = layer->report();
        const auto last = std::find(report.rbegin(), report.rend(),
                                    from14 ? "# Constructing sundrel : first direction" : kOpposite);
        ASSERT_GT(last - report.rbegin(), 0);
        EXPECT_EQ(last[-1], "# Reached end of sundrel : stop") << slope;
    }
}
