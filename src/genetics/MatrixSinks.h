#pragma once
// Where computed distance matrices go: a matrix store, or a text file in the
// layout the matrix import reads (square, one row per line, every matrix
// followed by one blank line, so pieces of a split run concatenate to the
// whole run).

#include "genetics/Distances.h"

#include <cstdint>
#include <iosfwd>
#include <string>

namespace sundrel {
class MatrixFile;
}

namespace sundrel::genetics {

// Appends each matrix to a store initialised for N populations.
class StoreSink : public MatrixSink {
public:
    StoreSink(MatrixFile& store, std::int32_t populations);
    void put(const std::vector<double>& halfMatrix) override;

private:
    MatrixFile& store_;
    std::int32_t n_;
};

// Writes each matrix as text: values in their shortest form that reads back
// to the same double, the diagonal as 0.
class TextMatrixSink : public MatrixSink {
public:
    TextMatrixSink(std::ostream& out, std::int32_t populations);
    void put(const std::vector<double>& halfMatrix) override;

private:
    std::ostream& out_;
    std::int32_t n_;
    std::string line_;
};

} // namespace sundrel::genetics
