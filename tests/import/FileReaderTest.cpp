#include "import/FileReader.h"

#include "common/Errors.h"
#include "common/Worker.h"
#include "support/RecordingNotifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace sundrel;
namespace fs = std::filesystem;

namespace {

class FileReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        dir_ = fs::temp_directory_path() /
               ("sundrel-reader-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()) + "-" +
                std::to_string(counter++));
        fs::create_directories(dir_);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Write(const std::string& content)
    {
        const fs::path path = dir_ / ("f" + std::to_string(files_++) + ".txt");
        std::ofstream(path, std::ios::binary) << content;
        return path.string();
    }
    fs::path dir_;
    int files_ = 0;
};

// The message of the Error that `action` raises, "" if none.
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

std::vector<double> Read(FileReader& reader, std::int64_t line, int skipped, int count)
{
    std::vector<double> values(static_cast<std::size_t>(count), -999.0);
    reader.ReadValues(line, skipped, count, values.data());
    return values;
}

using V = std::vector<double>;

TEST_F(FileReaderTest, LinesAreCountedFromLineFeedsAndIndexedFromZero)
{
    const std::pair<const char*, std::int64_t> counts[] = {{"", 1}, {"1", 1}, {"1\n", 2}, {"1\n2", 2}, {"\r\n\n", 3}};
    for (const auto& [content, lines] : counts)
        EXPECT_EQ(FileReader(Write(content), nullptr, false).LineCount(), lines) << content;

    FileReader reader(Write("1 2\n3 4\n"), nullptr, false);
    EXPECT_EQ(Read(reader, 1, 0, 2), (V{3, 4}));
    EXPECT_EQ(ErrorOf([&] { Read(reader, 2, 0, 2); }), "Error at line 3 (column 1)"); // empty last line
    EXPECT_EQ(ErrorOf([&] { Read(reader, 3, 0, 1); }), "Can't read line 3");
    EXPECT_EQ(ErrorOf([&] { Read(reader, -1, 0, 1); }), "Can't read line -1");

    EXPECT_EQ(ErrorOf([&] { FileReader((dir_ / "missing").string(), nullptr, false); }), "Impossible to open the file");
    EXPECT_EQ(ErrorOf([&] { FileReader("", nullptr, false); }), "Impossible to open the file");
    EXPECT_EQ(ErrorOf([&] { FileReader(dir_.string(), nullptr, false); }), "Impossible to open the file");
}

TEST_F(FileReaderTest, FieldsRunningIntoTheNextLineOrMissingOnTheLastOneAreReported)
{
    FileReader reader(Write("1\n2 3\r\n4 5 6 text\r\n7"), nullptr, false);
    V values{-1, -1};
    EXPECT_EQ(ErrorOf([&] { reader.ReadValues(0, 0, 2, values.data()); }),
              "Error at line 1 (line isn't long enough)");
    EXPECT_EQ(values, (V{1, 2})); // values read before the failure stay
    EXPECT_EQ(ErrorOf([&] { Read(reader, 0, 2, 1); }), "Error at line 1 (line isn't long enough)");
    EXPECT_EQ(ErrorOf([&] { Read(reader, 1, 0, 3); }), "Error at line 2 (line isn't long enough)");
    EXPECT_EQ(Read(reader, 2, 1, 2), (V{5, 6})); // later fields are ignored
    EXPECT_EQ(ErrorOf([&] { Read(reader, 2, 3, 1); }),
              "'text' is not a valid floating point value at line 3 (column 4)");
    // No length check on the last line: a missing field names its column.
    EXPECT_EQ(ErrorOf([&] { Read(reader, 3, 2, 1); }), "Error at line 4 (column 2)");
    EXPECT_EQ(ErrorOf([&] { Read(reader, 3, 1, 1); }), "Error at line 4 (column 2)");
    // A borrowed field that ends the file is still past the next line's start.
    FileReader atEnd(Write("1\n2"), nullptr, false);
    EXPECT_EQ(ErrorOf([&] { Read(atEnd, 0, 0, 2); }), "Error at line 1 (line isn't long enough)");
}

TEST_F(FileReaderTest, ConversionTogglesTheSeparatorOnceAndKeepsIt)
{
    FileReader reader(Write("3,5 4,25\n"), nullptr, false);
    EXPECT_EQ(Read(reader, 0, 0, 2), (V{3.5, 4.25}));
    EXPECT_EQ(reader.Separator(), ',');
    // The separator belongs to the reader: another file starts with the point.
    FileReader other(Write("1.5 2,5\n"), nullptr, false);
    EXPECT_EQ(Read(other, 0, 0, 2), (V{1.5, 2.5}));
    EXPECT_EQ(other.Separator(), ',');
    EXPECT_EQ(reader.Separator(), ',');

    char separator = ',';
    EXPECT_EQ(ConvertField("-1,5e2", separator), -150);
    EXPECT_EQ(ConvertField("0.125", separator), 0.125);
    EXPECT_EQ(separator, '.');
    separator = ';'; // any other separator falls back to the point
    EXPECT_EQ(ConvertField("2.5", separator), 2.5);
    EXPECT_EQ(separator, '.');

    const std::pair<const char*, double> accepted[] = {
        {"0.30000000000000004", 0.30000000000000004}, {"+1.5", 1.5}, {".5", 0.5}, {"5.", 5},
        {"1.5E-2", 0.015}, {"2e+2", 200}, {"1e-310", 1e-310}, {"1e-400", 0}};
    for (const auto& [text, value] : accepted)
        EXPECT_EQ(ConvertField(text, separator), value) << text;
    EXPECT_TRUE(std::signbit(ConvertField("-1e-400", separator)));
    for (const char* text : {"", ".", "-", "1e", "1e+", "+-1", "1.2.3", "1,2.3", "inf", "nan", "0x10", "1e400", "1f"})
        EXPECT_EQ(ErrorOf([&] { ConvertField(text, separator); }), "'" + std::string(text) + "' is not a valid floating point value");

    // 255 characters is the longest field; a longer one fails instead of being cut.
    const std::string tooLong = "1" + std::string(255, '0');
    FileReader wide(Write(std::string(254, '0') + "1\n" + tooLong + " 3"), nullptr, false);
    EXPECT_EQ(Read(wide, 0, 0, 1), V{1});
    // The message shows the field cut after 255 characters, and where it stands.
    EXPECT_EQ(ErrorOf([&] { Read(wide, 1, 0, 1); }),
              "'" + tooLong.substr(0, 255) + "...' is not a valid floating point value at line 2 (column 1)");
    EXPECT_EQ(Read(wide, 1, 1, 1), V{3});
}

TEST_F(FileReaderTest, PreviewCutsLinesAt127CharactersAndTheFileAt256Lines)
{
    FileReader reader(Write(std::string(130, 'a') + "\n" + std::string(126, 'b') + "\n12.5 8.25\n" +
                            std::string(125, 'c') + "\n" + std::string(127, 'd')),
                      nullptr, false);
    EXPECT_EQ(reader.GetPreview(nullptr), "  1 | " + std::string(127, 'a') + " [...]\r\n" +
                                              "  2 | " + std::string(126, 'b') + " [...]\r\n" + // LF fills the limit
                                              "  3 | 12.5 8.25\r\n" +
                                              "  4 | " + std::string(125, 'c') + "\r\n" +
                                              "  5 | " + std::string(127, 'd') + " [...]\r\n");

    std::string content;
    for (int i = 1; i <= 300; ++i)
        content += std::to_string(i) + "\n";
    FileReader longFile(Write(content), nullptr, false);
    RecordingNotifier progress;
    const std::string preview = longFile.GetPreview(&progress);
    EXPECT_EQ(preview.substr(0, 9), "  1 | 1\r\n");
    EXPECT_EQ(preview.substr(preview.size() - 18), "256 | 256\r\n[...]\r\n");
    const auto percents = progress.lParams(WM_READ_PROGRESS);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end(), std::less_equal<>())); // strictly growing
    EXPECT_EQ(percents.back(), 100);
}

TEST_F(FileReaderTest, IndexingReportsGrowingProgressAndStopsOnAbort)
{
    std::string content;
    for (int i = 0; i < 5000; ++i)
        content += std::to_string(i) + " 2\n";
    const std::string path = Write(content);
    for (const bool synchronous : {false, true}) {
        RecordingNotifier progress;
        FileReader reader(path, &progress, synchronous);
        std::intptr_t last = 0;
        for (const RecordedMessage& m : progress.messages()) {
            EXPECT_EQ(m, (RecordedMessage{WM_READ_PROGRESS, 0, m.lParam, synchronous}));
            EXPECT_GT(m.lParam, last);
            last = m.lParam;
        }
        EXPECT_EQ(last, 100);
    }

    JobFeedback cancel;
    RecordingNotifier progress;
    progress.onMessage = [&](const RecordedMessage& m) {
        if (m.lParam >= 10)
            cancel.cancel();
    };
    try {
        FileReader(path, &progress, true, &cancel);
        ADD_FAILURE() << "indexing went on after the abort";
    } catch (const Abort& e) {
        EXPECT_STREQ(e.what(), "aborted");
    }
    EXPECT_EQ(progress.lParams(WM_READ_PROGRESS).back(), 10);

    // Cancelling one job leaves a reader of another job alone.
    FileReader other(path, nullptr, false);
    EXPECT_NE(other.GetPreview(nullptr), "");

    JobFeedback job;
    FileReader reader(path, nullptr, false, &job);
    job.cancel();
    EXPECT_THROW(reader.GetPreview(nullptr), Abort);
    EXPECT_EQ(Read(reader, 0, 0, 2), (V{0, 2})); // reading values ignores the flag
}

TEST_F(FileReaderTest, LastNonBlankLine)
{
    const std::pair<std::string, std::int64_t> cases[] = {
        {"", -1}, {" \t\r\n\n", -1}, {"1\n2", 1}, {"1\n2\n  \n\r\n", 1},
        {"1\n" + std::string(200000, ' ') + "\n", 0}, {"1\n" + std::string(70000, 'x') + "\n \n", 1}};
    for (const auto& [content, last] : cases)
        EXPECT_EQ(FileReader(Write(content), nullptr, false).LastNonBlankLine(), last) << content.substr(0, 20);
}

// Numbers straddling the internal read blocks come out as written, in order or not.
TEST_F(FileReaderTest, ReadsEveryLineOfAFileSpanningManyBlocks)
{
    std::string content;
    const int lines = 150000; // over 2 MiB
    for (int i = 0; i < lines; ++i)
        content += std::to_string(i) + " " + std::to_string(i) + ".25" + (i % 7 ? "\n" : "  \r\n");
    FileReader reader(Write(content), nullptr, false);
    ASSERT_EQ(reader.LineCount(), lines + 1);
    double values[2];
    for (int i = 0; i < lines; ++i) {
        reader.ReadValues(i, 0, 2, values);
        ASSERT_EQ(values[0], i);
        ASSERT_EQ(values[1], i + 0.25);
    }
    for (int i = lines - 1; i >= 0; i -= 997)
        ASSERT_EQ(Read(reader, i, 1, 1), V{i + 0.25});
}

TEST_F(FileReaderTest, FilesBeyond2GiBAreIndexedWith64BitOffsets)
{
    const std::string path = Write("1 2\n");
    std::error_code ec;
    fs::resize_file(path, (std::int64_t{1} << 31) + 100, ec); // sparse: takes no disk space
    if (ec)
        GTEST_SKIP() << ec.message();
    std::ofstream(path, std::ios::binary | std::ios::app) << "\n5 6\n";
    FileReader reader(path, nullptr, false);
    ASSERT_EQ(reader.LineCount(), 4);
    EXPECT_EQ(Read(reader, 2, 0, 2), (V{5, 6}));
    EXPECT_EQ(reader.LastNonBlankLine(), 2);
}

} // namespace
