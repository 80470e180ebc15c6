// A million random sites through the command line, from the text file to the
// document and back.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

TEST(Large, MillionRandomSitesMakeAMap)
{
    test::TempDir dir("million");
    const auto coords = dir / "sites.txt";
    {
        std::FILE* f = std::fopen(coords.c_str(), "w");
        ASSERT_TRUE(f);
        std::mt19937_64 rng(1000000);
        std::uniform_real_distribution<double> u(0.0, 100000.0);
        for (int i = 0; i < 1000000; ++i)
            std::fprintf(f, "%.6f %.6f\n", u(rng), u(rng));
        std::fclose(f);
    }
    const auto map = dir / "million.dvt";
    auto r = test::RunCli({"map", coords.string(), "-o", map.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("1000000 original points"), std::string::npos) << r.out;

    r = test::RunCli({"info", map.string(), "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"N\": 1000000,"), std::string::npos);
}

} // namespace
