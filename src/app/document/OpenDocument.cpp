#include "app/document/OpenDocument.h"

#include "model/MMapFactory.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/SundrelDocument.h"

namespace sundrel::app {

namespace {

constexpr unsigned kEverything = ~0u;

std::array<std::int32_t, 5> VisibilityFlags(const std::array<bool, 5>& visibility)
{
    std::array<std::int32_t, 5> flags{};
    for (std::size_t layer = 0; layer < 5; ++layer)
        flags[layer] = visibility[layer] ? 1 : 0;
    return flags;
}

} // namespace

TOpenDocument::TOpenDocument(MMapFactory& factory, QObject* parent)
    : QObject(parent), factory_(factory), colourTable_(BuildColourTable(state_.colourTableBase))
{
}

TOpenDocument::~TOpenDocument()
{
    Release();
}

void TOpenDocument::AttachLayers(MonmonierLayer* layers)
{
    layers_ = layers;
}

void TOpenDocument::Release()
{
    if (!map_)
        return;
    factory_.DestroyMap(*map_);
    map_.reset();
}

// ------------------------------------------------------------- the document

void TOpenDocument::New(std::unique_ptr<MMap> map, geo::DocumentGeography geography)
{
    // The new map takes the styles in force.
    for (std::size_t layer = 0; layer < 5; ++layer) {
        const auto index = static_cast<std::size_t>(state_.layerColourIndex[layer]);
        map->layerColours[layer] =
            index < colourTable_.size() ? colourTable_[index] : kDefaultLayerColours[layer];
    }
    map->font = state_.font;
    map->originalPointSize = state_.originalPointSize;
    map->virtualPointSize = state_.virtualPointSize;
    map->delaunayLineWidth = state_.delaunayLineSize;
    map->voronoiLineWidth = state_.voronoiLineSize;
    Release();
    map_ = std::move(map);
    geography_ = std::move(geography);
    requested_ = map_->frameBounds;
    emit changed(kEverything);
}

void TOpenDocument::Open(std::unique_ptr<MMap> map, const DocumentHeader& header,
                         geo::DocumentGeography geography)
{
    Release();
    map_ = std::move(map);
    geography_ = std::move(geography);
    requested_ = map_->frameBounds;
    state_.originalPointSize = header.originalPointSize;
    state_.virtualPointSize = header.virtualPointSize;
    state_.delaunayLineSize = header.delaunayLineWidth;
    state_.voronoiLineSize = header.voronoiLineWidth;
    for (std::size_t layer = 0; layer < 5; ++layer)
        state_.layerColourIndex[layer] = NearestColour(colourTable_, map_->layerColours[layer]);
    state_.font = map_->font;
    SetActiveLayer(header.activeLayer);
    for (std::size_t layer = 0; layer < 5; ++layer)
        state_.visibility[layer] = header.visibility[layer] != 0;
    emit changed(kEverything);
}

void TOpenDocument::Close()
{
    Release();
    geography_ = {};
    emit changed(MapChange | GeographyChange);
}

void TOpenDocument::SetBackdrops(std::vector<geo::BackdropEntry> backdrops)
{
    if (!map_ || backdrops == geography_.backdrops)
        return;
    geography_.backdrops = std::move(backdrops);
    modified_ = true;
    emit changed(GeographyChange | ModifiedChange);
}

void TOpenDocument::Restore(std::unique_ptr<MMap> restored)
{
    if (!map_)
        return;
    factory_.DestroyMap(*map_);
    *map_ = std::move(*restored);
}

void TOpenDocument::SetName(const QString& name)
{
    name_ = name;
    emit changed(NameChange);
}

void TOpenDocument::SetModified(bool modified)
{
    modified_ = modified;
    emit changed(ModifiedChange);
}

DocumentHeader TOpenDocument::MapHeader() const
{
    return sundrel::BuildHeader(*map_, state_.activeLayer, VisibilityFlags(state_.visibility));
}

DocumentHeader TOpenDocument::Header() const
{
    if (!layers_)
        return MapHeader();
    // The header names map layers only: a result-layer target is none.
    const std::int32_t active = state_.activeLayer < kSundrelsTarget ? state_.activeLayer : -1;
    return BuildSundrelHeader(*map_, *layers_, active, VisibilityFlags(state_.visibility));
}

// ------------------------------------------------------- what the user sees

void TOpenDocument::SetDisplay(const DisplayState& state)
{
    state_ = state;
    colourTable_ = BuildColourTable(state_.colourTableBase);
    emit changed(kEverything);
}

bool TOpenDocument::LayerVisible(int target) const
{
    if (target < kSundrelsTarget)
        return target >= 0 && state_.visibility[static_cast<std::size_t>(target)];
    const auto active = layers_ ? layers_->activeLayer() : nullptr;
    if (!active)
        return false;
    return target == kSundrelsTarget ? active->visible : active->visible && active->labelsVisible;
}

TargetStyle TOpenDocument::ActiveStyle() const
{
    TargetStyle style;
    const int target = state_.activeLayer;
    if (!map_ || target < 0)
        return style;
    if (target >= kSundrelsTarget) {
        const auto active = layers_ ? layers_->activeLayer() : nullptr;
        if (!active)
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
    style.colour = true;
    style.colourValue = map_->layerColours[static_cast<std::size_t>(target)];
    switch (target) {
    case 0:
        style.pointSize = true;
        style.size = map_->originalPointSize;
        break;
    case 1:
        style.pointSize = true;
        style.size = map_->virtualPointSize;
        break;
    case 2:
        style.font = true;
        style.fontValue = map_->font;
        break;
    case 3:
        style.lineSize = true;
        style.size = map_->delaunayLineWidth;
        break;
    default:
        style.lineSize = true;
        style.size = map_->voronoiLineWidth;
        break;
    }
    return style;
}

void TOpenDocument::SetActiveLayer(int target)
{
    if (layers_ && target >= kSundrelsTarget && target <= kNumbersTarget) {
        const auto active = layers_->activeLayer();
        if (!active)
            target = -1;
        else if (target == kTitlesTarget && !active->isSingle())
            target = kNumbersTarget;
        else if (target == kNumbersTarget && active->isSingle())
            target = kTitlesTarget;
    } else if (target < -1 || target >= kSundrelsTarget) {
        target = 1;
    }
    state_.activeLayer = target;
    emit changed(ActiveLayerChange);
}

void TOpenDocument::SetLayerVisible(int target, bool visible)
{
    if (target >= 0 && target < kSundrelsTarget) {
        state_.visibility[static_cast<std::size_t>(target)] = visible;
    } else if (const auto active = layers_ ? layers_->activeLayer() : nullptr) {
        // Labels are drawn only with their sundrels.
        if (target == kSundrelsTarget) {
            active->visible = visible;
            if (!visible)
                active->labelsVisible = false;
        } else {
            active->labelsVisible = visible;
            if (visible)
                active->visible = true;
        }
    }
    emit changed(VisibilityChange);
}

void TOpenDocument::ShowAllLayers()
{
    if (layers_)
        layers_->showAll();
    state_.visibility.fill(true);
    emit changed(VisibilityChange);
}

void TOpenDocument::HideUnactiveLayers()
{
    if (layers_) {
        if (state_.activeLayer >= kSundrelsTarget)
            layers_->hideInactive();
        else
            layers_->hideAll();
    }
    for (std::size_t layer = 0; layer < 5; ++layer)
        state_.visibility[layer] = static_cast<int>(layer) == state_.activeLayer;
    emit changed(VisibilityChange);
}

void TOpenDocument::ShowResultLayer(std::int32_t index, bool visible, bool labels)
{
    const auto layer = layers_ ? layers_->layer(index) : nullptr;
    if (!layer)
        return;
    layer->visible = visible;
    layer->labelsVisible = labels;
    emit changed(VisibilityChange);
}

void TOpenDocument::ShowTrace(std::int32_t index, bool shown)
{
    const auto layer = layers_ ? layers_->layer(index) : nullptr;
    if (!layer)
        return;
    layer->setShowTrace(shown);
    emit changed(VisibilityChange);
}

void TOpenDocument::ShowAllResultLayers()
{
    if (layers_)
        layers_->showAll();
    emit changed(VisibilityChange);
}

void TOpenDocument::HideResultLayers(bool inactiveOnly)
{
    if (layers_) {
        if (inactiveOnly)
            layers_->hideInactive();
        else
            layers_->hideAll();
    }
    emit changed(VisibilityChange);
}

bool TOpenDocument::SetMapLayerColour(std::size_t layer, std::uint32_t colour)
{
    const int index = NearestColour(colourTable_, colour);
    if (map_->layerColours[layer] == colour && state_.layerColourIndex[layer] == index)
        return false;
    map_->layerColours[layer] = colour;
    state_.layerColourIndex[layer] = index;
    return true;
}

bool TOpenDocument::SetActiveColour(std::uint32_t colour)
{
    const int target = state_.activeLayer;
    bool changedColour = false;
    if (target < kSundrelsTarget) {
        if (!map_ || target < 0)
            return false;
        changedColour = SetMapLayerColour(static_cast<std::size_t>(target), colour);
    } else if (const auto active = layers_ ? layers_->activeLayer() : nullptr) {
        // The choice is also the style of new layers of its kind.
        LayerStyles& defaults = layers_->styles;
        std::uint32_t& present = target == kSundrelsTarget ? active->lineColor : active->textColor;
        changedColour = present != colour;
        if (changedColour) {
            present = colour;
            if (target == kSundrelsTarget)
                (active->isSingle() ? defaults.singleColor : defaults.multipleColor) = colour;
            else
                (active->isSingle() ? defaults.titleColor : defaults.valueColor) = colour;
        }
    }
    if (changedColour)
        emit changed(StyleChange);
    return changedColour;
}

bool TOpenDocument::SetMapLayerSize(float size)
{
    float* inMap = nullptr;
    float* inForce = nullptr;
    switch (state_.activeLayer) {
    case 0:
        inMap = &map_->originalPointSize;
        inForce = &state_.originalPointSize;
        break;
    case 1:
        inMap = &map_->virtualPointSize;
        inForce = &state_.virtualPointSize;
        break;
    case 3:
        inMap = &map_->delaunayLineWidth;
        inForce = &state_.delaunayLineSize;
        break;
    case 4:
        inMap = &map_->voronoiLineWidth;
        inForce = &state_.voronoiLineSize;
        break;
    default:
        return false;
    }
    if (*inMap == size && *inForce == size)
        return false;
    *inMap = size;
    *inForce = size;
    return true;
}

bool TOpenDocument::SetActiveSize(float size)
{
    const int target = state_.activeLayer;
    bool changedSize = false;
    if (target < kSundrelsTarget) {
        changedSize = map_ && SetMapLayerSize(size);
    } else if (const auto active = layers_ ? layers_->activeLayer() : nullptr;
               active && target == kSundrelsTarget && active->lineSize != size) {
        active->lineSize = size;
        (active->isSingle() ? layers_->styles.singleSize : layers_->styles.multipleSize) = size;
        changedSize = true;
    }
    if (changedSize)
        emit changed(StyleChange);
    return changedSize;
}

bool TOpenDocument::SetActiveFont(const MapFont& font)
{
    const int target = state_.activeLayer;
    if (target < kSundrelsTarget) {
        if (!map_ || target != 2 || (map_->font == font && state_.font == font))
            return false;
        // The view's font cache makes the new font on the next drawing.
        map_->font = font;
        state_.font = font;
    } else {
        const auto active = layers_ ? layers_->activeLayer() : nullptr;
        const LayerFont chosen{font.name, font.size, font.style};
        if (target == kSundrelsTarget || !active || active->font == chosen)
            return false;
        active->font = chosen;
        (active->isSingle() ? layers_->styles.titleFont : layers_->styles.valueFont) = chosen;
    }
    emit changed(StyleChange);
    return true;
}

void TOpenDocument::SetColourTableBase(int base)
{
    if (base < 2 || base > 6 || base == state_.colourTableBase)
        return;
    const std::vector<std::uint32_t> previous = colourTable_;
    colourTable_ = BuildColourTable(base);
    state_.colourTableBase = base;
    for (std::size_t layer = 0; layer < 5; ++layer) {
        // Without a map the index names the colour.
        const auto old = static_cast<std::size_t>(state_.layerColourIndex[layer]);
        const std::uint32_t colour = map_ ? map_->layerColours[layer]
                                          : old < previous.size() ? previous[old] : 0;
        const int index = NearestColour(colourTable_, colour);
        state_.layerColourIndex[layer] = index;
        if (map_)
            map_->layerColours[layer] = colourTable_[static_cast<std::size_t>(index)];
    }
    emit changed(ColourTableChange | (map_ ? StyleChange : 0u));
}

void TOpenDocument::SetResultStyles(const LayerStyles& styles)
{
    if (layers_)
        layers_->styles = styles;
}

void TOpenDocument::SetRequestedView(const MBounds& view)
{
    requested_ = view;
    emit changed(ViewChange);
}

void TOpenDocument::ResetView()
{
    if (map_)
        SetRequestedView(map_->frameBounds);
}

void TOpenDocument::ActivateResultLayer(std::int32_t index)
{
    if (layers_)
        layers_->activate(index);
}

void TOpenDocument::LayersChanged()
{
    if (state_.activeLayer >= kSundrelsTarget)
        SetActiveLayer(state_.activeLayer);
    emit changed(LayersChange);
}

} // namespace sundrel::app
