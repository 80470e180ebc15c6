// Export jobs: the bitmap file's bytes, the fitting of the view, the job's
// messages, cancellation and failures, and the vector export's buffer loop.

#include "model/MapDocument.h"
#include "render/Export.h"
#include "render/MapDrawing.h"
#include "render/OffscreenContext.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"
#include "support/RecordingNotifier.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

using namespace sundrel;
using namespace sundrel::render;

namespace {

std::uint32_t U32(const std::string& b, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}
std::uint16_t U16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) |
                                      static_cast<unsigned char>(b[at + 1]) << 8);
}

class ExportJob : public ::testing::Test {
protected:
    void SetUp() override
    {
        map_ = test::Create(factory_, {{100, 100}, {300, 100}, {100, 300}, {300, 300}});
        ASSERT_TRUE(map_);
        map_->originalPointSize = 20.0f;
        source_.map = map_.get();
        source_.view = {0, 400, 0, 400};
        source_.primitives = &primitives_;
    }

    // Runs one job to its end and returns the messages it sent.
    std::vector<RecordedMessage> Run(int job, const ExportParameters& p, ExportingThread& thread)
    {
        EXPECT_TRUE(thread.start(job, p, source_));
        EXPECT_TRUE(thread.wait());
        return notifier_.messages();
    }

    int Outcome() const
    {
        for (const RecordedMessage& m : notifier_.messages())
            if (m.message == WM_EXPORT_FINISHED || m.message == WM_EXPORT_FAILED ||
                m.message == WM_EXPORT_CANCELLED)
                return m.message;
        return 0;
    }

    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
    ViewPrimitives primitives_;
    ExportSource source_;
    RecordingNotifier notifier_;
    test::TempDir dir_{"export-job"};
};

TEST_F(ExportJob, BitmapFilesHaveTheFixedLayoutAndPaddedRows)
{
    for (const int width : {1, 3}) {
        ExportingThread thread(&notifier_);
        ExportParameters p;
        p.file = dir_ / (width == 1 ? "w1.bmp" : "w3.bmp");
        p.width = width;
        p.height = 2;
        Run(kJobBitmap, p, thread);
        ASSERT_EQ(Outcome(), WM_EXPORT_FINISHED) << thread.lastResult().message;
        const std::string b = test::ReadFile(p.file);
        const std::uint32_t rowSize = width == 1 ? 4 : 12;
        ASSERT_EQ(b.size(), rowSize * 2 + 58);
        EXPECT_EQ(b.substr(0, 2), "BM");
        EXPECT_EQ(U32(b, 2), rowSize * 2 + 58);
        EXPECT_EQ(U32(b, 6), 0u);
        EXPECT_EQ(U32(b, 10), 58u);
        EXPECT_EQ(U32(b, 14), 40u);
        EXPECT_EQ(U32(b, 18), static_cast<std::uint32_t>(width));
        EXPECT_EQ(U32(b, 22), 2u);
        EXPECT_EQ(U16(b, 26), 1);
        EXPECT_EQ(U16(b, 28), 24);
        EXPECT_EQ(U32(b, 30), 0u); // no compression
        EXPECT_EQ(U32(b, 34), 0u); // image size
        EXPECT_EQ(U32(b, 38), 2834u); // 72 dpi in pixels per metre, truncated
        EXPECT_EQ(U32(b, 42), 2834u);
        EXPECT_EQ(U32(b, 46), 0u);
        EXPECT_EQ(U32(b, 50), 0u);
        EXPECT_EQ(U32(b, 54), 0u); // the one colour-table entry
        // The padding of each row is zero.
        for (std::uint32_t row = 0; row < 2; ++row)
            for (std::uint32_t k = 3 * width; k < rowSize; ++k)
                EXPECT_EQ(b[58 + row * rowSize + k], 0);
    }
}

TEST_F(ExportJob, ViewIsFittedWithoutDistortion)
{
    // Twice as wide as high, onto a square: x kept, y doubled about its centre.
    MBounds f = FitView({0, 200, 0, 100}, 100, 100);
    EXPECT_EQ(f, (MBounds{0, 200, -50, 150}));
    // Higher than wide onto a square: x widened.
    f = FitView({0, 100, 0, 200}, 100, 100);
    EXPECT_EQ(f, (MBounds{-50, 150, 0, 200}));
}

TEST_F(ExportJob, PrintedPagesShrinkToThePageKeepingTheViewsAspect)
{
    // 72 dpi bitmap on a 600 dpi printer: 8.33 times larger on paper.
    const double dpi72 = 72.0 / 2.54;
    PrintPlacement p = PlacePrintedBitmap(600, 300, dpi72, 600, 600, 10000, 10000, {0, 2, 0, 1});
    EXPECT_EQ(p.width, 5000);
    EXPECT_EQ(p.height, 2500);
    EXPECT_EQ(p.x, 2500);
    EXPECT_EQ(p.y, 3750);
    // Wider than the page: the page width, the height from the view's aspect.
    p = PlacePrintedBitmap(1200, 600, dpi72, 600, 600, 4960, 7015, {0, 2, 0, 1});
    EXPECT_EQ(p.width, 4960);
    EXPECT_EQ(p.height, 2480);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, (7015 - 2480) / 2);
    // Then taller than the page: the page height, the width from the aspect.
    p = PlacePrintedBitmap(600, 1200, dpi72, 600, 600, 4960, 7015, {0, 1, 0, 2});
    EXPECT_EQ(p.height, 7015);
    EXPECT_EQ(p.width, 3507);
    EXPECT_EQ(p.x, (4960 - 3507) / 2);
}

TEST_F(ExportJob, BitmapShowsTheMapWhereTheFittedViewPutsIt)
{
    ExportingThread thread(&notifier_);
    ExportParameters p;
    p.file = dir_ / "map.bmp";
    p.width = 800; // view 400 x 400 onto 800 x 400: x widened to -200 .. 600
    p.height = 400;
    source_.visible = {true, false, false, false, false};
    Run(kJobBitmap, p, thread);
    ASSERT_EQ(Outcome(), WM_EXPORT_FINISHED) << thread.lastResult().message;
    const std::string b = test::ReadFile(p.file);
    const std::size_t row = static_cast<std::size_t>(BitmapRowSize(800));
    auto pixel = [&](int x, int y) {
        const std::size_t at = 58 + static_cast<std::size_t>(y) * row + 3 * static_cast<std::size_t>(x);
        return std::array<int, 3>{static_cast<unsigned char>(b[at]),
                                  static_cast<unsigned char>(b[at + 1]),
                                  static_cast<unsigned char>(b[at + 2])};
    };
    // Site (100, 100) lands on pixel (300, 100); its disk has the points' colour.
    EXPECT_EQ(pixel(300, 100), (std::array<int, 3>{0, 0, 0xAA}));
    EXPECT_EQ(pixel(500, 300), (std::array<int, 3>{0, 0, 0xAA}));
    EXPECT_EQ(pixel(400, 200), (std::array<int, 3>{255, 255, 255}));
    EXPECT_EQ(pixel(5, 5), (std::array<int, 3>{255, 255, 255}));
}

TEST_F(ExportJob, StagesAndStepsStayWithinTheProgressMaximum)
{
    ExportingThread thread(&notifier_);
    ExportParameters p;
    p.file = dir_ / "all.bmp";
    const auto messages = Run(kJobBitmap, p, thread);
    ASSERT_EQ(Outcome(), WM_EXPORT_FINISHED) << thread.lastResult().message;
    std::vector<std::intptr_t> stages;
    std::int64_t steps = 0;
    for (const RecordedMessage& m : messages) {
        if (m.message == WM_EXPORT_STAGE)
            stages.push_back(m.lParam);
        if (m.message == WM_EXPORT_STEP) {
            EXPECT_TRUE(m.synchronous);
            ++steps;
        }
    }
    EXPECT_EQ(stages, (std::vector<std::intptr_t>{1, 14, 15, 10, 11, 13, 12, 21}));
    EXPECT_LE(steps, ExportProgressMaximum(source_));
    EXPECT_GT(steps, 4 * 4);
    EXPECT_EQ(messages.back().message, WM_EXPORT_FINISHED);
}

// The text of the code a stage message carries.
std::string StageText(int code, const std::string& layer = {})
{
    return ExportStageText(static_cast<ExportStage>(code), layer);
}

TEST(ExportStages, CodesReadAsTheDialogShowsThem)
{
    for (int code : {0, 1, 2})
        EXPECT_EQ(StageText(code), "Initializing...");
    EXPECT_EQ(StageText(15), "Drawing the Vorono\xC3\xAF paving...");
    EXPECT_EQ(StageText(20), StageText(21));
    EXPECT_EQ(StageText(23), "Sending data to the printer...");
    // The layer's name follows; the spacing after "layer :" is not the same
    // for every stage.
    EXPECT_EQ(StageText(101, "A"), "Creating monmonier layer font...\nlayer : A");
    EXPECT_EQ(StageText(102, "A"), "Drawing single monmonier sundrels...\nlayer :A");
    EXPECT_EQ(StageText(105, "A"), "Drawing multiple monmonier sundrel labels...\nlayer :A");
    EXPECT_EQ(StageText(106, "A"), "Saving monmonier layer...\nlayer : A");
    // Stages without a layer ignore the name; unknown codes have no text.
    EXPECT_EQ(StageText(100, "A"), "Drawing the Monmonier sundrels...");
    for (int code : {-1, 3, 17, 22, 107})
        EXPECT_EQ(StageText(code, "A"), "") << code;
}

TEST_F(ExportJob, CancelStopsAtTheNextStepAndLeavesNoFile)
{
    int steps = 0;
    ExportingThread thread(&notifier_);
    notifier_.onMessage = [&](const RecordedMessage& m) {
        if (m.message == WM_EXPORT_STEP && ++steps == 10)
            thread.cancel();
    };
    ExportParameters p;
    p.file = dir_ / "cancelled.bmp";
    Run(kJobBitmap, p, thread);
    EXPECT_EQ(Outcome(), WM_EXPORT_CANCELLED);
    EXPECT_EQ(steps, 10);
    EXPECT_EQ(dir_.FileCount(), 0u);

    // The next job starts with the flag cleared.
    notifier_.onMessage = nullptr;
    RecordingNotifier second;
    ExportingThread again(&second);
    ASSERT_TRUE(again.start(kJobBitmap, p, source_));
    ASSERT_TRUE(again.wait());
    EXPECT_EQ(second.messages().back().message, WM_EXPORT_FINISHED);
}

TEST_F(ExportJob, FailuresReportTheMessageAndKeepThePreviousFile)
{
    ExportingThread thread(&notifier_);
    ExportParameters p;
    p.file = dir_ / "missing-folder" / "x.bmp";
    Run(kJobBitmap, p, thread);
    ASSERT_EQ(Outcome(), WM_EXPORT_FAILED);
    EXPECT_EQ(thread.lastResult().message, "Couldn't open the file");
    // The failure's text travels with the message that ends the job.
    ASSERT_FALSE(notifier_.results().empty());
    EXPECT_EQ(notifier_.results().back().message, "Couldn't open the file");
    EXPECT_EQ(notifier_.results().back().kind, FailureKind::File);
    // The text is fetched from the worker: no message carries a pointer.
    EXPECT_EQ(notifier_.messages().back(), (RecordedMessage{WM_EXPORT_FAILED, 0, 0, false}));

    // No label font: PostScript cannot name one and is refused, an existing
    // file surviving; a bitmap leaves the labels out, as the view does.
    const auto previous = dir_ / "kept.ps";
    test::WriteFile(previous, "previous");
    map_->font.size = 0;
    const auto run = [&](int job, const std::filesystem::path& file) {
        RecordingNotifier recorded;
        ExportingThread worker(&recorded);
        ExportParameters q;
        q.file = file;
        EXPECT_TRUE(worker.start(job, q, source_));
        EXPECT_TRUE(worker.wait());
        return std::make_pair(recorded.messages().back().message, worker.lastResult().message);
    };
    EXPECT_EQ(run(kJobVector, previous),
              std::make_pair(static_cast<int>(WM_EXPORT_FAILED), std::string("Invalid font attributes")));
    EXPECT_EQ(test::ReadFile(previous), "previous");
    EXPECT_EQ(dir_.FileCount(), 1u);

    EXPECT_EQ(run(kJobBitmap, dir_ / "no-font.bmp").first, WM_EXPORT_FINISHED);
    map_->font = MapFont{};
    source_.visible[kLabels] = false;
    EXPECT_EQ(run(kJobBitmap, dir_ / "no-labels.bmp").first, WM_EXPORT_FINISHED);
    EXPECT_TRUE(test::ReadFile(dir_ / "no-font.bmp") == test::ReadFile(dir_ / "no-labels.bmp"));
}

TEST(VectorExport, PagesThatOverflowAreRewrittenFromTheStart)
{
    MMapFactory factory;
    auto map = test::Create(factory, test::RandomPoints(20000, 7));
    ASSERT_TRUE(map);
    test::TempDir dir("vector-export");
    OffscreenContext context(800, 600);
    glViewport(0, 0, 800, 600);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(map->frameBounds.xMin, map->frameBounds.xMax, map->frameBounds.yMin,
            map->frameBounds.yMax, -20, 20);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const auto file = dir / "big.ps";
    const VectorExportResult r = ExportVector(file, VectorFormat::PostScript, "Sundrel", *map,
                                              {true, true, true, true, true}, nullptr);
    EXPECT_GT(r.tries, 1);
    EXPECT_EQ(r.bufferSize, r.tries * 1048576);
    const std::string ps = test::ReadFile(file);
    auto count = [&](const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = ps.find(what); at != std::string::npos; at = ps.find(what, at + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(ps.rfind("%!PS-Adobe-3.0", 0), 0u);
    EXPECT_EQ(count("%!PS-Adobe-3.0"), 1u);
    EXPECT_EQ(count("%%EOF"), 1u);
    EXPECT_EQ(dir.FileCount(), 1u);
}

} // namespace
