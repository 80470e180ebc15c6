#include "common/BitmapSize.h"

#include <cmath>
#include <cstdio>
#include <limits>

namespace sundrel {

namespace {

// Truncated toward zero, kept within what the fields can hold.
std::int64_t Truncated(double value)
{
    if (!(value == value))
        return 0;
    constexpr double kMost = static_cast<double>(std::numeric_limits<std::int32_t>::max());
    if (value > kMost)
        return std::numeric_limits<std::int32_t>::max();
    if (value < -kMost)
        return -std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int64_t>(std::trunc(value));
}

} // namespace

void BitmapSize::SetWidth(std::int64_t pixels)
{
    width = pixels;
    height = Truncated(static_cast<double>(pixels) / ratio);
}

void BitmapSize::SetHeight(std::int64_t pixels)
{
    height = pixels;
    width = Truncated(static_cast<double>(pixels) * ratio);
}

void BitmapSize::SetWidthCentimetres(double cm) { SetWidth(Truncated(cm * resolution)); }

void BitmapSize::SetHeightCentimetres(double cm) { SetHeight(Truncated(cm * resolution)); }

void BitmapSize::SetRatio(double viewRatio)
{
    ratio = viewRatio > 0.0 && std::isfinite(viewRatio) ? viewRatio : 1.0;
    SetWidth(width);
}

std::optional<std::string> BitmapSizeProblem(const BitmapSize& size, std::int64_t limit)
{
    if (!(size.resolution > 0.0) || !std::isfinite(size.resolution))
        return std::string("The resolution must be greater than 0.");
    if (size.width < 1 || size.height < 1)
        return std::string("The image must be at least 1 pixel wide and 1 pixel high.");
    if (size.width > limit || size.height > limit)
        return "The image cannot be larger than " + std::to_string(limit) + " x " +
               std::to_string(limit) + " pixels.";
    return std::nullopt;
}

std::string FormatSize(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.2f", value);
    return text;
}

std::string FormatResolution(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%0.3f", value);
    return text;
}

} // namespace sundrel
