#pragma once
// The map editor window's settings (group "MapEditor"): read in five groups,
// each falling back to its own defaults when one of its values is missing or
// unreadable, and written all together when the window closes.

#include "app/widgets/Settings.h"
#include "common/ColourTable.h"
#include "model/MMap.h"

#include <QRect>
#include <QString>

#include <array>
#include <optional>

class QSettings;

namespace sundrel::app {

struct MainFormSettings {
    // Bounds, state and folders. Values read before a failure in this group
    // stay.
    std::optional<QRect> bounds; // the normal (not maximized) geometry
    bool maximized = false;
    QString openDir;    // the coordinate file dialog's folder
    QString openMapDir; // the document dialog's folder

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

    // Active layer and visibility of the five map layers.
    int activeLayer = 1;
    std::array<bool, 5> visibility{true, true, true, true, true};
};

// Reads the group "MapEditor" of `settings` (the caller's group must be the
// root) over `into`, group by group.
void ReadMainFormSettings(QSettings& settings, MainFormSettings& into);
// Writes every value into the group "MapEditor".
void WriteMainFormSettings(QSettings& settings, const MainFormSettings& values);

} // namespace sundrel::app
