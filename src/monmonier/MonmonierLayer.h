#pragma once
// All result layers of one open sundrel document and the worker thread that
// computes them: the inputs taken from the map (cells, paving matrix, used
// bits), the drawing order and the kind lists, the active layer, the style
// of new layers, and the command protocol with the worker. Windows only ask
// and draw; every long computation runs here.

#include "common/Worker.h"
#include "model/MMap.h"
#include "monmonier/Messages.h"
#include "monmonier/Paving.h"
#include "monmonier/SundrelMonmonier.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sundrel {

class MatrixFile;
class Notifier;
struct CountsFile;

// Worker commands.
inline constexpr std::int32_t kCommandLoad = -10;
inline constexpr std::int32_t kCommandToggle = -11;
inline constexpr std::int32_t kCommandNewAnalysis = -100;
inline constexpr std::int32_t kCommandAddCounts = -101;
inline constexpr std::int32_t kCommandMapChanged = -1000;

// Style given to new layers, kept in the settings and in documents.
struct LayerStyles {
    float singleSize = 3.0f;
    std::uint32_t singleColor = 0x001122CC;
    LayerFont titleFont{"MS Sans Serif", 18, 0x1};
    std::uint32_t titleColor = 0x00226611;
    float multipleSize = 8.0f;
    std::uint32_t multipleColor = 0x004411AA;
    LayerFont valueFont{"MS Sans Serif", 6, 0};
    std::uint32_t valueColor = 0x00446611;
    bool operator==(const LayerStyles&) const = default;
};

// A new analysis as the set-up dialog hands it over.
struct AnalysisRequest {
    std::unique_ptr<MatrixFile> store; // holds M matrices of size N
    bool single = true;
    std::int32_t sundrels = 1;         // K
    int labelStyle = 0;
    std::string title;
    bool showReport = false;
    std::array<bool, 10> selection{true, true, true, true, true, true, true, true, true, true};
    // A piece of a significance test: the store holds replicates
    // firstReplicate .. of a test of replicateTotal (0: the store is the test).
    std::int32_t firstReplicate = 1;
    std::int32_t replicateTotal = 0;
};

// A layer as read from a document, before it is computed.
struct LoadedLayer {
    std::unique_ptr<SundrelMonmonier> layer;
    std::int32_t sundrels = 0;
};

class MonmonierLayer : public Worker {
public:
    struct Windows {
        Notifier* main = nullptr;     // redraw, loaded, added
        Notifier* progress = nullptr; // reading, start, done, sorting and sundrel steps
        Notifier* report = nullptr;   // finished reports
    };
    // Reads the layers of a document (the worker's load command): the
    // styles, the layers in layer-index order, the drawing order and the
    // active index. Installed by the document code.
    using Loader = std::function<void(const std::filesystem::path& file, MonmonierLayer& into,
                                      std::vector<LoadedLayer>& layers,
                                      std::vector<std::int32_t>& order, std::int32_t& active)>;

    MonmonierLayer();
    explicit MonmonierLayer(Windows windows);
    ~MonmonierLayer() override;

    MonmonierLayer(const MonmonierLayer&) = delete;
    MonmonierLayer& operator=(const MonmonierLayer&) = delete;

    LayerStyles styles;
    Loader loader;

    // A new map: all layers go; the map's cells are taken and the layers'
    // shared inputs sized for its N. Ignored while busy.
    void setMap(const MMap& map);
    // Before the map is edited: cancels the running command and returns once
    // the worker no longer reads the map. False, with nothing cancelled,
    // while a load or a new analysis awaits its acknowledgement.
    bool cancelForEdit();
    // The map's cells changed (an edit): every layer is computed again.
    void mapChanged(const std::vector<MPolygon>* cells);
    // Reads the layers of a document on the worker; the main window gets
    // WM_LAYERS_LOADED (wParam the active index, or -100 with the failure,
    // whose text loadError() also gives).
    void load(const std::filesystem::path& file, const MMap& map);
    // After WM_LAYERS_LOADED: takes in the load that ended (on success the
    // drawing order, the kind lists and the active layer it read) and
    // acknowledges it. Does nothing when no load awaits: whoever comes first
    // (the window, or a save that must write the layers read) takes it in.
    void completeLoad();
    std::string loadError() const;
    // Starts a new analysis on the worker. False while busy.
    bool newAnalysis(AnalysisRequest request);
    // Adds the counts of a significance test made elsewhere as a layer of
    // its own (see CountsLayer), computed on the worker; the job fails with
    // the system's message when the map has not an edge counted. False
    // while busy.
    bool addCounts(const CountsFile& counts);
    // The index of the layer with this serial (see SundrelMonmonier::serial),
    // or -1 when it is gone.
    std::int32_t indexOfSerial(std::intptr_t serial) const;
    void requestRecompute(std::int32_t layer, std::int32_t k);
    void requestToggle(std::int32_t layer, int index);
    void reset();
    // Ends whatever the layers do, a hand-over under way included (its
    // result is dropped), and forgets them: the document goes.
    void close();
    void acknowledge();
    // A new analysis or a load was handed over and the main window has not
    // acknowledged it yet (see the worker's own busy() for a running command).
    bool awaitingAcknowledge() const;

    // Stops a new analysis at whatever stage it is, waits for the worker,
    // and removes the layer it had added. False when no new analysis was
    // running (it may have ended meanwhile): nothing is then stopped.
    bool stopAnalysis();

    void remove(std::int32_t layer);
    void removeAll();
    void activate(std::int32_t layer);
    void showAll();
    void hideAll();
    void hideInactive();
    bool allShown() const;
    bool allHidden() const;

    // Drawing order commands.
    void foreground(std::int32_t layer);
    void moveFront(std::int32_t layer);
    void moveBack(std::int32_t layer);
    void background(std::int32_t layer);

    std::int32_t count() const;
    std::shared_ptr<SundrelMonmonier> layer(std::int32_t index) const;
    std::shared_ptr<SundrelMonmonier> activeLayer() const;
    std::int32_t activeIndex() const;
    std::vector<std::int32_t> drawOrder() const;
    std::vector<std::int32_t> singleLayers() const;
    std::vector<std::int32_t> multipleLayers() const;
    std::int32_t populationCount() const;

    // Bytes of the layers' part of a document, and its writing (the styles,
    // every layer with its matrices, the drawing order).
    std::int64_t dataSize() const;
    std::int64_t saveStepCount() const;
    // After a save: every layer's store reads from the document.
    void repointStores(const std::filesystem::path& file);

    // Redraw requests from any thread, coalesced.
    void requestRedraw();
    bool redrawPending() const;
    void redrawDone();

    // Gives a layer read from a document the callbacks and shared inputs of
    // this object (used by the loader).
    std::unique_ptr<SundrelMonmonier> makeLayer(bool single, std::int32_t m, std::int32_t n,
                                                std::unique_ptr<MatrixFile> store);
    const std::vector<MPolygon>* cells() const { return cells_; }
    // A layer record of a document is being read (layer index, M): the
    // progress window shows the sorting to come.
    void reportLayerReading(std::int32_t index, std::int32_t m);

protected:
    void jobEnded(const JobResult& result) override;

private:
    struct Command {
        explicit Command(std::int32_t code, std::int32_t layer = -1, std::int32_t arg = 0)
            : code(code), layer(layer), arg(arg)
        {
        }
        std::int32_t code;
        std::int32_t layer;
        std::int32_t arg;
        std::filesystem::path file;
        std::shared_ptr<AnalysisRequest> analysis;
        std::shared_ptr<const CountsFile> counts;
        // The styles of a new layer, taken when the analysis is asked for:
        // the window may change `styles` while the worker runs.
        LayerStyles styles;
    };
    void run(const Command& command);
    // Hands the command to the worker (cancelling the one that runs); false
    // when the worker did not become idle in time.
    bool send(Command command);
    // Cancels the running command and waits until the worker is idle.
    void stopCommand();
    void buildPaving();
    // The used bits and the paving matrix, made when a layer first needs them.
    void ensureInputs();
    void appendLayer(std::shared_ptr<SundrelMonmonier> layer);
    // Takes a layer out of the list and the orders (the worker idle).
    void eraseLayer(std::int32_t index);
    void destroyLayers();
    void postMain(int message, std::intptr_t w = 0, std::intptr_t l = 0);
    void postProgress(int message, std::intptr_t w = 0, std::intptr_t l = 0);
    // The drawing order and kind lists, then the active layer.
    void finishLoad(const std::vector<std::int32_t>& order, std::int32_t activeIndex);
    void forgetLayers();

    Windows windows_;

    // The command the worker runs (written on the worker thread only), and
    // whether it has posted the message the main window acknowledges.
    std::int32_t runningCommand_ = kCommandLoad;
    bool acknowledgePosted_ = false;

    // Layers and lists, guarded by listLock_ (the worker appends layers).
    mutable std::mutex listLock_;
    std::vector<std::shared_ptr<SundrelMonmonier>> layers_;
    std::deque<std::int32_t> drawOrder_;
    std::deque<std::int32_t> singleLayers_;
    std::deque<std::int32_t> multipleLayers_;
    std::int32_t activeIndex_ = -1;

    std::int32_t populationCount_ = 0;
    const std::vector<MPolygon>* cells_ = nullptr;
    std::unique_ptr<PavingMatrix> paving_;
    PavedPairs paved_; // the entries paving_ sets
    UsedBits usedBits_;

    mutable std::mutex redrawLock_;
    std::int32_t pendingRedraws_ = 0;
    std::atomic<bool> busy_{false};
    // A new analysis runs (set when it is sent, cleared when it ends), and
    // whether the last one ended cancelled.
    std::atomic<bool> analysisRunning_{false};
    bool analysisCancelled_ = false;

    // Load results, taken in by completeLoad (held through it, so that a
    // save that finds the load taken in finds it complete).
    std::mutex completeLock_;
    mutable std::mutex loadLock_;
    bool loadPending_ = false;
    std::vector<std::int32_t> loadedOrder_;
    std::int32_t loadedActive_ = -1;
    std::string loadError_;
};

} // namespace sundrel
