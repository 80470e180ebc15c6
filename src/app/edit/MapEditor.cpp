#include "app/edit/MapEditor.h"

#include "app/document/OpenDocument.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ViewController.h"
#include "common/Errors.h"
#include "model/EditHistory.h"
#include "model/MMapFactory.h"
#include "model/MapSnapshot.h"
#include "model/Messages.h"
#include "model/Picking.h"

#include <QAction>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>

#include <algorithm>

namespace sundrel::app {

namespace {

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

TMapEditor::TMapEditor(TOpenDocument& document, MMapFactory& factory, TViewController& view,
                       QWidget* window)
    : QObject(window), document_(document), factory_(factory), view_(view),
      editMenu_(new QMenu(tr("&Edit"), window)),
      removeAll_(new QAction(tr("Remove all virtual points"), this)),
      deleteAll_(new QAction(tr("Delete all virtual points"), this))
{
    undo_ = editMenu_->addAction(tr("Undo"), this, &TMapEditor::UndoCommand);
    undo_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    redo_ = editMenu_->addAction(tr("Redo"), this, &TMapEditor::RedoCommand);
    redo_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    connect(editMenu_, &QMenu::aboutToShow, this, &TMapEditor::UpdateEditCommands);
    for (QAction* action : {removeAll_, deleteAll_})
        connect(action, &QAction::triggered, this, &TMapEditor::RemoveAllVirtualPointsCommand);
    UpdateEditCommands();
    connect(&document_, &TOpenDocument::changed, this, &TMapEditor::DocumentChanged);
}

TMapEditor::~TMapEditor() = default;

void TMapEditor::DocumentChanged(unsigned what)
{
    if (!(what & TOpenDocument::MapChange))
        return;
    // A new map starts a history of its own; without one there is none.
    EndDrag();
    if (document_.Map())
        ResetHistory();
    else
        DiscardHistory();
}

bool TMapEditor::CanEdit() const
{
    return !BeforeEdit || BeforeEdit();
}

// ------------------------------------------------------------------ history

void TMapEditor::ResetHistory()
{
    DiscardHistory();
    try {
        history_ = EditHistory::Create();
    } catch (const std::exception&) {
        // The window works without a history: Undo and Redo stay disabled.
    }
    UpdateEditCommands();
}

void TMapEditor::DiscardHistory()
{
    history_.reset();
    original_.reset();
    mergeMoves_ = false;
    mergeKeys_ = false;
    UpdateEditCommands();
}

void TMapEditor::HistoryFailed(const std::exception& error)
{
    EndDrag();
    DiscardHistory();
    emit failed(QString::fromUtf8(error.what()));
}

void TMapEditor::Record(const std::function<void(EditHistory&)>& write)
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

void TMapEditor::UpdateEditCommands()
{
    if (!history_) {
        undo_->setText(tr("Undo"));
        redo_->setText(tr("Redo"));
        undo_->setEnabled(false);
        redo_->setEnabled(false);
        return;
    }
    undo_->setText(QString::fromStdString(history_->UndoCaption()));
    redo_->setText(QString::fromStdString(history_->RedoCaption()));
    undo_->setEnabled(history_->CanUndo());
    redo_->setEnabled(history_->CanRedo());
}

void TMapEditor::KeepOriginal()
{
    const MMap* map = document_.Map();
    if (!map || !history_ || original_ || history_->Position() != 0)
        return;
    try {
        original_ = MapSnapshot::Take(*map, factory_);
    } catch (const std::exception&) {
        // Undoing every edit still gives the same points and triangles.
    }
}

// ------------------------------------------------------------------ picking

void TMapEditor::PickAt(QPointF pixel)
{
    MMap& map = *document_.EditableMap();
    const bool blink = map.highlight.blink;
    map.highlight = Pick(map, view_.PickAt(pixel));
    map.highlight.blink = blink;
}

// ----------------------------------------------------------------- changes

void TMapEditor::MapEdited()
{
    document_.SetModified(true);
    emit edited();
    view_.UpdateScene();
    UpdateEditCommands();
}

bool TMapEditor::AddPoint(MXY at)
{
    MMap& map = *document_.EditableMap();
    try {
        // Beyond the outer bounds (the grey margin of a zoomed-out view) is
        // outside the frame too, whatever the frame's extent.
        if (!Inside(map.outerBounds, at))
            throw Error(msg::OutsideFrame);
        factory_.AddVirtualPoint(map, at.x, at.y);
    } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
        return false;
    }
    return true;
}

bool TMapEditor::MovePoint(std::int32_t slot, MXY to, bool record, bool merge)
{
    MMap& map = *document_.EditableMap();
    const MBounds& outer = map.outerBounds;
    to.x = std::clamp(to.x, outer.xMin, outer.xMax);
    to.y = std::clamp(to.y, outer.yMin, outer.yMax);
    const MXY from = VirtualPosition(map, slot);
    if (from.x == to.x && from.y == to.y)
        return false;
    // The target is checked before the point is taken away; a refusal
    // during a drag or a key run goes to the status bar.
    try {
        factory_.CheckVirtualPosition(map, to.x, to.y);
    } catch (const std::exception& e) {
        emit refused(QString::fromUtf8(e.what()));
        return false;
    }
    if (record)
        KeepOriginal();
    try {
        factory_.RemoveVirtualPoint(map, slot);
    } catch (const std::exception& e) {
        EndDrag();
        emit failed(QString::fromUtf8(e.what()));
        return false;
    }
    try {
        factory_.AddVirtualPoint(map, to.x, to.y);
    } catch (const std::exception& e) {
        // Put back where it was; nothing is recorded.
        try {
            factory_.AddVirtualPoint(map, from.x, from.y);
            map.highlight = {1, map.V() - 1, -1, map.highlight.blink};
            dragged_ = dragging_ ? map.V() - 1 : -1;
        } catch (const std::exception&) {
            map.highlight.kind = 5;
            EndDrag();
        }
        MapEdited();
        emit refused(QString::fromUtf8(e.what()));
        return false;
    }
    const std::int32_t moved = map.V() - 1;
    map.highlight = {1, moved, -1, map.highlight.blink};
    if (dragging_)
        dragged_ = moved;
    MapEdited();
    if (record)
        Record([&](EditHistory& history) { history.RecordMove(from, to, merge); });
    view_.KeepVisible(to);
    return true;
}

void TMapEditor::RemoveHighlightedPoint()
{
    MMap& map = *document_.EditableMap();
    const std::int32_t slot = map.highlight.first;
    if (map.highlight.kind != 1 || slot < 0 || slot >= map.V() || !CanEdit())
        return;
    const MXY at = VirtualPosition(map, slot);
    KeepOriginal();
    try {
        factory_.RemoveVirtualPoint(map, slot);
    } catch (const std::exception& e) {
        emit failed(QString::fromUtf8(e.what()));
        return;
    }
    map.highlight.kind = 5;
    MapEdited();
    Record([&](EditHistory& history) { history.RecordDelete(at); });
}

void TMapEditor::RemoveAllVirtualPointsCommand()
{
    MMap* map = document_.EditableMap();
    if (!map || dragging_ || !CanEdit())
        return;
    std::vector<MXY> points;
    points.reserve(static_cast<std::size_t>(map->V()));
    for (std::int32_t slot = 0; slot < map->V(); ++slot)
        points.push_back(VirtualPosition(*map, slot));
    if (!points.empty())
        KeepOriginal();
    factory_.RemoveAllVirtualPoints(*map);
    map->highlight.kind = 5;
    MapEdited();
    Record([&](EditHistory& history) { history.RecordRemoveAll(points); });
}

void TMapEditor::UndoCommand()
{
    Undo(false);
}

void TMapEditor::RedoCommand()
{
    Undo(true);
}

void TMapEditor::Undo(bool redo)
{
    MMap* map = document_.EditableMap();
    if (!map || !history_ || dragging_ || !(redo ? history_->CanRedo() : history_->CanUndo()))
        return;
    if (!CanEdit())
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
        slot = redo ? sundrel::RedoAction(*map, factory_, action)
                    : sundrel::UndoAction(*map, factory_, action);
        if (redo)
            history_->RedoDone();
        else
            history_->UndoDone();
    } catch (const std::exception& e) {
        // What was applied before the failure stays.
        map->highlight.kind = 5;
        MapEdited();
        HistoryFailed(e);
        return;
    }
    if (!redo && history_->Position() == 0 && original_) {
        // Back where the edits started: the map exactly as it was.
        const MXY highlighted = slot >= 0 ? VirtualPosition(*map, slot) : MXY{};
        try {
            document_.Restore(original_->Restore(*map, factory_));
            if (slot >= 0)
                slot = FindVirtualPoint(*map, highlighted);
        } catch (const std::exception&) {
            // The map stays as the undo left it: the same points.
        }
    }
    const bool blink = map->highlight.blink;
    if (slot >= 0)
        map->highlight = {1, slot, -1, blink};
    else if (map->highlight.kind == 1 || map->highlight.kind == 2)
        map->highlight = {5, -1, -1, blink};
    MapEdited();
}

// ---------------------------------------------------------- mouse and keys

void TMapEditor::Press(Tool tool, QPointF pixel)
{
    MMap& map = *document_.EditableMap();
    if (tool == Tool::Select) {
        PickAt(pixel);
        view_.UpdateOverlay();
        return;
    }
    if (tool == Tool::RemovePoint) {
        PickAt(pixel);
        if (map.highlight.kind == 1)
            RemoveHighlightedPoint();
        else
            map.highlight.kind = 5;
        view_.UpdateScene();
        return;
    }
    if (tool == Tool::MovePoint) {
        PickAt(pixel);
        if (map.highlight.kind == 1) {
            dragging_ = true;
            dragged_ = map.highlight.first;
            addingPoint_ = false;
            mergeMoves_ = false;
        } else {
            map.highlight.kind = 5;
        }
        view_.UpdateOverlay();
        return;
    }
    if (tool == Tool::AddPoint) {
        if (!CanEdit())
            return;
        const MXY at = view_.ViewToMap(pixel);
        if (history_ && history_->Position() == 0)
            KeepOriginal();
        if (!AddPoint(at))
            return;
        dragging_ = true;
        dragged_ = map.V() - 1;
        addingPoint_ = true;
        mergeMoves_ = false;
        map.highlight = {1, dragged_, -1, map.highlight.blink};
        MapEdited();
    }
}

void TMapEditor::Move(QPointF pixel)
{
    const MMap* map = document_.Map();
    if (!dragging_ || dragged_ < 0 || dragged_ >= map->V())
        return;
    if (!CanEdit())
        return;
    // A new point follows the mouse unrecorded: its final place is recorded
    // on release.
    if (MovePoint(dragged_, view_.ViewToMap(pixel), !addingPoint_, mergeMoves_) && !addingPoint_)
        mergeMoves_ = true;
}

void TMapEditor::Release()
{
    const MMap* map = document_.Map();
    if (dragging_ && addingPoint_ && dragged_ >= 0 && dragged_ < map->V()) {
        const MXY at = VirtualPosition(*map, dragged_);
        Record([&](EditHistory& history) { history.RecordAdd(at); });
    }
    EndDrag();
}

void TMapEditor::EndDrag()
{
    dragging_ = false;
    dragged_ = -1;
    addingPoint_ = false;
    mergeMoves_ = false;
}

bool TMapEditor::Key(QKeyEvent* event, bool pressed)
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
    MMap& map = *document_.EditableMap();
    MapHighlight& h = map.highlight;
    if (arrow) {
        if (h.kind != 1 || h.first < 0 || h.first >= map.V())
            return true;
        const double pixels = event->modifiers() & Qt::ControlModifier ? 10.0 : 1.0;
        const MBounds& shown = view_.CurrentView();
        const double dx = shown.Width() / view_.View()->width() * pixels;
        const double dy = shown.Height() / view_.View()->height() * pixels;
        MXY to = VirtualPosition(map, h.first);
        switch (key) {
        case Qt::Key_Left: to.x -= dx; break;
        case Qt::Key_Right: to.x += dx; break;
        case Qt::Key_Up: to.y += dy; break;
        default: to.y -= dy; break;
        }
        if (!CanEdit())
            return true;
        if (MovePoint(h.first, to, true, mergeKeys_))
            mergeKeys_ = true;
        return true;
    }
    if (key != Qt::Key_Delete && key != Qt::Key_Backspace)
        return false;
    if (h.kind == 1) {
        RemoveHighlightedPoint();
        view_.UpdateScene();
        return true;
    }
    if (h.kind == 4 && h.first != h.second && h.first >= 0 && h.second >= 0 &&
        h.first < map.N() && h.second < map.N()) {
        // A Delaunay edge: a virtual point at its middle.
        const MPolygon& a = map.cells[static_cast<std::size_t>(h.first)];
        const MPolygon& b = map.cells[static_cast<std::size_t>(h.second)];
        const MXY middle{(a.siteX + b.siteX) / 2.0, (a.siteY + b.siteY) / 2.0};
        if (!CanEdit())
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
