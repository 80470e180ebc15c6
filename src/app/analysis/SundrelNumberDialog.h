#pragma once
// Asks for a number of sundrels above ten (up to 999).

#include <QDialog>

class QSpinBox;

namespace sundrel::app {

class TSundrelNumberDialog : public QDialog {
    Q_OBJECT

public:
    explicit TSundrelNumberDialog(QWidget* parent = nullptr);

    // Shows the dialog starting from `k`; the number chosen, or 0 when
    // cancelled.
    int Ask(int k);
    QSpinBox* NumberEdit() const { return number_; }

private:
    QSpinBox* number_;
};

} // namespace sundrel::app
