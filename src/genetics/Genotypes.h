#pragma once
// Genotypes of sampled individuals grouped in populations, as read from a
// genotype file: populations in the order they first appear (population k is
// site k of the map), loci, the alleles seen at each locus, and for every
// individual two allele copies per locus.

#include <cstdint>
#include <string>
#include <vector>

namespace sundrel::genetics {

// An allele copy: an index into the locus's alleles, or one of these.
using Copy = std::uint16_t;
inline constexpr Copy kMissing = 0xFFFF; // not typed
inline constexpr Copy kAbsent = 0xFFFE;  // the second copy of a haploid genotype
inline constexpr std::size_t kMaxAlleles = 0xFFFE;

struct GenotypeData {
    std::string path; // the file read, for messages
    std::vector<std::string> populations;
    std::vector<std::string> loci;
    std::vector<std::vector<std::string>> alleles; // per locus, in order of first appearance
    std::vector<std::string> individuals;
    std::vector<std::int32_t> population; // per individual
    // Individual-major: copies[(individual * loci + locus) * 2 + c]. A
    // missing genotype has both copies kMissing; a haploid one kAbsent second.
    std::vector<Copy> copies;
    // What the reader chose where the file left a choice, for the summary.
    std::vector<std::string> notes;

    std::size_t populationCount() const { return populations.size(); }
    std::size_t locusCount() const { return loci.size(); }
    std::size_t individualCount() const { return individuals.size(); }
    const Copy* genotype(std::size_t individual, std::size_t locus) const
    {
        return copies.data() + (individual * loci.size() + locus) * 2;
    }
};

// What the summary shows: populations, individuals per population, loci,
// alleles per locus, missing genotypes per population in percent.
struct GenotypeSummary {
    struct Population {
        std::string name;
        std::int64_t individuals = 0;
        double missingPercent = 0.0;
    };
    std::vector<Population> populations;
    std::vector<std::pair<std::string, std::int64_t>> alleles; // per locus
    std::int64_t individuals = 0;
    int maxPloidy = 0;
    int minPloidy = 0; // of the typed genotypes; below maxPloidy when they mix
    std::vector<std::string> notes;
};

GenotypeSummary Summarise(const GenotypeData& data);
// The summary as text lines, for the command line.
std::vector<std::string> SummaryLines(const GenotypeSummary& summary);

// Puts the populations in the order of `names` (one per site of the map).
// Every population must be named once and every name must be a population:
// otherwise raises Error naming each unknown, repeated and missing name.
void ReorderPopulations(GenotypeData& data, const std::vector<std::string>& names,
                        const std::string& namesFile);

// Reads a population list: one name per line, surrounding white space and
// blank lines ignored.
std::vector<std::string> ReadPopulationNames(const std::string& path);

// Refuses, before any work, genotypes whose population count differs from the
// map's, with both numbers.
void CheckPopulationCount(const GenotypeData& data, std::int64_t sites);

} // namespace sundrel::genetics
