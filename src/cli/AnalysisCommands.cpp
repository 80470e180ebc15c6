// The analysis commands: run an analysis into a sundrel document, write the
// reports of its layers, and give the barriers in a form other programs read.

#include "cli/Messages.h"
#include "cli/CommandLine.h"
#include "cli/Counts.h"
#include "cli/Documents.h"
#include "cli/GenotypeOptions.h"
#include "cli/Interrupt.h"
#include "cli/MatrixOptions.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "model/Messages.h"
#include "monmonier/AnalysisSetup.h"
#include "monmonier/CountsFile.h"
#include "monmonier/SundrelDocument.h"
#include "monmonier/Messages.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <sstream>

namespace sundrel::cli {

namespace {

// "1,2,5-7,10": ranks 1 to 10, 10 standing for every rank from 10 on.
std::array<bool, 10> ParseRanks(const std::string& text)
{
    std::array<bool, 10> flags{};
    std::stringstream in(text);
    std::string part;
    bool any = false;
    while (std::getline(in, part, ',')) {
        const std::size_t dash = part.find('-');
        const std::int64_t from =
            ParseInteger(part.substr(0, dash), "--select", 1, 10);
        const std::int64_t to =
            dash == std::string::npos ? from : ParseInteger(part.substr(dash + 1), "--select", from, 10);
        for (std::int64_t r = from; r <= to; ++r)
            flags[static_cast<std::size_t>(r - 1)] = true;
        any = true;
    }
    if (!any)
        throw UsageError("--select needs ranks such as 1,2,5-7 (10 stands for ranks 10 and above)");
    return flags;
}

std::string ReportText(const Report& report)
{
    std::string text;
    for (const std::string& line : report)
        text += line + "\n";
    return text;
}

std::int32_t LayerOption(Arguments& args, const char* option)
{
    return static_cast<std::int32_t>(ParseInteger(args.Value(option), option, 0, INT32_MAX));
}

// The layers a command works on: the one asked for, or all in index order.
std::vector<std::int32_t> Chosen(const MonmonierLayer& layers, std::int32_t only)
{
    const std::int32_t count = layers.count();
    if (only >= count)
        throw Error(msg::NoSuchLayer(only, count));
    std::vector<std::int32_t> chosen;
    for (std::int32_t i = 0; i < count; ++i)
        if (only < 0 || i == only)
            chosen.push_back(i);
    return chosen;
}

std::string Csv(const std::string& field)
{
    if (field.find_first_of(",\"\r\n") == std::string::npos)
        return field;
    std::string quoted = "\"";
    for (char c : field)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

std::string Number(double v)
{
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

} // namespace

int RunAnalyse(Arguments& args)
{
    std::vector<std::string> inputs;
    std::string output, name, reportFile;
    bool named = false;
    MatrixOptions matrices;
    std::int32_t k = 1;
    int labels = 0;
    std::array<bool, 10> selection;
    selection.fill(true);
    std::string genotypes;
    GenotypeOptions genetics;
    std::string countsFile, piece;
    while (!args.Done()) {
        if (TakeMatrixOption(args, matrices) || TakeGenotypeOption(args, genetics))
            continue;
        if (args.Take("--genotypes")) {
            genotypes = args.Value("--genotypes");
            continue;
        }
        if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else if (args.Take("--sundrels"))
            k = static_cast<std::int32_t>(ParseInteger(args.Value("--sundrels"), "--sundrels", 0, 999));
        else if (args.Take("--labels")) {
            const std::string style = args.Value("--labels");
            if (style == "letters")
                labels = 0;
            else if (style == "numbers")
                labels = 1;
            else if (style == "roman")
                labels = 2;
            else
                throw UsageError("--labels takes letters, numbers or roman, not '" + style + "'");
        } else if (args.Take("--name")) {
            name = args.Value("--name");
            named = true;
        } else if (args.Take("--select"))
            selection = ParseRanks(args.Value("--select"));
        else if (args.Take("--report"))
            reportFile = args.Value("--report");
        else if (args.Take("--counts"))
            countsFile = args.Value("--counts");
        else if (args.Take("--piece"))
            piece = args.Value("--piece");
        else if (args.IsOption())
            throw UsageError("unknown option " + args.Next());
        else
            inputs.push_back(args.Next());
    }
    if (!countsFile.empty() || !piece.empty() || (genotypes.empty() && genetics.rangeGiven)) {
        // A piece of a significance test: counts instead of a document.
        if (countsFile.empty())
            throw UsageError("--piece and --replicates over a matrix file write a counts file: --counts FILE");
        if (!output.empty())
            throw UsageError("analyse writes either a document (-o) or counts (--counts), not both");
        if (inputs.size() != (genotypes.empty() ? 2u : 1u))
            throw UsageError(genotypes.empty() ? "analyse needs a document and a matrix file"
                                               : "analyse --genotypes needs a document and no matrix file");
        PieceRequest request;
        request.document = inputs[0];
        request.matrixFile = genotypes.empty() ? inputs[1] : std::string();
        request.genotypes = genotypes;
        request.matrices = matrices;
        request.genetics = genetics;
        request.sundrels = k;
        request.selection = selection;
        request.name = name;
        request.named = named;
        request.countsFile = countsFile;
        request.reportFile = reportFile;
        request.piece = piece;
        return RunPiece(std::move(request));
    }
    if (inputs.size() != (genotypes.empty() ? 2u : 1u))
        throw UsageError(genotypes.empty() ? "analyse needs a document and a matrix file"
                                           : "analyse --genotypes needs a document and no matrix file");
    CheckGenotypeOptions(genetics);
    if (output.empty())
        throw UsageError("analyse needs an output document: -o OUT.dvk");
    // Every output place is checked before the work starts.
    CheckOutput(output, "sundrel document", ".dvk");
    if (!reportFile.empty())
        CheckOutput(reportFile, "report", nullptr);

    const auto begin = std::chrono::steady_clock::now();
    ProgressPrinter progress;
    MMapFactory factory;
    MonmonierLayer layers(MonmonierLayer::Windows{nullptr, &progress, nullptr});
    OpenDocument open = OpenWithLayers(inputs[0], factory, layers, true);
    const MMap& map = *open.doc.map;
    if (map.N() < 2)
        throw Error(msg::OnePopulation);

    // The matrices, checked against the map's populations: imported, or
    // computed from genotypes (the observed matrix for a single run, the
    // replicates for a significance test).
    InterruptGuard interrupts;
    std::vector<std::pair<std::unique_ptr<MatrixFile>, std::string>> stores;
    if (genotypes.empty()) {
        if (!matrices.sizeGiven)
            matrices.layout.size = map.N();
        std::unique_ptr<MatrixFile> store = ImportMatrices(inputs[1], matrices);
        if (store->size() != map.N())
            throw Error(msg::IncompatibleMatrixSize(map.N()));
        stores.emplace_back(std::move(store), named ? name : ProposedTitle(inputs[1]));
    } else {
        const genetics::GenotypeData data = LoadGenotypes(genotypes, genetics);
        genetics::CheckPopulationCount(data, map.N());
        const std::string title = named ? name : ProposedTitle(genotypes);
        genetics::DistanceRequest observed = genetics.request;
        observed.resampling = genetics::Resampling::None;
        observed.observed = true;
        stores.emplace_back(ComputeStore(data, observed, matrices), title);
        if (genetics.bootstrap > 0) {
            genetics::DistanceRequest replicates = genetics.request;
            replicates.observed = false;
            stores.emplace_back(ComputeStore(data, replicates, matrices), title + " bootstrap");
        }
    }

    const std::int32_t firstNew = layers.count();
    for (auto& [store, title] : stores) {
        // Every sundrel of every matrix is kept with its report lines; beyond
        // this a document could not be read back either.
        if (std::int64_t(store->matrixCount()) * k > (std::int64_t(1) << 22))
            throw Error(msg::TooManySundrels(store->matrixCount(), k));

        AnalysisRequest request;
        request.single = store->matrixCount() == 1;
        request.store = std::move(store);
        request.sundrels = k;
        request.labelStyle = labels;
        request.title = title;
        request.selection = selection;
        progress.sorting(request.store->matrixCount());
        if (!layers.newAnalysis(std::move(request)))
            throw Error(msg::LayersBusy);
        FinishCommand(layers);
        layers.acknowledge();
        progress.finish();
        if (Interrupted())
            throw Error(msg::ComputationAborted);
    }

    // Both outputs are complete before either replaces anything.
    const JobHooks hooks = InterruptHooks();
    // The document goes with the files beside its input.
    PrintWarnings(open.geographyWarnings);
    geo::DocumentFiles document(output, open.geography);
    WriteSundrelDocument(document.document(),
                         BuildSundrelHeader(map, layers, open.doc.header.activeLayer,
                                            open.doc.header.visibility),
                         map, layers, factory, &hooks);
    std::optional<AtomicFile> report;
    if (!reportFile.empty()) {
        report.emplace(reportFile);
        Report all;
        for (std::int32_t index = firstNew; index < layers.count(); ++index) {
            const Report lines = layers.layer(index)->report();
            all.insert(all.end(), lines.begin(), lines.end());
        }
        WriteReport(*report, all);
    }
    document.close();
    if (report)
        report->close();
    CheckInterrupted();
    document.commit();
    if (report)
        report->commit();
    layers.repointStores(output);

    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    for (std::int32_t index = firstNew; index < layers.count(); ++index) {
        const std::shared_ptr<SundrelMonmonier> layer = layers.layer(index);
        std::printf("Layer %d \"%s\": %s, %d matri%s of %d populations, %d sundrel%s\n", index,
                    layer->name.c_str(), layer->isSingle() ? "single run" : "significance test",
                    layer->matrixCount(), layer->matrixCount() == 1 ? "x" : "ces",
                    layer->populationCount(), layer->sundrelCount(),
                    layer->sundrelCount() == 1 ? "" : "s");
        if (layer->isSingle()) {
            const auto sundrels = layer->sundrels(0);
            for (std::size_t s = 0; s < sundrels.size(); ++s) {
                const std::size_t n = sundrels[s]->elementCount();
                if (n == 0)
                    std::printf("  sundrel %zu: none (no start segment left)\n", s + 1);
                else
                    std::printf("  sundrel %zu%s%s: %zu segment%s\n", s + 1,
                                sundrels[s]->label.empty() ? "" : " ", sundrels[s]->label.c_str(), n,
                                n == 1 ? "" : "s");
            }
        } else {
            std::printf("  %zu edges counted, largest count %d\n", layer->countList().size(),
                        layer->maxCount());
        }
    }
    std::printf("%s written in %0.3f s\n", output.c_str(), seconds);
    return 0;
}

int RunReport(Arguments& args)
{
    std::string input, output;
    std::int32_t only = -1;
    while (!args.Done()) {
        if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else if (args.Take("--layer"))
            only = LayerOption(args, "--layer");
        else
            args.TakeOperand(input);
    }
    if (input.empty())
        throw UsageError("report needs a sundrel document");

    if (!output.empty())
        CheckOutput(output, "report", nullptr);
    ComputedDocument document(input);
    MonmonierLayer& layers = document.layers;
    if (layers.count() == 0)
        throw Error(msg::NoResultLayers);
    Report all;
    for (std::int32_t i : Chosen(layers, only)) {
        const Report report = layers.layer(i)->report();
        all.insert(all.end(), report.begin(), report.end());
    }
    if (output.empty()) {
        std::fputs(ReportText(all).c_str(), stdout);
    } else {
        InterruptGuard interrupts;
        AtomicFile file(output);
        WriteReport(file, all);
        CheckInterrupted();
        file.commit();
    }
    return 0;
}

int RunBarriers(Arguments& args)
{
    std::string input;
    std::string format = "csv";
    std::int32_t only = -1;
    std::vector<std::string> countsFiles;
    while (!args.Done()) {
        if (args.Take("--counts"))
            countsFiles.push_back(args.Value("--counts"));
        else if (args.Take("--layer"))
            only = LayerOption(args, "--layer");
        else if (args.Take("--format")) {
            format = args.Value("--format");
            if (format != "csv" && format != "json")
                throw UsageError("--format takes csv or json, not '" + format + "'");
        } else {
            args.TakeOperand(input);
        }
    }
    if (input.empty())
        throw UsageError("barriers needs a sundrel document");

    ComputedDocument document(input);
    AddCountsLayers(document, countsFiles);
    MonmonierLayer& layers = document.layers;
    const std::vector<std::int32_t> chosen = Chosen(layers, only);
    if (layers.count() == 0)
        std::fprintf(stderr, "%s\n", msg::NoResultLayers);

    std::ostringstream out;
    if (format == "csv") {
        out << "layer,name,kind,rank,label,i,j,value\n";
        for (std::int32_t index : chosen) {
            const auto layer = layers.layer(index);
            const std::string head = std::to_string(index) + "," + Csv(layer->name) + "," +
                                     (layer->isSingle() ? "single" : "significance") + ",";
            if (layer->isSingle()) {
                const auto sundrels = layer->sundrels(0);
                for (std::size_t s = 0; s < sundrels.size(); ++s)
                    for (const SundrelElement& e : sundrels[s]->elements())
                        out << head << s + 1 << "," << Csv(sundrels[s]->label) << "," << e.i + 1
                            << "," << e.j + 1 << "," << Number(e.distance) << "\n";
            } else {
                for (const SundrelElement& e : layer->countList())
                    out << head << ",," << e.i + 1 << "," << e.j + 1 << "," << Number(e.distance)
                        << "\n";
            }
        }
    } else {
        out << "{\n  \"document\": " << JsonString(input) << ",\n  \"layers\": [";
        bool firstLayer = true;
        for (std::int32_t index : chosen) {
            const auto layer = layers.layer(index);
            out << (firstLayer ? "\n" : ",\n") << "    {\"layer\": " << index
                << ", \"name\": " << JsonString(layer->name) << ", \"kind\": \""
                << (layer->isSingle() ? "single" : "significance") << "\", \"N\": "
                << layer->populationCount() << ", \"M\": " << layer->matrixCount()
                << ", \"K\": " << layer->sundrelCount();
            firstLayer = false;
            if (layer->isSingle()) {
                out << ", \"sundrels\": [";
                const auto sundrels = layer->sundrels(0);
                for (std::size_t s = 0; s < sundrels.size(); ++s) {
                    const auto elements = sundrels[s]->elements();
                    out << (s ? ",\n" : "\n") << "      {\"rank\": " << s + 1
                        << ", \"label\": " << JsonString(sundrels[s]->label);
                    if (!elements.empty())
                        out << ", \"ends\": [" << sundrels[s]->oppositeEndRef() + 1 << ", "
                            << sundrels[s]->firstEndRef() + 1 << "]";
                    else
                        out << ", \"ends\": null";
                    out << ", \"segments\": [";
                    for (std::size_t e = 0; e < elements.size(); ++e)
                        out << (e ? ", " : "") << "{\"i\": " << elements[e].i + 1
                            << ", \"j\": " << elements[e].j + 1
                            << ", \"distance\": " << Number(elements[e].distance) << "}";
                    out << "]}";
                }
                out << (sundrels.empty() ? "]}" : "\n    ]}");
            } else {
                out << ", \"maxCount\": " << layer->maxCount() << ", \"edges\": [";
                const auto counts = layer->countList();
                for (std::size_t e = 0; e < counts.size(); ++e)
                    out << (e ? ", " : "") << "{\"i\": " << counts[e].i + 1
                        << ", \"j\": " << counts[e].j + 1
                        << ", \"count\": " << Number(counts[e].distance) << "}";
                out << "]}";
            }
        }
        out << (chosen.empty() ? "]\n}\n" : "\n  ]\n}\n");
    }
    std::fputs(out.str().c_str(), stdout);
    return 0;
}

void PrintLayers(const MonmonierLayer& layers, bool json)
{
    const std::vector<std::int32_t> order = layers.drawOrder();
    if (json) {
        std::printf(",\n  \"layers\": [");
        for (std::int32_t i = 0; i < layers.count(); ++i) {
            const auto layer = layers.layer(i);
            const auto selection = layer->getSelection();
            std::printf("%s\n    {\"layer\": %d, \"name\": %s, \"kind\": \"%s\", \"N\": %d, \"M\": %d, "
                        "\"K\": %d, \"selection\": [",
                        i ? "," : "", i, JsonString(layer->name).c_str(),
                        layer->isSingle() ? "single" : "significance", layer->populationCount(),
                        layer->matrixCount(), layer->sundrelCount());
            for (int r = 0; r < 10; ++r)
                std::printf("%s%s", r ? ", " : "", selection[static_cast<std::size_t>(r)] ? "true" : "false");
            std::printf("], \"visible\": %s, \"labelsVisible\": %s}", layer->visible ? "true" : "false",
                        layer->labelsVisible ? "true" : "false");
        }
        std::printf("%s,\n  \"drawOrder\": [", layers.count() ? "\n  ]" : "]");
        for (std::size_t i = 0; i < order.size(); ++i)
            std::printf("%s%d", i ? ", " : "", order[i]);
        std::printf("],\n  \"activeLayer\": %d", layers.activeIndex());
        return;
    }
    std::printf("result layers: %d\n", layers.count());
    for (std::int32_t i = 0; i < layers.count(); ++i) {
        const auto layer = layers.layer(i);
        std::printf("  layer %d \"%s\": %s, N %d, M %d, K %d, selection %s, %s%s\n", i,
                    layer->name.c_str(), layer->isSingle() ? "single run" : "significance test",
                    layer->populationCount(), layer->matrixCount(), layer->sundrelCount(),
                    SelectionText(layer->getSelection()).c_str(),
                    layer->visible ? "visible" : "hidden",
                    layer->visible && !layer->labelsVisible ? ", labels hidden" : "");
    }
}

} // namespace sundrel::cli
