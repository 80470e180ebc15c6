#include "app/view/ViewGeometry.h"

#include "render/Export.h"

#include <algorithm>

namespace sundrel::app {

namespace {

// One bar: the view's offset into the area and both sizes along its axis.
ScrollBarSettings Bar(double offset, double viewSize, double areaSize)
{
    ScrollBarSettings bar;
    if (!(viewSize < areaSize))
        return bar;
    const double f = viewSize / areaSize;
    bar.visible = true;
    bar.pageSize = static_cast<int>(kScrollUnits * f);
    bar.maximum = static_cast<int>((1.0 - f) * kScrollUnits);
    bar.position = static_cast<int>(offset / areaSize * kScrollUnits);
    bar.smallChange = std::max(1, static_cast<int>(1000.0 * f));
    bar.largeChange = std::max(1, static_cast<int>(9000.0 * f));
    return bar;
}

} // namespace

ViewRect ToViewRect(const MBounds& bounds)
{
    return {bounds.xMin, bounds.yMax, bounds.xMax, bounds.yMin};
}

MBounds ToBounds(const ViewRect& rect)
{
    return {rect.left, rect.right, rect.bottom, rect.top};
}

ViewRect ActualView(const ViewRect& requested, int width, int height)
{
    return ToViewRect(
        render::FitView(ToBounds(requested), std::max(1, width), std::max(1, height)));
}

ViewRect ScrollArea(const MBounds& outer, const ViewRect& view)
{
    return {std::min(outer.xMin, view.left), std::max(outer.yMax, view.top),
            std::max(outer.xMax, view.right), std::min(outer.yMin, view.bottom)};
}

int ZoomPercent(const MBounds& frame, const ViewRect& view)
{
    const double zoom = std::max((frame.xMax - frame.xMin) / view.Width(),
                                 (frame.yMax - frame.yMin) / view.Height());
    return static_cast<int>(zoom * 100.0);
}

ScrollBarSettings HorizontalScrollBar(const ViewRect& area, const ViewRect& view)
{
    return Bar(view.left - area.left, view.Width(), area.Width());
}

ScrollBarSettings VerticalScrollBar(const ViewRect& area, const ViewRect& view)
{
    return Bar(area.top - view.top, view.Height(), area.Height());
}

ViewRect ScrolledHorizontally(const ViewRect& requested, const ViewRect& view,
                              const ViewRect& area, int position)
{
    ViewRect moved = requested;
    moved.left = area.left + area.Width() * position / kScrollUnits;
    moved.right = moved.left + view.Width();
    return moved;
}

ViewRect ScrolledVertically(const ViewRect& requested, const ViewRect& view, const ViewRect& area,
                            int position)
{
    ViewRect moved = requested;
    moved.top = area.top - area.Height() * position / kScrollUnits;
    moved.bottom = moved.top - view.Height();
    return moved;
}

MXY PixelToMap(const ViewRect& view, int width, int height, double px, double py)
{
    return {view.left + (view.right - view.left) * px / std::max(1, width),
            view.top - (view.top - view.bottom) * py / std::max(1, height)};
}

QPointF MapToPixel(const ViewRect& view, int width, int height, MXY at)
{
    return {(at.x - view.left) / view.Width() * std::max(1, width),
            (view.top - at.y) / view.Height() * std::max(1, height)};
}

ViewRect CentredIn(const ViewRect& requested, const MBounds& outer)
{
    const double cx = (outer.xMin + outer.xMax) / 2.0;
    const double cy = (outer.yMin + outer.yMax) / 2.0;
    const double hw = requested.Width() / 2.0;
    const double hh = requested.Height() / 2.0;
    return {cx - hw, cy + hh, cx + hw, cy - hh};
}

ViewRect ZoomedTo(const ViewRect& actual, int width, int height, double x1, double y1, double x2,
                  double y2, const MBounds& frame, const MBounds& outer)
{
    const MXY a = PixelToMap(actual, width, height, x1, y1);
    const MXY b = PixelToMap(actual, width, height, x2, y2);
    ViewRect r{std::min(a.x, b.x), std::max(a.y, b.y), std::max(a.x, b.x), std::min(a.y, b.y)};
    // The zoom on each axis stays within the limits: the rectangle is
    // widened or narrowed about its centre.
    const double frameWidth = frame.xMax - frame.xMin;
    const double frameHeight = frame.yMax - frame.yMin;
    const double fx = std::clamp(r.Width() > 0 ? frameWidth / r.Width() : kMaxZoom, 1.0 / kMaxZoom, kMaxZoom);
    const double fy =
        std::clamp(r.Height() > 0 ? frameHeight / r.Height() : kMaxZoom, 1.0 / kMaxZoom, kMaxZoom);
    const double cx = (r.left + r.right) / 2.0;
    const double cy = (r.top + r.bottom) / 2.0;
    r = {cx - frameWidth / fx / 2.0, cy + frameHeight / fy / 2.0, cx + frameWidth / fx / 2.0,
         cy - frameHeight / fy / 2.0};
    const ViewRect shown = ActualView(r, width, height);
    const double outerWidth = outer.xMax - outer.xMin;
    const double outerHeight = outer.yMax - outer.yMin;
    if (r.Width() > outerWidth || r.Height() > outerHeight || shown.Width() > outerWidth ||
        shown.Height() > outerHeight)
        return CentredIn(r, outer);
    const auto shift = [](double low, double high, double min, double max) {
        if (low < min)
            return min - low;
        if (high > max)
            return max - high;
        return 0.0;
    };
    const double dx = shift(r.left, r.right, outer.xMin, outer.xMax);
    const double dy = shift(r.bottom, r.top, outer.yMin, outer.yMax);
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

ViewRect ZoomedIn(const ViewRect& actual, int width, int height, const MBounds& frame,
                  const MBounds& outer)
{
    return ZoomedTo(actual, width, height, width / 4, height / 4, 3 * width / 4, 3 * height / 4,
                    frame, outer);
}

ViewRect KeptVisible(const ViewRect& actual, int width, int height, MXY at, const MBounds& frame,
                     const MBounds& outer)
{
    const QPointF p = MapToPixel(actual, width, height, at);
    double dx = 0.0;
    double dy = 0.0;
    if (p.x() < 0)
        dx = p.x() - width / 10.0;
    else if (p.x() > width)
        dx = p.x() - width + width / 10.0;
    if (p.y() < 0)
        dy = p.y() - height / 10.0;
    else if (p.y() > height)
        dy = p.y() - height + height / 10.0;
    if (dx == 0.0 && dy == 0.0)
        return actual;
    return ZoomedTo(actual, width, height, dx, dy, width + dx, height + dy, frame, outer);
}

ViewRect ZoomedOut(const ViewRect& actual, int width, int height, const MBounds& frame,
                   const MBounds& outer)
{
    return ZoomedTo(actual, width, height, -(width / 2), -(height / 2), 3 * width / 2,
                    3 * height / 2, frame, outer);
}

ViewRect Panned(const ViewRect& requested, double dx, double dy, const MBounds& outer)
{
    ViewRect moved = requested;
    if (requested.left + dx >= outer.xMin && requested.right + dx <= outer.xMax) {
        moved.left += dx;
        moved.right += dx;
    }
    if (requested.bottom + dy >= outer.yMin && requested.top + dy <= outer.yMax) {
        moved.top += dy;
        moved.bottom += dy;
    }
    return moved;
}

} // namespace sundrel::app
