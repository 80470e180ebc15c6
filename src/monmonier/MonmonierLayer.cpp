#include "monmonier/MonmonierLayer.h"

#include "monmonier/CountsLayer.h"

#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Notifier.h"
#include "matrix/MatrixFile.h"
#include "monmonier/Paving.h"
#include "monmonier/Messages.h"

#include <algorithm>

namespace sundrel {

namespace {

void Remove(std::deque<std::int32_t>& list, std::int32_t value)
{
    list.erase(std::remove(list.begin(), list.end(), value), list.end());
}

void Renumber(std::deque<std::int32_t>& list, std::int32_t removed)
{
    for (std::int32_t& v : list)
        if (v > removed)
            --v;
}

} // namespace

MonmonierLayer::MonmonierLayer() : MonmonierLayer(Windows{}) {}

MonmonierLayer::MonmonierLayer(Windows windows) : windows_(windows) {}

MonmonierLayer::~MonmonierLayer()
{
    stopWorker();
    destroyLayers();
}

void MonmonierLayer::postMain(int message, std::intptr_t w, std::intptr_t l)
{
    if (windows_.main)
        windows_.main->post(message, w, l);
}

void MonmonierLayer::postProgress(int message, std::intptr_t w, std::intptr_t l)
{
    if (windows_.progress)
        windows_.progress->post(message, w, l);
}

bool MonmonierLayer::send(Command command)
{
    auto shared = std::make_shared<Command>(std::move(command));
    return startJob([this, shared] {
        runningCommand_ = shared->code;
        acknowledgePosted_ = false;
        run(*shared);
    });
}

void MonmonierLayer::stopCommand()
{
    cancel();
    wait();
}

void MonmonierLayer::jobEnded(const JobResult& result)
{
    const bool acknowledged = runningCommand_ == kCommandLoad || runningCommand_ == kCommandNewAnalysis;
    if (runningCommand_ == kCommandNewAnalysis) {
        analysisCancelled_ = result.outcome == JobOutcome::Cancelled;
        analysisRunning_ = false;
    }
    if (runningCommand_ == kCommandLoad && result.outcome != JobOutcome::Cancelled) {
        JobResult loaded = result;
        std::intptr_t active = kLayersLoadFailed;
        {
            std::lock_guard<std::mutex> lock(loadLock_);
            loadPending_ = true;
            if (result.outcome == JobOutcome::Done) {
                active = loadedActive_;
            } else {
                // A layer the load had already made goes when the main
                // window resets the layers after the message.
                loadedOrder_.clear();
                loadedActive_ = -1;
                if (loadError_.empty())
                    loadError_ = result.message;
                loaded.message = loadError_;
            }
        }
        if (windows_.main)
            windows_.main->postResult(WM_LAYERS_LOADED, active, 0, loaded);
        return;
    }
    // No acknowledgement will come for a command that ended before posting
    // its message: the layers must not stay busy for good.
    if (acknowledged && !acknowledgePosted_)
        busy_ = false;
    if (!windows_.progress)
        return;
    switch (result.outcome) {
    case JobOutcome::Done:
        windows_.progress->postResult(WM_LAYER_DONE, 0, 0, result);
        break;
    case JobOutcome::Failed:
        windows_.progress->postResult(WM_LAYER_FAILED, 0, 0, result);
        break;
    case JobOutcome::Cancelled:
        windows_.progress->postResult(WM_LAYER_CANCELLED, 0, 0, result);
        break;
    }
}

void MonmonierLayer::run(const Command& command)
{
    if (command.code == kCommandLoad) {
        std::vector<LoadedLayer> loaded;
        std::vector<std::int32_t> order;
        std::int32_t active = -1;
        {
            std::lock_guard<std::mutex> lock(loadLock_);
            loadError_.clear();
        }
        try {
            if (!loader)
                throw Error(msg::ImpossibleToOpen);
            loader(command.file, *this, loaded, order, active);
        } catch (const Abort&) {
            throw;
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(loadLock_);
            loadError_ = msg::LayerDataIgnored(command.file.string(), e.what());
            throw Error(loadError_);
        }
        {
            std::lock_guard<std::mutex> lock(listLock_);
            for (LoadedLayer& l : loaded) {
                l.layer->setStoredSundrelCount(l.sundrels);
                layers_.push_back(std::shared_ptr<SundrelMonmonier>(std::move(l.layer)));
            }
        }
        std::lock_guard<std::mutex> lock(loadLock_);
        loadedOrder_ = std::move(order);
        loadedActive_ = active;
        loadError_.clear();
        return;
    }
    if (command.code == kCommandNewAnalysis) {
        AnalysisRequest& request = *command.analysis;
        const std::int32_t m = request.store->matrixCount();
        const std::int32_t n = request.store->size();
        ensureInputs();
        std::unique_ptr<SundrelMonmonier> made = makeLayer(request.single, m, n, std::move(request.store));
        if (request.single) {
            made->labelStyle = request.labelStyle;
            made->lineColor = command.styles.singleColor;
            made->lineSize = command.styles.singleSize;
            made->textColor = command.styles.titleColor;
            made->font = command.styles.titleFont;
        } else {
            made->lineColor = command.styles.multipleColor;
            made->lineSize = command.styles.multipleSize;
            made->textColor = command.styles.valueColor;
            made->font = command.styles.valueFont;
        }
        made->name = request.title;
        made->showReport = request.showReport;
        made->setSelection(request.selection);
        if (request.replicateTotal > 0)
            made->setReplicateNumbering(request.firstReplicate, request.replicateTotal);
        std::shared_ptr<SundrelMonmonier> layer(std::move(made));
        appendLayer(layer);
        std::int32_t index;
        {
            std::lock_guard<std::mutex> lock(listLock_);
            index = static_cast<std::int32_t>(layers_.size()) - 1;
        }
        postProgress(WM_LAYER_START, index, std::intptr_t(m) * request.sundrels);
        acknowledgePosted_ = true;
        postMain(WM_LAYER_ADDED, layer->serial());
        layer->compute(request.sundrels);
        return;
    }
    if (command.code == kCommandAddCounts) {
        if (command.counts->header.populations != populationCount_)
            throw Error("The counts of \"" + command.counts->header.name + "\" are for " +
                        std::to_string(command.counts->header.populations) +
                        " populations; the map has " + std::to_string(populationCount_));
        ensureInputs();
        auto made = std::make_shared<CountsLayer>(*command.counts, cells_, &usedBits_, paving_.get());
        made->lineColor = command.styles.multipleColor;
        made->lineSize = command.styles.multipleSize;
        made->textColor = command.styles.valueColor;
        made->font = command.styles.valueFont;
        made->onRedrawRequest = [this] { requestRedraw(); };
        made->checkEdges();
        made->compute(command.counts->header.sundrels);
        appendLayer(made);
        requestRedraw();
        return;
    }
    if (command.code == kCommandMapChanged) {
        std::vector<std::shared_ptr<SundrelMonmonier>> layers;
        {
            std::lock_guard<std::mutex> lock(listLock_);
            layers = layers_;
        }
        if (layers.empty()) {
            // Built again by the next analysis, for the cells it finds.
            paving_.reset();
            paved_.clear();
            return;
        }
        if (usedBits_.empty())
            usedBits_ = MakeUsedBits(populationCount_);
        // The layers are not computed (mapChanged cleared them), so nothing
        // reads the matrix while it is brought to the new cells in place.
        if (paving_)
            UpdatePavingMatrix(*paving_, paved_, *cells_, populationCount_);
        else
            buildPaving();
        for (std::size_t i = 0; i < layers.size(); ++i) {
            postProgress(WM_LAYER_START, static_cast<std::intptr_t>(i),
                         std::intptr_t(layers[i]->matrixCount()) * layers[i]->sundrelCount());
            layers[i]->setMap(cells_, paving_.get());
        }
        return;
    }
    const std::shared_ptr<SundrelMonmonier> target = layer(command.layer);
    if (!target)
        return;
    if (command.code == kCommandToggle)
        target->toggleSelection(command.arg);
    else if (command.code >= 0)
        target->setSundrelCount(command.code);
}

void MonmonierLayer::ensureInputs()
{
    if (usedBits_.empty())
        usedBits_ = MakeUsedBits(populationCount_);
    if (!paving_)
        buildPaving();
}

void MonmonierLayer::buildPaving()
{
    paving_.reset();
    paved_.clear();
    if (cells_)
        paving_ = std::make_unique<PavingMatrix>(
            BuildPavingMatrix(*cells_, populationCount_, &feedback(), &paved_));
}

std::unique_ptr<SundrelMonmonier> MonmonierLayer::makeLayer(bool single, std::int32_t m,
                                                            std::int32_t n,
                                                            std::unique_ptr<MatrixFile> store)
{
    std::unique_ptr<SundrelMonmonier> made;
    if (single)
        made = std::make_unique<SundrelMonmonierSingle>(m, n, cells_, std::move(store), &usedBits_,
                                                        paving_.get(), windows_.progress,
                                                        windows_.report, &feedback());
    else
        made = std::make_unique<SundrelMonmonierMultiple>(m, n, cells_, std::move(store),
                                                          &usedBits_, paving_.get(),
                                                          windows_.progress, windows_.report,
                                                          &feedback());
    made->onRedrawRequest = [this] { requestRedraw(); };
    return made;
}

void MonmonierLayer::appendLayer(std::shared_ptr<SundrelMonmonier> layer)
{
    std::lock_guard<std::mutex> lock(listLock_);
    const auto index = static_cast<std::int32_t>(layers_.size());
    const bool single = layer->isSingle();
    layers_.push_back(std::move(layer));
    drawOrder_.push_back(index);
    (single ? singleLayers_ : multipleLayers_).push_back(index);
    activeIndex_ = index;
}

void MonmonierLayer::destroyLayers()
{
    std::lock_guard<std::mutex> lock(listLock_);
    layers_.clear();
    drawOrder_.clear();
    singleLayers_.clear();
    multipleLayers_.clear();
    activeIndex_ = -1;
}

void MonmonierLayer::setMap(const MMap& map)
{
    if (awaitingAcknowledge())
        return;
    // The worker must not be computing on the layers about to go.
    stopCommand();
    destroyLayers();
    populationCount_ = map.N();
    // The inputs the layers share grow with N squared: they are made when a
    // layer needs them, so that a huge map without layers opens.
    usedBits_.clear();
    paving_.reset();
    paved_.clear();
    mapChanged(&map.cells);
}

bool MonmonierLayer::cancelForEdit()
{
    if (awaitingAcknowledge())
        return false;
    stopCommand();
    return true;
}

void MonmonierLayer::mapChanged(const std::vector<MPolygon>* cells)
{
    if (awaitingAcknowledge())
        return;
    stopCommand();
    cells_ = cells;
    {
        std::lock_guard<std::mutex> lock(listLock_);
        for (auto& l : layers_)
            l->clearComputed();
    }
    send(Command(kCommandMapChanged));
}

void MonmonierLayer::load(const std::filesystem::path& file, const MMap& map)
{
    if (awaitingAcknowledge())
        return;
    stopCommand();
    destroyLayers();
    {
        std::lock_guard<std::mutex> lock(loadLock_);
        loadPending_ = false;
    }
    populationCount_ = map.N();
    // The inputs the layers share grow with N squared: they are made when a
    // layer needs them, so that a huge map without layers opens.
    usedBits_.clear();
    paving_.reset();
    paved_.clear();
    cells_ = &map.cells;
    busy_ = true;
    Command command(kCommandLoad);
    command.file = file;
    if (!send(std::move(command)))
        busy_ = false;
}

void MonmonierLayer::finishLoad(const std::vector<std::int32_t>& order, std::int32_t activeIndex)
{
    {
        std::lock_guard<std::mutex> lock(listLock_);
        drawOrder_.clear();
        singleLayers_.clear();
        multipleLayers_.clear();
        for (std::int32_t i : order) {
            if (i < 0 || static_cast<std::size_t>(i) >= layers_.size())
                continue;
            drawOrder_.push_back(i);
            (layers_[static_cast<std::size_t>(i)]->isSingle() ? singleLayers_ : multipleLayers_)
                .push_back(i);
        }
    }
    activate(activeIndex);
}

void MonmonierLayer::completeLoad()
{
    std::lock_guard<std::mutex> complete(completeLock_);
    std::vector<std::int32_t> order;
    std::int32_t active = -1;
    bool failed = false;
    {
        std::lock_guard<std::mutex> lock(loadLock_);
        if (!loadPending_)
            return;
        loadPending_ = false;
        order = std::move(loadedOrder_);
        loadedOrder_.clear();
        active = loadedActive_;
        failed = !loadError_.empty();
    }
    if (!failed)
        finishLoad(order, active);
    busy_ = false;
}

std::string MonmonierLayer::loadError() const
{
    std::lock_guard<std::mutex> lock(loadLock_);
    return loadError_;
}

bool MonmonierLayer::addCounts(const CountsFile& counts)
{
    if (awaitingAcknowledge())
        return false;
    stopCommand();
    Command command(kCommandAddCounts);
    command.counts = std::make_shared<const CountsFile>(counts);
    command.styles = styles;
    return send(std::move(command));
}

bool MonmonierLayer::newAnalysis(AnalysisRequest request)
{
    if (awaitingAcknowledge() || !request.store)
        return false;
    stopCommand();
    busy_ = true;
    Command command(kCommandNewAnalysis);
    command.analysis = std::make_shared<AnalysisRequest>(std::move(request));
    command.styles = styles;
    analysisRunning_ = true;
    if (!send(std::move(command))) {
        busy_ = false;
        analysisRunning_ = false;
        return false;
    }
    return true;
}

bool MonmonierLayer::stopAnalysis()
{
    if (!analysisRunning_)
        return false;
    stopCommand();
    // The worker is idle: what the analysis left can be read.
    if (runningCommand_ != kCommandNewAnalysis || !analysisCancelled_)
        return false;
    // Its layer, once added, is the last one. The window's acknowledgement
    // of the addition may still be on its way: it finds the layer gone.
    if (acknowledgePosted_)
        eraseLayer(count() - 1);
    return true;
}

std::int32_t MonmonierLayer::indexOfSerial(std::intptr_t serial) const
{
    std::lock_guard<std::mutex> lock(listLock_);
    for (std::size_t i = 0; i < layers_.size(); ++i)
        if (layers_[i]->serial() == serial)
            return static_cast<std::int32_t>(i);
    return -1;
}

void MonmonierLayer::requestRecompute(std::int32_t index, std::int32_t k)
{
    if (k < 0 || !layer(index))
        return;
    send(Command(k, index));
}

void MonmonierLayer::requestToggle(std::int32_t index, int i)
{
    if (!layer(index))
        return;
    send(Command(kCommandToggle, index, i));
}

void MonmonierLayer::reset()
{
    if (awaitingAcknowledge())
        return;
    stopCommand();
    forgetLayers();
}

void MonmonierLayer::close()
{
    stopCommand();
    {
        std::lock_guard<std::mutex> lock(loadLock_);
        loadPending_ = false;
        loadedOrder_.clear();
    }
    busy_ = false;
    forgetLayers();
}

void MonmonierLayer::forgetLayers()
{
    populationCount_ = 0;
    cells_ = nullptr;
    destroyLayers();
    paving_.reset();
    paved_.clear();
    usedBits_.clear();
}

void MonmonierLayer::acknowledge()
{
    busy_ = false;
}

bool MonmonierLayer::awaitingAcknowledge() const
{
    return busy_.load();
}

void MonmonierLayer::remove(std::int32_t index)
{
    if (awaitingAcknowledge())
        return;
    stopCommand();
    eraseLayer(index);
}

void MonmonierLayer::eraseLayer(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(listLock_);
    if (index < 0 || static_cast<std::size_t>(index) >= layers_.size())
        return;
    layers_.erase(layers_.begin() + index);
    Remove(drawOrder_, index);
    Remove(singleLayers_, index);
    Remove(multipleLayers_, index);
    Renumber(drawOrder_, index);
    Renumber(singleLayers_, index);
    Renumber(multipleLayers_, index);
    if (activeIndex_ == index)
        activeIndex_ = static_cast<std::int32_t>(layers_.size()) - 1;
    else if (activeIndex_ > index)
        --activeIndex_;
}

void MonmonierLayer::removeAll()
{
    while (count() > 0 && !awaitingAcknowledge())
        remove(0);
}

void MonmonierLayer::activate(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(listLock_);
    if (index >= -1 && index < static_cast<std::int32_t>(layers_.size()))
        activeIndex_ = index;
}

void MonmonierLayer::showAll()
{
    std::lock_guard<std::mutex> lock(listLock_);
    for (auto& l : layers_)
        l->visible = l->labelsVisible = true;
}

void MonmonierLayer::hideAll()
{
    std::lock_guard<std::mutex> lock(listLock_);
    for (auto& l : layers_)
        l->visible = l->labelsVisible = false;
}

void MonmonierLayer::hideInactive()
{
    std::lock_guard<std::mutex> lock(listLock_);
    for (std::size_t i = 0; i < layers_.size(); ++i) {
        const bool active = static_cast<std::int32_t>(i) == activeIndex_;
        layers_[i]->visible = layers_[i]->labelsVisible = active;
    }
}

bool MonmonierLayer::allShown() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return std::all_of(layers_.begin(), layers_.end(),
                       [](const auto& l) { return l->visible && l->labelsVisible; });
}

bool MonmonierLayer::allHidden() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return std::none_of(layers_.begin(), layers_.end(),
                        [](const auto& l) { return l->visible || l->labelsVisible; });
}

void MonmonierLayer::foreground(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(listLock_);
    if (index < 0 || static_cast<std::size_t>(index) >= layers_.size())
        return;
    auto& kind = layers_[static_cast<std::size_t>(index)]->isSingle() ? singleLayers_ : multipleLayers_;
    Remove(drawOrder_, index);
    drawOrder_.push_back(index);
    Remove(kind, index);
    kind.push_back(index);
}

void MonmonierLayer::background(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(listLock_);
    if (index < 0 || static_cast<std::size_t>(index) >= layers_.size())
        return;
    auto& kind = layers_[static_cast<std::size_t>(index)]->isSingle() ? singleLayers_ : multipleLayers_;
    Remove(drawOrder_, index);
    drawOrder_.push_front(index);
    Remove(kind, index);
    kind.push_front(index);
}

void MonmonierLayer::moveFront(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(listLock_);
    const auto it = std::find(drawOrder_.begin(), drawOrder_.end(), index);
    if (it == drawOrder_.end() || it + 1 == drawOrder_.end())
        return;
    const std::int32_t passed = *(it + 1);
    std::iter_swap(it, it + 1);
    const bool single = layers_[static_cast<std::size_t>(index)]->isSingle();
    if (layers_[static_cast<std::size_t>(passed)]->isSingle() == single) {
        auto& kind = single ? singleLayers_ : multipleLayers_;
        const auto k = std::find(kind.begin(), kind.end(), index);
        if (k != kind.end() && k + 1 != kind.end())
            std::iter_swap(k, k + 1);
    }
}

void MonmonierLayer::moveBack(std::int32_t index)
{
    std::lock_guard<std::mutex> lock(listLock_);
    const auto it = std::find(drawOrder_.begin(), drawOrder_.end(), index);
    if (it == drawOrder_.end() || it == drawOrder_.begin())
        return;
    const std::int32_t passed = *(it - 1);
    std::iter_swap(it, it - 1);
    const bool single = layers_[static_cast<std::size_t>(index)]->isSingle();
    if (layers_[static_cast<std::size_t>(passed)]->isSingle() == single) {
        auto& kind = single ? singleLayers_ : multipleLayers_;
        const auto k = std::find(kind.begin(), kind.end(), index);
        if (k != kind.end() && k != kind.begin())
            std::iter_swap(k, k - 1);
    }
}

std::int32_t MonmonierLayer::count() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return static_cast<std::int32_t>(layers_.size());
}

std::shared_ptr<SundrelMonmonier> MonmonierLayer::layer(std::int32_t index) const
{
    std::lock_guard<std::mutex> lock(listLock_);
    if (index < 0 || static_cast<std::size_t>(index) >= layers_.size())
        return nullptr;
    return layers_[static_cast<std::size_t>(index)];
}

std::shared_ptr<SundrelMonmonier> MonmonierLayer::activeLayer() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    if (activeIndex_ < 0 || static_cast<std::size_t>(activeIndex_) >= layers_.size())
        return nullptr;
    return layers_[static_cast<std::size_t>(activeIndex_)];
}

std::int32_t MonmonierLayer::activeIndex() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return activeIndex_;
}

std::vector<std::int32_t> MonmonierLayer::drawOrder() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return {drawOrder_.begin(), drawOrder_.end()};
}

std::vector<std::int32_t> MonmonierLayer::singleLayers() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return {singleLayers_.begin(), singleLayers_.end()};
}

std::vector<std::int32_t> MonmonierLayer::multipleLayers() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    return {multipleLayers_.begin(), multipleLayers_.end()};
}

std::int32_t MonmonierLayer::populationCount() const
{
    return populationCount_;
}

std::int64_t MonmonierLayer::dataSize() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    std::int64_t size = 308 + 4 * static_cast<std::int64_t>(layers_.size());
    for (const auto& l : layers_)
        size += 316 + std::int64_t(l->matrixCount()) *
                          (l->store().matrixBytes() + l->store().permutationBytes());
    return size;
}

std::int64_t MonmonierLayer::saveStepCount() const
{
    std::lock_guard<std::mutex> lock(listLock_);
    std::int64_t steps = 0;
    for (const auto& l : layers_)
        steps += 2 * std::int64_t(l->matrixCount()) + 1;
    return steps;
}

void MonmonierLayer::repointStores(const std::filesystem::path&)
{
    std::lock_guard<std::mutex> lock(listLock_);
    for (auto& l : layers_)
        l->store().reattach();
}

void MonmonierLayer::reportLayerReading(std::int32_t index, std::int32_t m)
{
    postProgress(WM_LAYER_READING, index, m);
}

void MonmonierLayer::requestRedraw()
{
    {
        std::lock_guard<std::mutex> lock(redrawLock_);
        ++pendingRedraws_;
    }
    postMain(WM_LAYERS_REDRAW);
}

bool MonmonierLayer::redrawPending() const
{
    std::lock_guard<std::mutex> lock(redrawLock_);
    return pendingRedraws_ != 0;
}

void MonmonierLayer::redrawDone()
{
    std::lock_guard<std::mutex> lock(redrawLock_);
    pendingRedraws_ = 0;
}

} // namespace sundrel
