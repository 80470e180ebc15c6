#include "app/view/ScrollingPanel.h"

#include <QGridLayout>
#include <QWheelEvent>

namespace sundrel::app {

TScrollingPanel::TScrollingPanel(QWidget* parent)
    : QWidget(parent), horizontal_(new QScrollBar(Qt::Horizontal, this)),
      vertical_(new QScrollBar(Qt::Vertical, this))
{
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(vertical_, 0, 1);
    layout->addWidget(horizontal_, 1, 0);
    layout->setRowStretch(0, 1);
    layout->setColumnStretch(0, 1);
    for (QScrollBar* bar : {horizontal_, vertical_}) {
        bar->setFocusPolicy(Qt::NoFocus);
        connect(bar, &QScrollBar::valueChanged, this,
                [this, bar](int position) { Scrolled(bar, position); });
        connect(bar, &QScrollBar::actionTriggered, this, [this, bar](int action) {
            ApplyLargeChange(bar, action, bar == horizontal_ ? hLargeChange_ : vLargeChange_);
        });
    }
}

void TScrollingPanel::SetView(QWidget* view)
{
    view_ = view;
    view->setParent(this);
    view->installEventFilter(this);
    static_cast<QGridLayout*>(layout())->addWidget(view, 0, 0);
}

void TScrollingPanel::Scrolled(QScrollBar* bar, int position)
{
    if (updating_)
        return;
    const auto& handler = bar == horizontal_ ? OnHScroll : OnVScroll;
    if (handler)
        handler(position);
}

void TScrollingPanel::ApplyLargeChange(QScrollBar* bar, int action, int largeChange)
{
    // Called before the slider's new position becomes its value.
    if (action == QAbstractSlider::SliderPageStepAdd)
        bar->setSliderPosition(bar->value() + largeChange);
    else if (action == QAbstractSlider::SliderPageStepSub)
        bar->setSliderPosition(bar->value() - largeChange);
}

void TScrollingPanel::SetHPosition(int position) { horizontal_->setValue(position); }
void TScrollingPanel::SetHMin(int minimum) { horizontal_->setMinimum(minimum); }
void TScrollingPanel::SetHMax(int maximum) { horizontal_->setMaximum(maximum); }
void TScrollingPanel::SetHPageSize(int pageSize) { horizontal_->setPageStep(pageSize); }
void TScrollingPanel::SetHSmallChange(int change) { horizontal_->setSingleStep(change); }
void TScrollingPanel::SetHLargeChange(int change) { hLargeChange_ = change; }
void TScrollingPanel::SetHVisible(bool visible) { horizontal_->setVisible(visible); }
void TScrollingPanel::SetVPosition(int position) { vertical_->setValue(position); }
void TScrollingPanel::SetVMin(int minimum) { vertical_->setMinimum(minimum); }
void TScrollingPanel::SetVMax(int maximum) { vertical_->setMaximum(maximum); }
void TScrollingPanel::SetVPageSize(int pageSize) { vertical_->setPageStep(pageSize); }
void TScrollingPanel::SetVSmallChange(int change) { vertical_->setSingleStep(change); }
void TScrollingPanel::SetVLargeChange(int change) { vLargeChange_ = change; }
void TScrollingPanel::SetVVisible(bool visible) { vertical_->setVisible(visible); }

void TScrollingPanel::SetScrollBarVisibility(bool horizontal, bool vertical)
{
    SetHVisible(horizontal);
    SetVVisible(vertical);
}

bool TScrollingPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view_ && event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return event->isAccepted();
    }
    return QWidget::eventFilter(watched, event);
}

void TScrollingPanel::wheelEvent(QWheelEvent* event)
{
    const int delta = event->angleDelta().y();
    if (delta == 0) {
        event->ignore();
        return;
    }
    // One small change per event: up towards the minimum, down towards the
    // maximum; the horizontal bar when there is no vertical one.
    QScrollBar* bar = vertical_->isVisibleTo(this) ? vertical_ : horizontal_;
    if (bar->isVisibleTo(this))
        bar->setValue(bar->value() + (delta > 0 ? -bar->singleStep() : bar->singleStep()));
    event->accept();
}

void TScrollingPanel::resizeEvent(QResizeEvent* event)
{
    // The view gives up the keyboard focus while the panel changes size.
    if (view_ && view_->hasFocus())
        view_->clearFocus();
    QWidget::resizeEvent(event);
}

} // namespace sundrel::app
