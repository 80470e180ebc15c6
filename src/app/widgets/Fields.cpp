#include "app/widgets/Fields.h"

#include "app/widgets/Accessibility.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QStringList>

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

} // namespace sundrel::app
