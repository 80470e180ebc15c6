// The window tests need a QApplication on a display (Xvfb under ctest).

#include "app/shell/MainForm.h"

#include <QApplication>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <link.h>

#include <cstring>

namespace {

// Mesa unloads its driver when Qt closes the display at exit, and the leak
// checker then cannot name the caches the driver keeps, so that its
// suppression for them does not apply. Every loaded DRI driver is pinned.
void PinDriModules()
{
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) {
            if (info->dlpi_name && std::strstr(info->dlpi_name, "_dri.so"))
                dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(sundrel::app::kApplicationTitle);
    QApplication::setOrganizationName("Tolm");
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // No thread of Qt's pool may be winding down while the leak checker
    // stops the threads at exit.
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    PinDriModules();
    return result;
}
