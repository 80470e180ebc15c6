#pragma once
// Writes a file through a temporary file beside the target, renamed over the
// target only once everything has been written, so a failed or cancelled save
// never destroys the previous file and never leaves a partial one behind.

#include <filesystem>
#include <fstream>

namespace sundrel {

class AtomicFile {
public:
    // Creates the temporary file; raises Error("Impossible to open the file")
    // when it cannot be created.
    explicit AtomicFile(std::filesystem::path target);
    ~AtomicFile(); // removes the temporary file unless committed

    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    std::ostream& stream() { return out_; }
    const std::filesystem::path& temporaryPath() const { return temp_; }
    const std::filesystem::path& target() const { return target_; }

    // Flushes, closes and renames the temporary file over the target; raises
    // Error("File writing error") when any of it fails (the target is then
    // left as it was).
    void commit();

private:
    std::filesystem::path target_;
    std::filesystem::path temp_;
    std::ofstream out_;
    bool committed_ = false;
};

// A name for a temporary file beside `target`, unique within this process and
// across processes (process id and a counter).
std::filesystem::path TemporarySibling(const std::filesystem::path& target);

} // namespace sundrel
