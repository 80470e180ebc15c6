#pragma once
// The result layers' menus: the "Sundrels" menu (a new analysis, the
// visibility of all layers, their removal, the status window's mode, and an
// entry per layer, in drawing order, with the layer's own commands), and the
// three style targets of the active layer — its sundrels, titles and numbers
// — with their buttons, their items in the Layers menu and the view's pop-up
// menu, and their lists of layers.
//
// The entries are built anew whenever the layer list changes, and each one
// finds its layer by serial when clicked, so that an entry never acts on a
// layer that took another's index.

#include <QList>
#include <QObject>

#include <array>
#include <cstdint>
#include <functional>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

namespace sundrel {
class MonmonierLayer;
}

namespace sundrel::app {

class TLayerControls;
class TMonmonierSetup;
class TOpenDocument;
class TReportForm;
class TSundrelMonmonierDialog;
class TSundrelSelection;

class TResultLayerMenus : public QObject {
    Q_OBJECT

public:
    // The windows a layer's commands open.
    struct Windows {
        TMonmonierSetup* setup = nullptr;
        TReportForm* report = nullptr;
        TSundrelSelection* selection = nullptr;
        TSundrelMonmonierDialog* status = nullptr;
    };

    // The document's result layers must be attached.
    TResultLayerMenus(TOpenDocument& document, TLayerControls& layerControls, Windows windows,
                      QWidget* window);

    // "Sundrels" > "New...".
    std::function<void()> NewAnalysis;
    // "Sundrels" > "New from genotypes...".
    std::function<void()> NewFromGenotypes;

    QMenu* SundrelsMenu() const { return menu_; }
    // Where a target's per-layer entries are listed.
    enum class TargetPlace { LayersMenu, ViewMenu, Button };
    QMenu* TargetMenu(int target, TargetPlace place) const;
    // The per-layer entries of the "Sundrels" menu, in drawing order; each
    // holds the layer's context menu.
    QList<QMenu*> LayerEntries() const { return entries_; }

    // "Status window": 0 auto, 1 always visible, 2 never visible; the item
    // checked: 0 "Always visible", 1 "Auto (default)", 2 "Never visible".
    void SetStatusWindowMode(int mode);
    int StatusWindowMode() const { return statusMode_; }
    int StatusItem() const { return statusItem_; }

    // The layer list changed (added, read, removed, reordered, renamed,
    // activated, all gone): the windows that follow layers let go of removed
    // ones, the style target follows the active layer and the entries are
    // built anew.
    void LayersChanged();

private:
    void CreateTargetControls();
    void UpdateMenu();
    void RebuildEntries();
    // The entries' captions and check marks as the layers are now.
    void RefreshEntries();
    QMenu* BuildEntry(std::int32_t index);
    // Adds to a layer's entry an item running `command` on that layer (found
    // again by its serial when chosen), then marking the document modified
    // when `modifies`.
    void AddItem(QMenu* entry, std::intptr_t serial, const char* caption,
                 std::function<void(std::int32_t)> command, bool modifies = true);
    // The context menu's items as they apply to the layer now.
    void UpdateEntry(QMenu* entry, std::intptr_t serial);
    // Runs `command` on the layer with this serial, if it is still there.
    void OnLayer(std::intptr_t serial, const std::function<void(std::int32_t)>& command);
    void ActivateLayer(std::int32_t index);

    TOpenDocument& document_;
    MonmonierLayer& layers_;
    TLayerControls& layerControls_;
    Windows windows_;
    QMenu* menu_;
    QAction* showAll_;
    QAction* hideUnactive_;
    QAction* hideAll_;
    QAction* removeAll_;
    QActionGroup* statusModes_;
    std::array<std::array<QMenu*, 3>, 3> targetMenus_{};
    QList<QMenu*> entries_;
    int statusItem_ = 1;
    int statusMode_ = 0;
};

} // namespace sundrel::app
