#pragma once
// Little-endian encoding of the fixed-size fields of our file formats.

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace sundrel {

template <typename T>
inline void StoreLE(unsigned char* dst, T value)
{
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    }
    std::memcpy(dst, bytes, sizeof(T));
}

template <typename T>
inline T LoadLE(const unsigned char* src)
{
    static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, src, sizeof(T));
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < sizeof(T) / 2; ++i)
            std::swap(bytes[i], bytes[sizeof(T) - 1 - i]);
    }
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

} // namespace sundrel
