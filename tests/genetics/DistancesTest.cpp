// The five distances against adegenet's dist.genpop on its own data sets,
// the rules for identical and undefined pairs, the pinned generator, and
// replicates that depend only on the data, the distance, the kind, the seed
// and their number.

#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"
#include "genetics/Random.h"
#include "gzip/GzipSource.h"
#include "matrix/SMatrix.h"

#include "common/Errors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>

namespace {

using namespace sundrel::genetics;

const std::string kFixtures = SUNDREL_GENETICS_FIXTURES;
const Distance kAll[] = {Distance::Nei, Distance::Edwards, Distance::Reynolds, Distance::Rogers, Distance::Prevosti};

// "METHOD RULE" lines, each followed by its half matrix.
std::map<std::string, std::vector<double>> ReadReference(const std::string& file)
{
    std::map<std::string, std::vector<double>> blocks;
    std::ifstream in(file);
    std::string line, key;
    while (std::getline(in, line)) {
        if (!line.empty() && std::isalpha(static_cast<unsigned char>(line[0])))
            key = line;
        else
            blocks[key].push_back(std::stod(line));
    }
    return blocks;
}

class Reference : public testing::TestWithParam<const char*> {};

TEST_P(Reference, AllFiveDistancesAgreeWithDistGenpopToOneIn1e12)
{
    const std::string name = GetParam();
    const std::string file = kFixtures + "/" + name + (name == "microbov" ? ".gen.gz" : ".gen");
    const GenotypeData data = ReadGenotypeFile(file, {}, sundrel::gzip::OpenSource);
    const auto reference = ReadReference(kFixtures + "/" + name + "-distances.txt");
    ASSERT_EQ(reference.size(), 10u);
    for (Distance d : kAll)
        for (UntypedRule rule : {UntypedRule::Zero, UntypedRule::Mean}) {
            const std::string key = std::string(DistanceName(d)) + (rule == UntypedRule::Zero ? " zero" : " mean");
            const std::vector<double>& expected = reference.at(key);
            for (int threads : {1, 2}) {
                const std::vector<double> got = ObservedDistances(data, d, rule, threads);
                ASSERT_EQ(got.size(), expected.size()) << key;
                for (std::size_t p = 0; p < got.size(); ++p)
                    ASSERT_LE(std::fabs(got[p] - expected[p]), 1e-12 * std::fabs(expected[p])) << key << " pair " << p;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Adegenet, Reference, testing::Values("nancycats", "microbov"));

// Two populations with the genotypes given per locus ("0101 0202" ...).
GenotypeData Data(const std::string& genepop)
{
    return ParseGenotypes("pairs.gen", genepop, {});
}

TEST(Distances, IdenticalPopulationsGiveZeroAndNoSharedAlleleIsNamed)
{
    // A and C are identical; B shares nothing with A at either locus.
    const GenotypeData d = Data("t\nl1, l2\nPOP\na , 0102 0304\nA , 0101 0305\nPOP\nb , 0505 0606\nB , 0606 0707\n"
                                "POP\nc , 0102 0304\nC , 0101 0305\n");
    for (Distance m : {Distance::Edwards, Distance::Reynolds, Distance::Rogers, Distance::Prevosti}) {
        const std::vector<double> v = ObservedDistances(d, m, UntypedRule::Mean);
        EXPECT_EQ(v[1], 0.0) << DistanceName(m);
        EXPECT_FALSE(std::signbit(v[1]));
        EXPECT_GT(v[0], 0.0);
    }
    try {
        ObservedDistances(d, Distance::Nei, UntypedRule::Mean);
        FAIL();
    } catch (const sundrel::Error& e) {
        EXPECT_STREQ(e.what(), "Nei's distance between populations \"A\" and \"B\" is undefined: they share no "
                               "allele at any of the 2 loci");
    }
    const GenotypeData same = Data("t\nl1, l2\nPOP\na , 0102 0304\nA , 0101 0305\nPOP\nc , 0102 0304\nC , 0101 0305\n");
    EXPECT_EQ(ObservedDistances(same, Distance::Nei, UntypedRule::Mean), std::vector<double>{0.0});
    EXPECT_THROW(ObservedDistances(Data("t\nl1\nPOP\na , 0101\n"), Distance::Nei, UntypedRule::Mean), sundrel::Error);
}

TEST(Distances, GeneratorSequenceIsPinned)
{
    // SplitMix64's published first output from state 0.
    SplitMix64 zero(0);
    EXPECT_EQ(zero.next(), 0xE220A8397B1DCDAFull);
    EXPECT_EQ(zero.next(), 0x6E789E6AA1B965F4ull);
    EXPECT_EQ(zero.next(), 0x06C45D188009454Full);
    // Replicate streams and bounded draws, pinned.
    SplitMix64 r = ReplicateStream(42, 1);
    std::vector<std::uint64_t> draws;
    for (int i = 0; i < 8; ++i)
        draws.push_back(r.below(9));
    EXPECT_EQ(draws, (std::vector<std::uint64_t>{8, 6, 0, 8, 8, 1, 7, 8}));
    EXPECT_EQ(ReplicateStream(42, 2).next(), 0x0684A9E565657C2Eull);
    // A bound of 1 always gives 0; a bound above 2^63 rejects about half.
    SplitMix64 one(7);
    EXPECT_EQ(one.below(1), 0u);
    SplitMix64 big(7);
    const std::uint64_t n = (std::uint64_t(1) << 63) + 12345;
    for (int i = 0; i < 100; ++i)
        EXPECT_LT(big.below(n), n);
}

// Collects the matrices handed over.
class Collect : public MatrixSink {
public:
    void put(const std::vector<double>& m) override { matrices.push_back(m); }
    std::vector<std::vector<double>> matrices;
};

std::vector<std::vector<double>> Matrices(const GenotypeData& data, DistanceRequest request)
{
    Collect sink;
    ComputeDistanceMatrices(data, request, sink);
    return sink.matrices;
}

TEST(Distances, ReplicatesDependOnlyOnSeedAndNumber)
{
    const GenotypeData data = ReadGenotypeFile(kFixtures + "/nancycats.gen", {});
    for (Resampling kind : {Resampling::Loci, Resampling::Individuals})
        for (Distance d : kAll) {
            SCOPED_TRACE(std::string(DistanceName(d)) + " " + ResamplingName(kind));
            DistanceRequest whole;
            whole.distance = d;
            whole.resampling = kind;
            whole.seed = 2024;
            whole.lastReplicate = 40;
            const auto all = Matrices(data, whole);
            ASSERT_EQ(all.size(), 41u);
            EXPECT_EQ(all[0], ObservedDistances(data, d, UntypedRule::Mean));
            // Pieces in another batching, another thread count, no observed matrix.
            DistanceRequest piece = whole;
            piece.observed = false;
            piece.firstReplicate = 7;
            piece.lastReplicate = 40;
            piece.threads = 1;
            const auto tail = Matrices(data, piece);
            ASSERT_EQ(tail.size(), 34u);
            for (std::size_t k = 0; k < tail.size(); ++k)
                ASSERT_EQ(tail[k], all[k + 7]) << "replicate " << k + 7;
            // Replicates differ from each other and from the observed matrix,
            // and another seed gives others.
            EXPECT_NE(all[1], all[2]);
            EXPECT_NE(all[1], all[0]);
            piece.seed = 2025;
            EXPECT_NE(Matrices(data, piece)[0], tail[0]);
            for (const auto& m : all)
                for (double v : m)
                    ASSERT_TRUE(std::isfinite(v) && v >= 0.0);
        }
}

TEST(Distances, LocusWeightsActAsRepeatedLoci)
{
    // Weights 2, 0, 1 on three loci give the distances of the data with the
    // first locus twice and no second locus.
    const std::string loci = "t\nl1, l2, l3\nPOP\na , 0102 0304 0101\nA , 0101 0305 0102\nPOP\nb , 0202 0404 0102\n"
                             "B , 0102 0303 0202\nPOP\nc , 0203 0505 0101\n";
    const std::string repeated = "t\nl1, l1b, l3\nPOP\na , 0102 0102 0101\nA , 0101 0101 0102\nPOP\nb , 0202 0202 0102\n"
                                 "B , 0102 0102 0202\nPOP\nc , 0203 0203 0101\n";
    const GenotypeData d = Data(loci), r = Data(repeated);
    const AlleleFrequencies f = Frequencies(d, UntypedRule::Mean);
    const double w[] = {2, 0, 1};
    for (Distance m : kAll) {
        std::vector<double> out(3);
        std::int64_t undefined = 0;
        WeightedDistances(f, m, w, 1, out.data(), &undefined);
        EXPECT_EQ(undefined, -1);
        const std::vector<double> expected = ObservedDistances(r, m, UntypedRule::Mean);
        for (std::size_t p = 0; p < 3; ++p)
            EXPECT_NEAR(out[p], expected[p], 1e-14) << DistanceName(m) << " " << p;
    }
}

TEST(Distances, UndefinedReplicatesAreDrawnAgainThenRefused)
{
    // A and B share an allele at l1 only: a bootstrap that misses l1 leaves
    // Nei's distance undefined and is drawn again.
    const GenotypeData d = Data("t\nl1, l2\nPOP\na , 0101 0202\nPOP\nb , 0101 0303\n");
    DistanceRequest request;
    request.resampling = Resampling::Loci;
    request.lastReplicate = 30;
    const auto matrices = Matrices(d, request);
    ASSERT_EQ(matrices.size(), 31u);
    for (const auto& m : matrices)
        EXPECT_TRUE(std::isfinite(m[0]) && m[0] >= 0.0);
    // The replicates that needed another draw give what a lone run gives.
    request.observed = false;
    request.firstReplicate = request.lastReplicate = 3;
    EXPECT_EQ(Matrices(d, request)[0], matrices[3]);

    // Sharing nothing, no draw helps: the run stops, naming the replicate.
    const GenotypeData none = Data("t\nl1, l2\nPOP\na , 0101 0202\nPOP\nb , 0303 0303\n");
    request.firstReplicate = 5;
    request.lastReplicate = 6;
    try {
        Matrices(none, request);
        FAIL();
    } catch (const sundrel::Error& e) {
        EXPECT_STREQ(e.what(), "Replicate 5 stays undefined after 100 draws: Nei's distance between populations \"a\" "
                               "and \"b\" is undefined: they share no allele at any of the 2 loci");
    }
}

} // namespace
