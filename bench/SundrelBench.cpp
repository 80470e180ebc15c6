// Sundrel computation.
//
// Significance test, N = 500 populations (random sites), M = 1000 resampled
// matrices, K = 10:
//   - Baseline: for each matrix held in memory, std::sort of its (distance,
//     pair) list and the same sundrel steps on the in-memory distances (a
//     minimal re-implementation below, checked to give the same sundrels),
//     one thread;
//   - Layer: a store holding the M matrices -> SundrelMonmonierMultiple
//     (sorting every matrix into the store) + compute(10).
//   The layer's "ratio" counter is its time over the baseline's, measured in
//   the same run (the baseline is registered first).
//   - PeakMemory/M: the layer alone in a fresh process for M = 100 and 1000;
//     peak resident size (getrusage) after generating the store and after the
//     computation, and the anonymous / file-backed parts at the end.
// Single run, N = 5000 (12.5 million pairs), K = 10: store -> computed layer
// (sorting + construction), after the same baseline on the in-memory matrix.
//
// Matrix generation and store writing stay outside the timed regions; every
// store is deleted at the end of its iteration.

#include "PointSets.h"

#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "model/MMapFactory.h"
#include "monmonier/Paving.h"
#include "monmonier/SundrelMonmonier.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace sundrel;
using Clock = std::chrono::steady_clock;
using Seg = std::pair<std::int32_t, std::int32_t>;

constexpr int kSundrels = 10;

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

double PeakMiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// A value from /proc/self/status in MiB ("RssAnon", "RssFile").
double StatusMiB(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string name;
    double kib = 0;
    while (status >> name) {
        if (name == key + ":") {
            status >> kib;
            return kib / 1024.0;
        }
        status.ignore(1 << 12, '\n');
    }
    return 0;
}

// A map of n random sites and its tables.
struct Study {
    explicit Study(int n)
    {
        MMapFactory factory;
        factory.StartCreation(bench::RandomPoints(static_cast<std::size_t>(n)));
        factory.wait(std::chrono::milliseconds::max());
        map = factory.TakeMap();
        if (!map)
            throw std::runtime_error(factory.lastResult().message);
        paving = BuildPavingMatrix(map->cells, n);
        used = MakeUsedBits(n);
    }
    int n() const { return map->N(); }

    std::unique_ptr<MMap> map;
    PavingMatrix paving;
    UsedBits used;
};

std::uint64_t Mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    h ^= h >> 33;
    return h;
}

// Replicate m: two barriers (x = 0.5, y = 0.35 of the extent), isolation by
// distance, and noise of 53 random bits, so no two values are equal.
void Replicate(const MMap& map, int m, std::vector<double>& values)
{
    const int n = map.N();
    values.resize(static_cast<std::size_t>(PairCount(n)));
    std::size_t p = 0;
    for (int hi = 1; hi < n; ++hi) {
        const MPolygon& a = map.cells[static_cast<std::size_t>(hi)];
        for (int lo = 0; lo < hi; ++lo, ++p) {
            const MPolygon& b = map.cells[static_cast<std::size_t>(lo)];
            const bool v = (a.siteX < 0.5 * bench::kExtent) != (b.siteX < 0.5 * bench::kExtent);
            const bool h = (a.siteY < 0.35 * bench::kExtent) != (b.siteY < 0.35 * bench::kExtent);
            const double geo = std::hypot(a.siteX - b.siteX, a.siteY - b.siteY) / bench::kExtent;
            const double u =
                static_cast<double>(Mix((std::uint64_t(m) << 48) ^ std::uint64_t(p)) >> 11) * 0x1p-53;
            values[p] = 1.0 * v + 0.5 * h + 0.2 * geo + 0.3 * u;
        }
    }
}

std::filesystem::path Folder()
{
    static const std::filesystem::path folder = [] {
        auto f = std::filesystem::temp_directory_path() /
                 ("sundrel-sundrel-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

std::unique_ptr<MatrixFile> WriteStore(const Study& study, int matrices)
{
    auto store = std::make_unique<MatrixFile>(TemporaryMatrixFileName(Folder()));
    store->initialize(study.n());
    std::vector<double> values;
    for (int m = 0; m < matrices; ++m) {
        Replicate(*study.map, m, values);
        SMatrix matrix;
        matrix.assign(study.n(), std::move(values));
        store->writeMatrix(matrix);
        values.clear();
    }
    return store;
}

// The sundrel steps on one in-memory matrix, as the construction makes them,
// without the report.
class InMemorySundrels {
public:
    InMemorySundrels(const std::vector<MPolygon>& cells, const PavingMatrix& paving, int n)
        : cells_(cells), paving_(paving), used_((PairCount(n) + 7) / 8), keyed_(PairCount(n))
    {
    }

    // Sorts the pairs of the matrix by distance.
    void Sort(const std::vector<double>& d)
    {
        d_ = d.data();
        for (std::size_t p = 0; p < keyed_.size(); ++p)
            keyed_[p] = {d[p], static_cast<std::int32_t>(p)};
        std::sort(keyed_.begin(), keyed_.end());
    }

    // Builds K sundrels on the sorted matrix; their segments, in path order.
    std::vector<std::vector<Seg>> Build(int k)
    {
        std::fill(used_.begin(), used_.end(), 0);
        std::vector<std::vector<Seg>> out;
        std::int64_t cursor = static_cast<std::int64_t>(keyed_.size()) - 1;
        for (int s = 0; s < k; ++s) {
            while (cursor >= 0 && (Used(keyed_[cursor].second) || paving_[keyed_[cursor].second] == -1))
                --cursor;
            if (cursor < 0)
                break;
            std::int32_t hi, lo;
            PairOf(keyed_[cursor].second, hi, lo);
            std::deque<Seg> path{{hi, lo}};
            Mark(hi, lo);
            for (int direction = 0; direction < 2; ++direction) {
                std::int32_t ref = direction == 0 ? hi : lo, next = direction == 0 ? lo : hi;
                while (const auto e = Step(ref, next, false)) {
                    Mark(e->first, e->second);
                    direction == 0 ? path.push_back(*e) : path.push_front(*e);
                }
            }
            out.emplace_back(path.begin(), path.end());
        }
        return out;
    }

private:
    static std::int64_t Pair(int i, int j) { return PairIndex(i, j); }
    bool Used(std::int64_t p) const { return (used_[p >> 3] >> (p & 7)) & 1; }
    void Mark(int i, int j)
    {
        const std::int64_t p = Pair(i, j);
        used_[p >> 3] |= static_cast<std::uint8_t>(1u << (p & 7));
    }
    static int Find(const std::vector<std::int32_t>& v, int x)
    {
        return static_cast<int>(std::find(v.begin(), v.end(), x) - v.begin());
    }

    struct Candidate {
        Seg seg;
        double distance;
    };
    std::optional<Candidate> Make(int r, int a) const
    {
        if (a < 0 || r == a || Used(Pair(r, a)))
            return std::nullopt;
        return Candidate{{std::max(r, a), std::min(r, a)}, d_[Pair(r, a)]};
    }

    std::optional<Seg> Step(std::int32_t& ref, std::int32_t& next, bool lookAhead)
    {
        const auto& rc = cells_[ref].neighbours;
        const auto& nc = cells_[next].neighbours;
        const int a = rc[(Find(rc, next) + 1) % rc.size()];
        const int b = nc[(Find(nc, ref) + nc.size() - 1) % nc.size()];
        const auto ca = Make(ref, a), cb = Make(next, b);
        if (!ca || !cb)
            return std::nullopt;
        if (ca->distance > cb->distance) {
            next = a;
            return ca->seg;
        }
        if (ca->distance < cb->distance) {
            ref = b;
            return cb->seg;
        }
        if (lookAhead)
            return ca->seg;
        std::int32_t ra = ref, na = a, rb = b, nb = next;
        const auto la = Step(ra, na, true), lb = Step(rb, nb, true);
        if (!la || !lb)
            return std::nullopt;
        const double da = d_[Pair(la->first, la->second)], db = d_[Pair(lb->first, lb->second)];
        if (da == db)
            return std::nullopt;
        if (da > db) {
            next = a;
            return ca->seg;
        }
        ref = b;
        return cb->seg;
    }

    const std::vector<MPolygon>& cells_;
    const PavingMatrix& paving_;
    std::vector<std::uint8_t> used_;
    std::vector<std::pair<double, std::int32_t>> keyed_;
    const double* d_ = nullptr;
};

constexpr int kPopulations = 500;
constexpr int kMatrices = 1000;

Study& Significance()
{
    static Study study(kPopulations);
    return study;
}

double gBaselineSeconds = 0;
std::vector<std::vector<std::vector<Seg>>> gBaselineSundrels;

void BM_SignificanceBaseline(benchmark::State& state)
{
    Study& study = Significance();
    InMemorySundrels sundrels(study.map->cells, study.paving, study.n());
    std::vector<double> values;
    double sortSeconds = 0, stepSeconds = 0;
    for (auto _ : state) {
        sortSeconds = stepSeconds = 0;
        gBaselineSundrels.assign(kMatrices, {});
        for (int m = 0; m < kMatrices; ++m) {
            Replicate(*study.map, m, values);
            const auto t0 = Clock::now();
            sundrels.Sort(values);
            const auto t1 = Clock::now();
            gBaselineSundrels[m] = sundrels.Build(kSundrels);
            const auto t2 = Clock::now();
            sortSeconds += Seconds(t0, t1);
            stepSeconds += Seconds(t1, t2);
        }
        state.SetIterationTime(sortSeconds + stepSeconds);
        gBaselineSeconds = sortSeconds + stepSeconds;
    }
    state.counters["sort_s"] = sortSeconds;
    state.counters["compute_s"] = stepSeconds;
}

void BM_SignificanceLayer(benchmark::State& state)
{
    Study& study = Significance();
    double sortSeconds = 0, computeSeconds = 0;
    for (auto _ : state) {
        auto store = WriteStore(study, kMatrices);
        const auto t0 = Clock::now();
        SundrelMonmonierMultiple layer(kMatrices, study.n(), &study.map->cells, std::move(store),
                                       &study.used, &study.paving);
        const auto t1 = Clock::now();
        layer.compute(kSundrels);
        const auto t2 = Clock::now();
        sortSeconds = Seconds(t0, t1);
        computeSeconds = Seconds(t1, t2);
        state.SetIterationTime(sortSeconds + computeSeconds);

        // The baseline did the same work.
        for (int m = 0; m < kMatrices && !gBaselineSundrels.empty(); ++m) {
            const auto row = layer.sundrels(m);
            const auto& expected = gBaselineSundrels[m];
            bool same = row.size() == static_cast<std::size_t>(kSundrels);
            for (std::size_t s = 0; same && s < row.size(); ++s) {
                const auto elements = row[s]->elements();
                std::vector<Seg> segs;
                for (const auto& e : elements)
                    segs.emplace_back(e.i, e.j);
                same = s < expected.size() ? segs == expected[s] : segs.empty();
            }
            if (!same) {
                state.SkipWithError(("baseline differs at matrix " + std::to_string(m)).c_str());
                break;
            }
        }
    } // the layer deletes its store
    state.counters["sort_s"] = sortSeconds;
    state.counters["compute_s"] = computeSeconds;
    if (gBaselineSeconds > 0)
        state.counters["ratio"] = (sortSeconds + computeSeconds) / gBaselineSeconds;
}

// The layer alone for M matrices, in this (fresh) process.
int PeakChild(int matrices)
{
    Study study(kPopulations);
    auto store = WriteStore(study, matrices);
    const double before = PeakMiB();
    {
        SundrelMonmonierMultiple layer(matrices, study.n(), &study.map->cells, std::move(store),
                                       &study.used, &study.paving);
        layer.compute(kSundrels);
        std::printf("%f %f %f %f\n", before, PeakMiB(), StatusMiB("RssAnon"), StatusMiB("RssFile"));
    }
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}

void BM_PeakMemory(benchmark::State& state)
{
    const int matrices = static_cast<int>(state.range(0));
    double before = 0, after = 0, anon = 0, file = 0;
    for (auto _ : state) {
        const std::string command = "/proc/" + std::to_string(::getpid()) +
                                    "/exe --peak-child=" + std::to_string(matrices);
        std::FILE* child = ::popen(command.c_str(), "r");
        if (!child || std::fscanf(child, "%lf %lf %lf %lf", &before, &after, &anon, &file) != 4) {
            state.SkipWithError("peak child failed");
        }
        if (child)
            ::pclose(child);
    }
    state.counters["peak_before_MiB"] = before;
    state.counters["peak_after_MiB"] = after;
    state.counters["anon_end_MiB"] = anon;
    state.counters["file_end_MiB"] = file;
}

Study& Large()
{
    static Study study(5000);
    return study;
}

// The same on the in-memory matrix: std::sort and the steps.
void BM_SingleRun5000Baseline(benchmark::State& state)
{
    Study& study = Large();
    InMemorySundrels sundrels(study.map->cells, study.paving, study.n());
    std::vector<double> values;
    Replicate(*study.map, 0, values);
    double sortSeconds = 0, stepSeconds = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        sundrels.Sort(values);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(sundrels.Build(kSundrels));
        const auto t2 = Clock::now();
        sortSeconds = Seconds(t0, t1);
        stepSeconds = Seconds(t1, t2);
        state.SetIterationTime(sortSeconds + stepSeconds);
    }
    state.counters["sort_s"] = sortSeconds;
    state.counters["compute_s"] = stepSeconds;
}

void BM_SingleRun5000(benchmark::State& state)
{
    Study& study = Large();
    double sortSeconds = 0, computeSeconds = 0;
    for (auto _ : state) {
        auto store = WriteStore(study, 1);
        const auto t0 = Clock::now();
        SundrelMonmonierSingle layer(1, study.n(), &study.map->cells, std::move(store), &study.used,
                                     &study.paving);
        const auto t1 = Clock::now();
        layer.compute(kSundrels);
        const auto t2 = Clock::now();
        sortSeconds = Seconds(t0, t1);
        computeSeconds = Seconds(t1, t2);
        state.SetIterationTime(sortSeconds + computeSeconds);
        std::size_t elements = 0;
        for (const auto& s : layer.sundrels(0))
            elements += s->elementCount();
        state.counters["segments"] = static_cast<double>(elements);
    }
    state.counters["sort_s"] = sortSeconds;
    state.counters["compute_s"] = computeSeconds;
    // The process's peak: the layer's own when run alone
    // (--benchmark_filter=BM_SingleRun5000/).
    state.counters["process_peak_MiB"] = PeakMiB();
}

} // namespace

BENCHMARK(BM_SignificanceBaseline)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_SignificanceLayer)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_PeakMemory)->Arg(100)->Arg(kMatrices)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_SingleRun5000Baseline)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_SingleRun5000)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--peak-child=", 13) == 0)
            return PeakChild(std::atoi(argv[i] + 13));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
