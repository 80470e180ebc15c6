#include "app/document/DocumentBridge.h"

#include "import/DataFileWorker.h"
#include "model/MMapFactory.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/SundrelTypes.h"

#include <QCoreApplication>

namespace sundrel::app {

namespace {

// Each sender has an event type of its own, so that its messages can be
// dropped without touching the others'.
QEvent::Type EventType(Sender sender)
{
    return static_cast<QEvent::Type>(QEvent::User + 100 + static_cast<int>(sender));
}

// The map factory reports through event slots, which have no message numbers
// of their own: these number them on the bridge's channel.
enum CreationMessage {
    WM_CREATION_PROGRESS = 1,
    WM_CREATION_FINISHED,
    WM_CREATION_FAILED,
    WM_CREATION_CANCELLED
};

class WorkerEvent : public QEvent {
public:
    WorkerEvent(Sender sender, int message, std::intptr_t wParam, std::intptr_t lParam,
                JobResult result = {})
        : QEvent(EventType(sender)), sender(sender), message(message), wParam(wParam),
          lParam(lParam), result(std::move(result))
    {
    }
    const Sender sender;
    const int message;
    const std::intptr_t wParam;
    const std::intptr_t lParam;
    // The end of a job: its result.
    const JobResult result;
};

// Steps come in bursts (one per drawn item, one per sorted matrix): they are
// counted, and one event carries the count.
bool IsCountedStep(Sender sender, int message)
{
    return (sender == Sender::Export && message == WM_EXPORT_STEP) ||
           (sender == Sender::LayersStatus && message == WM_PROGRESS_STEP);
}

} // namespace

class DocumentBridge::Channel : public Notifier {
public:
    Channel(DocumentBridge& bridge, Sender sender) : bridge_(bridge), sender_(sender) {}

    void post(int message, std::intptr_t wParam, std::intptr_t lParam) override
    {
        if (IsCountedStep(sender_, message)) {
            if (pendingSteps_.fetch_add(1) != 0)
                return;
        }
        QCoreApplication::postEvent(&bridge_, new WorkerEvent(sender_, message, wParam, lParam));
    }
    void send(int message, std::intptr_t wParam, std::intptr_t lParam) override
    {
        post(message, wParam, lParam);
    }
    void postResult(int message, std::intptr_t wParam, std::intptr_t lParam,
                    const JobResult& result) override
    {
        QCoreApplication::postEvent(&bridge_,
                                    new WorkerEvent(sender_, message, wParam, lParam, result));
    }

    int TakeSteps() { return pendingSteps_.exchange(0); }

private:
    DocumentBridge& bridge_;
    const Sender sender_;
    std::atomic<int> pendingSteps_{0};
};

DocumentBridge::DocumentBridge(QObject* parent) : QObject(parent)
{
    for (std::size_t i = 0; i < channels_.size(); ++i)
        channels_[i] = std::make_unique<Channel>(*this, static_cast<Sender>(i));
}

DocumentBridge::~DocumentBridge() = default;

Notifier& DocumentBridge::notifier(Sender sender)
{
    return *channels_[static_cast<std::size_t>(sender)];
}

void DocumentBridge::attach(MMapFactory& factory)
{
    Notifier& channel = notifier(Sender::MapCreation);
    factory.OnProgress = [&channel](MMapFactory&) { channel.post(WM_CREATION_PROGRESS, 0, 0); };
    // The seconds travel as microseconds: no message carries a pointer.
    factory.OnFinished = [&channel](MMapFactory&, double seconds) {
        channel.post(WM_CREATION_FINISHED, 0, static_cast<std::intptr_t>(seconds * 1e6));
    };
    factory.OnError = [&channel](MMapFactory&, const JobResult& failure) {
        channel.postResult(WM_CREATION_FAILED, 0, 0, failure);
    };
    factory.OnCancelled = [&channel](MMapFactory&) {
        channel.postResult(WM_CREATION_CANCELLED, 0, 0, JobResult::Cancelled());
    };
}

void DocumentBridge::detach(MMapFactory& factory)
{
    factory.OnProgress = nullptr;
    factory.OnFinished = nullptr;
    factory.OnError = nullptr;
    factory.OnCancelled = nullptr;
}

void DocumentBridge::discard(Sender sender)
{
    QCoreApplication::removePostedEvents(this, EventType(sender));
    channels_[static_cast<std::size_t>(sender)]->TakeSteps();
}

void DocumentBridge::customEvent(QEvent* event)
{
    if (auto* e = dynamic_cast<WorkerEvent*>(event))
        Deliver(e->sender, e->message, e->wParam, e->lParam, e->result);
    else
        QObject::customEvent(event);
}

void DocumentBridge::Deliver(Sender sender, int message, std::intptr_t w, std::intptr_t l,
                             const JobResult& result)
{
    switch (sender) {
    case Sender::MapCreation:
        switch (message) {
        case WM_CREATION_PROGRESS:
            emit creationProgress();
            break;
        case WM_CREATION_FINISHED:
            emit creationEnded(result, static_cast<double>(l) / 1e6);
            break;
        case WM_CREATION_FAILED:
        case WM_CREATION_CANCELLED:
            emit creationEnded(result, 0.0);
            break;
        }
        break;
    case Sender::Export:
        switch (message) {
        case WM_EXPORT_STEP:
            if (const int steps = channels_[static_cast<std::size_t>(sender)]->TakeSteps())
                emit exportSteps(steps);
            break;
        case WM_EXPORT_STAGE:
            emit exportStage(static_cast<int>(l), static_cast<int>(w));
            break;
        case WM_EXPORT_FINISHED:
        case WM_EXPORT_FAILED:
        case WM_EXPORT_CANCELLED:
            emit exportEnded(result);
            break;
        }
        break;
    case Sender::Layers:
        switch (message) {
        case WM_LAYERS_REDRAW:
            emit layersRedraw();
            break;
        case WM_LAYERS_LOADED:
            if (layers_)
                layers_->completeLoad();
            emit layersLoaded(result);
            break;
        case WM_LAYER_ADDED:
            if (layers_)
                layers_->acknowledge();
            emit layerAdded(static_cast<qintptr>(w));
            break;
        }
        break;
    case Sender::LayersStatus:
        switch (message) {
        case WM_LAYER_READING:
            emit layerReading(static_cast<int>(w), static_cast<int>(l));
            break;
        case WM_LAYER_START:
            emit layerStarted(static_cast<int>(w), static_cast<qint64>(l));
            break;
        case WM_PROGRESS_STEP:
            if (const int steps = channels_[static_cast<std::size_t>(sender)]->TakeSteps())
                emit layerSortingSteps(steps);
            break;
        case WM_PROGRESS_POSITION:
            emit layerPosition(static_cast<qint64>(l));
            break;
        case WM_PROGRESS_SHOW:
            emit layerConstructing();
            break;
        case WM_LAYER_DONE:
        case WM_LAYER_FAILED:
        case WM_LAYER_CANCELLED:
            emit layerEnded(result);
            break;
        }
        break;
    case Sender::Reports:
        if (message == WM_SHOW_REPORT)
            emit reportReady(static_cast<qintptr>(l));
        break;
    case Sender::CoordinateImport:
    case Sender::MatrixImport:
    case Sender::GenotypeImport: {
        ImportSignals& to = sender == Sender::MatrixImport     ? matrixImport_
                            : sender == Sender::GenotypeImport ? genotypeImport_
                                                               : coordinateImport_;
        const auto step = static_cast<quint64>(w);
        switch (message) {
        case WM_IMPORT_PROGRESS: // also the reader's progress while indexing
            emit to.progress(static_cast<int>(l));
            break;
        case WM_IMPORT_READ:
            if (l == 0)
                emit to.fileRead(step);
            else
                emit to.readEnded(step, result);
            break;
        case WM_IMPORT_INIT_ERROR:
            emit to.readEnded(step, result);
            break;
        case WM_IMPORT_DONE:
        case WM_IMPORT_ERROR:
            emit to.extractionEnded(step, result);
            break;
        case WM_IMPORT_CANCELLED:
            if (l == 1)
                emit to.readEnded(step, result);
            else
                emit to.extractionEnded(step, result);
            break;
        }
        break;
    }
    case Sender::Count:
        break;
    }
}

} // namespace sundrel::app
