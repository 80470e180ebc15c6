#include "app/widgets/Resources.h"

#include <QPainter>
#include <QPixmap>
#include <QtGlobal>

// Q_INIT_RESOURCE declares the registration function in the namespace it is
// used in, so it is called from the global namespace.
static void InitSundrelResources()
{
    Q_INIT_RESOURCE(sundrel);
}

namespace sundrel::app {

void InitResources()
{
    static const bool registered = (InitSundrelResources(), true);
    (void)registered;
}

QIcon ApplicationIcon()
{
    InitResources();
    QIcon icon;
    for (const int size : {16, 32, 64, 128})
        icon.addFile(QStringLiteral(":/icons/sundrel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon WithFaintDisabledLook(const QIcon& icon)
{
    QIcon result = icon;
    for (const QSize& size : icon.availableSizes()) {
        const QPixmap normal = icon.pixmap(size);
        QPixmap faint(normal.size());
        faint.fill(Qt::transparent);
        QPainter painter(&faint);
        painter.setOpacity(0.3);
        painter.drawPixmap(0, 0, normal);
        painter.end();
        for (const QIcon::State state : {QIcon::Off, QIcon::On})
            result.addPixmap(faint, QIcon::Disabled, state);
    }
    return result;
}

} // namespace sundrel::app
