#pragma once
// The resampling generator, specified to the bit so that every build on
// every machine draws the same replicates: SplitMix64, and an unbiased draw
// below a bound by rejection.
//
// Replicate r (1-based) under seed S uses its own stream, started at
//   state = Mix(Mix(S) ^ r),  Mix(x) = one SplitMix64 output from state x,
// so replicate r depends on S and r only, never on the other replicates.

#include <cstdint>

namespace sundrel::genetics {

// The output function of SplitMix64 applied to state + golden gamma.
inline std::uint64_t Mix(std::uint64_t state)
{
    std::uint64_t z = state + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t state) : state_(state) {}

    // state += 0x9E3779B97F4A7C15, then the output function on the new state.
    std::uint64_t next()
    {
        const std::uint64_t out = Mix(state_);
        state_ += 0x9E3779B97F4A7C15ull;
        return out;
    }

    // A whole number in [0, n), n >= 1, every value equally likely: 64-bit
    // draws below t = (2^64 - n) mod n are rejected (there are t of them, the
    // remainder of 2^64 by n), and the first one kept gives x mod n.
    std::uint64_t below(std::uint64_t n)
    {
        const std::uint64_t threshold = (0 - n) % n;
        for (;;) {
            const std::uint64_t x = next();
            if (x >= threshold)
                return x % n;
        }
    }

private:
    std::uint64_t state_;
};

inline SplitMix64 ReplicateStream(std::uint64_t seed, std::uint64_t replicate)
{
    return SplitMix64(Mix(Mix(seed) ^ replicate));
}

} // namespace sundrel::genetics
