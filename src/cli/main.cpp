// sundrel-cli: the batch command line. Each command runs the same core code
// as the application and reports failures with the system's own messages.

#include "cli/Messages.h"
#include "cli/CommandLine.h"
#include "cli/Interrupt.h"

#include "common/Errors.h"
#include "common/Messages.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <string>

namespace {

// Each command's synopsis and what it does, in the order of the usage.
struct CommandHelp {
    const char* name;
    const char* text;
};
const CommandHelp kCommands[] = {
    {"map",
     "  map COORDS.txt -o MAP.dvt [--first-line L] [--first-column C] [--points N] [--y-first]\n"
     "      [--geographic] [--crs CRS]\n"
     "      triangulate the sampling sites of a coordinates file and save the map; with\n"
     "      --geographic the sites are longitude/latitude in degrees, projected around\n"
     "      their centre (or onto CRS: EPSG:CODE, a PROJ string or WKT), the system kept\n"
     "      in MAP.dvt.prj\n"},
    {"edit",
     "  edit MAP.dvt -o OUT.dvt [--add X,Y]... [--remove-virtual SLOT]... [--remove-all-virtual]\n"
     "      add and remove virtual points, in the order given (SLOT is 0-based)\n"},
    {"info",
     "  info DOC [--json]\n"
     "      describe a document\n"},
    {"matrices",
     "  matrices FILE --size N [--matrices M] [--lower] [--first-line L] [--first-column C]\n"
     "           [--gap G] [--temp-dir DIR]\n"
     "      extract the distance matrices of a text file and summarise them\n"},
    {"analyse",
     "  analyse DOC MATRICES -o OUT.dvk [matrix options] [--sundrels K]\n"
     "          [--labels letters|numbers|roman] [--name NAME] [--select RANKS] [--report FILE]\n"
     "      add a result layer (a single run on one matrix, a significance test on several)\n"},
    {"analyse",
     "  analyse DOC --genotypes GENOTYPES -o OUT.dvk [genotype options] [--temp-dir DIR] ...\n"
     "      add a single run on the observed distances and, with --bootstrap M, a\n"
     "      significance test on the replicates\n"},
    {"analyse",
     "  analyse DOC (MATRICES | --genotypes GENOTYPES --bootstrap M ...) --counts PART.counts\n"
     "          [--replicates FROM-TO | --piece I/N] [--report PART.trace] ...\n"
     "      a piece of a significance test: the per-edge counts of replicates FROM-TO\n"
     "      (or of task I of N), for merge\n"},
    {"merge",
     "  merge PARTS.counts... -o OUT.counts [--partial] [--reports TRACES... --report OUT.txt]\n"
     "      add the counts of the pieces (and join their reports) into those of one run\n"},
    {"distances",
     "  distances GENOTYPES -o MATRICES.txt [--format genepop|fstat|structure|table|vcf]\n"
     "            [--samples FILE] [--populations FILE] [--distance nei|edwards|reynolds|rogers|prevosti]\n"
     "            [--untyped mean|zero] [--bootstrap M [--resample loci|individuals] [--seed S]\n"
     "            [--replicates FROM-TO]] [--rows-per-individual 1|2] [--label-column C]\n"
     "            [--population-column C] [--first-locus-column C] [--marker-names] [--missing TEXT]\n"
     "      population distances from genotypes, then resampled replicates, as matrix text\n"},
    {"report",
     "  report DOC.dvk [--layer I] [-o FILE]\n"
     "      the report of a layer (all layers when no index is given)\n"},
    {"barriers",
     "  barriers DOC.dvk [--layer I] [--format csv|json] [--counts FILE]...\n"
     "      the sundrels and edge counts, for other programs\n"},
    {"export",
     "  export DOC -o OUT.(bmp|png|ps|eps|svg|pdf) [--width W] [--height H] [--dpi D]\n"
     "         [--view XMIN,XMAX,YMIN,YMAX]\n"
     "         [--backdrop FILE [--backdrop-line #RRGGBB] [--backdrop-size POINTS]\n"
     "          [--backdrop-fill #RRGGBB|none]]... [--counts FILE]...\n"
     "      draw the document as the window shows it (800 x 600 at 72 dpi by default),\n"
     "      over the vector files given as backdrops\n"},
    {"gis",
     "  gis DOC -o OUT.(gpkg|geojson|shp) [--crs CRS] [--to-crs CRS] [--counts FILE]...\n"
     "      the sites, Delaunay edges, cells and barriers as GIS layers\n"},
};

const char* kOptions =
    "\n"
    "options:\n"
    "  -h, --help        this help; COMMAND --help: the help of that command\n"
    "  --version         the version\n";

std::string Usage()
{
    std::string text = "usage: sundrel-cli COMMAND [ARGUMENTS]\n\ncommands:\n";
    for (const CommandHelp& c : kCommands)
        text += c.text;
    return text + kOptions;
}

bool IsHelp(const char* arg)
{
    return !std::strcmp(arg, "-h") || !std::strcmp(arg, "--help");
}

// The help of one command ("analyze" is "analyse"); empty for an unknown one.
std::string CommandUsage(std::string command)
{
    if (command == "analyze")
        command = "analyse";
    std::string text;
    for (const CommandHelp& c : kCommands)
        if (command == c.name)
            text += (text.empty() ? "usage: sundrel-cli " : "   or: sundrel-cli ") +
                    std::string(c.text + 2);
    return text;
}

int Run(const std::string& command, sundrel::cli::Arguments& args);

} // namespace

int main(int argc, char** argv)
{
    using namespace sundrel::cli;
    if (argc < 2 || IsHelp(argv[1])) {
        std::fputs(Usage().c_str(), argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    if (!std::strcmp(argv[1], "--version")) {
        std::fputs("sundrel-cli " SUNDREL_VERSION "\n", stdout);
        return 0;
    }
    const std::string command = argv[1];
    if (argc > 2 && IsHelp(argv[2])) {
        const std::string help = CommandUsage(command);
        if (!help.empty()) {
            std::fputs(help.c_str(), stdout);
            return 0;
        }
    }
    Arguments args(argc, argv, 2);
    InstallSignalHandlers();
    const int status = Run(command, args);
    // What went to standard output (a file, a pipe) must have arrived.
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "%s\n",
                     sundrel::msg::FileFailure(sundrel::msg::FileWritingError, "standard output",
                                               sundrel::SystemReason(errno ? errno : EIO))
                         .c_str());
        return 1;
    }
    return status;
}

namespace {

int Run(const std::string& command, sundrel::cli::Arguments& args)
{
    using namespace sundrel::cli;
    try {
        if (command == "map")
            return RunMap(args);
        if (command == "edit")
            return RunEdit(args);
        if (command == "info")
            return RunInfo(args);
        if (command == "matrices")
            return RunMatrices(args);
        if (command == "analyse" || command == "analyze")
            return RunAnalyse(args);
        if (command == "report")
            return RunReport(args);
        if (command == "barriers")
            return RunBarriers(args);
        if (command == "export")
            return RunExport(args);
        if (command == "distances")
            return RunDistances(args);
        if (command == "gis")
            return RunGis(args);
        if (command == "merge")
            return RunMerge(args);
        throw UsageError("unknown command " + command);
    } catch (const sundrel::FileError& e) {
        std::fprintf(stderr, "%s\n",
                     sundrel::msg::FileFailure(e.what(), e.file().string(), e.reason()).c_str());
        return 1;
    } catch (const UsageError& e) {
        std::fprintf(stderr, "sundrel-cli: %s\n\n%s", e.what(), Usage().c_str());
        return 2;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s\n", sundrel::msg::MemoryAllocationFailure);
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}

} // namespace
