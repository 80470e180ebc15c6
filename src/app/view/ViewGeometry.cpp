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

MBounds ActualView(const MBounds& requested, int width, int height)
{
    return render::FitView(requested, std::max(1, width), std::max(1, height));
}

MBounds ScrollArea(const MBounds& outer, const MBounds& view)
{
    return {std::min(outer.xMin, view.xMin), std::max(outer.xMax, view.xMax),
            std::min(outer.yMin, view.yMin), std::max(outer.yMax, view.yMax)};
}

int ZoomPercent(const MBounds& frame, const MBounds& view)
{
    const double zoom = std::max((frame.xMax - frame.xMin) / view.Width(),
                                 (frame.yMax - frame.yMin) / view.Height());
    return static_cast<int>(zoom * 100.0);
}

ScrollBarSettings HorizontalScrollBar(const MBounds& area, const MBounds& view)
{
    return Bar(view.xMin - area.xMin, view.Width(), area.Width());
}

ScrollBarSettings VerticalScrollBar(const MBounds& area, const MBounds& view)
{
    return Bar(area.yMax - view.yMax, view.Height(), area.Height());
}

MBounds ScrolledHorizontally(const MBounds& requested, const MBounds& view,
                              const MBounds& area, int position)
{
    MBounds moved = requested;
    moved.xMin = area.xMin + area.Width() * position / kScrollUnits;
    moved.xMax = moved.xMin + view.Width();
    return moved;
}

MBounds ScrolledVertically(const MBounds& requested, const MBounds& view, const MBounds& area,
                            int position)
{
    MBounds moved = requested;
    moved.yMax = area.yMax - area.Height() * position / kScrollUnits;
    moved.yMin = moved.yMax - view.Height();
    return moved;
}

MXY PixelToMap(const MBounds& view, int width, int height, double px, double py)
{
    return {view.xMin + (view.xMax - view.xMin) * px / std::max(1, width),
            view.yMax - (view.yMax - view.yMin) * py / std::max(1, height)};
}

QPointF MapToPixel(const MBounds& view, int width, int height, MXY at)
{
    return {(at.x - view.xMin) / view.Width() * std::max(1, width),
            (view.yMax - at.y) / view.Height() * std::max(1, height)};
}

MBounds CentredIn(const MBounds& requested, const MBounds& outer)
{
    const double cx = (outer.xMin + outer.xMax) / 2.0;
    const double cy = (outer.yMin + outer.yMax) / 2.0;
    const double hw = requested.Width() / 2.0;
    const double hh = requested.Height() / 2.0;
    return {cx - hw, cx + hw, cy - hh, cy + hh};
}

MBounds ZoomedTo(const MBounds& actual, int width, int height, double x1, double y1, double x2,
                  double y2, const MBounds& frame, const MBounds& outer)
{
    const MXY a = PixelToMap(actual, width, height, x1, y1);
    const MXY b = PixelToMap(actual, width, height, x2, y2);
    MBounds r{std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y)};
    // The zoom on each axis stays within the limits: the rectangle is
    // widened or narrowed about its centre.
    const double frameWidth = frame.xMax - frame.xMin;
    const double frameHeight = frame.yMax - frame.yMin;
    const double fx = std::clamp(r.Width() > 0 ? frameWidth / r.Width() : kMaxZoom, 1.0 / kMaxZoom, kMaxZoom);
    const double fy =
        std::clamp(r.Height() > 0 ? frameHeight / r.Height() : kMaxZoom, 1.0 / kMaxZoom, kMaxZoom);
    const double cx = (r.xMin + r.xMax) / 2.0;
    const double cy = (r.yMax + r.yMin) / 2.0;
    r = {cx - frameWidth / fx / 2.0, cx + frameWidth / fx / 2.0, cy - frameHeight / fy / 2.0,
         cy + frameHeight / fy / 2.0};
    const MBounds shown = ActualView(r, width, height);
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
    const double dx = shift(r.xMin, r.xMax, outer.xMin, outer.xMax);
    const double dy = shift(r.yMin, r.yMax, outer.yMin, outer.yMax);
    return {r.xMin + dx, r.xMax + dx, r.yMin + dy, r.yMax + dy};
}

MBounds ZoomedIn(const MBounds& actual, int width, int height, const MBounds& frame,
                  const MBounds& outer)
{
    return ZoomedTo(actual, width, height, width / 4, height / 4, 3 * width / 4, 3 * height / 4,
                    frame, outer);
}

MBounds KeptVisible(const MBounds& actual, int width, int height, MXY at, const MBounds& frame,
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

MBounds ZoomedOut(const MBounds& actual, int width, int height, const MBounds& frame,
                   const MBounds& outer)
{
    return ZoomedTo(actual, width, height, -(width / 2), -(height / 2), 3 * width / 2,
                    3 * height / 2, frame, outer);
}

MBounds Panned(const MBounds& requested, double dx, double dy, const MBounds& outer)
{
    MBounds moved = requested;
    if (requested.xMin + dx >= outer.xMin && requested.xMax + dx <= outer.xMax) {
        moved.xMin += dx;
        moved.xMax += dx;
    }
    if (requested.yMin + dy >= outer.yMin && requested.yMax + dy <= outer.yMax) {
        moved.yMax += dy;
        moved.yMin += dy;
    }
    return moved;
}

} // namespace sundrel::app
