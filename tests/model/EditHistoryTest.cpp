#include "model/EditHistory.h"

#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "model/MMapFactory.h"
#include "model/Messages.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

using namespace sundrel;

namespace {

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

// Overwrites bytes of the history file in place, as a damaged disk would.
void Damage(const EditHistory& h, std::streamoff offset, const std::string& bytes)
{
    std::fstream f(h.path(), std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(offset);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
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

class EditHistoryTest : public ::testing::Test {
protected:
    std::string Bytes() const { return test::ReadFile(history_->path()); }
    void Undo()
    {
        history_->PeekUndo();
        history_->UndoDone();
    }
    test::TempDir dir_{"history"};
    std::unique_ptr<EditHistory> history_ = EditHistory::Create(dir_.path());
};

TEST_F(EditHistoryTest, ActionsAreChainedHeadersAndItemsBeforeAnEndHeader)
{
    EXPECT_EQ(Bytes(), std::string(16, '\0'));
    history_->RecordAdd({1.5, -2.0});
    const unsigned char add[] = {
        0x01, 0, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,                  // 1 item, add
        0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F,              // exists, 1.5
        0, 0, 0, 0, 0, 0, 0, 0xC0,                                              // -2.0
        0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0, 0, 0, 0x01, 0, 0, 0};                 // end, after add
    EXPECT_EQ(Bytes(), std::string(reinterpret_cast<const char*>(add), sizeof add));

    history_->RecordDelete({3, 4});
    history_->RecordMove({5, 6}, {7, 8}, false);
    history_->RecordRemoveAll({{9, 10}, {11, 12}});
    history_->RecordRemoveAll({}); // records nothing
    EXPECT_EQ(Bytes(), Header(1, 1, 0, 0) + Item(1, {1.5, -2}) + Header(1, 2, 1, 1) +
                           Item(0xFF, {3, 4}) + Header(2, 3, 1, 2) + Item(0xFF, {5, 6}) +
                           Item(1, {7, 8}) + Header(2, 4, 2, 3) + Item(0xFF, {9, 10}) +
                           Item(0xFF, {11, 12}) + Header(0, 0, 2, 4));
    EXPECT_EQ(history_->Position(), 4);

    // The next action after an undo overwrites the undone one.
    Undo();
    history_->RecordAdd({0, 0});
    EXPECT_EQ(Bytes().substr(16 + 24 + 16 + 24 + 16 + 48, 16 + 24 + 16),
              Header(1, 1, 2, 3) + Item(1, {0, 0}) + Header(0, 0, 1, 1));
}

TEST_F(EditHistoryTest, ADragIsOneSixtyFourByteActionAndAnotherMoveIsANewOne)
{
    history_->RecordAdd({0.5, 0.5});
    history_->RecordMove({1, 1}, {2, 2}, false);
    for (int step = 2; step < 50; ++step)
        history_->RecordMove({double(step), double(step)}, {step + 1.0, step + 1.0}, true);
    EXPECT_EQ(Bytes().substr(40), Header(2, 3, 1, 1) + Item(0xFF, {1, 1}) + Item(1, {50, 50}) +
                                      Header(0, 0, 2, 3));
    EXPECT_EQ(history_->Position(), 2);
    EXPECT_EQ(history_->RedoLimit(), 2);

    history_->RecordMove({7, 7}, {8, 8}, true);   // another point
    history_->RecordMove({8, 8}, {9, 9}, false);  // not merging
    history_->RecordAdd({10, 10});
    history_->RecordMove({10, 10}, {11, 11}, true); // after an add
    EXPECT_EQ(history_->Position(), 6);
    EXPECT_EQ(Bytes().size(), 40u + 4 * 64 + 40 + 16);
}

TEST_F(EditHistoryTest, AMergedMoveAfterAnUndoDropsTheRedoInsteadOfRewritingTheMoveBelow)
{
    history_->RecordMove({1, 1}, {2, 2}, false);
    history_->RecordMove({2, 2}, {3, 3}, false);
    Undo();
    history_->RecordMove({2, 2}, {4, 4}, true);
    EXPECT_EQ(history_->Position(), 2);
    EXPECT_FALSE(history_->CanRedo());
    EXPECT_EQ(history_->PeekUndo().items, (std::vector<HistoryItem>{{false, {2, 2}}, {true, {4, 4}}}));
}

TEST_F(EditHistoryTest, ThreeEditsAndTwoUndosCountOneToUndoAndTwoToRedo)
{
    EXPECT_EQ(history_->UndoCaption(), "Undo (0)");
    history_->RecordAdd({1, 1});
    history_->RecordDelete({1, 1});
    history_->RecordMove({2, 2}, {3, 3}, false);
    EXPECT_EQ(history_->UndoCaption(), "Undo Move point (3)");
    EXPECT_EQ(history_->RedoCaption(), "Redo (0)");
    Undo();
    Undo();
    EXPECT_EQ(history_->UndoCaption(), "Undo Add point (1)");
    EXPECT_EQ(history_->RedoCaption(), "Redo Delete point (2)");

    // Only the direction peeked moves, once per peek.
    EXPECT_EQ(history_->PeekRedo().type, EditAction::DeletePoint);
    history_->UndoDone();
    history_->RedoDone();
    history_->RedoDone();
    EXPECT_EQ(history_->UndoCaption(), "Undo Delete point (2)");
    EXPECT_EQ(history_->RedoCaption(), "Redo Move point (1)");

    history_->RecordRemoveAll({{4, 4}});
    EXPECT_FALSE(history_->CanRedo());
    EXPECT_EQ(history_->RedoCaption(), "Redo (0)");
    EXPECT_EQ(history_->UndoCaption(), "Undo Remove all (3)");
}

TEST_F(EditHistoryTest, DamagedActionsAreUnknownAndShortOnesAreReadingErrors)
{
    history_->RecordAdd({1, 1});
    history_->RecordMove({2, 2}, {3, 3}, false);
    const std::string intact = Bytes();
    const std::streamoff move = 16 + 24;
    for (const auto& [offset, bytes] : std::vector<std::pair<std::streamoff, std::string>>{
             {move + 16, "\x07"},                   // a state neither 1 nor 0xFF
             {move + 16, "\x01"},                   // a move's items out of order
             {move, Header(2, 4, 1, 1)},            // not the action done
             {move, Header(2, 3, 5, 4)}}) {         // a previous action before the file
        Damage(*history_, 0, intact);
        Damage(*history_, offset, bytes);
        EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::UnknownAction);
    }
    Damage(*history_, move + 16, "\x01");
    EXPECT_EQ(ErrorOf([&] { history_->RecordMove({3, 3}, {4, 4}, true); }), msg::UnknownAction);

    // None of that moved the history: repaired, it undoes as before.
    Damage(*history_, 0, intact);
    Undo();
    EXPECT_EQ(history_->Position(), 1);
    Damage(*history_, move, Header(2, 3, 1, 2)); // no longer follows the action done
    EXPECT_EQ(ErrorOf([&] { history_->PeekRedo(); }), msg::UnknownAction);
    // 2^31 - 1 items are not allocated but found beyond the file's end.
    Damage(*history_, move, Header(0x7FFFFFFF, 4, 1, 1));
    EXPECT_EQ(ErrorOf([&] { history_->PeekRedo(); }), msg::FileReadingError);
    // A reading error ends the history.
    EXPECT_FALSE(history_->CanUndo());
    EXPECT_EQ(ErrorOf([&] { history_->RecordAdd({5, 5}); }), msg::FileReadingError);
}

TEST_F(EditHistoryTest, ATruncatedActionIsAReadingError)
{
    history_->RecordAdd({1, 1});
    history_->RecordDelete({1, 1});
    std::filesystem::resize_file(history_->path(), 16 + 24 + 20);
    EXPECT_EQ(ErrorOf([&] { history_->PeekUndo(); }), msg::FileReadingError);
}

TEST(EditHistoryFiles, TwoHistoriesInOneFolderUseTwoFilesAndEachDeletesItsOwn)
{
    test::TempDir dir("histories");
    auto a = EditHistory::Create(dir.path());
    auto b = EditHistory::Create(dir.path());
    EXPECT_NE(a->path(), b->path());
    a->RecordAdd({1, 1});
    EXPECT_EQ(test::ReadFile(b->path()), std::string(16, '\0'));
    const auto bPath = b->path();
    a.reset();
    EXPECT_EQ(dir.FileCount(), 1u);
    EXPECT_TRUE(std::filesystem::exists(bPath));
    b.reset();
    EXPECT_EQ(dir.FileCount(), 0u);

    // The history left by a copy that was killed goes with the next one
    // made in its folder; a running copy's stays.
    const pid_t ended = ::fork();
    if (ended == 0)
        ::_exit(0);
    ::waitpid(ended, nullptr, 0);
    const std::string left = "SundrelHistory_" + std::to_string(ended) + "_3.tmp";
    const std::string running = "SundrelHistory_" + std::to_string(::getppid()) + "_3.tmp";
    test::WriteFile(dir / left, "left");
    test::WriteFile(dir / running, "running");
    auto c = EditHistory::Create(dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir / left));
    EXPECT_TRUE(std::filesystem::exists(dir / running));
    c.reset();
    std::filesystem::remove(dir / running);

    EXPECT_EQ(EditHistory::Create()->path().parent_path(), std::filesystem::temp_directory_path());
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
    MXY At(std::int32_t slot) const { return map_->mesh.xy(map_->GetVirtualPoint(slot)); }
    std::vector<MXY> Virtuals() const
    {
        std::vector<MXY> v;
        for (std::int32_t k = 0; k < map_->V(); ++k)
            v.push_back(At(k));
        return v;
    }
    // Edits as the editor makes them: a move is recorded before it is made.
    std::int32_t Move(std::int32_t slot, MXY to, bool merge)
    {
        history_->RecordMove(At(slot), to, merge);
        factory_.RemoveVirtualPoint(*map_, slot);
        factory_.AddVirtualPoint(*map_, to.x, to.y);
        return map_->V() - 1;
    }
    std::int32_t UndoOnMap()
    {
        const std::int32_t slot = UndoAction(*map_, factory_, history_->PeekUndo());
        history_->UndoDone();
        return slot;
    }
    std::int32_t RedoOnMap()
    {
        const std::int32_t slot = RedoAction(*map_, factory_, history_->PeekRedo());
        history_->RedoDone();
        return slot;
    }
    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
};

TEST_F(EditHistoryMapTest, UndoOfRemoveAllRecreatesThePointsInReverseOrderAndRedoRemovesThem)
{
    const std::vector<MXY> before = Virtuals();
    history_->RecordRemoveAll(before);
    factory_.RemoveAllVirtualPoints(*map_);
    EXPECT_EQ(UndoOnMap(), -1);
    EXPECT_EQ(Virtuals(), std::vector<MXY>(before.rbegin(), before.rend()));
    EXPECT_TRUE(test::MapIsValid(*map_));
    EXPECT_EQ(RedoOnMap(), -1);
    EXPECT_EQ(map_->V(), 0);
}

TEST_F(EditHistoryMapTest, UndoAndRedoOfEveryKindRestoreTheVirtualPoints)
{
    const auto sorted = [&] {
        std::vector<MXY> v = Virtuals();
        std::sort(v.begin(), v.end(), [](MXY a, MXY b) { return a.x != b.x ? a.x < b.x : a.y < b.y; });
        return v;
    };
    std::vector<std::vector<MXY>> states{sorted()};
    factory_.AddVirtualPoint(*map_, 500.25, 480.5);
    history_->RecordAdd({500.25, 480.5});
    states.push_back(sorted());
    std::int32_t slot = Move(map_->V() - 1, {510.5, 470.25}, false); // a drag of it
    slot = Move(slot, {520.75, 460.0}, true);
    Move(slot, {530.0, 450.5}, true);
    states.push_back(sorted());
    Move(0, {300.5, 600.25}, false);
    states.push_back(sorted());
    history_->RecordDelete(At(2));
    factory_.RemoveVirtualPoint(*map_, 2);
    states.push_back(sorted());
    ASSERT_EQ(history_->Position(), 4);

    // Undo highlights the re-created point of a move or a deletion, redo the
    // created point of an addition or a move.
    const bool undoHighlights[] = {false, true, true, true};
    for (int i = 4; i > 0; --i) {
        const std::int32_t highlighted = UndoOnMap();
        EXPECT_EQ(highlighted, undoHighlights[i - 1] ? map_->V() - 1 : -1) << "undo " << i;
        EXPECT_EQ(sorted(), states[std::size_t(i) - 1]) << "undo " << i;
    }
    EXPECT_TRUE(test::MapIsValid(*map_));
    const bool redoHighlights[] = {true, true, true, false};
    for (int i = 1; i <= 4; ++i) {
        const std::int32_t highlighted = RedoOnMap();
        EXPECT_EQ(highlighted, redoHighlights[i - 1] ? map_->V() - 1 : -1) << "redo " << i;
        EXPECT_EQ(sorted(), states[std::size_t(i)]) << "redo " << i;
    }
    EXPECT_TRUE(test::MapIsValid(*map_));
}

TEST_F(EditHistoryMapTest, AMissingPointFailsTheUndoAndLeavesTheHistoryWhereItWas)
{
    Move(0, {300.5, 600.25}, false);
    factory_.RemoveVirtualPoint(*map_, map_->V() - 1); // behind the history's back
    const HistoryAction undo = history_->PeekUndo();
    EXPECT_EQ(ErrorOf([&] { UndoAction(*map_, factory_, undo); }), msg::VirtualPointNotFound);
    EXPECT_EQ(history_->Position(), 1);
    EXPECT_EQ(history_->UndoCaption(), "Undo Move point (1)");

    factory_.AddVirtualPoint(*map_, 300.5, 600.25);
    const std::int32_t slot = UndoOnMap();
    EXPECT_EQ(slot, map_->V() - 1);
    EXPECT_EQ(history_->Position(), 0);
}

} // namespace
