#include "matrix/MatrixImport.h"

#include "common/Errors.h"
#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"

#include <system_error>

namespace sundrel {

std::int64_t RequiredLines(const MatrixLayout& layout)
{
    return (layout.rowsPerMatrix() + layout.gap) * layout.matrices + layout.firstLine() - layout.gap;
}

std::int64_t RequiredBytes(const MatrixLayout& layout)
{
    return PairCount(layout.size) * 12 * layout.matrices;
}

std::int64_t FreeSpace(const std::filesystem::path& folder)
{
    // A folder still to be created counts with the space of its nearest
    // existing parent.
    std::filesystem::path p = folder;
    std::error_code ec;
    while (!p.empty() && !std::filesystem::exists(p, ec) && p.has_parent_path() &&
           p.parent_path() != p)
        p = p.parent_path();
    const std::filesystem::space_info info = std::filesystem::space(p, ec);
    if (ec)
        return 0;
    return static_cast<std::int64_t>(info.available);
}

void ExtractMatrices(FileReader& reader, const MatrixLayout& layout, MatrixFile& store,
                     const ExtractionCallback& progress)
{
    store.close();
    store.initialize(layout.size);
    std::int64_t line = layout.square ? layout.firstLine() : layout.firstLine() - 1;
    std::int64_t rows = 0;
    const std::int64_t total = std::int64_t(layout.matrices) * layout.size;
    SMatrix matrix;
    matrix.onProgress = [&] {
        ++rows;
        if (progress)
            progress(rows, total);
    };
    for (std::int32_t m = 0; m < layout.matrices; ++m) {
        matrix.load(reader, layout.size, line, layout.firstColumn());
        store.writeMatrix(matrix);
        line += layout.rowsPerMatrix() + layout.gap;
    }
}

} // namespace sundrel
