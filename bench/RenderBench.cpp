// Drawing and export of a large map, headless (EGL, Mesa's software
// renderer).
//
// Map: 10,000 random sites with a significance layer (2 resampled matrices,
// K = 10), computed before timing.
//   - Bitmap/4000x3000: the bitmap job's rendering (fitted view, every map
//     layer, the result layer, labels) and the read-back into the 24-bit
//     layout; the file write is not included.
//   - PostScript: the GL2PS export of the same map and layer, with the
//     number of pages begun until the buffer sufficed ("tries") and the final
//     buffer size in MiB.

#include "PointSets.h"

#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "model/MMapFactory.h"
#include "monmonier/MonmonierLayer.h"
#include "render/Canvas.h"
#include "render/Export.h"
#include "render/FontSupport.h"
#include "render/LayerDrawing.h"
#include "render/OffscreenContext.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

using namespace sundrel;
using namespace sundrel::render;

constexpr int kSites = 10000;

std::filesystem::path Folder()
{
    static const std::filesystem::path folder = [] {
        auto f = std::filesystem::temp_directory_path() /
                 ("sundrel-render-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

struct Study {
    MMapFactory factory;
    std::unique_ptr<MMap> map;
    MonmonierLayer layers;
};

Study& TheStudy()
{
    static Study* study = [] {
        auto* s = new Study;
        s->factory.StartCreation(bench::RandomPoints(kSites));
        s->factory.wait(std::chrono::milliseconds::max());
        s->map = s->factory.TakeMap();
        s->layers.setMap(*s->map);
        s->layers.wait();
        const std::int32_t n = s->map->N();
        AnalysisRequest request;
        request.store = std::make_unique<MatrixFile>(TemporaryMatrixFileName(Folder()));
        request.store->initialize(n);
        for (int m = 0; m < 2; ++m) {
            std::vector<double> values(static_cast<std::size_t>(PairCount(n)));
            std::size_t p = 0;
            for (int hi = 1; hi < n; ++hi) {
                const MPolygon& a = s->map->cells[static_cast<std::size_t>(hi)];
                for (int lo = 0; lo < hi; ++lo, ++p) {
                    const MPolygon& b = s->map->cells[static_cast<std::size_t>(lo)];
                    const bool across = (a.siteX < 0.5 * bench::kExtent) != (b.siteX < 0.5 * bench::kExtent);
                    values[p] = 1.0 * across + std::hypot(a.siteX - b.siteX, a.siteY - b.siteY) /
                                                   bench::kExtent +
                                1e-9 * static_cast<double>((p * 2654435761u + m) % 1000003);
                }
            }
            SMatrix matrix;
            matrix.assign(n, std::move(values));
            request.store->writeMatrix(matrix);
        }
        request.single = false;
        request.sundrels = 10;
        request.title = "bench";
        s->layers.newAnalysis(std::move(request));
        s->layers.wait(std::chrono::hours(1));
        return s;
    }();
    return *study;
}

ExportSource Source(Study& s, ViewPrimitives& primitives)
{
    ExportSource source;
    source.map = s.map.get();
    source.layers = &s.layers;
    source.view = s.map->frameBounds;
    source.primitives = &primitives;
    return source;
}

void BM_Bitmap(benchmark::State& state)
{
    Study& s = TheStudy();
    ViewPrimitives primitives;
    const ExportSource source = Source(s, primitives);
    ExportParameters p;
    p.width = 4000;
    p.height = 3000;
    for (auto _ : state) {
        auto rows = RenderBitmap(source, p, nullptr);
        benchmark::DoNotOptimize(rows.data());
    }
    state.counters["edges counted"] =
        static_cast<double>(s.layers.layer(0)->countList().size());
}
BENCHMARK(BM_Bitmap)->Name("Bitmap/4000x3000")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_PostScript(benchmark::State& state)
{
    Study& s = TheStudy();
    ViewPrimitives primitives;
    const auto file = Folder() / "map.ps";
    VectorExportResult result;
    for (auto _ : state) {
        OffscreenContext context(800, 600);
        const MBounds f = SetFittedProjection(s.map->frameBounds, 800, 600, -20, 20);
        primitives.screen.resolution = 72.0;
        primitives.screen.scale = (f.xMax - f.xMin) / 800;
        CachedFonts fonts(72.0);
        Canvas canvas{primitives, primitives.screen, fonts, nullptr};
        result = ExportVector(file, VectorFormat::PostScript, "Sundrel", *s.map,
                              {true, true, true, true, true},
                              [&] { DrawLayersForPostScript(canvas, s.layers); },
                              PostScriptBufferSize(*s.map, {true, true, true, true, true}, &s.layers));
    }
    state.counters["tries"] = result.tries;
    state.counters["buffer MiB"] = static_cast<double>(result.bufferSize) / 1048576.0;
    state.counters["file MiB"] =
        static_cast<double>(std::filesystem::file_size(file)) / 1048576.0;
}
BENCHMARK(BM_PostScript)->Name("PostScript/10000 sites")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The buffer loop on larger maps (map layers only): the first buffer is sized
// from the primitives, so one try should do.
void BM_PostScriptMapOnly(benchmark::State& state)
{
    const auto sites = static_cast<std::size_t>(state.range(0));
    MMapFactory factory;
    factory.StartCreation(bench::RandomPoints(sites));
    factory.wait(std::chrono::milliseconds::max());
    const std::unique_ptr<MMap> map = factory.TakeMap();
    const auto file = Folder() / "map-only.ps";
    VectorExportResult result;
    for (auto _ : state) {
        OffscreenContext context(800, 600);
        SetFittedProjection(map->frameBounds, 800, 600, -20, 20);
        result = ExportVector(file, VectorFormat::PostScript, "Sundrel", *map,
                              {true, true, true, true, true}, nullptr,
                              PostScriptBufferSize(*map, {true, true, true, true, true}, nullptr));
    }
    state.counters["tries"] = result.tries;
    state.counters["buffer MiB"] = static_cast<double>(result.bufferSize) * 4 / 1048576.0;
    state.counters["file MiB"] =
        static_cast<double>(std::filesystem::file_size(file)) / 1048576.0;
}
BENCHMARK(BM_PostScriptMapOnly)->Name("PostScript/map only")->Arg(10000)->Arg(30000)->Arg(100000)
    ->Arg(300000)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    EnsureFontSupport();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(Folder(), ec);
    return 0;
}
