#pragma once
// A file read and written at absolute 64-bit offsets, one call per access:
// single distances are read from large matrix stores at random, and each
// read must not cost more than the system's page-cache copy.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>

namespace sundrel {

class RandomAccessFile {
public:
    // Opens for reading and writing, creating the file when missing and
    // keeping its content; a file that cannot be written is opened for
    // reading only. Null when it cannot be opened at all.
    static std::unique_ptr<RandomAccessFile> Open(const std::filesystem::path& path);

    virtual ~RandomAccessFile() = default;
    // False on any error or short transfer.
    virtual bool ReadAt(std::int64_t offset, void* data, std::size_t size) = 0;
    virtual bool WriteAt(std::int64_t offset, const void* data, std::size_t size) = 0;
    // -1 when it cannot be told.
    virtual std::int64_t Size() = 0;
    virtual bool Truncate(std::int64_t size) = 0;
};

} // namespace sundrel
