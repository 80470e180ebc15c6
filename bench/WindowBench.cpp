// Screen redraw of the window on a large map, on a display (run it under
// Xvfb: xvfb-run -a -s "-screen 0 1024x768x24" build-bench/bench/sundrel_bench_window).
//
// Map: random sites (10,000 by default) with every map layer visible, labels
// included, in an 800 x 600 view at "Reset zoom". Each iteration renders the
// whole scene into the view's framebuffer and reads it back
// (QOpenGLWidget::grabFramebuffer), so the figure is an upper bound of one
// redraw.

#include "PointSets.h"

#include "app/shell/MainForm.h"
#include "app/view/OpenGLControl.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>

namespace {

using namespace sundrel;

void BM_ScreenRedraw(benchmark::State& state)
{
    const auto sites = static_cast<std::size_t>(state.range(0));
    const auto file = std::filesystem::temp_directory_path() /
                      ("sundrel-window-bench-" + std::to_string(::getpid()) + ".dvt");
    {
        MMapFactory factory;
        factory.StartCreation(bench::RandomPoints(sites));
        factory.waitIdle(std::chrono::milliseconds::max());
        const std::unique_ptr<MMap> map = factory.TakeMap();
        SaveMapDocument(file, BuildHeader(*map), *map, factory);
    }
    app::TMainForm form;
    form.resize(800, 600);
    form.show();
    QApplication::processEvents();
    form.OpenDocument(QString::fromStdString(file.string()));
    QApplication::processEvents();
    for (auto _ : state) {
        const QImage image = form.View()->grabFramebuffer();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["view px"] = form.View()->width() * form.View()->height();
    std::filesystem::remove(file);
}
BENCHMARK(BM_ScreenRedraw)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
