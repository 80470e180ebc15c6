#pragma once
// What the matrix import shows as text: the cells of the preview grid of one
// extracted matrix, and the result lines around the import.

#include <cstdint>
#include <string>
#include <vector>

namespace sundrel {

class SMatrix;

// The preview of an N-population matrix: a header row and column numbering
// populations from 1, then the full symmetric matrix (zeros on the diagonal)
// for the first s = min(N, 127) populations. When N > 127 a last row and
// column for population N follow; when N > 128 a row and a column of "..."
// stand before them. The top-left cell is empty.
struct PreviewGrid {
    // The shown block is limited to this many populations.
    static constexpr std::int32_t kShown = 127;
    static constexpr const char* kEllipsis = "...";

    std::int32_t rows = 0;
    std::int32_t columns = 0;
    std::vector<std::string> cells; // row by row

    const std::string& cell(std::int32_t row, std::int32_t column) const
    {
        return cells[static_cast<std::size_t>(row) * static_cast<std::size_t>(columns) +
                     static_cast<std::size_t>(column)];
    }
};

PreviewGrid MakePreviewGrid(const SMatrix& matrix);

// A distance as the grid shows it: the shortest text that reads back to the
// same double ("0.5", "12", "1e-07").
std::string PreviewValueText(double value);

// Result lines of the import.
std::string MatrixSizeText(std::int32_t n);            // "Matrix size : 100x100"
std::string MatrixCountText(std::int32_t m);           // "Number of matrices: 50"
std::string LinesExtractedText(std::int32_t m, std::int32_t n); // M·N " lines successfully extracted"
std::string LinesReadText(std::int64_t lineCount);     // "5000 lines read."
// The disk dialog: its frame, and the free space of the chosen folder.
std::string NotEnoughSpaceText(std::int64_t requiredBytes);
std::string AvailableSpaceText(std::int64_t freeBytes);

inline constexpr const char* kAnalysingDataText = "Analysing data. Please wait...";
inline constexpr const char* kPreviewingFileText = "Previewing file. Please wait...";
inline constexpr const char* kPreviewCompleteText = "File preview complete.";
inline constexpr const char* kCheckingDataText = "Checking data : please wait...";
inline constexpr const char* kExtractionCanceledText = "Data extraction canceled";
inline constexpr const char* kInitializationErrorText = "Initialization error : ";
inline constexpr const char* kDiskSizeErrorCaption = "Disk size error";

} // namespace sundrel
