#pragma once
// Reading distance matrices on the command line: the layout options of a
// matrix file, and the import of its matrices into a temporary store, for
// every command that needs matrices.

#include "cli/CommandLine.h"
#include "matrix/MatrixImport.h"

#include <filesystem>
#include <memory>
#include <string>

namespace sundrel {
class MatrixFile;
}

namespace sundrel::cli {

struct MatrixOptions {
    // --size N, --matrices M (1), --lower, --first-line L (1),
    // --first-column C (1), --gap G (0).
    MatrixLayout layout;
    bool sizeGiven = false;
    // --temp-dir DIR: the folder of the temporary store; empty for the
    // system's temporary folder.
    std::filesystem::path tempDir;
};

inline constexpr const char* kMatrixOptionsUsage =
    "--size N [--matrices M] [--lower] [--first-line L] [--first-column C] [--gap G] "
    "[--temp-dir DIR]";

// Consumes one matrix option (and its value) when the next argument is one.
bool TakeMatrixOption(Arguments& args, MatrixOptions& options);

// Reads `file`, checks that it holds the layout (msg::FileTooShort otherwise)
// and that the temporary folder has room for the store, then extracts every
// matrix into a new temporary store there. Failures raise the system's
// message; Ctrl-C (under an InterruptGuard) raises "Data extraction canceled". The store's file is
// deleted when the returned object goes, and never outlives a failure.
std::unique_ptr<MatrixFile> ImportMatrices(const std::string& file, const MatrixOptions& options,
                                           const ExtractionCallback& progress = {});

} // namespace sundrel::cli
