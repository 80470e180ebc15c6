#pragma once
// Exact orientation and in-circle tests on doubles, for checking
// triangulations: every double is scaled to an integer and the determinants
// are evaluated with arbitrary-precision integers.

#include <cmath>
#include <cstdint>
#include <vector>

namespace test {

class BigInt {
public:
    BigInt() = default;
    static BigInt FromMantissa(std::int64_t m, int shift)
    {
        BigInt r;
        r.neg_ = m < 0;
        std::uint64_t u = m < 0 ? static_cast<std::uint64_t>(-m) : static_cast<std::uint64_t>(m);
        while (u) {
            r.mag_.push_back(static_cast<std::uint32_t>(u));
            u >>= 32;
        }
        r.ShiftLeft(shift);
        return r;
    }
    int Sign() const { return mag_.empty() ? 0 : (neg_ ? -1 : 1); }

    friend BigInt operator+(const BigInt& a, const BigInt& b)
    {
        if (a.neg_ == b.neg_) {
            BigInt r;
            r.mag_ = AddMag(a.mag_, b.mag_);
            r.neg_ = a.neg_;
            r.Trim();
            return r;
        }
        const int c = CmpMag(a.mag_, b.mag_);
        BigInt r;
        if (c == 0)
            return r;
        if (c > 0) {
            r.mag_ = SubMag(a.mag_, b.mag_);
            r.neg_ = a.neg_;
        } else {
            r.mag_ = SubMag(b.mag_, a.mag_);
            r.neg_ = b.neg_;
        }
        r.Trim();
        return r;
    }
    friend BigInt operator-(const BigInt& a, const BigInt& b)
    {
        BigInt nb = b;
        nb.neg_ = !nb.neg_;
        if (nb.mag_.empty())
            nb.neg_ = false;
        return a + nb;
    }
    friend BigInt operator*(const BigInt& a, const BigInt& b)
    {
        BigInt r;
        if (a.mag_.empty() || b.mag_.empty())
            return r;
        r.mag_.assign(a.mag_.size() + b.mag_.size(), 0);
        for (std::size_t i = 0; i < a.mag_.size(); ++i) {
            std::uint64_t carry = 0;
            for (std::size_t j = 0; j < b.mag_.size(); ++j) {
                const std::uint64_t cur = std::uint64_t(a.mag_[i]) * b.mag_[j] + r.mag_[i + j] + carry;
                r.mag_[i + j] = static_cast<std::uint32_t>(cur);
                carry = cur >> 32;
            }
            std::size_t k = i + b.mag_.size();
            while (carry) {
                const std::uint64_t cur = std::uint64_t(r.mag_[k]) + carry;
                r.mag_[k] = static_cast<std::uint32_t>(cur);
                carry = cur >> 32;
                ++k;
            }
        }
        r.neg_ = a.neg_ != b.neg_;
        r.Trim();
        return r;
    }

private:
    using Mag = std::vector<std::uint32_t>;
    void Trim()
    {
        while (!mag_.empty() && mag_.back() == 0)
            mag_.pop_back();
        if (mag_.empty())
            neg_ = false;
    }
    void ShiftLeft(int s)
    {
        if (mag_.empty() || s == 0)
            return;
        const int words = s / 32, bits = s % 32;
        Mag r(static_cast<std::size_t>(words), 0);
        std::uint32_t carry = 0;
        for (std::uint32_t w : mag_) {
            r.push_back(bits ? (w << bits) | carry : w);
            carry = bits ? w >> (32 - bits) : 0;
        }
        if (carry)
            r.push_back(carry);
        mag_ = r;
    }
    static int CmpMag(const Mag& a, const Mag& b)
    {
        if (a.size() != b.size())
            return a.size() < b.size() ? -1 : 1;
        for (std::size_t i = a.size(); i-- > 0;)
            if (a[i] != b[i])
                return a[i] < b[i] ? -1 : 1;
        return 0;
    }
    static Mag AddMag(const Mag& a, const Mag& b)
    {
        Mag r(std::max(a.size(), b.size()) + 1, 0);
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < r.size(); ++i) {
            const std::uint64_t cur = carry + (i < a.size() ? a[i] : 0) + (i < b.size() ? b[i] : 0);
            r[i] = static_cast<std::uint32_t>(cur);
            carry = cur >> 32;
        }
        return r;
    }
    static Mag SubMag(const Mag& a, const Mag& b) // |a| >= |b|
    {
        Mag r(a.size(), 0);
        std::int64_t borrow = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            std::int64_t cur = std::int64_t(a[i]) - (i < b.size() ? b[i] : 0) - borrow;
            borrow = cur < 0;
            if (cur < 0)
                cur += std::int64_t(1) << 32;
            r[i] = static_cast<std::uint32_t>(cur);
        }
        return r;
    }

    bool neg_ = false;
    Mag mag_;
};

// Converts a set of doubles to integers sharing one scale.
class Scaled {
public:
    explicit Scaled(std::initializer_list<double> values)
    {
        for (double v : values) {
            if (v == 0)
                continue;
            int e;
            std::frexp(v, &e);
            minExp_ = std::min(minExp_, e - 53);
        }
    }
    BigInt operator()(double v) const
    {
        if (v == 0)
            return BigInt();
        int e;
        const double f = std::frexp(v, &e);
        const auto m = static_cast<std::int64_t>(std::ldexp(f, 53));
        return BigInt::FromMantissa(m, e - 53 - minExp_);
    }

private:
    int minExp_ = 1 << 20;
};

struct P2 {
    double x, y;
};

// Sign of (b - a) x (c - a): negative for a clockwise turn (y up).
inline int Orient(P2 a, P2 b, P2 c)
{
    const Scaled s{a.x, a.y, b.x, b.y, c.x, c.y};
    const BigInt d = (s(b.x) - s(a.x)) * (s(c.y) - s(a.y)) - (s(b.y) - s(a.y)) * (s(c.x) - s(a.x));
    return d.Sign();
}

// Positive when d lies strictly inside the circle through a, b, c (any
// orientation), zero when on it, negative outside.
inline int InCircle(P2 a, P2 b, P2 c, P2 d)
{
    const Scaled s{a.x, a.y, b.x, b.y, c.x, c.y, d.x, d.y};
    const BigInt adx = s(a.x) - s(d.x), ady = s(a.y) - s(d.y);
    const BigInt bdx = s(b.x) - s(d.x), bdy = s(b.y) - s(d.y);
    const BigInt cdx = s(c.x) - s(d.x), cdy = s(c.y) - s(d.y);
    const BigInt al = adx * adx + ady * ady;
    const BigInt bl = bdx * bdx + bdy * bdy;
    const BigInt cl = cdx * cdx + cdy * cdy;
    const BigInt det = al * (bdx * cdy - bdy * cdx) - bl * (adx * cdy - ady * cdx) +
                       cl * (adx * bdy - ady * bdx);
    return det.Sign() * Orient(a, b, c) > 0 ? 1 : (det.Sign() == 0 ? 0 : -1);
}

} // namespace test
