#pragma once
// The open document as every window sees it: its map and its result layers,
// its name and whether it is modified, and all that the user sees of it —
// each layer's colour, size and font, the colour table, which layers are
// visible, the active layer (or style target), the view the user asked for,
// and the styles new result layers take. This object is the only code that
// changes these, in the map and the result layers too (their fields carry
// them into documents); the view, the menus, the header writer and the
// settings read them here and follow changed(). It also holds what travels
// beside the document: its coordinate system and its backdrops, which the
// savers write as its sidecars.

#include "app/document/DisplayState.h"
#include "geo/Sidecar.h"
#include "model/MapDocument.h"

#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace sundrel {
class MMapFactory;
class MonmonierLayer;
struct LayerStyles;
} // namespace sundrel

namespace sundrel::app {

class TOpenDocument : public QObject {
    Q_OBJECT

public:
    // The style targets after the five map layers: the active result layer's
    // sundrels, its titles and its numbers.
    static constexpr int kSundrelsTarget = 5;
    static constexpr int kTitlesTarget = 6;
    static constexpr int kNumbersTarget = 7;

    // What changed(), a combination of these, says changed.
    enum Change : unsigned {
        MapChange = 1,         // a map came or went
        StyleChange = 2,       // a colour, size or font
        ColourTableChange = 4, // the colour table (and so colours)
        VisibilityChange = 8,  // which layers, result layers included, are shown
        ActiveLayerChange = 16,
        LayersChange = 32,     // the result layers (added, removed, renamed...)
        ViewChange = 64,       // the view asked for
        ModifiedChange = 128,
        NameChange = 256,
        GeographyChange = 512, // the coordinate system or the backdrops
    };

    explicit TOpenDocument(MMapFactory& factory, QObject* parent = nullptr);
    ~TOpenDocument() override;

    // The result layers of a sundrel document (the sundrel window's); none
    // for a triangulation window.
    void AttachLayers(MonmonierLayer* layers);
    MonmonierLayer* Layers() const { return layers_; }

    // ---------------------------------------------------------- the document
    const MMap* Map() const { return map_.get(); }
    // The map whose virtual points and highlight the editor changes.
    MMap* EditableMap() { return map_.get(); }
    // A new map, which takes the styles in force, with its coordinate system
    // (none: an unknown plane system); the open one goes.
    void New(std::unique_ptr<MMap> map, geo::DocumentGeography geography = {});
    // A map read from a document, which brings its styles: its colours,
    // font, and its header's sizes, active layer and visibility; and its
    // sidecars as read. The open one goes.
    void Open(std::unique_ptr<MMap> map, const DocumentHeader& header,
              geo::DocumentGeography geography = {});
    // The map goes, with its geography; the styles in force stay for the
    // next one.
    void Close();
    // The map as it was before the first edit, taken back in place (the same
    // object: what points into it stays valid).
    void Restore(std::unique_ptr<MMap> restored);
    const QString& Name() const { return name_; }
    void SetName(const QString& name);
    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    // The header of the map alone, and of the document as saved (a sundrel
    // document's names map layers only).
    DocumentHeader MapHeader() const;
    DocumentHeader Header() const;
    // What the savers write beside the document.
    const geo::DocumentGeography& Geography() const { return geography_; }
    // A new backdrop list (drawing order, the first lowest): the document is
    // modified, since its sidecar changes.
    void SetBackdrops(std::vector<geo::BackdropEntry> backdrops);

    // ---------------------------------------------------- what the user sees
    // The styles in force, for the settings (the start's are set before any
    // map is open).
    const DisplayState& Display() const { return state_; }
    void SetDisplay(const DisplayState& state);
    const std::vector<std::uint32_t>& ColourTable() const { return colourTable_; }
    int ColourTableBase() const { return state_.colourTableBase; }
    int ActiveLayer() const { return state_.activeLayer; }
    // Whether a layer or a result-layer target is shown.
    bool LayerVisible(int target) const;
    // What the property buttons show and allow for the active target.
    TargetStyle ActiveStyle() const;
    const MBounds& RequestedView() const { return requested_; }

    // The active layer or target: a result-layer target follows the active
    // result layer (none without one, titles and numbers by its kind).
    void SetActiveLayer(int target);
    // A result-layer target shows or hides the active result layer (its
    // labels only with its sundrels).
    void SetLayerVisible(int target, bool visible);
    // Every layer shown; or, with a result-layer target, all but the active
    // result layer hidden, else all result layers, and the map layers but the
    // active one.
    void ShowAllLayers();
    void HideUnactiveLayers();
    // The result layers' own visibility commands.
    void ShowResultLayer(std::int32_t index, bool visible, bool labels);
    void ShowTrace(std::int32_t index, bool shown);
    void ShowAllResultLayers();
    void HideResultLayers(bool inactiveOnly);
    // Give the active target a colour, a size (point or line, whichever it
    // has) or a font: true when that changed it. A result-layer target's
    // choice also becomes the style of new layers of its kind.
    bool SetActiveColour(std::uint32_t colour);
    bool SetActiveSize(float size);
    bool SetActiveFont(const MapFont& font);
    // A colour table of base^3 colours: every map layer takes the nearest.
    void SetColourTableBase(int base);
    // The styles new result layers take.
    void SetResultStyles(const LayerStyles& styles);
    void SetRequestedView(const MBounds& view);
    // The requested view becomes the frame.
    void ResetView();
    // The result layer the result-layer targets stand for (LayersChanged
    // follows).
    void ActivateResultLayer(std::int32_t index);
    // The result layers changed (added, read, removed, renamed, activated):
    // a result-layer target follows the active layer again.
    void LayersChanged();

signals:
    void changed(unsigned what);

private:
    void Release();
    bool SetMapLayerColour(std::size_t layer, std::uint32_t colour);
    // A float the map and the state both hold, of the active map layer.
    bool SetMapLayerSize(float size);

    MMapFactory& factory_;
    MonmonierLayer* layers_ = nullptr;
    std::unique_ptr<MMap> map_;
    QString name_;
    bool modified_ = false;
    DisplayState state_;
    std::vector<std::uint32_t> colourTable_;
    MBounds requested_;
    geo::DocumentGeography geography_;
};

} // namespace sundrel::app
