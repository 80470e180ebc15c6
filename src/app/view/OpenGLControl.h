#pragma once
// The OpenGL view control: a widget owning a compatibility-profile context
// (fixed-function OpenGL), the view primitives with the screen's parameter
// set, and the setup, render and change-size handlers that the window plugs
// in. Repaints are paced by a frame-rate timer.

#include "render/ViewPrimitives.h"

#include <QOpenGLWidget>
#include <QSurfaceFormat>
#include <QTimer>

#include <chrono>
#include <functional>

namespace sundrel::app {

class TOpenGLControl : public QOpenGLWidget {
    Q_OBJECT

public:
    using SetupHandler = std::function<void(TOpenGLControl&)>;
    using RenderHandler = std::function<void(TOpenGLControl&)>;
    // Client width and height in device pixels.
    using ChangeSizeHandler = std::function<void(TOpenGLControl&, int width, int height)>;
    // Called with the context current just before the context goes, so that
    // display lists and other objects of the context can be freed.
    using ReleaseHandler = std::function<void(TOpenGLControl&)>;

    explicit TOpenGLControl(QWidget* parent = nullptr);
    ~TOpenGLControl() override;

    // An OpenGL 2.1 compatibility context with a depth buffer.
    static QSurfaceFormat RequestedFormat();

    static void DefaultSetupRC(TOpenGLControl& control);     // clear colour black
    static void DefaultRenderScene(TOpenGLControl& control); // clears colour and depth
    static void DefaultChangeSize(TOpenGLControl&, int, int) {}

    // An empty handler also stands for the default one.
    SetupHandler OnSetupRC = DefaultSetupRC;
    RenderHandler OnRenderScene = DefaultRenderScene;
    ChangeSizeHandler OnChangeSize = DefaultChangeSize;
    ReleaseHandler OnReleaseRC;

    render::ViewPrimitives& Primitives() { return view_; }
    const render::ViewPrimitives& Primitives() const { return view_; }

    bool Initialized() const { return initialized_; }
    int ClientWidth() const;
    int ClientHeight() const;

    // Asks for a frame while the control is visible.
    void RenderAFrame();
    // A frame asked for and not painted yet.
    bool FramePending() const { return framePending_; }
    // Runs the change-size handler with the context current, then a frame.
    void ChangeSize();
    // Both do nothing until the context exists.
    void UpdateScene();
    void UpdateSize();

    void SetFps(int fps);
    int Fps() const { return fps_; }
    int TimerInterval() const { return frameTimer_.interval(); }
    static int FpsToMs(int fps);
    // Frames painted per second since the counter was last reset.
    double getFrameRate() const;

signals:
    // After each frame painted by the render handler.
    void painted();

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int width, int height) override;
    // Qt paints the whole scene inside every resize; on a large map that is
    // a second full frame after the one already asked for. The resize's
    // frame is left to the frame pacing instead.
    void resizeEvent(QResizeEvent* event) override;

private:
    void FlushPaintMessages();
    void ReleaseContext();
    void ResetFrameCounter();

    render::ViewPrimitives view_;
    QTimer frameTimer_;
    int fps_ = 5;
    int frames_ = 0;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    bool framePending_ = false;
    bool initialized_ = false;
    // Resizes can nest: the change-size handler may show or hide the scroll
    // bars beside the view, which resizes it again.
    int resizing_ = 0;
};

} // namespace sundrel::app
