// Temporary files on a shared machine: another user who creates the name a
// temporary file will take first (a file of theirs, or a symbolic link to a
// file of theirs) gets nothing opened, written or removed; the temporary
// file takes the next name, readable by its user alone.

#include "common/AtomicFile.h"
#include "common/PrivateFiles.h"
#include "matrix/MatrixFile.h"
#include "model/EditHistory.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

using namespace sundrel;
namespace fs = std::filesystem;

namespace {

unsigned Mode(const fs::path& p)
{
    struct stat st {};
    EXPECT_EQ(::lstat(p.c_str(), &st), 0) << p;
    return st.st_mode & 07777;
}

// "NAME<n>SUFFIX" with the number after `marker` one higher.
fs::path NextCounter(const fs::path& name, char marker, const std::string& suffix)
{
    const std::string text = name.string();
    const std::size_t end = text.size() - suffix.size();
    const std::size_t start = text.rfind(marker, end) + 1;
    return text.substr(0, start) + std::to_string(std::stoull(text.substr(start, end - start)) + 1) +
           suffix;
}

// The names another user made first: a file of theirs, writable by all,
// and a symbolic link to a file of theirs.
class Planted {
public:
    Planted(const test::TempDir& dir, const fs::path& asFile, const fs::path& asLink)
        : file_(asFile), link_(asLink), victim_(dir / "victim.txt")
    {
        test::WriteFile(file_, "theirs");
        fs::permissions(file_, fs::perms(0666));
        test::WriteFile(victim_, "victim");
        fs::create_symlink(victim_, link_);
    }
    // Neither was opened, written or removed.
    void ExpectUntouched() const
    {
        EXPECT_EQ(test::ReadFile(file_), "theirs");
        EXPECT_EQ(Mode(file_), 0666u);
        EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link_)));
        EXPECT_EQ(test::ReadFile(victim_), "victim");
    }

private:
    fs::path file_, link_, victim_;
};

class TemporaryFiles : public ::testing::Test {
protected:
    test::TempDir dir_{"temporary-files"};
};

TEST_F(TemporaryFiles, SavedFilesTakeTheNextNameAndTheTargetsMode)
{
    const fs::path target = dir_ / "doc.dvt";
    // The siblings the next two saves would take.
    const fs::path first = NextCounter(TemporarySibling(target), '-', ".tmp");
    const fs::path second = NextCounter(first, '-', ".tmp");
    const Planted planted(dir_, first, second);
    {
        AtomicFile file(target);
        EXPECT_NE(file.temporaryPath(), first);
        EXPECT_NE(file.temporaryPath(), second);
        EXPECT_EQ(Mode(file.temporaryPath()), 0600u); // the user's alone while written
        file.stream() << "new document";
        file.commit();
    }
    planted.ExpectUntouched();
    EXPECT_EQ(test::ReadFile(target), "new document");
    const mode_t mask = ::umask(022);
    ::umask(mask);
    EXPECT_EQ(Mode(target), 0666u & ~mask); // a new file's mode, as before

    // A replaced file keeps its mode, and a C stream writes after stream().
    fs::permissions(target, fs::perms(0640));
    {
        AtomicFile file(target);
        file.stream() << "head ";
        std::fputs("tail", file.cStream());
        file.commit();
    }
    EXPECT_EQ(test::ReadFile(target), "head tail");
    EXPECT_EQ(Mode(target), 0640u);
}

TEST_F(TemporaryFiles, MatrixStoresNeverOpenANameThatExists)
{
    const fs::path first = TemporaryMatrixFileName(dir_.path());
    const fs::path second = TemporaryMatrixFileName(dir_.path());
    const Planted planted(dir_, first, second);
    for (const fs::path& name : {first, second}) {
        SCOPED_TRACE(name);
        MatrixFile store(name);
        store.initialize(3);
        SMatrix m;
        m.assign(3, {1, 2, 3});
        store.writeMatrix(m);
        EXPECT_NE(store.fileName(), first);
        EXPECT_NE(store.fileName(), second);
        EXPECT_EQ(store.fileName().parent_path(), dir_.path());
        EXPECT_EQ(store.fileName().filename().string().rfind("Monmonier_", 0), 0u);
        EXPECT_EQ(Mode(store.fileName()), 0600u);
        EXPECT_EQ(store.readDistance(0, 2), 3);
        const fs::path used = store.fileName();
        store.close();
        EXPECT_FALSE(fs::exists(used)); // its own file goes
    }
    planted.ExpectUntouched();
}

TEST_F(TemporaryFiles, EditHistoriesNeverOpenANameThatExists)
{
    const auto probe = EditHistory::Create(dir_.path());
    const fs::path first = NextCounter(probe->path(), '_', ".tmp");
    const fs::path second = NextCounter(first, '_', ".tmp");
    const Planted planted(dir_, first, second);
    {
        const auto history = EditHistory::Create(dir_.path());
        EXPECT_EQ(history->path(), NextCounter(second, '_', ".tmp"));
        EXPECT_EQ(Mode(history->path()), 0600u);
    }
    planted.ExpectUntouched();
}

// What a process killed outright leaves (a file, a folder of GIS layers) is
// removed by the next one; the signal handler's removal takes a folder with
// its files.
TEST_F(TemporaryFiles, FoldersOfEndedProcessesAndRegisteredFoldersGo)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    const std::string dead = std::to_string(child);
    const fs::path folder = dir_ / ("out.gpkg.~" + dead + "-0.tmp");
    ASSERT_EQ(CreatePrivateFolder(folder), 0);
    EXPECT_EQ(Mode(folder), 0700u);
    EXPECT_EQ(CreatePrivateFolder(folder), EEXIST);
    test::WriteFile(folder / "out.gpkg", "partial");
    test::WriteFile(dir_ / ("doc.dvt.~" + dead + "-3.tmp"), "partial");
    const fs::path mine = dir_ / ("out.shp.~" + std::to_string(::getpid()) + "-9.tmp");
    ASSERT_EQ(CreatePrivateFolder(mine), 0);
    RemoveStaleTemporaryFiles(dir_.path());
    EXPECT_FALSE(fs::exists(folder));
    EXPECT_FALSE(fs::exists(dir_ / ("doc.dvt.~" + dead + "-3.tmp")));
    EXPECT_TRUE(fs::exists(mine));

    for (const char* name : {"out.sites.shp", "out.sites.dbf", "out.cells.shp"})
        test::WriteFile(mine / name, "partial");
    RegisterTemporaryFolder(mine);
    RemoveRegisteredTemporaryFiles();
    UnregisterTemporaryFile(mine);
    EXPECT_FALSE(fs::exists(mine));
}

} // namespace
