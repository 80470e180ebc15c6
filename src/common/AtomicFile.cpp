#include "common/AtomicFile.h"

#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Process.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace sundrel {

std::string SystemReason(int errorNumber)
{
    return std::generic_category().message(errorNumber);
}

namespace {

constexpr const char* kNotRegular = "not a regular file";

[[noreturn]] void Refuse(const std::filesystem::path& target, const std::string& reason)
{
    throw FileError(msg::ImpossibleToOpen, target, reason);
}

// The file a chain of symbolic links ends at (which may not exist yet).
std::filesystem::path FollowLinks(const std::filesystem::path& target)
{
    std::filesystem::path p = target;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(p, ec)))
            return p;
        const std::filesystem::path link = std::filesystem::read_symlink(p, ec);
        if (ec)
            Refuse(target, SystemReason(ec.value()));
        p = link.is_absolute() ? link : p.parent_path() / link;
    }
    Refuse(target, SystemReason(ELOOP));
}

// Slots of the registry of temporary files: a path is readable by the
// signal handler while its slot is in state kReady.
constexpr int kFree = 0, kClaimed = 1, kReady = 2;
constexpr std::size_t kSlots = 64;
constexpr std::size_t kPathBytes = 4096;
struct Slot {
    std::atomic<int> state{kFree};
    char path[kPathBytes];
};
std::array<Slot, kSlots> gSlots;

} // namespace

OutputTarget CheckOutputTarget(const std::filesystem::path& target)
{
    if (target.empty())
        Refuse(target, SystemReason(ENOENT));
    OutputTarget out;
    out.file = FollowLinks(target);
    std::filesystem::path folder = out.file.parent_path();
    if (folder.empty())
        folder = ".";
#if !defined(_WIN32)
    struct stat st;
    if (::stat(out.file.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            Refuse(target, SystemReason(EISDIR));
        if (!S_ISREG(st.st_mode))
            Refuse(target, kNotRegular);
        // Root may write anything; a file nobody may write is still refused.
        if (::geteuid() == 0 ? (st.st_mode & 0222) == 0 : ::access(out.file.c_str(), W_OK) != 0)
            Refuse(target, SystemReason(EACCES));
        out.exists = true;
        out.mode = static_cast<std::uint32_t>(st.st_mode & 07777);
        out.owner = static_cast<std::uint32_t>(st.st_uid);
        out.group = static_cast<std::uint32_t>(st.st_gid);
    } else if (errno != ENOENT) {
        Refuse(target, SystemReason(errno));
    }
    struct stat dir;
    if (::stat(folder.c_str(), &dir) != 0)
        Refuse(target, SystemReason(errno));
    if (!S_ISDIR(dir.st_mode))
        Refuse(target, SystemReason(ENOTDIR));
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        Refuse(target, SystemReason(errno));
#else
    std::error_code ec;
    const auto status = std::filesystem::status(out.file, ec);
    if (std::filesystem::exists(status)) {
        if (std::filesystem::is_directory(status))
            Refuse(target, SystemReason(EISDIR));
        if (!std::filesystem::is_regular_file(status))
            Refuse(target, kNotRegular);
        if ((status.permissions() & std::filesystem::perms::owner_write) ==
            std::filesystem::perms::none)
            Refuse(target, SystemReason(EACCES));
        out.exists = true;
    }
    if (!std::filesystem::is_directory(folder, ec))
        Refuse(target, SystemReason(ENOENT));
#endif
    return out;
}

void CheckInputFile(const std::filesystem::path& file)
{
    if (file.empty())
        Refuse(file, SystemReason(ENOENT));
#if !defined(_WIN32)
    struct stat st;
    if (::stat(file.c_str(), &st) != 0)
        Refuse(file, SystemReason(errno));
    if (S_ISDIR(st.st_mode))
        Refuse(file, SystemReason(EISDIR));
    if (!S_ISREG(st.st_mode))
        Refuse(file, kNotRegular);
#else
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status))
        Refuse(file, SystemReason(ENOENT));
    if (std::filesystem::is_directory(status))
        Refuse(file, SystemReason(EISDIR));
    if (!std::filesystem::is_regular_file(status))
        Refuse(file, kNotRegular);
#endif
}

FileStamp StampOf(const std::filesystem::path& file)
{
    FileStamp stamp;
#if !defined(_WIN32)
    struct stat st;
    if (::stat(file.c_str(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = static_cast<std::uint64_t>(st.st_size);
    stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
#else
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec)
        return stamp;
    stamp.exists = true;
    stamp.size = size;
    stamp.modifiedNs = std::filesystem::last_write_time(file, ec).time_since_epoch().count();
#endif
    return stamp;
}

std::filesystem::path TemporarySibling(const std::filesystem::path& target)
{
    static std::atomic<unsigned> counter{0};
    std::filesystem::path name = target.filename();
    name += ".~" + std::to_string(ProcessId()) + "-" +
            std::to_string(counter.fetch_add(1)) + ".tmp";
    return target.parent_path() / name;
}

void RemoveStaleTemporaryFiles(const std::filesystem::path& folder)
{
    // "<name>.~<process>-<counter>.tmp"
    RemoveFilesOfEndedProcesses(folder, [](const std::string& name) -> std::optional<std::uint64_t> {
        const std::size_t mark = name.rfind(".~");
        if (mark == std::string::npos || name.size() < 4 ||
            name.compare(name.size() - 4, 4, ".tmp") != 0)
            return std::nullopt;
        const std::string tail = name.substr(mark + 2, name.size() - 4 - mark - 2);
        const std::size_t dash = tail.find('-');
        if (dash == std::string::npos || dash == 0 || dash + 1 == tail.size() ||
            tail.find_first_not_of("0123456789-") != std::string::npos ||
            tail.find('-', dash + 1) != std::string::npos || dash > 19)
            return std::nullopt;
        return std::stoull(tail.substr(0, dash));
    });
}

void RegisterTemporaryFile(const std::filesystem::path& file)
{
    const std::string text = file.string();
    if (text.size() >= kPathBytes)
        return;
    for (Slot& slot : gSlots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kClaimed)) {
            std::memcpy(slot.path, text.c_str(), text.size() + 1);
            slot.state.store(kReady);
            return;
        }
    }
}

void UnregisterTemporaryFile(const std::filesystem::path& file)
{
    const std::string text = file.string();
    for (Slot& slot : gSlots) {
        int expected = kReady;
        if (slot.state.load() == kReady && std::strcmp(slot.path, text.c_str()) == 0 &&
            slot.state.compare_exchange_strong(expected, kClaimed)) {
            slot.state.store(kFree);
            return;
        }
    }
}

void RemoveRegisteredTemporaryFiles() noexcept
{
    for (Slot& slot : gSlots) {
        if (slot.state.load() != kReady)
            continue;
#if !defined(_WIN32)
        ::unlink(slot.path);
#else
        std::remove(slot.path);
#endif
    }
}

AtomicFile::AtomicFile(std::filesystem::path target)
    : target_(std::move(target)), destination_(CheckOutputTarget(target_)),
      temp_(TemporarySibling(destination_.file))
{
    RemoveStaleTemporaryFiles(destination_.file.parent_path());
    RegisterTemporaryFile(temp_);
    errno = 0;
    out_.open(temp_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out_.is_open()) {
        const int error = errno ? errno : EACCES;
        UnregisterTemporaryFile(temp_);
        Refuse(target_, SystemReason(error));
    }
#if !defined(_WIN32)
    // The new file takes the permissions (and, for root, the owner) of the
    // one it replaces.
    if (destination_.exists) {
        if (::geteuid() == 0)
            (void)::chown(temp_.c_str(), static_cast<uid_t>(destination_.owner),
                          static_cast<gid_t>(destination_.group));
        (void)::chmod(temp_.c_str(), static_cast<mode_t>(destination_.mode));
    }
#endif
}

AtomicFile::~AtomicFile()
{
    if (committed_)
        return;
    if (cfile_)
        std::fclose(cfile_);
    if (out_.is_open())
        out_.close();
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    UnregisterTemporaryFile(temp_);
}

std::FILE* AtomicFile::cStream()
{
    if (cfile_)
        return cfile_;
    out_.close();
    errno = 0;
    cfile_ = std::fopen(temp_.string().c_str(), "wb");
    if (!cfile_)
        fail(msg::ImpossibleToOpen, errno);
    return cfile_;
}

void AtomicFile::restart()
{
    if (cfile_) {
        errno = 0;
        if (std::fflush(cfile_) != 0)
            fail(msg::FileWritingError, errno);
        std::rewind(cfile_);
#if !defined(_WIN32)
        if (::ftruncate(::fileno(cfile_), 0) != 0)
            fail(msg::FileWritingError, errno);
#else
        cfile_ = std::freopen(nullptr, "wb", cfile_);
        if (!cfile_)
            fail(msg::FileWritingError, errno);
#endif
        return;
    }
    out_.close();
    out_.open(temp_, std::ios::binary | std::ios::out | std::ios::trunc);
    if (!out_.is_open())
        fail(msg::FileWritingError, errno);
}

void AtomicFile::fail(const char* message, int error)
{
    throw FileError(message, target_, SystemReason(error ? error : EIO));
}

void AtomicFile::raise(const Error& failure)
{
    const int error = errno;
    const bool streamFailed = cfile_ ? std::ferror(cfile_) != 0 : !out_;
    if (streamFailed && !dynamic_cast<const FileError*>(&failure))
        fail(failure.what(), error);
    throw;
}

void AtomicFile::checkStream()
{
    const int error = errno;
    if (cfile_ ? std::ferror(cfile_) != 0 : !out_)
        fail(msg::FileWritingError, error);
}

void AtomicFile::close()
{
    if (closed_)
        return;
    closed_ = true;
    errno = 0;
    int error = 0;
    bool ok = true;
    if (cfile_) {
        ok = std::fflush(cfile_) == 0 && !std::ferror(cfile_);
        error = ok ? 0 : errno;
        const bool closedOk = std::fclose(cfile_) == 0;
        cfile_ = nullptr;
        if (ok && !closedOk) {
            ok = false;
            error = errno;
        }
    } else {
        out_.flush();
        ok = static_cast<bool>(out_);
        error = ok ? 0 : errno;
        out_.close();
        if (ok && out_.fail()) {
            ok = false;
            error = errno;
        }
    }
#if !defined(_WIN32)
    // On the disk before it replaces anything: a power loss then leaves the
    // old file or the new one, never an empty one.
    if (ok) {
        const int fd = ::open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            if (::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
                ok = false;
                error = errno;
            }
            ::close(fd);
        }
    }
#endif
    if (!ok)
        fail(msg::FileWritingError, error);
}

void AtomicFile::commit()
{
    close();
    std::error_code ec;
    std::filesystem::rename(temp_, destination_.file, ec);
    if (ec)
        fail(msg::FileWritingError, ec.value());
    committed_ = true;
    UnregisterTemporaryFile(temp_);
#if !defined(_WIN32)
    std::filesystem::path folder = destination_.file.parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
#endif
}

} // namespace sundrel
