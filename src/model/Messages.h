#pragma once
// Messages raised by the map operations, word for word as users see them,
// and the kinds of failure that callers tell apart.

#include "common/Errors.h"
#include "common/Messages.h"

#include <cstdint>

namespace sundrel::msg {

inline constexpr const char* BothUsersSet = "Both users are already sets";
inline constexpr const char* UnknownUser = "Unknown user";
inline constexpr const char* NoOppositeUser = "Unknown user or no opposite user found";
inline constexpr const char* NotAValidTriangle = "Not a valid triangle";
inline constexpr const char* VirtualPointOutOfBounds = "Virtual point index out of bounds error";
inline constexpr const char* DuplicatePointError = "Duplicate point error";
inline constexpr const char* DuplicatePoint = "Duplicate point";
inline constexpr const char* VirtualPointNotFound = "Virtual point not found";
inline constexpr const char* UnknownAction = "Unknown action";

// Our own, where a walk or an edit could otherwise hang or corrupt the map.
inline constexpr const char* LocateFailed =
    "Point location failed: the triangulation is degenerate";
inline constexpr const char* CoordinatesTooFar =
    "The triangulation is numerically degenerate: the coordinates are too far from zero "
    "for their spread; shift them nearer zero and try again";
inline constexpr const char* OutsideFrame = "The position lies outside the triangulation frame";
inline constexpr const char* RemovalFailed = "The virtual point cannot be removed";
inline constexpr const char* NoPoints = "There are no points to triangulate";
inline constexpr const char* TooManyPoints = "Too many points for one map";
inline constexpr const char* FactoryBusy = "A map is already being created";
// Shown while a map is created.
inline constexpr const char* ComputingTriangulation = "Computing the triangulation, please wait...";
inline constexpr const char* CreationFailed = "An error occured during the computation.";
inline constexpr const char* TriangulationCreatedIn = "Triangulation created in ";

// Reading and writing the map body.
inline constexpr const char* UnreadableTriangulation = "Unreadable triangulation data";
inline constexpr const char* InconsistentPoints = "Inconsistent number of original points";
inline constexpr const char* InconsistentLines = "Inconsistent number of lines";
inline constexpr const char* InconsistentTriangles = "Inconsistent number of triangles";
inline constexpr const char* InconsistentVirtualPoints = "Inconsistent number of virtual points";
inline constexpr const char* InconsistentPolygons = "Inconsistent number of polygons";
inline constexpr const char* PointsReadingError = "Points reading error";
inline constexpr const char* LinesPointsMismatch = "Lines and points don't match";
inline constexpr const char* TrianglesMismatch = "Triangles lines and points don't match";
inline constexpr const char* WrongVirtualPoints = "Wrong virtual points";
inline constexpr const char* UnreadablePolygon = "Unreadable polygon";
inline constexpr const char* MapTooLarge = "The map is too large to be saved in this document format";

// Document header, checked by the document reader.
inline constexpr const char* UnrecognizedFormat = "Unrecognized file format";
inline constexpr const char* UnsupportedVersion = "Unsupported DVT file version";
inline constexpr const char* UnsupportedSundrelVersion = "Unsupported DVK file version";

} // namespace sundrel::msg

namespace sundrel {

// A point-location walk that did not end: the triangulation is degenerate.
class LocateError : public Error {
public:
    LocateError() : Error(msg::LocateFailed) {}
};

// A new point whose fan would hold a flat triangle: on the place of an
// existing point (`other`), or (other = -1) exactly on an edge that the
// cavity kept.
class DuplicatePositionError : public Error {
public:
    explicit DuplicatePositionError(std::int32_t other = -1)
        : Error(msg::DuplicatePointError), other_(other)
    {
    }
    std::int32_t other() const { return other_; }

private:
    std::int32_t other_;
};

// Two input sites at one place, by their input numbers (0-based, first <
// second).
class DuplicateSitesError : public Error {
public:
    DuplicateSitesError(std::int32_t first, std::int32_t second)
        : Error(msg::DuplicatePoint), first_(first), second_(second)
    {
    }
    std::int32_t first() const { return first_; }
    std::int32_t second() const { return second_; }

private:
    std::int32_t first_;
    std::int32_t second_;
};

} // namespace sundrel
