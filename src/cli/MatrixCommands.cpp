// The matrix command: extract the distance matrices of a text file into a
// temporary store and summarise them; and the matrix options and import that
// other commands reuse.

#include "cli/MatrixOptions.h"

#include "cli/Messages.h"
#include "cli/GenotypeOptions.h"
#include "cli/Interrupt.h"
#include "common/Errors.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/Messages.h"
#include "matrix/SMatrix.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <unistd.h>

namespace sundrel::cli {

bool TakeMatrixOption(Arguments& args, MatrixOptions& options)
{
    MatrixLayout& layout = options.layout;
    if (args.Take("--size")) {
        // Pair indices are 32-bit: N (N - 1) / 2 must stay below 2^31.
        layout.size = static_cast<std::int32_t>(
            ParseInteger(args.Value("--size"), "--size", 2, 65536));
        options.sizeGiven = true;
    } else if (args.Take("--matrices")) {
        layout.matrices = static_cast<std::int32_t>(
            ParseInteger(args.Value("--matrices"), "--matrices", 1, 32767));
    } else if (args.Take("--lower")) {
        layout.square = false;
    } else if (args.Take("--first-line")) {
        layout.startLine = ParseInteger(args.Value("--first-line"), "--first-line", 1, INT32_MAX);
    } else if (args.Take("--first-column")) {
        layout.startColumn = static_cast<std::int32_t>(
            ParseInteger(args.Value("--first-column"), "--first-column", 1, INT32_MAX));
    } else if (args.Take("--gap")) {
        layout.gap = ParseInteger(args.Value("--gap"), "--gap", 0, INT32_MAX);
    } else if (args.Take("--temp-dir")) {
        options.tempDir = args.Value("--temp-dir");
    } else {
        return false;
    }
    return true;
}

std::unique_ptr<MatrixFile> NewTemporaryStore(const MatrixOptions& options, std::int64_t requiredBytes)
{
    // The folder named by --temp-dir, else by TMPDIR, else the system's.
    std::error_code ec;
    std::filesystem::path folder = options.tempDir;
    if (folder.empty()) {
        const char* variable = std::getenv("TMPDIR");
        folder = variable && *variable ? std::filesystem::path(variable)
                                       : std::filesystem::temp_directory_path(ec);
    }
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
        throw Error(msg::TemporaryFolderChoice(msg::TemporaryFolderMissing(folder.string())));
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw Error(msg::TemporaryFolderChoice(
            msg::TemporaryFolderUnwritable(folder.string(), SystemReason(errno))));
    RemoveStaleMatrixStores(folder);
    const std::int64_t freeBytes = FreeSpace(folder);
    if (freeBytes < requiredBytes)
        throw Error(msg::NotEnoughSpaceInFolder(folder.string(), requiredBytes, freeBytes));
    return std::make_unique<MatrixFile>(TemporaryMatrixFileName(folder));
}

std::unique_ptr<MatrixFile> ImportMatrices(const std::string& file, const MatrixOptions& options,
                                           const ExtractionCallback& progress)
{
    const MatrixLayout& layout = options.layout;
    try {
        FileReader reader(file, nullptr, false, &Interrupt());
        const std::int64_t required = RequiredLines(layout);
        if (required > reader.LineCount())
            throw Error(msg::FileTooShort(reader.LineCount(), required));

        auto store = NewTemporaryStore(options, RequiredBytes(layout));
        ExtractMatrices(reader, layout, *store, progress);
        return store;
    } catch (const Abort&) {
        throw Error(msg::ExtractionCancelled);
    }
}

int RunMatrices(Arguments& args)
{
    std::string input;
    MatrixOptions options;
    while (!args.Done()) {
        if (TakeMatrixOption(args, options))
            continue;
        if (args.IsOption())
            throw UsageError("unknown option " + args.Next());
        if (!input.empty())
            throw UsageError("unexpected argument " + args.Next());
        input = args.Next();
    }
    if (input.empty())
        throw UsageError("matrices needs a matrix file");
    if (!options.sizeGiven)
        throw UsageError("matrices needs the number of populations: --size N");

    InterruptGuard interrupts;
    const bool tty = ::isatty(STDERR_FILENO);
    int shown = -1;
    const auto progress = [&](std::int64_t rows, std::int64_t total) {
        const int percent = static_cast<int>(static_cast<double>(rows) / total * 100.0);
        if (tty && percent > shown) {
            shown = percent;
            std::fprintf(stderr, "\r%s %3d%%", msg::ExtractingMatrices, percent);
        }
    };
    const auto begin = std::chrono::steady_clock::now();
    std::unique_ptr<MatrixFile> store;
    try {
        store = ImportMatrices(input, options, progress);
    } catch (...) {
        if (shown >= 0)
            std::fprintf(stderr, "\r%60s\r", "");
        throw;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    if (shown >= 0)
        std::fprintf(stderr, "\r%60s\r", "");

    const std::int32_t n = store->size();
    const std::int64_t last = PairCount(n) - 1;
    std::printf("%s\n%s\n", msg::MatrixSize(n).c_str(), msg::MatrixCount(store->matrixCount()).c_str());
    for (std::int32_t k = 0; k < store->matrixCount(); ++k)
        std::printf("matrix %d: d(2,1) = %s  d(%d,%d) = %s\n", k + 1,
                    FormatDouble(store->readDistance(k, 0)).c_str(), n, n - 1,
                    FormatDouble(store->readDistance(k, last)).c_str());
    std::printf("Matrices extracted in %0.3f s\n", seconds);
    return 0;
}

} // namespace sundrel::cli
