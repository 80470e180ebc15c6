#pragma once
// Messages of the command line's own checks and progress lines, word for
// word as users see them. The core's failures keep the core's texts; usage
// mistakes (UsageError) are worded where the options are read.

#include "matrix/Messages.h"

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
inline constexpr const char* NoResultLayers = "The document has no result layers";

// Outputs.
inline std::string WrongExtension(const std::string& file, const char* kind, const char* extension)
{
    return "The output " + file + " is a " + kind + ": its name must end in " + extension;
}

// A file error: the system's message, the file and the system's reason.
inline std::string FileFailure(const std::string& message, const std::string& file,
                               const std::string& reason)
{
    return message + ": " + file + " (" + reason + ")";
}

// Two sites at one place, by their lines in the coordinates file.
inline std::string DuplicateSites(const std::string& message, std::int64_t firstLine,
                                  std::int64_t secondLine)
{
    return message + ": lines " + std::to_string(firstLine) + " and " +
           std::to_string(secondLine) + " give the same position";
}

inline constexpr const char* OnePopulation =
    "An analysis needs at least two populations: the map holds only one";

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

// The option and the variable that choose the temporary folder, after the
// folder's own message.
inline std::string TemporaryFolderChoice(const std::string& problem)
{
    return problem + "; choose another with --temp-dir DIR or the TMPDIR variable";
}

inline std::string TemporaryFolderUnwritable(const std::string& folder, const std::string& reason)
{
    return "The temporary folder cannot be written: " + folder + " (" + reason + ")";
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
inline constexpr const char* DpiRange = "--dpi takes a resolution from 1 to 2400";

} // namespace sundrel::msg
