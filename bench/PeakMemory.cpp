// One creation in a fresh process, for time and peak memory:
//   sundrel_bench_peak ours|cgal N random|hilbert [seed]
// prints
//   IMPL n=N order=ORDER seconds=S peak_mib=P peak_abs_mib=A
// where S covers the creation only (not the point generation), A is the
// process's peak resident size and P is A less the resident size right after
// the points were generated.

#include "PointSets.h"

#include "model/MMapFactory.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <string_view>

#ifdef SUNDREL_HAVE_CGAL
#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

using namespace sundrel;

namespace {

constexpr double kMiB = 1024.0 * 1024.0;

double ResidentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    if (!(statm >> pages >> resident))
        return 0.0;
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / kMiB;
}

double PeakResidentMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) * 1024.0 / kMiB; // ru_maxrss is in KiB
}

struct Run {
    double seconds = 0.0;
    double baselineMiB = 0.0;
};

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

bool RunOurs(const std::vector<MXY>& points, Run& run)
{
    MMapFactory factory;
    run.baselineMiB = ResidentMiB();
    const auto start = Clock::now();
    factory.StartCreation(points);
    factory.wait(std::chrono::milliseconds::max());
    std::unique_ptr<MMap> map = factory.TakeMap();
    run.seconds = Since(start);
    if (!map) {
        std::fprintf(stderr, "creation failed: %s\n", factory.lastResult().message.c_str());
        return false;
    }
    if (map->N() != static_cast<std::int32_t>(points.size())) {
        std::fprintf(stderr, "creation made a map of %d sites instead of %zu\n", map->N(),
                     points.size());
        return false;
    }
    return true;
}

#ifdef SUNDREL_HAVE_CGAL
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Delaunay = CGAL::Delaunay_triangulation_2<Kernel>;

bool RunCgal(std::vector<MXY>&& sites, Run& run)
{
    std::vector<Kernel::Point_2> points;
    points.reserve(sites.size());
    for (const MXY& p : sites)
        points.emplace_back(p.x, p.y);
    std::vector<MXY>().swap(sites);

    run.baselineMiB = ResidentMiB();
    const auto start = Clock::now();
    auto dt = std::make_unique<Delaunay>();
    dt->insert(points.begin(), points.end());
    run.seconds = Since(start);
    if (dt->number_of_vertices() != points.size()) {
        std::fprintf(stderr, "CGAL kept %zu of %zu points\n", dt->number_of_vertices(),
                     points.size());
        return false;
    }
    return true;
}
#endif

int Usage()
{
    std::fprintf(stderr, "usage: sundrel_bench_peak ours|cgal N random|hilbert [seed]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5)
        return Usage();
    const std::string_view impl = argv[1];
    if (impl != "ours" && impl != "cgal")
        return Usage();
    char* end = nullptr;
    const double nValue = std::strtod(argv[2], &end); // accepts 1e6
    if (end == argv[2] || *end != '\0' || !(nValue >= 1 && nValue <= 1e9) ||
        nValue != static_cast<double>(static_cast<long long>(nValue)))
        return Usage();
    const auto n = static_cast<std::size_t>(nValue);
    const auto order = bench::ParseOrder(argv[3]);
    if (!order)
        return Usage();
    std::uint64_t seed = bench::kDefaultSeed;
    if (argc == 5) {
        seed = std::strtoull(argv[4], &end, 10);
        if (*end != '\0' || end == argv[4])
            return Usage();
    }

    const std::string head = std::string(impl) + " n=" + std::to_string(n) + " order=" +
                             bench::OrderName(*order);
#ifndef SUNDREL_HAVE_CGAL
    if (impl == "cgal") {
        std::printf("%s not available (built without CGAL)\n", head.c_str());
        return 0;
    }
#endif

    std::vector<MXY> points = bench::MakePoints(n, *order, seed);
    Run run;
    bool ok = false;
    try {
#ifdef SUNDREL_HAVE_CGAL
        ok = impl == "ours" ? RunOurs(points, run) : RunCgal(std::move(points), run);
#else
        ok = RunOurs(points, run);
#endif
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    if (!ok)
        return 1;
    const double peak = PeakResidentMiB();
    std::printf("%s seconds=%.6f peak_mib=%.1f peak_abs_mib=%.1f\n", head.c_str(), run.seconds,
                peak - run.baselineMiB, peak);
    return 0;
}
