#include "app/genetics/ColumnBox.h"

namespace sundrel::app {

TColumnBox::TColumnBox(bool noneAllowed, QWidget* parent) : QSpinBox(parent), none_(noneAllowed)
{
    // Without "none", 0 is the lowest value and means "detected".
    setRange(none_ ? -1 : 0, 1024);
    setValue(minimum());
}

int TColumnBox::Column() const
{
    return value() < 0 || (value() == 0 && !none_) ? -1 : value();
}

QString TColumnBox::textFromValue(int value) const
{
    if (value < 0 || (value == 0 && !none_))
        return tr("detected");
    if (value == 0)
        return tr("none");
    return QString::number(value);
}

int TColumnBox::valueFromText(const QString& text) const
{
    if (text == tr("detected"))
        return minimum();
    if (text == tr("none") && none_)
        return 0;
    return text.toInt();
}

QValidator::State TColumnBox::validate(QString& text, int& pos) const
{
    for (const QString& word : {tr("detected"), none_ ? tr("none") : QString()})
        if (!word.isEmpty() && !text.isEmpty() && word.startsWith(text))
            return text == word ? QValidator::Acceptable : QValidator::Intermediate;
    return QSpinBox::validate(text, pos);
}

} // namespace sundrel::app
