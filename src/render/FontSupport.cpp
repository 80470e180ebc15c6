#include "render/FontSupport.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <cstdlib>

namespace sundrel::render {

namespace {

// Qt's platform plugin warns about a missing runtime folder, which does not
// matter for drawing glyphs; everything else goes through.
QtMessageHandler previousHandler = nullptr;

void FilterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.startsWith(QStringLiteral("QStandardPaths:")))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

} // namespace

void EnsureFontSupport()
{
    if (QCoreApplication::instance())
        return;
    // No display is needed to render glyphs into images.
    if (!std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(FilterMessages);
    static int argc = 1;
    static char name[] = "sundrel";
    static char* argv[] = {name, nullptr};
    // Kept for the whole run: destroying it among the static destructors
    // would race Qt's own.
    static QGuiApplication* application = new QGuiApplication(argc, argv);
    (void)application;
}

bool FontsAvailable()
{
    // Fonts are not installed while the program runs: asked once.
    static const bool available = !QFontDatabase::families().isEmpty();
    return available;
}

} // namespace sundrel::render
