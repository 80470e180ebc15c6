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

} // namespace sundrel::app
