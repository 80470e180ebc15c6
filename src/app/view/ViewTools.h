#pragma once
// What a click on the view does: the tools (the "Tools" menu, its tool bar
// and a key each, switched for a while by the modifier keys held), the zoom
// rectangle, panning, the editing gestures handed to the editor, the view's
// pop-up menu, and the highlighted element blinking while a map is open.

#include "model/MMap.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <functional>

class QAction;
class QActionGroup;
class QEvent;
class QKeyEvent;
class QLabel;
class QMenu;
class QMouseEvent;
class QTimer;
class QToolBar;
class QWidget;

namespace sundrel::app {

class TMapEditor;
class TOpenDocument;
class TViewController;

// The view's tools.
enum class Tool { Select, MovePoint, AddPoint, RemovePoint, Zoom, Unzoom, Move };

class TViewTools : public QObject {
    Q_OBJECT

public:
    TViewTools(TOpenDocument& document, TViewController& view, TMapEditor& editor,
               QWidget* window);

    // Shows the view's pop-up menu at a global position (a map is open).
    std::function<void(const QPoint&)> PopUpMenu;

    QMenu* ToolsMenu() const { return menu_; }
    QToolBar* ToolBar() const { return bar_; }
    QLabel* ToolPanel() const { return panel_; }
    QAction* ToolAction(Tool tool) const;

    // The tool chosen, and the one in force with the modifier keys held.
    void SetTool(Tool tool);
    Tool CurrentTool() const { return tool_; }
    Tool EffectiveTool() const;
    QString ToolText() const;
    // The commands that need a map, and the blinking.
    void EnableMapCommands(bool enabled);
    // One step of the blinking (the selection timer's): the highlighted
    // element shown or hidden. Dropped while the view still owes a frame, so
    // that a slow frame never queues blinks behind it.
    void Blink();

protected:
    // The view's mouse, keys and pop-up menu; the double-clicks of the zoom
    // and move buttons.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void UpdateTool();
    bool Key(QKeyEvent* event, bool pressed);
    void MousePress(QMouseEvent* event);
    void MouseMove(QMouseEvent* event);
    void MouseRelease(QMouseEvent* event);
    // A drag or a pan to a position. A move arriving while the view still
    // owes the frame of the move before is held, a later one replacing it,
    // and done once that frame is painted (or before the release).
    void HoldOrDragTo(QPointF position, Qt::MouseButtons buttons);
    void DragTo(QPointF position, Qt::MouseButtons buttons);
    void DoHeldMove();
    // Draws the zoom rectangle over the scene.
    void DrawZoomRectangle();

    TOpenDocument& document_;
    TViewController& view_;
    TMapEditor& editor_;
    QMenu* menu_;
    QToolBar* bar_;
    QLabel* panel_;
    QActionGroup* tools_;
    QTimer* blink_;
    // The tools, the modifier keys that switch them for a while, and the
    // gestures of the zoom and move tools.
    Tool tool_ = Tool::Select;
    bool shiftHeld_ = false;
    bool ctrlHeld_ = false;
    bool spaceHeld_ = false;
    bool zoomRectShown_ = false;
    QPointF zoomStart_;
    QPointF zoomEnd_;
    bool panning_ = false;
    MXY panOrigin_;
    bool movedSinceFrame_ = false;
    bool moveHeld_ = false;
    QPointF heldPosition_;
    Qt::MouseButtons heldButtons_;
};

} // namespace sundrel::app
