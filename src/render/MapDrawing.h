#pragma once
// Drawing of the map: its five layers, the highlight and the whole screen
// scene, written once against a Canvas (screen or export job), plus the
// PostScript variants drawn inside a GL2PS page.

#include "model/MMap.h"
#include "render/Canvas.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sundrel::render {

class Backdrop;

// Map layer indices.
inline constexpr int kOriginalPoints = 0;
inline constexpr int kVirtualPoints = 1;
inline constexpr int kLabels = 2;
inline constexpr int kDelaunay = 3;
inline constexpr int kVoronoi = 4;

void DrawOriginalPoints(Canvas& c, const MMap& map);
void DrawVirtualPoints(Canvas& c, const MMap& map);
void DrawDelaunay(Canvas& c, const MMap& map);
void DrawVoronoi(Canvas& c, const MMap& map);
// " %d" with the population number at each site, left-aligned, in `font`.
void DrawLabels(Canvas& c, const MMap& map, GLFONT* font);
// The export variant: makes the scaled label font from the canvas's fonts
// (stage 13), draws (stage 12) and frees it. A map without a label font
// (no face name or size 0) gets no labels, as on the screen; "Invalid font
// attributes" is raised only when the font cannot be made.
void DrawLabelsForExport(Canvas& c, const MMap& map);
// The editing highlight (only while the blink flag is set).
void DrawHighlight(Canvas& c, const MMap& map);

// The number of items the export variant of a layer steps through.
std::int64_t LayerStepCount(const MMap& map, int layer);

// What the screen shows.
struct Scene {
    const MMap* map = nullptr;           // nullptr: the placeholder
    std::array<bool, 5> visible{true, true, true, true, true};
    GLFONT* labelsFont = nullptr;        // the map's view font
    GLFONT* placeholderFont = nullptr;
    std::function<void()> extraLayers;   // drawn after the points, under the labels
    const std::vector<Backdrop>* backdrops = nullptr; // beneath the map layers
    bool highlight = true;               // false: the caller draws it on top
};

// Clears and draws the scene with the current projection.
void DrawScene(Canvas& c, const Scene& scene);

// The standard PostScript font standing for a face name and style (face
// names with blanks would break the PostScript program, and only the
// standard fonts are sure to exist where the file is printed).
std::string PostScriptFontName(const std::string& face, std::int32_t style);

// PostScript variants (inside a GL2PS page).
void PsOriginalPoints(const MMap& map);
void PsVirtualPoints(const MMap& map);
void PsDelaunay(const MMap& map);
void PsVoronoi(const MMap& map);
// Raises "Invalid font attributes" when the map has no label font.
void PsLabels(const MMap& map);

} // namespace sundrel::render
