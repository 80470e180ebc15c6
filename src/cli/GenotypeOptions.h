#pragma once
// Genotype files on the command line: the options that read them and choose
// the distance and the resampling, shared by `distances` and
// `analyse --genotypes`.

#include "cli/CommandLine.h"
#include "genetics/Distances.h"
#include "genetics/GenotypeReaders.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace sundrel {
class MatrixFile;
}

namespace sundrel::cli {

struct MatrixOptions;

struct GenotypeOptions {
    genetics::ReadOptions read;
    genetics::DistanceRequest request;
    std::int64_t bootstrap = 0;   // --bootstrap M
    bool rangeGiven = false;      // --replicates FROM-TO
    bool resampleGiven = false;
    bool seedGiven = false;
    std::string populationsFile;  // --populations FILE
};

// Consumes one genotype option (and its value) when the next argument is one.
bool TakeGenotypeOption(Arguments& args, GenotypeOptions& options);
// Checks the options together (UsageError) and settles the replicate range.
void CheckGenotypeOptions(GenotypeOptions& options);

// Reads the genotype file (gzip too), puts the populations in the order of
// --populations, and prints the summary on standard output.
genetics::GenotypeData LoadGenotypes(const std::string& file, const GenotypeOptions& options);

// A new temporary store in the folder chosen by --temp-dir or TMPDIR, checked
// for room for `requiredBytes` (MatrixCommands.cpp).
std::unique_ptr<MatrixFile> NewTemporaryStore(const MatrixOptions& options, std::int64_t requiredBytes);

// Computes the matrices `request` asks for into a new temporary store, with
// progress on standard error; Ctrl-C (under an InterruptGuard) stops it.
std::unique_ptr<MatrixFile> ComputeStore(const genetics::GenotypeData& data,
                                         const genetics::DistanceRequest& request,
                                         const MatrixOptions& storeOptions);

} // namespace sundrel::cli
