#include "app/importing/DiskDialog.h"

#include "app/widgets/Fields.h"
#include "app/widgets/Progress.h"
#include "matrix/Messages.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace sundrel::app {

TDiskDialog::TDiskDialog(std::int64_t requiredBytes, const std::filesystem::path& folder,
                         FreeSpaceQuery freeSpace, QWidget* parent)
    : QDialog(parent), freeSpace_(std::move(freeSpace)),
      frame_(new QGroupBox(QString::fromStdString(msg::NotEnoughSpace(requiredBytes)))),
      folder_(new QLineEdit), browse_(new QPushButton(tr("Browse..."))), available_(new QLabel),
      ok_(new QPushButton(tr("OK"))), cancel_(new QPushButton(tr("Cancel")))
{
    setObjectName("DiskDialog");
    setWindowTitle(QString::fromUtf8(msg::DiskSizeErrorCaption));
    setModal(true);

    folder_->setMinimumWidth(320);
    browse_->setAutoDefault(false);

    auto* frameLayout = new QGridLayout(frame_);
    AddField(frameLayout, 0, tr("Folder :"), folder_);
    frameLayout->addWidget(browse_, 0, 2);
    frameLayout->addWidget(available_, 1, 0, 1, 3);
    frameLayout->setColumnStretch(1, 1);

    ok_->setDefault(true);
    cancel_->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame_);
    layout->addLayout(ButtonRow({ok_, cancel_}));

    connect(folder_, &QLineEdit::textChanged, this, &TDiskDialog::FolderChanged);
    connect(browse_, &QPushButton::clicked, this, &TDiskDialog::Browse);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);

    folder_->setText(QString::fromStdString(folder.string()));
    FolderChanged(); // the text may not have changed
    setFixedHeight(sizeHint().height());
}

std::filesystem::path TDiskDialog::Folder() const
{
    return std::filesystem::path(folder_->text().trimmed().toStdString());
}

void TDiskDialog::FolderChanged()
{
    const std::int64_t free = std::max<std::int64_t>(FreeBytes(freeSpace_, Folder()), 0);
    available_->setText(QString::fromStdString(msg::AvailableSpace(free)));
}

void TDiskDialog::Browse()
{
    QFileDialog chooser(this, tr("Folder"), folder_->text());
    chooser.setObjectName("FolderDialog");
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setOption(QFileDialog::ShowDirsOnly);
    chooser.setFileMode(QFileDialog::Directory);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty())
        return;
    folder_->setText(chooser.selectedFiles().first());
}

} // namespace sundrel::app
