#pragma once
// A column number of a genotype table: the reader's own choice ("detected")
// below the first column and, where a column may be left out (the labels),
// "none" at 0. Value() gives what the reader takes: -1, 0 or the column.

#include <QSpinBox>

namespace sundrel::app {

class TColumnBox : public QSpinBox {
    Q_OBJECT

public:
    explicit TColumnBox(bool noneAllowed, QWidget* parent = nullptr);
    // The column for the reader: -1 detected, 0 none, else 1-based.
    int Column() const;

protected:
    QString textFromValue(int value) const override;
    int valueFromText(const QString& text) const override;
    QValidator::State validate(QString& text, int& pos) const override;

private:
    const bool none_;
};

} // namespace sundrel::app
