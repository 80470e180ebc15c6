#include "monmonier/Sundrel.h"

#include "common/Errors.h"
#include "matrix/Messages.h"
#include "monmonier/SundrelMatrix.h"
#include "monmonier/Messages.h"
#include "monmonier/SundrelMonmonier.h"

namespace sundrel {

Sundrel::Sundrel(Report* report, const std::vector<MPolygon>* cells, SundrelMatrix* matrix,
                 SundrelMonmonier* owner)
    : report_(report), cells_(cells), matrix_(matrix), owner_(owner)
{
}

void Sundrel::report(std::string line)
{
    if (owner_)
        owner_->reportLine(std::move(line));
    else if (report_)
        report_->push_back(std::move(line));
}

void Sundrel::construct(bool traceFlag)
{
    traceFlag_ = traceFlag;
    const std::optional<SundrelElement> s = matrix_->nextStart();
    if (!s)
        throw RangeError(msg::CantConstructSundrel);
    report(msg::ReportSundrelBegins);
    addElement(*s, 0);

    report(msg::ReportFirstDirection);
    trace(s->i, s->j, 0);
    report(msg::ReportOppositeDirection);
    trace(s->j, s->i, 1);
    report(msg::ReportSundrelEnds);
}

// Follows one direction from the segment (ref, next) until a step finds no
// way on, and notes where it stopped.
void Sundrel::trace(std::int32_t ref, std::int32_t next, int direction)
{
    for (;;) {
        const std::optional<SundrelElement> e = step(ref, next, false);
        if (!e)
            break;
        if (owner_ && owner_->cancelled()) {
            report(msg::ReportAborted);
            throw Abort(msg::SundrelAborted);
        }
        addElement(*e, direction);
    }
    std::lock_guard<std::mutex> lock(lock_);
    if (direction == 0)
        firstEndRef_ = ref;
    else
        oppositeEndRef_ = ref;
}

std::optional<SundrelElement> Sundrel::step(std::int32_t& ref, std::int32_t& next, bool lookAhead)
{
    const auto cellOf = [&](std::int32_t p) -> const MPolygon& {
        if (p < 0 || static_cast<std::size_t>(p) >= cells_->size())
            throw Error(msg::HalfMatrixIndicesOutOfBounds);
        return (*cells_)[static_cast<std::size_t>(p)];
    };
    const auto missing = [&](std::int32_t examined) {
        return Error(msg::SegmentNotInCell(ref, next, examined));
    };

    // The third corners of the Delaunay triangles on either side of the
    // crossed segment: after next in ref's cycle, and before ref in next's.
    const MPolygon& refCell = cellOf(ref);
    const std::int32_t nRef = refCell.count();
    std::int32_t k = 0;
    while (k < nRef && refCell.neighbours[static_cast<std::size_t>(k)] != next)
        ++k;
    if (k == nRef)
        throw missing(k);
    const std::int32_t a = refCell.neighbours[static_cast<std::size_t>((k + 1) % nRef)];

    const MPolygon& nextCell = cellOf(next);
    const std::int32_t nNext = nextCell.count();
    std::int32_t k2 = 0;
    while (k2 < nNext && nextCell.neighbours[static_cast<std::size_t>(k2)] != ref)
        ++k2;
    if (k2 == nNext)
        throw missing(k2);
    const std::int32_t b = nextCell.neighbours[static_cast<std::size_t>((nNext + k2 - 1) % nNext)];

    std::optional<SundrelElement> candidateA, candidateB;
    if (a >= 0 && !matrix_->isUsed(ref, a))
        candidateA = matrix_->makeElement(ref, a);
    if (b >= 0 && !matrix_->isUsed(next, b))
        candidateB = matrix_->makeElement(next, b);
    if (!candidateA || !candidateB) {
        report(msg::ReportStop);
        return std::nullopt;
    }
    const double da = candidateA->distance;
    const double db = candidateB->distance;
    if (da > db) {
        next = a;
        return candidateA;
    }
    if (da < db) {
        ref = b;
        return candidateB;
    }
    if (lookAhead)
        return candidateA;

    // Equal distances: look one step further along each candidate.
    report(msg::ReportUndeterminedAtOneStep);
    std::int32_t refA = ref, nextA = a;
    const std::optional<SundrelElement> ra = step(refA, nextA, true);
    std::int32_t refB = b, nextB = next;
    const std::optional<SundrelElement> rb = step(refB, nextB, true);
    if (!ra || !rb || ra->distance == rb->distance) {
        report(msg::ReportUndeterminedAtTwoSteps);
        return std::nullopt;
    }
    report(msg::ReportChosenAtTwoSteps);
    if (ra->distance > rb->distance) {
        next = a;
        return candidateA;
    }
    ref = b;
    return candidateB;
}

void Sundrel::addElement(const SundrelElement& e, int direction)
{
    matrix_->markUsed(e.i, e.j);
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (direction == 0)
            elements_.push_back(e);
        else
            elements_.push_front(e);
    }
    if (traceFlag_ && owner_)
        owner_->addCount(e);
    report(msg::ReportSegment(direction != 0, e.i + 1, e.j + 1, e.distance));
}

std::size_t Sundrel::elementCount() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return elements_.size();
}

std::vector<SundrelElement> Sundrel::elements() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return std::vector<SundrelElement>(elements_.begin(), elements_.end());
}

std::int32_t Sundrel::firstEndRef() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return firstEndRef_;
}

std::int32_t Sundrel::oppositeEndRef() const
{
    std::lock_guard<std::mutex> lock(lock_);
    return oppositeEndRef_;
}

} // namespace sundrel
