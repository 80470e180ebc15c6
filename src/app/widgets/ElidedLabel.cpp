#include "app/widgets/ElidedLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>

namespace sundrel::app {

TElidedLabel::TElidedLabel(const QString& caption, QWidget* parent) : QLabel(parent)
{
    setAccessibleDescription(caption);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void TElidedLabel::SetFullText(const QString& text)
{
    full_ = text;
    setAccessibleName(text);
    setToolTip(text);
    Elide();
    updateGeometry();
}

QSize TElidedLabel::minimumSizeHint() const
{
    return {fontMetrics().horizontalAdvance(QStringLiteral("...")), QLabel::minimumSizeHint().height()};
}

void TElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Elide();
}

void TElidedLabel::Elide()
{
    const int room = contentsRect().width();
    setText(fontMetrics().elidedText(full_, Qt::ElideRight, room > 0 ? room : fontMetrics().horizontalAdvance(full_)));
}

} // namespace sundrel::app
