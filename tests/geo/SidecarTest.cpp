// The files beside a document: written, replaced and removed together with
// it, left exactly as they were by a failed save, read back with warnings
// rather than failures, and the backdrop list in its text form.

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Job.h"
#include "geo/Sidecar.h"
#include "model/MapDocument.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace sundrel;
using namespace sundrel::geo;

class Sidecars : public ::testing::Test {
protected:
    void SetUp() override
    {
        map_ = test::Create(factory_, test::RandomPoints(30, 7, 1e5));
        ASSERT_TRUE(map_);
    }
    fs::path Doc() const { return dir_ / "study.dvt"; }
    void Save(const DocumentGeography& g, const JobHooks* hooks = nullptr)
    {
        geo::SaveMapDocument(Doc(), g, BuildHeader(*map_), *map_, factory_, hooks);
    }
    // What the folder holds, temporary files included.
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static DocumentGeography Geography(const char* crs, std::vector<BackdropEntry> backdrops = {})
    {
        DocumentGeography g;
        if (crs)
            g.SetCrs(CoordinateSystem::FromText(crs));
        g.backdrops = std::move(backdrops);
        return g;
    }

    test::TempDir dir_{"geo-sidecars"};
    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
};

TEST_F(Sidecars, WrittenReplacedAndRemovedWithTheDocument)
{
    const BackdropEntry coast{dir_ / "coast.geojson", {}};
    Save(Geography("EPSG:32632", {coast}));
    EXPECT_EQ(Files(), (std::vector<std::string>{"study.dvt", "study.dvt.backdrops", "study.dvt.prj"}));
    DocumentGeography read = ReadGeography(Doc());
    ASSERT_TRUE(read.crs);
    EXPECT_EQ(read.crs->Authority(), "EPSG:32632");
    EXPECT_EQ(read.crsText, test::ReadFile(CrsSidecar(Doc())));
    EXPECT_EQ(read.backdrops, std::vector<BackdropEntry>{coast});

    // Another system replaces the first; no backdrops take the list away.
    Save(Geography("EPSG:32633"));
    EXPECT_EQ(Files(), (std::vector<std::string>{"study.dvt", "study.dvt.prj"}));
    EXPECT_EQ(ReadGeography(Doc()).crs->Authority(), "EPSG:32633");

    // A document without a system: no sidecar, and the bytes of a plain save.
    Save(DocumentGeography{});
    EXPECT_EQ(Files(), std::vector<std::string>{"study.dvt"});
    const std::string bytes = test::ReadFile(Doc());
    sundrel::SaveMapDocument(dir_ / "plain.dvt", BuildHeader(*map_), *map_, factory_);
    EXPECT_EQ(bytes, test::ReadFile(dir_ / "plain.dvt"));
    EXPECT_TRUE(ReadGeography(Doc()).Empty());
}

// Another user's files under the names the temporary files of a save would
// take (the document's, the sidecars', those moved aside) are never opened,
// replaced or removed: each takes the next number.
TEST_F(Sidecars, TemporaryNamesThatExistAreLeftAlone)
{
    Save(Geography("EPSG:32632", {{dir_ / "coast.geojson", {}}}));
    const std::string sibling = TemporarySibling(Doc()).filename().string();
    const std::size_t dash = sibling.rfind('-');
    const std::string pid = sibling.substr(sibling.find(".~") + 2, dash - sibling.find(".~") - 2);
    const unsigned next = static_cast<unsigned>(std::stoul(sibling.substr(dash + 1))) + 1;
    std::vector<fs::path> planted;
    for (const char* name : {"study.dvt", "study.dvt.prj", "study.dvt.backdrops"})
        for (unsigned k = next; k < next + 12; ++k) {
            planted.push_back(dir_ / (std::string(name) + ".~" + pid + "-" + std::to_string(k) + ".tmp"));
            test::WriteFile(planted.back(), "theirs");
        }
    Save(Geography("EPSG:32633"));
    EXPECT_EQ(ReadGeography(Doc()).crs->Authority(), "EPSG:32633");
    EXPECT_FALSE(fs::exists(dir_ / "study.dvt.backdrops"));
    for (const fs::path& p : planted)
        EXPECT_EQ(test::ReadFile(p), "theirs") << p;
    EXPECT_EQ(Files().size(), 2 + planted.size());
}

TEST_F(Sidecars, AFailedSaveLeavesDocumentAndSidecarsAsTheyWere)
{
    Save(Geography("EPSG:32632", {{dir_ / "rivers.shp", {}}}));
    const auto before = Files();
    const std::string doc = test::ReadFile(Doc());
    const std::string prj = test::ReadFile(CrsSidecar(Doc()));
    const std::string list = test::ReadFile(BackdropSidecar(Doc()));
    auto unchanged = [&] {
        EXPECT_EQ(Files(), before);
        EXPECT_EQ(test::ReadFile(Doc()), doc);
        EXPECT_EQ(test::ReadFile(CrsSidecar(Doc())), prj);
        EXPECT_EQ(test::ReadFile(BackdropSidecar(Doc())), list);
    };

    // Cancelled while the document is written.
    JobFeedback cancelled;
    cancelled.cancel();
    JobHooks hooks;
    hooks.feedback = &cancelled;
    EXPECT_THROW(Save(Geography("EPSG:2056"), &hooks), Abort);
    unchanged();

    // The document cannot be replaced at the last moment (a folder took its
    // place): the sidecars already moved aside come back.
    {
        DocumentFiles files(Doc(), Geography("EPSG:2056"));
        WriteMapDocument(files.document(), BuildHeader(*map_), *map_, factory_);
        fs::rename(Doc(), dir_ / "held");
        fs::create_directories(Doc() / "inside");
        EXPECT_THROW(files.commit(), FileError);
        fs::remove_all(Doc());
        fs::rename(dir_ / "held", Doc());
    }
    unchanged();

    // A sidecar that cannot be written is refused before any work.
    fs::remove(BackdropSidecar(Doc()));
    fs::create_directory(BackdropSidecar(Doc()));
    EXPECT_THROW(Save(Geography("EPSG:2056", {{dir_ / "lakes.gpkg", {}}})), FileError);
    EXPECT_THROW(Save(Geography("EPSG:2056")), FileError); // one that must go cannot
    EXPECT_EQ(test::ReadFile(CrsSidecar(Doc())), prj);
    EXPECT_EQ(test::ReadFile(Doc()), doc);
}

TEST_F(Sidecars, ReadingWarnsAndCarriesWhatPROJCannotRead)
{
    Save(DocumentGeography{});
    test::WriteFile(CrsSidecar(Doc()), "PROJCRS[\"from a future version\"");
    test::WriteFile(BackdropSidecar(Doc()),
                    "# comment\n"
                    "visible=0 line=#ff0000 size=2 fill=none point=4 file=coast lines.shp\n"
                    "visible=1 line=red file=bad.shp\n"
                    "no file here\n"
                    "colour=#123456 future=yes file=/data/lakes.gpkg\r\n");
    std::vector<std::string> warnings;
    const DocumentGeography g = ReadGeography(Doc(), &warnings);
    EXPECT_FALSE(g.crs);
    EXPECT_EQ(g.crsText, "PROJCRS[\"from a future version\"");
    ASSERT_EQ(warnings.size(), 3u);
    EXPECT_EQ(warnings[0].rfind("The coordinate system file cannot be read: " + CrsSidecar(Doc()).string(), 0), 0u);
    EXPECT_EQ(warnings[1], "The backdrop list cannot be read: " + BackdropSidecar(Doc()).string() +
                               ", line 3 ('line=red')");
    EXPECT_NE(warnings[2].find(", line 4 (no file=)"), std::string::npos);
    ASSERT_EQ(g.backdrops.size(), 2u);
    EXPECT_EQ(g.backdrops[0].file, dir_ / "coast lines.shp");
    EXPECT_FALSE(g.backdrops[0].style.visible);
    EXPECT_FALSE(g.backdrops[0].style.filled);
    EXPECT_EQ(g.backdrops[0].style.lineColour, 0x000000FFu);
    EXPECT_EQ(g.backdrops[0].style.lineSize, 2.0f);
    EXPECT_EQ(g.backdrops[1].file, fs::path("/data/lakes.gpkg"));

    // Carried as it is to a document saved elsewhere, whose list names the
    // same files (outside its folder by their full names).
    fs::create_directory(dir_ / "copy");
    geo::SaveMapDocument(dir_ / "copy" / "other.dvt", g, BuildHeader(*map_), *map_, factory_);
    EXPECT_EQ(test::ReadFile(dir_ / "copy" / "other.dvt.prj"), g.crsText);
    const std::string list = test::ReadFile(dir_ / "copy" / "other.dvt.backdrops");
    EXPECT_NE(list.find("file=" + (dir_ / "coast lines.shp").string() + "\n"), std::string::npos)
        << list;
    EXPECT_EQ(ReadGeography(dir_ / "copy" / "other.dvt").backdrops, g.backdrops);
}

TEST(BackdropList, TextFormRoundTrip)
{
    BackdropStyle hidden;
    hidden.visible = false;
    hidden.lineColour = 0x00123456;
    hidden.lineSize = 1.25f;
    hidden.fillColour = 0x00ABCDEF;
    hidden.pointSize = 6.0f;
    BackdropStyle unfilled;
    unfilled.filled = false;
    const std::vector<BackdropEntry> list = {{"/maps/study/coast.geojson", hidden},
                                             {"/maps/study/sub/rivers.shp", unfilled},
                                             {"/elsewhere/borders.gpkg", {}}};
    const std::string text = FormatBackdropList(list, "/maps/study");
    EXPECT_NE(text.find("visible=0 line=#563412 size=1.25 fill=#efcdab point=6 file=coast.geojson\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("fill=none point=3 file=sub/rivers.shp\n"), std::string::npos);
    EXPECT_NE(text.find("file=/elsewhere/borders.gpkg\n"), std::string::npos);
    EXPECT_EQ(ParseBackdropList(text, "/maps/study", "list"), list);
    EXPECT_EQ(ParseColour("#a0B1c2"), 0x00C2B1A0u);
    for (const char* bad : {"a0b1c2", "#a0b1c", "#a0b1cz", "#a0b1c2d"})
        EXPECT_FALSE(ParseColour(bad)) << bad;
}

// Lists that read must write and read back to the same list.
TEST(BackdropList, WhatReadsSurvivesASave)
{
    const auto again = [](const std::vector<BackdropEntry>& list) {
        return ParseBackdropList(FormatBackdropList(list, "/d"), "/d", "list");
    };
    // A name ending in a carriage return keeps it through saves.
    const std::vector<BackdropEntry> cr = ParseBackdropList("file=x\r\r\n", "/d", "list");
    ASSERT_EQ(cr.size(), 1u);
    EXPECT_EQ(cr[0].file, "/d/x\r");
    EXPECT_EQ(again(cr), cr);
    EXPECT_EQ(again(again(cr)), cr);
    // "profile=" is a key of its own, not the file; the fill colour of an
    // unfilled backdrop is not kept, whatever the order of the fill fields.
    std::vector<std::string> warnings;
    const std::vector<BackdropEntry> list = ParseBackdropList(
        "profile=1 file=a b\nfill=#102030 fill=none file=c\nfill=none fill=#102030 file=e\n", "/d", "list",
        &warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].file, "/d/a b");
    EXPECT_FALSE(list[1].style.filled);
    EXPECT_TRUE(list[2].style.filled);
    EXPECT_EQ(list[2].style.fillColour, 0x00302010u);
    EXPECT_EQ(again(list), list);
    // A name with a line feed would become two lines: refused.
    EXPECT_THROW(FormatBackdropList({{"/d/a\nvisible=0 file=b", {}}}, "/d"), sundrel::Error);
}

} // namespace
