#include "app/importing/StoreFolder.h"

#include "matrix/MatrixFile.h"
#include "matrix/MatrixImport.h"

#include <QDir>

namespace sundrel::app {

std::int64_t FreeBytes(const FreeSpaceQuery& query, const std::filesystem::path& folder)
{
    try {
        return query ? query(folder) : 0;
    } catch (...) {
        return 0;
    }
}

StoreFolder::StoreFolder() : freeSpace_(sundrel::FreeSpace) {}

std::filesystem::path StoreFolder::Folder() const
{
    if (!chosen_.empty())
        return chosen_;
    return std::filesystem::path(QDir::tempPath().toStdString());
}

void StoreFolder::SetFreeSpaceQuery(FreeSpaceQuery query)
{
    freeSpace_ = query ? std::move(query) : FreeSpaceQuery(sundrel::FreeSpace);
}

bool StoreFolder::HasRoom(std::int64_t bytes) const
{
    return FreeBytes(freeSpace_, Folder()) >= bytes;
}

std::unique_ptr<MatrixFile> StoreFolder::NewStore() const
{
    return std::make_unique<MatrixFile>(TemporaryMatrixFileName(Folder()));
}

} // namespace sundrel::app
