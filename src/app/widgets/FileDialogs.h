#pragma once
// The file dialogs of the windows, all alike: Qt's own dialog (the same on
// every platform, and reachable by accessibility clients and tests under its
// object name), asking for a file to read or a file to write.

#include <QString>
#include <QStringList>

#include <filesystem>

class QWidget;

namespace sundrel::app {

struct FileQuestion {
    QString name;  // the dialog's object name
    QString title;
    QStringList filters;
    // Writing: the suffix added to a name without one, for each filter (the
    // one of the filter chosen).
    QStringList suffixes;
    // Where the dialog starts, when given.
    QString folder;
    // The file name proposed (for writing).
    QString proposed;
    // The filter shown first, when not the first of `filters`.
    QString selectedFilter;
};

// A file name as the windows have it, as a path (UTF-8).
std::filesystem::path ToPath(const QString& fileName);

// Where the dialogs for data files (coordinates, matrices) start: the folder
// of the last data file chosen in any of them. The window sets it from its
// settings at start; a dialog's own settings give one only while none is
// known.
QString DataFolder();
void SetDataFolder(const QString& folder);
void TakeDataFolderFromSettings(const QString& folder);

// The file chosen, or an empty string when the user gave up.
QString AskFileToRead(QWidget* parent, const FileQuestion& question);
QString AskFileToWrite(QWidget* parent, const FileQuestion& question);

} // namespace sundrel::app
