#include "model/EditHistory.h"

#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Process.h"
#include "model/MMapFactory.h"
#include "model/MapMessages.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace sundrel;

namespace {

// The records as the file lays them out.
std::string Header(std::int32_t n, int type, std::int32_t previousN, int previousType)
{
    std::string s(16, '\0');
    auto* p = reinterpret_cast<unsigned char*>(s.data());
    StoreLE<std::int32_t>(p, n);
    p[4] = static_cast<unsigned char>(type);
    StoreLE<std::int32_t>(p + 8, previousN);
    p[12] = static_cast<unsigned char>(previousType);
    return s;
}

std::string Item(int state, MXY at)
{
    std::string s(24, '\0');
    auto* p = reinterpret_cast<unsigned char*>(s.data());
    p[0] = static_cast<unsigned char>(state);
    StoreLE<double>(p + 8, at.x);
    StoreLE<double>(p + 16, at.y);
    return s;
}

std::string Bytes(const EditHistory& h)
{
    return test::ReadFile(h.path());
}

// Overwrites bytes of the history file in place, as a damaged disk would.
void Damage(const EditHistory& h, std::streamoff offset, const std::string& bytes)
{
    std::fstream f(h.path(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(f.good());
}

template <typename F>
std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "no error";
}

// Edits made as the editor window makes them: the change through the
// factory, recorded in the history (a move is recorded before it is made).
struct Editor {
    MMapFactory& factory;
    MMap& map;
    EditHistory& history;

    MXY At(std::int32_t slot) const { return map.mesh.xy(map.GetVirtualPoint(slot)); }
    std::vector<MXY> Virtuals() const
    {
        std::vector<MXY> v;
        for (std::int32_t k = 0; k < map.V(); ++k)
            v.push_back(At(k));
        return v;
    }
    void Add(MXY p)
    {
        factory.AddVirtualPoint(map, p.x, p.y);
        history.RecordAdd(p);
    }
    std::int32_t Move(std::int32_t slot, MXY to, bool merge)
    {
        history.RecordMove(At(slot), to, merge);
        factory.RemoveVirtualPoint(map, slot);
        factory.AddVirtualPoint(map, to.x, to.y);
        return map.V() - 1;
    }
    void Delete(std::int32_t slot)
    {
        history.RecordDelete(At(slot));
        factory.RemoveVirtualPoint(map, slot);
    }
    void RemoveAll()
    {
        history.RecordRemoveAll(Virtuals());
        factory.RemoveAllVirtualPoints(map);
    }
    std::int32_t Undo()
    {
        const std::int32_t slot = UndoAction(map, factory, history.PeekUndo());
        history.UndoDone();
        return slot;
    }
    std::int32_t Redo()
    {
        const std::int32_t slot = RedoAction(map, factory, history.PeekRedo());
        history.RedoDone();
        return slot;
    }
};

std::vector<MXY> Sorted(std::vector<MXY> v)
{
    std::sort(v.begin(), v.end(), [](MXY a, MXY b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
    return v;
}

class EditHistoryTest : public ::testing::Test {
protected:
    test::TempDir dir_{"history"};
    std::unique_ptr<EditHistory> history_ = EditHistory::Create(dir_.path());
};

// ---------------------------------------------------------------- the file

TEST_F(EditHistoryTest, AnEmptyHistoryIsOneEndHeaderOfZeros)
{
    EXPECT_EQ(Bytes(*history_), std::string(16, '\0'));
    EXPECT_FALSE(history_->CanUndo());
    EXPECT_FALSE(history_->CanRedo());
    EXPECT_EQ(history_->UndoCaption(), "Undo (0)");
    EXPECT_EQ(history_->RedoCaption(), "Redo (0)");
    EXPECT_EQ(history_->PeekUndo().type, EditAction::None);
    EXPECT_EQ(history_->PeekRedo().type, EditAction::None);
}

TEST_F(EditHistoryTest, AnAddIsLaidOutByteForByte)
{
    history_->RecordAdd({1.5, -2.0});
    const unsigned char expected[] = {
        // header: 1 item, "Add point", no previous action
        0x01, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        // item: state 1, x 1.5, y -2.0
        0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F, 0, 0, 0, 0, 0, 0, 0, 0xC0,
        // end header, previous: 1 item, "Add point"
        0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0, 0};
    EXPECT_EQ(Bytes(*history_), std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST_F(EditHistoryTest, ActionsChainWithTheirPreviousCountAndType)
{
    history_->RecordAdd({1, 2});
    history_->RecordDelete({3, 4});
    history_->RecordMove({5, 6}, {7, 8}, false);
    history_->RecordRemoveAll({{9, 10}, {11, 12}, {13, 14}});
    const std::string expected = Header(1, 1, 0, 0) + Item(1, {1, 2}) +
                                 Header(1, 2, 1, 1) + Item(0xFF, {3, 4}) +
                                 Header(2, 3, 1, 2) + Item(0xFF, {5, 6}) + Item(1, {7, 8}) +
                                 Header(3, 4, 2, 3) + Item(0xFF, {9, 10}) + Item(0xFF, {11, 12}) +
                                 Item(0xFF, {13, 14}) + Header(0, 0, 3, 4);
    EXPECT_EQ(Bytes(*history_), expected);
    EXPECT_EQ(history_->Position(), 4);
    EXPECT_EQ(history_->RedoLimit(), 4);

    // Removing all of no point records nothing.
    history_->RecordRemoveAll({});
    EXPECT_EQ(Bytes(*history_), expected);
    EXPECT_EQ(history_->Position(), 4);
}

TEST_F(EditHistoryTest, ANewActionOverwritesTheUndoneOnesFromTheEndHeader)
{
    history_->RecordAdd({1, 2});
    history_->RecordMove({3, 4}, {5, 6}, false);
    history_->PeekUndo();
    history_->UndoDone();
    history_->RecordDelete({7, 8});
    const std::string bytes = Bytes(*history_);
    const std::string written =
        Header(1, 1, 0, 0) + Item(1, {1, 2}) + Header(1, 2, 1, 1) + Item(0xFF, {7, 8}) + Header(0, 0, 1, 2);
    EXPECT_EQ(bytes.substr(0, written.size()), written);
    EXPECT_FALSE(history_->CanRedo());
    EXPECT_EQ(history_->PeekUndo().items, (std::vector<HistoryItem>{{false, {7, 8}}}));
}

// ---------------------------------------------------------------- merging

TEST_F(EditHistoryTest, ADragOfManyMovesIsOneSixtyFourByteAction)
{
    history_->RecordAdd({0.5, 0.5});
    history_->RecordMove({1, 1}, {2, 2}, false);
    for (int step = 2; step < 50; ++step)
        history_->RecordMove({double(step), double(step)}, {step + 1.0, step + 1.0}, true);
    const std::string expected = Header(1, 1, 0, 0) + Item(1, {0.5, 0.5}) + Header(2, 3, 1, 1) +
                                 Item(0xFF, {1, 1}) + Item(1, {50, 50}) + Header(0, 0, 2, 3);
    EXPECT_EQ(Bytes(*history_), expected);
    EXPECT_EQ(history_->Position(), 2);
    EXPECT_EQ(history_->RedoLimit(), 2);
    EXPECT_EQ(history_->UndoCaption(), "Undo Move point (2)");
}

TEST_F(EditHistoryTest, AMoveThatDoesNotContinueTheLastOneIsANewAction)
{
    history_->RecordMove({1, 1}, {2, 2}, false);
    // Another point, though merging is asked for.
    history_->RecordMove({5, 5}, {6, 6}, true);
    EXPECT_EQ(history_->Position(), 2);
    // The same point, but merging is not asked for.
    history_->RecordMove({6, 6}, {7, 7}, false);
    EXPECT_EQ(history_->Position(), 3);
    // Merging after another kind of action.
    history_->RecordAdd({8, 8});
    history_->RecordMove({8, 8}, {9, 9}, true);
    EXPECT_EQ(history_->Position(), 5);
    EXPECT_EQ(Bytes(*history_).size(), std::size_t(16 + 48 + 16 + 48 + 16 + 48 + 16 + 24 + 16 + 48 + 16));
}

TEST_F(EditHistoryTest, AMergedMoveAfterAnUndoDropsTheRedoInsteadOfRewritingTheMoveBelowIt)
{
    history_->RecordMove({1, 1}, {2, 2}, false);
    history_->RecordMove({2, 2}, {3, 3}, false);
    history_->PeekUndo();
    history_->UndoDone();
    // The point is back at (2, 2), the end of the first move.
    history_->RecordMove({2, 2}, {4, 4}, true);
    EXPECT_EQ(history_->Position(), 2);
    EXPECT_EQ(history_->RedoLimit(), 2);
    EXPECT_EQ(history_->PeekUndo().items, (std::vector<HistoryItem>{{false, {2, 2}}, {true, {4, 4}}}));
    history_->UndoDone();
    EXPECT_EQ(history_->PeekUndo().items, (std::vector<HistoryItem>{{false, {1, 1}}, {true, {2, 2}}}));
}

// ---------------------------------------------------------------- captions

TEST_F(EditHistoryTest, ThreeEditsAndTwoUndosCountOneToUndoAndTwoToRedo)
{
    history_->RecordAdd({1, 1});
    EXPECT_EQ(history_->UndoCaption(), "Undo Add point (1)");
    history_->RecordDelete({1, 1});
    history_->RecordMove({2, 2}, {3, 3}, false);
    EXPECT_EQ(history_->UndoCaption(), "Undo Move point (3)");
    EXPECT_EQ(history_->RedoCaption(), "Redo (0)");

    EXPECT_EQ(history_->PeekUndo().type, EditAction::MovePoint);
    history_->UndoDone();
    EXPECT_EQ(history_->PeekUndo().type, EditAction::DeletePoint);
    history_->UndoDone();
    EXPECT_EQ(history_->UndoCaption(), "Undo Add point (1)");
    EXPECT_EQ(history_->RedoCaption(), "Redo Delete point (2)");
    EXPECT_TRUE(history_->CanUndo());
    EXPECT_TRUE(history_->CanRedo());

    // Redo reads the undone actions again, in order.
    EXPECT_EQ(history_->PeekRedo().type, EditAction::DeletePoint);
    history_->RedoDone();
    EXPECT_EQ(history_->UndoCaption(), "Undo Delete point (2)");
    EXPECT_EQ(history_->RedoCaption(), "Redo Move point (1)");
    EXPECT_EQ(history_->PeekUndo().type, EditAction::DeletePoint);
    history_->UndoDone();

    // A new edit drops what could be redone.
    history_->RecordRemoveAll({{4, 4}});
    EXPECT_FALSE(history_->CanRedo());
    EXPECT_EQ(history_->RedoCaption(), "Redo (0)");
    EXPECT_EQ(history_->UndoCaption(), "Undo Remove all (2)");
    EXPECT_EQ(history_->PeekRedo().type, EditAction::None);
}

TEST_F(EditHistoryTest, OnlyThePeekedDirectionMovesTheHistory)
{
    history_->RecordAdd({1, 1});
    history_->RecordAdd({2, 2});
    history_->PeekUndo();
    history_->RedoDone(); // nothing peeked for a redo
    EXPECT_EQ(history_->Position(), 2);
    history_->UndoDone();
    history_->UndoDone(); // once per peek
    EXPECT_EQ(history_->Position(), 1);
    history_->PeekRedo();
    history_->RecordAdd({3, 3}); // a new action forgets the peek
    history_->RedoDone();
    EXPECT_EQ(history_->Position(), 2);
    EXPECT_EQ(history_->RedoLimit(), 2);
}

// ---------------------------------------------------------------- damage

TEST_F(EditHistoryTest, ATruncatedActionIsAReadingErrorAndEndsTheHistory)
{
    history_->RecordAdd({1, 1});
    history_->RecordDelete({1, 1});
    std::filesystem::resize_file(history_->path(), 16 + 24 + 20);
    EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::FileReadingError);
    EXPECT_FALSE(history_->CanUndo());
    EXPECT_EQ(ErrorOf([&] { history_->RecordAdd({2, 2}); }), msg::FileReadingError);
}

TEST_F(EditHistoryTest, AnUndoneActionCutOffIsAReadingErrorOnRedo)
{
    history_->RecordAdd({1, 1});
    history_->RecordRemoveAll({{1, 1}, {2, 2}, {3, 3}});
    history_->PeekUndo();
    history_->UndoDone();
    std::filesystem::resize_file(history_->path(), 16 + 24 + 16 + 24);
    EXPECT_EQ(ErrorOf([&] { history_->PeekRedo(); }), msg::FileReadingError);
    EXPECT_FALSE(history_->CanRedo());
}

TEST_F(EditHistoryTest, AHugeCountInADamagedHeaderIsAReadingErrorNotAnAllocation)
{
    history_->RecordAdd({1, 1});
    history_->RecordRemoveAll({{1, 1}, {2, 2}});
    history_->PeekUndo();
    history_->UndoDone();
    // 2^31 - 1 items would be 48 GiB.
    Damage(*history_, 16 + 24, Header(0x7FFFFFFF, 4, 1, 1));
    EXPECT_EQ(ErrorOf([&] { history_->PeekRedo(); }), msg::FileReadingError);
}

TEST_F(EditHistoryTest, OverwrittenActionsAreUnknown)
{
    history_->RecordAdd({1, 1});
    history_->RecordMove({2, 2}, {3, 3}, false);
    const std::string intact = Bytes(*history_);
    const std::streamoff move = 16 + 24;

    // An item state that is neither 1 nor 0xFF.
    Damage(*history_, move + 16, "\x07");
    EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::UnknownAction);
    EXPECT_EQ(ErrorOf([&] { history_->RecordMove({3, 3}, {4, 4}, true); }), msg::UnknownAction);
    // Items in the wrong order for a move.
    Damage(*history_, move + 16, "\x01");
    Damage(*history_, move + 40, "\xFF");
    EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::UnknownAction);
    EXPECT_EQ(ErrorOf([&] { history_->RecordMove({3, 3}, {4, 4}, true); }), msg::UnknownAction);
    // A header that does not match the action done.
    Damage(*history_, 0, intact);
    Damage(*history_, move, Header(2, 4, 1, 1));
    EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::UnknownAction);
    // A previous action that would start before the file.
    Damage(*history_, move, Header(2, 3, 5, 4));
    EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::UnknownAction);

    // None of these changed the history: repaired, it undoes as before.
    EXPECT_EQ(history_->Position(), 2);
    Damage(*history_, 0, intact);
    EXPECT_EQ(history_->PeekUndo().items, (std::vector<HistoryItem>{{false, {2, 2}}, {true, {3, 3}}}));
    history_->UndoDone();

    // An undone action whose header no longer follows the action done.
    Damage(*history_, move, Header(2, 3, 1, 2));
    EXPECT_EQ(ErrorOf([&] { history_->PeekRedo(); }), msg::UnknownAction);
    Damage(*history_, move, Header(3, 3, 1, 1));
    EXPECT_EQ(ErrorOf([&] { history_->PeekRedo(); }), msg::UnknownAction);
    EXPECT_EQ(history_->Position(), 1);
}

// ---------------------------------------------------------------- files

TEST(EditHistoryFiles, TwoHistoriesInOneFolderUseTwoFilesAndEachDeletesItsOwn)
{
    test::TempDir dir("histories");
    auto a = EditHistory::Create(dir.path());
    auto b = EditHistory::Create(dir.path());
    EXPECT_NE(a->path(), b->path());
    EXPECT_EQ(a->path().parent_path(), dir.path());
    EXPECT_NE(a->path().filename().string().find(std::to_string(ProcessId())), std::string::npos);
    a->RecordAdd({1, 1});
    EXPECT_EQ(Bytes(*b), std::string(16, '\0'));
    EXPECT_EQ(dir.FileCount(), 2u);

    const auto bPath = b->path();
    a.reset();
    EXPECT_EQ(dir.FileCount(), 1u);
    EXPECT_TRUE(std::filesystem::exists(bPath));
    b.reset();
    EXPECT_EQ(dir.FileCount(), 0u);
}

TEST(EditHistoryFiles, TheDefaultFolderIsTheTemporaryOneAndAFolderThatCannotBeMadeFails)
{
    auto h = EditHistory::Create();
    EXPECT_EQ(h->path().parent_path(), std::filesystem::temp_directory_path());
    h.reset();

    test::TempDir dir("history-blocked");
    test::WriteFile(dir / "file", "x");
    EXPECT_EQ(ErrorOf([&] { EditHistory::Create(dir / "file" / "sub"); }), msg::ImpossibleToOpen);
}

// ---------------------------------------------------------------- on a map

class EditHistoryMapTest : public EditHistoryTest {
protected:
    void SetUp() override
    {
        map_ = test::Create(factory_, test::RandomPoints(150, 21));
        ASSERT_TRUE(map_);
    }
    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
};

TEST_F(EditHistoryMapTest, UndoOfRemoveAllRecreatesThePointsInReverseOrderAndRedoRemovesThem)
{
    Editor ed{factory_, *map_, *history_};
    const std::vector<MXY> before = ed.Virtuals();
    ASSERT_GT(before.size(), 3u);
    ed.RemoveAll();
    ASSERT_EQ(map_->V(), 0);

    EXPECT_EQ(ed.Undo(), -1);
    std::vector<MXY> reversed(before.rbegin(), before.rend());
    EXPECT_EQ(ed.Virtuals(), reversed);
    EXPECT_TRUE(test::MapIsValid(*map_));
    EXPECT_EQ(history_->Position(), 0);

    EXPECT_EQ(ed.Redo(), -1);
    EXPECT_EQ(map_->V(), 0);
    EXPECT_TRUE(test::MapIsValid(*map_));
    EXPECT_EQ(history_->UndoCaption(), "Undo Remove all (1)");
}

TEST_F(EditHistoryMapTest, UndoAndRedoOfEveryKindRestoreTheVirtualPoints)
{
    Editor ed{factory_, *map_, *history_};
    std::vector<std::vector<MXY>> states{Sorted(ed.Virtuals())};
    ed.Add({500.25, 480.5});
    states.push_back(Sorted(ed.Virtuals()));
    ed.Move(0, {300.5, 600.25}, false);
    states.push_back(Sorted(ed.Virtuals()));
    ed.Delete(2);
    states.push_back(Sorted(ed.Virtuals()));
    ed.RemoveAll();
    states.push_back(Sorted(ed.Virtuals()));
    ASSERT_EQ(history_->Position(), 4);

    // Undo highlights the re-created point of a move or a deletion, redo the
    // created point of an addition or a move.
    const bool undoHighlights[] = {false, true, true, false};
    for (int i = 4; i > 0; --i) {
        const std::int32_t s = ed.Undo();
        EXPECT_EQ(s, undoHighlights[i - 1] ? map_->V() - 1 : -1) << "undo " << i;
        EXPECT_EQ(Sorted(ed.Virtuals()), states[std::size_t(i) - 1]) << "undo " << i;
        EXPECT_TRUE(test::MapIsValid(*map_));
    }
    EXPECT_EQ(history_->Position(), 0);
    const bool redoHighlights[] = {true, true, false, false};
    for (int i = 1; i <= 4; ++i) {
        const std::int32_t s = ed.Redo();
        EXPECT_EQ(s, redoHighlights[i - 1] ? map_->V() - 1 : -1) << "redo " << i;
        EXPECT_EQ(Sorted(ed.Virtuals()), states[std::size_t(i)]) << "redo " << i;
        EXPECT_TRUE(test::MapIsValid(*map_));
    }
    EXPECT_FALSE(history_->CanRedo());
}

// The virtual points in list order and the neighbours around every cell (a
// rebuilt cell may start at another vertex, and its circumcentres may differ
// in the last bit, so the map bytes are not compared).
struct MapShape {
    std::vector<MXY> virtuals;
    std::vector<std::vector<std::int32_t>> neighbours;
    bool operator==(const MapShape&) const = default;
};

MapShape ShapeOf(const Editor& ed)
{
    MapShape shape{ed.Virtuals(), {}};
    for (const MPolygon& cell : ed.map.cells) {
        std::vector<std::int32_t> ring = cell.neighbours;
        std::rotate(ring.begin(), std::min_element(ring.begin(), ring.end()), ring.end());
        shape.neighbours.push_back(ring);
    }
    return shape;
}

TEST_F(EditHistoryMapTest, UndoingAndRedoingADragGivesTheSameMap)
{
    Editor ed{factory_, *map_, *history_};
    const MapShape initial = ShapeOf(ed);
    ed.Add({500.25, 480.5});
    std::int32_t slot = ed.Move(map_->V() - 1, {510.5, 470.25}, false);
    slot = ed.Move(slot, {520.75, 460.0}, true);
    ed.Move(slot, {530.0, 450.5}, true);
    const MapShape dragged = ShapeOf(ed);
    ASSERT_EQ(history_->Position(), 2);
    EXPECT_EQ(history_->UndoCaption(), "Undo Move point (2)");

    // The whole drag goes back in one step.
    ed.Undo();
    EXPECT_EQ(ed.At(map_->V() - 1), (MXY{500.25, 480.5}));
    ed.Undo();
    EXPECT_TRUE(ShapeOf(ed) == initial);
    ed.Redo();
    ed.Redo();
    EXPECT_TRUE(ShapeOf(ed) == dragged);
    EXPECT_TRUE(test::MapIsValid(*map_));
}

TEST_F(EditHistoryMapTest, AMissingPointFailsTheUndoAndLeavesTheHistoryWhereItWas)
{
    Editor ed{factory_, *map_, *history_};
    const MXY p{500.25, 480.5};
    ed.Add(p);
    factory_.RemoveVirtualPoint(*map_, map_->V() - 1); // behind the history's back

    const HistoryAction undo = history_->PeekUndo();
    EXPECT_EQ(ErrorOf([&] { UndoAction(*map_, factory_, undo); }), msg::VirtualPointNotFound);
    EXPECT_EQ(history_->Position(), 1);
    EXPECT_EQ(history_->UndoCaption(), "Undo Add point (1)");

    // Once the point is back the same undo goes through.
    factory_.AddVirtualPoint(*map_, p.x, p.y);
    const std::int32_t v = map_->V();
    EXPECT_EQ(ed.Undo(), -1);
    EXPECT_EQ(map_->V(), v - 1);
    EXPECT_EQ(history_->Position(), 0);

    // The same on redo: a move whose start is gone.
    ed.Move(0, {300.5, 600.25}, false);
    ed.Undo();
    factory_.RemoveVirtualPoint(*map_, map_->V() - 1);
    const HistoryAction redo = history_->PeekRedo();
    EXPECT_EQ(ErrorOf([&] { RedoAction(*map_, factory_, redo); }), msg::VirtualPointNotFound);
    EXPECT_EQ(history_->Position(), 0);
    EXPECT_TRUE(history_->CanRedo());
}

} // namespace
