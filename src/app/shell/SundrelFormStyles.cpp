// The property buttons on the result layers' style targets: a choice made
// for the active layer also becomes the default of new layers of its kind
// (single run or significance test), which the settings remember.

#include "app/shell/SundrelForm.h"

namespace sundrel::app {

TMainForm::TargetStyle TSundrelForm::ActiveStyle() const
{
    const int target = ActiveLayer();
    if (target < kSundrelsTarget)
        return TMainForm::ActiveStyle();
    TargetStyle style;
    const auto active = layers_->activeLayer();
    if (!Map() || !active)
        return style;
    style.colour = true;
    if (target == kSundrelsTarget) {
        style.colourValue = active->lineColor;
        style.lineSize = true;
        style.size = active->lineSize;
    } else {
        style.colourValue = active->textColor;
        style.font = true;
        style.fontValue = MapFont{active->font.name, active->font.size, active->font.style};
    }
    return style;
}

bool TSundrelForm::ApplyColour(std::uint32_t colour)
{
    const int target = ActiveLayer();
    if (target < kSundrelsTarget)
        return TMainForm::ApplyColour(colour);
    const auto active = layers_->activeLayer();
    if (!active)
        return false;
    LayerStyles& defaults = layers_->styles;
    if (target == kSundrelsTarget) {
        if (active->lineColor == colour)
            return false;
        active->lineColor = colour;
        (active->isSingle() ? defaults.singleColor : defaults.multipleColor) = colour;
    } else {
        if (active->textColor == colour)
            return false;
        active->textColor = colour;
        (active->isSingle() ? defaults.titleColor : defaults.valueColor) = colour;
    }
    return true;
}

bool TSundrelForm::ApplySize(float size)
{
    const int target = ActiveLayer();
    if (target < kSundrelsTarget)
        return TMainForm::ApplySize(size);
    const auto active = layers_->activeLayer();
    if (target != kSundrelsTarget || !active || active->lineSize == size)
        return false;
    active->lineSize = size;
    (active->isSingle() ? layers_->styles.singleSize : layers_->styles.multipleSize) = size;
    return true;
}

bool TSundrelForm::ApplyFont(const MapFont& font)
{
    const int target = ActiveLayer();
    if (target < kSundrelsTarget)
        return TMainForm::ApplyFont(font);
    const auto active = layers_->activeLayer();
    const LayerFont chosen{font.name, font.size, font.style};
    if (target == kSundrelsTarget || !active || active->font == chosen)
        return false;
    // The view's font cache makes the layer's font on the next drawing.
    active->font = chosen;
    (active->isSingle() ? layers_->styles.titleFont : layers_->styles.valueFont) = chosen;
    return true;
}

} // namespace sundrel::app
