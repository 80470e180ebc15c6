#pragma once
// Messages of the command line's own checks and progress lines, word for
// word as users see them. The core's failures keep the core's texts; usage
// mistakes (UsageError) are worded where the options are read.

#include "matrix/MatrixMessages.h"

#include <cstdint>
#include <string>

namespace sundrel::msg {

// Reading a document's layers.
inline std::string NoSuchLayer(std::int32_t index, std::int32_t count)
{
    return "The document has no layer " + std::to_string(index) + " (it holds " +
           std::to_string(count) + ")";
}

inline constexpr const char* EditNeedsTriangulation = "edit works on triangulation documents (.dvt)";

// Running an analysis.
inline std::string TooManySundrels(std::int32_t matrices, std::int32_t sundrels)
{
    return "Too many sundrels: " + std::to_string(matrices) + " matrices x " +
           std::to_string(sundrels) + " sundrels (at most 4194304 in all)";
}

inline constexpr const char* LayersBusy = "The layers are busy";

// The temporary store of the matrices.
inline std::string TemporaryFolderMissing(const std::string& folder)
{
    return "The temporary folder doesn't exist: " + folder;
}

inline std::string NotEnoughSpaceInFolder(const std::string& folder, std::int64_t requiredBytes,
                                          std::int64_t freeBytes)
{
    return "Not enough space on disk in " + folder + " (requested : " + SizeText(requiredBytes) +
           ", available : " + SizeText(freeBytes) + "); choose another folder with --temp-dir";
}

// Exporting.
inline constexpr const char* ExportDidNotStart = "The export did not start";

// Progress lines on standard error, followed by a percentage.
inline constexpr const char* ExtractingMatrices = "Extracting matrices, please wait...";
inline constexpr const char* Exporting = "Exporting:";

} // namespace sundrel::msg
