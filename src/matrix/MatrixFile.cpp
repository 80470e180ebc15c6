#include "matrix/MatrixFile.h"

#include "common/AtomicFile.h"
#include "common/ByteOrder.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "common/Notifier.h"
#include "common/Process.h"
#include "common/RandomAccessFile.h"
#include "matrix/Messages.h"

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <system_error>

namespace sundrel {

namespace {

// Doubles and 32-bit integers are stored little-endian; on such machines the
// bytes are copied as they are.
void EncodeDoubles(const double* v, std::size_t n, std::vector<unsigned char>& out)
{
    out.resize(n * 8);
    if constexpr (std::endian::native == std::endian::little) {
        if (n)
            std::memcpy(out.data(), v, n * 8);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            StoreLE(out.data() + 8 * i, v[i]);
    }
}

void DecodeDoubles(const unsigned char* in, std::size_t n, double* v)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (n)
            std::memcpy(v, in, n * 8);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            v[i] = LoadLE<double>(in + 8 * i);
    }
}

void EncodeInts(const std::int32_t* v, std::size_t n, std::vector<unsigned char>& out)
{
    out.resize(n * 4);
    if constexpr (std::endian::native == std::endian::little) {
        if (n)
            std::memcpy(out.data(), v, n * 4);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            StoreLE(out.data() + 4 * i, v[i]);
    }
}

void DecodeInts(const unsigned char* in, std::size_t n, std::int32_t* v)
{
    if constexpr (std::endian::native == std::endian::little) {
        if (n)
            std::memcpy(v, in, n * 4);
    } else {
        for (std::size_t i = 0; i < n; ++i)
            v[i] = LoadLE<std::int32_t>(in + 4 * i);
    }
}

// Values of a record read or written as little-endian bytes, straight from
// and into the caller's array where the machine's order is the file's.
template <typename T>
bool WriteRecord(RandomAccessFile& file, std::int64_t at, const T* values, std::size_t n)
{
    if constexpr (std::endian::native == std::endian::little)
        return file.WriteAt(at, values, n * sizeof(T));
    std::vector<unsigned char> bytes(n * sizeof(T));
    for (std::size_t i = 0; i < n; ++i)
        StoreLE(bytes.data() + sizeof(T) * i, values[i]);
    return file.WriteAt(at, bytes.data(), bytes.size());
}

template <typename T>
bool ReadRecord(RandomAccessFile& file, std::int64_t at, T* values, std::size_t n)
{
    if (!file.ReadAt(at, values, n * sizeof(T)))
        return false;
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < n; ++i) {
            unsigned char b[sizeof(T)];
            std::memcpy(b, &values[i], sizeof(T));
            values[i] = LoadLE<T>(b);
        }
    }
    return true;
}

// The process of a temporary store's name:
// Monmonier_<day>_<month>_<year>_<hour>_<minute>_<second>_<process>_<n>.dat
std::optional<std::uint64_t> StoreProcess(const std::string& name)
{
    if (name.rfind("Monmonier_", 0) != 0 || name.size() < 14 ||
        name.compare(name.size() - 4, 4, ".dat") != 0)
        return std::nullopt;
    const std::string fields = name.substr(10, name.size() - 14);
    std::vector<std::string> parts(1);
    for (char c : fields) {
        if (c == '_')
            parts.emplace_back();
        else if (c >= '0' && c <= '9')
            parts.back() += c;
        else
            return std::nullopt;
    }
    if (parts.size() != 8 || parts[6].empty() || parts[6].size() > 19)
        return std::nullopt;
    return std::stoull(parts[6]);
}

} // namespace

MatrixFile::MatrixFile(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

MatrixFile::~MatrixFile()
{
    try {
        close();
    } catch (...) {
    }
}

void MatrixFile::initialize(std::int32_t n)
{
    if (matrixCount_ != 0)
        throw Error(msg::MatrixFileAlreadyInitialized);
    size_ = n;
    matrixBytes_ = PairCount(n) * 8;
    permutationBytes_ = PairCount(n) * 4;
    std::error_code ec;
    if (fileName_.has_parent_path())
        std::filesystem::create_directories(fileName_.parent_path(), ec);
}

void MatrixFile::open()
{
    if (opened_.load(std::memory_order_acquire))
        return;
    std::lock_guard<std::mutex> lock(openLock_);
    if (file_)
        return;
    // Only a temporary store of ours is mapped; a document may be rewritten
    // by other programs while it is open.
    if (keep_) {
        file_ = RandomAccessFile::Open(fileName_, false);
        if (!file_)
            throw Error(msg::ImpossibleToOpen);
    } else {
        // A temporary store is created here or not at all: a name another
        // user made first is never opened, the next counter is taken.
        int error = 0;
        for (int attempt = 0; attempt < 1000 && !file_; ++attempt) {
            file_ = RandomAccessFile::CreateNew(fileName_, true, error);
            if (file_ || error != EEXIST || !StoreProcess(fileName_.filename().string()))
                break;
            fileName_ = TemporaryMatrixFileName(fileName_.parent_path());
        }
        if (!file_)
            throw Error(msg::ImpossibleToOpen);
        created_ = true;
        RegisterTemporaryFile(fileName_);
    }
    opened_.store(true, std::memory_order_release);
}

void MatrixFile::attach(std::int32_t n, std::int32_t m, std::int64_t offset)
{
    initialize(n);
    matrixCount_ = m;
    baseOffset_ = offset;
    keep_ = true;
    sorted_ = true;
    permutationCount_ = m;
    permutationOffset_ = offset + std::int64_t(m) * matrixBytes_;
    open();
}

void MatrixFile::writeMatrix(const SMatrix& matrix)
{
    if (size_ == -1)
        throw Error(msg::MatrixFileNotInitialized);
    if (matrix.size() != size_ || matrix.count() != PairCount(size_))
        throw Error(msg::MatrixSizeMismatch);
    // Each matrix goes to its own slot, so that a failed write (a full disk)
    // never shifts the ones written after it.
    const std::int64_t at = baseOffset_ + std::int64_t(matrixCount_) * matrixBytes_;
    try {
        open();
        if (!WriteRecord(*file_, at, matrix.values().data(), matrix.values().size())) {
            if (!keep_)
                file_->Truncate(at);
            throw Error(msg::FileWritingError);
        }
    } catch (const std::exception&) {
        throw Error(msg::CouldntWriteMatrix);
    }
    ++matrixCount_;
}

std::unique_ptr<SMatrix> MatrixFile::readMatrix(std::int32_t k)
{
    if (matrixCount_ == 0 || k < 0 || k >= matrixCount_)
        return nullptr;
    open();
    std::vector<unsigned char> bytes(static_cast<std::size_t>(matrixBytes_));
    if (!file_->ReadAt(baseOffset_ + std::int64_t(k) * matrixBytes_, bytes.data(), bytes.size()))
        throw Error(msg::MatrixReadingError);
    std::vector<double> values(static_cast<std::size_t>(PairCount(size_)));
    DecodeDoubles(bytes.data(), values.size(), values.data());
    auto matrix = std::make_unique<SMatrix>();
    matrix->assign(size_, std::move(values));
    return matrix;
}

double MatrixFile::readDistance(std::int32_t k, std::int64_t p)
{
    if (k < 0 || k >= matrixCount_)
        return 0.0;
    if (p < 0 || p >= PairCount(size_))
        throw Error(msg::FilePositioningError);
    open();
    unsigned char b[8];
    if (!file_->ReadAt(baseOffset_ + std::int64_t(k) * matrixBytes_ + 8 * p, b, 8))
        throw Error(msg::FileReadingError);
    return LoadLE<double>(b);
}

void MatrixFile::readValues(std::int32_t k, std::int64_t first, std::int64_t count, double* values)
{
    if (k < 0 || k >= matrixCount_ || first < 0 || count < 0 || first + count > PairCount(size_))
        throw Error(msg::MatrixReadingError);
    open();
    if (!ReadRecord(*file_, baseOffset_ + std::int64_t(k) * matrixBytes_ + 8 * first, values,
                    static_cast<std::size_t>(count)))
        throw Error(msg::MatrixReadingError);
}

void MatrixFile::releaseCache()
{
    if (file_)
        file_->DropPages();
}

void MatrixFile::writePermutation(const std::vector<std::int32_t>& permutation)
{
    if (static_cast<std::int64_t>(permutation.size()) != PairCount(size_))
        throw Error(msg::FileWritingError);
    if (permutationOffset_ == -1)
        permutationOffset_ = baseOffset_ + std::int64_t(matrixCount_) * matrixBytes_;
    open();
    const std::int64_t at = permutationOffset_ + std::int64_t(permutationCount_) * permutationBytes_;
    if (!WriteRecord(*file_, at, permutation.data(), permutation.size())) {
        if (!keep_)
            file_->Truncate(at);
        throw Error(msg::FileWritingError);
    }
    ++permutationCount_;
    if (permutationCount_ >= matrixCount_)
        sorted_ = true;
}

std::int32_t MatrixFile::readPermutationEntry(std::int32_t k, std::int64_t position)
{
    if (k < 0 || k >= matrixCount_)
        return 0;
    if (permutationOffset_ == -1 || position < 0 || position >= PairCount(size_))
        throw Error(msg::FilePositioningError);
    open();
    unsigned char b[4];
    if (!file_->ReadAt(permutationOffset_ + std::int64_t(k) * permutationBytes_ + 4 * position, b, 4))
        throw Error(msg::FileReadingError);
    return LoadLE<std::int32_t>(b);
}

void MatrixFile::readPermutationEntries(std::int32_t k, std::int64_t first, std::int64_t count,
                                        std::int32_t* entries)
{
    if (k < 0 || k >= matrixCount_ || permutationOffset_ == -1 || first < 0 || count < 0 ||
        first + count > PairCount(size_))
        throw Error(msg::FilePositioningError);
    open();
    if (!ReadRecord(*file_, permutationOffset_ + std::int64_t(k) * permutationBytes_ + 4 * first,
                    entries, static_cast<std::size_t>(count)))
        throw Error(msg::FileReadingError);
}

std::optional<std::vector<std::int32_t>> MatrixFile::readPermutation(std::int32_t k)
{
    if (k < 0 || k >= matrixCount_)
        return std::nullopt;
    std::vector<std::int32_t> permutation;
    std::vector<unsigned char> bytes;
    try {
        permutation.resize(static_cast<std::size_t>(PairCount(size_)));
        bytes.resize(static_cast<std::size_t>(permutationBytes_));
    } catch (const std::bad_alloc&) {
        throw Error(msg::PermutationAllocationError);
    }
    if (permutationOffset_ == -1)
        throw Error(msg::FilePositioningError);
    open();
    if (!file_->ReadAt(permutationOffset_ + std::int64_t(k) * permutationBytes_, bytes.data(),
                       bytes.size()))
        throw Error(msg::FileReadingError);
    DecodeInts(bytes.data(), permutation.size(), permutation.data());
    return permutation;
}

void MatrixFile::saveTo(std::ostream& out, const std::filesystem::path& documentFileName,
                        const JobHooks* hooks)
{
    const std::streamoff start = out.tellp();
    if (start < 0)
        throw Error(msg::FileWritingError);
    const auto step = [&] { PostStep(hooks ? hooks->progress : nullptr); };
    const auto check = [&] {
        if (hooks)
            hooks->checkCancelled();
    };
    std::vector<unsigned char> bytes;
    for (std::int32_t k = 0; k < matrixCount_; ++k) {
        check();
        const std::unique_ptr<SMatrix> m = readMatrix(k);
        EncodeDoubles(m->values().data(), m->values().size(), bytes);
        if (!out.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size())))
            throw Error(msg::FileWritingError);
        step();
    }
    for (std::int32_t k = 0; k < matrixCount_; ++k) {
        check();
        if (k >= permutationCount_)
            throw Error(msg::FileWritingError);
        const std::optional<std::vector<std::int32_t>> p = readPermutation(k);
        EncodeInts(p->data(), p->size(), bytes);
        if (!out.write(reinterpret_cast<const char*>(bytes.data()),
                       static_cast<std::streamsize>(bytes.size())))
            throw Error(msg::FileWritingError);
        step();
    }
    savedOffset_ = static_cast<std::int64_t>(start);
    savedFileName_ = documentFileName;
}

void MatrixFile::reattach()
{
    const std::int32_t count = matrixCount_;
    const std::int32_t permutations = permutationCount_;
    const bool sorted = sorted_;
    close();
    matrixCount_ = count;
    permutationCount_ = permutations;
    sorted_ = sorted;
    keep_ = true;
    baseOffset_ = savedOffset_;
    fileName_ = savedFileName_;
    // The permutations follow the matrices in the document's block too.
    permutationOffset_ = baseOffset_ + std::int64_t(count) * matrixBytes_;
    open();
}

void MatrixFile::close()
{
    matrixCount_ = 0;
    opened_.store(false, std::memory_order_release);
    file_.reset();
    if (!keep_) {
        permutationOffset_ = -1;
        permutationCount_ = 0;
        sorted_ = false;
        // Only the file this store created is ever deleted.
        if (created_) {
            std::error_code ec;
            std::filesystem::remove(fileName_, ec);
            UnregisterTemporaryFile(fileName_);
            created_ = false;
        }
    }
}

std::filesystem::path TemporaryMatrixFileName(const std::filesystem::path& folder)
{
    static std::atomic<unsigned> counter{0};
    static std::mutex timeLock; // std::localtime shares its result
    std::tm t{};
    {
        std::lock_guard<std::mutex> lock(timeLock);
        const std::time_t now = std::time(nullptr);
        if (const std::tm* local = std::localtime(&now))
            t = *local;
    }
    const std::string name = "Monmonier_" + std::to_string(t.tm_mday) + "_" +
                             std::to_string(t.tm_mon + 1) + "_" + std::to_string(t.tm_year + 1900) +
                             "_" + std::to_string(t.tm_hour) + "_" + std::to_string(t.tm_min) + "_" +
                             std::to_string(t.tm_sec) + "_" + std::to_string(ProcessId()) + "_" +
                             std::to_string(counter.fetch_add(1)) + ".dat";
    return folder / name;
}

void RemoveStaleMatrixStores(const std::filesystem::path& folder)
{
    RemoveFilesOfEndedProcesses(folder, StoreProcess);
}

} // namespace sundrel
