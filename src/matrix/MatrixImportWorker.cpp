#include "matrix/MatrixImportWorker.h"

#include "matrix/MatrixFile.h"

namespace sundrel {

std::uint64_t MatrixImportWorker::startExtraction(const MatrixLayout& layout, MatrixFile& store)
{
    return DataFileWorker::startExtraction(
        [layout, &store](FileReader& reader, const Progress& progress) {
            ExtractMatrices(reader, layout, store, progress);
        });
}

} // namespace sundrel
