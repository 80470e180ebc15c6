#include "app/widgets/FileDialogs.h"

#include <QFileDialog>

namespace sundrel::app {

namespace {

QString Ask(QFileDialog& dialog, const FileQuestion& question)
{
    dialog.setObjectName(question.name);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setNameFilters(question.filters);
    if (!question.selectedFilter.isEmpty())
        dialog.selectNameFilter(question.selectedFilter);
    if (!question.folder.isEmpty())
        dialog.setDirectory(question.folder);
    if (!question.proposed.isEmpty())
        dialog.selectFile(question.proposed);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

QString& TheDataFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString DataFolder()
{
    return TheDataFolder();
}

void SetDataFolder(const QString& folder)
{
    TheDataFolder() = folder;
}

void TakeDataFolderFromSettings(const QString& folder)
{
    if (TheDataFolder().isEmpty())
        TheDataFolder() = folder;
}

std::filesystem::path ToPath(const QString& fileName)
{
    return std::filesystem::path(fileName.toUtf8().toStdString());
}

QString AskFileToRead(QWidget* parent, const FileQuestion& question)
{
    QFileDialog dialog(parent, question.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return Ask(dialog, question);
}

QString AskFileToWrite(QWidget* parent, const FileQuestion& question)
{
    QFileDialog dialog(parent, question.title);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList& suffixes = question.suffixes;
    if (!suffixes.isEmpty())
        dialog.setDefaultSuffix(suffixes.front());
    // The suffix follows the file type chosen.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const qsizetype k = question.filters.indexOf(filter);
        if (k >= 0 && k < suffixes.size())
            dialog.setDefaultSuffix(suffixes[k]);
    });
    return Ask(dialog, question);
}

} // namespace sundrel::app
