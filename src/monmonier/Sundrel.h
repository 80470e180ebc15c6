#pragma once
// One sundrel: a chain of Voronoi edges traced from a start segment, first in
// one direction and then in the opposite one, always continuing between the
// adjacent pair of populations that differ most. Every decision goes to the
// layer's report.

#include "model/MMap.h"
#include "monmonier/SundrelTypes.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace sundrel {

class SundrelMatrix;
class SundrelMonmonier;

class Sundrel {
public:
    Sundrel(Report* report, const std::vector<MPolygon>* cells, SundrelMatrix* matrix,
            SundrelMonmonier* owner);

    // Builds the whole sundrel; counts its segments in the owner's count list
    // when `traceFlag`. Raises the range error "Impossible to constuct another
    // sundrel" when no start segment is left, and the silent abort "sundrel"
    // when the analysis is cancelled.
    void construct(bool traceFlag);

    // Adds e at the end reached in the first direction (0) or at the other
    // end (1).
    void addElement(const SundrelElement& e, int direction);

    // Read access for display, under the sundrel's lock.
    std::size_t elementCount() const;
    std::vector<SundrelElement> elements() const;
    std::int32_t firstEndRef() const;
    std::int32_t oppositeEndRef() const;

    std::string label;

private:
    std::optional<SundrelElement> step(std::int32_t& ref, std::int32_t& next, bool lookAhead);
    void trace(std::int32_t ref, std::int32_t next, int direction);
    void report(std::string line);

    bool traceFlag_ = false;
    Report* report_;
    const std::vector<MPolygon>* cells_;
    SundrelMatrix* matrix_;
    SundrelMonmonier* owner_;
    std::deque<SundrelElement> elements_;
    std::int32_t firstEndRef_ = -1;
    std::int32_t oppositeEndRef_ = -1;
    mutable std::mutex lock_;
};

} // namespace sundrel
