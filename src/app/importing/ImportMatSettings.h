#pragma once
// The matrix import's choices kept between sessions (group "ImportMat"):
// read strictly, one missing or damaged value giving the defaults for all.

#include <QString>

#include <optional>

class QSettings;

namespace sundrel::app {

struct ImportMatSettings {
    int matrixSize = 0;
    int matrices = 1;
    bool square = true;
    int ignoredLines = 1;
    int ignoredColumns = 1;
    int ignoredMatrices = 1;
    // The folder of the matrix stores; empty: the default one.
    QString storeFolder;
    bool autoExtract = false;
};

// The group's values in the current settings group, nothing when one is
// missing or out of range (`spinMaximum`: the fields' upper bound).
std::optional<ImportMatSettings> ReadImportMatSettings(QSettings& settings, int spinMaximum);
void WriteImportMatSettings(QSettings& settings, const ImportMatSettings& values);

} // namespace sundrel::app
