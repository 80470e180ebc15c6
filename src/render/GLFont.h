#pragma once
// Bitmap fonts for OpenGL: every character code 0..255 (Windows-1252) is
// rendered by Qt into a 1-bit glyph and compiled into its own display list,
// so that a string is drawn with one glCallLists at the raster position.
// Creating and freeing need a current OpenGL context and a Qt application.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sundrel::render {

struct GLFONT {
    std::uint32_t listBase = 0;      // first of 256 consecutive display lists
    std::int32_t widths[256] = {};   // advance of each character, in pixels
    std::int32_t height = 0;         // character height, in pixels

    // The same glyphs for the text batch: bitmap widths, rows and the
    // baseline's height in them, and the bits of every glyph as glBitmap
    // takes them (bottom row first, rows of (columns + 7) / 8 bytes, most
    // significant bit leftmost). No bits are kept for glyphs larger than
    // 1/16 of the largest texture: the batch then draws with the lists.
    std::int32_t columns[256] = {};
    bool ink[256] = {}; // some pixel set (a blank draws nothing)
    std::int32_t rows = 0;
    std::int32_t descent = 0;
    std::vector<std::vector<unsigned char>> glyphs;
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

// Many texts at map positions drawn together, with the pixels glBitmap would
// give at the same raster positions: the glyphs are combined into one mask
// of the viewport on the processor and drawn with a few bitmaps, instead of
// one raster position and one bitmap per character (which the software
// renderer draws one by one). Texts whose position lies outside the view
// are left out, as a raster position there is invalid.
class TextBatch {
public:
    // Reads the current matrices and viewport.
    explicit TextBatch(const GLFONT* font);
    void Add(double x, double y, int alignment, std::string_view text);
    // Draws everything added, in the current colour.
    void Draw();

private:
    struct Entry {
        double x;
        double y;
        int alignment;
        std::string text;
    };
    bool WindowPosition(double x, double y, float& wx, float& wy) const;

    const GLFONT* font_;
    float modelView_[16];
    float projection_[16];
    int viewport_[4];
    std::vector<Entry> entries_;
};

// Pixel height of a font of `points` points at `pixelsPerInch`, as the
// platform derives it (at least 1).
std::int32_t PixelHeight(double points, double pixelsPerInch);

// The screen resolution assumed where no screen is known (96 pixels per
// inch, the usual desktop setting).
inline constexpr double kDefaultScreenPixelsPerInch = 96.0;

} // namespace sundrel::render
