// Distances from genotypes, timed (medians of several runs):
// 1. nancycats, 1,000 bootstrap replicates over loci, Nei, end to end: the
//    command line reading the GENEPOP file and writing every matrix as text.
// 2. 200 populations x 10,000 biallelic SNPs x 100 replicates over loci, in
//    memory, matrices handed to a sink that keeps nothing.
// 3. One observed matrix, Nei, against adegenet's dist.genpop timed by Rscript
//    in the same run on the same file (when Rscript and adegenet are there).

#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"
#include "genetics/Random.h"
#include "gzip/GzipSource.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace sundrel::genetics;
using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double Seconds(const std::function<void()>& f)
{
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

class Discard : public MatrixSink {
public:
    void put(const std::vector<double>& m) override { sum += m.empty() ? 0.0 : m[0]; }
    double sum = 0.0;
};

// Populations with their own allele frequencies at each SNP, 10 diploid
// individuals each, 1 genotype in 50 missing.
GenotypeData Synthetic(std::size_t populations, std::size_t snps)
{
    GenotypeData d;
    d.path = "synthetic";
    SplitMix64 rng(12345);
    for (std::size_t p = 0; p < populations; ++p)
        d.populations.push_back("pop" + std::to_string(p + 1));
    for (std::size_t l = 0; l < snps; ++l) {
        d.loci.push_back("snp" + std::to_string(l + 1));
        d.alleles.push_back({"A", "G"});
    }
    const std::size_t perPopulation = 10;
    std::vector<double> freq(populations * snps);
    for (double& f : freq)
        f = 0.05 + 0.9 * static_cast<double>(rng.below(1000)) / 1000.0;
    for (std::size_t p = 0; p < populations; ++p)
        for (std::size_t k = 0; k < perPopulation; ++k) {
            d.individuals.push_back(d.populations[p] + "_" + std::to_string(k));
            d.population.push_back(static_cast<std::int32_t>(p));
            for (std::size_t l = 0; l < snps; ++l) {
                if (rng.below(50) == 0) {
                    d.copies.push_back(kMissing);
                    d.copies.push_back(kMissing);
                    continue;
                }
                // Both alleles seen at every SNP in some population.
                const double f = freq[p * snps + l];
                for (int c = 0; c < 2; ++c)
                    d.copies.push_back(static_cast<Copy>(static_cast<double>(rng.below(1000)) / 1000.0 < f ? 0 : 1));
            }
        }
    return d;
}

} // namespace

int main()
{
    const std::string cats = std::string(SUNDREL_GENETICS_FIXTURES) + "/nancycats.gen";
    const std::string bov = std::string(SUNDREL_GENETICS_FIXTURES) + "/microbov.gen.gz";
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "sundrel-bench-genetics.txt";

    // 1. End to end through the command line.
    std::vector<double> runs;
    const std::string command = std::string(SUNDREL_CLI_PATH) + " distances " + cats + " --bootstrap 1000 --seed 1 -o " +
                                out.string() + " > /dev/null";
    for (int i = 0; i < 7; ++i)
        runs.push_back(Seconds([&] {
            if (std::system(command.c_str()) != 0)
                std::exit(1);
        }));
    std::printf("nancycats, 1000 loci replicates, Nei, command line end to end: median %.3f s (%zu runs)\n",
                Median(runs), runs.size());
    std::filesystem::remove(out);

    // 2. 200 populations x 10,000 SNPs x 100 replicates.
    const GenotypeData snps = Synthetic(200, 10000);
    runs.clear();
    for (Distance d : {Distance::Nei, Distance::Rogers}) {
        runs.clear();
        for (int i = 0; i < 3; ++i) {
            DistanceRequest request;
            request.distance = d;
            request.resampling = Resampling::Loci;
            request.lastReplicate = 100;
            Discard sink;
            runs.push_back(Seconds([&] { ComputeDistanceMatrices(snps, request, sink); }));
        }
        std::printf("200 populations x 10000 SNPs, observed + 100 loci replicates, %s: median %.2f s\n",
                    DistanceName(d), Median(runs));
    }

    // 3. One observed matrix against dist.genpop.
    for (const std::string& file : {cats, bov}) {
        const GenotypeData data = ReadGenotypeFile(file, {}, sundrel::gzip::OpenSource);
        const int reps = 200;
        runs.clear();
        for (int i = 0; i < 5; ++i)
            runs.push_back(Seconds([&] {
                for (int k = 0; k < reps; ++k)
                    ObservedDistances(data, Distance::Nei, UntypedRule::Zero, 1);
            }) / reps);
        const double ours = Median(runs);
        std::printf("%s, one observed Nei matrix: median %.6f s", std::filesystem::path(file).filename().c_str(), ours);
        const std::filesystem::path timing = std::filesystem::temp_directory_path() / "sundrel-bench-r.txt";
        const std::string r =
            "Rscript -e 'suppressMessages(library(adegenet)); f <- \"" + file +
            "\"; if (grepl(\"gz$\", f)) { t <- tempfile(fileext=\".gen\"); writeLines(readLines(gzfile(f)), t); f <- t }; "
            "x <- suppressWarnings(read.genepop(f, ncode = if (grepl(\"microbov\", \"" + file +
            "\")) 3 else 2, quiet = TRUE)); p <- genind2genpop(x, quiet = TRUE); "
            "ts <- sapply(1:5, function(i) system.time(for (k in 1:20) dist.genpop(p, method = 1))[[\"elapsed\"]] / 20); "
            "cat(median(ts))' > " + timing.string() + " 2> /dev/null";
        if (std::system(r.c_str()) == 0) {
            std::FILE* in = std::fopen(timing.c_str(), "r");
            double theirs = 0;
            if (in && std::fscanf(in, "%lf", &theirs) == 1 && theirs > 0)
                std::printf("; adegenet dist.genpop %.6f s; %.0fx faster\n", theirs, theirs / ours);
            else
                std::printf("; adegenet timing unreadable\n");
            if (in)
                std::fclose(in);
        } else {
            std::printf("; Rscript with adegenet not found, comparison skipped\n");
        }
        std::filesystem::remove(timing);
    }
    return 0;
}
