#include "render/GLFont.h"

#include "common/Text.h"
#include "render/FontSupport.h"

#include <GL/gl.h>

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

    glPushClientAttrib(GL_CLIENT_PIXEL_STORE_BIT);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    for (int c = 0; c < 256; ++c) {
        const QString ch = Character(c);
        const bool printable = c >= 32 && c != 127;
        const int advance = printable ? metrics.horizontalAdvance(ch) : 0;
        const int right = printable ? metrics.boundingRect(ch).right() + 1 : 0;
        const int columns = std::max(advance, right);
        font->widths[c] = advance;

        std::vector<unsigned char> bits(1, 0); // never a null glyph pointer
        if (columns > 0) {
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
            // glBitmap takes the bottom row first.
            for (int y = 0; y < rows; ++y) {
                const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(rows - 1 - y));
                for (int x = 0; x < columns; ++x)
                    if (qGray(line[x]) < 128)
                        bits[static_cast<std::size_t>(y * stride + x / 8)] |=
                            static_cast<unsigned char>(0x80 >> (x % 8));
            }
        }
        glNewList(font->listBase + static_cast<GLuint>(c), GL_COMPILE);
        glBitmap(columns > 0 ? columns : 0, columns > 0 ? rows : 0, 0.0f,
                 static_cast<GLfloat>(descent), static_cast<GLfloat>(advance), 0.0f, bits.data());
        glEndList();
    }
    glPopClientAttrib();
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
