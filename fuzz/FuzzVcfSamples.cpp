// The samples file of a VCF on arbitrary bytes, for a fixed VCF of samples
// "s1" to "s4". A file that reads assigns every sample to one of at most
// four populations, each with a sample; sundrel::Error is an expected answer.

#include "ScratchFile.h"

#include "common/Errors.h"
#include "genetics/GenotypeReaders.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace sundrel::genetics;
    static sundrel::fuzz::ScratchFile samples("sundrel-fuzz-vcf-samples");
    static const std::string kVcf =
        "##fileformat=VCFv4.2\n#CHROM\tPOS\tID\tREF\tALT\tQUAL\tFILTER\tINFO\tFORMAT\ts1\ts2\ts3\ts4\n"
        "1\t10\tl1\tA\tC\t.\t.\t.\tGT\t0/0\t0/1\t1/1\t0|1\n"
        "1\t20\tl2\tG\tT\t.\t.\t.\tGT\t0\t1\t./.\t1/1\n";
    samples.Write(data, size);
    ReadOptions options;
    options.format = GenotypeFormat::Vcf;
    options.samplesFile = samples.path().string();
    GenotypeData genotypes;
    try {
        genotypes = ParseGenotypes("fuzz.vcf", kVcf, options);
    } catch (const sundrel::Error&) {
        return 0;
    }
    if (genotypes.individualCount() != 4 || genotypes.locusCount() != 2 || genotypes.populations.empty() ||
        genotypes.populations.size() > 4 || genotypes.population.size() != 4)
        __builtin_trap();
    std::vector<int> peopled(genotypes.populations.size(), 0);
    for (std::int32_t p : genotypes.population) {
        if (p < 0 || static_cast<std::size_t>(p) >= peopled.size())
            __builtin_trap();
        peopled[static_cast<std::size_t>(p)] = 1;
    }
    for (int k : peopled)
        if (!k)
            __builtin_trap();
    return 0;
}
