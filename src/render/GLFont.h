#pragma once
// Bitmap fonts for OpenGL: every character code 0..255 (Windows-1252) is
// rendered by Qt into a 1-bit glyph and compiled into its own display list,
// so that a string is drawn with one glCallLists at the raster position.
// Creating and freeing need a current OpenGL context and a Qt application.

#include <cstdint>
#include <string>
#include <string_view>

namespace sundrel::render {

struct GLFONT {
    std::uint32_t listBase = 0;      // first of 256 consecutive display lists
    std::int32_t widths[256] = {};   // advance of each character, in pixels
    std::int32_t height = 0;         // character height, in pixels
};

// Font attributes as documents store them: face name, style bits (bold 0x1,
// italic 0x10, underline 0x100, strike-out 0x1000).
// Returns nullptr when no font is installed or the display lists cannot be
// reserved.
GLFONT* CreateGLFont(const std::string& faceName, std::int32_t style, std::int32_t pixelHeight);
void FreeGLFont(GLFONT* font);

// The width in pixels of `text` (Windows-1252 bytes).
std::int32_t TextWidth(const GLFONT& font, std::string_view text);

// Draws `text` at the raster position: alignment < 0 right-aligns, 0 centres
// (moved left by half the width, rounded towards zero), > 0 left-aligns.
// Nothing happens without a font or a text.
void PrintGLFont(const GLFONT* font, int alignment, std::string_view text);

// Pixel height of a font of `points` points at `pixelsPerInch`, as the
// platform derives it (at least 1).
std::int32_t PixelHeight(double points, double pixelsPerInch);

// The screen resolution assumed where no screen is known (96 pixels per
// inch, the usual desktop setting).
inline constexpr double kDefaultScreenPixelsPerInch = 96.0;

} // namespace sundrel::render
