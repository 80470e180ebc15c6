#include "app/analysis/SundrelMonmonierDialog.h"

#include "app/document/DocumentBridge.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Settings.h"
#include "common/Messages.h"
#include "monmonier/MonmonierLayer.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "BMDialog";

const QColor kConstructingColour(0, 0, 255);
const QColor kDoneColour(128, 0, 128);

} // namespace

TSundrelMonmonierDialog::TSundrelMonmonierDialog(DocumentBridge& bridge, MonmonierLayer& layers,
                                                 QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint), layers_(layers),
      box_(new QGroupBox(tr(" Ready "))), label_(new QLabel), bar_(NewProgressBar()),
      stop_(new QPushButton(tr("Stop")))
{
    setObjectName("SundrelMonmonierDialog");
    setWindowTitle(tr("Sundrel status controler"));

    bar_->setValue(0);
    // Room for the longest text, so that the window keeps its size.
    label_->setMinimumWidth(label_->fontMetrics().horizontalAdvance(
                                QStringLiteral("Constructing sundrels, please wait...")) +
                            16);
    ShowStatus(label_, tr("Done"), kDoneColour);

    auto* boxLayout = new QVBoxLayout(box_);
    boxLayout->addWidget(label_);
    boxLayout->addWidget(bar_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(box_);
    stop_->setEnabled(false);
    stop_->setAutoDefault(false);
    layout->addLayout(ButtonRow({stop_}));
    connect(stop_, &QPushButton::clicked, this, [this] {
        stop_->setEnabled(false);
        emit stopRequested();
    });
    setFixedSize(sizeHint().expandedTo(QSize(320, 0)));

    connect(&bridge, &DocumentBridge::layerReading, this, &TSundrelMonmonierDialog::Reading);
    connect(&bridge, &DocumentBridge::layerStarted, this, &TSundrelMonmonierDialog::Started);
    connect(&bridge, &DocumentBridge::layerSortingSteps, this,
            &TSundrelMonmonierDialog::SortingSteps);
    connect(&bridge, &DocumentBridge::layerPosition, this, &TSundrelMonmonierDialog::Position);
    connect(&bridge, &DocumentBridge::layerConstructing, this, &TSundrelMonmonierDialog::Show);
    connect(&bridge, &DocumentBridge::layerEnded, this, &TSundrelMonmonierDialog::Ended);

    ReadSettings();
}

TSundrelMonmonierDialog::~TSundrelMonmonierDialog()
{
    WriteSettings();
}

void TSundrelMonmonierDialog::ReadSettings()
{
    QSettings settings;
    settings.beginGroup(kGroup);
    // Position: a value read before a missing or bad one stays.
    ReadWindowPosition(settings, this);
    const auto mode = ReadInt(settings, "Visibility");
    if (mode && *mode >= Automatic && *mode <= NeverVisible)
        visibility_ = *mode;
    settings.endGroup();
}

void TSundrelMonmonierDialog::WriteSettings() const
{
    QSettings settings;
    settings.beginGroup(kGroup);
    WriteWindowPosition(settings, this);
    settings.setValue("Visibility", visibility_);
    settings.endGroup();
}

QString TSundrelMonmonierDialog::LayerName(int index) const
{
    const std::shared_ptr<SundrelMonmonier> layer = layers_.layer(index);
    return layer ? QString::fromStdString(layer->name) : QString();
}

// The window keeps its size: a long layer name is shortened in the middle,
// and shown whole as the box's tool tip.
void TSundrelMonmonierDialog::SetTitle(const QString& prefix, const QString& name)
{
    const QString suffix = QStringLiteral("\" ");
    const QFontMetrics metrics(box_->font());
    const int room = width() - 48 - metrics.horizontalAdvance(prefix + suffix);
    box_->setTitle(prefix + metrics.elidedText(name, Qt::ElideMiddle, std::max(room, 40)) + suffix);
    box_->setToolTip(name);
}

void TSundrelMonmonierDialog::SetBar(qint64 maximum)
{
    // An empty range would turn the bar into a busy indicator.
    bar_->setRange(0, static_cast<int>(std::clamp<qint64>(maximum, 1, std::numeric_limits<int>::max())));
    bar_->setValue(0);
}

void TSundrelMonmonierDialog::Begin(const QString& name, std::int32_t matrices, bool stoppable)
{
    stop_->setEnabled(stoppable);
    SetTitle(tr(" Creating layer \""), name);
    // Two blanks after the comma: the window's own text.
    ShowStatus(label_, tr("Sorting matrix data,  please wait..."), kWorkingColour);
    SetBar(2 * static_cast<qint64>(matrices));
    Show();
}

void TSundrelMonmonierDialog::Show()
{
    // A work that starts while none runs shows the window again even if the
    // user closed it during the previous one.
    const bool newWork = !working_;
    working_ = true;
    if (visibility_ == NeverVisible || (closedByUser_ && !newWork))
        return;
    closedByUser_ = false;
    if (!isVisible())
        show();
}

void TSundrelMonmonierDialog::SetVisibility(int mode)
{
    if (mode < Automatic || mode > NeverVisible)
        mode = Automatic;
    visibility_ = mode;
    switch (mode) {
    case AlwaysVisible:
        if (!isVisible()) {
            closedByUser_ = false;
            show();
        }
        break;
    case NeverVisible:
        if (isVisible())
            hide();
        break;
    default:
        if (working_ && !isVisible()) {
            closedByUser_ = false;
            show();
        } else if (!working_ && isVisible()) {
            hide();
        }
        break;
    }
}

void TSundrelMonmonierDialog::closeEvent(QCloseEvent* event)
{
    closedByUser_ = true;
    QWidget::closeEvent(event);
}

void TSundrelMonmonierDialog::Finish(const QString& text, const QColor& colour, bool keepShown)
{
    box_->setTitle(tr(" Ready "));
    box_->setToolTip(QString());
    stop_->setEnabled(false);
    ShowStatus(label_, text, colour);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    working_ = false;
    if (visibility_ == Automatic && !keepShown && isVisible())
        hide();
}

void TSundrelMonmonierDialog::Reading(int index, int matrices)
{
    Begin(LayerName(index), matrices);
}

void TSundrelMonmonierDialog::Started(int index, qint64 steps)
{
    SetTitle(tr(" Creating layer\""), LayerName(index));
    ShowStatus(label_, tr("Constructing sundrels, please wait..."), kConstructingColour);
    SetBar(steps);
}

void TSundrelMonmonierDialog::SortingSteps(int count)
{
    bar_->setValue(static_cast<int>(std::min<qint64>(qint64(bar_->value()) + count, bar_->maximum())));
}

void TSundrelMonmonierDialog::Position(qint64 position)
{
    bar_->setValue(static_cast<int>(std::clamp<qint64>(position, 0, bar_->maximum())));
}

// A failure's text stays in view, in red, even in automatic mode: nothing
// else tells the user why the layer is missing or incomplete.
void TSundrelMonmonierDialog::Ended(const JobResult& result)
{
    switch (result.outcome) {
    case JobOutcome::Done:
        Finish(tr("Done"), kDoneColour, false);
        break;
    case JobOutcome::Failed:
        Finish(result.message.empty() ? QString::fromUtf8(msg::UnknownError)
                                      : QString::fromStdString(result.message),
               kFailureColour, true);
        break;
    case JobOutcome::Cancelled:
        Finish(tr("Cancelled"), kDoneColour, false);
        break;
    }
}

} // namespace sundrel::app
