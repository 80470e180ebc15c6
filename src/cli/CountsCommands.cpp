// Significance tests past one machine: `analyse ... --counts FILE` runs the
// replicates of one piece and writes their per-edge counts; `merge` adds the
// pieces; barriers, gis and export take the merged file with its map.

#include "cli/Counts.h"

#include "cli/Documents.h"
#include "cli/Interrupt.h"
#include "cli/Messages.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "matrix/MatrixFile.h"
#include "monmonier/AnalysisSetup.h"
#include "monmonier/CountsFile.h"
#include "monmonier/CountsLayer.h"
#include "monmonier/Messages.h"
#include "monmonier/SundrelDocument.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <optional>
#include <sstream>

namespace sundrel::cli {

namespace {

// The replicates a piece counts: --replicates FROM-TO, --piece I/N, or all.
ReplicateRange SettleRange(const PieceRequest& r, std::int64_t m)
{
    if (!r.piece.empty()) {
        if (r.genetics.rangeGiven)
            throw UsageError("give either --piece or --replicates, not both");
        const std::size_t slash = r.piece.find('/');
        if (slash == std::string::npos)
            throw UsageError("--piece takes I/N, task I of N (1 <= I <= N), not '" + r.piece + "'");
        const std::int64_t n = ParseInteger(r.piece.substr(slash + 1), "--piece N", 1, m);
        const std::int64_t i = ParseInteger(r.piece.substr(0, slash), "--piece I", 1, n);
        return PieceRange(i, n, m);
    }
    if (r.genetics.rangeGiven) {
        const ReplicateRange range{r.genetics.request.firstReplicate, r.genetics.request.lastReplicate};
        if (range.to > m)
            throw UsageError("--replicates must lie within 1-" + std::to_string(m) + ", not " +
                             FormatRanges({range}));
        return range;
    }
    return {1, m};
}

std::string MatrixOptionsText(const MatrixLayout& l)
{
    return "--size " + std::to_string(l.size) + " --matrices " + std::to_string(l.matrices) +
           (l.square ? "" : " --lower") + " --first-line " + std::to_string(l.startLine) +
           " --first-column " + std::to_string(l.startColumn) + " --gap " + std::to_string(l.gap);
}

std::string GenotypeOptionsText(const GenotypeOptions& g)
{
    const genetics::ReadOptions& r = g.read;
    std::string text = std::string("--format ") +
                       (r.format == genetics::GenotypeFormat::Detect ? "detect" : genetics::FormatName(r.format));
    text += " --untyped " + std::string(g.request.untyped == genetics::UntypedRule::Mean ? "mean" : "zero");
    text += " --rows-per-individual " + std::to_string(r.columns.rowsPerIndividual);
    text += " --label-column " + std::to_string(r.columns.labelColumn);
    text += " --population-column " + std::to_string(r.columns.populationColumn);
    text += " --first-locus-column " + std::to_string(r.columns.firstLocusColumn);
    text += " --marker-names " + std::to_string(r.columns.markerNames);
    if (!r.missing.empty())
        text += " --missing " + r.missing;
    return text;
}

// The digest of the data: the file, and the files that decide how it reads.
std::string DataDigest(const std::vector<std::string>& files)
{
    if (files.size() == 1)
        return DigestOfFile(files[0]);
    Digest digest;
    for (const std::string& file : files) {
        const std::string text = file.empty() ? std::string("-") : DigestOfFile(file);
        digest.add(text.data(), text.size());
    }
    return digest.text();
}


void WriteText(AtomicFile& file, const std::string& text)
{
    file.stream().write(text.data(), static_cast<std::streamsize>(text.size()));
}

} // namespace

int RunPiece(PieceRequest r)
{
    const bool genotypes = !r.genotypes.empty();
    std::int64_t m = 0;
    if (genotypes) {
        if (r.genetics.bootstrap == 0)
            throw UsageError("--counts needs a significance test: --bootstrap M");
        m = r.genetics.bootstrap;
    } else {
        m = r.matrices.layout.matrices;
    }
    const ReplicateRange range = SettleRange(r, m);
    if (genotypes) {
        r.genetics.rangeGiven = true;
        r.genetics.request.firstReplicate = range.from;
        r.genetics.request.lastReplicate = range.to;
        CheckGenotypeOptions(r.genetics);
    }
    CheckOutput(r.countsFile, "counts file", ".counts");
    if (!r.reportFile.empty())
        CheckOutput(r.reportFile, "report", nullptr);

    const auto begin = std::chrono::steady_clock::now();
    ProgressPrinter progress;
    MMapFactory factory;
    MonmonierLayer layers(MonmonierLayer::Windows{nullptr, &progress, nullptr});
    OpenDocument open = OpenWithLayers(r.document, factory, layers, false);
    const MMap& map = *open.doc.map;
    if (map.N() < 2)
        throw Error(msg::OnePopulation);

    CountsFile counts;
    CountsHeader& h = counts.header;
    h.mapDigest = DigestOfMap(map, factory);
    h.replicates = m;
    h.sundrels = r.sundrels;
    h.selection = SelectionText(r.selection);
    h.populations = map.N();
    counts.ranges = {range};

    // Only the piece's matrices are read or computed.
    InterruptGuard interrupts;
    std::unique_ptr<MatrixFile> store;
    if (!genotypes) {
        if (!r.matrices.sizeGiven)
            r.matrices.layout.size = map.N();
        h.source = "matrices";
        h.options = MatrixOptionsText(r.matrices.layout);
        h.distance = "imported";
        h.resampling = "none";
        h.name = r.named ? r.name : ProposedTitle(r.matrixFile);
        // The digest reads the whole file while the import indexes its lines
        // and converts the piece's matrices.
        std::future<std::string> digest =
            std::async(std::launch::async, [&] { return DataDigest({r.matrixFile}); });
        MatrixOptions piece = r.matrices;
        piece.layout.startLine += (range.from - 1) * (piece.layout.rowsPerMatrix() + piece.layout.gap);
        piece.layout.matrices = static_cast<std::int32_t>(range.size());
        store = ImportMatrices(r.matrixFile, piece);
        h.dataDigest = digest.get();
        if (store->size() != map.N())
            throw Error(msg::IncompatibleMatrixSize(map.N()));
    } else {
        const genetics::GenotypeData data = LoadGenotypes(r.genotypes, r.genetics);
        genetics::CheckPopulationCount(data, map.N());
        h.source = "genotypes";
        h.options = GenotypeOptionsText(r.genetics);
        h.distance = genetics::DistanceName(r.genetics.request.distance);
        h.resampling = genetics::ResamplingName(r.genetics.request.resampling);
        h.seed = r.genetics.request.seed;
        // The same name as the significance layer `analyse -o` adds.
        h.name = (r.named ? r.name : ProposedTitle(r.genotypes)) + " bootstrap";
        h.dataDigest = DataDigest({r.genotypes, r.genetics.populationsFile, r.genetics.read.samplesFile});
        genetics::DistanceRequest replicates = r.genetics.request;
        replicates.observed = false;
        store = ComputeStore(data, replicates, r.matrices);
    }
    if (std::int64_t(store->matrixCount()) * r.sundrels > (std::int64_t(1) << 22))
        throw Error(msg::TooManySundrels(store->matrixCount(), r.sundrels));

    AnalysisRequest request;
    request.single = false;
    request.store = std::move(store);
    request.sundrels = r.sundrels;
    request.title = h.name;
    request.selection = r.selection;
    request.firstReplicate = static_cast<std::int32_t>(range.from);
    request.replicateTotal = static_cast<std::int32_t>(m);
    progress.sorting(request.store->matrixCount());
    const std::int32_t index = layers.count();
    if (!layers.newAnalysis(std::move(request)))
        throw Error(msg::LayersBusy);
    FinishCommand(layers);
    layers.acknowledge();
    progress.finish();
    CheckInterrupted();

    const std::shared_ptr<SundrelMonmonier> layer = layers.layer(index);
    for (const SundrelElement& e : layer->countList())
        counts.edges.push_back({e.i, e.j, static_cast<std::int64_t>(e.distance)});

    // Both outputs are complete before either replaces anything.
    AtomicFile out(r.countsFile);
    WriteText(out, FormatCounts(counts));
    std::optional<AtomicFile> trace;
    if (!r.reportFile.empty()) {
        trace.emplace(r.reportFile);
        Report lines = layer->report();
        // The heading of a multiple layer: its name, the parameters, M and K.
        lines.insert(lines.begin(), TraceFirstLine(range, m, 4));
        WriteReport(*trace, lines);
    }
    out.close();
    if (trace)
        trace->close();
    CheckInterrupted();
    out.commit();
    if (trace)
        trace->commit();

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    std::printf("Replicates %s of %lld of \"%s\": %zu edges counted, %d sundrel%s each\n",
                FormatRanges({range}).c_str(), static_cast<long long>(m), h.name.c_str(),
                counts.edges.size(), r.sundrels, r.sundrels == 1 ? "" : "s");
    std::printf("%s written in %0.3f s\n", r.countsFile.c_str(), seconds);
    return 0;
}

int RunMerge(Arguments& args)
{
    std::vector<std::string> inputs, traces;
    std::string output, reportFile;
    bool partial = false;
    bool takingTraces = false;
    while (!args.Done()) {
        if (args.Take("-o") || args.Take("--output")) {
            output = args.Value("-o");
            takingTraces = false;
        } else if (args.Take("--partial")) {
            partial = true;
            takingTraces = false;
        } else if (args.Take("--reports")) {
            takingTraces = true;
        } else if (args.Take("--report")) {
            reportFile = args.Value("--report");
            takingTraces = false;
        } else if (args.IsOption()) {
            throw UsageError("unknown option " + args.Next());
        } else {
            (takingTraces ? traces : inputs).push_back(args.Next());
        }
    }
    if (inputs.empty() || output.empty())
        throw UsageError("merge needs counts files and -o OUT.counts");
    if (traces.empty() != reportFile.empty())
        throw UsageError("merge writes a report (--report OUT.txt) from the pieces' reports (--reports FILE...)");
    CheckOutput(output, "counts file", ".counts");
    if (!reportFile.empty())
        CheckOutput(reportFile, "report", nullptr);
    // Writing over an input would lose a part if anything failed.
    const auto refuseInput = [](const std::string& out, const std::vector<std::string>& files) {
        for (const std::string& file : files) {
            std::error_code ec;
            if (std::filesystem::equivalent(out, file, ec))
                throw Error("The output " + out + " is one of the files merged (" + file +
                            "): write the merge to a new file");
        }
    };
    refuseInput(output, inputs);
    refuseInput(output, traces);
    if (!reportFile.empty()) {
        refuseInput(reportFile, inputs);
        refuseInput(reportFile, traces);
    }

    std::vector<CountsPart> parts;
    for (const std::string& file : inputs) {
        parts.push_back({file, ReadCounts(file)});
    }
    const CountsFile merged = MergeCounts(parts, partial);
    std::string report;
    if (!traces.empty()) {
        std::vector<TracePart> traceParts;
        for (const std::string& file : traces)
            traceParts.push_back({file, ReadWholeFile(file)});
        report = MergeTraces(traceParts, partial);
    }

    InterruptGuard interrupts;
    AtomicFile out(output);
    WriteText(out, FormatCounts(merged));
    std::optional<AtomicFile> reportOut;
    if (!reportFile.empty()) {
        reportOut.emplace(reportFile);
        WriteText(*reportOut, report);
    }
    out.close();
    if (reportOut)
        reportOut->close();
    CheckInterrupted();
    out.commit();
    if (reportOut)
        reportOut->commit();
    std::printf("%zu part%s merged: replicates %s of %lld, %zu edges counted\n", parts.size(),
                parts.size() == 1 ? "" : "s", FormatRanges(merged.ranges).c_str(),
                static_cast<long long>(merged.header.replicates), merged.edges.size());
    return 0;
}

void AddCountsLayers(ComputedDocument& document, const std::vector<std::string>& files)
{
    if (files.empty())
        return;
    const MMap& map = *document.open.doc.map;
    const std::string digest = DigestOfMap(map, document.factory);
    for (const std::string& file : files) {
        const CountsFile counts = ReadCounts(file);
        if (counts.header.mapDigest != digest)
            throw Error("The counts file " + file + " was made on another map (map " +
                        counts.header.mapDigest + ", this map " + digest + ")");
        if (counts.header.populations != map.N())
            throw Error(msg::IncompatibleMatrixSize(map.N()));
        if (!counts.complete())
            std::fprintf(stderr, "%s counts replicates %s of 1-%lld only\n", file.c_str(),
                         FormatRanges(counts.ranges).c_str(),
                         static_cast<long long>(counts.header.replicates));
        if (!document.layers.addCounts(counts))
            throw Error(msg::LayersBusy);
        FinishCommand(document.layers);
    }
}

} // namespace sundrel::cli
