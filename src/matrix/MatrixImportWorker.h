#pragma once
// The worker thread of the matrix import: the data-file worker, whose
// extraction step reads every matrix of a layout into a store. It lives as
// long as its owner (the import dialog, or a test) and reports through the
// owner's notifier with the import messages.

#include "import/DataFileWorker.h"
#include "matrix/MatrixImport.h"

namespace sundrel {

class MatrixFile;

class MatrixImportWorker : public DataFileWorker {
public:
    using DataFileWorker::DataFileWorker;

    // Starts the extraction step: every matrix of `layout` from the file last
    // read into `store` (a cancel keeps the matrices written so far), with
    // WM_IMPORT_PROGRESS whenever the whole percent of rows grows, then
    // WM_IMPORT_DONE, WM_IMPORT_CANCELLED 0 or WM_IMPORT_ERROR. `store` must
    // stay alive until the step has ended (wait). Returns the step's
    // number.
    std::uint64_t startExtraction(const MatrixLayout& layout, MatrixFile& store);
};

} // namespace sundrel
