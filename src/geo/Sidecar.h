#pragma once
// What travels beside a document "NAME.dvt" or "NAME.dvk", never inside it
// (the document bytes are the same with or without it):
//   NAME.dvk.prj        its coordinate system, as WKT, as GIS tools keep a
//                       ".prj" beside a shapefile; none: an unknown plane
//                       system, the document behaves as it always did;
//   NAME.dvk.backdrops  its backdrop list (see Backdrop.h), one line each.
//
// Writing rule (DocumentFiles): the document and its sidecars are written
// completely to temporary files beside them and forced to the disk before
// anything is replaced. Then, in this order: the sidecars now beside the
// target are moved aside, the document is renamed over the target, and the
// new sidecars are renamed into place; the moved sidecars are removed last.
// Any failure on the way puts back what was moved (the previous document
// included, through a hard link kept while the renames run), so a failed
// save leaves the document and its sidecars exactly as they were. After a
// successful save the sidecars are exactly those of the saved document: a
// document saved without a coordinate system loses the .prj of the one it
// replaces. A crash between the renames (the only moment the filesystem
// cannot make atomic) can only leave a document without sidecars, which
// opens as an unknown plane system — never a document beside the
// coordinate system of another; the moved-aside sidecar then stays as
// "NAME.prj.~PROCESS-N.tmp" until the next save in that folder.

#include "common/AtomicFile.h"
#include "geo/Backdrop.h"
#include "geo/CoordinateSystem.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace sundrel {
struct DocumentHeader;
struct JobHooks;
class MMap;
class MMapFactory;
class MonmonierLayer;
} // namespace sundrel

namespace sundrel::geo {

std::filesystem::path CrsSidecar(const std::filesystem::path& document);
std::filesystem::path BackdropSidecar(const std::filesystem::path& document);

// What travels beside a document.
struct DocumentGeography {
    // The .prj text as read, carried as it is to the documents saved from
    // this one (empty: none); `crs` is what it says, when PROJ reads it.
    std::string crsText;
    std::optional<CoordinateSystem> crs;
    std::vector<BackdropEntry> backdrops;

    // A geography holding `system` (its WKT becomes the .prj text).
    void SetCrs(const CoordinateSystem& system);
    bool Empty() const { return crsText.empty() && backdrops.empty(); }
};

// Reads the sidecars of `document`. Never raises: a sidecar that cannot be
// read (or whose coordinate system PROJ does not know) is reported in
// `warnings`, with its name, and the document goes on without it; an
// unknown .prj text is still carried as it is.
DocumentGeography ReadGeography(const std::filesystem::path& document,
                                std::vector<std::string>* warnings = nullptr);

// A document and its sidecars written together, by the rule above. The
// targets are checked and the temporary files made at construction, before
// any work; the document is written into document(), then commit().
class DocumentFiles {
public:
    DocumentFiles(std::filesystem::path document, const DocumentGeography& geography);
    ~DocumentFiles();
    DocumentFiles(const DocumentFiles&) = delete;
    DocumentFiles& operator=(const DocumentFiles&) = delete;

    AtomicFile& document() { return document_; }
    // Completes every temporary file (raises "File writing error").
    void close();
    void commit();

private:
    struct Sidecar {
        std::filesystem::path target;
        std::optional<AtomicFile> file; // none: no such sidecar after the save
    };
    AtomicFile document_;
    std::filesystem::path documentFile_; // the file the document replaces (links followed)
    std::array<Sidecar, 2> sidecars_;    // .prj, .backdrops
};

// The document savers of the map window and of the sundrel window, with the
// sidecars: a triangulation document, a sundrel document (whose stores then
// read from it), and the map alone of a sundrel document.
void SaveMapDocument(const std::filesystem::path& target, const DocumentGeography& geography,
                     const DocumentHeader& header, const MMap& map, MMapFactory& factory,
                     const JobHooks* hooks = nullptr);
void SaveSundrelDocument(const std::filesystem::path& target, const DocumentGeography& geography,
                         const DocumentHeader& header, const MMap& map, MonmonierLayer& layers,
                         MMapFactory& factory, const JobHooks* hooks = nullptr);
void ExportTriangulation(const std::filesystem::path& target, const DocumentGeography& geography,
                         const DocumentHeader& header, const MMap& map, MMapFactory& factory,
                         const JobHooks* hooks = nullptr);

} // namespace sundrel::geo
