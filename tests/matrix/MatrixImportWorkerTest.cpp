#include "common/Errors.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/MatrixImportWorker.h"
#include "support/CliRunner.h"
#include "support/RecordingNotifier.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sstream>
#include <thread>

using namespace sundrel;

namespace {

// M square N x N matrices, `gap` blank lines between them; matrix m holds
// d(i, j) = 1000 m + 10 max + min / 4 off the diagonal.
double Value(int m, int i, int j)
{
    return 1000.0 * m + 10.0 * std::max(i, j) + std::min(i, j) / 4.0;
}

std::string SquareText(int n, int m, int gap)
{
    std::ostringstream s;
    for (int k = 0; k < m; ++k) {
        if (k > 0)
            for (int g = 0; g < gap; ++g)
                s << '\n';
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j)
                s << (i == j ? 0.0 : Value(k, i, j)) << (j + 1 < n ? " " : "\n");
        }
    }
    return s.str();
}

MatrixLayout Square(int n, int m, int gap = 0)
{
    MatrixLayout layout;
    layout.size = n;
    layout.matrices = m;
    layout.gap = gap;
    return layout;
}

std::vector<int> Numbers(const RecordingNotifier& notifier)
{
    std::vector<int> numbers;
    for (const RecordedMessage& m : notifier.messages())
        if (m.message != WM_READ_PROGRESS && m.message != WM_IMPORT_PROGRESS)
            numbers.push_back(m.message);
    return numbers;
}

class MatrixImportWorkerTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text)
    {
        test::WriteFile(dir_ / name, text);
        return (dir_ / name).string();
    }

    test::TempDir dir_{"import-worker"};
    RecordingNotifier notifier_;
};

TEST_F(MatrixImportWorkerTest, ReadsThenExtractsWithWholePercentProgress)
{
    const std::string file = Write("m.txt", SquareText(4, 2, 1));
    MatrixImportWorker worker(notifier_);
    worker.startReading(file);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), (std::vector<int>{WM_IMPORT_READ, WM_IMPORT_READ}));
    EXPECT_EQ(notifier_.lParams(WM_IMPORT_READ), (std::vector<std::intptr_t>{0, 1}));
    EXPECT_FALSE(notifier_.lParams(WM_READ_PROGRESS).empty());
    for (const RecordedMessage& m : notifier_.messages())
        EXPECT_FALSE(m.synchronous);
    EXPECT_TRUE(worker.fileRead());
    EXPECT_EQ(worker.lineCount(), 10); // 9 text lines and the empty one after the last break
    EXPECT_EQ(worker.previewText().substr(0, 16), "  1 | 0 10 20 30");
    EXPECT_NE(worker.previewText().find(" 10 | \r\n"), std::string::npos) << worker.previewText();

    notifier_.clear();
    MatrixFile store(TemporaryMatrixFileName(dir_.path()));
    worker.startExtraction(Square(4, 2, 1), store);
    ASSERT_TRUE(worker.wait());
    // 8 rows in all: trunc(rows / 8 x 100), each one growing.
    EXPECT_EQ(notifier_.lParams(WM_IMPORT_PROGRESS),
              (std::vector<std::intptr_t>{12, 25, 37, 50, 62, 75, 87, 100}));
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_DONE});
    ASSERT_EQ(store.matrixCount(), 2);
    EXPECT_EQ(store.readDistance(1, PairIndex(3, 1)), Value(1, 3, 1));

    // Progress is posted only when the whole percent grows: 300 rows give
    // each percent from 1 to 100 once.
    const std::string big = Write("big.txt", SquareText(300, 1, 0));
    worker.startReading(big);
    ASSERT_TRUE(worker.wait());
    notifier_.clear();
    worker.startExtraction(Square(300, 1), store);
    ASSERT_TRUE(worker.wait());
    const auto percents = notifier_.lParams(WM_IMPORT_PROGRESS);
    ASSERT_EQ(percents.size(), 100u);
    for (std::size_t i = 0; i < percents.size(); ++i)
        EXPECT_EQ(percents[i], static_cast<std::intptr_t>(i + 1));
    EXPECT_EQ(store.matrixCount(), 1);
    EXPECT_EQ(store.readDistance(0, PairIndex(299, 298)), Value(0, 299, 298));
}

TEST_F(MatrixImportWorkerTest, FailuresPostTheirMessageAndKeepTheWorkerUsable)
{
    MatrixImportWorker worker(notifier_);
    MatrixFile store(TemporaryMatrixFileName(dir_.path()));

    // Nothing read yet: the extraction has no file to work on.
    worker.startExtraction(Square(3, 1), store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_ERROR});
    EXPECT_EQ(worker.lastResult().message, msg::NoDataFileRead);

    notifier_.clear();
    worker.startReading((dir_ / "missing.txt").string());
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_INIT_ERROR});
    EXPECT_EQ(worker.lastResult().message, "Impossible to open the file");
    EXPECT_FALSE(worker.fileRead());

    // A value missing on the third line, then one that is not a number.
    worker.startReading(Write("short.txt", "0 1 2\n1 0 3\n2\n\n"));
    ASSERT_TRUE(worker.wait());
    notifier_.clear();
    worker.startExtraction(Square(3, 1), store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_ERROR});
    EXPECT_EQ(worker.lastResult().message, "Error at line 3 (column 2)");
    EXPECT_EQ(store.matrixCount(), 0);

    worker.startReading(Write("bad.txt", "0 1 2\n1 0 3\n2 x 0\n"));
    ASSERT_TRUE(worker.wait());
    notifier_.clear();
    worker.startExtraction(Square(3, 1), store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_ERROR});
    EXPECT_NE(worker.lastResult().message.find("'x'"), std::string::npos) << worker.lastResult().message;

    // The same worker still reads and extracts a good file.
    worker.startReading(Write("good.txt", SquareText(3, 1, 0)));
    ASSERT_TRUE(worker.wait());
    notifier_.clear();
    worker.startExtraction(Square(3, 1), store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_DONE});
    EXPECT_EQ(store.matrixCount(), 1);
}

TEST_F(MatrixImportWorkerTest, CancelledStepsPostOnlyTheCancelAndCanStartAgain)
{
    const std::string file = Write("m.txt", SquareText(50, 4, 0));
    MatrixImportWorker worker(notifier_);

    // Cancelled while indexing: only the cancel is posted (lParam 1 for the
    // reading step) and no reader is kept.
    notifier_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_READ_PROGRESS)
            worker.cancel();
    };
    worker.startReading(file);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_CANCELLED});
    EXPECT_EQ(notifier_.lParams(WM_IMPORT_CANCELLED), std::vector<std::intptr_t>{1});
    EXPECT_FALSE(worker.fileRead());

    notifier_.onMessage = nullptr;
    worker.startReading(file); // the handshake clears the abort flag
    ASSERT_TRUE(worker.wait());
    ASSERT_TRUE(worker.fileRead());

    // Cancelled half way through extraction: the matrices written stay.
    notifier_.clear();
    notifier_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_IMPORT_PROGRESS && m.lParam >= 50)
            worker.cancel();
    };
    MatrixFile store(TemporaryMatrixFileName(dir_.path()));
    worker.startExtraction(Square(50, 4), store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_CANCELLED});
    EXPECT_GE(store.matrixCount(), 1);
    EXPECT_LT(store.matrixCount(), 4);

    notifier_.onMessage = nullptr;
    notifier_.clear();
    worker.startExtraction(Square(50, 4), store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_), std::vector<int>{WM_IMPORT_DONE});
    EXPECT_EQ(store.matrixCount(), 4);
}

TEST_F(MatrixImportWorkerTest, StartingAStepStopsTheRunningOne)
{
    const std::string file = Write("m.txt", SquareText(50, 4, 0));
    MatrixImportWorker worker(notifier_);
    worker.startReading(file);
    ASSERT_TRUE(worker.wait());

    // The extraction holds on at its first progress until the next start has
    // raised the abort flag; it then ends cancelled and the reading runs.
    notifier_.clear();
    std::atomic<bool> held{false};
    notifier_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_IMPORT_PROGRESS && !held.exchange(true))
            while (!worker.feedback().isCancelled())
                std::this_thread::yield();
    };
    MatrixFile store(TemporaryMatrixFileName(dir_.path()));
    worker.startExtraction(Square(50, 4), store);
    while (!held.load())
        std::this_thread::yield();
    worker.startReading(file);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(Numbers(notifier_),
              (std::vector<int>{WM_IMPORT_CANCELLED, WM_IMPORT_READ, WM_IMPORT_READ}));
    EXPECT_FALSE(worker.feedback().isCancelled());
    EXPECT_EQ(store.matrixCount(), 0);
}

TEST_F(MatrixImportWorkerTest, HandshakeGivesUpOnABusyWorker)
{
    const std::string file = Write("m.txt", SquareText(5, 1, 0));
    MatrixImportWorker worker(notifier_, std::chrono::milliseconds(50));

    // The owner is slow to take the first read notification.
    std::atomic<bool> entered{false}, release{false};
    notifier_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_IMPORT_READ && m.lParam == 0 && !entered.exchange(true))
            while (!release.load())
                std::this_thread::yield();
    };
    worker.startReading(file);
    while (!entered.load())
        std::this_thread::yield();
    try {
        worker.startReading(file);
        ADD_FAILURE() << "the handshake should time out";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), msg::ImportWorkerNotResponding);
    }
    // The flag stays raised, so the stuck step gives up once it can.
    EXPECT_TRUE(worker.feedback().isCancelled());
    release.store(true);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(notifier_.lParams(WM_IMPORT_READ), std::vector<std::intptr_t>{0});
    EXPECT_FALSE(worker.fileRead());

    worker.startReading(file);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(notifier_.lParams(WM_IMPORT_READ), (std::vector<std::intptr_t>{0, 0, 1}));
}

TEST_F(MatrixImportWorkerTest, DestructionStopsARunningExtraction)
{
    const std::string file = Write("m.txt", SquareText(50, 4, 0));
    MatrixFile store(TemporaryMatrixFileName(dir_.path()));
    std::atomic<bool> extracting{false}, running{false};
    notifier_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_IMPORT_PROGRESS && extracting.load()) {
            running.store(true);
            // Slow enough that the owner goes away mid-step.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    };
    {
        MatrixImportWorker worker(notifier_);
        worker.startReading(file);
        ASSERT_TRUE(worker.wait());
        extracting.store(true);
        worker.startExtraction(Square(50, 4), store);
        while (!running.load())
            std::this_thread::yield();
    }
    EXPECT_LT(store.matrixCount(), 4);
    const auto numbers = Numbers(notifier_);
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), WM_IMPORT_CANCELLED);
}

} // namespace

namespace {

// Two imports in one process: cancelling one leaves the other running.
TEST_F(MatrixImportWorkerTest, TwoImportsCancelIndependently)
{
    const std::string file = Write("two.txt", SquareText(120, 3, 0));
    RecordingNotifier firstNotes, secondNotes;
    MatrixImportWorker first(firstNotes), second(secondNotes);
    first.startReading(file);
    second.startReading(file);
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(second.wait());

    MatrixFile firstStore(TemporaryMatrixFileName(dir_.path()));
    MatrixFile secondStore(TemporaryMatrixFileName(dir_.path()));
    // Both are at work when the first one is cancelled: the first holds at
    // its first progress until the second has made some of its own.
    std::atomic<bool> secondMoving{false};
    firstNotes.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_IMPORT_PROGRESS && m.lParam == 1) {
            while (!secondMoving)
                std::this_thread::yield();
            first.cancel();
        }
    };
    secondNotes.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_IMPORT_PROGRESS)
            secondMoving = true;
    };
    first.startExtraction(Square(120, 3), firstStore);
    second.startExtraction(Square(120, 3), secondStore);
    ASSERT_TRUE(first.wait());
    ASSERT_TRUE(second.wait());
    EXPECT_EQ(Numbers(firstNotes).back(), WM_IMPORT_CANCELLED);
    EXPECT_EQ(Numbers(secondNotes).back(), WM_IMPORT_DONE);
    EXPECT_EQ(firstStore.matrixCount(), 0);
    EXPECT_EQ(secondStore.matrixCount(), 3);
}

} // namespace
