#pragma once
// Allele frequencies and the five population distances population
// geneticists use with barrier analyses, as adegenet's dist.genpop methods
// 1-5 define them: Nei's standard distance (1972), Edwards' angular distance
// (Cavalli-Sforza chord, 1971), Reynolds, Weir and Cockerham's coancestry
// distance (1983), Rogers' distance (1972), Prevosti's distance (1975).
//
// Every distance is a function of sums over loci, so a bootstrap over loci
// only re-weights per-locus terms: with w_l the number of times locus l is
// drawn (1 for the observed matrix) and W = sum of w_l,
//   Nei       -ln( (S_ij / sqrt(S_jj)) / sqrt(S_ii) ),  S_ij = sum_l w_l sum_a p_ia p_ja
//   Edwards   sqrt(1 - E_ij / W),                      E_ij = sum_l w_l sum_a sqrt(p_ia p_ja)
//   Reynolds  sqrt( ((-2 S_ij + S_jj) + S_ii) / (2 W - 2 S_ij) )
//   Rogers    sum_l w_l sqrt(0.5 ((-2 s_ij + s_jj) + s_ii)) / W, s per locus
//   Prevosti  sum_l w_l sum_a |p_ja - p_ia| / (2 W)
// (i the higher population index of the pair, j the lower; sums in locus
// order, alleles in order within a locus). A value that rounding takes
// below 0 (identical populations) is 0. Nei's distance of a pair sharing no
// allele is undefined.

#include "genetics/Genotypes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace sundrel {
class JobFeedback;
}

namespace sundrel::genetics {

enum class Distance { Nei, Edwards, Reynolds, Rogers, Prevosti };
const char* DistanceName(Distance d); // "nei", "edwards", ...
std::optional<Distance> DistanceFromName(std::string_view name);

// A population with no typed allele at a locus: Mean takes, for each allele,
// its mean frequency over the populations typed there (makefreq's "mean");
// Zero gives it frequency 0 for every allele, which is what dist.genpop
// itself computes in adegenet 2.1.
enum class UntypedRule { Mean, Zero };

// Frequencies of the alleles per population, from the typed allele copies
// (a haploid genotype gives one copy, a diploid two).
struct AlleleFrequencies {
    std::size_t populations = 0;
    std::vector<std::size_t> locusStart; // loci + 1 offsets into the columns
    std::vector<double> values;          // populations x columns, row-major
    std::size_t columns() const { return locusStart.empty() ? 0 : locusStart.back(); }
    std::size_t loci() const { return locusStart.empty() ? 0 : locusStart.size() - 1; }
};

// Frequencies of the whole data, or of the individuals listed in `drawn`
// (indices, repeats allowed). A locus typed in no population leaves
// `untypedLocus` set (and its frequencies 0).
AlleleFrequencies Frequencies(const GenotypeData& data, UntypedRule rule,
                              const std::vector<std::uint32_t>* drawn = nullptr,
                              std::optional<std::size_t>* untypedLocus = nullptr);

// Distances under B locus weightings at once: weights[l * B + b], results
// out[b * pairs + p] in half-matrix order. undefined[b] receives the first
// pair whose distance is undefined under weighting b, or -1. The result does
// not depend on `threads` (0: the machine's cores).
void WeightedDistances(const AlleleFrequencies& f, Distance d, const double* weights, std::size_t B,
                       double* out, std::int64_t* undefined, int threads = 0);

enum class Resampling { None, Loci, Individuals };
const char* ResamplingName(Resampling r); // "loci", "individuals"

struct DistanceRequest {
    Distance distance = Distance::Nei;
    UntypedRule untyped = UntypedRule::Mean;
    bool observed = true; // the observed matrix first
    Resampling resampling = Resampling::None;
    std::uint64_t seed = 1;
    // Replicates firstReplicate .. lastReplicate (1-based, inclusive).
    std::int64_t firstReplicate = 1;
    std::int64_t lastReplicate = 0;
    int threads = 0;
};

// A replicate whose matrix holds an undefined distance (or, resampling
// individuals, a locus typed in no individual drawn) is drawn again from the
// rest of its own stream, up to this many draws in all; then the run stops.
inline constexpr int kMaxReplicateDraws = 100;

// Where the matrices go, one at a time, in half-matrix order.
class MatrixSink {
public:
    virtual ~MatrixSink() = default;
    virtual void put(const std::vector<double>& halfMatrix) = 0;
};

struct DistanceHooks {
    std::function<void(std::int64_t done, std::int64_t total)> progress;
    const JobFeedback* cancel = nullptr; // silent abort once set
};

// The observed matrix (when asked) then the replicates, each handed to the
// sink as soon as it is made: memory does not grow with their number. An
// undefined observed distance raises Error naming the pair and the number of
// loci.
void ComputeDistanceMatrices(const GenotypeData& data, const DistanceRequest& request, MatrixSink& sink,
                             const DistanceHooks& hooks = {});

// The observed matrix alone.
std::vector<double> ObservedDistances(const GenotypeData& data, Distance d, UntypedRule rule,
                                      int threads = 0);

} // namespace sundrel::genetics
