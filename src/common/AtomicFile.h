#pragma once
// Writes a file through a temporary file beside the target, renamed over the
// target only once everything has been written, so a failed or cancelled save
// never destroys the previous file and never leaves a partial one behind.
//
// The target is the file a symbolic link names (the link stays a link); an
// existing target must be a regular file the user may write, and the new file
// keeps its permissions. Failures raise FileError with the system's message,
// the target as given and the system's reason.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <ostream>
#include <streambuf>

namespace sundrel {

class Error;

// Where writing `target` puts the file, and what is there now.
struct OutputTarget {
    std::filesystem::path file;   // symbolic links followed
    bool exists = false;
    std::uint32_t mode = 0;       // permission bits of the existing file
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
};

// Checks that `target` can be written, before any work: raises
// FileError("Impossible to open the file") when an existing target is not a
// regular file, when the user may not write it (a read-only file is refused
// to root too, as a copy would be), or when its folder is missing or takes no
// new file.
OutputTarget CheckOutputTarget(const std::filesystem::path& target);

// Checks, without opening it (a FIFO or a device would block or never end),
// that `file` is a regular file to read: raises
// FileError("Impossible to open the file") with the reason when it is
// missing, a folder or anything else.
void CheckInputFile(const std::filesystem::path& file);

// The whole of a regular file (checked as above), read as bytes: raises
// FileError("Impossible to open the file" or "File reading error").
std::string ReadWholeFile(const std::filesystem::path& file);

// What identifies the contents of a file without reading it: its identity on
// the file system, size and modification time. Two stamps differ when
// another program replaced or rewrote the file meanwhile.
struct FileStamp {
    bool exists = false;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp StampOf(const std::filesystem::path& file);

class AtomicFile {
public:
    // Checks the target, removes the temporary files that processes which no
    // longer run left beside it, and creates the temporary file (a name of
    // its own, readable by the user alone until it takes the target's
    // permissions when closed).
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile(); // removes the temporary file unless committed

    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return out_; }
    // The temporary file as a C stream, for libraries that write to one
    // (owned by this object; closed by close()). What stream() wrote before
    // comes first.
    std::FILE* cStream();
    // Empties the temporary file, for a writer that starts again.
    void restart();
    const std::filesystem::path& temporaryPath() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }

    // Raised by writers whose own write failed: the same message, with the
    // target and the system's reason when the stream failed. Call inside a
    // catch block (rethrows the current exception otherwise).
    [[noreturn]] void raise(const Error& failure);

    // Raises FileError("File writing error") at once when the C stream has
    // failed, while the system's reason is still known.
    void checkStream();

    // Flushes the temporary file, gives it the target's permissions (a new
    // target: those of a new file), forces it to the disk and closes it;
    // raises FileError("File writing error") when a write or the close
    // failed.
    void close();
    // close() if not done yet, then renames the temporary file over the
    // target; raises FileError("File writing error") when any of it fails
    // (the target is then left as it was).
    void commit();

private:
    [[noreturn]] void fail(const char* message, int error);

    std::filesystem::path target_;
    OutputTarget destination_;
    std::filesystem::path temp_;
    std::FILE* cfile_ = nullptr;
    std::unique_ptr<std::streambuf> buffer_;
    std::ostream out_{nullptr};
    bool closed_ = false;
    bool committed_ = false;
};

// A name for a temporary file beside `target`, unique within this process and
// across processes: "<name>.~<process>-<counter>.tmp". Only ever created
// exclusively (CreatePrivateFile), the next counter taken when it exists.
std::filesystem::path TemporarySibling(const std::filesystem::path& target);

// Removes from `folder` the temporary files (and folders, with what they
// hold) named by TemporarySibling whose process no longer exists (a process
// killed outright, a power loss); those of running processes stay. Failures
// are ignored.
void RemoveStaleTemporaryFiles(const std::filesystem::path& folder);

// The temporary files this process is writing, kept where a signal handler
// can remove them before the process ends.
void RegisterTemporaryFile(const std::filesystem::path& file);
void UnregisterTemporaryFile(const std::filesystem::path& file);
// A temporary folder, removed with the files it holds.
void RegisterTemporaryFolder(const std::filesystem::path& folder);
// Removes every registered file and folder; safe in a signal handler.
void RemoveRegisteredTemporaryFiles() noexcept;

} // namespace sundrel
