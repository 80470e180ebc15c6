#include "import/CoordinateImport.h"

#include "common/Errors.h"
#include "import/FileReader.h"
#include "import/Messages.h"

#include <climits>

namespace sundrel {

namespace {

void CheckFirstLine(std::int64_t firstLine)
{
    if (firstLine < 1)
        throw Error(msg::FirstLineBelowOne);
}

} // namespace

std::vector<CoordinatePair> ExtractCoordinates(FileReader& reader, std::int64_t firstLine,
                                               std::int64_t firstColumn, std::int64_t count,
                                               DataOrder order, const ExtractionProgress& progress)
{
    CheckFirstLine(firstLine);
    if (firstColumn < 1 || firstColumn - 1 > INT_MAX)
        throw Error(msg::FirstColumnOutOfRange(std::int64_t{INT_MAX} + 1));
    if (count < 1)
        throw Error(msg::PointCountBelowOne);
    const std::int64_t lineCount = reader.LineCount();
    if (count > lineCount)
        throw Error(msg::PointsExceedLines(count, lineCount));

    const int skipped = static_cast<int>(firstColumn - 1);
    std::vector<CoordinatePair> points(static_cast<std::size_t>(count));
    for (std::int64_t k = 0; k < count; ++k) {
        reader.CheckCancel();
        double values[2];
        reader.ReadValues(firstLine - 1 + k, skipped, 2, values);
        CoordinatePair& point = points[static_cast<std::size_t>(k)];
        if (order == DataOrder::YFirst) {
            point.x = values[1];
            point.y = values[0];
        } else {
            point.x = values[0];
            point.y = values[1];
        }
        if (progress)
            progress(k + 1, count);
    }
    return points;
}

std::int64_t DefaultPointCount(FileReader& reader, std::int64_t firstLine)
{
    CheckFirstLine(firstLine);
    const std::int64_t last = reader.LastNonBlankLine();
    return last >= firstLine - 1 ? last - (firstLine - 1) + 1 : 0;
}

std::string ExtractionSuccessText(std::int64_t n)
{
    return msg::LinesSuccessfullyRead(n);
}

} // namespace sundrel
