// Edits a map read from untrusted bytes: the first 17 bytes choose a position
// (two fractions of the frame) and an operation, the rest is a map body. An
// edit either fails with the system's error or leaves a map that writes and
// reads back the same.

#include "common/Errors.h"
#include "model/MMapFactory.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

namespace {

sundrel::MMapFactory& Factory()
{
    static sundrel::MMapFactory factory;
    return factory;
}

double Fraction(double v)
{
    v = std::fabs(v);
    if (!std::isfinite(v))
        v = 0.37;
    return v - std::floor(v);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 17)
        return 0;
    double fx, fy;
    std::memcpy(&fx, data, 8);
    std::memcpy(&fy, data + 8, 8);
    const std::uint8_t op = data[16];
    std::istringstream in(std::string(reinterpret_cast<const char*>(data + 17), size - 17));
    std::unique_ptr<sundrel::MMap> map;
    try {
        map = Factory().ReadMap(in);
    } catch (const sundrel::Error&) {
        return 0;
    }
    sundrel::MMapFactory& f = Factory();
    try {
        const sundrel::MBounds& fr = map->Frame();
        const double x = fr.xMin + Fraction(fx) * (fr.xMax - fr.xMin);
        const double y = fr.yMin + Fraction(fy) * (fr.yMax - fr.yMin);
        switch (op % 4) {
        case 0:
            f.AddVirtualPoint(*map, x, y);
            break;
        case 1:
            if (map->V() > 0)
                f.RemoveVirtualPoint(*map, (op / 4) % map->V());
            break;
        case 2:
            f.RemoveAllVirtualPoints(*map);
            break;
        default:
            f.AddVirtualPoint(*map, x, y);
            if (map->V() > 0)
                f.RemoveVirtualPoint(*map, map->V() - 1);
            break;
        }
    } catch (const sundrel::Error&) {
    }
    std::ostringstream out;
    f.WriteMap(*map, out);
    std::istringstream back(out.str());
    auto again = f.ReadMap(back);
    std::ostringstream out2;
    f.WriteMap(*again, out2);
    if (out2.str() != out.str())
        __builtin_trap();
    return 0;
}
