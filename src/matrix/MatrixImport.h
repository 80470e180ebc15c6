#pragma once
// Extracting M distance matrices between N populations from one text file
// into a matrix store, and the checks the import makes around it (their texts
// are in matrix/Messages.h).

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace sundrel {

class FileReader;
class MatrixFile;

// Where the matrices stand in the file. Square: matrix m fills N lines from
// firstLine + m (N + gap); only the strict lower triangle of each row is read.
// Lower-triangular: N - 1 lines from firstLine + m (N - 1 + gap), line k
// holding d(k, 0) .. d(k, k - 1). Fields left of the start column and right of
// the values needed are ignored.
struct MatrixLayout {
    std::int32_t size = 100;       // N
    std::int32_t matrices = 1;     // M
    bool square = true;
    std::int64_t startLine = 1;    // 1-based
    std::int32_t startColumn = 1;  // 1-based
    std::int64_t gap = 0;          // lines between matrices

    std::int64_t firstLine() const { return startLine - 1; }
    std::int32_t firstColumn() const { return startColumn - 1; }
    std::int64_t rowsPerMatrix() const { return square ? size : size - 1; }
};

// Lines the layout needs: (rowsPerMatrix + gap) M + firstLine - gap.
std::int64_t RequiredLines(const MatrixLayout& layout);

// Bytes the store needs: N (N - 1) / 2 x 12 x M (a double and a permutation
// entry per distance).
std::int64_t RequiredBytes(const MatrixLayout& layout);

// Free bytes in the folder's file system; 0 when it cannot be queried.
std::int64_t FreeSpace(const std::filesystem::path& folder);

// Called after each row read: rows done and rows in all (M x N).
using ExtractionCallback = std::function<void(std::int64_t rows, std::int64_t total)>;

// Closes and initialises the store for N, then loads and appends every matrix
// of the layout in turn. A cancel (the reading abort flag) raises the silent
// abort "aborted" and leaves the matrices written so far; other failures raise
// the reader's, the half matrix's or the store's message.
void ExtractMatrices(FileReader& reader, const MatrixLayout& layout, MatrixFile& store,
                     const ExtractionCallback& progress = {});

} // namespace sundrel
