#pragma once
// What every window needs of the settings (QSettings, organisation "Tolm",
// application kApplicationTitle): values read strictly, so that a missing or
// damaged value makes its group fall back to its defaults, and a window's
// place brought back onto a screen.

#include <QPoint>
#include <QSize>
#include <QString>

#include <optional>

class QSettings;
class QWidget;

namespace sundrel::app {

// The application title: names the settings and prefixes the captions.
inline constexpr const char* kApplicationTitle = "Sundrel";

// A value of a settings group, read strictly: absent or not of the type
// asked for gives nothing (the group then takes its defaults).
std::optional<int> ReadInt(QSettings& settings, const QString& key);
std::optional<float> ReadFloat(QSettings& settings, const QString& key);
std::optional<QString> ReadString(QSettings& settings, const QString& key);

// A window's place in the current group: "Left" then "Top". What was read
// before a missing or bad value is applied, brought onto a screen; true when
// both were read.
bool ReadWindowPosition(QSettings& settings, QWidget* window);
void WriteWindowPosition(QSettings& settings, const QWidget* window);
// The top-left corner nearest to `at` that puts a window of `size` inside the
// free area of a screen (as much of it as fits).
QPoint OnScreen(const QPoint& at, const QSize& size);

} // namespace sundrel::app
