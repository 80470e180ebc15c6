#include "app/widgets/ErrorBox.h"

#include "common/Errors.h"
#include "common/Job.h"

#include <QMessageBox>

namespace sundrel::app {

namespace {

QString Detail(const std::string& file, const std::string& reason)
{
    if (file.empty())
        return {};
    QString detail = QString::fromStdString(file);
    if (!reason.empty())
        detail += QStringLiteral(" (") + QString::fromStdString(reason) + ')';
    return detail;
}

} // namespace

QString ErrorDetail(const std::exception& failure)
{
    const auto* file = dynamic_cast<const FileError*>(&failure);
    return file ? Detail(file->file().string(), file->reason()) : QString();
}

QString ErrorDetail(const JobResult& result)
{
    return result.kind == FailureKind::File ? Detail(result.file, result.reason) : QString();
}

QString FailureText(const JobResult& result)
{
    const QString message = QString::fromStdString(result.message);
    const QString detail = ErrorDetail(result);
    return detail.isEmpty() ? message : message + '\n' + detail;
}

void ShowErrorBox(QWidget* parent, const QString& title, const QString& message,
                  const QString& detail)
{
    QMessageBox box(QMessageBox::Critical, title, message, QMessageBox::Ok, parent);
    box.setObjectName("ErrorBox");
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    box.exec();
}

} // namespace sundrel::app
