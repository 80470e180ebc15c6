#pragma once
// What screen readers and GUI test tools see of controls whose text changes.

#include <QComboBox>
#include <QLabel>

namespace sundrel::app {

// A label whose text changes (a status line, a result, a message): all that
// an accessibility client reads of a label is its name, so the name stays its
// text and `caption`, what the label is, becomes its description.
void ShowTextToReaders(QLabel* label, const QString& caption);

// A combo box read by the caption it is given rather than by the item it
// shows (on Linux a plain combo box is named by its current item); its value
// is the current item, and it opens its list on "Press" or "ShowMenu".
class TNamedComboBox : public QComboBox {
    Q_OBJECT
public:
    TNamedComboBox(const QString& caption, QWidget* parent = nullptr);
};

} // namespace sundrel::app
