#include "matrix/Messages.h"
#include "matrix/PreviewGrid.h"
#include "matrix/SMatrix.h"

#include <gtest/gtest.h>

using namespace sundrel;

namespace {

// N populations, d(i, j) = 1000 max + min + 0.5: every cell names its pair.
SMatrix Numbered(std::int32_t n)
{
    std::vector<double> values(static_cast<std::size_t>(PairCount(n)));
    for (std::int32_t i = 1; i < n; ++i)
        for (std::int32_t j = 0; j < i; ++j)
            values[static_cast<std::size_t>(PairIndex(i, j))] = 1000.0 * i + j + 0.5;
    SMatrix m;
    m.assign(n, std::move(values));
    return m;
}

std::string Cell(std::int32_t i, std::int32_t j)
{
    return i == j ? "0" : PreviewValueText(1000.0 * std::max(i, j) + std::min(i, j) + 0.5);
}

TEST(PreviewGridTest, SmallMatrixShowsEveryPopulationSymmetrically)
{
    SMatrix m;
    m.assign(3, {0.5, 12.0, 1e-7});
    const PreviewGrid g = MakePreviewGrid(m);
    ASSERT_EQ(g.rows, 4);
    ASSERT_EQ(g.columns, 4);
    const std::vector<std::string> expected{
        "",  "1",   "2",     "3",     //
        "1", "0",   "0.5",   "12",    //
        "2", "0.5", "0",     "1e-07", //
        "3", "12",  "1e-07", "0",
    };
    EXPECT_EQ(g.cells, expected);
}

TEST(PreviewGridTest, LargeMatricesShowTheFirst127AndTheLastPopulation)
{
    // 127: exactly the block. 128: the block and population 128, nothing
    // between. 200: the block, a "..." row and column, then population 200.
    for (std::int32_t n : {127, 128, 200}) {
        SCOPED_TRACE(n);
        const PreviewGrid g = MakePreviewGrid(Numbered(n));
        const std::int32_t expectedSize = n == 127 ? 128 : n == 128 ? 129 : 130;
        ASSERT_EQ(g.rows, expectedSize);
        ASSERT_EQ(g.columns, expectedSize);
        const std::int32_t last = g.rows - 1;
        for (std::int32_t k = 1; k <= 127; ++k) {
            EXPECT_EQ(g.cell(0, k), std::to_string(k));
            EXPECT_EQ(g.cell(k, 0), std::to_string(k));
        }
        EXPECT_EQ(g.cell(0, last), std::to_string(n));
        EXPECT_EQ(g.cell(last, 0), std::to_string(n));
        EXPECT_EQ(g.cell(5, 9), Cell(4, 8));
        EXPECT_EQ(g.cell(127, 126), Cell(126, 125));
        EXPECT_EQ(g.cell(last, last), "0");
        EXPECT_EQ(g.cell(last, 1), Cell(n - 1, 0));
        EXPECT_EQ(g.cell(3, last), Cell(2, n - 1));
        if (n == 200) {
            for (std::int32_t k = 0; k < g.columns; ++k) {
                EXPECT_EQ(g.cell(128, k), "...");
                EXPECT_EQ(g.cell(k, 128), "...");
            }
        } else {
            for (std::int32_t k = 0; k < g.columns; ++k)
                EXPECT_NE(g.cell(k, 1), "...");
        }
    }
}

TEST(PreviewGridTest, ResultLinesReadAsTheUserSeesThem)
{
    EXPECT_EQ(msg::MatrixSize(100), "Matrix size : 100x100");
    EXPECT_EQ(msg::MatrixCount(50), "Number of matrices: 50");
    EXPECT_EQ(msg::LinesExtracted(32767, 65536), "2147418112 lines successfully extracted");
    EXPECT_EQ(msg::LinesRead(5000), "5000 lines read.");
    EXPECT_EQ(msg::NotEnoughSpace(1073741824), " Not enough space on disk (requested : 1024 Mb ) ");
    EXPECT_EQ(msg::AvailableSpace(1), "Amout of available space : 1 byte");
    EXPECT_EQ(msg::AvailableSpace(3LL * 1073741824 + 5), "Amout of available space : 3 Gb");
}

} // namespace
