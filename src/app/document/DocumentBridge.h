#pragma once
// The one way worker notifications reach the windows of an open document:
// every worker is handed a notifier of this bridge, tagged with who sends,
// and the bridge turns each message into a Qt signal emitted on the window
// thread. Message numbers that two workers share (the reader's progress and
// the layers' "loaded", the sorting step and the finished report) are told
// apart by their sender, here and nowhere else. Every job ends with one
// signal that carries its result, a failure's text with it; the hand-overs
// of the result layers are acknowledged here. Windows connect to signals;
// they never compare message numbers, read a worker's last result, poll a
// worker or wait for one.

#include "common/Job.h"
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
class MonmonierLayer;
} // namespace sundrel

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
    GenotypeImport,   // the genotype dialog's worker (reading, distances)
    Count
};

// The signals of one data-file worker (the import dialogs each have one).
// Each names the step it reports on by the number its start returned.
class ImportSignals : public QObject {
    Q_OBJECT

signals:
    // Indexing, previewing and extracting: the whole percent done.
    void progress(int percent);
    // The file is indexed; its preview follows.
    void fileRead(quint64 step);
    // The reading step (file and preview) ended, and an extraction.
    void readEnded(quint64 step, const sundrel::JobResult& result);
    void extractionEnded(quint64 step, const sundrel::JobResult& result);
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
    // The result layers whose hand-overs this bridge acknowledges (a new
    // layer added, a document's layers read) before it signals them; null
    // for none.
    void attach(MonmonierLayer* layers) { layers_ = layers; }

    // Drops every message of `sender` not delivered yet (a document that is
    // being replaced forgets what its workers said).
    void discard(Sender sender);

    ImportSignals& coordinateImport() { return coordinateImport_; }
    ImportSignals& matrixImport() { return matrixImport_; }
    // Reading genotypes ends as readEnded, computing matrices as
    // extractionEnded; no fileRead.
    ImportSignals& genotypeImport() { return genotypeImport_; }

signals:
    // Map creation: one progress signal per whole percent, then its end
    // (`seconds` the time a done creation took).
    void creationProgress();
    void creationEnded(const sundrel::JobResult& result, double seconds);

    // Export jobs: steps, stages, then their end.
    void exportSteps(int count);
    void exportStage(int code, int layer);
    void exportEnded(const sundrel::JobResult& result);

    // Result layers, main window side: a document's layers read (and taken
    // in) or not, a layer added (acknowledged; its serial, the layer may be
    // gone already).
    void layersRedraw();
    void layersLoaded(const sundrel::JobResult& result);
    void layerAdded(qintptr serial);
    // Result layers, status window side.
    void layerReading(int index, int matrices);
    void layerStarted(int index, qint64 steps);
    void layerSortingSteps(int count);
    void layerPosition(qint64 position);
    void layerConstructing();
    // The end of any command but a load.
    void layerEnded(const sundrel::JobResult& result);
    // A finished report, by the layer's serial.
    void reportReady(qintptr serial);

protected:
    void customEvent(QEvent* event) override;

private:
    class Channel;
    friend class Channel;

    void Deliver(Sender sender, int message, std::intptr_t wParam, std::intptr_t lParam,
                 const JobResult& result);

    std::array<std::unique_ptr<Channel>, static_cast<std::size_t>(Sender::Count)> channels_;
    MonmonierLayer* layers_ = nullptr;
    ImportSignals coordinateImport_;
    ImportSignals matrixImport_;
    ImportSignals genotypeImport_;
};

} // namespace sundrel::app
