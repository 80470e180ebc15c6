#include "app/widgets/Fields.h"

#include "app/widgets/Accessibility.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QSpinBox>
#include <QStringList>
#include <QTimer>

namespace sundrel::app {

QLabel* FieldLabel(const QString& caption, QWidget* control)
{
    auto* label = new QLabel(caption);
    label->setBuddy(control);
    control->setAccessibleName(QString(caption).remove('&'));
    return label;
}

QLabel* AddField(QGridLayout* grid, int row, const QString& caption, QWidget* control, int column)
{
    QLabel* label = FieldLabel(caption, control);
    grid->addWidget(label, row, column);
    grid->addWidget(control, row, column + 1);
    return label;
}

QComboBox* AddUnitField(QGridLayout* grid, int row, const QString& caption, QLineEdit* value,
                        const QStringList& units)
{
    AddField(grid, row, caption, value);
    auto* unit = new TNamedComboBox(caption + QObject::tr(" unit"));
    unit->addItems(units);
    grid->addWidget(unit, row, 2);
    return unit;
}

void TakeTypedValuesAfterPause(const QList<QSpinBox*>& spins, std::function<void()> typing,
                               std::function<void()> taken)
{
    if (spins.isEmpty())
        return;
    // Long enough not to take "1" on the way to "10".
    constexpr int kPauseMs = 600;
    auto* pause = new QTimer(spins.front());
    pause->setSingleShot(true);
    pause->setInterval(kPauseMs);
    QObject::connect(pause, &QTimer::timeout, pause, [spins, taken] {
        for (QSpinBox* spin : spins)
            spin->interpretText();
        if (taken)
            taken();
    });
    // A spin box without keyboard tracking tells nothing while typed in:
    // its editor does.
    for (QSpinBox* spin : spins)
        if (auto* editor = spin->findChild<QLineEdit*>())
            QObject::connect(editor, &QLineEdit::textEdited, pause, [pause, typing] {
                if (typing)
                    typing();
                pause->start();
            });
}

} // namespace sundrel::app
