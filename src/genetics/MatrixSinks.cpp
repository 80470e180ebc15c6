#include "genetics/MatrixSinks.h"

#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"

#include <charconv>
#include <ostream>

namespace sundrel::genetics {

StoreSink::StoreSink(MatrixFile& store, std::int32_t populations) : store_(store), n_(populations)
{
    store_.close();
    store_.initialize(n_);
}

void StoreSink::put(const std::vector<double>& halfMatrix)
{
    SMatrix m;
    m.assign(n_, halfMatrix);
    store_.writeMatrix(m);
}

TextMatrixSink::TextMatrixSink(std::ostream& out, std::int32_t populations) : out_(out), n_(populations) {}

void TextMatrixSink::put(const std::vector<double>& halfMatrix)
{
    char buffer[32];
    for (std::int32_t i = 0; i < n_; ++i) {
        line_.clear();
        for (std::int32_t j = 0; j < n_; ++j) {
            if (j)
                line_ += ' ';
            if (i == j) {
                line_ += '0';
                continue;
            }
            const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, halfMatrix[static_cast<std::size_t>(PairIndex(i, j))]);
            line_.append(buffer, end);
        }
        line_ += '\n';
        out_ << line_;
    }
    out_ << '\n';
}

} // namespace sundrel::genetics
