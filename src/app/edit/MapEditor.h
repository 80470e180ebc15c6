#pragma once
// Editing the virtual points of the open map: picking what lies under the
// cursor, adding, moving and removing points with the mouse and the keys,
// removing them all, and the edit history behind "Undo" and "Redo" with the
// map as it was before the first edit.
//
// Every change goes through the map factory on this thread, once
// BeforeEdit has made sure nothing else reads the map, and is followed by
// edited(). Each change is recorded after it is made: a history that cannot
// be written is dropped with its message, and the map stays as the edits
// left it.

#include "app/view/ViewTools.h"
#include "model/MMap.h"

#include <QObject>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class QAction;
class QKeyEvent;
class QMenu;
class QWidget;

namespace sundrel {
class EditHistory;
class MMapFactory;
class MapSnapshot;
} // namespace sundrel

namespace sundrel::app {

class TOpenDocument;
class TViewController;

class TMapEditor : public QObject {
    Q_OBJECT

public:
    TMapEditor(TOpenDocument& document, MMapFactory& factory, TViewController& view,
               QWidget* window);
    ~TMapEditor() override;

    // Before an edit, undo or redo changes the map: false when the map cannot
    // be changed now (nothing is done then). None: always.
    std::function<bool()> BeforeEdit;

    // The "Edit" menu with "Undo" and "Redo", and "Remove all virtual points"
    // (Points menu) and "Delete all virtual points" (the view's pop-up menu).
    QMenu* EditMenu() const { return editMenu_; }
    QAction* UndoAction() const { return undo_; }
    QAction* RedoAction() const { return redo_; }
    QAction* RemoveAllAction() const { return removeAll_; }
    QAction* DeleteAllAction() const { return deleteAll_; }

    // The edit history of the open map (none without a map, or after it
    // failed), and the virtual point following the mouse (-1 for none).
    const EditHistory* History() const { return history_.get(); }
    std::int32_t DraggedPoint() const { return dragged_; }

    void UndoCommand();
    void RedoCommand();
    void RemoveAllVirtualPointsCommand();

    // The gestures on the view with a tool that edits or selects.
    void Press(Tool tool, QPointF pixel);
    void Move(QPointF pixel);
    void Release();
    // Arrows move the highlighted point, Delete removes it (or adds a point
    // in the middle of a highlighted Delaunay edge): true when handled.
    bool Key(QKeyEvent* event, bool pressed);

signals:
    // The map's virtual points changed.
    void edited();
    // A change was refused or failed, with the reason: in an error box, or
    // for a moment in the status bar.
    void failed(const QString& message);
    void refused(const QString& message);

private:
    void DocumentChanged(unsigned what);
    void ResetHistory();
    void DiscardHistory();
    void HistoryFailed(const std::exception& error);
    // Appends to the history, if any; a failure drops it with its message.
    void Record(const std::function<void(EditHistory&)>& write);
    void UpdateEditCommands();
    bool CanEdit() const;
    void PickAt(QPointF pixel);
    void EndDrag();
    // Adds a virtual point (false, with the message shown, when refused).
    bool AddPoint(MXY at);
    // Moves virtual point `slot` to `to` (clamped into the outer bounds);
    // false when it stays where it is.
    bool MovePoint(std::int32_t slot, MXY to, bool record, bool merge);
    void RemoveHighlightedPoint();
    void Undo(bool redo);
    // Before the first recorded edit: keeps the map as it stands for when
    // every edit is undone.
    void KeepOriginal();
    void MapEdited();

    TOpenDocument& document_;
    MMapFactory& factory_;
    TViewController& view_;
    QMenu* editMenu_;
    QAction* undo_;
    QAction* redo_;
    QAction* removeAll_;
    QAction* deleteAll_;
    std::unique_ptr<EditHistory> history_;
    std::unique_ptr<MapSnapshot> original_;
    bool dragging_ = false;
    std::int32_t dragged_ = -1;
    bool addingPoint_ = false;
    bool mergeMoves_ = false;
    bool mergeKeys_ = false;
};

} // namespace sundrel::app
