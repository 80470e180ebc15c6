#include "model/MMap.h"

#include "common/Errors.h"
#include "model/Messages.h"

#include <algorithm>

namespace sundrel {

MMap::MMap(MMesh m, LineId first, std::vector<MPolygon> c, std::int32_t n,
           std::vector<PointId> virtuals, MBounds frame, MBounds outer)
    : mesh(std::move(m)), firstLine(first), cells(std::move(c)), frameBounds(frame),
      outerBounds(outer), n_(n), virtualPoints_(std::move(virtuals))
{
    UpdateFrame();
}

PointId MMap::GetVirtualPoint(std::int32_t k) const
{
    if (k < 0 || k >= V())
        throw Error(msg::VirtualPointOutOfBounds);
    return virtualPoints_[static_cast<std::size_t>(k)];
}

std::optional<PointId> MMap::TakeOutVirtualPoint(PointId p)
{
    const std::int32_t s = -mesh.index(p) - 1;
    if (s < 0 || s >= V())
        throw Error(msg::VirtualPointOutOfBounds);
    const PointId last = virtualPoints_.back();
    virtualPoints_[static_cast<std::size_t>(s)] = last;
    virtualPoints_.pop_back();
    if (s == V())
        return std::nullopt;
    mesh.index(last) = -(s + 1);
    return last;
}

void MMap::UpdateFrame()
{
    bool first = true;
    for (std::size_t p = 0; p < mesh.PointSlots(); ++p) {
        if (!mesh.PointAlive(static_cast<PointId>(p)))
            continue;
        const MXY q = mesh.xy(static_cast<PointId>(p));
        if (first) {
            frame_ = {q.x, q.x, q.y, q.y};
            first = false;
        } else {
            frame_.xMin = std::min(frame_.xMin, q.x);
            frame_.xMax = std::max(frame_.xMax, q.x);
            frame_.yMin = std::min(frame_.yMin, q.y);
            frame_.yMax = std::max(frame_.yMax, q.y);
        }
    }
}

} // namespace sundrel
