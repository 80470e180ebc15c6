#include "render/Canvas.h"

#include "common/Messages.h"
#include "render/Messages.h"

#include <algorithm>

#include <cmath>

namespace sundrel::render {

void ExportProgress::Stage(ExportStage stage, std::intptr_t layer)
{
    PostStage(hooks_.progress, stage, layer);
}

void ExportProgress::Step()
{
    if (hooks_.progress)
        hooks_.progress->send(WM_EXPORT_STEP, 0, 0);
    CheckCancel();
}

void ExportProgress::CheckCancel()
{
    if (hooks_.feedback)
        hooks_.feedback->checkCancelled(msg::ExportCancelledByUser);
}

CachedFonts::~CachedFonts() { Clear(); }

void CachedFonts::Clear()
{
    for (auto& [key, font] : fonts_)
        FreeGLFont(font);
    fonts_.clear();
}

GLFONT* CachedFonts::Acquire(const std::string& name, std::int32_t style, std::int32_t points)
{
    if (name.empty() || points <= 0)
        return nullptr;
    const auto key = std::make_tuple(name, style, points);
    auto found = fonts_.find(key);
    if (found != fonts_.end())
        return found->second;
    GLFONT* font = CreateGLFont(name, style, PixelHeight(points, pixelsPerInch_));
    if (font)
        fonts_.emplace(key, font);
    return font;
}

std::int32_t ScaledFonts::ScaledSize(std::int32_t points) const
{
    const double size = std::trunc(dotsPerInch_ / screenPixelsPerInch_ * points);
    return size < 1.0 ? 1 : size > 4096.0 ? 4096 : static_cast<std::int32_t>(size);
}

GLFONT* ScaledFonts::Acquire(const std::string& name, std::int32_t style, std::int32_t points)
{
    if (name.empty() || points <= 0)
        return nullptr;
    // The temporary font is made on a device of the screen's resolution.
    return CreateGLFont(name, style,
                        std::min(PixelHeight(ScaledSize(points), screenPixelsPerInch_),
                                 maxPixelHeight_));
}

} // namespace sundrel::render
