#pragma once
// A file read and written at absolute 64-bit offsets: single distances are
// read from large matrix stores at random, so a small read must cost little
// more than the system's page-cache copy. Large reads go straight to the file.
// Small reads and large reads may run on different threads at once; small
// reads are made by one thread at a time.

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
    // With `mapReads`, reads come from a mapping of the file (on systems that
    // have one): fast, but only for files no other program shortens while
    // they are open, such as our own temporary files.
    static std::unique_ptr<RandomAccessFile> Open(const std::filesystem::path& path,
                                                  bool mapReads = false);

    // Creates the file only when no entry of that name exists (never opening
    // another's file or a symbolic link), readable and writable by the user
    // alone. Null with the system's error in `error` (EEXIST: the name is
    // taken).
    static std::unique_ptr<RandomAccessFile> CreateNew(const std::filesystem::path& path,
                                                       bool mapReads, int& error);

    virtual ~RandomAccessFile() = default;
    // False on any error or short transfer.
    virtual bool ReadAt(std::int64_t offset, void* data, std::size_t size) = 0;
    virtual bool WriteAt(std::int64_t offset, const void* data, std::size_t size) = 0;
    // -1 when it cannot be told.
    virtual std::int64_t Size() = 0;
    virtual bool Truncate(std::int64_t size) = 0;
    // Gives back the pages that reads have brought in (a mapping is made
    // again on the next small read); the content stays in the system's cache.
    virtual void DropPages() {}
};

} // namespace sundrel
