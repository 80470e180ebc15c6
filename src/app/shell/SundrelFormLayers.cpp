// The sundrel window's result-layer controls: the per-layer entries of the
// "Sundrels" menu with each layer's context menu, and the three style
// targets (sundrels, titles, numbers) with their buttons, their items in the
// Layers menu and the view's pop-up menu, and their lists of layers.
//
// The entries are built anew from the layer list whenever it changes, and
// each one finds its layer by serial when clicked, so that an entry never
// acts on a layer that took another's index.

#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/ReportForm.h"
#include "app/analysis/SundrelSelection.h"
#include "app/widgets/Resources.h"
#include "app/shell/SundrelForm.h"
#include "app/view/OpenGLControl.h"

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QVariant>

namespace sundrel::app {

namespace {

struct TargetInfo {
    const char* caption; // Layers menu and view menu items
    const char* hint;    // button tool tip and name
    const char* icon;    // resource name, without the size
    const char* suffix;  // status bar, after the layer's name
};

const std::array<TargetInfo, 3> kTargets = {{
    {"Sundrels", "Sundrels", ":/buttons/Sundrels", " (sundrels)"},
    {"Sundrel title", "Single sundrel titles", ":/buttons/SundrelTitles", " (titles)"},
    {"Sundrel numbers", "Multiple sundrel numbers", ":/buttons/SundrelNumbers",
     " (numbers)"},
}};

// The items of a layer's context menu, by position ("-" separators).
enum Item {
    kActivate = 0,
    kActivateSeparator = 1,
    kConfigure = 2,
    kShowReport = 3,
    kSelection = 5,
    kTrace = 7,
    kShowSundrels = 9,
    kHideSundrels = 10,
    kShowLabels = 11,
    kHideLabels = 12,
    kForeground = 14,
    kMoveFront = 15,
    kMoveBack = 16,
    kBackground = 17,
    kRemove = 19,
};

// The nine fixed items of the "Sundrels" menu come before the entries.
constexpr int kFixedItems = 9;

} // namespace

void TSundrelForm::CreateTargetControls()
{
    InitResources();
    for (int t = 0; t < 3; ++t) {
        const TargetInfo& info = kTargets[static_cast<std::size_t>(t)];
        const int target = kSundrelsTarget + t;
        auto& menus = targetMenus_[static_cast<std::size_t>(t)];
        for (auto& menu : menus)
            menu = new QMenu(tr(info.caption), this);
        menus[2]->setTitle(tr(info.hint));
        // Opening the item selects its target.
        for (QMenu* menu : {menus[0], menus[1]}) {
            menu->menuAction()->setCheckable(true);
            connect(menu, &QMenu::aboutToShow, this,
                    [this, target] { ChooseActiveLayer(target); });
        }
        QIcon icon;
        for (const int size : {16, 32})
            icon.addFile(QStringLiteral("%1-%2.png").arg(QLatin1String(info.icon)).arg(size),
                         QSize(size, size));
        QAction* button = new QAction(icon, tr(info.hint), this);
        button->setToolTip(tr(info.hint));
        targetButtons_[static_cast<std::size_t>(t)] = button;
        AddLayerTarget(button, menus[0], menus[1]);
        connect(button, &QAction::triggered, this, [this, target, popup = menus[2]] {
            if (!map_)
                return;
            SetModified(true);
            ChooseActiveLayer(target);
            UpdateLayerCommands();
            if (QWidget* widget = LayerButton(target))
                popup->popup(widget->mapToGlobal(QPoint(0, widget->height())));
        });
    }
}

QMenu* TSundrelForm::TargetMenu(int target, TargetPlace place) const
{
    if (target < kSundrelsTarget || target > kNumbersTarget)
        return nullptr;
    return targetMenus_[static_cast<std::size_t>(target - kSundrelsTarget)]
                       [static_cast<std::size_t>(place)];
}

void TSundrelForm::LayersChanged()
{
    setup_->LayersChanged();
    ReselectTarget();
    RebuildLayerEntries();
}

void TSundrelForm::ReselectTarget()
{
    if (ActiveLayer() < kSundrelsTarget)
        return;
    SetActiveLayer(ActiveLayer());
    UpdateLayerCommands();
}

void TSundrelForm::OnLayer(std::intptr_t serial, const std::function<void(std::int32_t)>& command)
{
    const std::int32_t index = layers_->indexOfSerial(serial);
    if (index >= 0)
        command(index);
}

void TSundrelForm::ActivateLayer(std::int32_t index)
{
    layers_->activate(index);
    SetModified(true);
    LayersChanged();
}

void TSundrelForm::RebuildLayerEntries()
{
    // The old menus may be the ones whose item is being handled: they leave
    // the menus now and are deleted once control is back in the event loop.
    for (QMenu* entry : layerEntries_) {
        sundrelsMenu_->removeAction(entry->menuAction());
        entry->deleteLater();
    }
    layerEntries_.clear();
    for (const auto& places : targetMenus_)
        for (QMenu* menu : places)
            for (QAction* action : menu->actions()) {
                menu->removeAction(action);
                action->deleteLater();
            }
    if (!map_)
        return;

    const std::int32_t active = layers_->activeIndex();
    const auto addEntries = [&](int target, const std::vector<std::int32_t>& indices) {
        for (std::int32_t index : indices) {
            const auto layer = layers_->layer(index);
            if (!layer)
                continue;
            const std::intptr_t serial = layer->serial();
            for (QMenu* menu : targetMenus_[static_cast<std::size_t>(target - kSundrelsTarget)]) {
                // Captions are names, never mnemonics.
                QAction* action = new QAction(QString::fromStdString(layer->name)
                                                  .replace('&', QLatin1String("&&")),
                                              menu);
                action->setCheckable(true);
                action->setChecked(index == active);
                connect(action, &QAction::triggered, this, [this, serial] {
                    OnLayer(serial, [this](std::int32_t i) { ActivateLayer(i); });
                });
                menu->addAction(action);
            }
        }
    };
    const std::vector<std::int32_t> order = layers_->drawOrder();
    addEntries(kSundrelsTarget, order);
    addEntries(kTitlesTarget, layers_->singleLayers());
    addEntries(kNumbersTarget, layers_->multipleLayers());
    for (std::int32_t index : order)
        if (QMenu* entry = BuildLayerEntry(index))
            layerEntries_ << entry;
}

void TSundrelForm::RefreshLayerEntries()
{
    for (QMenu* entry : layerEntries_) {
        const std::int32_t index =
            layers_->indexOfSerial(entry->menuAction()->data().value<qintptr>());
        if (const auto layer = layers_->layer(index))
            entry->setTitle(QString::fromStdString(layer->name).replace('&', QLatin1String("&&")));
        entry->menuAction()->setChecked(index >= 0 && index == layers_->activeIndex());
    }
}

QMenu* TSundrelForm::BuildLayerEntry(std::int32_t index)
{
    const auto layer = layers_->layer(index);
    if (!layer)
        return nullptr;
    const std::intptr_t serial = layer->serial();
    auto* entry = new QMenu(QString::fromStdString(layer->name).replace('&', QLatin1String("&&")),
                            sundrelsMenu_);
    entry->menuAction()->setCheckable(true);
    entry->menuAction()->setChecked(index == layers_->activeIndex());
    entry->menuAction()->setData(QVariant::fromValue<qintptr>(serial));
    sundrelsMenu_->addMenu(entry);

    // Runs a command on this entry's layer, then marks the document
    // modified and redraws.
    const auto item = [this, entry, serial](const char* caption,
                                            std::function<void(std::int32_t)> command) {
        entry->addAction(tr(caption), this, [this, serial, command] {
            OnLayer(serial, [this, &command](std::int32_t i) {
                command(i);
                SetModified(true);
                View()->UpdateScene();
            });
        });
    };
    // Visibility flags of the layer; the visibility button follows them.
    const auto flags = [this](std::int32_t i, bool visible, bool labels) {
        const auto l = layers_->layer(i);
        l->visible = visible;
        l->labelsVisible = labels;
        UpdateLayerCommands();
    };
    item("Activate", [this](std::int32_t i) { ActivateLayer(i); });
    entry->addSeparator();
    entry->addAction(tr("Configure..."), this, [this, serial] {
        OnLayer(serial, [this](std::int32_t i) { setup_->Configure(*layers_, i); });
    });
    entry->addAction(tr("Show report"), this, [this, serial] {
        OnLayer(serial, [this](std::int32_t i) { report_->ShowLayerReport(i); });
    });
    entry->addSeparator();
    entry->addAction(tr("Sundrel selection..."), this, [this, serial] {
        OnLayer(serial, [this](std::int32_t i) { selection_->SetLayer(i); });
    });
    entry->addSeparator();
    item("Show sundrel trace", [this](std::int32_t i) {
        const auto l = layers_->layer(i);
        l->setShowTrace(!l->showTrace());
    });
    entry->addSeparator();
    item("Show sundrels", [flags, this](std::int32_t i) {
        flags(i, true, layers_->layer(i)->labelsVisible);
    });
    item("Hide sundrels", [flags](std::int32_t i) { flags(i, false, false); });
    item("Show labels", [flags](std::int32_t i) { flags(i, true, true); });
    item("Hide labels", [flags, this](std::int32_t i) {
        flags(i, layers_->layer(i)->visible, false);
    });
    entry->addSeparator();
    const auto reorder = [this](void (MonmonierLayer::*move)(std::int32_t)) {
        return [this, move](std::int32_t i) {
            (layers_.get()->*move)(i);
            LayersChanged();
        };
    };
    item("Foreground", reorder(&MonmonierLayer::foreground));
    item("Move front", reorder(&MonmonierLayer::moveFront));
    item("Move back", reorder(&MonmonierLayer::moveBack));
    item("Background", reorder(&MonmonierLayer::background));
    entry->addSeparator();
    item("Remove", reorder(&MonmonierLayer::remove));

    // Up to date from the start, for accessibility clients that read menus
    // without opening them.
    UpdateLayerEntry(entry, serial);
    connect(entry, &QMenu::aboutToShow, this,
            [this, entry, serial] { UpdateLayerEntry(entry, serial); });
    return entry;
}

void TSundrelForm::UpdateLayerEntry(QMenu* entry, std::intptr_t serial)
{
    const std::int32_t index = layers_->indexOfSerial(serial);
    const auto layer = layers_->layer(index);
    const QList<QAction*> items = entry->actions();
    if (!layer) {
        for (QAction* action : items)
            action->setEnabled(false);
        return;
    }
    const bool active = index == layers_->activeIndex();
    items[kActivate]->setVisible(!active);
    items[kActivateSeparator]->setVisible(!active);
    items[kSelection]->setEnabled(!layer->isSingle());
    items[kTrace]->setEnabled(layer->isSingle());
    items[kTrace]->setText(layer->showTrace() ? tr("Hide sundrel trace")
                                              : tr("Show sundrel trace"));
    const bool shown = layer->visible;
    const bool labelled = layer->visible && layer->labelsVisible;
    items[kShowSundrels]->setVisible(!shown);
    items[kHideSundrels]->setVisible(shown);
    items[kShowLabels]->setVisible(!labelled);
    items[kHideLabels]->setVisible(labelled);
    const std::vector<std::int32_t> order = layers_->drawOrder();
    const bool first = !order.empty() && order.front() == index;
    const bool last = !order.empty() && order.back() == index;
    items[kForeground]->setEnabled(!last);
    items[kMoveFront]->setEnabled(!last);
    items[kMoveBack]->setEnabled(!first);
    items[kBackground]->setEnabled(!first);
}

// ------------------------------------------------------------ style targets

void TSundrelForm::SetActiveLayer(int layer)
{
    if (layer < kSundrelsTarget || layer > kNumbersTarget) {
        TMainForm::SetActiveLayer(layer);
        return;
    }
    const auto active = layers_->activeLayer();
    int target = layer;
    if (!active)
        target = -1;
    else if (target == kTitlesTarget && !active->isSingle())
        target = kNumbersTarget;
    else if (target == kNumbersTarget && active->isSingle())
        target = kTitlesTarget;
    settings_.activeLayer = target;
    UpdateActiveLayerCaption();
}

void TSundrelForm::UpdateActiveLayerCaption()
{
    const int target = ActiveLayer();
    const auto active = layers_ ? layers_->activeLayer() : nullptr;
    if (target < kSundrelsTarget || !active) {
        TMainForm::UpdateActiveLayerCaption();
        return;
    }
    SetActiveLayerText(QString::fromStdString(active->name) +
                       kTargets[static_cast<std::size_t>(target - kSundrelsTarget)].suffix);
}

bool TSundrelForm::LayerVisible(int layer) const
{
    if (layer < kSundrelsTarget)
        return TMainForm::LayerVisible(layer);
    const auto active = layers_->activeLayer();
    if (!active)
        return false;
    return layer == kSundrelsTarget ? active->visible : active->visible && active->labelsVisible;
}

void TSundrelForm::SetLayerVisibility(int layer, bool visible)
{
    if (layer < kSundrelsTarget) {
        TMainForm::SetLayerVisibility(layer, visible);
        return;
    }
    const auto active = layers_->activeLayer();
    if (!active)
        return;
    // Labels are drawn only with their sundrels.
    if (layer == kSundrelsTarget) {
        active->visible = visible;
        if (!visible)
            active->labelsVisible = false;
    } else {
        active->labelsVisible = visible;
        if (visible)
            active->visible = true;
    }
}

void TSundrelForm::UpdateLayerCommands()
{
    TMainForm::UpdateLayerCommands();
    for (int t = 0; t < 3; ++t)
        for (QMenu* menu : {targetMenus_[static_cast<std::size_t>(t)][0],
                            targetMenus_[static_cast<std::size_t>(t)][1]})
            if (menu)
                menu->menuAction()->setChecked(ActiveLayer() == kSundrelsTarget + t);
}

void TSundrelForm::ShowAllExtraLayers()
{
    layers_->showAll();
}

void TSundrelForm::HideUnactiveExtraLayers()
{
    if (ActiveLayer() >= kSundrelsTarget)
        layers_->hideInactive();
    else
        layers_->hideAll();
}

} // namespace sundrel::app
