// Maps built before the creation learnt its rules for thin triangles and
// transects keep their bytes: documents of random, clustered and grid inputs
// (and grids with every virtual point removed) are pinned by a hash of the
// bytes the earlier program wrote.

#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

struct MapCase {
    std::string name;
    std::string text;
    bool removeVirtual = false;
};

std::vector<MapCase> Cases()
{
    std::uint64_t state = 88172645463325252ull;
    const auto next = [&] { state ^= state << 13; state ^= state >> 7; state ^= state << 17; return state; };
    const auto unit = [&] { return static_cast<double>(next() >> 11) / 9007199254740992.0; };
    const auto line = [](double x, double y) { char b[80]; std::snprintf(b, sizeof b, "%.17g %.17g\n", x, y); return std::string(b); };
    std::vector<MapCase> cases;
    std::string t;
    for (int i = 0; i < 300; ++i) t += line(6 + 4 * unit(), 45 + 3 * unit());
    cases.push_back({"random300", t});
    t.clear();
    for (int c = 0; c < 6; ++c) {
        const double cx = 100 * unit(), cy = 100 * unit();
        for (int i = 0; i < 50; ++i) {
            const double r = 3 * std::sqrt(-2 * std::log(1 - unit())), a = 6.283185307179586 * unit();
            t += line(cx + r * std::cos(a), cy + r * std::sin(a));
        }
    }
    cases.push_back({"clustered300", t});
    t.clear();
    for (int i = 0; i < 10; ++i) for (int j = 0; j < 10; ++j) t += line(i, j);
    cases.push_back({"grid10x10", t});
    t.clear();
    for (int j = 0; j < 5; ++j) for (int i = 0; i < 7; ++i) t += line(500000 + 250 * i, 4500000 + 250 * j);
    cases.push_back({"grid7x5utm", t});
    for (auto [w, h] : {std::pair{3, 6}, {4, 3}, {4, 6}}) {
        t.clear();
        for (int i = 0; i < w; ++i) for (int j = 0; j < h; ++j) t += line(i, j);
        cases.push_back({"grid" + std::to_string(w) + "x" + std::to_string(h) + "-novirtual", t, true});
    }
    t.clear();
    for (int i = 0; i < 100; ++i) t += line(i, 0);
    cases.push_back({"line100", t});
    return cases;
}

struct Pinned {
    const char* name;
    std::uint64_t hash;
    std::size_t size;
};

// FNV-1a of the documents the program wrote before.
const Pinned kPinned[] = {
    {"random300", 0x39b309dc79498da5ull, 79552},
    {"clustered300", 0x157c9ce3ed20c3c4ull, 80012},
    {"grid10x10", 0x9fd40bf08dd086fdull, 28872},
    {"grid7x5utm", 0x41b22e2a18ca5c04ull, 11672},
    {"grid3x6-novirtual", 0xba1f6b026e70dc62ull, 4512},
    {"grid4x3-novirtual", 0x6b0be389989188e8ull, 3152},
    {"grid4x6-novirtual", 0xc1215e38b5e15604ull, 5912},
    {"line100", 0x5a29915b2ffabefcull, 45312},
};

std::uint64_t Fnv(const std::string& bytes)
{
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) {
        h ^= c;
        h *= 1099511628211ull;
    }
    return h;
}

// Grids: the ear test of virtual point removal (a clockwise turn strictly,
// a ring point strictly inside the circumcircle) decides among co-circular
// ears; either comparison made loose changes these maps or fails them.
TEST(CliMapBytes, MapsBuiltBeforeKeepTheirBytes)
{
    test::TempDir dir("cli-bytes");
    const std::vector<MapCase> cases = Cases();
    ASSERT_EQ(cases.size(), std::size(kPinned));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const MapCase& c = cases[k];
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.name, kPinned[k].name);
        const auto input = dir / (c.name + ".txt");
        const auto doc = dir / (c.name + ".dvt");
        test::WriteFile(input, c.text);
        auto r = test::RunCli({"map", input.string(), "-o", doc.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        if (c.removeVirtual) {
            r = test::RunCli({"edit", doc.string(), "-o", doc.string(), "--remove-all-virtual"});
            ASSERT_EQ(r.status, 0) << r.err;
        }
        const std::string bytes = test::ReadFile(doc);
        EXPECT_EQ(bytes.size(), kPinned[k].size);
        char hash[32];
        std::snprintf(hash, sizeof hash, "0x%016llx", static_cast<unsigned long long>(Fnv(bytes)));
        char pinned[32];
        std::snprintf(pinned, sizeof pinned, "0x%016llx",
                      static_cast<unsigned long long>(kPinned[k].hash));
        EXPECT_STREQ(hash, pinned);
    }
}

// Six sites on a unit square: the 2 x 3 and 3 x 2 grids of virtual points
// fit equally well; the first candidate in the written order (2 columns,
// 3 rows) sets the spacings and so the frame.
TEST(CliMapBytes, GridSizeTieKeepsTheFirstCandidate)
{
    test::TempDir dir("cli-tie");
    test::WriteFile(dir / "six.txt", "0 0\n1 0\n0 1\n1 1\n0.5 0\n0.5 1\n");
    auto r = test::RunCli({"map", (dir / "six.txt").string(), "-o", (dir / "six.dvt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    r = test::RunCli({"info", (dir / "six.dvt").string(), "--json"});
    EXPECT_NE(r.out.find("\"frameBounds\": {\"xMin\": -1, \"xMax\": 2, \"yMin\": -0.5, \"yMax\": 1.5}"),
              std::string::npos)
        << r.out;
}

} // namespace
