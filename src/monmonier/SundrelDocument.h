#pragma once
// Sundrel documents (".dvk"): the document header with the sundrel tag, the
// result layers (styles, each layer's settings and its matrices with their
// sorted permutations, the drawing order), then the map body. The sundrels
// are not stored: every layer is computed again after a load.

#include "model/MapDocument.h"
#include "monmonier/MonmonierLayer.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <vector>

namespace sundrel {

class AtomicFile;
class MMapFactory;
struct JobHooks;

inline constexpr const char* kSundrelTag = "DVK";
inline constexpr std::uint8_t kSundrelVersion = 4;

// The header of a sundrel document for the map and its layers: the map's
// header, tag "DVK", version 4, the map body after the layers' data.
DocumentHeader BuildSundrelHeader(const MMap& map, const MonmonierLayer& layers,
                                  std::int32_t activeLayer = 1,
                                  const std::array<std::int32_t, 5>& visibility = {1, 1, 1, 1, 1});

// True when the (already checked) header announces result layers.
bool HasMonmonierData(const DocumentHeader& header);

// Writes the layers' data at the stream's position; the stores copy their
// blocks and will read them from `documentName` after repointStores.
void WriteMonmonierData(std::ostream& out, const MonmonierLayer& layers,
                        const std::filesystem::path& documentName,
                        const JobHooks* hooks = nullptr);

// Reads the layers' data of a document (the worker's load command): the
// styles go into `into`, the layers are made with into.makeLayer and their
// stores attached to the document.
void ReadMonmonierData(const std::filesystem::path& file, MonmonierLayer& into,
                       std::vector<LoadedLayer>& layers, std::vector<std::int32_t>& order,
                       std::int32_t& active);

// Makes ReadMonmonierData the layers' loader.
void InstallDocumentLoader(MonmonierLayer& layers);

// Writes the map and its layers as a sundrel document into `file`, whose
// target the stores will read from once the caller has committed it and
// called layers.repointStores.
void WriteSundrelDocument(AtomicFile& file, const DocumentHeader& header, const MMap& map,
                          MonmonierLayer& layers, MMapFactory& factory,
                          const JobHooks* hooks = nullptr);

// Waits for the layers' command to end (a cancel of the saving job stops the
// wait) and takes in a load that ended, so that a save writes every layer.
void AwaitLayersForSaving(MonmonierLayer& layers, const JobHooks* hooks);

// Saves the map and its layers as a sundrel document at exactly `target`,
// through a temporary file renamed over it once complete; then every store
// reads from the new document. It first waits for the layers' command to end
// (a cancel of the saving job stops the wait) and takes in a load that
// ended. A failed save leaves any previous file untouched.
void SaveSundrelDocument(const std::filesystem::path& target, const DocumentHeader& header,
                         const MMap& map, MonmonierLayer& layers, MMapFactory& factory,
                         const JobHooks* hooks = nullptr);

// Writes the map alone as a triangulation document (tag "???", which opens
// as a plain map) at exactly `target`.
void ExportTriangulation(const std::filesystem::path& target, const DocumentHeader& header,
                         const MMap& map, MMapFactory& factory,
                         const JobHooks* hooks = nullptr);
// The same into a file the caller commits (then posts one step).
void WriteTriangulationExport(AtomicFile& file, const DocumentHeader& header, const MMap& map,
                              MMapFactory& factory, const JobHooks* hooks = nullptr);

// A report as a text file: one line each, in Windows-1252 (the degree sign a
// single byte), lines ended by CR LF.
void WriteReport(const std::filesystem::path& target, const Report& report);
// The same into a file the caller commits.
void WriteReport(AtomicFile& file, const Report& report);

// The file name a report proposes: the text between the first and the last
// double quote of its first line (empty when there are fewer than two).
std::string ProposedReportName(const Report& report);

} // namespace sundrel
