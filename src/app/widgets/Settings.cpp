#include "app/widgets/Settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace sundrel::app {

QPoint OnScreen(const QPoint& at, const QSize& size)
{
    // The screen nearest to the place asked for, and the window moved into
    // its free area as far as its size allows.
    const QScreen* nearest = nullptr;
    long best = 0;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect free = screen->availableGeometry();
        const long dx = at.x() < free.left() ? free.left() - at.x()
                        : at.x() > free.right() ? at.x() - free.right() : 0;
        const long dy = at.y() < free.top() ? free.top() - at.y()
                        : at.y() > free.bottom() ? at.y() - free.bottom() : 0;
        if (!nearest || dx + dy < best) {
            nearest = screen;
            best = dx + dy;
        }
    }
    if (!nearest)
        return at;
    const QRect free = nearest->availableGeometry();
    const int x = std::clamp(at.x(), free.left(), std::max(free.left(), free.right() + 1 - size.width()));
    const int y = std::clamp(at.y(), free.top(), std::max(free.top(), free.bottom() + 1 - size.height()));
    return QPoint(x, y);
}

bool ReadWindowPosition(QSettings& settings, QWidget* window)
{
    const auto left = ReadInt(settings, "Left");
    if (!left)
        return false;
    QPoint at(*left, window->pos().y());
    const auto top = ReadInt(settings, "Top");
    if (top)
        at.setY(*top);
    // A place from another screen layout, or a damaged value, would open the
    // window (a modal dialog) where nobody sees it.
    window->move(OnScreen(at, window->sizeHint().expandedTo(window->minimumSize())));
    return top.has_value();
}

void WriteWindowPosition(QSettings& settings, const QWidget* window)
{
    settings.setValue("Left", window->pos().x());
    settings.setValue("Top", window->pos().y());
}

namespace {

// The value at `key` as text read by `convert` (which says whether it could).
template <typename T, typename Convert>
std::optional<T> ReadNumber(QSettings& settings, const QString& key, Convert convert)
{
    const QVariant v = settings.value(key);
    if (!v.isValid())
        return std::nullopt;
    bool ok = false;
    const T value = convert(v.toString().trimmed(), &ok);
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<int> ReadInt(QSettings& settings, const QString& key)
{
    return ReadNumber<int>(settings, key, [](const QString& text, bool* ok) { return text.toInt(ok); });
}

std::optional<float> ReadFloat(QSettings& settings, const QString& key)
{
    return ReadNumber<float>(settings, key, [](const QString& text, bool* ok) {
        const float value = text.toFloat(ok);
        *ok = *ok && std::isfinite(value);
        return value;
    });
}

std::optional<QString> ReadString(QSettings& settings, const QString& key)
{
    const QVariant v = settings.value(key);
    if (!v.isValid() || !v.canConvert<QString>())
        return std::nullopt;
    return v.toString();
}

} // namespace sundrel::app
