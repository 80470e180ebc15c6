// The map editor window's editing: picking what lies under the cursor,
// adding, moving and removing virtual points with the mouse and the keys,
// and the edit history behind "Undo" and "Redo".
//
// Every change goes through the map factory on this thread, after the
// derived window has made sure nothing else reads the map (BeforeMapEdit),
// and is followed by OnMapEdited. Each change is recorded after it is made:
// a history that cannot be written is dropped with its message, and the map
// stays as the edits left it.

#include "app/shell/MainForm.h"

#include "app/view/OpenGLControl.h"
#include "common/Errors.h"
#include "model/Messages.h"
#include "model/EditHistory.h"
#include "model/MapSnapshot.h"
#include "model/Picking.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QStatusBar>

namespace sundrel::app {

namespace {

// Half the side of the picking box, in pixels.
constexpr double kPickHalfBox = 4.0;

bool Inside(const MBounds& b, MXY at)
{
    return at.x >= b.xMin && at.x <= b.xMax && at.y >= b.yMin && at.y <= b.yMax;
}

MXY VirtualPosition(const MMap& map, std::int32_t slot)
{
    return map.mesh.xy(map.GetVirtualPoint(slot));
}

// The slot of the virtual point at exactly `at`, scanning from the last.
std::int32_t FindVirtualPoint(const MMap& map, MXY at)
{
    for (std::int32_t slot = map.V() - 1; slot >= 0; --slot) {
        const MXY p = VirtualPosition(map, slot);
        if (p.x == at.x && p.y == at.y)
            return slot;
    }
    return -1;
}

} // namespace

void TMainForm::CreateEditCommands()
{
    undoAction_ = editMenu_->addAction(tr("Undo"), this, &TMainForm::UndoCommand);
    undoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redoAction_ = editMenu_->addAction(tr("Redo"), this, &TMainForm::RedoCommand);
    redoAction_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(editMenu_, &QMenu::aboutToShow, this, &TMainForm::UpdateEditCommands);
    UpdateEditCommands();
}

// ------------------------------------------------------------------ history

void TMainForm::ResetHistory()
{
    DiscardHistory();
    try {
        history_ = EditHistory::Create();
    } catch (const std::exception&) {
        // The window works without a history: Undo and Redo stay disabled.
    }
    UpdateEditCommands();
}

void TMainForm::DiscardHistory()
{
    history_.reset();
    original_.reset();
    mergeMoves_ = false;
    mergeKeys_ = false;
    if (undoAction_)
        UpdateEditCommands();
}

void TMainForm::HistoryFailed(const std::exception& error)
{
    EndDrag();
    DiscardHistory();
    ShowError(QString::fromUtf8(error.what()));
}

void TMainForm::Record(const std::function<void(EditHistory&)>& write)
{
    if (!history_)
        return;
    try {
        write(*history_);
    } catch (const std::exception& e) {
        HistoryFailed(e);
    }
    UpdateEditCommands();
}

void TMainForm::UpdateEditCommands()
{
    if (!history_) {
        undoAction_->setText(tr("Undo"));
        redoAction_->setText(tr("Redo"));
        undoAction_->setEnabled(false);
        redoAction_->setEnabled(false);
        return;
    }
    undoAction_->setText(QString::fromStdString(history_->UndoCaption()));
    redoAction_->setText(QString::fromStdString(history_->RedoCaption()));
    undoAction_->setEnabled(history_->CanUndo());
    redoAction_->setEnabled(history_->CanRedo());
}

void TMainForm::KeepOriginal()
{
    if (!history_ || original_ || history_->Position() != 0)
        return;
    try {
        original_ = MapSnapshot::Take(*map_, *factory_);
    } catch (const std::exception&) {
        // Undoing every edit still gives the same points and triangles.
    }
}

// ------------------------------------------------------------------ picking

void TMainForm::PickAt(QPointF pixel)
{
    const MXY a = ViewToMap(pixel - QPointF(kPickHalfBox, kPickHalfBox));
    const MXY b = ViewToMap(pixel + QPointF(kPickHalfBox, kPickHalfBox));
    PickRequest request;
    request.box = {std::min(a.x, b.x), std::max(a.x, b.x), std::min(a.y, b.y), std::max(a.y, b.y)};
    request.visible = settings_.visibility;
    const render::ViewParameters& screen = view_->Primitives().screen;
    request.unitsPerPoint = screen.resolution / 72.0 * screen.scale;
    const bool blink = map_->highlight.blink;
    map_->highlight = Pick(*map_, request);
    map_->highlight.blink = blink;
}

// ----------------------------------------------------------------- changes

void TMainForm::MapEdited()
{
    SetModified(true);
    OnMapEdited();
    view_->UpdateScene();
    UpdateEditCommands();
}

void TMainForm::KeepVisible(MXY at)
{
    const ViewRect kept =
        KeptVisible(actual_, view_->width(), view_->height(), at, map_->frameBounds, map_->outerBounds);
    if (kept == actual_)
        return;
    requested_ = kept;
    view_->UpdateSize();
}

bool TMainForm::AddPoint(MXY at)
{
    try {
        // Beyond the outer bounds (the grey margin of a zoomed-out view) is
        // outside the frame too, whatever the frame's extent.
        if (!Inside(map_->outerBounds, at))
            throw Error(msg::OutsideFrame);
        factory_->AddVirtualPoint(*map_, at.x, at.y);
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

bool TMainForm::MovePoint(std::int32_t slot, MXY to, bool record, bool merge)
{
    const MBounds& outer = map_->outerBounds;
    to.x = std::clamp(to.x, outer.xMin, outer.xMax);
    to.y = std::clamp(to.y, outer.yMin, outer.yMax);
    const MXY from = VirtualPosition(*map_, slot);
    if (from.x == to.x && from.y == to.y)
        return false;
    // The target is checked before the point is taken away; a refusal
    // during a drag or a key run goes to the status bar.
    try {
        factory_->CheckVirtualPosition(*map_, to.x, to.y);
    } catch (const std::exception& e) {
        statusBar()->showMessage(QString::fromUtf8(e.what()), 3000);
        return false;
    }
    if (record)
        KeepOriginal();
    try {
        factory_->RemoveVirtualPoint(*map_, slot);
    } catch (const std::exception& e) {
        EndDrag();
        ShowError(QString::fromUtf8(e.what()));
        return false;
    }
    try {
        factory_->AddVirtualPoint(*map_, to.x, to.y);
    } catch (const std::exception& e) {
        // Put back where it was; nothing is recorded.
        try {
            factory_->AddVirtualPoint(*map_, from.x, from.y);
            map_->highlight = {1, map_->V() - 1, -1, map_->highlight.blink};
            dragged_ = dragging_ ? map_->V() - 1 : -1;
        } catch (const std::exception&) {
            map_->highlight.kind = 5;
            EndDrag();
        }
        MapEdited();
        statusBar()->showMessage(QString::fromUtf8(e.what()), 3000);
        return false;
    }
    const std::int32_t moved = map_->V() - 1;
    map_->highlight = {1, moved, -1, map_->highlight.blink};
    if (dragging_)
        dragged_ = moved;
    MapEdited();
    if (record)
        Record([&](EditHistory& history) { history.RecordMove(from, to, merge); });
    KeepVisible(to);
    return true;
}

void TMainForm::RemoveHighlightedPoint()
{
    const std::int32_t slot = map_->highlight.first;
    if (map_->highlight.kind != 1 || slot < 0 || slot >= map_->V() || !BeforeMapEdit())
        return;
    const MXY at = VirtualPosition(*map_, slot);
    KeepOriginal();
    try {
        factory_->RemoveVirtualPoint(*map_, slot);
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
        return;
    }
    map_->highlight.kind = 5;
    MapEdited();
    Record([&](EditHistory& history) { history.RecordDelete(at); });
}

void TMainForm::RemoveAllVirtualPointsCommand()
{
    if (!map_ || dragging_ || !BeforeMapEdit())
        return;
    std::vector<MXY> points;
    points.reserve(static_cast<std::size_t>(map_->V()));
    for (std::int32_t slot = 0; slot < map_->V(); ++slot)
        points.push_back(VirtualPosition(*map_, slot));
    if (!points.empty())
        KeepOriginal();
    factory_->RemoveAllVirtualPoints(*map_);
    map_->highlight.kind = 5;
    MapEdited();
    Record([&](EditHistory& history) { history.RecordRemoveAll(points); });
}

void TMainForm::UndoCommand()
{
    Undo(false);
}

void TMainForm::RedoCommand()
{
    Undo(true);
}

void TMainForm::Undo(bool redo)
{
    if (!map_ || !history_ || dragging_ || !(redo ? history_->CanRedo() : history_->CanUndo()))
        return;
    if (!BeforeMapEdit())
        return;
    mergeMoves_ = false;
    mergeKeys_ = false;
    HistoryAction action;
    try {
        action = redo ? history_->PeekRedo() : history_->PeekUndo();
    } catch (const std::exception& e) {
        HistoryFailed(e);
        return;
    }
    std::int32_t slot = -1;
    try {
        slot = redo ? sundrel::RedoAction(*map_, *factory_, action)
                    : sundrel::UndoAction(*map_, *factory_, action);
        if (redo)
            history_->RedoDone();
        else
            history_->UndoDone();
    } catch (const std::exception& e) {
        // What was applied before the failure stays.
        map_->highlight.kind = 5;
        MapEdited();
        HistoryFailed(e);
        return;
    }
    if (!redo && history_->Position() == 0 && original_) {
        // Back where the edits started: the map exactly as it was.
        const MXY highlighted = slot >= 0 ? VirtualPosition(*map_, slot) : MXY{};
        try {
            std::unique_ptr<MMap> restored = original_->Restore(*map_, *factory_);
            factory_->DestroyMap(*map_);
            *map_ = std::move(*restored);
            if (slot >= 0)
                slot = FindVirtualPoint(*map_, highlighted);
        } catch (const std::exception&) {
            // The map stays as the undo left it: the same points.
        }
    }
    const bool blink = map_->highlight.blink;
    if (slot >= 0)
        map_->highlight = {1, slot, -1, blink};
    else if (map_->highlight.kind == 1 || map_->highlight.kind == 2)
        map_->highlight = {5, -1, -1, blink};
    MapEdited();
}

// ---------------------------------------------------------- mouse and keys

void TMainForm::EditPress(QMouseEvent* event)
{
    const Tool tool = EffectiveTool();
    if (tool == Tool::Select) {
        PickAt(event->position());
        view_->UpdateScene();
        return;
    }
    if (tool == Tool::RemovePoint) {
        PickAt(event->position());
        if (map_->highlight.kind == 1)
            RemoveHighlightedPoint();
        else
            map_->highlight.kind = 5;
        view_->UpdateScene();
        return;
    }
    if (tool == Tool::MovePoint) {
        PickAt(event->position());
        if (map_->highlight.kind == 1) {
            dragging_ = true;
            dragged_ = map_->highlight.first;
            addingPoint_ = false;
            mergeMoves_ = false;
        } else {
            map_->highlight.kind = 5;
        }
        view_->UpdateScene();
        return;
    }
    if (tool == Tool::AddPoint) {
        if (!BeforeMapEdit())
            return;
        const MXY at = ViewToMap(event->position());
        if (history_ && history_->Position() == 0)
            KeepOriginal();
        if (!AddPoint(at))
            return;
        dragging_ = true;
        dragged_ = map_->V() - 1;
        addingPoint_ = true;
        mergeMoves_ = false;
        map_->highlight = {1, dragged_, -1, map_->highlight.blink};
        MapEdited();
    }
}

void TMainForm::EditMove(QMouseEvent* event)
{
    if (!dragging_ || dragged_ < 0 || dragged_ >= map_->V())
        return;
    if (!BeforeMapEdit())
        return;
    // A new point follows the mouse unrecorded: its final place is recorded
    // on release.
    if (MovePoint(dragged_, ViewToMap(event->position()), !addingPoint_, mergeMoves_) &&
        !addingPoint_)
        mergeMoves_ = true;
}

void TMainForm::EditRelease(QMouseEvent*)
{
    if (dragging_ && addingPoint_ && dragged_ >= 0 && dragged_ < map_->V()) {
        const MXY at = VirtualPosition(*map_, dragged_);
        Record([&](EditHistory& history) { history.RecordAdd(at); });
    }
    EndDrag();
}

void TMainForm::EndDrag()
{
    dragging_ = false;
    dragged_ = -1;
    addingPoint_ = false;
    mergeMoves_ = false;
}

bool TMainForm::EditKey(QKeyEvent* event, bool pressed)
{
    const int key = event->key();
    const bool arrow =
        key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
    if (!pressed) {
        // A run of arrow moves ends when the key is let go.
        if (arrow && !event->isAutoRepeat())
            mergeKeys_ = false;
        return arrow;
    }
    if (dragging_)
        return arrow || key == Qt::Key_Delete || key == Qt::Key_Backspace;
    MapHighlight& h = map_->highlight;
    if (arrow) {
        if (h.kind != 1 || h.first < 0 || h.first >= map_->V())
            return true;
        const double pixels = event->modifiers() & Qt::ControlModifier ? 10.0 : 1.0;
        const double dx = actual_.Width() / view_->width() * pixels;
        const double dy = actual_.Height() / view_->height() * pixels;
        MXY to = VirtualPosition(*map_, h.first);
        switch (key) {
        case Qt::Key_Left: to.x -= dx; break;
        case Qt::Key_Right: to.x += dx; break;
        case Qt::Key_Up: to.y += dy; break;
        default: to.y -= dy; break;
        }
        if (!BeforeMapEdit())
            return true;
        if (MovePoint(h.first, to, true, mergeKeys_))
            mergeKeys_ = true;
        return true;
    }
    if (key != Qt::Key_Delete && key != Qt::Key_Backspace)
        return false;
    if (h.kind == 1) {
        RemoveHighlightedPoint();
        view_->UpdateScene();
        return true;
    }
    if (h.kind == 4 && h.first != h.second && h.first >= 0 && h.second >= 0 &&
        h.first < map_->N() && h.second < map_->N()) {
        // A Delaunay edge: a virtual point at its middle.
        const MPolygon& a = map_->cells[static_cast<std::size_t>(h.first)];
        const MPolygon& b = map_->cells[static_cast<std::size_t>(h.second)];
        const MXY middle{(a.siteX + b.siteX) / 2.0, (a.siteY + b.siteY) / 2.0};
        if (!BeforeMapEdit())
            return true;
        KeepOriginal();
        if (AddPoint(middle)) {
            h.kind = 5;
            MapEdited();
            Record([&](EditHistory& history) { history.RecordAdd(middle); });
        }
        return true;
    }
    return false;
}

} // namespace sundrel::app
