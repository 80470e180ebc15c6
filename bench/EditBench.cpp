// Editing a map of many sites: adding a virtual point and removing it again,
// as the editor does for one click. Both walk from the top frame edge and
// rebuild only the cells next to the point.

#include "PointSets.h"

#include "model/MMapFactory.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <random>

namespace {

using namespace sundrel;

std::unique_ptr<MMap> MapOf(std::size_t n, MMapFactory& factory)
{
    factory.StartCreation(bench::MakePoints(n, bench::Order::Random));
    factory.waitIdle(std::chrono::milliseconds::max());
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

} // namespace

BENCHMARK_MAIN();
