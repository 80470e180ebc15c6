// The desktop application: the start-up picture, then the main window, which
// opens the document named on the command line. With a document named, or
// with --no-splash, the window comes at once.

#include "app/widgets/Resources.h"
#include "app/shell/StartupImage.h"
#include "app/shell/SundrelForm.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(sundrel::app::kApplicationTitle);
    QApplication::setOrganizationName("Tolm");
    QApplication::setApplicationVersion(QStringLiteral(SUNDREL_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("sundrel"));
    sundrel::app::InitResources();
    QApplication::setWindowIcon(sundrel::app::ApplicationIcon());

    QString document;
    bool splash = true;
    const QStringList arguments = QApplication::arguments();
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == "--no-splash")
            splash = false;
        else if (document.isEmpty())
            document = arguments[i];
    }

    sundrel::app::TSundrelForm window;
    sundrel::app::TStartupImage startup;
    const auto begin = [&] {
        window.ShowAsSaved();
        window.OpenFromCommandLine(document);
    };
    if (splash && document.isEmpty()) {
        QObject::connect(&startup, &sundrel::app::TStartupImage::finished, &window, begin);
        startup.Start();
    } else {
        begin();
    }
    return application.exec();
}
