#include "cli/Documents.h"

#include "cli/Interrupt.h"

#include "common/Errors.h"
#include "monmonier/SundrelDocument.h"
#include "monmonier/Messages.h"

#include <cstdio>
#include <unistd.h>

namespace sundrel::cli {

// A terminal sees the line rewritten in place; a log gets a line per tenth,
// and only for work that lasts (short runs stay quiet).
void ProgressPrinter::show(const char* what, std::int64_t done, std::int64_t total)
{
    if (total <= 0)
        return;
    int percent = static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total));
    percent = percent > 100 ? 100 : percent;
    if (::isatty(STDERR_FILENO)) {
        std::fprintf(stderr, "\r%s %3d%%", what, percent);
        lineOpen_ = true;
        return;
    }
    if (percent / 10 <= shownTenth_)
        return;
    if (std::chrono::steady_clock::now() - started_ < std::chrono::seconds(2))
        return;
    shownTenth_ = percent / 10;
    std::fprintf(stderr, "%s %d%%\n", what, shownTenth_ * 10);
}

void ProgressPrinter::phase(std::int64_t total)
{
    total_ = total;
    shownTenth_ = -1;
}

void ProgressPrinter::sorting(std::int64_t matrices)
{
    std::lock_guard<std::mutex> lock(lock_);
    sortTotal_ = 2 * matrices;
    sortSteps_ = 0;
    shownTenth_ = -1;
}

void ProgressPrinter::post(int message, std::intptr_t, std::intptr_t lParam)
{
    std::lock_guard<std::mutex> lock(lock_);
    switch (message) {
    case WM_LAYER_READING:
        sortTotal_ = 2 * static_cast<std::int64_t>(lParam);
        sortSteps_ = 0;
        shownTenth_ = -1;
        break;
    case WM_PROGRESS_STEP:
        show(msg::SortingMatrixData, ++sortSteps_, sortTotal_);
        break;
    case WM_LAYER_START:
        phase(lParam);
        break;
    case WM_PROGRESS_POSITION:
        show(msg::ConstructingSundrels, lParam, total_);
        break;
    default:
        break;
    }
}

void ProgressPrinter::finish()
{
    std::lock_guard<std::mutex> lock(lock_);
    if (lineOpen_)
        std::fprintf(stderr, "\r%60s\r", "");
    lineOpen_ = false;
}

void FinishCommand(MonmonierLayer& layers)
{
    WaitForWorker(layers);
    const JobResult result = layers.lastResult();
    if (result.Failed())
        throw Error(result.message);
}

OpenDocument OpenWithLayers(const std::filesystem::path& path, MMapFactory& factory,
                            MonmonierLayer& layers, bool compute, bool tolerateLayers)
{
    OpenDocument open;
    open.doc = LoadMapDocument(path, factory);
    open.geography = geo::ReadGeography(path, &open.geographyWarnings);
    open.sundrel = HasMonmonierData(open.doc.header);
    MMap& map = *open.doc.map;
    if (!open.sundrel) {
        layers.setMap(map);
        FinishCommand(layers);
        return open;
    }
    InstallDocumentLoader(layers);
    layers.load(path, map);
    std::string failure;
    try {
        FinishCommand(layers);
        failure = layers.loadError();
    } catch (const Error& e) {
        if (!tolerateLayers)
            throw;
        failure = e.what();
    }
    layers.completeLoad();
    if (!failure.empty()) {
        if (!tolerateLayers)
            throw Error(failure);
        open.sundrel = false;
        open.layersError = failure;
        return open;
    }
    // The sundrels are not stored: with the map's cells they are computed
    // again (which also builds the inputs a new analysis shares).
    if (compute) {
        layers.mapChanged(&map.cells);
        FinishCommand(layers);
    }
    return open;
}

void PrintWarnings(const std::vector<std::string>& warnings)
{
    for (const std::string& w : warnings)
        std::fprintf(stderr, "%s\n", w.c_str());
}

ComputedDocument::ComputedDocument(const std::filesystem::path& path)
    : open(OpenWithLayers(path, factory, layers, true))
{
    progress.finish();
}

} // namespace sundrel::cli
