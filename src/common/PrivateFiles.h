#pragma once
// Temporary files and folders that no other user can take over, and the
// few system calls saving needs, kept in one place: every temporary name is
// created here or not at all (a name that exists, a symbolic link included,
// is never opened), readable and writable by the user alone.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace sundrel {

// Creates `file` for reading and writing only when no entry of that name
// exists, with permissions 0600. Returns a descriptor, or -1 with the
// system's error in `error` (EEXIST when the name is taken).
int CreatePrivateFile(const std::filesystem::path& file, int& error);

// Creates the first of the names `next` gives that no entry has (up to 1000
// tries), as CreatePrivateFile; `file` is set to the name created. -1 with
// `error` set when one fails for another reason than a taken name.
int CreatePrivateFileNamed(const std::function<std::filesystem::path()>& next,
                           std::filesystem::path& file, int& error);

// Creates the folder `folder` only when no entry of that name exists, with
// permissions 0700; 0 or the system's error.
int CreatePrivateFolder(const std::filesystem::path& folder);

// Renames `from` to `to` only when no entry named `to` exists; 0 or the
// system's error (EEXIST when the name is taken).
int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// The descriptor as a C stream ("wb", "rb+"...), which then owns it; null
// with errno set on failure (the descriptor is then closed).
std::FILE* StreamOfDescriptor(int descriptor, const char* mode);
void CloseDescriptor(int descriptor);

// Forces the stream's file to the disk; 0 or the system's error (a file
// system that cannot sync counts as done).
int SyncStream(std::FILE* stream);
// Forces a folder's entries (a rename into it) to the disk; failures ignored.
void SyncFolder(const std::filesystem::path& folder);
// Empties the stream's file.
int TruncateStream(std::FILE* stream);

// Gives the stream's file the permission bits `mode` (and, for root, the
// owner and group) of the file it will replace; a new file (`replaces`
// false) takes what the user's file-creation mask gives a new file.
void TakePermissions(std::FILE* stream, bool replaces, std::uint32_t mode, std::uint32_t owner,
                     std::uint32_t group);

// Removes the folder and the files directly in it, without allocating:
// safe in a signal handler.
void RemoveFolderNow(const char* folder) noexcept;

// While alive, Ctrl-C, SIGTERM and SIGHUP wait: a sequence of renames that
// must not stop half-way ends first.
class DeferredSignals {
public:
    DeferredSignals();
    ~DeferredSignals();
    DeferredSignals(const DeferredSignals&) = delete;
    DeferredSignals& operator=(const DeferredSignals&) = delete;

private:
    unsigned char saved_[256];
};

} // namespace sundrel
