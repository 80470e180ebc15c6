// Genotype files on the command line: the distances command, which writes
// the observed and resampled distance matrices as text, and the reading and
// computing that `analyse --genotypes` shares with it.

#include "cli/GenotypeOptions.h"

#include "cli/Messages.h"
#include "cli/Interrupt.h"
#include "cli/MatrixOptions.h"
#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "genetics/Messages.h"
#include "genetics/MatrixSinks.h"
#include "gzip/GzipSource.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <unistd.h>

namespace sundrel::cli {

using namespace genetics;

namespace {

int ColumnOption(Arguments& args, const char* option, int min)
{
    return static_cast<int>(ParseInteger(args.Value(option), option, min, 1 << 20));
}

// A seed: any unsigned 64-bit number, as the generator takes.
std::uint64_t SeedOption(const std::string& text)
{
    std::uint64_t v = 0;
    const char* end = text.data() + text.size();
    const auto [p, ec] = std::from_chars(text.data(), end, v);
    if (ec != std::errc() || p != end)
        throw UsageError("--seed must be a whole number from 0 to " + std::to_string(UINT64_MAX) + ", not '" +
                         text + "'");
    return v;
}

// Progress of a computation on standard error, on a terminal only.
class DistanceProgress {
public:
    DistanceProgress() : tty_(::isatty(STDERR_FILENO)) {}
    ~DistanceProgress() { finish(); }
    void operator()(std::int64_t done, std::int64_t total)
    {
        const int percent = static_cast<int>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
        if (tty_ && percent > shown_) {
            shown_ = percent;
            std::fprintf(stderr, "\r%s %3d%%", msg::ComputingDistances, percent);
        }
    }
    void finish()
    {
        if (shown_ >= 0)
            std::fprintf(stderr, "\r%60s\r", "");
        shown_ = -1;
    }

private:
    bool tty_;
    int shown_ = -1;
};

// Runs `compute` with progress on a terminal and Ctrl-C as its cancel.
template <typename Computation>
void Compute(Computation compute)
{
    DistanceProgress progress;
    DistanceHooks hooks;
    hooks.progress = [&](std::int64_t done, std::int64_t total) { progress(done, total); };
    hooks.cancel = &Interrupt();
    try {
        compute(hooks);
    } catch (const Abort&) {
        throw Error(msg::DistancesCanceled);
    }
}

} // namespace

bool TakeGenotypeOption(Arguments& args, GenotypeOptions& options)
{
    ColumnLayout& columns = options.read.columns;
    if (args.Take("--format")) {
        const std::string name = args.Value("--format");
        const auto format = FormatFromName(name);
        if (!format)
            throw UsageError("--format takes genepop, fstat, structure, table or vcf, not '" + name + "'");
        options.read.format = *format;
    } else if (args.Take("--samples")) {
        options.read.samplesFile = args.Value("--samples");
    } else if (args.Take("--populations")) {
        options.populationsFile = args.Value("--populations");
    } else if (args.Take("--distance")) {
        const std::string name = args.Value("--distance");
        const auto d = DistanceFromName(name);
        if (!d)
            throw UsageError("--distance takes nei, edwards, reynolds, rogers or prevosti, not '" + name + "'");
        options.request.distance = *d;
    } else if (args.Take("--untyped")) {
        const std::string rule = args.Value("--untyped");
        if (rule != "mean" && rule != "zero")
            throw UsageError("--untyped takes mean or zero, not '" + rule + "'");
        options.request.untyped = rule == "mean" ? UntypedRule::Mean : UntypedRule::Zero;
    } else if (args.Take("--bootstrap")) {
        options.bootstrap = ParseInteger(args.Value("--bootstrap"), "--bootstrap", 1, 1000000);
    } else if (args.Take("--resample")) {
        const std::string kind = args.Value("--resample");
        if (kind != "loci" && kind != "individuals")
            throw UsageError("--resample takes loci or individuals, not '" + kind + "'");
        options.request.resampling = kind == "loci" ? Resampling::Loci : Resampling::Individuals;
        options.resampleGiven = true;
    } else if (args.Take("--seed")) {
        options.request.seed = SeedOption(args.Value("--seed"));
        options.seedGiven = true;
    } else if (args.Take("--replicates")) {
        const std::string range = args.Value("--replicates");
        const std::size_t dash = range.find('-');
        if (dash == std::string::npos)
            throw UsageError("--replicates takes a range FROM-TO such as 1-500, not '" + range + "'");
        options.request.firstReplicate = ParseInteger(range.substr(0, dash), "--replicates FROM", 1, INT64_MAX);
        options.request.lastReplicate =
            ParseInteger(range.substr(dash + 1), "--replicates TO", options.request.firstReplicate, INT64_MAX);
        options.rangeGiven = true;
    } else if (args.Take("--rows-per-individual")) {
        columns.rowsPerIndividual = ColumnOption(args, "--rows-per-individual", 1);
        if (columns.rowsPerIndividual > 2)
            throw UsageError("--rows-per-individual takes 1 or 2");
    } else if (args.Take("--label-column")) {
        columns.labelColumn = ColumnOption(args, "--label-column", 0);
    } else if (args.Take("--population-column")) {
        columns.populationColumn = ColumnOption(args, "--population-column", 1);
    } else if (args.Take("--first-locus-column")) {
        columns.firstLocusColumn = ColumnOption(args, "--first-locus-column", 1);
    } else if (args.Take("--marker-names")) {
        columns.markerNames = 1;
    } else if (args.Take("--no-marker-names")) {
        columns.markerNames = 0;
    } else if (args.Take("--missing")) {
        options.read.missing = args.Value("--missing");
    } else {
        return false;
    }
    return true;
}

void CheckGenotypeOptions(GenotypeOptions& options)
{
    DistanceRequest& r = options.request;
    if (options.bootstrap == 0) {
        if (options.resampleGiven || options.seedGiven || options.rangeGiven)
            throw UsageError("--resample, --seed and --replicates need --bootstrap M");
        r.resampling = Resampling::None;
        return;
    }
    if (!options.resampleGiven)
        r.resampling = Resampling::Loci;
    if (!options.rangeGiven) {
        r.firstReplicate = 1;
        r.lastReplicate = options.bootstrap;
    } else if (r.lastReplicate > options.bootstrap) {
        throw UsageError("--replicates must lie within 1-" + std::to_string(options.bootstrap) + " (--bootstrap " +
                         std::to_string(options.bootstrap) + ")");
    }
}

GenotypeData LoadGenotypes(const std::string& file, const GenotypeOptions& options)
{
    ReadOptions read = options.read;
    read.cancel = &Interrupt();
    GenotypeData data;
    try {
        data = ReadGenotypeFile(file, read, gzip::OpenSource);
        if (!options.populationsFile.empty())
            ReorderPopulations(data, ReadPopulationNames(options.populationsFile), options.populationsFile);
    } catch (const Abort&) {
        throw Error(msg::DistancesCanceled);
    }
    for (const std::string& line : SummaryLines(Summarise(data)))
        std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return data;
}

std::unique_ptr<MatrixFile> ComputeStore(const GenotypeData& data, const DistanceRequest& request,
                                         const MatrixOptions& storeOptions)
{
    const auto n = static_cast<std::int32_t>(data.populationCount());
    if (n < 2)
        throw Error(msg::TwoPopulationsNeeded);
    std::unique_ptr<MatrixFile> store = NewTemporaryStore(storeOptions, RequiredStoreBytes(n, request));
    Compute([&](const DistanceHooks& hooks) { ComputeIntoStore(data, request, *store, hooks); });
    return store;
}

int RunDistances(Arguments& args)
{
    std::string input, output;
    GenotypeOptions options;
    while (!args.Done()) {
        if (TakeGenotypeOption(args, options))
            continue;
        if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else
            args.TakeOperand(input);
    }
    if (input.empty())
        throw UsageError("distances needs a genotype file");
    if (output.empty())
        throw UsageError("distances needs an output file: -o MATRICES.txt");
    CheckGenotypeOptions(options);
    CheckOutput(output, "matrix file", nullptr);

    InterruptGuard interrupts;
    const auto begin = std::chrono::steady_clock::now();
    const GenotypeData data = LoadGenotypes(input, options);
    if (data.populationCount() < 2)
        throw Error(msg::TwoPopulationsNeeded);
    // The observed matrix heads the run that holds replicate 1, so the pieces
    // of a split run concatenate to the whole run.
    DistanceRequest request = options.request;
    request.observed = request.resampling == Resampling::None || request.firstReplicate == 1;
    AtomicFile file(output);
    TextMatrixSink sink(file.stream(), static_cast<std::int32_t>(data.populationCount()));
    Compute([&](const DistanceHooks& hooks) { ComputeDistanceMatrices(data, request, sink, hooks); });
    file.close();
    CheckInterrupted();
    file.commit();

    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    const std::int64_t count = RequestedMatrixCount(request);
    std::string what = request.observed ? "the observed matrix" : "";
    if (request.resampling != Resampling::None)
        what += std::string(request.observed ? " and " : "") + "replicates " + std::to_string(request.firstReplicate) +
                "-" + std::to_string(request.lastReplicate) + " (" + ResamplingName(request.resampling) +
                " resampled, seed " + std::to_string(request.seed) + ")";
    std::printf("%s distances: %s\n", DistanceName(request.distance), what.c_str());
    std::printf("%s written in %0.3f s: %lld matri%s of %zu populations (--size %zu --matrices %lld --gap 1)\n",
                output.c_str(), seconds, static_cast<long long>(count), count == 1 ? "x" : "ces",
                data.populationCount(), data.populationCount(), static_cast<long long>(count));
    return 0;
}

} // namespace sundrel::cli
