#include "common/Errors.h"
#include "matrix/MatrixFile.h"
#include "model/MMapFactory.h"
#include "monmonier/CountsFile.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/Paving.h"
#include "support/CliRunner.h"
#include "support/MapTestSupport.h"
#include "support/RecordingNotifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

using namespace sundrel;

namespace {

// A map of random sites and stores of random matrices for it.
class LayerSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        map_ = test::Create(factory_, test::RandomPoints(60, 51));
        ASSERT_TRUE(map_);
    }

    std::unique_ptr<MatrixFile> Store(std::int32_t m, unsigned seed)
    {
        auto store = std::make_unique<MatrixFile>(dir_ / ("s" + std::to_string(counter_++) + ".dat"));
        store->initialize(map_->N());
        std::mt19937 rng(seed);
        std::uniform_real_distribution<double> u(0.0, 1.0);
        for (std::int32_t k = 0; k < m; ++k) {
            std::vector<double> values(static_cast<std::size_t>(PairCount(map_->N())));
            for (double& v : values)
                v = u(rng);
            SMatrix matrix;
            matrix.assign(map_->N(), std::move(values));
            store->writeMatrix(matrix);
        }
        return store;
    }

    // Adds a layer and waits for it.
    std::int32_t Add(MonmonierLayer& layers, std::int32_t m, std::int32_t k, const std::string& name)
    {
        AnalysisRequest request;
        request.store = Store(m, static_cast<unsigned>(counter_ * 7 + m));
        request.single = m == 1;
        request.sundrels = k;
        request.title = name;
        EXPECT_TRUE(layers.newAnalysis(std::move(request)));
        EXPECT_TRUE(layers.wait());
        EXPECT_TRUE(layers.awaitingAcknowledge());
        layers.acknowledge();
        EXPECT_EQ(layers.lastResult().message, "");
        return layers.count() - 1;
    }

    test::TempDir dir_{"layers"};
    int counter_ = 0;
    MMapFactory factory_;
    std::unique_ptr<MMap> map_;
};

TEST_F(LayerSetTest, NewAnalysesComeToTheForegroundAndReportTheirSteps)
{
    RecordingNotifier main, progress;
    MonmonierLayer layers(MonmonierLayer::Windows{&main, &progress, nullptr});
    layers.setMap(*map_);
    ASSERT_TRUE(layers.wait());

    EXPECT_EQ(Add(layers, 1, 3, "single"), 0);
    EXPECT_EQ(Add(layers, 4, 2, "multiple"), 1);
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{0, 1}));
    EXPECT_EQ(layers.singleLayers(), (std::vector<std::int32_t>{0}));
    EXPECT_EQ(layers.multipleLayers(), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(layers.activeIndex(), 1);
    EXPECT_TRUE(layers.layer(0)->isSingle());
    EXPECT_FALSE(layers.layer(1)->isSingle());
    EXPECT_EQ(layers.layer(1)->sundrelCount(), 2);
    EXPECT_TRUE(layers.layer(1)->computed());
    // The style of new layers by kind.
    EXPECT_EQ(layers.layer(0)->lineColor, layers.styles.singleColor);
    EXPECT_EQ(layers.layer(1)->font, layers.styles.valueFont);

    const auto added = main.lParams(WM_LAYER_ADDED);
    EXPECT_EQ(added.size(), 2u);
    // Sorting: two steps per matrix; construction: M K positions.
    EXPECT_EQ(progress.lParams(WM_PROGRESS_STEP).size(), 2u * 5);
    const auto starts = progress.lParams(WM_LAYER_START);
    ASSERT_GE(starts.size(), 2u);
    EXPECT_EQ(starts.back(), 8);
    EXPECT_EQ(progress.lParams(WM_PROGRESS_POSITION).back(), 8);
    EXPECT_GE(progress.lParams(WM_LAYER_DONE).size(), 2u);

    EXPECT_EQ(layers.dataSize(), 308 + 4 * 2 + 316 * 2 + 5 * 12 * PairCount(map_->N()));
    EXPECT_EQ(layers.saveStepCount(), 3 + 9);
}

TEST_F(LayerSetTest, EditingTheMapComputesEveryLayerAgain)
{
    MonmonierLayer layers;
    layers.setMap(*map_);
    layers.wait();
    Add(layers, 1, 4, "a");
    const Report before = layers.layer(0)->report();

    factory_.AddVirtualPoint(*map_, 500.25, 500.5);
    layers.mapChanged(&map_->cells);
    ASSERT_TRUE(layers.wait());
    EXPECT_EQ(layers.lastResult().message, "");
    EXPECT_TRUE(layers.layer(0)->computed());

    // The same as a layer made on the edited map from the start.
    MonmonierLayer fresh;
    fresh.setMap(*map_);
    fresh.wait();
    AnalysisRequest request;
    request.store = std::make_unique<MatrixFile>(dir_ / "copy.dat");
    request.store->initialize(map_->N());
    request.store->writeMatrix(*layers.layer(0)->store().readMatrix(0));
    request.sundrels = 4;
    request.title = "a";
    ASSERT_TRUE(fresh.newAnalysis(std::move(request)));
    fresh.wait();
    EXPECT_EQ(fresh.layer(0)->report(), layers.layer(0)->report());
    EXPECT_NE(before, layers.layer(0)->report());
}

TEST_F(LayerSetTest, RecomputeToggleAndTheBusyFlag)
{
    MonmonierLayer layers;
    layers.setMap(*map_);
    layers.wait();
    Add(layers, 3, 2, "m");
    const auto counts = layers.layer(0)->countList();

    layers.requestRecompute(0, 5);
    layers.wait();
    EXPECT_EQ(layers.layer(0)->sundrelCount(), 5);
    layers.requestToggle(0, 0);
    layers.wait();
    EXPECT_FALSE(layers.layer(0)->getSelection()[0]);
    EXPECT_NE(layers.layer(0)->countList(), counts);

    // While a new analysis is not acknowledged, map changes are ignored.
    AnalysisRequest request;
    request.store = Store(1, 9);
    ASSERT_TRUE(layers.newAnalysis(std::move(request)));
    layers.wait();
    AnalysisRequest another;
    another.store = Store(1, 10);
    EXPECT_FALSE(layers.newAnalysis(std::move(another)));
    layers.remove(0);
    EXPECT_EQ(layers.count(), 2);
    layers.acknowledge();
    layers.remove(0);
    EXPECT_EQ(layers.count(), 1);
}

TEST_F(LayerSetTest, RemovingRenumbersAndDrawingOrderFollowsTheCommands)
{
    MonmonierLayer layers;
    layers.setMap(*map_);
    layers.wait();
    Add(layers, 1, 1, "s0");
    Add(layers, 2, 1, "m1");
    Add(layers, 1, 1, "s2");
    Add(layers, 2, 1, "m3");
    EXPECT_EQ(layers.singleLayers(), (std::vector<std::int32_t>{0, 2}));

    layers.background(3);
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{3, 0, 1, 2}));
    EXPECT_EQ(layers.multipleLayers(), (std::vector<std::int32_t>{3, 1}));
    // Passing a layer of the other kind keeps the kind list as it is.
    layers.moveFront(3);
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{0, 3, 1, 2}));
    EXPECT_EQ(layers.multipleLayers(), (std::vector<std::int32_t>{3, 1}));
    layers.moveFront(3);
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{0, 1, 3, 2}));
    EXPECT_EQ(layers.multipleLayers(), (std::vector<std::int32_t>{1, 3}));
    layers.moveBack(0); // already at the back: nothing
    layers.foreground(0);
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{1, 3, 2, 0}));
    EXPECT_EQ(layers.singleLayers(), (std::vector<std::int32_t>{2, 0}));

    layers.activate(1);
    layers.remove(0);
    EXPECT_EQ(layers.count(), 3);
    EXPECT_EQ(layers.drawOrder(), (std::vector<std::int32_t>{0, 2, 1}));
    EXPECT_EQ(layers.singleLayers(), (std::vector<std::int32_t>{1}));
    EXPECT_EQ(layers.multipleLayers(), (std::vector<std::int32_t>{0, 2}));
    EXPECT_EQ(layers.activeIndex(), 0);
    EXPECT_EQ(layers.layer(0)->name, "m1");
    // Removing the active layer makes the last one active.
    layers.remove(0);
    EXPECT_EQ(layers.activeIndex(), 1);
    layers.removeAll();
    EXPECT_EQ(layers.activeIndex(), -1);
    EXPECT_TRUE(layers.allShown());
    EXPECT_TRUE(layers.allHidden());
}

TEST_F(LayerSetTest, VisibilityCommandsAndRedrawRequests)
{
    RecordingNotifier main;
    MonmonierLayer layers(MonmonierLayer::Windows{&main, nullptr, nullptr});
    layers.setMap(*map_);
    layers.wait();
    Add(layers, 1, 1, "a");
    Add(layers, 1, 1, "b");
    EXPECT_TRUE(layers.redrawPending());
    layers.redrawDone();
    EXPECT_FALSE(layers.redrawPending());
    layers.hideInactive();
    EXPECT_FALSE(layers.layer(0)->visible);
    EXPECT_TRUE(layers.layer(1)->labelsVisible);
    EXPECT_FALSE(layers.allShown());
    EXPECT_FALSE(layers.allHidden());
    layers.hideAll();
    EXPECT_TRUE(layers.allHidden());
    layers.showAll();
    EXPECT_TRUE(layers.allShown());
    layers.layer(0)->setShowTrace(true);
    EXPECT_TRUE(layers.redrawPending());
    EXPECT_FALSE(main.lParams(WM_LAYERS_REDRAW).empty());
}

TEST_F(LayerSetTest, PavingMatrixNamesTheSharedEdge)
{
    const PavingMatrix paving = BuildPavingMatrix(map_->cells, map_->N());
    for (std::int32_t lo = 0; lo < map_->N(); ++lo) {
        const MPolygon& cell = map_->cells[static_cast<std::size_t>(lo)];
        for (std::int32_t hi = lo + 1; hi < map_->N(); ++hi) {
            const std::int32_t f = paving[static_cast<std::size_t>(PairIndex(hi, lo))];
            const auto at = std::find(cell.neighbours.begin(), cell.neighbours.end(), hi);
            if (at == cell.neighbours.end()) {
                EXPECT_EQ(f, -1);
            } else {
                // The edge from vertex f to f + 1 faces hi.
                ASSERT_GE(f, 0);
                EXPECT_EQ(cell.neighbours[static_cast<std::size_t>((f + 1) % cell.count())], hi);
            }
        }
    }
    JobFeedback cancel;
    cancel.cancel();
    EXPECT_THROW(BuildPavingMatrix(map_->cells, map_->N(), &cancel), Abort);
}

// Edits of the virtual points change which cells touch: the matrix brought
// up to date in place equals one built afresh after every edit.
TEST_F(LayerSetTest, PavingMatrixUpdatedInPlaceEqualsAFreshOne)
{
    PavedPairs paved;
    PavingMatrix paving = BuildPavingMatrix(map_->cells, map_->N(), nullptr, &paved);
    EXPECT_EQ(paved.size(), static_cast<std::size_t>(std::count_if(
                                paving.begin(), paving.end(), [](std::int32_t f) { return f >= 0; })));
    const std::int32_t before = map_->V();
    const MBounds frame = map_->frameBounds;
    const double cx = (frame.xMin + frame.xMax) / 2.0;
    const double w = frame.xMax - frame.xMin;
    const double h = frame.yMax - frame.yMin;
    const auto check = [&] {
        UpdatePavingMatrix(paving, paved, map_->cells, map_->N());
        EXPECT_EQ(paving, BuildPavingMatrix(map_->cells, map_->N()));
    };
    factory_.AddVirtualPoint(*map_, cx, frame.yMax + h * 0.2);
    check();
    factory_.AddVirtualPoint(*map_, frame.xMin - w * 0.1, frame.yMin - h * 0.1);
    check();
    factory_.RemoveVirtualPoint(*map_, 0);
    check();
    factory_.RemoveAllVirtualPoints(*map_);
    check();
    // Points close outside the sites' hull cut the long edges between
    // outer sites: pairs stop touching.
    const double cy = (frame.yMin + frame.yMax) / 2.0;
    for (const MXY at : {MXY{cx, frame.yMax + h * 0.01}, MXY{cx, frame.yMin - h * 0.01},
                         MXY{frame.xMin - w * 0.01, cy}, MXY{frame.xMax + w * 0.01, cy}})
        factory_.AddVirtualPoint(*map_, at.x, at.y);
    check();
    EXPECT_NE(map_->V(), before);
}

} // namespace

namespace {

// A new analysis that fails before its layer exists says so, and the layers
// do not wait for an acknowledgement that will never come.
TEST_F(LayerSetTest, AFailedAnalysisReportsItAndLeavesTheLayersFree)
{
    RecordingNotifier main, progress;
    MonmonierLayer layers(MonmonierLayer::Windows{&main, &progress, nullptr});
    layers.setMap(*map_);
    ASSERT_TRUE(layers.wait());
    progress.clear();

    AnalysisRequest request;
    request.store = Store(3, 11);
    // The store's file loses its matrices under it: sorting cannot read them.
    std::filesystem::resize_file(request.store->fileName(), 16);
    request.single = false;
    request.sundrels = 2;
    ASSERT_TRUE(layers.newAnalysis(std::move(request)));
    ASSERT_TRUE(layers.wait());
    EXPECT_FALSE(layers.awaitingAcknowledge());
    EXPECT_FALSE(layers.lastResult().message.empty());
    EXPECT_EQ(layers.lastResult().outcome, JobOutcome::Failed);
    EXPECT_EQ(progress.lParams(WM_LAYER_FAILED).size(), 1u);
    EXPECT_TRUE(progress.lParams(WM_LAYER_DONE).empty());
    EXPECT_TRUE(main.lParams(WM_LAYER_ADDED).empty());
    EXPECT_EQ(layers.count(), 0);

    // The next analysis runs.
    EXPECT_EQ(Add(layers, 1, 2, "after"), 0);
}

// Stopped while sorting its matrices or once its layer is in the list (the
// worker held at that point until the stop is asked), an analysis leaves no
// layer, and the next one runs.
TEST_F(LayerSetTest, AStoppedAnalysisLeavesNoLayerAtEitherStage)
{
    for (const int stage : {WM_PROGRESS_STEP, WM_LAYER_START}) {
        RecordingNotifier main, progress;
        MonmonierLayer layers(MonmonierLayer::Windows{&main, &progress, nullptr});
        layers.setMap(*map_);
        ASSERT_TRUE(layers.wait());
        Add(layers, 1, 2, "kept");
        EXPECT_FALSE(layers.stopAnalysis());

        std::atomic<bool> reached{false}, release{false};
        progress.onMessage = [&](const RecordedMessage& m) {
            if (m.message != stage || reached.exchange(true))
                return;
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        };
        AnalysisRequest request;
        request.store = Store(200, 5);
        request.sundrels = 10;
        request.title = "stopped";
        ASSERT_TRUE(layers.newAnalysis(std::move(request)));
        for (int i = 0; i < 10000 && !reached; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_TRUE(reached);
        release = true;
        EXPECT_TRUE(layers.stopAnalysis());
        EXPECT_EQ(layers.lastResult().outcome, JobOutcome::Cancelled);
        ASSERT_EQ(layers.count(), 1);
        EXPECT_EQ(layers.layer(0)->name, "kept");
        EXPECT_EQ(layers.drawOrder(), std::vector<std::int32_t>{0});
        EXPECT_EQ(progress.lParams(WM_LAYER_CANCELLED).size(), 1u);
        EXPECT_FALSE(layers.stopAnalysis());
        // Its addition was announced once its layer was in: the window's
        // acknowledgement still comes, and finds the layer gone.
        EXPECT_EQ(main.lParams(WM_LAYER_ADDED).size(), stage == WM_LAYER_START ? 2u : 1u);
        EXPECT_EQ(layers.awaitingAcknowledge(), stage == WM_LAYER_START);
        layers.acknowledge();
        progress.onMessage = nullptr;
        EXPECT_EQ(Add(layers, 1, 2, "next"), 1);
    }
}

} // namespace

namespace {

// Counts made elsewhere become a significance layer with the same count
// list; counts naming an edge the map lacks, or another N, are refused.
TEST_F(LayerSetTest, CountsFromElsewhereMakeASignificanceLayer)
{
    MonmonierLayer layers;
    layers.setMap(*map_);
    layers.wait();
    const std::int32_t computed = Add(layers, 6, 2, "test");
    CountsFile counts;
    counts.header.populations = map_->N();
    counts.header.replicates = 6;
    counts.header.sundrels = 2;
    counts.header.selection = "1,2,3,4,5,6,7,8,9,>9";
    counts.header.name = "test";
    counts.ranges = {{1, 6}};
    for (const SundrelElement& e : layers.layer(computed)->countList())
        counts.edges.push_back({e.i, e.j, static_cast<std::int64_t>(e.distance)});
    ASSERT_TRUE(layers.addCounts(counts));
    ASSERT_TRUE(layers.wait());
    EXPECT_EQ(layers.lastResult().message, "");
    ASSERT_EQ(layers.count(), 2);
    const auto made = layers.layer(1);
    EXPECT_FALSE(made->isSingle());
    EXPECT_EQ(made->countList(), layers.layer(computed)->countList());
    EXPECT_EQ(made->maxCount(), layers.layer(computed)->maxCount());
    EXPECT_EQ(made->matrixCount(), 6);
    EXPECT_EQ(made->sundrelCount(), 2);
    EXPECT_EQ(made->name, "test");
    EXPECT_EQ(layers.multipleLayers(), (std::vector<std::int32_t>{0, 1}));

    // A map edit computes the layers again: the counts stay.
    factory_.AddVirtualPoint(*map_, 500.25, 500.5);
    layers.mapChanged(&map_->cells);
    ASSERT_TRUE(layers.wait());
    EXPECT_EQ(layers.lastResult().message, "");
    EXPECT_EQ(layers.layer(1)->countList().size(), counts.edges.size());

    // Two populations whose cells do not touch.
    const PavingMatrix& paving = *layers.layer(0)->paving();
    std::int64_t apart = 0;
    while (paving[static_cast<std::size_t>(apart)] != -1)
        ++apart;
    CountsFile stray = counts;
    std::int32_t hi = 0, lo = 0;
    PairOf(apart, hi, lo);
    stray.edges = {{hi, lo, 1}};
    ASSERT_TRUE(layers.addCounts(stray));
    layers.wait();
    EXPECT_EQ(layers.lastResult().message, "The counts of \"test\" name the edge " + std::to_string(hi + 1) +
                                               " " + std::to_string(lo + 1) + ", which the map does not have");
    CountsFile other = counts;
    other.header.populations = 7;
    ASSERT_TRUE(layers.addCounts(other));
    layers.wait();
    EXPECT_EQ(layers.lastResult().message,
              "The counts of \"test\" are for 7 populations; the map has " + std::to_string(map_->N()));
    EXPECT_EQ(layers.count(), 2);
}

} // namespace
