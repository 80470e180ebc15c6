#include "app/export/ExportDialog.h"

#include "app/document/DocumentBridge.h"
#include "app/widgets/Progress.h"
#include "app/widgets/ErrorBox.h"

#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace sundrel::app {

namespace {

// The progress bar counts in ints; large jobs are shown scaled.
constexpr std::int64_t kBarUnits = 1000000;

} // namespace

QString ExportJobCaption(int job)
{
    switch (job) {
    case render::kJobSave:
    case render::kJobExtra:
        return QObject::tr(" Saving the triangulation, please wait... ");
    case render::kJobBitmap:
        return QObject::tr(" Exporting to bitmap, please wait... ");
    case render::kJobPrint:
        return QObject::tr(" Printing, please wait... ");
    case render::kJobVector:
        return QObject::tr(" Exporting the figure, please wait... ");
    default:
        return {};
    }
}

TExportDialog::TExportDialog(DocumentBridge& bridge, QWidget* parent)
    : QDialog(parent), bridge_(bridge),
      thread_(std::make_unique<render::ExportingThread>(&bridge.notifier(Sender::Export))),
      box_(new QGroupBox), status_(NewStatusLine(tr("Status"), 2)), bar_(NewProgressBar()),
      button_(new QPushButton(tr("Cancel")))
{
    setObjectName("ExportDialog");
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    auto* boxLayout = new QVBoxLayout(box_);
    boxLayout->addWidget(status_);
    boxLayout->addWidget(bar_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box_);
    layout->addLayout(ButtonRow({button_}, true));
    setMinimumWidth(360);
    statusHeight_ = status_->minimumHeight();

    connect(button_, &QPushButton::clicked, this, &TExportDialog::ButtonClicked);
    connect(&bridge_, &DocumentBridge::exportStage, this, &TExportDialog::Stage);
    connect(&bridge_, &DocumentBridge::exportSteps, this, &TExportDialog::Steps);
    connect(&bridge_, &DocumentBridge::exportEnded, this, &TExportDialog::Ended);
}

TExportDialog::~TExportDialog()
{
    // The worker ends (its job cancelled) before what it said is dropped.
    thread_.reset();
    bridge_.discard(Sender::Export);
}

JobOutcome TExportDialog::Run(int job, const render::ExportParameters& parameters,
                              render::ExportSource source, std::int64_t progressMaximum,
                              const QString& caption)
{
    setWindowTitle(QFileInfo(QString::fromStdString(parameters.file.string())).fileName());
    box_->setTitle(caption.isEmpty() ? ExportJobCaption(job) : caption);
    ShowStatus(status_, QString::fromStdString(render::ExportStageText(ExportStage::Initializing)),
               kWorkingColour);
    maximum_ = std::max<std::int64_t>(1, progressMaximum);
    steps_ = 0;
    bar_->setRange(0, static_cast<int>(std::min(maximum_, kBarUnits)));
    bar_->setValue(0);
    button_->setText(tr("Cancel"));
    button_->setEnabled(true);
    status_->setMinimumHeight(statusHeight_);
    failed_ = false;
    result_ = JobOutcome::Cancelled;
    // Whatever an earlier job left in the queue is not this job's.
    bridge_.discard(Sender::Export);
    if (!thread_->start(job, parameters, std::move(source))) {
        ShowStatus(status_, tr("The export is not responding"), kFailureColour);
        failed_ = true;
        result_ = JobOutcome::Failed;
        button_->setText(tr("Close"));
        exec();
        return result_;
    }
    running_ = true;
    exec();
    running_ = false;
    return result_;
}

void TExportDialog::FitText()
{
    // A wrapped label asks for its height at the width it is given, which
    // the dialog's size hint does not know: the label keeps the height its
    // lines need at its width, and the window grows to it.
    status_->setMinimumHeight(std::max(statusHeight_, status_->heightForWidth(status_->width())));
    adjustSize();
}

void TExportDialog::ButtonClicked()
{
    if (failed_ || !running_) {
        QDialog::reject();
        return;
    }
    // The job stops at its next step and reports; the dialog closes then.
    thread_->cancel();
    button_->setEnabled(false);
}

void TExportDialog::reject()
{
    ButtonClicked();
}

void TExportDialog::Stage(int code, int layer)
{
    if (!running_)
        return;
    const auto stage = static_cast<ExportStage>(code);
    const std::string name =
        LayerName && render::StageNamesALayer(stage) ? LayerName(layer) : std::string();
    ShowStatus(status_, QString::fromUtf8(render::ExportStageText(stage, name).c_str()),
               kWorkingColour);
}

void TExportDialog::Steps(int count)
{
    if (!running_)
        return;
    steps_ = std::min(maximum_, steps_ + count);
    bar_->setValue(static_cast<int>(maximum_ <= kBarUnits ? steps_ : steps_ * kBarUnits / maximum_));
}

void TExportDialog::Ended(const JobResult& result)
{
    if (!running_)
        return;
    running_ = false;
    result_ = result.outcome;
    switch (result.outcome) {
    case JobOutcome::Done:
        bar_->setValue(bar_->maximum());
        accept();
        break;
    case JobOutcome::Failed:
        failed_ = true;
        ShowStatus(status_, FailureText(result), kFailureColour);
        // The file and the reason come on lines of their own: the dialog
        // grows to show them whole, however they wrap.
        FitText();
        button_->setText(tr("Close"));
        button_->setEnabled(true);
        button_->setFocus();
        break;
    case JobOutcome::Cancelled:
        QDialog::reject();
        break;
    }
}

} // namespace sundrel::app
