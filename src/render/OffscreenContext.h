#pragma once
// An OpenGL compatibility context that needs no display: EGL on Mesa's
// surfaceless platform, drawing into a framebuffer object of the requested
// size, with depth and stencil. Used by the bitmap and print jobs, the
// command line and the tests.

#include <cstdint>
#include <vector>

namespace sundrel::render {

class OffscreenContext {
public:
    // Creates the context and a W x H colour and depth framebuffer, and makes
    // it current on the calling thread. Raises the job's messages ("Couldn't
    // create compatible device context", "Couldn't create DIB section",
    // "Couldn't create context", "Couldn't make current").
    OffscreenContext(std::int32_t width, std::int32_t height);
    // Makes no context current and releases everything.
    ~OffscreenContext();

    OffscreenContext(const OffscreenContext&) = delete;
    OffscreenContext& operator=(const OffscreenContext&) = delete;

    std::int32_t width() const { return width_; }
    std::int32_t height() const { return height_; }

    // The pixels as a 24-bit device-independent bitmap holds them: rows
    // bottom-up, blue-green-red, each row padded to a multiple of 4 bytes.
    std::vector<unsigned char> ReadBgrRows() const;

    // The largest width or height the renderer holds (at least 1).
    static std::int32_t MaximumSize();

private:
    void Release();

    void* display_ = nullptr;
    void* context_ = nullptr;
    unsigned framebuffer_ = 0;
    unsigned colour_ = 0;
    unsigned depth_ = 0;
    std::int32_t width_;
    std::int32_t height_;
};

// Row size of a 24-bit bitmap W pixels wide: ((3W + 3) div 4) x 4.
inline std::int64_t BitmapRowSize(std::int64_t width) { return (3 * width + 3) / 4 * 4; }

} // namespace sundrel::render
