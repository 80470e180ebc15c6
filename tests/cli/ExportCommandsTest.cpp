// sundrel-cli export, run as a user runs it, on the bundled example study.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const std::string kExample = std::string(SUNDREL_EXAMPLES_DIR) + "/example.dvk";

class CliExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Software rendering: the same pixels on every machine.
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        setenv("XDG_CONFIG_HOME", dir_.path().c_str(), 1);
    }

    test::CliResult Export(const std::string& name, std::vector<std::string> extra = {})
    {
        std::vector<std::string> args{"export", kExample, "-o", (dir_ / name).string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return test::RunCli(args);
    }

    static std::uint32_t U32(const std::string& b, std::size_t at)
    {
        std::uint32_t v = 0;
        for (int k = 3; k >= 0; --k)
            v = v << 8 | static_cast<unsigned char>(b[at + static_cast<std::size_t>(k)]);
        return v;
    }

    // Whether some pixel of a 24-bit bitmap has the colour 0x00BBGGRR.
    static bool HasColour(const std::string& bmp, std::uint32_t colour)
    {
        const std::uint32_t w = U32(bmp, 18);
        const std::uint32_t h = U32(bmp, 22);
        const std::uint32_t row = (3 * w + 3) / 4 * 4;
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::size_t at = 58 + y * row + 3 * x;
                const std::uint32_t bgr = static_cast<unsigned char>(bmp[at]) << 16 |
                                          static_cast<unsigned char>(bmp[at + 1]) << 8 |
                                          static_cast<unsigned char>(bmp[at + 2]);
                if (bgr == colour)
                    return true;
            }
        return false;
    }

    test::TempDir dir_{"cli-export"};
};

TEST_F(CliExport, BitmapShowsTheMapAndBothResultLayers)
{
    auto r = Export("study.bmp");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string b = test::ReadFile(dir_ / "study.bmp");
    ASSERT_EQ(b.size(), 2400u * 600 + 58);
    EXPECT_EQ(U32(b, 18), 800u);
    EXPECT_EQ(U32(b, 22), 600u);
    EXPECT_EQ(U32(b, 38), 2834u);
    EXPECT_TRUE(HasColour(b, 0x00AA0000)); // Voronoi
    EXPECT_TRUE(HasColour(b, 0x0000AA00)); // Delaunay
    EXPECT_TRUE(HasColour(b, 0x001122CC)); // single-run sundrels
    EXPECT_TRUE(HasColour(b, 0x004411AA)); // significance edges
    EXPECT_NE(r.err.find("Exporting: 90%\nExporting: 100%\n"), std::string::npos) << r.err;

    // The same document exports to the same pixels every time.
    ASSERT_EQ(Export("again.bmp").status, 0);
    EXPECT_EQ(test::ReadFile(dir_ / "again.bmp"), b);
}

TEST_F(CliExport, SizeResolutionAndViewAreTheUsers)
{
    auto r = Export("small.bmp", {"--width", "301", "--height", "200", "--dpi", "300", "--view",
                                  "5,11,43,49"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string b = test::ReadFile(dir_ / "small.bmp");
    ASSERT_EQ(b.size(), 904u * 200 + 58);
    EXPECT_EQ(U32(b, 18), 301u);
    EXPECT_EQ(U32(b, 38), 11811u); // 300 dpi in pixels per metre, truncated
}

TEST_F(CliExport, VectorAndPngFormats)
{
    ASSERT_EQ(Export("study.ps").status, 0);
    ASSERT_EQ(Export("study.eps").status, 0);
    ASSERT_EQ(Export("study.svg").status, 0);
    { const auto pdf = Export("study.pdf"); ASSERT_EQ(pdf.status, 0) << pdf.err; }
    ASSERT_EQ(Export("study.png").status, 0);
    EXPECT_EQ(test::ReadFile(dir_ / "study.ps").rfind("%!PS-Adobe-3.0\n", 0), 0u);
    EXPECT_EQ(test::ReadFile(dir_ / "study.eps").rfind("%!PS-Adobe-3.0 EPSF", 0), 0u);
    EXPECT_NE(test::ReadFile(dir_ / "study.svg").find("<svg"), std::string::npos);
    EXPECT_EQ(test::ReadFile(dir_ / "study.pdf").rfind("%PDF", 0), 0u);
    EXPECT_EQ(test::ReadFile(dir_ / "study.png").rfind("\x89PNG", 0), 0u);
    // Labels are PostScript text in a standard font.
    EXPECT_NE(test::ReadFile(dir_ / "study.ps").find("/Helvetica"), std::string::npos);
    EXPECT_EQ(dir_.FileCount(), 5u);

    if (std::system("gs --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "Ghostscript is not installed";
    const auto png = dir_ / "rendered.png";
    const std::string gs = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r72 -sOutputFile=" +
                           png.string() + " " + (dir_ / "study.ps").string() + " 2>&1";
    EXPECT_EQ(std::system(gs.c_str()), 0);
    EXPECT_GT(test::ReadFile(png).size(), 1000u);
}

TEST_F(CliExport, BadRequestsFailBeforeDrawingAndLeaveNoFile)
{
    EXPECT_EQ(Export("a.bmp", {"--width", "0"}).status, 2);
    EXPECT_EQ(Export("a.bmp", {"--height", "-4"}).status, 2);
    auto r = Export("a.bmp", {"--width", "100000"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("limited to"), std::string::npos) << r.err;
    EXPECT_EQ(Export("a.gif").status, 2);
    EXPECT_EQ(Export("a.bmp", {"--dpi", "0"}).status, 2);
    EXPECT_EQ(Export("a.bmp", {"--dpi", "0.5"}).status, 2);
    r = Export("a.bmp", {"--dpi", "2401"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--dpi takes a resolution from 1 to 2400"), std::string::npos) << r.err;
    EXPECT_EQ(Export("a.bmp", {"--view", "3,1,0,1"}).status, 2);
    EXPECT_EQ(dir_.FileCount(), 0u);

    r = test::RunCli({"export", kExample, "-o", (dir_ / "no" / "a.bmp").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Impossible to open the file: " + (dir_ / "no" / "a.bmp").string() +
                         " (No such file or directory)\n");
    r = test::RunCli({"export", (dir_ / "missing.dvk").string(), "-o", (dir_ / "a.bmp").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Impossible to open the file"), std::string::npos) << r.err;
    EXPECT_EQ(dir_.FileCount(), 0u);
}

} // namespace
