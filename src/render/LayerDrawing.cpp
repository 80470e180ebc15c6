#include "render/LayerDrawing.h"

#include "matrix/SMatrix.h"
#include "monmonier/Paving.h"
#include "render/MapDrawing.h"

#include <GL/gl.h>
#include <gl2ps.h>

#include <cmath>
#include <cstdio>

namespace sundrel::render {

namespace {

// The Voronoi edge standing for the pair (i, j), i > j.
bool PairEdge(const SundrelMonmonier& layer, std::int32_t i, std::int32_t j, MXY& a, MXY& b)
{
    const std::vector<MPolygon>* cells = layer.cells();
    const PavingMatrix* paving = layer.paving();
    return cells && paving && sundrel::PairEdge(*cells, *paving, i, j, a, b);
}

MXY PairMidpoint(const SundrelMonmonier& layer, const SundrelElement& e)
{
    const auto& cells = *layer.cells();
    const MPolygon& p = cells[static_cast<std::size_t>(e.i)];
    const MPolygon& q = cells[static_cast<std::size_t>(e.j)];
    return {(p.siteX + q.siteX) / 2.0, (p.siteY + q.siteY) / 2.0};
}

// The end marks of a sundrel: the last element's side from firstEndRef, the
// first element's from oppositeEndRef.
int Side(std::int32_t endRef, const SundrelElement& e) { return endRef == e.j ? -1 : 1; }

struct SundrelView {
    std::vector<SundrelElement> elements;
    std::int32_t firstEndRef;
    std::int32_t oppositeEndRef;
    std::string label;
};

std::vector<SundrelView> Sundrels(const SundrelMonmonier& layer)
{
    std::vector<SundrelView> out;
    if (layer.matrixCount() < 1)
        return out;
    for (const auto& s : layer.sundrels(0)) {
        if (!s)
            continue;
        SundrelView v{s->elements(), s->firstEndRef(), s->oppositeEndRef(), s->label};
        if (!v.elements.empty())
            out.push_back(std::move(v));
    }
    return out;
}

bool CellsValid(const SundrelMonmonier& layer, const SundrelElement& e)
{
    const std::vector<MPolygon>* cells = layer.cells();
    return cells && e.j >= 0 && e.i > e.j && static_cast<std::size_t>(e.i) < cells->size();
}

void SingleLines(Canvas& c, const SundrelMonmonier& layer)
{
    for (const SundrelView& s : Sundrels(layer)) {
        c.SetLineWidth(layer.lineSize);
        ViewPrimitives::SetColor(layer.lineColor);
        for (const SundrelElement& e : s.elements) {
            c.Check();
            MXY a;
            MXY b;
            if (PairEdge(layer, e.i, e.j, a, b))
                c.FullLine(a.x, a.y, b.x, b.y);
            c.Step();
        }
        MXY a;
        MXY b;
        const SundrelElement& last = s.elements.back();
        c.Check();
        if (PairEdge(layer, last.i, last.j, a, b))
            c.Mark(a.x, a.y, b.x, b.y, Side(s.firstEndRef, last));
        c.Step();
        const SundrelElement& first = s.elements.front();
        c.Check();
        if (PairEdge(layer, first.i, first.j, a, b))
            c.Mark(a.x, a.y, b.x, b.y, Side(s.oppositeEndRef, first));
        c.Step();
        if (layer.showTrace() && s.elements.size() >= 2) {
            for (std::size_t k = 1; k < s.elements.size(); ++k) {
                c.Check();
                if (CellsValid(layer, s.elements[k - 1]) && CellsValid(layer, s.elements[k])) {
                    const MXY p = PairMidpoint(layer, s.elements[k - 1]);
                    const MXY q = PairMidpoint(layer, s.elements[k]);
                    c.FullLine(p.x, p.y, q.x, q.y);
                }
                c.Step();
            }
        }
    }
}

void SingleLabels(Canvas& c, const SundrelMonmonier& layer, GLFONT* font)
{
    c.SetLineWidth(layer.lineSize);
    ViewPrimitives::SetColor(layer.textColor);
    for (const SundrelView& s : Sundrels(layer)) {
        const SundrelElement& last = s.elements.back();
        const SundrelElement& first = s.elements.front();
        MXY a;
        MXY b;
        c.Check();
        if (!s.label.empty() && PairEdge(layer, last.i, last.j, a, b)) {
            c.PrepareName(a.x, a.y, b.x, b.y, Side(s.firstEndRef, last));
            PrintGLFont(font, 1, s.label);
        }
        c.Step();
        c.Check();
        if (!s.label.empty() && PairEdge(layer, first.i, first.j, a, b)) {
            c.PrepareName(a.x, a.y, b.x, b.y, Side(s.oppositeEndRef, first));
            PrintGLFont(font, 1, s.label);
        }
        c.Step();
    }
}

// Line width of an edge counted `count` times, W the layer's size.
double CountWidth(double count, double maxCount, double w)
{
    if (maxCount <= 1.0)
        return 1.0;
    return 1.0 + (count - 1.0) * (w - 1.0) / (maxCount - 1.0);
}

void MultipleLines(Canvas& c, const SundrelMonmonier& layer)
{
    ViewPrimitives::SetColor(layer.lineColor);
    const double w = std::trunc(layer.lineSize);
    const double maxCount = layer.maxCount();
    for (const SundrelElement& e : layer.countList()) {
        c.Check();
        MXY a;
        MXY b;
        if (PairEdge(layer, e.i, e.j, a, b)) {
            c.SetLineWidth(CountWidth(e.distance, maxCount, w));
            c.FullLine(a.x, a.y, b.x, b.y);
        }
        c.Step();
    }
}

void MultipleLabels(Canvas& c, const SundrelMonmonier& layer, GLFONT* font)
{
    ViewPrimitives::SetColor(layer.textColor);
    TextBatch batch(font);
    for (const SundrelElement& e : layer.countList()) {
        c.Check();
        MXY a;
        MXY b;
        if (PairEdge(layer, e.i, e.j, a, b)) {
            char text[32];
            std::snprintf(text, sizeof text, "  %d", static_cast<int>(e.distance));
            batch.Add((a.x + b.x) / 2.0, (a.y + b.y) / 2.0, 1, text);
        }
        c.Step();
    }
    batch.Draw();
}

bool ShowsLines(const SundrelMonmonier& layer) { return layer.computed() && layer.visible; }
bool ShowsLabels(const SundrelMonmonier& layer)
{
    return layer.computed() && layer.visible && layer.labelsVisible;
}

} // namespace

void DrawLayerLines(Canvas& c, const SundrelMonmonier& layer, std::int32_t index)
{
    if (!ShowsLines(layer))
        return;
    if (layer.isSingle()) {
        c.Stage(ExportStage::SingleSundrels, index);
        SingleLines(c, layer);
    } else {
        c.Stage(ExportStage::MultipleSundrels, index);
        MultipleLines(c, layer);
    }
}

void DrawLayerLabels(Canvas& c, const SundrelMonmonier& layer, std::int32_t index)
{
    if (!ShowsLabels(layer))
        return;
    c.Stage(ExportStage::LayerFont, index);
    GLFONT* font = c.fonts.Acquire(layer.font.name, layer.font.style, layer.font.size);
    try {
        if (layer.isSingle()) {
            c.Stage(ExportStage::SingleTitles, index);
            SingleLabels(c, layer, font);
        } else {
            c.Stage(ExportStage::MultipleLabels, index);
            MultipleLabels(c, layer, font);
        }
    } catch (...) {
        c.fonts.Release(font);
        throw;
    }
    c.fonts.Release(font);
}

std::int64_t LayerExportSteps(const SundrelMonmonier& layer)
{
    std::int64_t steps = 0;
    if (layer.isSingle()) {
        for (const SundrelView& s : Sundrels(layer)) {
            const auto n = static_cast<std::int64_t>(s.elements.size());
            if (ShowsLines(layer))
                steps += n + 2 + (layer.showTrace() && n >= 2 ? n - 1 : 0);
            if (ShowsLabels(layer))
                steps += 2;
        }
    } else {
        const auto n = static_cast<std::int64_t>(layer.countList().size());
        if (ShowsLines(layer))
            steps += n;
        if (ShowsLabels(layer))
            steps += n;
    }
    return steps;
}

void DrawLayersOnScreen(Canvas& c, MonmonierLayer& layers)
{
    if (layers.awaitingAcknowledge())
        return;
    layers.redrawDone();
    DrawLayersForExport(c, layers);
}

void DrawLayersForExport(Canvas& c, MonmonierLayer& layers)
{
    if (layers.awaitingAcknowledge())
        return;
    const std::vector<std::int32_t> order = layers.drawOrder();
    for (std::int32_t index : order)
        if (auto layer = layers.layer(index))
            DrawLayerLines(c, *layer, index);
    for (std::int32_t index : order)
        if (auto layer = layers.layer(index))
            DrawLayerLabels(c, *layer, index);
}

std::int64_t ExportStepCount(const MonmonierLayer& layers)
{
    std::int64_t steps = 0;
    for (std::int32_t index : layers.drawOrder())
        if (auto layer = layers.layer(index))
            steps += LayerExportSteps(*layer);
    return steps;
}

namespace {

void PsText(const SundrelMonmonier& layer, const char* text)
{
    gl2psText(text, PostScriptFontName(layer.font.name, layer.font.style).c_str(),
              static_cast<GLshort>(std::clamp<std::int32_t>(layer.font.size, 1, 32767)));
}

void PsLabels(Canvas& c, const SundrelMonmonier& layer)
{
    if (!ShowsLabels(layer))
        return;
    ViewPrimitives::SetColor(layer.textColor);
    if (layer.isSingle()) {
        c.SetLineWidth(layer.lineSize);
        for (const SundrelView& s : Sundrels(layer)) {
            if (s.label.empty())
                continue;
            const SundrelElement& last = s.elements.back();
            const SundrelElement& first = s.elements.front();
            MXY a;
            MXY b;
            if (PairEdge(layer, last.i, last.j, a, b)) {
                c.PrepareName(a.x, a.y, b.x, b.y, Side(s.firstEndRef, last));
                PsText(layer, s.label.c_str());
            }
            if (PairEdge(layer, first.i, first.j, a, b)) {
                c.PrepareName(a.x, a.y, b.x, b.y, Side(s.oppositeEndRef, first));
                PsText(layer, s.label.c_str());
            }
        }
    } else {
        for (const SundrelElement& e : layer.countList()) {
            MXY a;
            MXY b;
            if (!PairEdge(layer, e.i, e.j, a, b))
                continue;
            glRasterPos2d((a.x + b.x) / 2.0, (a.y + b.y) / 2.0);
            char text[32];
            std::snprintf(text, sizeof text, "  %d", static_cast<int>(e.distance));
            PsText(layer, text);
        }
    }
}

} // namespace

void DrawLayersForPostScript(Canvas& c, MonmonierLayer& layers)
{
    if (layers.awaitingAcknowledge())
        return;
    const std::vector<std::int32_t> order = layers.drawOrder();
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (auto layer = layers.layer(*it)) {
            if (ShowsLines(*layer)) {
                if (layer->isSingle())
                    SingleLines(c, *layer);
                else
                    MultipleLines(c, *layer);
            }
        }
        glTranslated(0.0, 0.0, -1.0);
    }
    for (auto it = order.rbegin(); it != order.rend(); ++it) {
        if (auto layer = layers.layer(*it))
            PsLabels(c, *layer);
        glTranslated(0.0, 0.0, -1.0);
    }
}

} // namespace sundrel::render
