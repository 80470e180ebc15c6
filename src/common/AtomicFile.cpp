#include "common/AtomicFile.h"

#include "common/Errors.h"
#include "common/Messages.h"
#include "common/PrivateFiles.h"
#include "common/Process.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
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
    bool folder = false;
    char path[kPathBytes];
};
std::array<Slot, kSlots> gSlots;

void Register(const std::filesystem::path& file, bool folder)
{
    const std::string text = file.string();
    if (text.size() >= kPathBytes)
        return;
    for (Slot& slot : gSlots) {
        int expected = kFree;
        if (slot.state.compare_exchange_strong(expected, kClaimed)) {
            std::memcpy(slot.path, text.c_str(), text.size() + 1);
            slot.folder = folder;
            slot.state.store(kReady);
            return;
        }
    }
}

// The temporary file's stream: writes go to the C stream through a buffer
// of their own, and the position counts the bytes written (tellp).
class CFileBuffer : public std::streambuf {
public:
    explicit CFileBuffer(std::FILE* file) : file_(file) { setp(buffer_, buffer_ + sizeof buffer_); }

    // Hands what is buffered to the C stream; false when that failed.
    bool drain()
    {
        const std::size_t n = static_cast<std::size_t>(pptr() - pbase());
        if (n > 0 && std::fwrite(pbase(), 1, n, file_) != n)
            return false;
        written_ += static_cast<std::int64_t>(n);
        setp(buffer_, buffer_ + sizeof buffer_);
        return true;
    }
    void rewound()
    {
        setp(buffer_, buffer_ + sizeof buffer_);
        written_ = 0;
    }

protected:
    int_type overflow(int_type c) override
    {
        if (!drain())
            return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize n) override
    {
        if (n < static_cast<std::streamsize>(epptr() - pptr()))
            return std::streambuf::xsputn(data, n);
        if (!drain())
            return 0;
        const std::size_t put = std::fwrite(data, 1, static_cast<std::size_t>(n), file_);
        written_ += static_cast<std::int64_t>(put);
        return static_cast<std::streamsize>(put);
    }
    int sync() override { return drain() ? 0 : -1; }
    pos_type seekoff(off_type offset, std::ios_base::seekdir dir, std::ios_base::openmode) override
    {
        if (offset != 0 || dir != std::ios_base::cur)
            return pos_type(off_type(-1));
        return pos_type(written_ + (pptr() - pbase()));
    }

private:
    std::FILE* file_;
    std::int64_t written_ = 0;
    char buffer_[1 << 16];
};

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

std::string ReadWholeFile(const std::filesystem::path& file)
{
    CheckInputFile(file);
    std::ifstream in(file, std::ios::binary);
    if (!in)
        throw FileError(msg::ImpossibleToOpen, file, SystemReason(errno ? errno : ENOENT));
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        throw FileError(msg::FileReadingError, file, SystemReason(errno ? errno : EIO));
    return text.str();
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
    Register(file, false);
}

void RegisterTemporaryFolder(const std::filesystem::path& folder)
{
    Register(folder, true);
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
        if (slot.folder)
            RemoveFolderNow(slot.path);
#if !defined(_WIN32)
        else
            ::unlink(slot.path);
#else
        else
            std::remove(slot.path);
#endif
    }
}

AtomicFile::AtomicFile(std::filesystem::path target)
    : target_(std::move(target)), destination_(CheckOutputTarget(target_))
{
    RemoveStaleTemporaryFiles(destination_.file.parent_path());
    int error = 0;
    const int fd = CreatePrivateFileNamed([&] { return TemporarySibling(destination_.file); },
                                          temp_, error);
    if (fd < 0)
        Refuse(target_, SystemReason(error));
    RegisterTemporaryFile(temp_);
    cfile_ = StreamOfDescriptor(fd, "wb");
    if (!cfile_) {
        error = errno ? errno : EIO;
        std::error_code ec;
        std::filesystem::remove(temp_, ec);
        UnregisterTemporaryFile(temp_);
        Refuse(target_, SystemReason(error));
    }
    buffer_ = std::make_unique<CFileBuffer>(cfile_);
    out_.rdbuf(buffer_.get());
}

AtomicFile::~AtomicFile()
{
    if (committed_)
        return;
    out_.rdbuf(nullptr);
    if (cfile_)
        std::fclose(cfile_);
    std::error_code ec;
    std::filesystem::remove(temp_, ec);
    UnregisterTemporaryFile(temp_);
}

std::FILE* AtomicFile::cStream()
{
    if (!cfile_)
        fail(msg::ImpossibleToOpen, EBADF);
    errno = 0;
    if (!static_cast<CFileBuffer*>(buffer_.get())->drain())
        fail(msg::FileWritingError, errno);
    return cfile_;
}

void AtomicFile::restart()
{
    if (!cfile_)
        fail(msg::FileWritingError, EBADF);
    errno = 0;
    if (std::fflush(cfile_) != 0)
        fail(msg::FileWritingError, errno);
    std::rewind(cfile_);
    if (const int error = TruncateStream(cfile_))
        fail(msg::FileWritingError, error);
    static_cast<CFileBuffer*>(buffer_.get())->rewound();
    out_.clear();
}

void AtomicFile::fail(const char* message, int error)
{
    throw FileError(message, target_, SystemReason(error ? error : EIO));
}

void AtomicFile::raise(const Error& failure)
{
    const int error = errno;
    const bool streamFailed = !out_ || (cfile_ && std::ferror(cfile_) != 0);
    if (streamFailed && !dynamic_cast<const FileError*>(&failure))
        fail(failure.what(), error);
    throw;
}

void AtomicFile::checkStream()
{
    const int error = errno;
    if (!out_ || (cfile_ && std::ferror(cfile_) != 0))
        fail(msg::FileWritingError, error);
}

void AtomicFile::close()
{
    if (closed_)
        return;
    closed_ = true;
    if (!cfile_)
        fail(msg::FileWritingError, EBADF);
    errno = 0;
    bool ok = static_cast<bool>(out_) && static_cast<CFileBuffer*>(buffer_.get())->drain();
    ok = ok && std::fflush(cfile_) == 0 && !std::ferror(cfile_);
    int error = ok ? 0 : errno;
    if (ok) {
        // The new file takes the permissions (and, for root, the owner) of
        // the one it replaces, and is on the disk before it replaces
        // anything: a power loss then leaves the old file or the new one,
        // never an empty one.
        TakePermissions(cfile_, destination_.exists, destination_.mode, destination_.owner,
                        destination_.group);
        error = SyncStream(cfile_);
        ok = error == 0;
    }
    out_.rdbuf(nullptr);
    const bool closedOk = std::fclose(cfile_) == 0;
    cfile_ = nullptr;
    if (ok && !closedOk) {
        ok = false;
        error = errno;
    }
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
    SyncFolder(destination_.file.parent_path());
}

} // namespace sundrel
