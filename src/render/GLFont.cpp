#include "render/GLFont.h"

#include "common/Text.h"
#include "render/FontSupport.h"

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

// The glyphs in one alpha texture of 16 x 16 cells, for the text batch. No
// texture (the batch then draws with the display lists) when it would exceed
// what the context holds.
void MakeAtlas(GLFONT& font, const std::vector<std::vector<unsigned char>>& glyphs)
{
    int cell = 1;
    for (int c = 0; c < 256; ++c)
        cell = std::max(cell, font.columns[c]);
    GLint limit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &limit);
    const std::int64_t width = 16 * static_cast<std::int64_t>(cell);
    const std::int64_t height = 16 * static_cast<std::int64_t>(font.rows);
    if (width > limit || height > limit)
        return;
    std::vector<unsigned char> atlas(static_cast<std::size_t>(width * height), 0);
    for (int c = 0; c < 256; ++c) {
        const int columns = font.columns[c];
        const int stride = (columns + 7) / 8;
        const std::int64_t x0 = (c % 16) * static_cast<std::int64_t>(cell);
        const std::int64_t y0 = (c / 16) * static_cast<std::int64_t>(font.rows);
        const std::vector<unsigned char>& bits = glyphs[static_cast<std::size_t>(c)];
        for (int y = 0; y < font.rows && columns > 0; ++y)
            for (int x = 0; x < columns; ++x)
                if (bits[static_cast<std::size_t>(y * stride + x / 8)] & (0x80 >> (x % 8)))
                    atlas[static_cast<std::size_t>((y0 + y) * width + x0 + x)] = 255;
    }
    // Errors recorded before are not this texture's.
    while (glGetError() != GL_NO_ERROR) {
    }
    GLuint texture = 0;
    glGenTextures(1, &texture);
    if (texture == 0)
        return;
    glPushAttrib(GL_TEXTURE_BIT);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA8, static_cast<GLsizei>(width),
                 static_cast<GLsizei>(height), 0, GL_ALPHA, GL_UNSIGNED_BYTE, atlas.data());
    glPopAttrib();
    if (glGetError() != GL_NO_ERROR) {
        glDeleteTextures(1, &texture);
        return;
    }
    font.texture = texture;
    font.cellWidth = cell;
    font.atlasWidth = static_cast<std::int32_t>(width);
    font.atlasHeight = static_cast<std::int32_t>(height);
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
    MakeAtlas(*font, glyphs);
    glPopClientAttrib();
    font->height = pixelHeight;
    return font;
}

void FreeGLFont(GLFONT* font)
{
    if (!font)
        return;
    glDeleteLists(font->listBase, 256);
    if (font->texture != 0) {
        const GLuint texture = font->texture;
        glDeleteTextures(1, &texture);
    }
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

void TextBatch::Draw()
{
    if (!font_ || entries_.empty())
        return;
    if (font_->texture == 0) {
        for (const Entry& e : entries_) {
            glRasterPos2d(e.x, e.y);
            PrintGLFont(font_, e.alignment, e.text);
        }
        entries_.clear();
        return;
    }
    const double vx = viewport_[0];
    const double vy = viewport_[1];
    const double vw = viewport_[2];
    const double vh = viewport_[3];

    glPushAttrib(GL_ENABLE_BIT | GL_TEXTURE_BIT | GL_COLOR_BUFFER_BIT | GL_TRANSFORM_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(vx, vx + vw, vy, vy + vh, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glDisable(GL_POLYGON_STIPPLE);
    glDisable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, font_->texture);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glEnable(GL_ALPHA_TEST);
    glAlphaFunc(GL_GREATER, 0.5f);

    const double sw = font_->atlasWidth;
    const double th = font_->atlasHeight;
    glBegin(GL_QUADS);
    for (const Entry& e : entries_) {
        float rx = 0.0f;
        float ry = 0.0f;
        if (!WindowPosition(e.x, e.y, rx, ry))
            continue;
        const std::int32_t width = TextWidth(*font_, e.text);
        if (e.alignment < 0)
            rx += static_cast<float>(-width);
        else if (e.alignment == 0)
            rx += static_cast<float>(-(width / 2));
        // Each bitmap lands where glBitmap puts it: the raster position plus
        // a small epsilon, floored, then moved by the advance.
        const double y0 = std::floor(ry + 0.0001f - static_cast<float>(font_->descent));
        for (unsigned char c : e.text) {
            const std::int32_t columns = font_->columns[c];
            if (columns > 0 && font_->ink[c]) {
                const double s0 = (c % 16) * font_->cellWidth / sw;
                const double s1 = ((c % 16) * font_->cellWidth + columns) / sw;
                const double t0 = (c / 16) * font_->rows / th;
                const double t1 = ((c / 16) * font_->rows + font_->rows) / th;
                const double x0 = std::floor(rx + 0.0001f);
                glTexCoord2d(s0, t0);
                glVertex2d(x0, y0);
                glTexCoord2d(s1, t0);
                glVertex2d(x0 + columns, y0);
                glTexCoord2d(s1, t1);
                glVertex2d(x0 + columns, y0 + font_->rows);
                glTexCoord2d(s0, t1);
                glVertex2d(x0, y0 + font_->rows);
            }
            rx += static_cast<float>(font_->widths[c]);
        }
    }
    glEnd();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopAttrib();
    entries_.clear();
}

} // namespace sundrel::render
