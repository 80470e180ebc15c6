#pragma once
// A status bar panel for a text of any length (a coordinate system's name):
// it takes the room the bar leaves it and shows what does not fit as an
// ellipsis; readers and the tooltip get the whole text.

#include <QLabel>
#include <QString>

class QResizeEvent;

namespace sundrel::app {

class TElidedLabel : public QLabel {
    Q_OBJECT

public:
    // Readers know the panel as `caption`.
    explicit TElidedLabel(const QString& caption, QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return full_; }
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Elide();

    QString full_;
};

} // namespace sundrel::app
