#pragma once
// Drawing of the result layers: single-run sundrels (edges, end marks,
// trace, labels at both ends) and significance counts (edge widths by count,
// counts at edge midpoints), and the three passes over all layers (screen,
// bitmap and print jobs, PostScript).

#include "monmonier/MonmonierLayer.h"
#include "render/Canvas.h"

#include <cstdint>

namespace sundrel::render {

// One layer's lines and labels. Nothing is drawn while it is not computed;
// lines need `visible`, labels `visible` and `labelsVisible`.
void DrawLayerLines(Canvas& c, const SundrelMonmonier& layer, std::int32_t index);
void DrawLayerLabels(Canvas& c, const SundrelMonmonier& layer, std::int32_t index);

// Items the export variant of one layer steps through.
std::int64_t LayerExportSteps(const SundrelMonmonier& layer);

// The screen pass: every layer's lines in drawing order, then every layer's
// labels, so that all labels lie over all lines. Skipped while busy.
void DrawLayersOnScreen(Canvas& c, MonmonierLayer& layers);
// The bitmap and print pass (the canvas carries the job's progress).
void DrawLayersForExport(Canvas& c, MonmonierLayer& layers);
std::int64_t ExportStepCount(const MonmonierLayer& layers);
// The PostScript pass: lines from the last layer in drawing order to the
// first, then labels, each followed by a step back in depth. The canvas is
// the screen's parameter set under the view's projection.
void DrawLayersForPostScript(Canvas& c, MonmonierLayer& layers);

} // namespace sundrel::render
