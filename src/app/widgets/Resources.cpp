#include "app/widgets/Resources.h"

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

} // namespace sundrel::app
