#include "geo/Sidecar.h"

#include "common/Errors.h"
#include "common/Job.h"
#include "common/Messages.h"
#include "common/Notifier.h"
#include "common/PrivateFiles.h"
#include "geo/Messages.h"
#include "model/MMapFactory.h"
#include "model/MapDocument.h"
#include "monmonier/SundrelDocument.h"

#include <cerrno>
#include <fstream>
#include <sstream>

namespace sundrel::geo {

namespace {

// A sidecar holds a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kMaxSidecarBytes = 1 << 20;

std::filesystem::path WithSuffix(const std::filesystem::path& document, const char* suffix)
{
    std::filesystem::path p = document;
    p += suffix;
    return p;
}

// The whole file, or nothing (with the reason) when it is missing too.
std::optional<std::string> ReadSmallFile(const std::filesystem::path& file, std::string& reason)
{
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status))
        return std::nullopt;
    if (!std::filesystem::is_regular_file(status)) {
        reason = "not a regular file";
        return std::string();
    }
    const std::uintmax_t size = std::filesystem::file_size(file, ec);
    if (ec || size > kMaxSidecarBytes) {
        reason = ec ? SystemReason(ec.value()) : "too large";
        return std::string();
    }
    errno = 0;
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    if (!in.is_open() || (!(text << in.rdbuf()) && size > 0)) {
        reason = SystemReason(errno ? errno : EIO);
        return std::string();
    }
    return text.str();
}

void WriteText(AtomicFile& file, const std::string& text)
{
    try {
        if (!file.stream().write(text.data(), static_cast<std::streamsize>(text.size())))
            throw Error(msg::FileWritingError);
    } catch (const Error& e) {
        file.raise(e);
    }
}

Notifier* ProgressOf(const JobHooks* hooks)
{
    return hooks ? hooks->progress : nullptr;
}

} // namespace

std::filesystem::path CrsSidecar(const std::filesystem::path& document)
{
    return WithSuffix(document, ".prj");
}

std::filesystem::path BackdropSidecar(const std::filesystem::path& document)
{
    return WithSuffix(document, ".backdrops");
}

void DocumentGeography::SetCrs(const CoordinateSystem& system)
{
    crsText = system.Wkt();
    crs = system;
}

DocumentGeography ReadGeography(const std::filesystem::path& document,
                                std::vector<std::string>* warnings)
{
    DocumentGeography g;
    auto warn = [&](std::string text) {
        if (warnings)
            warnings->push_back(std::move(text));
    };
    std::string reason;
    const std::filesystem::path prj = CrsSidecar(document);
    if (std::optional<std::string> text = ReadSmallFile(prj, reason)) {
        if (!reason.empty()) {
            warn(msg::SidecarUnreadable(prj.string(), reason));
        } else {
            g.crsText = *text;
            try {
                g.crs = CoordinateSystem::FromText(*text);
            } catch (const Error& e) {
                warn(msg::SidecarUnreadable(prj.string(), e.what()));
            }
        }
    }
    reason.clear();
    const std::filesystem::path list = BackdropSidecar(document);
    if (std::optional<std::string> text = ReadSmallFile(list, reason)) {
        if (!reason.empty())
            warn(msg::BackdropListUnreadable(list.string(), 0, reason));
        else
            g.backdrops = ParseBackdropList(*text, std::filesystem::absolute(document).parent_path(),
                                            list.string(), warnings);
    }
    return g;
}

DocumentFiles::DocumentFiles(std::filesystem::path document, const DocumentGeography& geography)
    : document_(document), documentFile_(CheckOutputTarget(document).file)
{
    const std::filesystem::path folder = std::filesystem::absolute(document).parent_path();
    const std::pair<std::filesystem::path, std::optional<std::string>> wanted[] = {
        {CrsSidecar(document),
         geography.crsText.empty() ? std::nullopt : std::optional<std::string>(geography.crsText)},
        {BackdropSidecar(document),
         geography.backdrops.empty()
             ? std::nullopt
             : std::optional<std::string>(FormatBackdropList(geography.backdrops, folder))}};
    for (std::size_t k = 0; k < sidecars_.size(); ++k) {
        const auto& [target, text] = wanted[k];
        Sidecar& s = sidecars_[k];
        s.target = target;
        if (text) {
            s.file.emplace(target);
            WriteText(*s.file, *text);
        } else {
            std::error_code ec;
            if (std::filesystem::exists(std::filesystem::symlink_status(target, ec)))
                CheckOutputTarget(target); // one there must go: it must be a file
        }
    }
}

DocumentFiles::~DocumentFiles() = default;

void DocumentFiles::close()
{
    document_.close();
    for (Sidecar& s : sidecars_)
        if (s.file)
            s.file->close();
}

void DocumentFiles::commit()
{
    close();
    namespace fs = std::filesystem;
    std::error_code ec;
    std::vector<std::pair<fs::path, fs::path>> moved; // sidecars moved aside: target, aside
    fs::path keep;                                    // the previous document, by a second name
    bool documentPlaced = false;
    std::vector<fs::path> placed; // new sidecars in place
    try {
        for (const Sidecar& s : sidecars_) {
            if (!fs::exists(fs::symlink_status(s.target, ec)))
                continue;
            // Aside under a name nobody has (the next counter on a clash).
            fs::path aside;
            int error = EEXIST;
            for (int attempt = 0; attempt < 1000 && error == EEXIST; ++attempt) {
                aside = TemporarySibling(s.target);
                error = RenameNoReplace(s.target, aside);
            }
            if (error)
                throw FileError(msg::FileWritingError, s.target, SystemReason(error));
            RegisterTemporaryFile(aside);
            moved.emplace_back(s.target, aside);
        }
        if (fs::is_regular_file(documentFile_, ec)) {
            for (int attempt = 0; attempt < 1000; ++attempt) {
                keep = TemporarySibling(documentFile_);
                fs::create_hard_link(documentFile_, keep, ec);
                if (ec != std::errc::file_exists)
                    break;
            }
            RegisterTemporaryFile(keep);
            if (ec) {
                // A filesystem without hard links: no way back once the
                // document is replaced.
                UnregisterTemporaryFile(keep);
                keep.clear();
            }
        }
        document_.commit();
        documentPlaced = true;
        for (Sidecar& s : sidecars_)
            if (s.file) {
                s.file->commit();
                placed.push_back(s.target);
            }
    } catch (...) {
        // Everything back as it was, in reverse order.
        std::error_code ignored;
        for (const fs::path& p : placed)
            fs::remove(p, ignored);
        if (documentPlaced) {
            if (!keep.empty())
                fs::rename(keep, documentFile_, ignored);
            else
                fs::remove(documentFile_, ignored);
        } else if (!keep.empty()) {
            fs::remove(keep, ignored);
        }
        if (!keep.empty())
            UnregisterTemporaryFile(keep);
        for (auto it = moved.rbegin(); it != moved.rend(); ++it) {
            fs::rename(it->second, it->first, ignored);
            UnregisterTemporaryFile(it->second);
        }
        throw;
    }
    if (!keep.empty()) {
        fs::remove(keep, ec);
        UnregisterTemporaryFile(keep);
    }
    for (const auto& entry : moved) {
        fs::remove(entry.second, ec);
        UnregisterTemporaryFile(entry.second);
    }
}

void SaveMapDocument(const std::filesystem::path& target, const DocumentGeography& geography,
                     const DocumentHeader& header, const MMap& map, MMapFactory& factory,
                     const JobHooks* hooks)
{
    DocumentFiles files(target, geography);
    WriteMapDocument(files.document(), header, map, factory, hooks);
    files.commit();
}

void SaveSundrelDocument(const std::filesystem::path& target, const DocumentGeography& geography,
                         const DocumentHeader& header, const MMap& map, MonmonierLayer& layers,
                         MMapFactory& factory, const JobHooks* hooks)
{
    AwaitLayersForSaving(layers, hooks);
    DocumentFiles files(target, geography);
    WriteSundrelDocument(files.document(), header, map, layers, factory, hooks);
    PostStage(ProgressOf(hooks), ExportStage::WritingFile);
    files.commit();
    PostStep(ProgressOf(hooks));
    layers.repointStores(target);
    PostStep(ProgressOf(hooks));
}

void ExportTriangulation(const std::filesystem::path& target, const DocumentGeography& geography,
                         const DocumentHeader& header, const MMap& map, MMapFactory& factory,
                         const JobHooks* hooks)
{
    DocumentFiles files(target, geography);
    WriteTriangulationExport(files.document(), header, map, factory, hooks);
    files.commit();
    PostStep(ProgressOf(hooks));
}

} // namespace sundrel::geo
