// The worker behind the window's genotype dialog: what it reports for each
// way a step ends, and that the store it fills holds the matrices the
// command line computes.

#include "genetics/GenotypeWorker.h"
#include "genetics/MatrixSinks.h"
#include "genetics/Messages.h"
#include "import/Messages.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"
#include "support/RecordingNotifier.h"

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include <unistd.h>

namespace {

using namespace sundrel;
using namespace sundrel::genetics;
namespace fs = std::filesystem;

const std::string kCats = std::string(SUNDREL_GENETICS_FIXTURES) + "/nancycats.gen";

class VectorSink : public MatrixSink {
public:
    void put(const std::vector<double>& m) override { matrices.push_back(m); }
    std::vector<std::vector<double>> matrices;
};

fs::path StorePath(const char* name)
{
    return fs::temp_directory_path() / (std::string("genotype-worker-") + name + "-" +
                                        std::to_string(::getpid()) + ".dat");
}

TEST(GenotypeWorker, ReadsThenComputesTheCommandLinesMatricesAndReportsEachEnd)
{
    RecordingNotifier owner;
    GenotypeWorker worker(owner);

    // A file that cannot be read: the reading step fails with its path, and
    // a computation has no genotypes to work on.
    const std::uint64_t bad = worker.startReading("/nonexistent/cats.gen", {});
    ASSERT_TRUE(worker.wait());
    EXPECT_FALSE(worker.dataRead());
    ASSERT_EQ(owner.messages().back(), (RecordedMessage{WM_IMPORT_INIT_ERROR, std::intptr_t(bad), 0}));
    EXPECT_EQ(owner.results().back().kind, FailureKind::File);
    EXPECT_EQ(owner.results().back().file, "/nonexistent/cats.gen");
    MatrixFile unused(StorePath("unused"));
    worker.startComputing({}, unused);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(owner.messages().back().message, WM_IMPORT_ERROR);
    EXPECT_EQ(owner.results().back().message, msg::NoGenotypesRead);

    const std::uint64_t read = worker.startReading(kCats, {});
    ASSERT_TRUE(worker.wait());
    ASSERT_EQ(owner.messages().back(), (RecordedMessage{WM_IMPORT_READ, std::intptr_t(read), 1}));
    ASSERT_TRUE(worker.dataRead());
    EXPECT_EQ(worker.populationCount(), 17u);
    EXPECT_EQ(worker.summary().alleles.size(), 9u);

    // Observed plus replicates into a store: the matrices the command line
    // writes for the same request, in the same order, and progress that
    // only grows.
    DistanceRequest request;
    request.distance = Distance::Reynolds;
    request.resampling = Resampling::Individuals;
    request.seed = 11;
    request.lastReplicate = 6;
    ASSERT_EQ(RequestedMatrixCount(request), 7);
    EXPECT_EQ(RequiredStoreBytes(17, request), 136 * 12 * 7);
    MatrixFile store(StorePath("store"));
    owner.clear();
    const std::uint64_t computed = worker.startComputing(request, store);
    ASSERT_TRUE(worker.wait());
    ASSERT_EQ(owner.messages().back(), (RecordedMessage{WM_IMPORT_DONE, std::intptr_t(computed), 0}));
    const std::vector<std::intptr_t> percents = owner.lParams(WM_IMPORT_PROGRESS);
    ASSERT_FALSE(percents.empty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
    EXPECT_EQ(percents.back(), 100);

    const GenotypeData data = ReadGenotypeFile(kCats, {});
    VectorSink expected;
    ComputeDistanceMatrices(data, request, expected);
    ASSERT_EQ(store.matrixCount(), 7);
    ASSERT_EQ(store.size(), 17);
    for (std::int32_t k = 0; k < 7; ++k) {
        for (std::size_t p = 0; p < expected.matrices[k].size(); ++p)
            ASSERT_EQ(store.readDistance(k, static_cast<std::int64_t>(p)), expected.matrices[k][p]) << k;
    }
    // Computing again into the same store starts it afresh.
    request.resampling = Resampling::None;
    worker.startComputing(request, store);
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(store.matrixCount(), 1);
    store.close();
    EXPECT_FALSE(fs::exists(StorePath("store")));
}

TEST(GenotypeWorker, CancelledComputationEndsAsCancelledAndTooFewPopulationsAreRefused)
{
    RecordingNotifier owner;
    GenotypeWorker worker(owner);
    worker.startReading(kCats, {});
    ASSERT_TRUE(worker.wait());

    // Far more replicates than the test waits for: cancelled while it runs.
    DistanceRequest request;
    request.resampling = Resampling::Loci;
    request.lastReplicate = 10000000;
    MatrixFile store(StorePath("cancelled"));
    const std::uint64_t step = worker.startComputing(request, store);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    worker.cancel();
    ASSERT_TRUE(worker.wait());
    EXPECT_EQ(owner.messages().back(), (RecordedMessage{WM_IMPORT_CANCELLED, std::intptr_t(step), 0}));
    EXPECT_EQ(owner.lParams(WM_IMPORT_DONE).size(), 0u);
    EXPECT_LT(store.matrixCount(), 10000001);
    store.close();
    EXPECT_FALSE(fs::exists(StorePath("cancelled")));

    // One population has no distance: refused before the store is touched.
    GenotypeData one = ReadGenotypeFile(kCats, {});
    one.populations.resize(1);
    std::fill(one.population.begin(), one.population.end(), 0);
    MatrixFile untouched(StorePath("untouched"));
    try {
        ComputeIntoStore(one, {}, untouched);
        FAIL() << "one population was accepted";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), msg::TwoPopulationsNeeded);
    }
    EXPECT_EQ(untouched.size(), -1);
    EXPECT_FALSE(fs::exists(StorePath("untouched")));
}

} // namespace
