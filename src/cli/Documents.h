#pragma once
// Opening a document on the command line with its result layers, the way
// the application does: the map, then the layers read and (when asked)
// computed again from their stored matrices on the layers' worker.

#include "geo/Sidecar.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "monmonier/MonmonierLayer.h"

#include <chrono>
#include <filesystem>
#include <mutex>
#include <memory>

namespace sundrel::cli {

// Progress of the layers' worker on standard error: a line rewritten in
// place on a terminal, a line per tenth otherwise.
class ProgressPrinter : public Notifier {
public:
    void post(int message, std::intptr_t wParam, std::intptr_t lParam) override;
    // The matrices a new analysis will sort (two steps each).
    void sorting(std::int64_t matrices);
    // Ends the progress line.
    void finish();

private:
    void show(const char* what, std::int64_t done, std::int64_t total);
    void phase(std::int64_t total);

    std::mutex lock_;
    std::int64_t sortSteps_ = 0;
    std::int64_t sortTotal_ = 0;
    std::int64_t total_ = 0;
    int shownTenth_ = -1;
    bool lineOpen_ = false;
    std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

struct OpenDocument {
    LoadedDocument doc;
    bool sundrel = false; // the document holds result layers it could read
    std::string layersError; // the reading error of layers left out
    geo::DocumentGeography geography; // what lies beside the document
    std::vector<std::string> geographyWarnings;
};

// Warnings on standard error, one a line.
void PrintWarnings(const std::vector<std::string>& warnings);

// Opens `path` into `layers` (which the caller made with its windows): the
// map, its layers, and with `compute` every layer computed again. Raises the
// system's message, the layers' reading error included unless
// `tolerateLayers`, which keeps the map and says why in layersError.
OpenDocument OpenWithLayers(const std::filesystem::path& path, MMapFactory& factory,
                            MonmonierLayer& layers, bool compute, bool tolerateLayers = false);

// A document opened the way report, barriers and export need it: the map
// and its layers, computed again, with the progress on standard error.
struct ComputedDocument {
    explicit ComputedDocument(const std::filesystem::path& path);

    ProgressPrinter progress;
    MMapFactory factory;
    MonmonierLayer layers{MonmonierLayer::Windows{nullptr, &progress, nullptr}};
    OpenDocument open;
};

// Waits for the layers' worker and raises its error, if any.
void FinishCommand(MonmonierLayer& layers);

} // namespace sundrel::cli
