#include "app/importing/MapCreationControl.h"

#include "app/document/DocumentBridge.h"
#include "app/widgets/Accessibility.h"
#include "app/widgets/Progress.h"
#include "app/widgets/ErrorBox.h"
#include "common/Errors.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <cstdio>

namespace sundrel::app {

TMapCreationControl::TMapCreationControl(MMapFactory& factory, DocumentBridge& bridge,
                                         QWidget* parent)
    : QDialog(parent), factory_(factory), label_(new QLabel), reason_(NewStatusLine(tr("Reason"))),
      bar_(NewProgressBar()), ok_(new QPushButton(tr("OK"))),
      cancel_(new QPushButton(tr("Cancel")))
{
    setObjectName("MapCreationControl");
    setWindowTitle(tr("Computing..."));
    setModal(true);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    SetLabelColour(label_, kWorkingColour);
    ShowTextToReaders(label_, tr("Progress text"));
    reason_->hide();
    ok_->setEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(reason_);
    layout->addWidget(bar_);
    layout->addLayout(ButtonRow({ok_, cancel_}, true));
    setMinimumWidth(300);

    connect(ok_, &QPushButton::clicked, this, [this] {
        Reset();
        accept();
    });
    connect(cancel_, &QPushButton::clicked, this, &TMapCreationControl::Cancel);
    connect(&bridge, &DocumentBridge::creationProgress, this, &TMapCreationControl::Progress);
    connect(&bridge, &DocumentBridge::creationEnded, this, &TMapCreationControl::Ended);
    Reset();
}

void TMapCreationControl::Reset()
{
    ShowStatus(label_, QString::fromUtf8(msg::ComputingTriangulation), kWorkingColour);
    reason_->clear();
    reason_->hide();
    bar_->setValue(0);
    ok_->setEnabled(false);
}

bool TMapCreationControl::Run(const std::vector<MXY>& points)
{
    Reset();
    running_ = true;
    try {
        factory_.StartCreation(points);
    } catch (const std::exception& e) {
        // Refused before it started (no points, coordinates the arithmetic
        // cannot handle): the same error state as a failed run.
        running_ = false;
        ShowFailure(QString::fromStdString(e.what()));
        exec();
        return false;
    }
    const int result = exec();
    running_ = false;
    return result == QDialog::Accepted;
}

std::unique_ptr<MMap> TMapCreationControl::TakeMap()
{
    return factory_.TakeMap();
}

void TMapCreationControl::Progress()
{
    if (running_)
        bar_->setValue(std::min(bar_->maximum(), bar_->value() + 1));
}

void TMapCreationControl::Ended(const JobResult& result, double seconds)
{
    // A cancelled creation's dialog has closed already.
    if (!running_ || result.outcome == JobOutcome::Cancelled)
        return;
    running_ = false;
    if (result.Failed()) {
        ShowFailure(FailureText(result));
        bar_->setValue(0);
        ok_->setEnabled(false);
        cancel_->setFocus();
        return;
    }
    seconds_ = seconds;
    char text[64];
    std::snprintf(text, sizeof text, "%0.3f s", seconds);
    label_->setText(QString::fromUtf8(msg::TriangulationCreatedIn) + QString::fromLatin1(text));
    bar_->setValue(100);
    ok_->setEnabled(true);
    ok_->setFocus();
    accept();
}

void TMapCreationControl::ShowFailure(const QString& reason)
{
    ShowStatus(label_, QString::fromUtf8(msg::CreationFailed), kFailureColour);
    reason_->setText(reason);
    reason_->show();
}

void TMapCreationControl::Cancel()
{
    if (running_)
        factory_.cancel();
    running_ = false;
    Reset();
    QDialog::reject();
}

void TMapCreationControl::reject()
{
    Cancel();
}

} // namespace sundrel::app
