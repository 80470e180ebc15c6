#pragma once
// Messages of the genotype readers, the population checks and the distances,
// word for word as users see them. Lines are 1-based.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sundrel::msg {

// A fault of a genotype file: its path, the line when there is one, the reason.
inline std::string GenotypeFileFault(const std::string& path, std::int64_t line,
                                     const std::string& reason)
{
    return path + (line > 0 ? ", line " + std::to_string(line) : std::string()) + ": " + reason;
}

inline std::string Quoted(std::string_view name)
{
    std::string out(1, '"');
    out += name;
    out += '"';
    return out;
}

inline std::string QuotedList(const std::vector<std::string>& names)
{
    std::string out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i)
            out += ", ";
        out += Quoted(names[i]);
    }
    return out;
}

// A list of names that may run to thousands, kept to a line: every name up
// to three, else the first three and an ellipsis after ", first:". `count`
// is "800 samples have" or the like, said before the names.
inline std::string FirstNames(const std::string& count, const std::vector<std::string>& names, bool quoted)
{
    constexpr std::size_t kShown = 3;
    std::string out = count + (names.size() > kShown ? ", first: " : ": ");
    for (std::size_t i = 0; i < names.size() && i < kShown; ++i)
        out += (i ? ", " : "") + (quoted ? Quoted(names[i]) : names[i]);
    return names.size() > kShown ? out + " \u2026" : out;
}

inline constexpr const char* GenotypesUtf16 =
    "the file is UTF-16 text, which cannot be read: save it as UTF-8 or ASCII text";
inline constexpr const char* GenotypesBinary = "the file holds bytes that are not text (binary data)";
inline constexpr const char* GenotypesNotUtf8 =
    "the text is not UTF-8 (Latin-1 or another encoding?): save the file as UTF-8";
inline constexpr const char* GenotypesCompressed =
    "the file is compressed (gzip), which this program cannot read";
inline constexpr const char* GenotypesBadCompression = "the compressed data are damaged or cut short";
inline constexpr const char* UnknownGenotypeFormat =
    "the format cannot be told from the content (GENEPOP, FSTAT, STRUCTURE, a CSV or "
    "tab-separated table, VCF): choose it";
inline constexpr const char* NoGenotypes = "the file holds no genotype";
inline constexpr const char* NoLoci = "the file names no locus";

inline std::string GenotypeCount(std::size_t found, std::size_t loci)
{
    return std::to_string(found) + " genotype" + (found == 1 ? "" : "s") + " for " +
           std::to_string(loci) + (loci == 1 ? " locus" : " loci") + (found < loci ? " (the line is cut short)" : "");
}

inline std::string FieldCount(std::size_t found, std::size_t expected)
{
    return std::to_string(found) + " fields where the rows have " + std::to_string(expected) +
           (found < expected ? " (an allele column is missing or the line is cut short)" : "");
}

inline std::string GenotypeWidth(std::string_view genotype, std::size_t width, std::size_t expected)
{
    return "genotype " + Quoted(genotype) + " has " + std::to_string(width) +
           " digits where this file's genotypes have " + std::to_string(expected);
}

inline std::string BadGenotypeWidth(std::string_view genotype)
{
    return "genotype " + Quoted(genotype) +
           " is not 2 or 3 digits (haploid) or 4 or 6 digits (diploid)";
}

inline std::string NotDigits(std::string_view genotype)
{
    return "genotype " + Quoted(genotype) + " is not made of digits";
}

inline std::string BadAllele(std::string_view allele)
{
    return "allele " + Quoted(allele) + " cannot be read";
}

inline std::string EmptyPopulation(std::string_view name)
{
    return "population " + Quoted(name) + " has no individual";
}

inline std::string UntypedLocus(std::string_view locus)
{
    return "locus " + Quoted(locus) + " has no typed allele in any population";
}

inline std::string TooManyAlleles(std::string_view locus)
{
    return "locus " + Quoted(locus) + " has more than 65534 alleles";
}

// GENEPOP.
inline constexpr const char* GenepopNoPop = "no POP line: a GENEPOP file lists its loci, then "
                                            "each population after a line POP";
inline constexpr const char* GenepopPopNoIndividual = "this POP line opens a population with no individual";
inline constexpr const char* GenepopNoComma =
    "an individual's line needs a comma between its name and its genotypes";

// FSTAT.
inline constexpr const char* FstatHeader =
    "the first line must give four whole numbers: populations, loci, highest allele and digits "
    "per allele (1 to 3)";
inline std::string FstatPopulation(std::string_view text, std::int64_t populations)
{
    return "population " + Quoted(text) + " is not a number from 1 to " + std::to_string(populations);
}
inline std::string FstatLocusNames(std::int64_t loci)
{
    return "the file ends before the " + std::to_string(loci) + " locus names";
}

// STRUCTURE and tables.
inline std::string ColumnOutOfRange(const char* what, std::int64_t column, std::size_t fields)
{
    return std::string(what) + " column " + std::to_string(column) + " is beyond the " +
           std::to_string(fields) + " fields of the rows";
}
inline constexpr const char* OddAlleleColumns =
    "the allele columns cannot be paired: one row per individual needs two columns per locus";
inline constexpr const char* RowsNotPaired =
    "two rows per individual: the rows of an individual must follow each other with the same "
    "label and population";
inline constexpr const char* TwoRowsChosen =
    "read as two rows per individual (each label comes in a run of two rows); "
    "if each row is an individual, read it with one row per individual";
inline constexpr const char* OddRowCount = "two rows per individual, but the file holds an odd number of rows";
inline std::string HeaderFieldCount(std::size_t found, std::size_t expected)
{
    return std::to_string(found) + " fields where the header has " + std::to_string(expected) +
           (found < expected ? " (an allele column is missing or the line is cut short)" : "");
}
inline constexpr const char* TableOpenQuote = "a field opens a double quote that the line does not close";
inline std::string NoGenotypeColumn(std::size_t firstColumn)
{
    return "no column from column " + std::to_string(firstColumn) +
           " on holds genotypes (whole numbers such as 120 or 0120, bases such as A, pairs such as "
           "120/124): choose the first locus column if this is a genotype table";
}
inline std::string PopulationOfOne(std::size_t individuals, std::size_t column, std::string_view header)
{
    return "each of the " + std::to_string(individuals) + " individuals is a population of its own (column " +
           std::to_string(column) + ", " + Quoted(header) +
           "): choose the population column if that is meant";
}
inline constexpr const char* NoPopulationColumn = "the table needs a population column";
inline constexpr const char* NoLocusColumn = "no allele column follows the label and population columns";

// VCF.
inline constexpr const char* VcfNoHeader = "no #CHROM header line before the variants";
inline constexpr const char* VcfNoSamples = "the header names no sample";
inline constexpr const char* VcfNoGt = "the variant has no GT field";
inline std::string VcfBadGt(std::string_view gt)
{
    return "genotype " + Quoted(gt) + " cannot be read (alleles such as 0/1, 0|1, 1 or ./.)";
}
inline std::string VcfAlleleIndex(std::string_view gt, std::size_t alleles)
{
    return "genotype " + Quoted(gt) + " names an allele beyond the " + std::to_string(alleles) +
           " of REF and ALT";
}
inline constexpr const char* VcfNeedsSamples =
    "a VCF file needs a samples file assigning each sample to a population";
inline std::string SamplesFileLine(std::string_view line)
{
    return "expected a sample name, white space and a population name, not " + Quoted(line);
}
inline std::string SampleRepeated(std::string_view sample)
{
    return "sample " + Quoted(sample) + " is assigned twice";
}
inline std::string SamplesUnassigned(const std::string& vcf, const std::vector<std::string>& samples)
{
    const std::size_t n = samples.size();
    return vcf + ": " +
           FirstNames(std::to_string(n) + (n == 1 ? " sample has" : " samples have") +
                          " no population in the samples file",
                      samples, false);
}
inline std::string SamplesNotInVcf(const std::string& file, const std::vector<std::string>& samples)
{
    const std::size_t n = samples.size();
    return file + ": " +
           FirstNames(std::to_string(n) + (n == 1 ? " sample is" : " samples are") + " not in the VCF file",
                      samples, false);
}

// Populations against the map.
inline std::string PopulationCountMismatch(std::int64_t populations, std::int64_t sites)
{
    return "The genotypes hold " + std::to_string(populations) + " population" +
           (populations == 1 ? "" : "s") + " but the map has " + std::to_string(sites) + " site" +
           (sites == 1 ? "" : "s");
}
inline std::string PopulationsFileFaults(const std::string& file, const std::vector<std::string>& unknown,
                                         const std::vector<std::string>& repeated,
                                         const std::vector<std::string>& missing)
{
    std::string out = file + ":";
    const char* sep = " ";
    const auto add = [&](const char* what, const std::vector<std::string>& names) {
        if (names.empty())
            return;
        // A few are named whole; many are counted, with the first few.
        out += sep + (names.size() <= 3 ? std::string(what) + " " + QuotedList(names)
                                        : FirstNames(std::to_string(names.size()) + " " + what, names, true));
        sep = "; ";
    };
    add("unknown populations", unknown);
    add("populations named twice", repeated);
    add("populations not named", missing);
    return out;
}

// The window's genotype worker.
inline constexpr const char* GenotypeWorkerNotResponding = "The genotype reading is not responding";
inline constexpr const char* NoGenotypesRead = "No genotype file has been read";

// Distances.
inline constexpr const char* ComputingDistances = "Computing distances, please wait...";
inline constexpr const char* DistancesCanceled = "Distance computation canceled";
inline constexpr const char* TwoPopulationsNeeded = "Distances need at least two populations";
inline std::string UndefinedNei(std::string_view a, std::string_view b, std::size_t loci)
{
    return "Nei's distance between populations " + Quoted(a) + " and " + Quoted(b) +
           " is undefined: they share no allele at any of the " + std::to_string(loci) + " loci";
}
inline std::string ReplicateUndefined(std::int64_t replicate, std::int64_t draws, const std::string& why)
{
    return "Replicate " + std::to_string(replicate) + " stays undefined after " +
           std::to_string(draws) + " draws: " + why;
}
inline std::string UntypedInReplicate(std::string_view locus)
{
    return "locus " + Quoted(locus) + " has no typed allele among the individuals drawn";
}

} // namespace sundrel::msg
