#include "app/view/OpenGLControl.h"

#include "render/GLFont.h"

#include <QOpenGLContext>
#include <QResizeEvent>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

namespace sundrel::app {

TOpenGLControl::TOpenGLControl(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(RequestedFormat());
    // The arrow keys and Tab reach the view.
    setFocusPolicy(Qt::StrongFocus);
    view_.screen.resolution = 72.0; // until a screen is known
    frameTimer_.setInterval(FpsToMs(fps_));
    connect(&frameTimer_, &QTimer::timeout, this, &TOpenGLControl::FlushPaintMessages);
}

TOpenGLControl::~TOpenGLControl()
{
    // The owner's handlers may point into an object being destroyed: the
    // owner releases its objects of the context itself before that.
    OnReleaseRC = nullptr;
    ReleaseContext();
    // The base class destroys the context after this object is gone.
    if (context())
        disconnect(context(), nullptr, this, nullptr);
}

QSurfaceFormat TOpenGLControl::RequestedFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setAlphaBufferSize(8);
    format.setDepthBufferSize(24);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return format;
}

void TOpenGLControl::DefaultSetupRC(TOpenGLControl&)
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
}

void TOpenGLControl::DefaultRenderScene(TOpenGLControl&)
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

int TOpenGLControl::ClientWidth() const
{
    return std::max(1, static_cast<int>(std::lround(width() * devicePixelRatioF())));
}

int TOpenGLControl::ClientHeight() const
{
    return std::max(1, static_cast<int>(std::lround(height() * devicePixelRatioF())));
}

void TOpenGLControl::initializeGL()
{
    // A new context (first show, or a move to another window): objects of
    // the previous one are gone with it.
    connect(context(), &QOpenGLContext::aboutToBeDestroyed, this,
            &TOpenGLControl::ReleaseContext, Qt::UniqueConnection);
    view_.screen.resolution = logicalDpiY() > 0 ? logicalDpiY()
                                                : render::kDefaultScreenPixelsPerInch;
    ResetFrameCounter();
    frameTimer_.setInterval(FpsToMs(fps_));
    frameTimer_.start();
    if (OnSetupRC)
        OnSetupRC(*this);
    else
        DefaultSetupRC(*this);
    // Qt follows with resizeGL, which runs the change-size handler.
    initialized_ = true;
}

void TOpenGLControl::ReleaseContext()
{
    if (!initialized_)
        return;
    frameTimer_.stop();
    if (OnReleaseRC) {
        makeCurrent();
        OnReleaseRC(*this);
        doneCurrent();
    }
    initialized_ = false;
}

void TOpenGLControl::resizeGL(int, int)
{
    if (OnChangeSize)
        OnChangeSize(*this, ClientWidth(), ClientHeight());
    else
        DefaultChangeSize(*this, ClientWidth(), ClientHeight());
}

void TOpenGLControl::resizeEvent(QResizeEvent* event)
{
    ++resizing_;
    QOpenGLWidget::resizeEvent(event);
    --resizing_;
}

void TOpenGLControl::paintGL()
{
    if (resizing_ > 0 && initialized_) {
        // Painted by the next frame, with the new size.
        RenderAFrame();
        return;
    }
    framePending_ = false;
    if (OnRenderScene)
        OnRenderScene(*this);
    else
        DefaultRenderScene(*this);
    ++frames_;
    emit painted();
}

void TOpenGLControl::RenderAFrame()
{
    if (!isVisible())
        return;
    framePending_ = true;
    update();
}

void TOpenGLControl::ChangeSize()
{
    if (!initialized_)
        return;
    makeCurrent();
    resizeGL(ClientWidth(), ClientHeight());
    doneCurrent();
    RenderAFrame();
}

void TOpenGLControl::UpdateScene()
{
    if (initialized_)
        RenderAFrame();
}

void TOpenGLControl::UpdateSize()
{
    if (initialized_)
        ChangeSize();
}

// A frame asked for but not painted yet is painted now.
void TOpenGLControl::FlushPaintMessages()
{
    if (framePending_ && isVisible())
        repaint();
}

void TOpenGLControl::SetFps(int fps)
{
    if (fps == fps_)
        return;
    if (fps == 0)
        fps = 1;
    fps_ = fps;
    frameTimer_.setInterval(FpsToMs(fps_));
    ResetFrameCounter();
}

int TOpenGLControl::FpsToMs(int fps)
{
    if (fps == 0)
        return 1000;
    return std::max(1, 1000 / fps);
}

void TOpenGLControl::ResetFrameCounter()
{
    frames_ = 0;
    start_ = std::chrono::steady_clock::now();
}

double TOpenGLControl::getFrameRate() const
{
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start_;
    if (elapsed.count() <= 0.0)
        return 0.0;
    return frames_ / elapsed.count();
}

} // namespace sundrel::app
