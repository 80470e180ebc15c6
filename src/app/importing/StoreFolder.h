#pragma once
// Where the matrix import makes its temporary stores: the folder the user
// chose (the settings keep it), else the system's temporary folder; and
// whether a folder has room for a store.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>

namespace sundrel {
class MatrixFile;
}

namespace sundrel::app {

// Free bytes in a folder's file system; 0 (or a throw) when unknown.
using FreeSpaceQuery = std::function<std::int64_t(const std::filesystem::path&)>;

// What `query` says of `folder`: 0 when it cannot tell.
std::int64_t FreeBytes(const FreeSpaceQuery& query, const std::filesystem::path& folder);

class StoreFolder {
public:
    // Measures folders with the system's free space.
    StoreFolder();

    // The folder as set; empty for the system's temporary folder.
    const std::filesystem::path& Chosen() const { return chosen_; }
    void Choose(const std::filesystem::path& folder) { chosen_ = folder; }
    // Where stores are made now.
    std::filesystem::path Folder() const;
    const FreeSpaceQuery& FreeSpace() const { return freeSpace_; }
    // How folders are measured (the system's free space when empty).
    void SetFreeSpaceQuery(FreeSpaceQuery query);
    bool HasRoom(std::int64_t bytes) const;
    // A new store with a name of its own in the folder.
    std::unique_ptr<MatrixFile> NewStore() const;

private:
    std::filesystem::path chosen_;
    FreeSpaceQuery freeSpace_;
};

} // namespace sundrel::app
