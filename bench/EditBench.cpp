// Editing a map of many sites: adding a virtual point and removing it again,
// as the editor does for one click. Both walk from the top frame edge and
// rebuild only the cells next to the point.

#include "PointSets.h"

#include "model/MMapFactory.h"
#include "model/Picking.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace sundrel;

std::unique_ptr<MMap> MapOf(std::size_t n, MMapFactory& factory)
{
    factory.StartCreation(bench::MakePoints(n, bench::Order::Random));
    factory.wait(std::chrono::milliseconds::max());
    return factory.TakeMap();
}

void BM_AddAndRemoveVirtualPoint(benchmark::State& state)
{
    MMapFactory factory;
    auto map = MapOf(static_cast<std::size_t>(state.range(0)), factory);
    if (!map) {
        state.SkipWithError("creation failed");
        return;
    }
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(0.0, 100000.0);
    for (auto _ : state) {
        // Positions inside the cloud touch the most cells.
        factory.AddVirtualPoint(*map, u(rng) + 0.25, u(rng) + 0.25);
        factory.RemoveVirtualPoint(*map, map->V() - 1);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_AddAndRemoveVirtualPoint)->Arg(10000)->Arg(100000)->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);

void BM_RemoveSlotZero(benchmark::State& state)
{
    MMapFactory factory;
    auto map = MapOf(static_cast<std::size_t>(state.range(0)), factory);
    if (!map) {
        state.SkipWithError("creation failed");
        return;
    }
    for (auto _ : state) {
        if (map->V() == 0) {
            state.PauseTiming();
            map = MapOf(static_cast<std::size_t>(state.range(0)), factory);
            state.ResumeTiming();
        }
        // Renumbers the last virtual point and rebuilds its neighbours' cells.
        factory.RemoveVirtualPoint(*map, 0);
    }
}
BENCHMARK(BM_RemoveSlotZero)->Arg(100000)->Unit(benchmark::kMicrosecond);

// Picking with every layer visible, the whole frame shown 1000 pixels wide on
// a 96 pixels-per-inch screen, the box 8 x 8 pixels. Over empty space every
// layer is scanned to its end; over the cloud the scan stops at the first hit.
void RunPicks(benchmark::State& state, bool overTheCloud)
{
    MMapFactory factory;
    auto map = MapOf(static_cast<std::size_t>(state.range(0)), factory);
    if (!map) {
        state.SkipWithError("creation failed");
        return;
    }
    const MBounds& frame = map->frameBounds;
    const double unitsPerPixel = (frame.xMax - frame.xMin) / 1000.0;
    PickRequest request{{}, {true, true, true, true, true}, unitsPerPixel * 96.0 / 72.0};
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> u(0.0, 100000.0);
    const MBounds& outer = map->outerBounds;
    std::int64_t hits = 0;
    for (auto _ : state) {
        const double x = overTheCloud ? u(rng) : outer.xMin + 4 * unitsPerPixel;
        const double y = overTheCloud ? u(rng) : outer.yMin + 4 * unitsPerPixel;
        request.box = {x - 4 * unitsPerPixel, x + 4 * unitsPerPixel, y - 4 * unitsPerPixel,
                       y + 4 * unitsPerPixel};
        const MapHighlight h = Pick(*map, request);
        hits += h.kind != 5;
        benchmark::DoNotOptimize(h);
    }
    state.counters["hit share"] = static_cast<double>(hits) / static_cast<double>(state.iterations());
}

void BM_PickOverEmptySpace(benchmark::State& state) { RunPicks(state, false); }
BENCHMARK(BM_PickOverEmptySpace)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void BM_PickOverTheCloud(benchmark::State& state) { RunPicks(state, true); }
BENCHMARK(BM_PickOverTheCloud)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
