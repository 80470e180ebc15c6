#pragma once
// What the user sees of a document, as the settings keep it from one start
// to the next: the colour table and each map layer's colour in it, the label
// font, the point sizes and line widths, the active layer and which map
// layers are visible. A new map takes it; an opened document gives it its
// own values.

#include "common/ColourTable.h"
#include "model/MMap.h"

#include <array>
#include <cstdint>

namespace sundrel::app {

struct DisplayState {
    // Colour table base and each layer's colour index in that table.
    int colourTableBase = kDefaultColourTableBase;
    std::array<int, 5> layerColourIndex = kDefaultLayerColourIndices;

    // Label font.
    MapFont font;

    // Point sizes and line widths, in points.
    float originalPointSize = 3.0f;
    float virtualPointSize = 3.0f;
    float delaunayLineSize = 1.0f;
    float voronoiLineSize = 1.0f;

    // Active layer (or style target) and visibility of the five map layers.
    int activeLayer = 1;
    std::array<bool, 5> visibility{true, true, true, true, true};
};

// What the property buttons show and allow for the active target.
struct TargetStyle {
    bool colour = false;
    bool pointSize = false;
    bool lineSize = false;
    bool font = false;
    std::uint32_t colourValue = 0;
    float size = 0.0f;
    MapFont fontValue;
};

} // namespace sundrel::app
