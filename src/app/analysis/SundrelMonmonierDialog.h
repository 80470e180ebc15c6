#pragma once
// The small status window of the result layers: which layer is being made,
// whether its matrices are being sorted or its sundrels constructed, and how
// far it got. It follows the layers' status signals of the document's bridge
// and never asks the layers anything but a layer's name (by index, at the
// moment a signal names it).
//
// Visibility modes: automatic (shown while work goes on, hidden when it
// ends), always visible, never visible. Closing the window with its close
// button keeps it closed until the work under way ends; the next work shows
// it again (unless the mode is "never visible").
//
// "Stop" asks to stop a new analysis (the window that started it stops it
// and removes its layer); it is offered while one runs.

#include "common/Job.h"

#include <QWidget>

#include <cstdint>

class QCloseEvent;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace sundrel {
class MonmonierLayer;
}

namespace sundrel::app {

class DocumentBridge;

class TSundrelMonmonierDialog : public QWidget {
    Q_OBJECT

public:
    enum VisibilityMode { Automatic = 0, AlwaysVisible = 1, NeverVisible = 2 };

    // Reads its settings (group "BMDialog"): position, then the mode. The
    // mode is only stored: an "always visible" window appears at the next
    // SetVisibility or at the first work.
    TSundrelMonmonierDialog(DocumentBridge& bridge, MonmonierLayer& layers,
                            QWidget* parent = nullptr);
    // Writes its settings.
    ~TSundrelMonmonierDialog() override;

    // A layer's matrices are about to be sorted (two steps each); a new
    // analysis offers "Stop" until it ends.
    void Begin(const QString& name, std::int32_t matrices, bool stoppable = false);
    // Work goes on: shows the window as the mode and the user allow.
    void Show();
    void SetVisibility(int mode);
    int Visibility() const { return visibility_; }
    bool ClosedByUser() const { return closedByUser_; }
    bool Working() const { return working_; }

    QGroupBox* Box() const { return box_; }
    QLabel* Label() const { return label_; }
    QProgressBar* Bar() const { return bar_; }
    QPushButton* StopButton() const { return stop_; }

signals:
    void stopRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void ReadSettings();
    void WriteSettings() const;
    // The name of the layer at `index`, empty when there is none (yet): a
    // layer being read from a document is not in the list before the end of
    // the load.
    QString LayerName(int index) const;
    void SetTitle(const QString& prefix, const QString& name);
    void SetBar(qint64 maximum);
    // The end of a command, whatever its outcome: "Ready", bar at 0, the
    // window hidden in automatic mode unless `keepShown`.
    void Finish(const QString& text, const QColor& colour, bool keepShown);

    // Bridge signals.
    void Reading(int index, int matrices);
    void Started(int index, qint64 steps);
    void SortingSteps(int count);
    void Position(qint64 position);
    void Ended(const JobResult& result);

    MonmonierLayer& layers_;
    QGroupBox* box_;
    QLabel* label_;
    QProgressBar* bar_;
    QPushButton* stop_;
    int visibility_ = Automatic;
    bool closedByUser_ = false;
    bool working_ = false;
};

} // namespace sundrel::app
