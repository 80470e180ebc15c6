#pragma once
// A planar position in the units of the imported file, y pointing up.

namespace sundrel {

struct MXY {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const MXY&) const = default;
};

} // namespace sundrel
