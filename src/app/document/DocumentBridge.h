#pragma once
// The one way worker notifications reach the windows of an open document:
// every worker is handed a notifier of this bridge, tagged with who sends,
// and the bridge turns each message into a Qt signal emitted on the window
// thread. Message numbers that two workers share (the reader's progress and
// the layers' "loaded", the sorting step and the finished report) are told
// apart by their sender, here and nowhere else. Windows connect to signals;
// they never compare message numbers, poll a worker or wait for one.

#include "common/Notifier.h"

#include <QEvent>
#include <QObject>
#include <QString>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace sundrel {
class MMapFactory;
}

namespace sundrel::app {

// Who posts a message; each has its own notifier.
enum class Sender {
    MapCreation,  // the map factory's creation runs
    Export,       // the export thread: save, ".dvt" export, bitmap, print
    Layers,       // the result layers' worker, to the main window
    LayersStatus, // the result layers' worker, to the status window
    Reports,      // finished reports, to the report window
    CoordinateImport, // the coordinate import dialog's data-file worker
    MatrixImport,     // the matrix import dialog's data-file worker
    Count
};

// The signals of one data-file worker (the import dialogs each have one).
// Each names the step it reports on by the number its start returned.
class ImportSignals : public QObject {
    Q_OBJECT

signals:
    // Indexing, previewing and extracting: the whole percent done.
    void progress(int percent);
    void fileRead(quint64 step);
    void previewRead(quint64 step);
    void readFailed(quint64 step);
    void done(quint64 step);
    void failed(quint64 step);
    void cancelled(quint64 step, bool whileReading);
};

class DocumentBridge : public QObject {
    Q_OBJECT

public:
    explicit DocumentBridge(QObject* parent = nullptr);
    ~DocumentBridge() override;

    // The notifier to hand to a worker sending as `sender`. It posts and
    // returns at once from any thread; a synchronous send is posted too, so
    // that a worker never waits for the window thread (which may itself be
    // waiting for the worker). Step messages are counted and delivered as
    // one signal with the number of steps since the last one.
    Notifier& notifier(Sender sender);

    // Routes the map factory's event slots through this bridge. The factory
    // must not run a creation meanwhile.
    void attach(MMapFactory& factory);
    void detach(MMapFactory& factory);

    // Drops every message of `sender` not delivered yet (a document that is
    // being replaced forgets what its workers said).
    void discard(Sender sender);

    ImportSignals& coordinateImport() { return coordinateImport_; }
    ImportSignals& matrixImport() { return matrixImport_; }

signals:
    // Map creation: one progress signal per whole percent, then exactly one
    // of finished, failed and cancelled.
    void creationProgress();
    void creationFinished(double seconds);
    void creationFailed();
    void creationCancelled();

    // Export jobs: steps, stages, then exactly one outcome.
    void exportSteps(int count);
    void exportStage(int code, int layer);
    void exportFinished();
    void exportFailed();
    void exportCancelled();

    // Result layers, main window side.
    void layersRedraw();
    void layersLoaded(int activeIndex);
    void layersLoadFailed();
    void layerAdded();
    // Result layers, status window side.
    void layerReading(int index, int matrices);
    void layerStarted(int index, qint64 steps);
    void layerSortingSteps(int count);
    void layerPosition(qint64 position);
    void layerConstructing();
    void layerDone();
    void layerFailed();
    void layerCancelled();
    // A finished report, by the layer's serial.
    void reportReady(qintptr serial);

protected:
    void customEvent(QEvent* event) override;

private:
    class Channel;
    friend class Channel;

    void Deliver(Sender sender, int message, std::intptr_t wParam, std::intptr_t lParam);

    std::array<std::unique_ptr<Channel>, static_cast<std::size_t>(Sender::Count)> channels_;
    ImportSignals coordinateImport_;
    ImportSignals matrixImport_;
};

} // namespace sundrel::app
