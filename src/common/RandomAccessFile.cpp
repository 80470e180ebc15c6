// Positioned reads and writes. On POSIX systems reads come from a mapping of
// the file and writes are one pwrite each; elsewhere a standard file stream
// seeks first.

#include "common/RandomAccessFile.h"

#include "common/PrivateFiles.h"

#include <cerrno>

#if defined(__unix__) || defined(__APPLE__)
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <fstream>
#include <system_error>
#endif

namespace sundrel {

namespace {

#if defined(__unix__) || defined(__APPLE__)

// Reads come from a read-only mapping of the file when asked, so that a single
// distance costs a memory access rather than a system call; the mapping
// follows the file as it grows, and pread serves where there is none. A
// mapped file shortened by another program would end the process, so
// documents are read with pread.
class PosixFile : public RandomAccessFile {
public:
    PosixFile(int fd, bool map) : fd_(fd), mapReads_(map) {}
    ~PosixFile() override
    {
        Unmap();
        ::close(fd_);
    }

    bool ReadAt(std::int64_t offset, void* data, std::size_t size) override
    {
        if (offset < 0)
            return false;
        if (size <= kSmallRead) {
            const auto end = static_cast<std::uint64_t>(offset) + size;
            if (mapReads_) {
                if (end > mapped_)
                    Remap(end);
                if (end <= mapped_) {
                    std::memcpy(data, static_cast<const char*>(map_) + offset, size);
                    return true;
                }
            } else if (CachedRead(offset, data, size)) {
                return true;
            }
        }
        return Pread(offset, data, size);
    }

    bool WriteAt(std::int64_t offset, const void* data, std::size_t size) override
    {
        if (offset < 0)
            return false;
        blocks_.clear();
        auto* p = static_cast<const char*>(data);
        while (size > 0) {
            const ssize_t n = ::pwrite(fd_, p, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            offset += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    std::int64_t Size() override
    {
        struct stat st;
        return ::fstat(fd_, &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
    }

    bool Truncate(std::int64_t size) override
    {
        // Never keep pages mapped beyond the end of the file.
        Unmap();
        blocks_.clear();
        return ::ftruncate(fd_, static_cast<off_t>(size)) == 0;
    }

    void DropPages() override
    {
        Unmap();
        blocks_.clear();
    }

private:
    static constexpr std::size_t kSmallRead = 4096;
    static constexpr std::size_t kBlock = 65536;
    static constexpr std::size_t kBlocks = 32;

    bool Pread(std::int64_t offset, void* data, std::size_t size)
    {
        auto* p = static_cast<char*>(data);
        while (size > 0) {
            const ssize_t n = ::pread(fd_, p, size, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            p += n;
            offset += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    // Small reads of an unmapped file come from a few recently read blocks,
    // so that walking through one matrix does not cost a system call a value.
    bool CachedRead(std::int64_t offset, void* data, std::size_t size)
    {
        const auto first = static_cast<std::uint64_t>(offset) / kBlock;
        const auto within = static_cast<std::size_t>(static_cast<std::uint64_t>(offset) % kBlock);
        if (within + size > kBlock)
            return false;
        Block* hit = nullptr;
        for (Block& b : blocks_)
            if (b.index == first) {
                hit = &b;
                break;
            }
        if (!hit) {
            if (blocks_.size() < kBlocks) {
                blocks_.emplace_back();
                hit = &blocks_.back();
            } else {
                hit = &*std::min_element(blocks_.begin(), blocks_.end(),
                                         [](const Block& x, const Block& y) { return x.used < y.used; });
            }
            hit->bytes.resize(kBlock);
            hit->index = first;
            hit->length = 0;
            const auto start = static_cast<off_t>(first * kBlock);
            for (;;) {
                const ssize_t n = ::pread(fd_, hit->bytes.data(), kBlock, start);
                if (n < 0 && errno == EINTR)
                    continue;
                hit->length = n > 0 ? static_cast<std::size_t>(n) : 0;
                break;
            }
        }
        hit->used = ++clock_;
        if (within + size > hit->length)
            return false;
        std::memcpy(data, hit->bytes.data() + within, size);
        return true;
    }

    struct Block {
        std::uint64_t index = ~std::uint64_t{0};
        std::size_t length = 0;
        std::uint64_t used = 0;
        std::vector<char> bytes;
    };
    std::vector<Block> blocks_;
    std::uint64_t clock_ = 0;

    // Maps the whole file when it now reaches `needed` bytes.
    void Remap(std::uint64_t needed)
    {
        const std::int64_t size = Size();
        if (size <= 0 || static_cast<std::uint64_t>(size) < needed ||
            static_cast<std::uint64_t>(size) <= mapped_)
            return;
        Unmap();
        void* p = ::mmap(nullptr, static_cast<std::size_t>(size), PROT_READ, MAP_SHARED, fd_, 0);
        if (p == MAP_FAILED)
            return;
        ::madvise(p, static_cast<std::size_t>(size), MADV_RANDOM);
        map_ = p;
        mapped_ = static_cast<std::uint64_t>(size);
    }

    void Unmap()
    {
        if (map_)
            ::munmap(map_, static_cast<std::size_t>(mapped_));
        map_ = nullptr;
        mapped_ = 0;
    }

    int fd_;
    bool mapReads_;
    void* map_ = nullptr;
    std::uint64_t mapped_ = 0;
};

#else

class StreamFile : public RandomAccessFile {
public:
    explicit StreamFile(std::fstream s, std::filesystem::path path)
        : s_(std::move(s)), path_(std::move(path))
    {
    }

    bool ReadAt(std::int64_t offset, void* data, std::size_t size) override
    {
        s_.clear();
        if (offset < 0 || !s_.seekg(offset))
            return false;
        s_.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
        return static_cast<std::size_t>(s_.gcount()) == size;
    }

    bool WriteAt(std::int64_t offset, const void* data, std::size_t size) override
    {
        s_.clear();
        if (offset < 0 || !s_.seekp(offset))
            return false;
        s_.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        s_.flush();
        return static_cast<bool>(s_);
    }

    std::int64_t Size() override
    {
        std::error_code ec;
        const auto n = std::filesystem::file_size(path_, ec);
        return ec ? -1 : static_cast<std::int64_t>(n);
    }

    bool Truncate(std::int64_t size) override
    {
        s_.flush();
        std::error_code ec;
        std::filesystem::resize_file(path_, static_cast<std::uintmax_t>(size), ec);
        return !ec;
    }

private:
    std::fstream s_;
    std::filesystem::path path_;
};

#endif

} // namespace

std::unique_ptr<RandomAccessFile> RandomAccessFile::Open(const std::filesystem::path& path,
                                                         bool mapReads)
{
#if defined(__unix__) || defined(__APPLE__)
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<PosixFile>(fd, mapReads);
#else
    if (!std::filesystem::exists(path))
        std::ofstream(path, std::ios::binary | std::ios::app);
    std::fstream s(path, std::ios::in | std::ios::out | std::ios::binary);
    if (!s.is_open())
        s.open(path, std::ios::in | std::ios::binary);
    if (!s.is_open())
        return nullptr;
    (void)mapReads;
    return std::make_unique<StreamFile>(std::move(s), path);
#endif
}

std::unique_ptr<RandomAccessFile> RandomAccessFile::CreateNew(const std::filesystem::path& path,
                                                              bool mapReads, int& error)
{
    const int fd = CreatePrivateFile(path, error);
    if (fd < 0)
        return nullptr;
#if defined(__unix__) || defined(__APPLE__)
    return std::make_unique<PosixFile>(fd, mapReads);
#else
    CloseDescriptor(fd);
    auto file = Open(path, mapReads);
    if (!file)
        error = EACCES;
    return file;
#endif
}

} // namespace sundrel
