#include "app/shell/StartupImage.h"

#include "app/widgets/Resources.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QScreen>

namespace sundrel::app {

namespace {

// The picture's size; also the window's when the picture is missing.
constexpr QSize kSize(480, 300);

} // namespace

TStartupImage::TStartupImage(QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    InitResources();
    picture_.load(QStringLiteral(":/startup.png"));
    setAccessibleName(tr("Sundrel start-up image"));
    setWindowTitle(QStringLiteral("Sundrel"));
    setFixedSize(picture_.isNull() ? kSize : picture_.deviceIndependentSize().toSize());
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &TStartupImage::Finish);
}

void TStartupImage::Start()
{
    if (finished_ || isVisible())
        return;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    // Key presses usually go to another window (this one rarely has the
    // focus), so every event of the application is watched while shown.
    qApp->installEventFilter(this);
    show();
    raise();
    timer_.start(delayMs_);
}

void TStartupImage::Finish()
{
    if (finished_)
        return;
    finished_ = true;
    timer_.stop();
    qApp->removeEventFilter(this);
    hide();
    emit finished();
}

bool TStartupImage::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress:
        // The event still goes where it was aimed: the press that dismisses
        // the picture is not lost.
        Finish();
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void TStartupImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!picture_.isNull()) {
        painter.drawPixmap(rect(), picture_);
        return;
    }
    painter.fillRect(rect(), QColor(0xfd, 0xfa, 0xf2));
    QFont font = painter.font();
    font.setPixelSize(48);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x1f, 0x4e, 0x79));
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Sundrel"));
}

} // namespace sundrel::app
