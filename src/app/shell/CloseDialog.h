#pragma once
// The close query's dialog: the document has been modified; save it, drop
// the changes, or keep everything as it is.

#include <QDialog>

class QPushButton;

namespace sundrel::app {

class TCloseDialog : public QDialog {
    Q_OBJECT

public:
    enum class Answer { Yes, No, Cancel };

    explicit TCloseDialog(QWidget* parent = nullptr);

    // Shows the dialog modally; Escape and closing the window answer Cancel.
    Answer Ask();

    QPushButton* YesButton() const { return yes_; }
    QPushButton* NoButton() const { return no_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    QPushButton* yes_;
    QPushButton* no_;
    QPushButton* cancel_;
    Answer answer_ = Answer::Cancel;
};

} // namespace sundrel::app
