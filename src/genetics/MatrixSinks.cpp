#include "genetics/MatrixSinks.h"

#include "common/Errors.h"
#include "genetics/Messages.h"
#include "matrix/MatrixFile.h"
#include "matrix/SMatrix.h"

#include <algorithm>
#include <charconv>
#include <ostream>

namespace sundrel::genetics {

std::int64_t RequestedMatrixCount(const DistanceRequest& request)
{
    const std::int64_t replicates = request.resampling == Resampling::None
                                        ? 0
                                        : std::max<std::int64_t>(0, request.lastReplicate - request.firstReplicate + 1);
    return (request.observed ? 1 : 0) + replicates;
}

std::int64_t RequiredStoreBytes(std::int32_t populations, const DistanceRequest& request)
{
    return PairCount(populations) * 12 * RequestedMatrixCount(request);
}

void ComputeIntoStore(const GenotypeData& data, const DistanceRequest& request, MatrixFile& store,
                      const DistanceHooks& hooks)
{
    if (data.populationCount() < 2)
        throw Error(msg::TwoPopulationsNeeded);
    StoreSink sink(store, static_cast<std::int32_t>(data.populationCount()));
    ComputeDistanceMatrices(data, request, sink, hooks);
}

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
