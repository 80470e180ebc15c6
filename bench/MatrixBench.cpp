// Importing and reading distance matrices: extraction of 100 square matrices
// of 500 populations from one text file (about 12.5 million values read)
// through ExtractMatrices, against a plain std::from_chars loop reading the
// same numbers from the same file; and random single reads from a store that
// sits in the page cache. The files live in a temporary folder that is
// removed at exit.

#include "import/FileReader.h"
#include "matrix/MatrixFile.h"
#include "matrix/MatrixImport.h"
#include "matrix/SMatrix.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <charconv>
#include <fcntl.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace sundrel;

constexpr std::int32_t kPopulations = 500;
constexpr std::int32_t kMatrices = 100;

// Distance m(i, j): a hash of the pair scaled to 0 .. 9.99, written with at
// most two decimals, symmetric by construction.
double Distance(std::int32_t m, std::int32_t i, std::int32_t j)
{
    std::uint64_t h = (std::uint64_t(m) << 40) ^ (std::uint64_t(std::max(i, j)) << 20) ^
                      std::uint64_t(std::min(i, j));
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    return static_cast<double>(h % 1000) / 100.0;
}

class Workspace {
public:
    ~Workspace()
    {
        std::error_code ec;
        if (!folder_.empty())
            std::filesystem::remove_all(folder_, ec);
    }

    const std::filesystem::path& folder()
    {
        if (folder_.empty()) {
            folder_ = std::filesystem::temp_directory_path() /
                      ("sundrel-matrix-bench-" + std::to_string(::getpid()));
            std::filesystem::create_directories(folder_);
        }
        return folder_;
    }

    // The text file of kMatrices square matrices, one row per line.
    const std::filesystem::path& text()
    {
        if (text_.empty()) {
            text_ = folder() / "matrices.txt";
            std::FILE* f = std::fopen(text_.string().c_str(), "wb");
            std::string line;
            char buffer[32];
            for (std::int32_t m = 0; m < kMatrices; ++m)
                for (std::int32_t i = 0; i < kPopulations; ++i) {
                    line.clear();
                    for (std::int32_t j = 0; j < kPopulations; ++j) {
                        const double d = i == j ? 0.0 : Distance(m, i, j);
                        const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
                        line.append(buffer, end);
                        line += j + 1 < kPopulations ? ' ' : '\n';
                    }
                    std::fwrite(line.data(), 1, line.size(), f);
                }
            std::fclose(f);
        }
        return text_;
    }

    double textBytes() { return static_cast<double>(std::filesystem::file_size(text())); }

    // A store of kMatrices matrices and their permutations, read once whole
    // so that it is in the page cache.
    MatrixFile& store()
    {
        if (!store_) {
            store_ = std::make_unique<MatrixFile>(TemporaryMatrixFileName(folder()));
            store_->initialize(kPopulations);
            const std::int64_t pairs = PairCount(kPopulations);
            std::vector<std::int32_t> permutation(static_cast<std::size_t>(pairs));
            std::mt19937 rng(11);
            for (std::int32_t m = 0; m < kMatrices; ++m) {
                std::vector<double> values(static_cast<std::size_t>(pairs));
                for (std::int32_t i = 1; i < kPopulations; ++i)
                    for (std::int32_t j = 0; j < i; ++j)
                        values[static_cast<std::size_t>(PairIndex(i, j))] = Distance(m, i, j);
                SMatrix matrix;
                matrix.assign(kPopulations, std::move(values));
                store_->writeMatrix(matrix);
            }
            for (std::int32_t m = 0; m < kMatrices; ++m) {
                for (std::int64_t p = 0; p < pairs; ++p)
                    permutation[static_cast<std::size_t>(p)] = static_cast<std::int32_t>(p);
                std::shuffle(permutation.begin(), permutation.end(), rng);
                store_->writePermutation(permutation);
            }
            store_->setSorted(true);
            for (std::int32_t m = 0; m < kMatrices; ++m) {
                benchmark::DoNotOptimize(store_->readMatrix(m));
                benchmark::DoNotOptimize(store_->readPermutation(m));
            }
        }
        return *store_;
    }

private:
    std::filesystem::path folder_;
    std::filesystem::path text_;
    std::unique_ptr<MatrixFile> store_;
};

// Destroyed at exit, taking the files with it (the store first).
Workspace gWorkspace;

double PeakMegabytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

MatrixLayout Layout()
{
    MatrixLayout layout;
    layout.size = kPopulations;
    layout.matrices = kMatrices;
    return layout;
}

void BM_IndexFile(benchmark::State& state)
{
    const std::string file = gWorkspace.text().string();
    for (auto _ : state) {
        FileReader reader(file, nullptr, false);
        benchmark::DoNotOptimize(reader.LineCount());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gWorkspace.textBytes()));
}
BENCHMARK(BM_IndexFile)->Unit(benchmark::kMillisecond)->UseRealTime();

// Extraction as the import runs it after reading: every matrix loaded row by
// row and appended to the store.
void BM_ExtractMatrices(benchmark::State& state)
{
    FileReader reader(gWorkspace.text().string(), nullptr, false);
    MatrixFile store(TemporaryMatrixFileName(gWorkspace.folder()));
    for (auto _ : state)
        ExtractMatrices(reader, Layout(), store);
    if (store.matrixCount() != kMatrices || store.readDistance(kMatrices - 1, 0) != Distance(kMatrices - 1, 1, 0))
        state.SkipWithError("wrong extraction");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gWorkspace.textBytes()));
    state.counters["values"] = static_cast<double>(PairCount(kPopulations) * kMatrices);
    state.counters["text_MB"] = gWorkspace.textBytes() / 1e6;
    state.counters["peak_MB"] = PeakMegabytes();
}
BENCHMARK(BM_ExtractMatrices)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same numbers with a plain loop: each line read whole, the first i
// fields of row i converted with std::from_chars.
void BM_FromCharsLoop(benchmark::State& state)
{
    const std::string file = gWorkspace.text().string();
    double checksum = 0.0;
    for (auto _ : state) {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        checksum = 0.0;
        std::int64_t row = 0;
        while (std::getline(in, line)) {
            const std::int32_t wanted = static_cast<std::int32_t>(row++ % kPopulations);
            const char* p = line.data();
            const char* end = p + line.size();
            for (std::int32_t k = 0; k < wanted; ++k) {
                while (p < end && *p == ' ')
                    ++p;
                double v = 0.0;
                const auto [next, ec] = std::from_chars(p, end, v);
                if (ec != std::errc()) {
                    state.SkipWithError("unreadable number");
                    return;
                }
                checksum += v;
                p = next;
            }
        }
        benchmark::DoNotOptimize(checksum);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * gWorkspace.textBytes()));
}
BENCHMARK(BM_FromCharsLoop)->Unit(benchmark::kMillisecond)->UseRealTime();

// A thousand single reads at random places of the store.
void BM_RandomReadDistance(benchmark::State& state)
{
    MatrixFile& store = gWorkspace.store();
    std::mt19937_64 rng(5);
    std::uniform_int_distribution<std::int32_t> matrix(0, kMatrices - 1);
    std::uniform_int_distribution<std::int64_t> pair(0, PairCount(kPopulations) - 1);
    for (auto _ : state) {
        double sum = 0.0;
        for (int n = 0; n < 1000; ++n)
            sum += store.readDistance(matrix(rng), pair(rng));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_RandomReadDistance)->Unit(benchmark::kMicrosecond);

void BM_RandomReadPermutationEntry(benchmark::State& state)
{
    MatrixFile& store = gWorkspace.store();
    std::mt19937_64 rng(6);
    std::uniform_int_distribution<std::int32_t> matrix(0, kMatrices - 1);
    std::uniform_int_distribution<std::int64_t> position(0, PairCount(kPopulations) - 1);
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (int n = 0; n < 1000; ++n)
            sum += store.readPermutationEntry(matrix(rng), position(rng));
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_RandomReadPermutationEntry)->Unit(benchmark::kMicrosecond);

// The floor of a single read on this system: one pread of 8 bytes at a
// random place of the same store file, without the store around it.
void BM_RandomPreadBaseline(benchmark::State& state)
{
    MatrixFile& store = gWorkspace.store();
    const int fd = ::open(store.fileName().string().c_str(), O_RDONLY);
    const std::int64_t bytes = std::int64_t(kMatrices) * store.matrixBytes();
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<std::int64_t> offset(0, bytes / 8 - 1);
    for (auto _ : state) {
        double sum = 0.0;
        for (int n = 0; n < 1000; ++n) {
            double v = 0.0;
            if (::pread(fd, &v, 8, static_cast<off_t>(8 * offset(rng))) != 8)
                state.SkipWithError("pread failed");
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    ::close(fd);
}
BENCHMARK(BM_RandomPreadBaseline)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
