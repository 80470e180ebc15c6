#pragma once
// Messages of the distance matrices (half matrices, the matrix store and the
// matrix import), word for word as users see them, misspellings included.

#include <cstdint>
#include <cstdio>
#include <string>

namespace sundrel::msg {

// Half matrices and the matrix store.
inline constexpr const char* HalfMatrixIndicesOutOfBounds = "Half matrix indices out of bounds";
inline constexpr const char* MatrixFileAlreadyInitialized = "Matrix file already initialized";
inline constexpr const char* MatrixFileNotInitialized = "Matrix file isn't initialized";
inline constexpr const char* MatrixSizeMismatch = "Matrix size doesn't match";
inline constexpr const char* CouldntWriteMatrix = "Couldn't write the matrix";
inline constexpr const char* MatrixReadingError = "Matrix reading error";
// A permutation that cannot be allocated.
inline constexpr const char* PermutationAllocationError = "Merory allocation error";

// A byte count for people: "… Gb", "… Mb", "… Kb", "… bytes", "… byte", by
// integer division.
inline std::string SizeText(std::int64_t bytes)
{
    char text[64];
    const long long n = bytes;
    if (bytes > 1073741824)
        std::snprintf(text, sizeof text, "%lld Gb", n / 1073741824);
    else if (bytes > 1048576)
        std::snprintf(text, sizeof text, "%lld Mb", n / 1048576);
    else if (bytes > 1024)
        std::snprintf(text, sizeof text, "%lld Kb", n / 1024);
    else if (bytes >= 2)
        std::snprintf(text, sizeof text, "%lld bytes", n);
    else
        std::snprintf(text, sizeof text, "%lld byte", n);
    return text;
}

// The matrix import.
inline std::string FileTooShort(std::int64_t lineCount, std::int64_t required)
{
    return "File isn't large enough (file size : " + std::to_string(lineCount) +
           " lines, expected size : at least " + std::to_string(required) + " lines)";
}

inline constexpr const char* AnalysingData = "Analysing data. Please wait...";
inline constexpr const char* PreviewingFile = "Previewing file. Please wait...";
inline constexpr const char* PreviewComplete = "File preview complete.";
inline constexpr const char* CheckingData = "Checking data : please wait...";
inline constexpr const char* ExtractionCancelled = "Data extraction canceled";
// Put in front of the reading failure's own message.
inline constexpr const char* InitializationErrorPrefix = "Initialization error : ";

// Result lines of the import.
inline std::string MatrixSize(std::int32_t n)
{
    return "Matrix size : " + std::to_string(n) + "x" + std::to_string(n);
}

inline std::string MatrixCount(std::int32_t m)
{
    return "Number of matrices: " + std::to_string(m);
}

// M·N lines for M matrices of N populations.
inline std::string LinesExtracted(std::int32_t m, std::int32_t n)
{
    return std::to_string(std::int64_t{m} * n) + " lines successfully extracted";
}

inline std::string LinesRead(std::int64_t lineCount)
{
    return std::to_string(lineCount) + " lines read.";
}

// The disk dialog: its caption, its frame, and the free space of the chosen
// folder.
inline constexpr const char* DiskSizeErrorCaption = "Disk size error";

inline std::string NotEnoughSpace(std::int64_t requiredBytes)
{
    return " Not enough space on disk (requested : " + SizeText(requiredBytes) + " ) ";
}

inline std::string AvailableSpace(std::int64_t freeBytes)
{
    return "Amout of available space : " + SizeText(freeBytes);
}

} // namespace sundrel::msg
