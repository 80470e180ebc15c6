#include "render/OffscreenContext.h"

#include "common/Errors.h"
#include "render/Messages.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

#include <future>
#include <mutex>

namespace sundrel::render {

namespace {

// Framebuffer object entry points, looked up once.
struct FramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
    PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
    PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
    PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
    PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;

    bool complete() const
    {
        return genFramebuffers && deleteFramebuffers && bindFramebuffer && genRenderbuffers &&
               deleteRenderbuffers && bindRenderbuffer && renderbufferStorage &&
               framebufferRenderbuffer && checkFramebufferStatus;
    }
};

template <typename F> void Resolve(F& f, const char* name)
{
    f = reinterpret_cast<F>(eglGetProcAddress(name));
}

const FramebufferCalls& Calls()
{
    static const FramebufferCalls calls = [] {
        FramebufferCalls c;
        Resolve(c.genFramebuffers, "glGenFramebuffers");
        Resolve(c.deleteFramebuffers, "glDeleteFramebuffers");
        Resolve(c.bindFramebuffer, "glBindFramebuffer");
        Resolve(c.genRenderbuffers, "glGenRenderbuffers");
        Resolve(c.deleteRenderbuffers, "glDeleteRenderbuffers");
        Resolve(c.bindRenderbuffer, "glBindRenderbuffer");
        Resolve(c.renderbufferStorage, "glRenderbufferStorage");
        Resolve(c.framebufferRenderbuffer, "glFramebufferRenderbuffer");
        Resolve(c.checkFramebufferStatus, "glCheckFramebufferStatus");
        return c;
    }();
    return calls;
}

// The surfaceless display, initialised once for the whole process (and
// never terminated: other threads may hold contexts on it).
EGLDisplay Display()
{
    static std::mutex lock;
    static EGLDisplay display = EGL_NO_DISPLAY;
    static bool tried = false;
    std::lock_guard guard(lock);
    if (!tried) {
        tried = true;
        auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
            eglGetProcAddress("eglGetPlatformDisplayEXT"));
        if (getPlatformDisplay) {
            EGLDisplay d =
                getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
            EGLint major = 0;
            EGLint minor = 0;
            if (d != EGL_NO_DISPLAY && eglInitialize(d, &major, &minor))
                display = d;
        }
    }
    return display;
}

// The largest size is read once, from a scratch context.
std::int32_t QueryMaximumSize()
{
    EGLDisplay display = Display();
    if (display == EGL_NO_DISPLAY || !eglBindAPI(EGL_OPENGL_API))
        return 1;
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        return 1;
    EGLContext previous = eglGetCurrentContext();
    EGLSurface draw = eglGetCurrentSurface(EGL_DRAW);
    EGLSurface read = eglGetCurrentSurface(EGL_READ);
    GLint size = 1;
    GLint viewport[2] = {1, 1};
    if (eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &size);
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
        eglMakeCurrent(display, draw, read, previous);
    }
    eglDestroyContext(display, context);
    const GLint limit = std::min(size, std::min(viewport[0], viewport[1]));
    return limit > 0 ? limit : 1;
}

} // namespace

std::int32_t OffscreenContext::MaximumSize()
{
    // Asked on a thread of its own: a window's thread has its own context
    // current, which a scratch context must neither replace nor meet.
    static const std::int32_t size = std::async(std::launch::async, QueryMaximumSize).get();
    return size;
}

OffscreenContext::OffscreenContext(std::int32_t width, std::int32_t height)
    : width_(width), height_(height)
{
    EGLDisplay display = Display();
    if (display == EGL_NO_DISPLAY)
        throw Error(msg::CouldntCreateDeviceContext);
    if (width <= 0 || height <= 0 || width > MaximumSize() || height > MaximumSize())
        throw Error(msg::CouldntCreateDibSection);
    if (!eglBindAPI(EGL_OPENGL_API))
        throw Error(msg::CouldntCreateContext);
    const EGLint attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                 EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, attributes);
    if (context == EGL_NO_CONTEXT)
        throw Error(msg::CouldntCreateContext);
    display_ = display;
    context_ = context;
    if (!eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        eglDestroyContext(display, context);
        throw Error(msg::CouldntMakeCurrent);
    }
    const FramebufferCalls& gl = Calls();
    if (!gl.complete()) {
        Release();
        throw Error(msg::CouldntCreateDibSection);
    }
    gl.genFramebuffers(1, &framebuffer_);
    gl.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    gl.genRenderbuffers(1, &colour_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, colour_);
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    gl.genRenderbuffers(1, &depth_);
    gl.bindRenderbuffer(GL_RENDERBUFFER, depth_);
    // Depth, and a stencil for filling backdrop polygons.
    gl.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    gl.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depth_);
    if (glGetError() != GL_NO_ERROR ||
        gl.checkFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        Release();
        throw Error(msg::CouldntCreateDibSection);
    }
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glReadBuffer(GL_COLOR_ATTACHMENT0);
}

OffscreenContext::~OffscreenContext() { Release(); }

void OffscreenContext::Release()
{
    if (!context_)
        return;
    auto display = static_cast<EGLDisplay>(display_);
    auto context = static_cast<EGLContext>(context_);
    if (eglGetCurrentContext() != context)
        eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context);
    const FramebufferCalls& gl = Calls();
    if (gl.complete()) {
        gl.bindFramebuffer(GL_FRAMEBUFFER, 0);
        if (depth_)
            gl.deleteRenderbuffers(1, &depth_);
        if (colour_)
            gl.deleteRenderbuffers(1, &colour_);
        if (framebuffer_)
            gl.deleteFramebuffers(1, &framebuffer_);
    }
    depth_ = colour_ = framebuffer_ = 0;
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    context_ = nullptr;
}

std::vector<unsigned char> OffscreenContext::ReadBgrRows() const
{
    glFinish();
    std::vector<unsigned char> pixels(static_cast<std::size_t>(BitmapRowSize(width_)) *
                                      static_cast<std::size_t>(height_));
    // Pack alignment 4 pads each row exactly as the bitmap file does;
    // OpenGL's rows come bottom-up, as the file wants them.
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width_, height_, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

} // namespace sundrel::render
