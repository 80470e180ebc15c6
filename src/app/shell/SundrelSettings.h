#pragma once
// The result layers' default styles in the window's settings group: each
// value read alone, falling back to its default when absent or unusable.

#include "monmonier/MonmonierLayer.h"

class QSettings;

namespace sundrel::app {

// Reads the "Sundrel..." style values of the current group over `into`.
void ReadLayerStyles(QSettings& settings, LayerStyles& into);
void WriteLayerStyles(QSettings& settings, const LayerStyles& values);

} // namespace sundrel::app
