#pragma once
// Fonts are rendered by Qt, which needs an application object. Programs
// without windows (the command line, the tests) get a headless one here.

namespace sundrel::render {

// Creates a Qt application on the offscreen platform unless one exists.
// Call from the main thread before fonts are made.
void EnsureFontSupport();

// True when at least one font family is installed.
bool FontsAvailable();

} // namespace sundrel::render
