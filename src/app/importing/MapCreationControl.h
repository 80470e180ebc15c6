#pragma once
// The small modal dialog of a map creation: starts the factory's creation,
// follows its progress, and closes with OK once the map is ready or with
// Cancel when the user gives up. A failure keeps the dialog open, with the
// reason under the generic line, until the user presses Cancel.

#include "common/Job.h"
#include "model/MXY.h"

#include <QDialog>

#include <memory>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;

namespace sundrel {
class MMap;
class MMapFactory;
} // namespace sundrel

namespace sundrel::app {

class DocumentBridge;

class TMapCreationControl : public QDialog {
    Q_OBJECT

public:
    // The factory's events must reach `bridge` (DocumentBridge::attach).
    TMapCreationControl(MMapFactory& factory, DocumentBridge& bridge, QWidget* parent = nullptr);

    // Creates a map from the points; true when it is ready (TakeMap then
    // returns it), false when it failed or was cancelled.
    bool Run(const std::vector<MXY>& points);
    std::unique_ptr<MMap> TakeMap();
    MMapFactory& GetFactory() { return factory_; }
    // Seconds the last successful creation took.
    double Seconds() const { return seconds_; }

    QLabel* ProgressionLabel() const { return label_; }
    QLabel* ReasonLabel() const { return reason_; }
    QProgressBar* ProgressBar() const { return bar_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

protected:
    void reject() override; // Escape and the close button cancel

private:
    void Reset();
    void Progress();
    void Ended(const JobResult& result, double seconds);
    // The generic line in red, and the reason under it.
    void ShowFailure(const QString& reason);
    void Cancel();

    MMapFactory& factory_;
    QLabel* label_;
    QLabel* reason_;
    QProgressBar* bar_;
    QPushButton* ok_;
    QPushButton* cancel_;
    bool running_ = false;
    double seconds_ = 0.0;
};

} // namespace sundrel::app
