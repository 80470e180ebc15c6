#pragma once
// What one drawing routine draws on: the view primitives with one of their
// parameter sets (the screen's or the parallel one), the fonts it may make,
// and, for export jobs, the progress and cancellation hooks. The screen
// passes no progress; the bitmap and print jobs pass theirs, so that every
// routine is written once for all targets.

#include "common/Job.h"
#include "common/Messages.h"
#include "model/MMap.h"
#include "render/GLFont.h"
#include "render/ViewPrimitives.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <tuple>

namespace sundrel::render {

// Progress of an export job, through its hooks: stage changes posted to the
// job's progress window, and one step per drawn item, sent (the job waits
// until the window has counted it), then a check for the job's cancel.
class ExportProgress {
public:
    explicit ExportProgress(JobHooks hooks = {}) : hooks_(hooks) {}
    void Stage(ExportStage stage, std::intptr_t layer = 0);
    void Step();
    // Raises the export's cancel (a silent abort) once the job is cancelled.
    void CheckCancel();

private:
    JobHooks hooks_;
};

// Fonts for labels, made for the context that draws.
class FontSource {
public:
    virtual ~FontSource() = default;
    // A font of `points` points, or nullptr when it cannot be made.
    virtual GLFONT* Acquire(const std::string& name, std::int32_t style, std::int32_t points) = 0;
    virtual void Release(GLFONT* font) = 0;
};

// Screen fonts: made once per face, style and size, kept until the source
// goes (which must happen while their context is current).
class CachedFonts : public FontSource {
public:
    explicit CachedFonts(double pixelsPerInch) : pixelsPerInch_(pixelsPerInch) {}
    ~CachedFonts() override;
    GLFONT* Acquire(const std::string& name, std::int32_t style, std::int32_t points) override;
    void Release(GLFONT*) override {}
    void Clear();

private:
    double pixelsPerInch_;
    std::map<std::tuple<std::string, std::int32_t, std::int32_t>, GLFONT*> fonts_;
};

// Export fonts: a temporary copy of the font whose size is scaled from the
// screen to the job's resolution (truncated), freed after drawing.
class ScaledFonts : public FontSource {
public:
    ScaledFonts(double dotsPerInch, double screenPixelsPerInch)
        : dotsPerInch_(dotsPerInch), screenPixelsPerInch_(screenPixelsPerInch)
    {
    }
    GLFONT* Acquire(const std::string& name, std::int32_t style, std::int32_t points) override;
    void Release(GLFONT* font) override { FreeGLFont(font); }
    // The temporary font's point size.
    std::int32_t ScaledSize(std::int32_t points) const;
    // Glyphs no taller than this many pixels.
    void LimitPixelHeight(std::int32_t pixels) { maxPixelHeight_ = pixels < 1 ? 1 : pixels; }

private:
    double dotsPerInch_;
    double screenPixelsPerInch_;
    std::int32_t maxPixelHeight_ = 1 << 30;
};

struct Canvas {
    ViewPrimitives& view;
    ViewParameters& set;
    FontSource& fonts;
    ExportProgress* progress = nullptr;

    void Stage(ExportStage stage, std::intptr_t layer = 0)
    {
        if (progress)
            progress->Stage(stage, layer);
    }
    void Check()
    {
        if (progress)
            progress->CheckCancel();
    }
    // Before an item: cancellation; after it: one step.
    void Step()
    {
        if (progress)
            progress->Step();
    }

    // For a bitmap of `visible`, where only pixels count: points and lines
    // lying wholly outside (with two pixels to spare) are left out, so that
    // a zoomed view costs what it shows rather than the whole map. Vector
    // targets keep every primitive.
    void ForPixels(const MBounds& visible)
    {
        pixelsOnly = true;
        shown = visible;
    }

    void SetPointSize(double points) { set.SetPointSize(points); }
    void SetLineWidth(double points) { set.SetLineWidth(points); }
    void Point(double x, double y)
    {
        if (!Outside(x, x, y, y, set.pointRadius))
            view.Point(set, x, y);
    }
    void Line(double x1, double y1, double x2, double y2)
    {
        if (!Outside(std::min(x1, x2), std::max(x1, x2), std::min(y1, y2), std::max(y1, y2),
                     set.lineHalfWidth))
            view.Line(set, x1, y1, x2, y2);
    }
    void FullLine(double x1, double y1, double x2, double y2)
    {
        if (!Outside(std::min(x1, x2), std::max(x1, x2), std::min(y1, y2), std::max(y1, y2),
                     set.lineHalfWidth))
            view.FullLine(set, x1, y1, x2, y2);
    }
    void Mark(double x1, double y1, double x2, double y2, int direction)
    {
        view.SundrelMark(set, x1, y1, x2, y2, direction);
    }
    void PrepareName(double x1, double y1, double x2, double y2, int direction)
    {
        view.PrepareName(set, x1, y1, x2, y2, direction);
    }

    bool pixelsOnly = false;
    MBounds shown{};

private:
    // True when the box [x1, x2] x [y1, y2] grown by `reach` misses the
    // shown area grown by two pixels.
    bool Outside(double x1, double x2, double y1, double y2, double reach) const
    {
        if (!pixelsOnly)
            return false;
        const double spare = reach + 2.0 * std::abs(set.scale);
        return x2 + spare < shown.xMin || x1 - spare > shown.xMax || y2 + spare < shown.yMin ||
               y1 - spare > shown.yMax;
    }
};

} // namespace sundrel::render
