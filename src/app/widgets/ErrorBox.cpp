#include "app/widgets/ErrorBox.h"

#include "common/Errors.h"

#include <QMessageBox>

namespace sundrel::app {

QString ErrorDetail(const std::exception& failure)
{
    const auto* file = dynamic_cast<const FileError*>(&failure);
    if (!file || file->file().empty())
        return {};
    QString detail = QString::fromStdString(file->file().string());
    if (!file->reason().empty())
        detail += QStringLiteral(" (") + QString::fromStdString(file->reason()) + ')';
    return detail;
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
