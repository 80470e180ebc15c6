#pragma once
// Asked when the temporary folder has no room for the matrix store: it names
// the space the store needs and lets the user choose another folder, showing
// the space available there as the folder changes. OK takes the folder; the
// caller measures again.

#include "app/importing/StoreFolder.h"

#include <QDialog>

#include <cstdint>
#include <filesystem>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace sundrel::app {

class TDiskDialog : public QDialog {
    Q_OBJECT

public:
    TDiskDialog(std::int64_t requiredBytes, const std::filesystem::path& folder,
                FreeSpaceQuery freeSpace, QWidget* parent = nullptr);

    // The folder as the field holds it.
    std::filesystem::path Folder() const;

    QGroupBox* Frame() const { return frame_; }
    QLineEdit* FolderEdit() const { return folder_; }
    QPushButton* BrowseButton() const { return browse_; }
    QLabel* AvailableLabel() const { return available_; }
    QPushButton* OKButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    void FolderChanged();
    void Browse();

    FreeSpaceQuery freeSpace_;
    QGroupBox* frame_;
    QLineEdit* folder_;
    QPushButton* browse_;
    QLabel* available_;
    QPushButton* ok_;
    QPushButton* cancel_;
};

} // namespace sundrel::app
