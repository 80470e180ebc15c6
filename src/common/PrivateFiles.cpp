#include "common/PrivateFiles.h"

#include <cerrno>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/syscall.h>
#endif
#endif

namespace sundrel {

namespace {

#if !defined(_WIN32)
// The file-creation mask, read once while the program starts (reading it
// means setting it, which is not safe once threads create files).
const mode_t gCreationMask = [] {
    const mode_t mask = ::umask(077);
    ::umask(mask);
    return mask;
}();
#endif

} // namespace

int CreatePrivateFile(const std::filesystem::path& file, int& error)
{
#if defined(_WIN32)
    const int fd = ::_wopen(file.c_str(), _O_RDWR | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                            _S_IREAD | _S_IWRITE);
#else
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
#endif
    error = fd < 0 ? errno : 0;
    return fd;
}

int CreatePrivateFileNamed(const std::function<std::filesystem::path()>& next,
                           std::filesystem::path& file, int& error)
{
    error = EEXIST;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        file = next();
        const int fd = CreatePrivateFile(file, error);
        if (fd >= 0 || error != EEXIST)
            return fd;
    }
    return -1;
}

int CreatePrivateFolder(const std::filesystem::path& folder)
{
#if defined(_WIN32)
    return ::_wmkdir(folder.c_str()) == 0 ? 0 : errno;
#else
    return ::mkdir(folder.c_str(), 0700) == 0 ? 0 : errno;
#endif
}

int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to)
{
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    // A second name made exclusively, then the first one removed.
    std::error_code ec;
    std::filesystem::create_hard_link(from, to, ec);
    if (ec)
        return ec.value();
    std::filesystem::remove(from, ec);
    return ec ? ec.value() : 0;
}

std::FILE* StreamOfDescriptor(int descriptor, const char* mode)
{
#if defined(_WIN32)
    std::FILE* stream = ::_fdopen(descriptor, mode);
#else
    std::FILE* stream = ::fdopen(descriptor, mode);
#endif
    if (!stream) {
        const int error = errno;
        CloseDescriptor(descriptor);
        errno = error;
    }
    return stream;
}

void CloseDescriptor(int descriptor)
{
#if defined(_WIN32)
    ::_close(descriptor);
#else
    ::close(descriptor);
#endif
}

int SyncStream(std::FILE* stream)
{
#if defined(_WIN32)
    return ::_commit(::_fileno(stream)) == 0 ? 0 : errno;
#else
    if (::fsync(::fileno(stream)) == 0 || errno == EINVAL || errno == EROFS)
        return 0;
    return errno;
#endif
}

void SyncFolder(const std::filesystem::path& folder)
{
#if !defined(_WIN32)
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_CLOEXEC | O_DIRECTORY);
    if (fd >= 0) {
        (void)::fsync(fd);
        ::close(fd);
    }
#else
    (void)folder;
#endif
}

int TruncateStream(std::FILE* stream)
{
#if defined(_WIN32)
    return ::_chsize_s(::_fileno(stream), 0) == 0 ? 0 : errno;
#else
    return ::ftruncate(::fileno(stream), 0) == 0 ? 0 : errno;
#endif
}

void TakePermissions(std::FILE* stream, bool replaces, std::uint32_t mode, std::uint32_t owner,
                     std::uint32_t group)
{
#if !defined(_WIN32)
    const int fd = ::fileno(stream);
    if (!replaces) {
        (void)::fchmod(fd, 0666 & ~gCreationMask);
        return;
    }
    if (::geteuid() == 0)
        (void)::fchown(fd, static_cast<uid_t>(owner), static_cast<gid_t>(group));
    (void)::fchmod(fd, static_cast<mode_t>(mode));
#else
    (void)stream, (void)replaces, (void)mode, (void)owner, (void)group;
#endif
}

void RemoveFolderNow(const char* folder) noexcept
{
#if defined(__linux__)
    // getdents64 and unlinkat are system calls: no allocation, no lock.
    const int fd = ::open(folder, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        alignas(8) char buffer[4096];
        for (;;) {
            const long n = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            for (long at = 0; at < n;) {
                struct Entry {
                    std::uint64_t inode;
                    std::int64_t offset;
                    unsigned short length;
                    unsigned char type;
                    char name[1];
                };
                const auto* entry = reinterpret_cast<const Entry*>(buffer + at);
                if (std::strcmp(entry->name, ".") != 0 && std::strcmp(entry->name, "..") != 0)
                    (void)::unlinkat(fd, entry->name, 0);
                at += entry->length;
            }
        }
        ::close(fd);
    }
    (void)::rmdir(folder);
#elif !defined(_WIN32)
    (void)::rmdir(folder); // left to the clean-up of a later run when not empty
#else
    (void)folder;
#endif
}

DeferredSignals::DeferredSignals()
{
#if !defined(_WIN32)
    static_assert(sizeof(sigset_t) <= sizeof saved_);
    sigset_t block;
    sigemptyset(&block);
    sigaddset(&block, SIGINT);
    sigaddset(&block, SIGTERM);
    sigaddset(&block, SIGHUP);
    ::pthread_sigmask(SIG_BLOCK, &block, reinterpret_cast<sigset_t*>(saved_));
#endif
}

DeferredSignals::~DeferredSignals()
{
#if !defined(_WIN32)
    ::pthread_sigmask(SIG_SETMASK, reinterpret_cast<const sigset_t*>(saved_), nullptr);
#endif
}

} // namespace sundrel
