#pragma once
// "About Sundrel": the icon, the name and version, what the program does,
// where it lives, and the licences of the libraries it is built on.

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;

namespace sundrel::app {

class TSundrelAboutForm : public QDialog {
    Q_OBJECT

public:
    explicit TSundrelAboutForm(QWidget* parent = nullptr);

    // "Version " and QCoreApplication::applicationVersion().
    QString VersionText() const;
    // The licences, as plain text.
    QString LicenceText() const;
    QPushButton* OkButton() const { return okButton_; }

private:
    QLabel* version_ = nullptr;
    QTextBrowser* licences_ = nullptr;
    QPushButton* okButton_ = nullptr;
};

} // namespace sundrel::app
