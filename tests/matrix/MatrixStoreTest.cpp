#include "common/Errors.h"
#include "common/Worker.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/MatrixImport.h"
#include "matrix/Messages.h"
#include "matrix/SMatrix.h"
#include "support/CliRunner.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <csignal>

#include <fstream>
#include <sstream>

using namespace sundrel;

namespace {

// The 4 x 4 matrix d(i, j) = 10 i + j for i > j, as text lines.
std::string Square4(bool diagonal = true)
{
    std::ostringstream s;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j)
            if (j < i || (j == i && diagonal) || j > i)
                s << (j == i ? 0 : 10 * std::max(i, j) + std::min(i, j)) << ' ';
        s << '\n';
    }
    return s.str();
}

std::string Lower4(bool diagonal)
{
    std::ostringstream s;
    for (int i = diagonal ? 0 : 1; i < 4; ++i) {
        for (int j = 0; j < i; ++j)
            s << 10 * i + j << ' ';
        if (diagonal)
            s << 0;
        s << '\n';
    }
    return s.str();
}

class MatrixTest : public ::testing::Test {
protected:
    std::filesystem::path Write(const std::string& name, const std::string& text)
    {
        test::WriteFile(dir_ / name, text);
        return dir_ / name;
    }
    test::TempDir dir_{"matrix"};
};

TEST_F(MatrixTest, SquareAndLowerLayoutsLoadTheSameHalfMatrix)
{
    const std::vector<double> expected = {10, 20, 21, 30, 31, 32};
    FileReader square(Write("s.txt", "header\n" + Square4()).string(), nullptr, false);
    SMatrix a;
    int calls = 0;
    a.onProgress = [&] { ++calls; };
    a.load(square, 4, 1, 0);
    EXPECT_EQ(a.values(), expected);
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(a.get(1, 3), 31);
    EXPECT_EQ(a.get(3, 1), 31);
    EXPECT_EQ(a.get(2, 2), 0.0);
    EXPECT_THROW(a.get(0, 4), Error);
    EXPECT_THROW(a.get(-1, 0), Error);

    // Lower-triangular without the diagonal: row 0 is not in the file.
    FileReader lower(Write("l.txt", Lower4(false)).string(), nullptr, false);
    SMatrix b;
    b.load(lower, 4, -1, 0);
    EXPECT_EQ(b.values(), expected);
    // With the diagonal, and two label columns.
    std::string labelled;
    std::istringstream in(Lower4(true));
    for (std::string line; std::getline(in, line);)
        labelled += "pop " + line + "\n";
    FileReader withDiagonal(Write("d.txt", labelled).string(), nullptr, false);
    SMatrix c;
    c.load(withDiagonal, 4, 0, 1);
    EXPECT_EQ(c.values(), expected);

    FileReader one(Write("one.txt", "").string(), nullptr, false);
    SMatrix d;
    calls = 0;
    d.onProgress = [&] { ++calls; };
    d.load(one, 1, 0, 0);
    EXPECT_EQ(d.count(), 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(MatrixTest, FailedAndCancelledLoadsLeaveTheMatrixEmpty)
{
    FileReader bad(Write("b.txt", "0\n1 0\n2 x 0\n").string(), nullptr, false);
    SMatrix m;
    try {
        m.load(bad, 3, 0, 0);
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'x'"), std::string::npos) << e.what();
    }
    EXPECT_EQ(m.count(), 0);
    EXPECT_EQ(m.size(), 0);
    EXPECT_THROW(m.get(0, 1), Error);

    JobFeedback cancel;
    FileReader good(Write("g.txt", Square4()).string(), nullptr, false, &cancel);
    int calls = 0;
    m.onProgress = [&] {
        if (++calls == 2)
            cancel.cancel();
    };
    EXPECT_THROW(m.load(good, 4, 0, 0), Abort);
    EXPECT_EQ(m.count(), 0);
}

TEST_F(MatrixTest, RequiredLinesAndSizeTexts)
{
    MatrixLayout l;
    l.size = 100;
    l.matrices = 50;
    EXPECT_EQ(RequiredLines(l), 5000);
    l.square = false;
    EXPECT_EQ(RequiredLines(l), 4950);
    l = MatrixLayout{};
    l.size = 4;
    l.matrices = 2;
    l.startLine = 3;
    l.gap = 1;
    EXPECT_EQ(RequiredLines(l), 11);
    EXPECT_EQ(RequiredBytes(l), 6 * 12 * 2);
    EXPECT_EQ(msg::FileTooShort(10, 11),
              "File isn't large enough (file size : 10 lines, expected size : at least 11 lines)");

    EXPECT_EQ(msg::SizeText(1073741825), "1 Gb");
    EXPECT_EQ(msg::SizeText(1073741824), "1024 Mb");
    EXPECT_EQ(msg::SizeText(1048577), "1 Mb");
    EXPECT_EQ(msg::SizeText(1048576), "1024 Kb");
    EXPECT_EQ(msg::SizeText(1025), "1 Kb");
    EXPECT_EQ(msg::SizeText(1024), "1024 bytes");
    EXPECT_EQ(msg::SizeText(2), "2 bytes");
    EXPECT_EQ(msg::SizeText(1), "1 byte");
    EXPECT_EQ(msg::SizeText(0), "0 byte");
    EXPECT_GT(FreeSpace(dir_ / "not" / "yet"), 0);
}

TEST_F(MatrixTest, ExtractionFollowsTheLayoutAndCancelKeepsWhatWasWritten)
{
    // Three square matrices after two header lines, one blank line between.
    std::string text = "title\nlabels\n";
    for (int m = 0; m < 3; ++m)
        text += Square4() + "\n";
    JobFeedback cancel;
    FileReader reader(Write("three.txt", text).string(), nullptr, false, &cancel);
    MatrixLayout l;
    l.size = 4;
    l.matrices = 3;
    l.startLine = 3;
    l.gap = 1;
    ASSERT_LE(RequiredLines(l), reader.LineCount());
    MatrixFile store(dir_ / "store" / "m.dat");
    std::int64_t last = 0, total = 0;
    ExtractMatrices(reader, l, store, [&](std::int64_t rows, std::int64_t all) {
        EXPECT_EQ(rows, last + 1);
        last = rows;
        total = all;
    });
    EXPECT_EQ(last, 12);
    EXPECT_EQ(total, 12);
    ASSERT_EQ(store.matrixCount(), 3);
    EXPECT_EQ(store.readDistance(2, 5), 32);
    EXPECT_EQ(store.readMatrix(1)->get(2, 0), 20);

    // Lower-triangular from line 1.
    FileReader lower(Write("lower.txt", Lower4(false) + Lower4(false)).string(), nullptr, false);
    l = MatrixLayout{};
    l.size = 4;
    l.matrices = 2;
    l.square = false;
    ExtractMatrices(lower, l, store);
    EXPECT_EQ(store.matrixCount(), 2);
    EXPECT_EQ(store.readDistance(1, 3), 30);

    // Cancelled in the second matrix: the first one stays.
    l.square = true;
    l.startLine = 3;
    l.gap = 1;
    l.matrices = 3;
    EXPECT_THROW(ExtractMatrices(reader, l, store,
                                 [&](std::int64_t rows, std::int64_t) {
                                     if (rows == 6)
                                         cancel.cancel();
                                 }),
                 Abort);
    EXPECT_EQ(store.matrixCount(), 1);
}

TEST_F(MatrixTest, StoreWritesReadsAndKeepsItsSlots)
{
    const auto path = dir_ / "sub" / "store.dat";
    MatrixFile store(path);
    SMatrix m4;
    m4.assign(4, {1, 2, 3, 4, 5, 6});
    EXPECT_THROW(store.writeMatrix(m4), Error); // not initialised
    store.initialize(4);
    store.writeMatrix(m4);
    m4.assign(4, {7, 8, 9, 10, 11, 12});
    store.writeMatrix(m4);
    EXPECT_THROW(store.initialize(4), Error);
    SMatrix m3;
    m3.assign(3, {1, 2, 3});
    try {
        store.writeMatrix(m3);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Matrix size doesn't match");
    }
    EXPECT_EQ(store.matrixCount(), 2);
    EXPECT_EQ(std::filesystem::file_size(path), 2u * 48);
    EXPECT_EQ(store.readDistance(1, 0), 7);
    EXPECT_EQ(store.readDistance(2, 0), 0.0); // k = matrixCount
    EXPECT_FALSE(store.readMatrix(2));
    EXPECT_EQ(store.readPermutationEntry(5, 0), 0);
    EXPECT_FALSE(store.readPermutation(2));

    store.writePermutation({5, 4, 3, 2, 1, 0});
    EXPECT_FALSE(store.sorted());
    store.writePermutation({0, 1, 2, 3, 4, 5});
    EXPECT_TRUE(store.sorted());
    EXPECT_EQ(store.permutationOffset(), 96);
    EXPECT_EQ(store.readPermutationEntry(0, 1), 4);
    EXPECT_EQ(*store.readPermutation(1), (std::vector<std::int32_t>{0, 1, 2, 3, 4, 5}));

    store.close();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(store.readDistance(0, 0), 0.0);
}

// Saving copies the block into the document; afterwards every read comes
// from the document, permutations included, and the temporary file is gone.
TEST_F(MatrixTest, SavedBlockIsReadBackFromTheDocument)
{
    const auto temp = dir_ / "temp.dat";
    MatrixFile store(temp);
    store.initialize(4);
    for (int k = 0; k < 3; ++k) {
        SMatrix m;
        m.assign(4, {k + 0.5, k + 1.5, k + 2.5, k + 3.5, k + 4.5, k + 5.5});
        store.writeMatrix(m);
    }
    for (int k = 0; k < 3; ++k)
        store.writePermutation({k, 1, 2, 3, 4, 5});

    const auto doc = dir_ / "doc.dvk";
    {
        std::ofstream out(doc, std::ios::binary);
        out << std::string(100, 'h');
        store.saveTo(out, doc);
        out << "tail";
    }
    EXPECT_EQ(store.savedOffset(), 100);
    store.reattach();
    EXPECT_FALSE(std::filesystem::exists(temp));
    EXPECT_TRUE(store.keep());
    EXPECT_EQ(store.fileName(), doc);
    EXPECT_EQ(store.readDistance(2, 5), 7.5);
    EXPECT_EQ(store.readPermutationEntry(2, 0), 2);
    EXPECT_EQ(store.readPermutationEntry(1, 0), 1);
    store.close();
    EXPECT_TRUE(std::filesystem::exists(doc)); // a document is never deleted

    // A document opened later attaches to the same block.
    MatrixFile attached(doc);
    attached.attach(4, 3, 100);
    EXPECT_EQ(attached.permutationOffset(), 100 + 3 * 48);
    EXPECT_EQ(attached.readDistance(1, 2), 3.5);
    EXPECT_EQ(attached.readPermutationEntry(2, 0), 2);
    attached.close();
    EXPECT_EQ(std::filesystem::file_size(doc), 100u + 3 * 48 + 3 * 24 + 4);
}

TEST_F(MatrixTest, FullDiskFailsTheWriteAndNothingIsCounted)
{
    // A disk that takes one matrix and a half (a file size limit stands
    // for it; its signal ignored, the write fails with EFBIG).
    SMatrix m;
    m.assign(4, {1, 2, 3, 4, 5, 6});
    {
        const auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit saved {};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        struct rlimit small = saved;
        small.rlim_cur = 72;
        ::setrlimit(RLIMIT_FSIZE, &small);
        MatrixFile store(dir_ / "full" / "m.dat");
        store.initialize(4);
        store.writeMatrix(m);
        std::string failure;
        try {
            store.writeMatrix(m);
        } catch (const Error& e) {
            failure = e.what();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        EXPECT_EQ(failure, "Couldn't write the matrix");
        EXPECT_EQ(store.matrixCount(), 1);
        EXPECT_EQ(std::filesystem::file_size(store.fileName()), 48u); // the partial one dropped
    }

    // A name that exists, such as a device, is never opened as a store.
    if (std::filesystem::exists("/dev/full")) {
        MatrixFile store("/dev/full");
        store.initialize(4);
        EXPECT_THROW(store.writeMatrix(m), Error);
        EXPECT_EQ(store.matrixCount(), 0);
        store.close();
        EXPECT_TRUE(std::filesystem::exists("/dev/full"));
    }

    MatrixFile unwritable(dir_ / "missing-dir-file" / "x" / "m.dat");
    std::filesystem::create_directories(dir_ / "missing-dir-file");
    test::WriteFile(dir_ / "missing-dir-file" / "x", "a file where a folder should be");
    unwritable.initialize(4);
    EXPECT_THROW(unwritable.writeMatrix(m), Error);
}

// Offsets are 64-bit: a block beyond 4 GiB in a sparse document reads back.
TEST_F(MatrixTest, BlocksBeyondFourGibibytesAreReachable)
{
    const auto doc = dir_ / "sparse.dvk";
    const std::int64_t offset = (std::int64_t(1) << 32) + 12345;
    {
        std::ofstream out(doc, std::ios::binary);
        out.seekp(offset);
        const double values[6] = {1, 2, 3, 4, 5, 6.25};
        out.write(reinterpret_cast<const char*>(values), sizeof values);
        const std::int32_t perm[6] = {5, 4, 3, 2, 1, 0};
        out.write(reinterpret_cast<const char*>(perm), sizeof perm);
        if (!out)
            GTEST_SKIP() << "no room for a sparse file";
    }
    MatrixFile store(doc);
    store.attach(4, 1, offset);
    EXPECT_EQ(store.readDistance(0, 5), 6.25);
    EXPECT_EQ(store.readPermutationEntry(0, 0), 5);
}

} // namespace
