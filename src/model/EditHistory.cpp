#include "model/EditHistory.h"

#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Process.h"
#include "common/RandomAccessFile.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <system_error>

namespace sundrel {

namespace {

constexpr std::int64_t kHeaderBytes = 16;
constexpr std::int64_t kItemBytes = 24;
constexpr std::uint8_t kExists = 1;
constexpr std::uint8_t kExisted = 0xFF;

struct Header {
    std::int32_t count = 0;
    EditAction type = EditAction::None;
    std::int32_t previousCount = 0;
    EditAction previousType = EditAction::None;
};

std::int64_t ActionBytes(std::int64_t count)
{
    return kHeaderBytes + kItemBytes * count;
}

bool DecodeType(std::uint8_t byte, EditAction& type)
{
    if (byte > static_cast<std::uint8_t>(EditAction::RemoveAll))
        return false;
    type = static_cast<EditAction>(byte);
    return true;
}

void PutHeader(unsigned char* p, const Header& h)
{
    StoreLE<std::int32_t>(p, h.count);
    StoreLE<std::uint8_t>(p + 4, static_cast<std::uint8_t>(h.type));
    StoreLE<std::int32_t>(p + 8, h.previousCount);
    StoreLE<std::uint8_t>(p + 12, static_cast<std::uint8_t>(h.previousType));
}

// False when a type byte is out of range.
bool GetHeader(const unsigned char* p, Header& h)
{
    h.count = LoadLE<std::int32_t>(p);
    h.previousCount = LoadLE<std::int32_t>(p + 8);
    return DecodeType(LoadLE<std::uint8_t>(p + 4), h.type) &&
           DecodeType(LoadLE<std::uint8_t>(p + 12), h.previousType);
}

void PutItem(unsigned char* p, const HistoryItem& item)
{
    StoreLE<std::uint8_t>(p, item.exists ? kExists : kExisted);
    StoreLE<double>(p + 8, item.at.x);
    StoreLE<double>(p + 16, item.at.y);
}

bool GetItem(const unsigned char* p, HistoryItem& item)
{
    const auto state = LoadLE<std::uint8_t>(p);
    if (state != kExists && state != kExisted)
        return false;
    item.exists = state == kExists;
    item.at = {LoadLE<double>(p + 8), LoadLE<double>(p + 16)};
    return true;
}

// The item count every action of the type has (any positive count for
// "Remove all").
bool CountFits(EditAction type, std::int32_t count)
{
    switch (type) {
    case EditAction::AddPoint:
    case EditAction::DeletePoint:
        return count == 1;
    case EditAction::MovePoint:
        return count == 2;
    case EditAction::RemoveAll:
        return count >= 1;
    case EditAction::None:
        return count == 0;
    }
    return false;
}

bool ItemsFit(EditAction type, const std::vector<HistoryItem>& items)
{
    if (!CountFits(type, static_cast<std::int32_t>(items.size())))
        return false;
    switch (type) {
    case EditAction::AddPoint:
        return items[0].exists;
    case EditAction::DeletePoint:
        return !items[0].exists;
    case EditAction::MovePoint:
        return !items[0].exists && items[1].exists;
    case EditAction::RemoveAll:
        for (const HistoryItem& item : items)
            if (item.exists)
                return false;
        return true;
    case EditAction::None:
        return true;
    }
    return false;
}

// The items of an action whose header was read, checked against its type.
HistoryAction DecodeAction(const Header& h, const unsigned char* items)
{
    HistoryAction action;
    action.type = h.type;
    action.items.resize(static_cast<std::size_t>(h.count));
    for (std::size_t i = 0; i < action.items.size(); ++i)
        if (!GetItem(items + kItemBytes * static_cast<std::int64_t>(i), action.items[i]))
            throw Error(msg::UnknownAction);
    if (!ItemsFit(h.type, action.items))
        throw Error(msg::UnknownAction);
    return action;
}

const char* ActionName(EditAction type)
{
    switch (type) {
    case EditAction::AddPoint:
        return "Add point ";
    case EditAction::DeletePoint:
        return "Delete point ";
    case EditAction::MovePoint:
        return "Move point ";
    case EditAction::RemoveAll:
        return "Remove all ";
    case EditAction::None:
        break;
    }
    return "";
}

} // namespace

std::unique_ptr<EditHistory> EditHistory::Create(const std::filesystem::path& folder)
{
    static std::atomic<unsigned> counter{0};
    std::error_code ec;
    std::filesystem::path dir = folder;
    if (dir.empty()) {
        dir = std::filesystem::temp_directory_path(ec);
        if (ec)
            throw Error(msg::ImpossibleToOpen);
    }
    std::filesystem::create_directories(dir, ec);
    // The histories of copies that were killed would stay behind otherwise.
    RemoveFilesOfEndedProcesses(dir, [](const std::string& name) -> std::optional<std::uint64_t> {
        // "SundrelHistory_<process>_<counter>.tmp"
        const std::string head = "SundrelHistory_";
        if (name.rfind(head, 0) != 0 || name.size() < head.size() + 4 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            return std::nullopt;
        const std::string fields = name.substr(head.size(), name.size() - head.size() - 4);
        const std::size_t cut = fields.find('_');
        if (cut == std::string::npos || cut == 0 || cut > 19 || cut + 1 == fields.size() ||
            fields.find_first_not_of("0123456789_") != std::string::npos ||
            fields.find('_', cut + 1) != std::string::npos)
            return std::nullopt;
        return std::stoull(fields.substr(0, cut));
    });

    // Created here or not at all, readable by the user alone: a name that
    // exists (a stale file of an earlier program with the same process id,
    // or one another user made first) is never opened; the next counter
    // value is tried instead.
    for (int attempt = 0; attempt < 1000; ++attempt) {
        const std::filesystem::path name =
            dir / ("SundrelHistory_" + std::to_string(ProcessId()) + "_" +
                   std::to_string(counter.fetch_add(1)) + ".tmp");
        int error = 0;
        std::unique_ptr<RandomAccessFile> file = RandomAccessFile::CreateNew(name, false, error);
        if (!file) {
            if (error == EEXIST)
                continue;
            throw Error(msg::ImpossibleToOpen);
        }
        std::unique_ptr<EditHistory> history(new EditHistory(name, std::move(file)));
        // The end header of an empty history.
        const std::vector<unsigned char> end(kHeaderBytes, 0);
        try {
            history->Write(0, end);
        } catch (const Error&) {
            throw Error(msg::ImpossibleToOpen);
        }
        return history;
    }
    throw Error(msg::ImpossibleToOpen);
}

EditHistory::EditHistory(std::filesystem::path path, std::unique_ptr<RandomAccessFile> file)
    : path_(std::move(path)), file_(std::move(file))
{
}

EditHistory::~EditHistory()
{
    file_.reset();
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

void EditHistory::Fail(const char* message)
{
    broken_ = true;
    failure_ = message;
    pending_ = Pending::None;
    throw Error(message);
}

void EditHistory::CheckUsable() const
{
    if (broken_)
        throw Error(failure_);
}

void EditHistory::Write(std::int64_t offset, const std::vector<unsigned char>& bytes)
{
    if (!file_->WriteAt(offset, bytes.data(), bytes.size()))
        Fail(msg::FileWritingError);
}

std::vector<unsigned char> EditHistory::Read(std::int64_t offset, std::int64_t size)
{
    // Every read sees the file as it is now, nothing kept from before.
    file_->DropPages();
    // A count read from a damaged file must not make us allocate more than
    // the file holds.
    const std::int64_t fileSize = file_->Size();
    if (offset < 0 || size < 0 || fileSize < 0 || size > fileSize - offset)
        Fail(msg::FileReadingError);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    if (!file_->ReadAt(offset, bytes.data(), bytes.size()))
        Fail(msg::FileReadingError);
    return bytes;
}

void EditHistory::Append(EditAction type, const std::vector<HistoryItem>& items)
{
    CheckUsable();
    pending_ = Pending::None;
    if (items.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max() / kItemBytes))
        Fail(msg::FileWritingError);
    const auto n = static_cast<std::int32_t>(items.size());
    std::vector<unsigned char> bytes(static_cast<std::size_t>(ActionBytes(n) + kHeaderBytes));
    PutHeader(bytes.data(), {n, type, count_, type_});
    for (std::size_t i = 0; i < items.size(); ++i)
        PutItem(bytes.data() + kHeaderBytes + kItemBytes * static_cast<std::int64_t>(i), items[i]);
    PutHeader(bytes.data() + ActionBytes(n), {0, EditAction::None, n, type});
    Write(offset_, bytes);
    offset_ += ActionBytes(n);
    count_ = n;
    type_ = type;
    ++position_;
    redoLimit_ = position_;
    nextType_ = EditAction::None;
}

void EditHistory::RecordAdd(MXY at)
{
    Append(EditAction::AddPoint, {{true, at}});
}

void EditHistory::RecordDelete(MXY at)
{
    Append(EditAction::DeletePoint, {{false, at}});
}

void EditHistory::RecordMove(MXY from, MXY to, bool merge)
{
    CheckUsable();
    pending_ = Pending::None;
    // Only the newest action merges: after an undo, rewriting the current
    // move would break the moves that redo still holds.
    if (merge && type_ == EditAction::MovePoint && position_ > 0 && position_ == redoLimit_) {
        const std::int64_t start = offset_ - ActionBytes(count_);
        const std::vector<unsigned char> bytes = Read(start, ActionBytes(2));
        Header h;
        HistoryItem first;
        HistoryItem last;
        if (!GetHeader(bytes.data(), h) || h.count != 2 || h.type != EditAction::MovePoint ||
            !GetItem(bytes.data() + kHeaderBytes, first) ||
            !GetItem(bytes.data() + kHeaderBytes + kItemBytes, last) || first.exists ||
            !last.exists)
            throw Error(msg::UnknownAction);
        if (last.at == from) {
            std::vector<unsigned char> action(static_cast<std::size_t>(ActionBytes(2)));
            PutHeader(action.data(), h);
            PutItem(action.data() + kHeaderBytes, first);
            PutItem(action.data() + kHeaderBytes + kItemBytes, {true, to});
            Write(start, action);
            return;
        }
    }
    Append(EditAction::MovePoint, {{false, from}, {true, to}});
}

void EditHistory::RecordRemoveAll(const std::vector<MXY>& points)
{
    CheckUsable();
    if (points.empty())
        return;
    std::vector<HistoryItem> items;
    items.reserve(points.size());
    for (const MXY& p : points)
        items.push_back({false, p});
    Append(EditAction::RemoveAll, items);
}

std::string EditHistory::UndoCaption() const
{
    return std::string("Undo ") + ActionName(type_) + "(" + std::to_string(position_) + ")";
}

std::string EditHistory::RedoCaption() const
{
    const EditAction next = position_ < redoLimit_ ? nextType_ : EditAction::None;
    return std::string("Redo ") + ActionName(next) + "(" +
           std::to_string(redoLimit_ - position_) + ")";
}

HistoryAction EditHistory::PeekUndo()
{
    CheckUsable();
    pending_ = Pending::None;
    if (position_ <= 0)
        return {};
    const std::int64_t start = offset_ - ActionBytes(count_);
    if (start < 0)
        throw Error(msg::UnknownAction);
    const std::vector<unsigned char> bytes = Read(start, ActionBytes(count_));
    Header h;
    if (!GetHeader(bytes.data(), h) || h.count != count_ || h.type != type_)
        throw Error(msg::UnknownAction);
    HistoryAction action = DecodeAction(h, bytes.data() + kHeaderBytes);
    // The previous action must lie whole before this one: the first action
    // starts the file.
    const bool previousFits =
        position_ == 1
            ? (h.previousType == EditAction::None && h.previousCount == 0 && start == 0)
            : (h.previousType != EditAction::None && CountFits(h.previousType, h.previousCount) &&
               start - ActionBytes(h.previousCount) >= 0);
    if (!previousFits)
        throw Error(msg::UnknownAction);
    pending_ = Pending::Undo;
    pendingOffset_ = start;
    pendingCount_ = h.previousCount;
    pendingType_ = h.previousType;
    return action;
}

void EditHistory::UndoDone()
{
    if (broken_ || pending_ != Pending::Undo)
        return;
    pending_ = Pending::None;
    nextType_ = type_;
    offset_ = pendingOffset_;
    count_ = pendingCount_;
    type_ = pendingType_;
    --position_;
}

HistoryAction EditHistory::PeekRedo()
{
    CheckUsable();
    pending_ = Pending::None;
    if (position_ >= redoLimit_)
        return {};
    const std::vector<unsigned char> head = Read(offset_, kHeaderBytes);
    Header h;
    if (!GetHeader(head.data(), h))
        throw Error(msg::UnknownAction);
    if (h.count == 0)
        return {};
    if (h.type == EditAction::None || !CountFits(h.type, h.count) ||
        h.previousCount != count_ || h.previousType != type_)
        throw Error(msg::UnknownAction);
    // Its items and the header that follows them.
    const std::int64_t itemBytes = kItemBytes * static_cast<std::int64_t>(h.count);
    const std::vector<unsigned char> bytes = Read(offset_ + kHeaderBytes, itemBytes + kHeaderBytes);
    HistoryAction action = DecodeAction(h, bytes.data());
    Header following;
    pending_ = Pending::Redo;
    pendingOffset_ = offset_ + kHeaderBytes + itemBytes;
    pendingCount_ = h.count;
    pendingType_ = h.type;
    pendingNext_ = position_ + 1 < redoLimit_ &&
                           GetHeader(bytes.data() + itemBytes, following)
                       ? following.type
                       : EditAction::None;
    return action;
}

void EditHistory::RedoDone()
{
    if (broken_ || pending_ != Pending::Redo)
        return;
    pending_ = Pending::None;
    offset_ = pendingOffset_;
    count_ = pendingCount_;
    type_ = pendingType_;
    nextType_ = pendingNext_;
    ++position_;
}

namespace {

// The slot of the virtual point at exactly `at`, searched from the last slot
// down.
std::int32_t FindVirtualPoint(const MMap& map, MXY at)
{
    for (std::int32_t k = map.V() - 1; k >= 0; --k)
        if (map.mesh.xy(map.VirtualPoints()[static_cast<std::size_t>(k)]) == at)
            return k;
    throw Error(msg::VirtualPointNotFound);
}

void Apply(MMap& map, MMapFactory& factory, const HistoryItem& item, bool create)
{
    if (create)
        factory.AddVirtualPoint(map, item.at.x, item.at.y);
    else
        factory.RemoveVirtualPoint(map, FindVirtualPoint(map, item.at));
}

void CheckType(EditAction type)
{
    if (static_cast<std::uint8_t>(type) > static_cast<std::uint8_t>(EditAction::RemoveAll))
        throw Error(msg::UnknownAction);
}

} // namespace

std::int32_t UndoAction(MMap& map, MMapFactory& factory, const HistoryAction& action)
{
    CheckType(action.type);
    for (auto item = action.items.rbegin(); item != action.items.rend(); ++item)
        Apply(map, factory, *item, !item->exists);
    const bool recreated =
        action.type == EditAction::MovePoint || action.type == EditAction::DeletePoint;
    return recreated && map.V() > 0 ? map.V() - 1 : -1;
}

std::int32_t RedoAction(MMap& map, MMapFactory& factory, const HistoryAction& action)
{
    CheckType(action.type);
    for (const HistoryItem& item : action.items)
        Apply(map, factory, item, item.exists);
    const bool created =
        action.type == EditAction::MovePoint || action.type == EditAction::AddPoint;
    return created && map.V() > 0 ? map.V() - 1 : -1;
}

} // namespace sundrel
