// The command line's start: help and version as users expect them, the core
// commands running without the geography and drawing libraries, and a
// program without its geo module doing every core command alike while the
// others say they are not in the build.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

const std::string kExamples = SUNDREL_EXAMPLES_DIR;

TEST(CliStartup, HelpAndVersionGoToStandardOutput)
{
    const auto version = test::RunCli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("sundrel-cli ", 0), 0u) << version.out;
    EXPECT_EQ(version.err, "");

    const auto help = test::RunCli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out, test::RunCli({"-h"}).out);
    for (const char* command : {"  map ", "  edit ", "  info ", "  matrices ", "  analyse ",
                                "  distances ", "  report ", "  barriers ", "  export ", "  gis ",
                                "  --version"})
        EXPECT_NE(help.out.find(command), std::string::npos) << command;
    // Without a command the usage is a mistake, on standard error.
    const auto none = test::RunCli({});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.err, help.out);

    // One command's help: its own lines only; "analyze" is "analyse", with both forms.
    const auto map = test::RunCli({"map", "--help"});
    EXPECT_EQ(map.status, 0);
    EXPECT_EQ(map.out.rfind("usage: sundrel-cli map COORDS.txt -o MAP.dvt", 0), 0u) << map.out;
    EXPECT_NE(map.out.find("--geographic"), std::string::npos);
    EXPECT_EQ(map.out.find("edit"), std::string::npos);
    const auto analyse = test::RunCli({"analyze", "-h"});
    EXPECT_EQ(analyse.status, 0);
    EXPECT_NE(analyse.out.find("analyse DOC MATRICES"), std::string::npos);
    EXPECT_NE(analyse.out.find("\n   or: sundrel-cli analyse DOC --genotypes"), std::string::npos);
    // The help of a module's command needs no module.
    EXPECT_EQ(test::RunCli({"gis", "--help"}).out.rfind("usage: sundrel-cli gis DOC", 0), 0u);
    const auto unknown = test::RunCli({"mapp", "--help"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_NE(unknown.err.find("unknown command mapp"), std::string::npos);
}

// The dynamic loader's list of what the program loads at start.
TEST(CliStartup, LoadsNoGeographyOrDrawingLibrary)
{
    const auto r = test::RunCli({"info", kExamples + "/example.dvk"},
                                {{"LD_TRACE_LOADED_OBJECTS=1"}, {}});
    ASSERT_EQ(r.status, 0);
    ASSERT_NE(r.out.find("libc.so"), std::string::npos) << r.out;
    for (const char* library : {"gdal", "libproj", "Qt6", "libGL", "libEGL", "gl2ps"})
        EXPECT_EQ(r.out.find(library), std::string::npos) << library << " in\n" << r.out;
}

TEST(CliStartup, WithoutItsModuleTheCoreCommandsWorkAndTheOthersSayTheyAreMissing)
{
    test::TempDir dir("cli-core-only");
    const fs::path program = dir / "sundrel-cli";
    fs::copy_file(SUNDREL_CLI_PATH, program);
    const auto alone = [&](const std::vector<std::string>& args) {
        return test::RunProgram(program.string(), args);
    };
    const std::string sites = kExamples + "/sites.txt";
    const std::string example = kExamples + "/example.dvk";

    // The same map, the same description, the same report.
    ASSERT_EQ(test::RunCli({"map", sites, "--first-line", "2", "-o", (dir / "full.dvt").string()}).status, 0);
    const auto map = alone({"map", sites, "--first-line", "2", "-o", (dir / "core.dvt").string()});
    ASSERT_EQ(map.status, 0) << map.err;
    EXPECT_EQ(test::ReadFile(dir / "core.dvt"), test::ReadFile(dir / "full.dvt"));
    EXPECT_EQ(alone({"info", example, "--json"}).out,
              test::RunCli({"info", example, "--json"}).out);
    EXPECT_EQ(alone({"report", example}).out, test::RunCli({"report", example}).out);

    // The others fail with the reason and write nothing.
    const std::string missing = " not in this build of sundrel-cli (no module ";
    const auto exported = alone({"export", example, "-o", (dir / "f.png").string()});
    EXPECT_EQ(exported.status, 1);
    EXPECT_EQ(exported.err.rfind("The command export is" + missing, 0), 0u) << exported.err;
    const auto gis = alone({"gis", example, "-o", (dir / "f.gpkg").string()});
    EXPECT_EQ(gis.status, 1);
    EXPECT_EQ(gis.err.rfind("The command gis is" + missing, 0), 0u) << gis.err;
    const auto degrees = alone(
        {"map", sites, "--first-line", "2", "-o", (dir / "degrees.dvt").string(), "--geographic"});
    EXPECT_EQ(degrees.status, 1);
    EXPECT_EQ(degrees.err.rfind("Sites in degrees (--geographic) are" + missing, 0), 0u)
        << degrees.err;
    EXPECT_FALSE(fs::exists(dir / "f.png"));
    EXPECT_FALSE(fs::exists(dir / "f.gpkg"));
    EXPECT_FALSE(fs::exists(dir / "degrees.dvt"));
    EXPECT_EQ(alone({"--version"}).status, 0);
}

} // namespace
