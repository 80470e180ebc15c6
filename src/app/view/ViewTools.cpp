#include "app/view/ViewTools.h"

#include "app/document/OpenDocument.h"
#include "app/edit/MapEditor.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewController.h"
#include "app/widgets/Choices.h"
#include "app/widgets/Progress.h"
#include "app/widgets/Resources.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolBar>

#include <GL/gl.h>

#include <algorithm>
#include <array>

namespace sundrel::app {

namespace {

struct ToolInfo {
    Tool tool;
    const char* caption; // menu and button
    const char* status;  // status bar
    int key;             // 0: none (Move is Space held)
    const char* cursor;  // resource name, or none for the arrow
    QPoint hotSpot;
};

const std::array<ToolInfo, 7> kTools = {{
    {Tool::Select, "Select (S)", "Select", Qt::Key_S, nullptr, {}},
    {Tool::MovePoint, "Move point (M)", "Move point", Qt::Key_M, "ArrowPoint", {2, 2}},
    {Tool::AddPoint, "Add point (A)", "Add point", Qt::Key_A, "ArrowAdd", {2, 2}},
    {Tool::RemovePoint, "Remove point (R)", "Remove point", Qt::Key_R, "ArrowRemove", {2, 2}},
    {Tool::Zoom, "Zoom (Z)", "Zoom", Qt::Key_Z, "ZoomPlus", {12, 12}},
    {Tool::Unzoom, "Unzoom (U)", "Unzoom", Qt::Key_U, "ZoomMinus", {12, 12}},
    {Tool::Move, "Move", "Move", 0, "ArrowMove", {16, 16}},
}};

const ToolInfo& Info(Tool tool)
{
    return kTools[static_cast<std::size_t>(tool)];
}

} // namespace

TViewTools::TViewTools(TOpenDocument& document, TViewController& view, TMapEditor& editor,
                       QWidget* window)
    : QObject(window), document_(document), view_(view), editor_(editor),
      menu_(new QMenu(tr("&Tools"), window)), bar_(new QToolBar(tr("Tools"), window)),
      panel_(NewStatusPanel(QStringLiteral("Select"), 150, tr("Tool"))),
      tools_(new QActionGroup(this)), blink_(new QTimer(this))
{
    // The menu, the tool bar and the keys choose the same tools.
    bar_->setObjectName("Tools");
    InitResources();
    bar_->setIconSize(QSize(24, 24));
    for (const ToolInfo& info : kTools) {
        QAction* action = menu_->addAction(tr(info.caption));
        // The buttons show the tool's cursor; their text stays the caption.
        action->setIcon(WithFaintDisabledLook(QIcon(
            QStringLiteral(":/cursors/%1.png").arg(info.cursor ? info.cursor : "ArrowSelect"))));
        action->setCheckable(true);
        action->setData(static_cast<int>(info.tool));
        tools_->addAction(action);
        bar_->addAction(action);
        connect(action, &QAction::triggered, this, [this, tool = info.tool] { SetTool(tool); });
        // A button toggled by an accessibility client checks the action
        // without triggering it: the state change chooses the tool too.
        connect(action, &QAction::toggled, this, [this, tool = info.tool](bool on) {
            if (on && tool_ != tool)
                SetTool(tool);
        });
        KeepAChoiceShown(tools_, action, this, [this] { return ToolAction(tool_); });
    }
    tools_->actions().front()->setChecked(true);
    // Double-clicking the zoom buttons resets the zoom; the move button's
    // centres the view.
    for (Tool tool : {Tool::Zoom, Tool::Unzoom, Tool::Move})
        if (QWidget* button = bar_->widgetForAction(ToolAction(tool)))
            button->installEventFilter(this);
    view_.View()->installEventFilter(this);
    view_.Overlay = [this] { DrawZoomRectangle(); };
    // Queued: the held move is done after the frame, not inside it.
    connect(view_.View(), &TOpenGLControl::painted, this, &TViewTools::DoHeldMove,
            Qt::QueuedConnection);

    // The highlighted element blinks while a map is open.
    blink_->setInterval(333);
    connect(blink_, &QTimer::timeout, this, &TViewTools::Blink);
}

void TViewTools::Blink()
{
    MMap* map = document_.EditableMap();
    if (!map)
        return;
    const bool owed = map->highlight.kind != 5;
    if (owed && view_.View()->FramePending())
        return;
    map->highlight.blink = !map->highlight.blink;
    if (owed)
        view_.UpdateOverlay();
}

QAction* TViewTools::ToolAction(Tool tool) const
{
    return tools_->actions().at(static_cast<int>(tool));
}

QString TViewTools::ToolText() const
{
    return panel_->text();
}

void TViewTools::EnableMapCommands(bool enabled)
{
    menu_->setEnabled(enabled);
    bar_->setEnabled(enabled);
    if (enabled)
        blink_->start();
    else
        blink_->stop();
}

Tool TViewTools::EffectiveTool() const
{
    if (spaceHeld_)
        return Tool::Move;
    switch (tool_) {
    case Tool::MovePoint:
        if (shiftHeld_)
            return Tool::AddPoint;
        if (ctrlHeld_)
            return Tool::RemovePoint;
        return Tool::MovePoint;
    case Tool::AddPoint:
    case Tool::RemovePoint:
        if (ctrlHeld_)
            return Tool::MovePoint;
        if (shiftHeld_)
            return tool_ == Tool::AddPoint ? Tool::RemovePoint : Tool::AddPoint;
        return tool_;
    case Tool::Zoom:
    case Tool::Unzoom:
        if (shiftHeld_ != ctrlHeld_)
            return tool_ == Tool::Zoom ? Tool::Unzoom : Tool::Zoom;
        return tool_;
    default:
        return tool_;
    }
}

void TViewTools::SetTool(Tool tool)
{
    tool_ = tool;
    zoomRectShown_ = false;
    panning_ = false;
    moveHeld_ = false;
    ToolAction(tool)->setChecked(true);
    UpdateTool();
}

void TViewTools::UpdateTool()
{
    const ToolInfo& info = Info(EffectiveTool());
    panel_->setText(tr(info.status));
    TOpenGLControl* view = view_.View();
    if (!info.cursor) {
        view->unsetCursor();
        return;
    }
    InitResources();
    const QPixmap picture(QStringLiteral(":/cursors/%1.png").arg(info.cursor));
    view->setCursor(QCursor(picture, info.hotSpot.x(), info.hotSpot.y()));
}

// ------------------------------------------------------------ mouse and keys

bool TViewTools::eventFilter(QObject* watched, QEvent* event)
{
    TOpenGLControl* view = view_.View();
    if (watched != view) {
        // The tool buttons' double-clicks.
        if (event->type() == QEvent::MouseButtonDblClick) {
            if (watched == bar_->widgetForAction(ToolAction(Tool::Move)))
                view_.CentreView();
            else
                view_.ResetZoom();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Enter:
        // The tool keys work without a click.
        if (view->isActiveWindow())
            view->setFocus();
        break;
    case QEvent::MouseButtonPress:
        MousePress(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        MouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        MouseRelease(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::KeyPress:
        if (Key(static_cast<QKeyEvent*>(event), true))
            return true;
        break;
    case QEvent::KeyRelease:
        if (Key(static_cast<QKeyEvent*>(event), false))
            return true;
        break;
    case QEvent::ContextMenu:
        if (document_.Map() && PopUpMenu)
            PopUpMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

bool TViewTools::Key(QKeyEvent* event, bool pressed)
{
    // The modifiers switch the tool while they are held. The event of a
    // modifier key itself carries the state before it, so that key decides.
    bool shift = event->modifiers() & Qt::ShiftModifier;
    bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Shift)
        shift = pressed;
    if (event->key() == Qt::Key_Control)
        ctrl = pressed;
    bool changed = shift != shiftHeld_ || ctrl != ctrlHeld_;
    shiftHeld_ = shift;
    ctrlHeld_ = ctrl;
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            changed = changed || spaceHeld_ != pressed;
            spaceHeld_ = pressed;
        }
        if (changed)
            UpdateTool();
        return true;
    }
    if (changed)
        UpdateTool();
    if (!document_.Map() || event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control)
        return false;
    if (pressed && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        for (const ToolInfo& info : kTools)
            if (info.key != 0 && event->key() == info.key) {
                SetTool(info.tool);
                return true;
            }
    return editor_.Key(event, pressed);
}

void TViewTools::MousePress(QMouseEvent* event)
{
    if (!document_.Map() || event->button() != Qt::LeftButton)
        return;
    moveHeld_ = false;
    movedSinceFrame_ = false;
    view_.View()->setFocus();
    switch (const Tool tool = EffectiveTool()) {
    case Tool::Zoom:
        zoomStart_ = zoomEnd_ = event->position();
        zoomRectShown_ = true;
        view_.UpdateOverlay();
        break;
    case Tool::Unzoom:
        view_.ZoomOut();
        break;
    case Tool::Move:
        panning_ = true;
        panOrigin_ = view_.ViewToMap(event->position());
        break;
    default:
        editor_.Press(tool, event->position());
        break;
    }
}

void TViewTools::MouseMove(QMouseEvent* event)
{
    if (!document_.Map())
        return;
    TOpenGLControl* view = view_.View();
    if (zoomRectShown_) {
        // Only the last rectangle shows: the frames asked for meanwhile are
        // one.
        zoomEnd_ = QPointF(std::clamp(event->position().x(), 1.0, view->width() - 1.0),
                           std::clamp(event->position().y(), 1.0, view->height() - 1.0));
        view_.UpdateOverlay();
        return;
    }
    if (panning_ || (event->buttons() & Qt::LeftButton))
        HoldOrDragTo(event->position(), event->buttons());
}

void TViewTools::HoldOrDragTo(QPointF position, Qt::MouseButtons buttons)
{
    if (movedSinceFrame_ && view_.View()->FramePending()) {
        moveHeld_ = true;
        heldPosition_ = position;
        heldButtons_ = buttons;
        return;
    }
    DragTo(position, buttons);
}

void TViewTools::DragTo(QPointF position, Qt::MouseButtons buttons)
{
    moveHeld_ = false;
    movedSinceFrame_ = true;
    if (panning_) {
        const MXY at = view_.ViewToMap(position);
        view_.Pan(panOrigin_.x - at.x, panOrigin_.y - at.y);
        // The grabbed point stays under the cursor.
        panOrigin_ = view_.ViewToMap(position);
        return;
    }
    if (buttons & Qt::LeftButton)
        editor_.Move(position);
}

void TViewTools::DoHeldMove()
{
    movedSinceFrame_ = false;
    if (moveHeld_ && document_.Map())
        DragTo(heldPosition_, heldButtons_);
}

void TViewTools::MouseRelease(QMouseEvent* event)
{
    if (!document_.Map() || event->button() != Qt::LeftButton)
        return;
    if (zoomRectShown_) {
        zoomRectShown_ = false;
        const double x1 = std::min(zoomStart_.x(), zoomEnd_.x());
        const double x2 = std::max(zoomStart_.x(), zoomEnd_.x());
        const double y1 = std::min(zoomStart_.y(), zoomEnd_.y());
        const double y2 = std::max(zoomStart_.y(), zoomEnd_.y());
        if (x1 == x2 || y1 == y2)
            view_.ZoomIn();
        else
            view_.ZoomToPixels(x1, y1, x2, y2);
        return;
    }
    // The gesture ends where the mouse was last seen.
    if (moveHeld_)
        DragTo(heldPosition_, heldButtons_);
    if (panning_) {
        panning_ = false;
        return;
    }
    editor_.Release();
}

void TViewTools::DrawZoomRectangle()
{
    if (!zoomRectShown_)
        return;
    // The zoom rectangle: black, 2 pixels, stippled, in pixels over the view.
    TOpenGLControl* view = view_.View();
    const double w = view->width();
    const double h = view->height();
    const double ratio = view->devicePixelRatioF();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_LINE_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glLineWidth(static_cast<GLfloat>(2.0 * ratio));
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x5555);
    glColor3d(0, 0, 0);
    glBegin(GL_LINE_LOOP);
    glVertex2d(zoomStart_.x(), zoomStart_.y());
    glVertex2d(zoomEnd_.x(), zoomStart_.y());
    glVertex2d(zoomEnd_.x(), zoomEnd_.y());
    glVertex2d(zoomStart_.x(), zoomEnd_.y());
    glEnd();
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
}

} // namespace sundrel::app
