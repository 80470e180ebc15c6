#pragma once
// The undo/redo history of virtual point edits, kept in a private temporary
// file as a chain of actions: a 16-byte header (item count and type of the
// action, then those of the previous action), its 24-byte items, the next
// header, and so on. After the last action done stands an end header, where
// the next action is written; undone actions stay after it until a new action
// overwrites them, so that redo reads them again. Undo and redo step through
// the file relative to the current position using the counts in the headers;
// the file is never read in full.

#include "model/MMap.h"
#include "model/MXY.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sundrel {

class MMapFactory;
class RandomAccessFile;

enum class EditAction : std::uint8_t { None = 0, AddPoint = 1, DeletePoint = 2, MovePoint = 3, RemoveAll = 4 };

// exists: a virtual point is at `at` after the action (state 1 in the file);
// otherwise one was there before it (state 0xFF).
struct HistoryItem {
    bool exists = false;
    MXY at;
    bool operator==(const HistoryItem&) const = default;
};

struct HistoryAction {
    EditAction type = EditAction::None;
    std::vector<HistoryItem> items;
};

class EditHistory {
public:
    // A new, empty history in a file of its own in `folder` (the system's
    // temporary folder by default): the name carries the process id and a
    // counter and the file is created exclusively, so two running programs or
    // two windows never share one. Raises Error(msg::ImpossibleToOpen) when it
    // cannot be created.
    static std::unique_ptr<EditHistory> Create(const std::filesystem::path& folder = {});
    ~EditHistory(); // closes and deletes the file
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Each appends one action, dropping whatever could be redone. A move with
    // `merge` set, following a move whose end is `from` while nothing can be
    // redone, replaces that move's end instead, so that one drag is one
    // action. A "Remove all" of no point records nothing.
    void RecordAdd(MXY at);
    void RecordDelete(MXY at);
    void RecordMove(MXY from, MXY to, bool merge);
    void RecordRemoveAll(const std::vector<MXY>& points);

    bool CanUndo() const { return !broken_ && position_ > 0; }
    bool CanRedo() const { return !broken_ && position_ < redoLimit_; }
    std::int32_t Position() const { return position_; }
    std::int32_t RedoLimit() const { return redoLimit_; }

    // The captions of the Edit menu, e.g. "Undo Move point (3)", "Redo (0)".
    std::string UndoCaption() const;
    std::string RedoCaption() const;

    // The action an undo or redo would apply (type None when there is none).
    // The history moves only with the Done call that follows a successful
    // application; a failed application leaves it where it was.
    HistoryAction PeekUndo();
    void UndoDone();
    HistoryAction PeekRedo();
    void RedoDone();

private:
    EditHistory(std::filesystem::path path, std::unique_ptr<RandomAccessFile> file);

    void Append(EditAction type, const std::vector<HistoryItem>& items);
    void Write(std::int64_t offset, const std::vector<unsigned char>& bytes);
    std::vector<unsigned char> Read(std::int64_t offset, std::int64_t size);
    [[noreturn]] void Fail(const char* message);
    void CheckUsable() const;

    std::filesystem::path path_;
    std::unique_ptr<RandomAccessFile> file_;
    bool broken_ = false;
    std::string failure_;

    // Start of the end header (or of the first undone action).
    std::int64_t offset_ = 0;
    // The last action done (0, None when none).
    std::int32_t count_ = 0;
    EditAction type_ = EditAction::None;
    // Type of the action a redo would read (None when nothing can be redone).
    EditAction nextType_ = EditAction::None;
    std::int32_t position_ = 0;
    std::int32_t redoLimit_ = 0;

    // What the last Peek read, for its Done call.
    enum class Pending { None, Undo, Redo };
    Pending pending_ = Pending::None;
    std::int64_t pendingOffset_ = 0;
    std::int32_t pendingCount_ = 0;
    EditAction pendingType_ = EditAction::None;
    EditAction pendingNext_ = EditAction::None;
};

// Undoes `action` on the map: items from the last to the first; a 0xFF item
// re-creates a virtual point at its position with AddVirtualPoint; a state-1
// item removes the virtual point with exactly its position, scanning the list
// from the last slot down, or raises Error("Virtual point not found"). Returns
// the slot to highlight: the re-created point (last slot) for Move point and
// Delete point, else -1.
std::int32_t UndoAction(MMap& map, MMapFactory& factory, const HistoryAction& action);
// Redoes it: items from the first to the last; a state-1 item creates a point,
// a 0xFF item removes the one at exactly its position ("Virtual point not
// found"). Returns the last created point's slot for Move point and Add point,
// else -1.
std::int32_t RedoAction(MMap& map, MMapFactory& factory, const HistoryAction& action);

} // namespace sundrel
