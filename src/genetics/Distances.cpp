#include "genetics/Distances.h"

#include "common/Errors.h"
#include "common/Job.h"
#include "genetics/Messages.h"
#include "genetics/Random.h"
#include "matrix/SMatrix.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace sundrel::genetics {

const char* DistanceName(Distance d)
{
    switch (d) {
    case Distance::Nei: return "nei";
    case Distance::Edwards: return "edwards";
    case Distance::Reynolds: return "reynolds";
    case Distance::Rogers: return "rogers";
    case Distance::Prevosti: return "prevosti";
    }
    return "";
}

std::optional<Distance> DistanceFromName(std::string_view name)
{
    for (Distance d : {Distance::Nei, Distance::Edwards, Distance::Reynolds, Distance::Rogers, Distance::Prevosti})
        if (name == DistanceName(d))
            return d;
    return std::nullopt;
}

const char* ResamplingName(Resampling r)
{
    return r == Resampling::Loci ? "loci" : r == Resampling::Individuals ? "individuals" : "none";
}

AlleleFrequencies Frequencies(const GenotypeData& data, UntypedRule rule, const std::vector<std::uint32_t>* drawn,
                              std::optional<std::size_t>* untypedLocus)
{
    AlleleFrequencies f;
    const std::size_t nloc = data.locusCount();
    const std::size_t npop = data.populationCount();
    f.populations = npop;
    f.locusStart.resize(nloc + 1, 0);
    for (std::size_t l = 0; l < nloc; ++l)
        f.locusStart[l + 1] = f.locusStart[l] + data.alleles[l].size();
    const std::size_t columns = f.columns();
    std::vector<std::uint32_t> counts(npop * columns, 0);
    std::vector<std::uint32_t> totals(npop * nloc, 0);
    const auto add = [&](std::size_t i) {
        const std::size_t p = static_cast<std::size_t>(data.population[i]);
        std::uint32_t* c = counts.data() + p * columns;
        std::uint32_t* t = totals.data() + p * nloc;
        const Copy* g = data.genotype(i, 0);
        for (std::size_t l = 0; l < nloc; ++l, g += 2) {
            if (g[0] == kMissing)
                continue;
            ++c[f.locusStart[l] + g[0]];
            ++t[l];
            if (g[1] < kAbsent) {
                ++c[f.locusStart[l] + g[1]];
                ++t[l];
            }
        }
    };
    if (drawn)
        for (std::uint32_t i : *drawn)
            add(i);
    else
        for (std::size_t i = 0; i < data.individualCount(); ++i)
            add(i);

    f.values.assign(npop * columns, 0.0);
    for (std::size_t p = 0; p < npop; ++p)
        for (std::size_t l = 0; l < nloc; ++l) {
            const std::uint32_t total = totals[p * nloc + l];
            if (total == 0)
                continue;
            for (std::size_t a = f.locusStart[l]; a < f.locusStart[l + 1]; ++a)
                f.values[p * columns + a] = static_cast<double>(counts[p * columns + a]) / static_cast<double>(total);
        }
    for (std::size_t l = 0; l < nloc; ++l) {
        std::size_t typed = 0;
        for (std::size_t p = 0; p < npop; ++p)
            typed += totals[p * nloc + l] > 0;
        if (typed == 0) {
            if (untypedLocus && !*untypedLocus)
                *untypedLocus = l;
            continue;
        }
        if (rule == UntypedRule::Zero || typed == npop)
            continue;
        for (std::size_t a = f.locusStart[l]; a < f.locusStart[l + 1]; ++a) {
            double sum = 0.0;
            for (std::size_t p = 0; p < npop; ++p)
                if (totals[p * nloc + l] > 0)
                    sum += f.values[p * columns + a];
            const double mean = sum / static_cast<double>(typed);
            for (std::size_t p = 0; p < npop; ++p)
                if (totals[p * nloc + l] == 0)
                    f.values[p * columns + a] = mean;
        }
    }
    return f;
}

namespace {

// What the pair kernels share: the frequencies, their square roots
// (Edwards), each population's per-locus sums of squared frequencies (Nei,
// Reynolds, Rogers) and those sums weighted (Nei, Reynolds).
struct Kernel {
    const AlleleFrequencies& f;
    Distance d;
    const double* w;
    std::size_t B;
    std::size_t L, C, P;
    std::vector<double> roots;   // populations x columns (Edwards)
    std::vector<double> squares; // populations x loci
    std::vector<double> diagonal; // populations x B: sum_l w_l squares
    std::vector<double> weightSum; // B
};

// First pair at or after p: hi (hi - 1) / 2 <= p < hi (hi + 1) / 2.
void DecodePair(std::size_t p, std::size_t& hi, std::size_t& lo)
{
    hi = static_cast<std::size_t>((1.0 + std::sqrt(1.0 + 8.0 * static_cast<double>(p))) / 2.0);
    while (hi * (hi - 1) / 2 > p)
        --hi;
    while ((hi + 1) * hi / 2 <= p)
        ++hi;
    lo = p - hi * (hi - 1) / 2;
}

template <Distance D>
double LocusTerm(const Kernel& k, const double* xh, const double* xl, std::size_t l, std::size_t hi, std::size_t lo)
{
    const std::size_t a0 = k.f.locusStart[l], a1 = k.f.locusStart[l + 1];
    double t = 0.0;
    if constexpr (D == Distance::Nei || D == Distance::Reynolds) {
        for (std::size_t a = a0; a < a1; ++a)
            t += xh[a] * xl[a];
    } else if constexpr (D == Distance::Edwards) {
        for (std::size_t a = a0; a < a1; ++a)
            t += xh[a] * xl[a]; // square roots here
    } else if constexpr (D == Distance::Rogers) {
        double s = 0.0;
        for (std::size_t a = a0; a < a1; ++a)
            s += xh[a] * xl[a];
        const double v = ((-2.0 * s) + k.squares[lo * k.L + l]) + k.squares[hi * k.L + l];
        t = v > 0.0 ? std::sqrt(0.5 * v) : 0.0;
    } else {
        for (std::size_t a = a0; a < a1; ++a)
            t += std::fabs(xl[a] - xh[a]);
    }
    return t;
}

template <Distance D>
void PairRange(const Kernel& k, std::size_t p0, std::size_t p1, double* out, std::int64_t* undefined)
{
    if (p0 >= p1)
        return;
    std::size_t hi = 0, lo = 0;
    DecodePair(p0, hi, lo);
    std::vector<double> acc(k.B);
    const double* base = D == Distance::Edwards ? k.roots.data() : k.f.values.data();
    for (std::size_t p = p0; p < p1; ++p) {
        const double* xh = base + hi * k.C;
        const double* xl = base + lo * k.C;
        std::fill(acc.begin(), acc.end(), 0.0);
        for (std::size_t l = 0; l < k.L; ++l) {
            const double t = LocusTerm<D>(k, xh, xl, l, hi, lo);
            const double* wl = k.w + l * k.B;
            for (std::size_t b = 0; b < k.B; ++b)
                acc[b] += wl[b] * t;
        }
        for (std::size_t b = 0; b < k.B; ++b) {
            const double W = k.weightSum[b];
            const double s = acc[b];
            double v = 0.0;
            if constexpr (D == Distance::Nei) {
                if (!(s > 0.0)) {
                    if (undefined[b] < 0 || static_cast<std::size_t>(undefined[b]) > p)
                        undefined[b] = static_cast<std::int64_t>(p);
                    v = 0.0;
                } else {
                    const double ratio = (s / std::sqrt(k.diagonal[lo * k.B + b])) / std::sqrt(k.diagonal[hi * k.B + b]);
                    v = -std::log(ratio);
                }
            } else if constexpr (D == Distance::Edwards) {
                const double x = 1.0 - s / W;
                v = x > 0.0 ? std::sqrt(x) : 0.0;
            } else if constexpr (D == Distance::Reynolds) {
                const double num = ((-2.0 * s) + k.diagonal[lo * k.B + b]) + k.diagonal[hi * k.B + b];
                v = num > 0.0 ? std::sqrt(num / (2.0 * W - 2.0 * s)) : 0.0;
            } else if constexpr (D == Distance::Rogers) {
                v = s / W;
            } else {
                v = s / (2.0 * W);
            }
            out[b * k.P + p] = v > 0.0 ? v : 0.0;
        }
        if (++lo == hi) {
            ++hi;
            lo = 0;
        }
    }
}

template <Distance D>
void RunPairs(const Kernel& k, double* out, std::int64_t* undefined, int threads)
{
    std::size_t T = threads > 0 ? static_cast<std::size_t>(threads) : std::max(1u, std::thread::hardware_concurrency());
    // Small jobs are not worth a thread.
    const double work = static_cast<double>(k.P) * static_cast<double>(k.C + k.L * k.B);
    if (work < 2e5)
        T = 1;
    T = std::min(T, std::max<std::size_t>(k.P, 1));
    if (T <= 1) {
        PairRange<D>(k, 0, k.P, out, undefined);
        return;
    }
    std::vector<std::vector<std::int64_t>> found(T, std::vector<std::int64_t>(k.B, -1));
    std::vector<std::thread> pool;
    for (std::size_t t = 0; t < T; ++t)
        pool.emplace_back([&, t] {
            PairRange<D>(k, k.P * t / T, k.P * (t + 1) / T, out, found[t].data());
        });
    for (auto& th : pool)
        th.join();
    for (std::size_t b = 0; b < k.B; ++b)
        for (std::size_t t = 0; t < T && undefined[b] < 0; ++t)
            undefined[b] = found[t][b];
}

} // namespace

void WeightedDistances(const AlleleFrequencies& f, Distance d, const double* weights, std::size_t B, double* out,
                       std::int64_t* undefined, int threads)
{
    Kernel k{f, d, weights, B, f.loci(), f.columns(), static_cast<std::size_t>(PairCount(static_cast<std::int32_t>(f.populations))), {}, {}, {}, {}};
    std::fill(undefined, undefined + B, -1);
    k.weightSum.assign(B, 0.0);
    for (std::size_t l = 0; l < k.L; ++l)
        for (std::size_t b = 0; b < B; ++b)
            k.weightSum[b] += weights[l * B + b];
    if (d == Distance::Edwards) {
        k.roots.resize(f.values.size());
        for (std::size_t i = 0; i < f.values.size(); ++i)
            k.roots[i] = std::sqrt(f.values[i]);
    } else if (d != Distance::Prevosti) {
        k.squares.assign(f.populations * k.L, 0.0);
        for (std::size_t p = 0; p < f.populations; ++p)
            for (std::size_t l = 0; l < k.L; ++l) {
                const double* x = f.values.data() + p * k.C;
                double s = 0.0;
                for (std::size_t a = f.locusStart[l]; a < f.locusStart[l + 1]; ++a)
                    s += x[a] * x[a];
                k.squares[p * k.L + l] = s;
            }
        k.diagonal.assign(f.populations * B, 0.0);
        for (std::size_t p = 0; p < f.populations; ++p)
            for (std::size_t l = 0; l < k.L; ++l)
                for (std::size_t b = 0; b < B; ++b)
                    k.diagonal[p * B + b] += weights[l * B + b] * k.squares[p * k.L + l];
    }
    switch (d) {
    case Distance::Nei: RunPairs<Distance::Nei>(k, out, undefined, threads); break;
    case Distance::Edwards: RunPairs<Distance::Edwards>(k, out, undefined, threads); break;
    case Distance::Reynolds: RunPairs<Distance::Reynolds>(k, out, undefined, threads); break;
    case Distance::Rogers: RunPairs<Distance::Rogers>(k, out, undefined, threads); break;
    case Distance::Prevosti: RunPairs<Distance::Prevosti>(k, out, undefined, threads); break;
    }
}

namespace {

std::string UndefinedPairText(const GenotypeData& data, std::int64_t pair)
{
    std::size_t hi = 0, lo = 0;
    DecodePair(static_cast<std::size_t>(pair), hi, lo);
    return msg::UndefinedNei(data.populations[lo], data.populations[hi], data.locusCount());
}

void CheckCancel(const DistanceHooks& hooks)
{
    if (hooks.cancel && hooks.cancel->isCancelled())
        throw Abort("aborted");
}

} // namespace

std::vector<double> ObservedDistances(const GenotypeData& data, Distance d, UntypedRule rule, int threads)
{
    if (data.populationCount() < 2)
        throw Error(msg::TwoPopulationsNeeded);
    std::optional<std::size_t> untyped;
    const AlleleFrequencies f = Frequencies(data, rule, nullptr, &untyped);
    if (untyped)
        throw Error(msg::GenotypeFileFault(data.path, 0, msg::UntypedLocus(data.loci[*untyped])));
    const std::vector<double> ones(f.loci(), 1.0);
    std::vector<double> out(static_cast<std::size_t>(PairCount(static_cast<std::int32_t>(f.populations))));
    std::int64_t undefined = -1;
    WeightedDistances(f, d, ones.data(), 1, out.data(), &undefined, threads);
    if (undefined >= 0)
        throw Error(UndefinedPairText(data, undefined));
    return out;
}

void ComputeDistanceMatrices(const GenotypeData& data, const DistanceRequest& request, MatrixSink& sink,
                             const DistanceHooks& hooks)
{
    if (data.populationCount() < 2)
        throw Error(msg::TwoPopulationsNeeded);
    const std::int64_t replicates = request.resampling == Resampling::None
                                        ? 0
                                        : std::max<std::int64_t>(0, request.lastReplicate - request.firstReplicate + 1);
    const std::int64_t total = (request.observed ? 1 : 0) + replicates;
    std::int64_t done = 0;
    const auto report = [&] {
        ++done;
        if (hooks.progress)
            hooks.progress(done, total);
    };
    CheckCancel(hooks);
    const std::size_t P = static_cast<std::size_t>(PairCount(static_cast<std::int32_t>(data.populationCount())));
    const std::size_t L = data.locusCount();
    const AlleleFrequencies observed = Frequencies(data, request.untyped);
    if (request.observed) {
        sink.put(ObservedDistances(data, request.distance, request.untyped, request.threads));
        report();
    }
    if (replicates == 0)
        return;

    std::vector<double> matrix(P);
    if (request.resampling == Resampling::Loci) {
        // Replicates in batches whose results stay within about 64 MB.
        const std::size_t batch = std::clamp<std::size_t>((std::size_t(64) << 20) / (8 * std::max<std::size_t>(P, 1)), 1, 32);
        std::vector<double> weights, out;
        std::vector<std::int64_t> undefined;
        std::vector<SplitMix64> streams;
        const auto draw = [&](SplitMix64& rng, double* w, std::size_t stride) {
            for (std::size_t l = 0; l < L; ++l)
                w[l * stride] = 0.0;
            for (std::size_t i = 0; i < L; ++i)
                w[rng.below(L) * stride] += 1.0;
        };
        for (std::int64_t r0 = request.firstReplicate; r0 <= request.lastReplicate;) {
            CheckCancel(hooks);
            const std::size_t B = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(batch), request.lastReplicate - r0 + 1));
            weights.assign(L * B, 0.0);
            out.assign(P * B, 0.0);
            undefined.assign(B, -1);
            streams.clear();
            for (std::size_t b = 0; b < B; ++b) {
                streams.push_back(ReplicateStream(request.seed, static_cast<std::uint64_t>(r0) + b));
                draw(streams.back(), weights.data() + b, B);
            }
            WeightedDistances(observed, request.distance, weights.data(), B, out.data(), undefined.data(), request.threads);
            for (std::size_t b = 0; b < B; ++b) {
                std::copy_n(out.begin() + static_cast<std::ptrdiff_t>(b * P), P, matrix.begin());
                std::int64_t bad = undefined[b];
                std::vector<double> w(L);
                for (int attempt = 1; bad >= 0; ++attempt) {
                    if (attempt >= kMaxReplicateDraws)
                        throw Error(msg::ReplicateUndefined(r0 + static_cast<std::int64_t>(b), attempt, UndefinedPairText(data, bad)));
                    CheckCancel(hooks);
                    draw(streams[b], w.data(), 1);
                    WeightedDistances(observed, request.distance, w.data(), 1, matrix.data(), &bad, request.threads);
                }
                sink.put(matrix);
                report();
            }
            r0 += static_cast<std::int64_t>(B);
        }
        return;
    }

    // Individuals drawn with replacement within each population.
    std::vector<std::vector<std::uint32_t>> members(data.populationCount());
    for (std::size_t i = 0; i < data.individualCount(); ++i)
        members[static_cast<std::size_t>(data.population[i])].push_back(static_cast<std::uint32_t>(i));
    const std::vector<double> ones(L, 1.0);
    std::vector<std::uint32_t> drawn;
    for (std::int64_t r = request.firstReplicate; r <= request.lastReplicate; ++r) {
        SplitMix64 rng = ReplicateStream(request.seed, static_cast<std::uint64_t>(r));
        for (int attempt = 1;; ++attempt) {
            CheckCancel(hooks);
            drawn.clear();
            for (const auto& pop : members)
                for (std::size_t k = 0; k < pop.size(); ++k)
                    drawn.push_back(pop[rng.below(pop.size())]);
            std::optional<std::size_t> untyped;
            const AlleleFrequencies f = Frequencies(data, request.untyped, &drawn, &untyped);
            std::int64_t bad = -1;
            std::string why;
            if (untyped) {
                why = msg::UntypedInReplicate(data.loci[*untyped]);
            } else {
                WeightedDistances(f, request.distance, ones.data(), 1, matrix.data(), &bad, request.threads);
                if (bad >= 0)
                    why = UndefinedPairText(data, bad);
            }
            if (why.empty())
                break;
            if (attempt >= kMaxReplicateDraws)
                throw Error(msg::ReplicateUndefined(r, attempt, why));
        }
        sink.put(matrix);
        report();
    }
}

} // namespace sundrel::genetics
