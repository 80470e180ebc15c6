#pragma once
// The view's parent: a panel holding the view with a horizontal and a
// vertical scroll bar. A scroll by the user is clamped, stored and handed to
// the panel's scroll handler, except while the owner reprograms the bars
// (the updating flag), so that its own updates never come back as scrolls.

#include <QScrollBar>
#include <QWidget>

#include <functional>

namespace sundrel::app {

class TScrollingPanel : public QWidget {
    Q_OBJECT

public:
    explicit TScrollingPanel(QWidget* parent = nullptr);

    // Places the view (owned by the panel from then on) beside the bars.
    void SetView(QWidget* view);
    QWidget* View() const { return view_; }

    // Called with the new position after a scroll.
    std::function<void(int position)> OnHScroll;
    std::function<void(int position)> OnVScroll;

    void SetUpdating(bool updating) { updating_ = updating; }
    bool Updating() const { return updating_; }

    void SetHPosition(int position);
    void SetHMin(int minimum);
    void SetHMax(int maximum);
    void SetHPageSize(int pageSize);
    void SetHSmallChange(int change);
    void SetHLargeChange(int change);
    void SetHVisible(bool visible);
    void SetVPosition(int position);
    void SetVMin(int minimum);
    void SetVMax(int maximum);
    void SetVPageSize(int pageSize);
    void SetVSmallChange(int change);
    void SetVLargeChange(int change);
    void SetVVisible(bool visible);
    void SetScrollBarVisibility(bool horizontal, bool vertical);
    void ShowScrollBars() { SetScrollBarVisibility(true, true); }
    void HideScrollBars() { SetScrollBarVisibility(false, false); }

    QScrollBar* HorizontalBar() const { return horizontal_; }
    QScrollBar* VerticalBar() const { return vertical_; }
    int HLargeChange() const { return hLargeChange_; }
    int VLargeChange() const { return vLargeChange_; }

protected:
    // The wheel over the view scrolls too.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // A click in the trough moves by the large change, which may differ
    // from the page size that Qt would use.
    void ApplyLargeChange(QScrollBar* bar, int action, int largeChange);
    void Scrolled(QScrollBar* bar, int position);

    QWidget* view_ = nullptr;
    QScrollBar* horizontal_;
    QScrollBar* vertical_;
    int hLargeChange_ = 1;
    int vLargeChange_ = 1;
    bool updating_ = false;
};

} // namespace sundrel::app
