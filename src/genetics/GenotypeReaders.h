#pragma once
// Readers of genotype files: GENEPOP, FSTAT, STRUCTURE, plain tables (CSV or
// tab-separated) and VCF with a samples file. The format is told from the
// content unless given. Every fault of a file is raised as Error with the
// file's path, the line and the reason; no bytes make a reader crash.

#include "genetics/ByteSource.h"
#include "genetics/Genotypes.h"

#include <optional>
#include <string>
#include <string_view>

namespace sundrel {
class JobFeedback;
}

namespace sundrel::genetics {

enum class GenotypeFormat { Detect, Genepop, Fstat, Structure, Table, Vcf };

const char* FormatName(GenotypeFormat format); // "genepop", "fstat", ...
std::optional<GenotypeFormat> FormatFromName(std::string_view name);

// The layout of column formats (STRUCTURE, tables); columns are 1-based and
// 0 or -1 leave the choice to the reader:
// - STRUCTURE: label column 1, population column 2, alleles from the column
//   after both; two rows per individual when consecutive rows share their
//   label; a first row naming the loci when it is shorter than the rows.
// - Tables: a header row; label column 1; the population column is the one
//   headed "pop" or "population", else column 2; alleles from the column
//   after both, one "a/b" column per locus or two columns per locus.
struct ColumnLayout {
    int rowsPerIndividual = 0;    // 1 or 2; 0: detect
    int labelColumn = -1;         // 0: none
    int populationColumn = -1;
    int firstLocusColumn = -1;
    int markerNames = -1;         // 0 or 1; -1: detect
};

struct ReadOptions {
    GenotypeFormat format = GenotypeFormat::Detect;
    ColumnLayout columns;
    // VCF: a file of lines "sample population"; populations in the order they
    // first appear there.
    std::string samplesFile;
    // STRUCTURE and tables: the text of a missing allele besides the usual
    // ones ("-9" in STRUCTURE; empty, "NA", "-9", "?", "." in tables).
    std::string missing;
    const JobFeedback* cancel = nullptr;
};

// The format of a text, or Detect when it cannot be told.
GenotypeFormat DetectFormat(std::string_view text);

// Reads the genotypes of `text`, the content of `path`.
GenotypeData ParseGenotypes(const std::string& path, std::string_view text, const ReadOptions& options);

// Opens, reads and parses a genotype file. Gzip data need an opener that
// decompresses; the plain one refuses them with a clear message.
GenotypeData ReadGenotypeFile(const std::string& path, const ReadOptions& options,
                              const SourceOpener& opener = OpenFileSource);

} // namespace sundrel::genetics
