#pragma once
// Extraction of sampling-site coordinates from a text file: point k stands on
// file line L + k (1-based), after C - 1 skipped fields, as two numbers in
// "X first" or "Y first" order. Used by the import dialog and the command line.

#include "model/MXY.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sundrel {

class FileReader;

// The coordinates of one site, as the map builder takes them.
using CoordinatePair = MXY;

enum class DataOrder { XFirst = 0, YFirst = 1 };

// Called after each point with the number of points read and the total.
using ExtractionProgress = std::function<void(std::int64_t done, std::int64_t total)>;

// Reads `count` points from lines firstLine .. firstLine + count - 1 (1-based),
// skipping firstColumn - 1 fields on each, and returns them as (X, Y) whatever
// the order in the file. Raises Error for settings out of range, and passes on
// the reader's errors (a missing line, field or number) unchanged; stops with
// the silent abort once the reader's job is cancelled.
std::vector<CoordinatePair> ExtractCoordinates(FileReader& reader, std::int64_t firstLine,
                                               std::int64_t firstColumn, std::int64_t count,
                                               DataOrder order,
                                               const ExtractionProgress& progress = {});

// Number of lines from firstLine (1-based) to the last line holding anything
// but white space; 0 when there is none.
std::int64_t DefaultPointCount(FileReader& reader, std::int64_t firstLine);

// The information text after a successful extraction of n points.
std::string ExtractionSuccessText(std::int64_t n);

} // namespace sundrel
