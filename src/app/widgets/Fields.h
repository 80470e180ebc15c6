#pragma once
// The fields of dialogs: every control with the caption shown beside it, so
// that screen readers and GUI test tools reach it under that caption, and
// its mnemonic moves the focus there.

#include <QList>
#include <QStringList>

#include <functional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QSpinBox;
class QWidget;

namespace sundrel::app {

// The caption of `control`: a label whose buddy is the control, and the
// control named by the caption.
QLabel* FieldLabel(const QString& caption, QWidget* control);

// The caption in `column` of row `row` of `grid`, the control beside it.
QLabel* AddField(QGridLayout* grid, int row, const QString& caption, QWidget* control,
                 int column = 0);

// A size: its caption, the value's field and a box of `units` read as
// "<caption> unit", in the first three columns of row `row` of `grid`.
QComboBox* AddUnitField(QGridLayout* grid, int row, const QString& caption, QLineEdit* value,
                        const QStringList& units);

// Spin boxes without keyboard tracking whose typed text is taken as their
// value after a short pause in typing, as Enter or leaving the field would:
// `typing` runs at every change of a text, `taken` once the values of the
// pause were taken (after the boxes' own valueChanged).
void TakeTypedValuesAfterPause(const QList<QSpinBox*>& spins, std::function<void()> typing,
                               std::function<void()> taken);

} // namespace sundrel::app
