#include "render/GLFont.h"

#include "common/Text.h"
#include "render/FontSupport.h"

#define GL_GLEXT_PROTOTYPES
#include <GL/gl.h>
#include <GL/glext.h>

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cmath>
#include <vector>

namespace sundrel::render {

namespace {

QFont MakeQFont(const std::string& faceName, std::int32_t style, std::int32_t pixelHeight)
{
    QFont font(QString::fromStdString(faceName));
    font.setPixelSize(std::max(1, pixelHeight));
    font.setBold((style & 0x1) != 0);
    font.setItalic((style & 0x10) != 0);
    font.setUnderline((style & 0x100) != 0);
    font.setStrikeOut((style & 0x1000) != 0);
    // Bitmap glyphs: no grey levels, so that the pixels do not depend on a
    // threshold.
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

// The character of code c in Windows-1252 (control codes stay themselves).
QString Character(int c)
{
    const char byte = static_cast<char>(c);
    return QString::fromStdString(Cp1252ToUtf8(std::string_view(&byte, 1)));
}

// Keeps the glyph bits for the text batch, unless a glyph is larger than
// 1/16 of the largest texture (the limit the batch has always drawn with):
// such fonts draw with the display lists alone.
void KeepGlyphs(GLFONT& font, std::vector<std::vector<unsigned char>>& glyphs)
{
    int cell = 1;
    for (int c = 0; c < 256; ++c)
        cell = std::max(cell, font.columns[c]);
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    if (16 * static_cast<std::int64_t>(cell) > limit ||
        16 * static_cast<std::int64_t>(font.rows) > limit)
        return;
    font.glyphs = std::move(glyphs);
}

} // namespace

std::int32_t PixelHeight(double points, double pixelsPerInch)
{
    const double h = std::floor(points * pixelsPerInch / 72.0 + 0.5);
    return h < 1.0 ? 1 : h > 4096.0 ? 4096 : static_cast<std::int32_t>(h);
}

GLFONT* CreateGLFont(const std::string& faceName, std::int32_t style, std::int32_t pixelHeight)
{
    // Without any installed font every glyph would come out empty.
    if (!FontsAvailable())
        return nullptr;
    auto* font = new GLFONT();
    font->listBase = glGenLists(256);
    if (font->listBase == 0) {
        delete font;
        return nullptr;
    }
    const QFont qfont = MakeQFont(faceName, style, pixelHeight);
    const QFontMetrics metrics(qfont);
    const int ascent = metrics.ascent();
    const int descent = metrics.descent();
    const int rows = std::max(1, ascent + descent);
    font->rows = rows;
    font->descent = descent;

    // Every glyph as rows of bits, bottom row first (as glBitmap takes them).
    std::vector<std::vector<unsigned char>> glyphs(256);
    for (int c = 0; c < 256; ++c) {
        const QString ch = Character(c);
        const bool printable = c >= 32 && c != 127;
        const int advance = printable ? metrics.horizontalAdvance(ch) : 0;
        // Overhangs (italics) widen the bitmap a little; a glyph reporting a
        // far larger extent (some fonts do for unassigned codes) is cut.
        const int right = printable ? metrics.boundingRect(ch).right() + 1 : 0;
        const int columns = std::max(advance, std::min(right, advance + rows));
        font->widths[c] = advance;
        font->columns[c] = columns;
        std::vector<unsigned char>& bits = glyphs[static_cast<std::size_t>(c)];
        bits.assign(1, 0); // never a null glyph pointer
        if (columns <= 0)
            continue;
        QImage image(columns, rows, QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setFont(qfont);
            painter.setPen(Qt::black);
            painter.drawText(0, ascent, ch);
        }
        const int stride = (columns + 7) / 8;
        bits.assign(static_cast<std::size_t>(stride) * static_cast<std::size_t>(rows), 0);
        for (int y = 0; y < rows; ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(rows - 1 - y));
            for (int x = 0; x < columns; ++x)
                if (qGray(line[x]) < 128)
                    bits[static_cast<std::size_t>(y * stride + x / 8)] |=
                        static_cast<unsigned char>(0x80 >> (x % 8));
        }
        font->ink[c] = std::any_of(bits.begin(), bits.end(), [](unsigned char b) { return b != 0; });
    }

    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    for (int c = 0; c < 256; ++c) {
        const int columns = font->columns[c];
        glNewList(font->listBase + static_cast<GLuint>(c), GL_COMPILE);
        glBitmap(columns > 0 ? columns : 0, columns > 0 ? rows : 0, 0.0f,
                 static_cast<GLfloat>(descent), static_cast<GLfloat>(font->widths[c]), 0.0f,
                 glyphs[static_cast<std::size_t>(c)].data());
        glEndList();
    }
    glPopClientAttrib();
    KeepGlyphs(*font, glyphs);
    font->height = pixelHeight;
    return font;
}

void FreeGLFont(GLFONT* font)
{
    if (!font)
        return;
    glDeleteLists(font->listBase, 256);
    delete font;
}

std::int32_t TextWidth(const GLFONT& font, std::string_view text)
{
    std::int32_t width = 0;
    for (unsigned char c : text)
        width += font.widths[c];
    return width;
}

void PrintGLFont(const GLFONT* font, int alignment, std::string_view text)
{
    if (!font || text.empty())
        return;
    const std::int32_t width = TextWidth(*font, text);
    const GLubyte none = 0;
    if (alignment < 0)
        glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(-width), 0.0f, &none);
    else if (alignment == 0)
        glBitmap(0, 0, 0.0f, 0.0f, static_cast<GLfloat>(-(width / 2)), 0.0f, &none);
    glPushAttrib(GL_LIST_BIT);
    glListBase(font->listBase);
    glCallLists(static_cast<GLsizei>(text.size()), GL_UNSIGNED_BYTE, text.data());
    glPopAttrib();
}

} // namespace sundrel::render

namespace sundrel::render {

TextBatch::TextBatch(const GLFONT* font) : font_(font)
{
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView_);
    glGetFloatv(GL_PROJECTION_MATRIX, projection_);
    glGetIntegerv(GL_VIEWPORT, viewport_);
}

void TextBatch::Add(double x, double y, int alignment, std::string_view text)
{
    if (font_ && !text.empty())
        entries_.push_back({x, y, alignment, std::string(text)});
}

bool TextBatch::WindowPosition(double x, double y, float& wx, float& wy) const
{
    // The raster position as the driver computes it, in single precision:
    // eye = model-view x point, clip = projection x eye, then the viewport.
    const float p[4] = {static_cast<float>(x), static_cast<float>(y), 0.0f, 1.0f};
    float eye[4];
    float clip[4];
    const float* m = modelView_;
    for (int r = 0; r < 4; ++r)
        eye[r] = m[r] * p[0] + m[4 + r] * p[1] + m[8 + r] * p[2] + m[12 + r] * p[3];
    const float* q = projection_;
    for (int r = 0; r < 4; ++r)
        clip[r] = q[r] * eye[0] + q[4 + r] * eye[1] + q[8 + r] * eye[2] + q[12 + r] * eye[3];
    // Outside the clip volume the raster position is invalid.
    for (int k = 0; k < 3; ++k)
        if (clip[k] > clip[3] || clip[k] < -clip[3])
            return false;
    const float d = clip[3] == 0.0f ? 1.0f : 1.0f / clip[3];
    const float halfWidth = static_cast<float>(viewport_[2]) / 2.0f;
    const float halfHeight = static_cast<float>(viewport_[3]) / 2.0f;
    wx = clip[0] * d * halfWidth + (halfWidth + static_cast<float>(viewport_[0]));
    wy = clip[1] * d * halfHeight + (halfHeight + static_cast<float>(viewport_[1]));
    return true;
}

namespace {

// ORs a glyph's rows into the mask at pixel (gx, gy) of the viewport; what
// falls outside the mask is cut.
void BlitGlyph(std::vector<unsigned char>& mask, std::int64_t maskStride, std::int64_t maskRows,
               const std::vector<unsigned char>& bits, std::int32_t columns, std::int32_t rows,
               std::int64_t gx, std::int64_t gy)
{
    const std::int64_t stride = (columns + 7) / 8;
    const std::int64_t firstByte = gx >= 0 ? gx / 8 : -((-gx + 7) / 8);
    const int shift = static_cast<int>(gx - 8 * firstByte);
    for (std::int64_t y = 0; y < rows; ++y) {
        const std::int64_t my = gy + y;
        if (my < 0 || my >= maskRows)
            continue;
        unsigned char* line = mask.data() + my * maskStride;
        const unsigned char* source = bits.data() + y * stride;
        for (std::int64_t k = 0; k < stride; ++k) {
            const unsigned b = source[k];
            if (b == 0)
                continue;
            const std::int64_t at = firstByte + k;
            if (at >= 0 && at < maskStride)
                line[at] |= static_cast<unsigned char>(b >> shift);
            if (shift != 0 && at + 1 >= 0 && at + 1 < maskStride)
                line[at + 1] |= static_cast<unsigned char>(b << (8 - shift));
        }
    }
}

} // namespace

void TextBatch::Draw()
{
    if (!font_ || entries_.empty())
        return;
    if (font_->glyphs.empty() || viewport_[2] <= 0 || viewport_[3] <= 0) {
        for (const Entry& e : entries_) {
            glRasterPos2d(e.x, e.y);
            PrintGLFont(font_, e.alignment, e.text);
        }
        entries_.clear();
        return;
    }
    const std::int64_t width = viewport_[2];
    const std::int64_t height = viewport_[3];
    const std::int64_t stride = (width + 7) / 8;
    std::vector<unsigned char> mask(static_cast<std::size_t>(stride * height), 0);
    for (const Entry& e : entries_) {
        float rx = 0.0f;
        float ry = 0.0f;
        if (!WindowPosition(e.x, e.y, rx, ry))
            continue;
        const std::int32_t textWidth = TextWidth(*font_, e.text);
        if (e.alignment < 0)
            rx += static_cast<float>(-textWidth);
        else if (e.alignment == 0)
            rx += static_cast<float>(-(textWidth / 2));
        // Each bitmap lands where glBitmap puts it: the raster position plus
        // a small epsilon, floored, then moved by the advance.
        const double y0 = std::floor(ry + 0.0001f - static_cast<float>(font_->descent));
        for (unsigned char c : e.text) {
            const std::int32_t columns = font_->columns[c];
            if (columns > 0 && font_->ink[c]) {
                const double x0 = std::floor(rx + 0.0001f);
                BlitGlyph(mask, stride, height, font_->glyphs[c], columns, font_->rows,
                          static_cast<std::int64_t>(x0) - viewport_[0],
                          static_cast<std::int64_t>(y0) - viewport_[1]);
            }
            rx += static_cast<float>(font_->widths[c]);
        }
    }
    entries_.clear();

    // The mask in tiles of at most 1024 x 1024 pixels, each placed at its
    // window position; empty tiles are skipped.
    constexpr std::int64_t kTile = 1024;
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(stride * 8));
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    for (std::int64_t ty = 0; ty < height; ty += kTile) {
        const std::int64_t tileRows = std::min(kTile, height - ty);
        for (std::int64_t tx = 0; tx < width; tx += kTile) {
            const std::int64_t tileColumns = std::min(kTile, width - tx);
            const unsigned char* first = mask.data() + ty * stride + tx / 8;
            bool empty = true;
            for (std::int64_t y = 0; y < tileRows && empty; ++y) {
                const unsigned char* line = first + y * stride;
                empty = std::all_of(line, line + (tileColumns + 7) / 8,
                                    [](unsigned char b) { return b == 0; });
            }
            if (empty)
                continue;
            glWindowPos2i(static_cast<GLint>(viewport_[0] + tx), static_cast<GLint>(viewport_[1] + ty));
            glBitmap(static_cast<GLsizei>(tileColumns), static_cast<GLsizei>(tileRows), 0.0f,
                     0.0f, 0.0f, 0.0f, first);
        }
    }
    glPopClientAttrib();
    glPopAttrib();
}

} // namespace sundrel::render
