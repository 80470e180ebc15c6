// The colour table of the style menus and the nearest colour.

#include "common/ColourTable.h"
#include "model/MMap.h"

#include <gtest/gtest.h>

#include <set>

using namespace sundrel;

namespace {

std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return r | g << 8 | b << 16;
}

TEST(ColourTable, SerpentineWalkThroughTheCube)
{
    const std::vector<std::uint32_t> table = BuildColourTable(4);
    ASSERT_EQ(table.size(), 64u);
    const std::vector<std::uint32_t> first(table.begin(), table.begin() + 8);
    EXPECT_EQ(first, (std::vector<std::uint32_t>{Rgb(0, 0, 0), Rgb(85, 0, 0), Rgb(170, 0, 0),
                                                 Rgb(255, 0, 0), Rgb(255, 85, 0), Rgb(170, 85, 0),
                                                 Rgb(85, 85, 0), Rgb(0, 85, 0)}));
    for (int base = 2; base <= 6; ++base) {
        const auto t = BuildColourTable(base);
        ASSERT_EQ(t.size(), static_cast<std::size_t>(base * base * base));
        EXPECT_EQ(std::set<std::uint32_t>(t.begin(), t.end()).size(), t.size()) << base;
        EXPECT_EQ(t.front(), 0u);
        // Consecutive entries differ in exactly one channel.
        for (std::size_t i = 1; i < t.size(); ++i) {
            int changed = 0;
            for (int shift : {0, 8, 16})
                changed += ((t[i] >> shift) & 0xFF) != ((t[i - 1] >> shift) & 0xFF);
            EXPECT_EQ(changed, 1) << base << " " << i;
        }
    }
    EXPECT_TRUE(BuildColourTable(1).empty());
    EXPECT_TRUE(BuildColourTable(7).empty());
}

TEST(ColourTable, DefaultIndicesGiveTheDocumentDefaults)
{
    const auto table = BuildColourTable(kDefaultColourTableBase);
    for (std::size_t layer = 0; layer < 5; ++layer)
        EXPECT_EQ(table[static_cast<std::size_t>(kDefaultLayerColourIndices[layer])],
                  kDefaultLayerColours[layer])
            << layer;
}

TEST(ColourTable, NearestColourKeepsTheEarlierOfEqualCandidates)
{
    const auto table = BuildColourTable(2); // levels 0 and 255
    EXPECT_EQ(NearestColour(table, Rgb(255, 0, 0)), 1);
    EXPECT_EQ(NearestColour(table, Rgb(200, 10, 240)), NearestColour(table, Rgb(255, 0, 255)));
    EXPECT_EQ(NearestColour(table, Rgb(127, 0, 0)), 0);
    EXPECT_EQ(NearestColour(table, Rgb(128, 0, 0)), 1);
    // Equally near: the earlier position wins.
    EXPECT_EQ(NearestColour({Rgb(0, 0, 0), Rgb(2, 0, 0)}, Rgb(1, 0, 0)), 0);
    EXPECT_EQ(NearestColour({Rgb(2, 0, 0), Rgb(0, 0, 0)}, Rgb(1, 0, 0)), 0);
    EXPECT_EQ(NearestColour({}, Rgb(1, 2, 3)), 0);
}

} // namespace
