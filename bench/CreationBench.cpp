// Map creation speed: StartCreation -> wait -> TakeMap for 1e3 .. 1e6
// sites in random and in Hilbert order, and, when built with CGAL, its
// Delaunay range insertion of the same points.
//
// The creation runs on the factory's worker thread, so each iteration is
// timed by hand (wall clock, creation only; releasing the map is not
// counted) and the reported rate is sites per second. Names:
//   ours/ORDER/N        default creation (grid jump before each walk)
//   ours_walk/ORDER/N   walk from the previous triangle only
//   cgal/ORDER/N        CGAL::Delaunay_triangulation_2, epick, range insert
// e.g. --benchmark_filter='hilbert' or 'ours/.*/1000000'.

#include "PointSets.h"

#include "model/MMapFactory.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#ifdef SUNDREL_HAVE_CGAL
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

using namespace sundrel;
using bench::Order;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kSizes[] = {1000, 10000, 100000, 1000000};

// Generated once per size and order, outside any timed region.
const std::vector<MXY>& Sites(std::size_t n, Order order)
{
    static std::map<std::pair<std::size_t, Order>, std::vector<MXY>> cache;
    auto& points = cache[{n, order}];
    if (points.empty())
        points = bench::MakePoints(n, order);
    return points;
}

void Ours(benchmark::State& state, Order order, bool jumpLocate)
{
    const auto& points = Sites(static_cast<std::size_t>(state.range(0)), order);
    MMapFactory factory;
    factory.SetJumpLocate(jumpLocate);
    for (auto _ : state) {
        const auto start = Clock::now();
        factory.StartCreation(points);
        factory.wait(std::chrono::milliseconds::max());
        std::unique_ptr<MMap> map = factory.TakeMap();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!map) {
            state.SkipWithError(("creation failed: " + factory.lastResult().message).c_str());
            break;
        }
        benchmark::DoNotOptimize(map.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

#ifdef SUNDREL_HAVE_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel>;

const std::vector<Kernel::Point_2>& CgalSites(std::size_t n, Order order)
{
    static std::map<std::pair<std::size_t, Order>, std::vector<Kernel::Point_2>> cache;
    auto& points = cache[{n, order}];
    if (points.empty())
        for (const MXY& p : Sites(n, order))
            points.emplace_back(p.x, p.y);
    return points;
}

void Cgal(benchmark::State& state, Order order)
{
    const auto& points = CgalSites(static_cast<std::size_t>(state.range(0)), order);
    for (auto _ : state) {
        const auto start = Clock::now();
        auto dt = std::make_unique<Delaunay>();
        dt->insert(points.begin(), points.end());
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (dt->number_of_vertices() != points.size()) {
            state.SkipWithError("CGAL lost points");
            break;
        }
        benchmark::DoNotOptimize(dt.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
#endif

void Register(const std::string& name, Order order, std::size_t maxN, auto run)
{
    for (std::size_t n : kSizes) {
        if (n > maxN)
            continue;
        benchmark::RegisterBenchmark((name + "/" + bench::OrderName(order)).c_str(),
                                     [order, run](benchmark::State& state) { run(state, order); })
            ->Arg(static_cast<std::int64_t>(n))
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
}

} // namespace

int main(int argc, char** argv)
{
    for (Order order : {Order::Random, Order::Hilbert}) {
        Register("ours", order, 1000000,
                 [](benchmark::State& s, Order o) { Ours(s, o, true); });
        // From the previous triangle a random-order walk crosses about sqrt(N)
        // triangles per site: a million sites would take far too long.
        Register("ours_walk", order, order == Order::Random ? 100000 : 1000000,
                 [](benchmark::State& s, Order o) { Ours(s, o, false); });
#ifdef SUNDREL_HAVE_CGAL
        Register("cgal", order, 1000000, [](benchmark::State& s, Order o) { Cgal(s, o); });
#endif
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::AddCustomContext("cgal",
#ifdef SUNDREL_HAVE_CGAL
                                "yes"
#else
                                "no (built without CGAL)"
#endif
    );
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
