#pragma once
// Building maps through the builder's worker, checking their structure with
// exact predicates, and generating point sets.

#include "model/MMapFactory.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

namespace test {

// Runs a creation on the factory's worker and returns the map (null when the
// creation failed; `error` then holds the message).
std::unique_ptr<sundrel::MMap> Create(sundrel::MMapFactory& factory,
                                      const std::vector<sundrel::MXY>& points,
                                      std::string* error = nullptr);

// Every structural invariant of a finished map: triangles clockwise with
// consistent lines, users and neighbours, counts of a triangulated rectangle,
// zero marks, the Delaunay property (exact), virtual point numbering, and
// every cell equal to the circumcentres around its site.
::testing::AssertionResult MapIsValid(const sundrel::MMap& map);

// The map body as written by WriteMap.
std::string BodyBytes(sundrel::MMapFactory& factory, const sundrel::MMap& map);

// Cells compared as cyclic sequences (same vertices and neighbours, possibly
// starting at another vertex).
bool SameCellUpToRotation(const sundrel::MPolygon& a, const sundrel::MPolygon& b);

// Point sets.
std::vector<sundrel::MXY> RandomPoints(std::size_t n, unsigned seed, double scale = 1000.0);
std::vector<sundrel::MXY> IntegerPoints(std::size_t n, unsigned seed, int range);
std::vector<sundrel::MXY> ClusteredPoints(std::size_t n, unsigned seed);
std::vector<sundrel::MXY> GridPoints(int nx, int ny, double step = 1.0);

} // namespace test
