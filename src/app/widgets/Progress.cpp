#include "app/widgets/Progress.h"

#include "app/widgets/Accessibility.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QObject>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>

namespace sundrel::app {

void SetLabelColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

void ShowStatus(QLabel* label, const QString& text, const QColor& colour)
{
    SetLabelColour(label, colour);
    label->setText(text);
}

QLabel* NewStatusLine(const QString& caption, int lines)
{
    auto* label = new QLabel;
    label->setWordWrap(true);
    ShowTextToReaders(label, caption);
    // Two lines or more keep a little room below, so that a wrapped text
    // does not make the dialog grow.
    const int height = label->fontMetrics().height();
    if (lines == 1)
        label->setMinimumHeight(height);
    else if (lines > 1)
        label->setMinimumHeight(height * lines + 4);
    return label;
}

QLabel* NewStatusPanel(const QString& text, int width, const QString& caption)
{
    auto* label = new QLabel(text);
    label->setFixedWidth(width);
    ShowTextToReaders(label, caption);
    return label;
}

QProgressBar* NewProgressBar()
{
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setTextVisible(false);
    bar->setAccessibleName(QObject::tr("Progress"));
    return bar;
}

QHBoxLayout* ButtonRow(std::initializer_list<QPushButton*> buttons, bool centred)
{
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* button : buttons)
        row->addWidget(button);
    if (centred)
        row->addStretch();
    return row;
}

} // namespace sundrel::app
