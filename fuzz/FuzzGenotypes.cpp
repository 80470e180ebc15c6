// The genotype readers on arbitrary text. The first byte chooses the format
// (detected, GENEPOP, FSTAT, STRUCTURE, table, VCF) and the STRUCTURE/table
// layout; the rest is the file. VCF samples "s1" to "s4" are assigned by a
// fixed samples file. Data that read must give finite, non-negative
// distances or the documented refusal; sundrel::Error is an expected answer,
// anything else is a finding.

#include "ScratchFile.h"

#include "common/Errors.h"
#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sundrel::genetics;
    static sundrel::fuzz::ScratchFile samples("sundrel-fuzz-genotype-samples");
    static const bool written = [] {
        static const char kSamples[] = "s1 A\ns2 A\ns3 B\ns4 B\n";
        samples.Write(reinterpret_cast<const std::uint8_t*>(kSamples), sizeof kSamples - 1);
        return true;
    }();
    (void)written;
    if (size == 0)
        return 0;
    const std::uint8_t choice = data[0];
    ReadOptions options;
    options.format = static_cast<GenotypeFormat>(choice % 6);
    options.columns.rowsPerIndividual = (choice >> 3) % 3;
    options.columns.markerNames = static_cast<int>((choice >> 5) % 3) - 1;
    options.samplesFile = samples.path().string();
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    GenotypeData genotypes;
    try {
        genotypes = ParseGenotypes("fuzz.txt", text, options);
    } catch (const sundrel::Error&) {
        return 0;
    }
    if (genotypes.populations.empty() || genotypes.loci.empty() || genotypes.individuals.empty() ||
        genotypes.copies.size() != genotypes.individuals.size() * genotypes.loci.size() * 2)
        __builtin_trap();
    for (Copy c : genotypes.copies)
        if (c != kMissing && c != kAbsent && c >= 0xFFFE)
            __builtin_trap();
    if (genotypes.populationCount() < 2 || genotypes.populationCount() > 64)
        return 0;
    for (Distance d : {Distance::Nei, Distance::Edwards, Distance::Reynolds, Distance::Rogers, Distance::Prevosti}) {
        try {
            for (double v : ObservedDistances(genotypes, d, UntypedRule::Mean, 1))
                if (!std::isfinite(v) || v < 0.0)
                    __builtin_trap();
        } catch (const sundrel::Error&) {
        }
    }
    return 0;
}
