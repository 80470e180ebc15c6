#pragma once
// The arithmetic of the main window's view, free of widgets and OpenGL: the
// actual view derived from the requested one for a client area, the scroll
// area, the zoom percentage and the scroll bar settings over 10000 units.
// Views are rectangles in map units (MBounds, y pointing up).

#include "model/MMap.h"

#include <QPointF>

namespace sundrel::app {

// The requested rectangle widened (or heightened) about its centre to the
// aspect of a client area of width x height pixels (each at least 1), so
// that the map is never distorted; the same fitting as the export jobs'.
MBounds ActualView(const MBounds& requested, int width, int height);

// The map's outer bounds, widened to include the view where it goes beyond.
MBounds ScrollArea(const MBounds& outer, const MBounds& view);

// How far the view is zoomed into the frame, in percent (truncated).
int ZoomPercent(const MBounds& frame, const MBounds& view);

// The scroll bars span this many units over the scroll area.
inline constexpr int kScrollUnits = 10000;

struct ScrollBarSettings {
    bool visible = false;
    int position = 0;
    int maximum = 0;
    int pageSize = 0;
    int smallChange = 1;
    int largeChange = 1;
    bool operator==(const ScrollBarSettings&) const = default;
};

// A bar is shown only when the view is narrower (shorter) than the area; the
// vertical position is measured from the area's top.
ScrollBarSettings HorizontalScrollBar(const MBounds& area, const MBounds& view);
ScrollBarSettings VerticalScrollBar(const MBounds& area, const MBounds& view);

// The requested rectangle after a scroll to `position`: its left (top) edge
// goes to the position's place in the area, and it takes the view's width
// (height), so that the view's left (top) lands exactly there.
MBounds ScrolledHorizontally(const MBounds& requested, const MBounds& view,
                              const MBounds& area, int position);
MBounds ScrolledVertically(const MBounds& requested, const MBounds& view, const MBounds& area,
                            int position);

// Pixel (px, py) of a client area of width x height, over the actual view,
// in map units.
MXY PixelToMap(const MBounds& view, int width, int height, double px, double py);
// And back (not rounded).
QPointF MapToPixel(const MBounds& view, int width, int height, MXY at);

// The zoom factor of a view against the frame is kept within 1/64 .. 64.
inline constexpr double kMaxZoom = 64.0;

// The requested view after zooming to the pixel rectangle (x1, y1) - (x2, y2)
// of a client area over the actual view: the corners become the requested
// rectangle, its zoom is kept within the limits on each axis, and it is
// centred in the outer bounds when it (or the view it gives) is larger than
// them, else shifted back inside them on each axis where it sticks out.
MBounds ZoomedTo(const MBounds& actual, int width, int height, double x1, double y1, double x2,
                  double y2, const MBounds& frame, const MBounds& outer);
// "Zoom in" (a factor 2 about the centre) and "Zoom out".
MBounds ZoomedIn(const MBounds& actual, int width, int height, const MBounds& frame,
                  const MBounds& outer);
MBounds ZoomedOut(const MBounds& actual, int width, int height, const MBounds& frame,
                   const MBounds& outer);
// The requested view that brings a map position outside the client area back
// into it: the same size, shifted so that the position lies a tenth of the
// width (height) inside the edge it crossed; the actual view when the
// position is in sight.
MBounds KeptVisible(const MBounds& actual, int width, int height, MXY at, const MBounds& frame,
                     const MBounds& outer);
// The requested rectangle centred in the outer bounds.
MBounds CentredIn(const MBounds& requested, const MBounds& outer);
// The requested rectangle moved by (dx, dy) map units, on each axis only if
// it stays inside the outer bounds there.
MBounds Panned(const MBounds& requested, double dx, double dy, const MBounds& outer);

} // namespace sundrel::app
