#pragma once
// Many distance matrices kept on disk: a block of fixed-size records, matrix
// k (N (N - 1) / 2 doubles in half-matrix order) at baseOffset + k·matrixBytes,
// then the sorted permutation of every matrix (N (N - 1) / 2 32-bit pair
// indices). A temporary store is created on first use, by its name or, when
// that name exists, by the next counter's (never opening a file it did not
// create), readable by the user alone, and deleted when closed; once the block has been
// copied into a document, the store re-points itself at the document and
// stays. Single distances are served by random access, so memory does not
// grow with the number of matrices.

#include "matrix/SMatrix.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <atomic>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sundrel {

struct JobHooks;
class RandomAccessFile;

class MatrixFile {
public:
    explicit MatrixFile(std::filesystem::path fileName);
    ~MatrixFile(); // close()

    MatrixFile(const MatrixFile&) = delete;
    MatrixFile& operator=(const MatrixFile&) = delete;

    // Sets N; creates the folder of the file. Raises "Matrix file already
    // initialized" when matrices are held.
    void initialize(std::int32_t n);
    // Attaches to a block of M sorted matrices at `offset` in a document;
    // such a file is never deleted.
    void attach(std::int32_t n, std::int32_t m, std::int64_t offset);

    // Appends a matrix; any failure of the file reaches the caller as
    // "Couldn't write the matrix", with nothing counted.
    void writeMatrix(const SMatrix& matrix);
    // Matrix k, or none when k is outside [0, matrixCount).
    std::unique_ptr<SMatrix> readMatrix(std::int32_t k);
    // Distance at pair index p of matrix k; 0.0 when k is out of range.
    double readDistance(std::int32_t k, std::int64_t p);
    // `count` distances of matrix k from pair index `first` on, in one read
    // (safe beside another thread's readValues).
    void readValues(std::int32_t k, std::int64_t first, std::int64_t count, double* values);
    // Gives back the memory that single reads have brought in.
    void releaseCache();

    // Appends the sorted permutation of the next matrix.
    void writePermutation(const std::vector<std::int32_t>& permutation);
    // Entry `position` of the permutation of matrix k; 0 when k is out of range.
    std::int32_t readPermutationEntry(std::int32_t k, std::int64_t position);
    // `count` entries of the permutation of matrix k from `first` on.
    void readPermutationEntries(std::int32_t k, std::int64_t first, std::int64_t count,
                                std::int32_t* entries);
    // The permutation of matrix k, or none when k is out of range.
    std::optional<std::vector<std::int32_t>> readPermutation(std::int32_t k);

    // Copies the block (matrices, then permutations) into a document being
    // written at the stream's position: one step reported to the saving job
    // per record copied, and a check for its cancel before each.
    void saveTo(std::ostream& out, const std::filesystem::path& documentFileName,
                const JobHooks* hooks = nullptr);
    // After the document is written: re-points the store at its block there,
    // deleting the temporary file.
    void reattach();
    // Forgets the matrices; deletes the file unless it is kept.
    void close();

    // The store's file (a temporary store's name may change when it is
    // created: see above).
    const std::filesystem::path& fileName() const { return fileName_; }
    std::int32_t matrixCount() const { return matrixCount_; }
    std::int32_t size() const { return size_; }
    std::int64_t matrixBytes() const { return matrixBytes_; }
    std::int64_t permutationBytes() const { return permutationBytes_; }
    std::int64_t permutationOffset() const { return permutationOffset_; }
    std::int64_t baseOffset() const { return baseOffset_; }
    std::int64_t savedOffset() const { return savedOffset_; }
    const std::filesystem::path& savedFileName() const { return savedFileName_; }
    bool sorted() const { return sorted_; }
    void setSorted(bool sorted) { sorted_ = sorted; }
    bool keep() const { return keep_; }
    // Number of permutations written since the store was filled.
    std::int32_t permutationCount() const { return permutationCount_; }

private:
    void open();

    std::unique_ptr<RandomAccessFile> file_;
    std::mutex openLock_;
    std::atomic<bool> opened_{false};
    std::filesystem::path fileName_;
    std::int32_t matrixCount_ = 0;
    std::int32_t size_ = -1;
    std::int64_t matrixBytes_ = 0;
    std::int64_t permutationOffset_ = -1;
    std::int64_t permutationBytes_ = 0;
    std::int32_t permutationCount_ = 0;
    bool sorted_ = false;
    bool keep_ = false;
    bool created_ = false; // the temporary file is this store's own
    std::int64_t baseOffset_ = 0;
    std::int64_t savedOffset_ = 0;
    std::filesystem::path savedFileName_;
};

// A fresh name for a temporary matrix store in `folder`:
// Monmonier_<day>_<month>_<year>_<hour>_<minute>_<second>_<process>_<n>.dat,
// the date and time local and without leading zeros.
std::filesystem::path TemporaryMatrixFileName(const std::filesystem::path& folder);

// Removes from `folder` the temporary matrix stores whose process no longer
// exists (killed outright, a power loss); stores of running processes stay.
// Failures are ignored.
void RemoveStaleMatrixStores(const std::filesystem::path& folder);

} // namespace sundrel
