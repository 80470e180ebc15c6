#pragma once
// A map kept aside exactly as it stands, in an unnamed temporary file. Adding
// a virtual point and taking it out again gives the same points and
// triangles, but not the same records: triangles come back rotated and the
// Voronoi vertices computed from them round differently. The editor keeps the
// map as it was before the first edit, so that undoing every edit gives back
// that very map.

#include "model/MMap.h"

#include <cstdio>
#include <memory>

namespace sundrel {

class MMapFactory;

class MapSnapshot {
public:
    // Writes the map's body aside; Error(msg::FileWritingError) when it
    // cannot (no temporary file, disk full).
    static std::unique_ptr<MapSnapshot> Take(const MMap& map, MMapFactory& factory);
    ~MapSnapshot();
    MapSnapshot(const MapSnapshot&) = delete;
    MapSnapshot& operator=(const MapSnapshot&) = delete;

    // The map as it was taken, with the bounds and the display state of
    // `current` (the highlight cleared); raises the reader's errors.
    std::unique_ptr<MMap> Restore(const MMap& current, MMapFactory& factory) const;

private:
    explicit MapSnapshot(std::FILE* file) : file_(file) {}
    std::FILE* file_;
};

} // namespace sundrel
