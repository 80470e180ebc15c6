#pragma once
// The colour of a label's text: green while work goes on, red for a
// failure, the window's own for a result.

#include <QColor>
#include <QLabel>
#include <QPalette>

namespace sundrel::app {

inline const QColor kWorkingColour(0, 128, 0);
inline const QColor kFailureColour(255, 0, 0);

inline void SetLabelColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace sundrel::app
