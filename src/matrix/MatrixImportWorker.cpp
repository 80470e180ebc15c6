#include "matrix/MatrixImportWorker.h"

#include "matrix/MatrixFile.h"

namespace sundrel {

void MatrixImportWorker::startExtraction(const MatrixLayout& layout, MatrixFile& store)
{
    DataFileWorker::startExtraction([layout, &store](FileReader& reader, const Progress& progress) {
        ExtractMatrices(reader, layout, store, progress);
    });
}

} // namespace sundrel
