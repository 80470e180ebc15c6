// The desktop application: the main window, opening the document named on
// the command line.

#include "app/shell/MainForm.h"

#include <QApplication>
#include <QStringList>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(sundrel::app::kApplicationTitle);
    QApplication::setOrganizationName("Tolm");

    sundrel::app::TMainForm window;
    window.show();
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        window.OpenFromCommandLine(arguments.at(1));
    return application.exec();
}
