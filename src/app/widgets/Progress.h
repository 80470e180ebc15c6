#pragma once
// How dialogs show work under way: status lines whose colour says how it
// goes and that screen readers read as they change, a progress bar, and the
// row of buttons that ends or cancels the work.

#include <QColor>
#include <QString>

#include <initializer_list>

class QHBoxLayout;
class QLabel;
class QProgressBar;
class QPushButton;

namespace sundrel::app {

// Green while work goes on, red for a failure; a result takes the window's
// own colour.
inline const QColor kWorkingColour(0, 128, 0);
inline const QColor kFailureColour(255, 0, 0);

void SetLabelColour(QLabel* label, const QColor& colour);
// A status line's text, in `colour`.
void ShowStatus(QLabel* label, const QString& text, const QColor& colour);

// A wrapping status line that readers know as `caption` and read as it
// changes, with room for `lines` lines (none asked: as its text needs).
QLabel* NewStatusLine(const QString& caption, int lines = 0);

// A panel of a main window's status bar, `width` pixels wide, that readers
// know as `caption` and read as it changes.
QLabel* NewStatusPanel(const QString& text, int width, const QString& caption);

// A progress bar from 0 to 100 without text, read as "Progress".
QProgressBar* NewProgressBar();

// The buttons of a dialog in a row: to the right, or centred.
QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons, bool centred = false);

} // namespace sundrel::app
