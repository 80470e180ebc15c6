#pragma once
// Hand-made analyses: maps of sheared grids, whose Delaunay diagonals are
// known in advance (no four sites on a circle), matrices designed around
// them, and layers over a store in a temporary folder.

#include "monmonier/Paving.h"
#include "monmonier/SundrelMonmonier.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"

#include <algorithm>
#include <functional>
#include <map>

namespace test {

using Seg = std::pair<int, int>; // {larger index, smaller index}

// Site (col, row) = index row * nx + col at (col + 0.3 row, row); each unit
// parallelogram is split by its shorter diagonal, (col + 1, row)-(col, row + 1).
inline std::vector<sundrel::MXY> ShearedGrid(int nx, int ny)
{
    std::vector<sundrel::MXY> pts;
    for (int row = 0; row < ny; ++row)
        for (int col = 0; col < nx; ++col)
            pts.push_back({col + 0.3 * row, double(row)});
    return pts;
}

// Matrix values in pair order: `special` where given, else f(hi, lo).
inline std::vector<double> MatrixOf(int n, const std::function<double(int, int)>& f,
                                    const std::map<Seg, double>& special = {})
{
    std::vector<double> values;
    for (int hi = 1; hi < n; ++hi)
        for (int lo = 0; lo < hi; ++lo) {
            const auto it = special.find({hi, lo});
            values.push_back(it != special.end() ? it->second : f(hi, lo));
        }
    return values;
}

// The third population at the Voronoi vertex ahead of segment (ref, next):
// next's successor in ref's cycle, which is also ref's predecessor in next's.
inline int Ahead(const std::vector<sundrel::MPolygon>& cells, int ref, int next)
{
    const auto &r = cells[ref].neighbours, &q = cells[next].neighbours;
    const auto k = std::find(r.begin(), r.end(), next) - r.begin();
    const auto k2 = std::find(q.begin(), q.end(), ref) - q.begin();
    const int a = r[(k + 1) % r.size()];
    EXPECT_EQ(a, q[(k2 + q.size() - 1) % q.size()]);
    return a;
}

inline std::vector<Seg> Segs(const sundrel::Sundrel& s)
{
    std::vector<Seg> out;
    for (const auto& e : s.elements())
        out.emplace_back(e.i, e.j);
    return out;
}

// Report lines from the first equal to `from` to the end.
inline sundrel::Report From(const sundrel::Report& r, const std::string& from)
{
    return {std::find(r.begin(), r.end(), from), r.end()};
}

class SundrelFixture : public ::testing::Test {
protected:
    void Map(const std::vector<sundrel::MXY>& points)
    {
        map = Create(factory, points);
        ASSERT_TRUE(map);
        n = map->N();
        paving = sundrel::BuildPavingMatrix(map->cells, n);
        used = sundrel::MakeUsedBits(n);
    }

    std::unique_ptr<sundrel::MatrixFile> Store(const std::vector<std::vector<double>>& matrices)
    {
        auto store = std::make_unique<sundrel::MatrixFile>(dir / std::to_string(stores++));
        store->initialize(n);
        for (const auto& values : matrices) {
            sundrel::SMatrix m;
            m.assign(n, values);
            store->writeMatrix(m);
        }
        return store;
    }

    // Named "test"; multiple or single, not computed yet.
    std::unique_ptr<sundrel::SundrelMonmonier> Layer(const std::vector<std::vector<double>>& matrices,
                                                     bool multiple = false,
                                                     sundrel::Notifier* progress = nullptr)
    {
        const int m = static_cast<int>(matrices.size());
        std::unique_ptr<sundrel::SundrelMonmonier> layer;
        if (multiple)
            layer = std::make_unique<sundrel::SundrelMonmonierMultiple>(
                m, n, &map->cells, Store(matrices), &used, &paving, progress, nullptr, &cancel);
        else
            layer = std::make_unique<sundrel::SundrelMonmonierSingle>(
                m, n, &map->cells, Store(matrices), &used, &paving, progress, nullptr, &cancel);
        layer->name = "test";
        return layer;
    }

    TempDir dir{"sundrel"};
    sundrel::MMapFactory factory;
    std::unique_ptr<sundrel::MMap> map;
    int n = 0, stores = 0;
    sundrel::PavingMatrix paving;
    sundrel::UsedBits used;
    // The cancellation of the job that computes the fixture's layers.
    sundrel::JobFeedback cancel;
};

// On the 6 x 5 grid: a barrier between columns 2 and 3 and one between rows
// 1 and 2, with the given weights, plus 0.001 (60 - i - j), which puts the
// largest segment of each barrier lowest, or furthest left.
inline std::vector<double> CrossingMatrix(double vertical, double horizontal)
{
    return MatrixOf(30, [=](int i, int j) {
        return vertical * ((i % 6 >= 3) != (j % 6 >= 3)) +
               horizontal * ((i / 6 >= 2) != (j / 6 >= 2)) + 0.001 * (60 - i - j);
    });
}

// Its segments (from the diagonals above): across the vertical barrier, top
// to bottom, and its part below the horizontal one; across the horizontal
// barrier, its part left of the vertical one (right to left) and the part
// right of it. {14, 9} crosses both.
inline const std::vector<Seg> kVertical = {{27, 26}, {26, 21}, {21, 20}, {20, 15}, {15, 14},
                                           {14, 9},  {9, 8},   {8, 3},   {3, 2}};
inline const std::vector<Seg> kVerticalLow = {{3, 2}, {8, 3}, {9, 8}};
inline const std::vector<Seg> kHorizontalLeft = {{14, 8}, {13, 8}, {13, 7}, {12, 7}, {12, 6}};
inline const std::vector<Seg> kHorizontalRight = {{17, 11}, {16, 11}, {16, 10}, {15, 10}, {15, 9}};

} // namespace test
