#pragma once
// The arithmetic of the image and printing size dialog: pixel sizes,
// physical sizes and resolution kept consistent with the view's aspect
// ratio. Results in pixels are truncated toward zero.

#include <cstdint>
#include <optional>
#include <string>

namespace sundrel {

inline constexpr double kInchesPerCentimetre = 0.39370078740157477;
// 72 dpi.
inline constexpr double kDefaultPixelsPerCentimetre = 28.346456692913385;

struct BitmapSize {
    std::int64_t width = 800;
    std::int64_t height = 600;
    double resolution = kDefaultPixelsPerCentimetre; // pixels per centimetre
    double ratio = 1.0;                              // view width / view height

    double WidthCentimetres() const { return static_cast<double>(width) / resolution; }
    double HeightCentimetres() const { return static_cast<double>(height) / resolution; }
    double Dpi() const { return resolution * 2.54; }

    // Each sets one value and derives the other pixel size from the ratio.
    void SetWidth(std::int64_t pixels);
    void SetHeight(std::int64_t pixels);
    void SetWidthCentimetres(double cm);
    void SetHeightCentimetres(double cm);
    // Pixel sizes stay; only the physical sizes follow.
    void SetResolution(double pixelsPerCentimetre) { resolution = pixelsPerCentimetre; }
    // Stores the ratio and applies the present width again.
    void SetRatio(double viewRatio);
};

// Why a size cannot be drawn by a renderer whose largest image side is
// `limit` pixels, or nothing when it can.
std::optional<std::string> BitmapSizeProblem(const BitmapSize& size, std::int64_t limit);

// Values as the dialog shows them: sizes with two decimals, resolution with
// three.
std::string FormatSize(double value);
std::string FormatResolution(double value);

} // namespace sundrel
