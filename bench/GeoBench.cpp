// Geography, headless:
//   - Project/1000000: a million sites in degrees (a 10 x 10 degree box at
//     46 N) checked and projected around their centre.
//   - GisExport: the sites, Delaunay, cells layers of a map of 100,000 sites
//     in degrees written as a GeoPackage and as shapefiles (map made before
//     timing).
//   - BackdropFrame: one frame of a backdrop of 100,000 vertices in an
//     800 x 600 bitmap on Mesa's software renderer (the drawing and a
//     glFinish; polygons are filled through the stencil): a
//     filled island with its outline (coastline-like detail, much of it
//     finer than a pixel), a filled ring whose every vertex shows (the worst
//     case), and 1,000 coastline pieces of 100 vertices.

#include "geo/Backdrop.h"
#include "geo/GeographicSites.h"
#include "geo/GisLayers.h"
#include "model/MMapFactory.h"
#include "render/BackdropDrawing.h"
#include "render/Canvas.h"
#include "render/Export.h"
#include "render/FontSupport.h"
#include "render/OffscreenContext.h"

#include <GL/gl.h>
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <random>

namespace {

using namespace sundrel;
using namespace sundrel::render;

std::filesystem::path Folder()
{
    static const std::filesystem::path folder = [] {
        auto f = std::filesystem::temp_directory_path() /
                 ("sundrel-geo-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(f);
        return f;
    }();
    return folder;
}

std::vector<MXY> RandomDegrees(std::size_t n, unsigned seed)
{
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> lon(3.0, 13.0), lat(41.0, 51.0);
    std::vector<MXY> sites(n);
    for (MXY& p : sites)
        p = {lon(random), lat(random)};
    return sites;
}

void BM_Project(benchmark::State& state)
{
    const std::vector<MXY> degrees = RandomDegrees(static_cast<std::size_t>(state.range(0)), 1);
    for (auto _ : state) {
        geo::ProjectedSites p = geo::ProjectSites(degrees, 1);
        benchmark::DoNotOptimize(p.sites.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Project)->Name("Project")->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

struct GisStudy {
    std::unique_ptr<MMap> map;
    geo::CoordinateSystem crs = geo::CoordinateSystem::LonLat();
};

GisStudy& TheGisStudy()
{
    static GisStudy* study = [] {
        auto* s = new GisStudy;
        geo::ProjectedSites p = geo::ProjectSites(RandomDegrees(100000, 2), 1);
        MMapFactory factory;
        factory.StartCreation(p.sites);
        factory.wait(std::chrono::milliseconds::max());
        s->map = factory.TakeMap();
        s->crs = p.crs;
        return s;
    }();
    return *study;
}

void BM_GisExport(benchmark::State& state, const char* name)
{
    GisStudy& s = TheGisStudy();
    geo::GisOptions options;
    options.crs = s.crs;
    std::int64_t features = 0;
    for (auto _ : state) {
        const auto written = geo::WriteGisLayers(Folder() / name, *s.map, nullptr, options);
        features = 0;
        for (const auto& layer : written)
            features += layer.features;
    }
    state.counters["features"] = static_cast<double>(features);
}
BENCHMARK_CAPTURE(BM_GisExport, gpkg, "sites.gpkg")->Name("GisExport/100000 sites/gpkg")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(BM_GisExport, shp, "sites.shp")->Name("GisExport/100000 sites/shp")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// A coastline-like island of about 100,000 vertices (radius about 1000):
// midpoint displacement from a ring of 25, each level halving the segments
// and their displacement, so that detail grows finer as on real coasts.
geo::BackdropGeometry Island()
{
    std::mt19937 random(4);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<MXY> ring;
    for (int k = 0; k < 25; ++k) {
        const double a = 2 * 3.14159265358979 * k / 25;
        ring.push_back({1000 * std::cos(a), 1000 * std::sin(a)});
    }
    while (ring.size() < 100000) {
        std::vector<MXY> finer;
        for (std::size_t k = 0; k < ring.size(); ++k) {
            const MXY a = ring[k], b = ring[(k + 1) % ring.size()];
            const double f = 0.25 * u(random);
            finer.push_back(a);
            finer.push_back({(a.x + b.x) / 2 - f * (b.y - a.y), (a.y + b.y) / 2 + f * (b.x - a.x)});
        }
        ring = std::move(finer);
    }
    geo::BackdropGeometry g;
    g.vertices = ring;
    g.rings.push_back({0, ring.size()});
    g.polygons.push_back(0);
    g.bounds = {-1500, 1500, -1500, 1500};
    return g;
}

// A ring of n vertices whose every wiggle shows at full view (radius about
// 1000, 1013 waves of 25): the worst case, no detail below a pixel.
geo::BackdropGeometry Scribble(std::size_t n)
{
    geo::BackdropGeometry g;
    for (std::size_t k = 0; k < n; ++k) {
        const double a = 2 * 3.14159265358979 * static_cast<double>(k) / static_cast<double>(n);
        const double r = 1000 + 60 * std::sin(97 * a) + 25 * std::sin(1013 * a);
        g.vertices.push_back({r * std::cos(a), r * std::sin(a)});
    }
    g.rings.push_back({0, n});
    g.polygons.push_back(0);
    g.bounds = {-1100, 1100, -1100, 1100};
    return g;
}

// 1,000 pieces of 100 vertices, wandering over the view.
geo::BackdropGeometry Coast()
{
    geo::BackdropGeometry g;
    std::mt19937 random(3);
    std::normal_distribution<double> step(0.0, 8.0);
    std::uniform_real_distribution<double> start(-1000.0, 1000.0);
    for (int piece = 0; piece < 1000; ++piece) {
        g.lines.push_back({g.vertices.size(), 100});
        MXY p{start(random), start(random)};
        for (int k = 0; k < 100; ++k) {
            g.vertices.push_back(p);
            p = {p.x + step(random), p.y + step(random)};
        }
    }
    g.bounds = {-1100, 1100, -1100, 1100};
    return g;
}

void BM_BackdropFrame(benchmark::State& state)
{
    geo::BackdropStyle style;
    style.filled = state.range(0) != 2;
    std::vector<Backdrop> backdrops;
    backdrops.emplace_back(state.range(0) == 0 ? Island() : state.range(0) == 1 ? Scribble(100000) : Coast(),
                           style);
    OffscreenContext context(800, 600);
    const MBounds fitted = SetFittedProjection({-1200, 1200, -1200, 1200}, 800, 600, -2, 1);
    ViewPrimitives primitives;
    primitives.screen.scale = (fitted.xMax - fitted.xMin) / 800;
    CachedFonts fonts(72.0);
    Canvas canvas{primitives, primitives.screen, fonts, nullptr};
    canvas.ForPixels(fitted);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        DrawBackdrops(canvas, backdrops);
        glFinish();
    }
    state.counters["vertices"] = static_cast<double>(backdrops[0].Geometry().VertexCount());
}
// Cutting the polygon into triangles in full detail, as a vector export of
// a page that shows it all does.
void BM_BackdropTriangles(benchmark::State& state)
{
    const Backdrop b(state.range(0) == 0 ? Island() : Scribble(100000), geo::BackdropStyle{});
    std::size_t triangles = 0;
    for (auto _ : state)
        triangles = b.Triangles().size() / 6;
    state.counters["triangles"] = static_cast<double>(triangles);
}
BENCHMARK(BM_BackdropTriangles)->Name("BackdropTriangles/island")->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();
BENCHMARK(BM_BackdropTriangles)->Name("BackdropTriangles/scribble")->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

BENCHMARK(BM_BackdropFrame)->Name("BackdropFrame/filled island")->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_BackdropFrame)->Name("BackdropFrame/filled scribble")->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();
BENCHMARK(BM_BackdropFrame)->Name("BackdropFrame/coastline pieces")->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

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
