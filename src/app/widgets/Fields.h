#pragma once
// The fields of dialogs: every control with the caption shown beside it, so
// that screen readers and GUI test tools reach it under that caption, and
// its mnemonic moves the focus there.

#include <QStringList>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
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

} // namespace sundrel::app
