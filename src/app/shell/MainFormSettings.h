#pragma once
// The map editor window's settings (group "MapEditor"): a snapshot read at
// start in five groups, each falling back to its own defaults when one of its
// values is missing or unreadable, and written all together when the window
// closes.

#include "app/document/DisplayState.h"
#include "app/widgets/Settings.h"

#include <QRect>
#include <QString>

#include <optional>

class QSettings;
class QWidget;

namespace sundrel::app {

// The display state in force, where the window was, and the folders of its
// file dialogs.
struct MainFormSettings : DisplayState {
    // Bounds, state and folders. Values read before a failure in this group
    // stay.
    std::optional<QRect> bounds; // the normal (not maximized) geometry
    bool maximized = false;
    QString openDir;    // the coordinate file dialog's folder
    QString openMapDir; // the document dialog's folder
};

// Gives `window` the size of `bounds` and, when it lies on a screen, their
// place (a window placed off every screen comes back where it can be seen).
void PlaceWindow(QWidget& window, const QRect& bounds);
// The normal (not maximized) geometry of `window` as the settings keep it;
// `otherwise` while it has none.
std::optional<QRect> WindowBounds(const QWidget& window, const std::optional<QRect>& otherwise);

// Reads the group "MapEditor" of `settings` (the caller's group must be the
// root) over `into`, group by group.
void ReadMainFormSettings(QSettings& settings, MainFormSettings& into);
// Writes every value into the group "MapEditor".
void WriteMainFormSettings(QSettings& settings, const MainFormSettings& values);

} // namespace sundrel::app
