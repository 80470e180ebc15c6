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

// How many matrices `request` makes: the observed one when asked, then the
// replicates.
std::int64_t RequestedMatrixCount(const DistanceRequest& request);
// The room a store needs for them and their sorted permutations.
std::int64_t RequiredStoreBytes(std::int32_t populations, const DistanceRequest& request);

// Computes the matrices `request` asks for into `store`, which is
// (re)initialised for the data's populations: what the command line and the
// window both hand to an analysis. Raises Error for fewer than two
// populations, before any work.
void ComputeIntoStore(const GenotypeData& data, const DistanceRequest& request, MatrixFile& store,
                      const DistanceHooks& hooks = {});

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
