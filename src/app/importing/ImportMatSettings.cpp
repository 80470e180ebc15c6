#include "app/importing/ImportMatSettings.h"

#include "app/widgets/Settings.h"

#include <QSettings>

#include <limits>

namespace sundrel::app {

std::optional<ImportMatSettings> ReadImportMatSettings(QSettings& settings, int spinMaximum)
{
    const auto inRange = [](const std::optional<int>& v, int min, int max) {
        return v && *v >= min && *v <= max;
    };
    const auto size = ReadInt(settings, "MatrixSize");
    const auto number = ReadInt(settings, "MatrixNumber");
    const auto square = ReadInt(settings, "Square");
    const auto lines = ReadInt(settings, "IgnoredLines");
    const auto columns = ReadInt(settings, "IgnoredColumns");
    const auto gap = ReadInt(settings, "IgnoredMatrices");
    const auto folder = ReadString(settings, "TempDir");
    const auto autoCheck = ReadInt(settings, "AutoCheck");
    if (!(inRange(size, 0, std::numeric_limits<int>::max()) && inRange(number, 1, spinMaximum) &&
          inRange(square, 0, 1) && inRange(lines, 1, spinMaximum) &&
          inRange(columns, 1, spinMaximum) && inRange(gap, 0, spinMaximum) && folder &&
          inRange(autoCheck, 0, 1)))
        return std::nullopt;
    return ImportMatSettings{*size,    *number, *square == 1, *lines, *columns,
                             *gap,     *folder, *autoCheck == 1};
}

void WriteImportMatSettings(QSettings& settings, const ImportMatSettings& values)
{
    settings.setValue("MatrixSize", values.matrixSize);
    settings.setValue("MatrixNumber", values.matrices);
    settings.setValue("Square", values.square ? 1 : 0);
    settings.setValue("IgnoredLines", values.ignoredLines);
    settings.setValue("IgnoredColumns", values.ignoredColumns);
    settings.setValue("IgnoredMatrices", values.ignoredMatrices);
    settings.setValue("TempDir", values.storeFolder);
    settings.setValue("AutoCheck", values.autoExtract ? 1 : 0);
}

} // namespace sundrel::app
