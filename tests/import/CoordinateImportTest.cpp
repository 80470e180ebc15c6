#include "import/CoordinateImport.h"

#include "common/Errors.h"
#include "import/FileReader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace sundrel;
namespace fs = std::filesystem;

namespace {

class CoordinateImportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("sundrel-coordinates-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) +
                "-" + std::to_string(counter++));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        readers_.clear();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    FileReader& Open(const std::string& content)
    {
        const fs::path path = dir_ / (std::to_string(readers_.size()) + ".txt");
        std::ofstream(path, std::ios::binary) << content;
        return *readers_.emplace_back(std::make_unique<FileReader>(path.string(), nullptr, false));
    }
    fs::path dir_;
    std::vector<std::unique_ptr<FileReader>> readers_;
};

using Pairs = std::vector<std::pair<double, double>>;

Pairs Extract(FileReader& reader, std::int64_t line, std::int64_t column, std::int64_t count,
              DataOrder order = DataOrder::XFirst)
{
    Pairs pairs;
    for (const CoordinatePair& p : ExtractCoordinates(reader, line, column, count, order))
        pairs.emplace_back(p.x, p.y);
    return pairs;
}

template <class F>
std::string ErrorOf(F&& action)
{
    try {
        action();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

TEST_F(CoordinateImportTest, ReadsTheChosenLinesAndColumnsInXYOrder)
{
    FileReader& reader = Open("site x y\nA 1.5 2 9\nB 3 4,5\nC 5 6\n");
    EXPECT_EQ(Extract(reader, 2, 2, 3), (Pairs{{1.5, 2}, {3, 4.5}, {5, 6}}));
    EXPECT_EQ(Extract(reader, 2, 2, 2, DataOrder::YFirst), (Pairs{{2, 1.5}, {4.5, 3}}));
    EXPECT_EQ(Extract(Open("46.5 6.1\n"), 1, 1, 1, DataOrder::YFirst), (Pairs{{6.1, 46.5}}));

    std::vector<std::pair<std::int64_t, std::int64_t>> calls;
    ExtractCoordinates(reader, 2, 2, 3, DataOrder::XFirst,
                       [&](std::int64_t done, std::int64_t total) { calls.emplace_back(done, total); });
    EXPECT_EQ(calls, (std::vector<std::pair<std::int64_t, std::int64_t>>{{1, 3}, {2, 3}, {3, 3}}));
}

TEST_F(CoordinateImportTest, MissingDataFailWithTheReadersMessage)
{
    EXPECT_EQ(ErrorOf([&] { Extract(Open("1 2\n3 4\n"), 1, 1, 3); }), "Error at line 3 (column 1)");
    EXPECT_EQ(ErrorOf([&] { Extract(Open("x y\n1 2\n3 4"), 2, 1, 3); }), "Can't read line 3");
    EXPECT_EQ(ErrorOf([&] { Extract(Open("1 2\n3\n5 6"), 1, 1, 3); }), "Error at line 2 (line isn't long enough)");
    EXPECT_EQ(ErrorOf([&] { Extract(Open("1 2\n3 4"), 1, 2, 2); }), "Error at line 1 (line isn't long enough)");
}

TEST_F(CoordinateImportTest, SettingsOutOfRangeAreRefused)
{
    FileReader& reader = Open("1 2\n3 4");
    EXPECT_EQ(ErrorOf([&] { Extract(reader, 0, 1, 1); }), "The first line to import must be 1 or more");
    EXPECT_EQ(ErrorOf([&] { Extract(reader, 1, 0, 1); }),
              "The first column to import must be between 1 and 2147483648");
    EXPECT_EQ(ErrorOf([&] { Extract(reader, 1, 1, 0); }), "The number of points must be 1 or more");
    EXPECT_EQ(ErrorOf([&] { Extract(reader, 1, 1, 3); }),
              "The number of points (3) exceeds the number of lines in the file (2)");
    EXPECT_EQ(ErrorOf([&] { DefaultPointCount(reader, 0); }), "The first line to import must be 1 or more");
    EXPECT_EQ(Extract(reader, 1, 1, 2).size(), 2u);
}

TEST_F(CoordinateImportTest, DefaultCountRunsToTheLastNonBlankLine)
{
    FileReader& reader = Open("x y\n1 2\n3 4\n\n \r\n");
    EXPECT_EQ(DefaultPointCount(reader, 1), 3);
    EXPECT_EQ(DefaultPointCount(reader, 3), 1);
    EXPECT_EQ(DefaultPointCount(reader, 4), 0);
    EXPECT_EQ(DefaultPointCount(Open(" \n\n"), 1), 0);
    EXPECT_EQ(ExtractionSuccessText(25), "25 lines successfully read");
}

} // namespace
