// Rendering tests run headless: Mesa's software renderer (so that pixels do
// not depend on a graphics card), Qt on its offscreen platform for fonts,
// and settings kept away from the user's.

#include "render/FontSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv)
{
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const auto config = std::filesystem::temp_directory_path() / "sundrel-render-tests-config";
    std::filesystem::create_directories(config);
    setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    sundrel::render::EnsureFontSupport();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
