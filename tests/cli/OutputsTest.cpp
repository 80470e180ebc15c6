// What the command line writes: exactly the file named, of the kind its
// extension says, checked before any work, never damaged by a failure, a
// full disk or a signal; temporary files of dead processes cleaned up.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

// A process number that no process has: a child that has ended.
pid_t DeadProcess()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

std::vector<std::string> Temporaries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) {
        const std::string name = e.path().filename().string();
        if (name.find(".~") != std::string::npos || name.rfind("Monmonier_", 0) == 0)
            names.push_back(name);
    }
    return names;
}

class CliOutputs : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
        ASSERT_EQ(test::RunCli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o",
                                Map().string()})
                      .status,
                  0);
    }
    fs::path Map() const { return dir_ / "map.dvt"; }
    test::CliResult Analyse(const fs::path& out, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"analyse", Map().string(), kExamples + "/distances.txt", "-o",
                                      out.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::RunCli(args);
    }

    test::TempDir dir_{"cli-outputs"};
};

TEST_F(CliOutputs, ExactlyTheNameGivenAndOnlyOfItsKind)
{
    // A sundrel document named .dvt never replaces the triangulation beside it.
    const auto other = dir_ / "study.dvk";
    test::WriteFile(other, "previous");
    auto r = Analyse(dir_ / "study.dvt");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("The output " + (dir_ / "study.dvt").string() +
                         " is a sundrel document: its name must end in .dvk"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test::ReadFile(other), "previous");
    EXPECT_FALSE(fs::exists(dir_ / "study.dvt"));

    r = test::RunCli({"map", kExamples + "/sites.txt", "--first-line", "2", "-o",
                      (dir_ / "m.dvk").string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("must end in .dvt"), std::string::npos) << r.err;
    r = test::RunCli({"edit", Map().string(), "-o", (dir_ / "e.txt").string()});
    EXPECT_EQ(r.status, 2);

    // The success line names the file written.
    r = Analyse(other, {"--report", (dir_ / "r.txt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(other.string() + " written in"), std::string::npos) << r.out;
    EXPECT_NE(test::ReadFile(other), "previous");
    EXPECT_TRUE(fs::exists(dir_ / "r.txt"));
}

TEST_F(CliOutputs, EveryOutputPlaceIsCheckedBeforeTheWork)
{
    const auto doc = dir_ / "study.dvk";
    test::WriteFile(doc, "previous");
    // A report that cannot be written: nothing is computed, nothing replaced.
    auto r = Analyse(doc, {"--report", (dir_ / "no" / "r.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir_ / "no" / "r.txt").string() +
                         " (No such file or directory)\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(test::ReadFile(doc), "previous");

    test::WriteFile(dir_ / "ro.txt", "read only");
    fs::permissions(dir_ / "ro.txt", fs::perms::owner_read | fs::perms::group_read);
    r = Analyse(doc, {"--report", (dir_ / "ro.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir_ / "ro.txt").string() +
                         " (Permission denied)\n");
    EXPECT_EQ(test::ReadFile(doc), "previous");
    EXPECT_EQ(test::ReadFile(dir_ / "ro.txt"), "read only");
    EXPECT_TRUE(Temporaries(dir_.path()).empty());
}

TEST_F(CliOutputs, TargetsLinksSpecialFilesAndPermissions)
{
    // A link is followed: the file it names is replaced in its own folder.
    fs::create_directories(dir_ / "data");
    test::WriteFile(dir_ / "data" / "real.dvt", "old");
    fs::create_symlink("data/real.dvt", dir_ / "link.dvt");
    auto r = test::RunCli({"edit", Map().string(), "-o", (dir_ / "link.dvt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir_ / "link.dvt"));
    EXPECT_EQ(test::ReadFile(dir_ / "data" / "real.dvt"), test::ReadFile(Map()));

    // Replacing a file keeps its permissions.
    fs::permissions(dir_ / "data" / "real.dvt",
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(test::RunCli({"edit", Map().string(), "-o", (dir_ / "link.dvt").string()}).status, 0);
    EXPECT_EQ(fs::status(dir_ / "data" / "real.dvt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    // Folders, FIFOs and devices are refused; so is a read-only file, even
    // for root.
    fs::create_directory(dir_ / "folder.dvt");
    r = test::RunCli({"edit", Map().string(), "-o", (dir_ / "folder.dvt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir_ / "folder.dvt").string() +
                         " (Is a directory)\n");
    ASSERT_EQ(::mkfifo((dir_ / "fifo.dvt").c_str(), 0600), 0);
    r = test::RunCli({"edit", Map().string(), "-o", (dir_ / "fifo.dvt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir_ / "fifo.dvt").string() +
                         " (not a regular file)\n");
    fs::create_symlink("/dev/null", dir_ / "null.png");
    r = test::RunCli({"export", Map().string(), "-o", (dir_ / "null.png").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(not a regular file)"), std::string::npos) << r.err;
    test::WriteFile(dir_ / "ro.dvt", "keep");
    fs::permissions(dir_ / "ro.dvt", fs::perms::owner_read);
    r = test::RunCli({"edit", Map().string(), "-o", (dir_ / "ro.dvt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("(Permission denied)"), std::string::npos) << r.err;
    EXPECT_EQ(test::ReadFile(dir_ / "ro.dvt"), "keep");
    EXPECT_TRUE(Temporaries(dir_.path()).empty());
}

TEST_F(CliOutputs, StandardOutputThatCannotBeWrittenFails)
{
    const auto r = test::RunCli({"info", Map().string(), "--json"}, {{}, "/dev/full"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "File writing error: standard output (No space left on device)\n");
}

// A full disk: a small tmpfs, where the tests run as root and may mount.
TEST_F(CliOutputs, FullDiskFailsAndKeepsThePreviousFile)
{
    const auto mount = dir_ / "small";
    fs::create_directory(mount);
    if (::geteuid() != 0 ||
        ::mount("tmpfs", mount.c_str(), "tmpfs", 0, "size=256k") != 0)
        GTEST_SKIP() << "no small file system can be mounted here";
    struct Unmount {
        fs::path at;
        ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
    } unmount{mount};

    const auto png = mount / "map.png";
    auto r = test::RunCli({"export", Map().string(), "-o", png.string(), "--width", "200",
                           "--height", "150"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string good = test::ReadFile(png);
    // Fill what is left.
    test::WriteFile(mount / "filler", std::string(300 << 10, 'x'));
    for (const char* name : {"map.png", "map.bmp", "map.ps", "copy.dvt"}) {
        SCOPED_TRACE(name);
        r = name == std::string("copy.dvt")
                ? test::RunCli({"edit", Map().string(), "-o", (mount / name).string()})
                : test::RunCli({"export", Map().string(), "-o", (mount / name).string()});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("(No space left on device)"), std::string::npos) << r.err;
    }
    EXPECT_EQ(test::ReadFile(png), good);
    EXPECT_FALSE(fs::exists(mount / "map.bmp"));
    EXPECT_TRUE(Temporaries(mount).empty());
}

// A map large enough that its PostScript export takes a while.
class CliSignals : public CliOutputs {
protected:
    void SetUp() override
    {
        CliOutputs::SetUp();
        std::string text;
        std::uint32_t s = 12345;
        for (int i = 0; i < 30000; ++i) {
            s = s * 1664525u + 1013904223u;
            const double x = (s >> 8) / 16777216.0;
            s = s * 1664525u + 1013904223u;
            const double y = (s >> 8) / 16777216.0;
            text += std::to_string(x) + " " + std::to_string(y) + "\n";
        }
        test::WriteFile(dir_ / "many.txt", text);
        ASSERT_EQ(test::RunCli({"map", (dir_ / "many.txt").string(), "-o", Big().string()}).status, 0);
    }
    fs::path Big() const { return dir_ / "big.dvt"; }

    // Starts the export (or another command writing `out`) and waits until
    // its temporary file exists; false when the export ended first.
    bool StartExport(const fs::path& out, test::RunningCli& running, const char* command = "export")
    {
        running = test::StartCli({command, Big().string(), "-o", out.string()}, dir_.path());
        for (int k = 0; k < 20000; ++k) {
            for (const auto& name : Temporaries(out.parent_path()))
                if (name.rfind(out.filename().string() + ".~", 0) == 0)
                    return true;
            if (::waitpid(running.pid, nullptr, WNOHANG) == running.pid)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return false;
    }
};

TEST_F(CliSignals, InterruptedExportsLeaveNoTemporaryFile)
{
    const auto out = dir_ / "figures" / "big.ps";
    fs::create_directory(out.parent_path());
    test::WriteFile(out, "previous figure");
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        test::RunningCli running;
        if (!StartExport(out, running))
            GTEST_SKIP() << "the export ended before it could be interrupted";
        ::kill(running.pid, signal);
        const test::CliResult r = test::WaitCli(running);
        EXPECT_NE(r.status, 0) << r.err;
        EXPECT_EQ(test::ReadFile(out), "previous figure");
        EXPECT_TRUE(Temporaries(out.parent_path()).empty());
    }
    // A second signal ends the process at once, by the signal.
    test::RunningCli running;
    if (!StartExport(out, running))
        GTEST_SKIP() << "the export ended before it could be interrupted";
    ::kill(running.pid, SIGTERM);
    ::kill(running.pid, SIGTERM);
    const test::CliResult r = test::WaitCli(running);
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(test::ReadFile(out), "previous figure");
    EXPECT_TRUE(Temporaries(out.parent_path()).empty());
}

// GIS layers are written in a temporary folder: an interrupt, or two,
// leave neither the folder nor part of a set, and keep GDAL's own messages
// off the screen.
TEST_F(CliSignals, InterruptedGisExportsLeaveNoTemporaryFolder)
{
    const auto folder = dir_ / "layers";
    fs::create_directory(folder);
    for (const char* target : {"big.gpkg", "big.shp"}) {
        for (int signals : {1, 2}) {
            SCOPED_TRACE(std::string(target) + " " + std::to_string(signals));
            test::RunningCli running;
            if (!StartExport(folder / target, running, "gis"))
                GTEST_SKIP() << "the export ended before it could be interrupted";
            for (int k = 0; k < signals; ++k)
                ::kill(running.pid, SIGINT);
            const test::CliResult r = test::WaitCli(running);
            EXPECT_NE(r.status, 0);
            EXPECT_EQ(r.err.find("ERROR"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("locked"), std::string::npos) << r.err;
            EXPECT_TRUE(fs::is_empty(folder)) << Temporaries(folder).size();
        }
    }
}

TEST_F(CliSignals, FilesOfDeadProcessesAreRemovedOthersStay)
{
    const auto folder = dir_ / "figures";
    fs::create_directory(folder);
    const auto out = folder / "big.ps";
    test::RunningCli running;
    if (!StartExport(out, running))
        GTEST_SKIP() << "the export ended before it could be killed";
    ::kill(running.pid, SIGKILL);
    test::WaitCli(running);
    ASSERT_EQ(Temporaries(folder).size(), 1u);

    // Another process's file stays while it runs (this test's own number).
    const std::string alive = "big.ps.~" + std::to_string(::getpid()) + "-0.tmp";
    test::WriteFile(folder / alive, "in use");
    auto r = test::RunCli({"edit", Map().string(), "-o", (folder / "m.dvt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Temporaries(folder), std::vector<std::string>{alive});

    // Matrix stores likewise, in the temporary folder.
    const auto temp = dir_ / "tmp";
    fs::create_directory(temp);
    const std::string dead = "Monmonier_1_2_2024_3_4_5_" + std::to_string(DeadProcess()) + "_0.dat";
    const std::string live = "Monmonier_1_2_2024_3_4_5_" + std::to_string(::getpid()) + "_0.dat";
    test::WriteFile(temp / dead, "stale");
    test::WriteFile(temp / live, "in use");
    r = test::RunCli({"matrices", kExamples + "/distances.txt", "--size", "40", "--temp-dir",
                      temp.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Temporaries(temp), std::vector<std::string>{live});
}

} // namespace
