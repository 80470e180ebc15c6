#pragma once
// The pictures compiled into the application (data/sundrel.qrc): the icon at
// several sizes and the start-up picture (":/startup.png").

#include <QIcon>

namespace sundrel::app {

// Registers the compiled-in pictures. The windows live in a static library,
// whose resources are not registered by themselves; safe to call often.
void InitResources();

// The application's icon, every size of it that is compiled in.
QIcon ApplicationIcon();

// `icon` with a disabled look of its own at each of its sizes: its pictures
// faint. The style's own disabled look hardly differs from the normal one for
// dark line pictures, so buttons without a map looked usable.
QIcon WithFaintDisabledLook(const QIcon& icon);

} // namespace sundrel::app
