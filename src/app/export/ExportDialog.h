#pragma once
// The export progress dialog: runs one job of the export thread (saving a
// document, the ".dvt" export, bitmaps, printing) with its stages, a progress
// bar and Cancel, modal until the job reports. A failure is shown in red and
// the dialog waits for the user to close it.

#include "render/Export.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace sundrel::app {

class DocumentBridge;

class TExportDialog : public QDialog {
    Q_OBJECT

public:
    TExportDialog(DocumentBridge& bridge, QWidget* parent = nullptr);
    ~TExportDialog() override;

    // The name of layer i for the stage texts that name a layer.
    std::function<std::string(int layer)> LayerName;

    // Runs `job` on the export thread and shows the dialog until it reports:
    // the title is the file's name without folder, the box's caption
    // `caption` (the job's own when empty), the progress bar runs up to
    // `progressMaximum` steps. How the job ended.
    JobOutcome Run(int job, const render::ExportParameters& parameters, render::ExportSource source,
                   std::int64_t progressMaximum, const QString& caption = {});

    QLabel* StatusLabel() const { return status_; }
    QProgressBar* ProgressBar() const { return bar_; }
    QPushButton* Button() const { return button_; }
    QGroupBox* Box() const { return box_; }

protected:
    // Escape and the window's close button act as the dialog's button.
    void reject() override;

private:
    void ButtonClicked();
    void Stage(int code, int layer);
    void Steps(int count);
    void Ended(const JobResult& result);
    // Grows the dialog until the status shows every line whole.
    void FitText();

    DocumentBridge& bridge_;
    std::unique_ptr<render::ExportingThread> thread_;
    QGroupBox* box_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* button_;
    std::int64_t maximum_ = 0;
    std::int64_t steps_ = 0;
    bool running_ = false;
    // The status line's own minimum height, before a failure's lines.
    int statusHeight_ = 0;
    bool failed_ = false;
    JobOutcome result_ = JobOutcome::Cancelled;
};

// The group box caption of a job (the texts carry their own blanks).
QString ExportJobCaption(int job);

} // namespace sundrel::app
