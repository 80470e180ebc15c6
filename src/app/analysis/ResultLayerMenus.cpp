#include "app/analysis/ResultLayerMenus.h"

#include "app/analysis/MonmonierSetup.h"
#include "app/analysis/ReportForm.h"
#include "app/analysis/SundrelMonmonierDialog.h"
#include "app/analysis/SundrelSelection.h"
#include "app/document/OpenDocument.h"
#include "app/view/LayerControls.h"
#include "app/widgets/Resources.h"
#include "monmonier/MonmonierLayer.h"

#include <QAction>
#include <QActionGroup>
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

// A layer's name as a caption: never a mnemonic.
QString Caption(const std::string& name)
{
    return QString::fromStdString(name).replace('&', QLatin1String("&&"));
}

} // namespace

TResultLayerMenus::TResultLayerMenus(TOpenDocument& document, TLayerControls& layerControls,
                                     Windows windows, QWidget* window)
    : QObject(window), document_(document), layers_(*document.Layers()),
      layerControls_(layerControls), windows_(windows), menu_(new QMenu(tr("&Sundrels"), window)),
      statusModes_(new QActionGroup(this))
{
    menu_->addAction(tr("New..."), this, [this] {
        if (NewAnalysis)
            NewAnalysis();
    });
    menu_->addAction(tr("New from genotypes..."), this, [this] {
        if (NewFromGenotypes)
            NewFromGenotypes();
    });
    menu_->addSeparator();
    // Each command changes the layers, then the entries follow and the
    // document is modified.
    const auto command = [this](std::function<void()> change) {
        return [this, change] {
            change();
            LayersChanged();
            document_.SetModified(true);
        };
    };
    showAll_ = menu_->addAction(tr("Show all"), this,
                                command([this] { document_.ShowAllResultLayers(); }));
    hideUnactive_ = menu_->addAction(tr("Hide unactive"), this,
                                     command([this] { document_.HideResultLayers(true); }));
    hideAll_ = menu_->addAction(tr("Hide all"), this,
                                command([this] { document_.HideResultLayers(false); }));
    removeAll_ =
        menu_->addAction(tr("Remove all"), this, command([this] { layers_.removeAll(); }));
    menu_->addSeparator();
    menu_->addSeparator();
    QMenu* status = menu_->addMenu(tr("Status window"));
    const char* const items[3] = {"Always visible", "Auto (default)", "Never visible"};
    for (int item = 0; item < 3; ++item) {
        QAction* action = status->addAction(tr(items[item]));
        action->setCheckable(true);
        action->setData(item);
        statusModes_->addAction(action);
    }
    connect(statusModes_, &QActionGroup::triggered, this, [this](QAction* action) {
        statusItem_ = action->data().toInt();
        SetStatusWindowMode(statusItem_ == 0 ? 1 : statusItem_ == 1 ? 0 : 2);
    });
    connect(menu_, &QMenu::aboutToShow, this, &TResultLayerMenus::UpdateMenu);
    CreateTargetControls();
}

void TResultLayerMenus::UpdateMenu()
{
    const bool any = layers_.count() > 0;
    showAll_->setEnabled(any && !layers_.allShown());
    hideAll_->setEnabled(any && !layers_.allHidden());
    hideUnactive_->setEnabled(layers_.count() > 1 && !layers_.allHidden());
    removeAll_->setEnabled(any);
    statusModes_->actions().at(statusItem_)->setChecked(true);
    RefreshEntries();
}

void TResultLayerMenus::SetStatusWindowMode(int mode)
{
    statusMode_ = mode;
    windows_.status->SetVisibility(mode);
    statusItem_ = mode == 1 ? 0 : mode == 0 ? 1 : 2;
    statusModes_->actions().at(statusItem_)->setChecked(true);
}

void TResultLayerMenus::CreateTargetControls()
{
    InitResources();
    for (int t = 0; t < 3; ++t) {
        const TargetInfo& info = kTargets[static_cast<std::size_t>(t)];
        const int target = TOpenDocument::kSundrelsTarget + t;
        auto& menus = targetMenus_[static_cast<std::size_t>(t)];
        for (auto& menu : menus)
            menu = new QMenu(tr(info.caption), menu_->parentWidget());
        menus[2]->setTitle(tr(info.hint));
        // Opening the item selects its target.
        for (QMenu* menu : {menus[0], menus[1]})
            connect(menu, &QMenu::aboutToShow, this,
                    [this, target] { layerControls_.ChooseActiveLayer(target); });
        QIcon icon;
        for (const int size : {16, 32})
            icon.addFile(QStringLiteral("%1-%2.png").arg(QLatin1String(info.icon)).arg(size),
                         QSize(size, size));
        auto* button = new QAction(WithFaintDisabledLook(icon), tr(info.hint), this);
        button->setToolTip(tr(info.hint));
        layerControls_.AddTarget(button, menus[0], menus[1], QString::fromUtf8(info.suffix));
        connect(button, &QAction::triggered, this, [this, target, popup = menus[2]] {
            if (!document_.Map())
                return;
            document_.SetModified(true);
            layerControls_.ChooseActiveLayer(target);
            if (QWidget* widget = layerControls_.LayerButton(target))
                popup->popup(widget->mapToGlobal(QPoint(0, widget->height())));
        });
    }
}

QMenu* TResultLayerMenus::TargetMenu(int target, TargetPlace place) const
{
    if (target < TOpenDocument::kSundrelsTarget || target > TOpenDocument::kNumbersTarget)
        return nullptr;
    return targetMenus_[static_cast<std::size_t>(target - TOpenDocument::kSundrelsTarget)]
                       [static_cast<std::size_t>(place)];
}

void TResultLayerMenus::LayersChanged()
{
    windows_.setup->LayersChanged();
    document_.LayersChanged();
    RebuildEntries();
}

void TResultLayerMenus::OnLayer(std::intptr_t serial,
                                const std::function<void(std::int32_t)>& command)
{
    const std::int32_t index = layers_.indexOfSerial(serial);
    if (index >= 0)
        command(index);
}

void TResultLayerMenus::ActivateLayer(std::int32_t index)
{
    document_.ActivateResultLayer(index);
    document_.SetModified(true);
    LayersChanged();
}

void TResultLayerMenus::RebuildEntries()
{
    // The old menus may be the ones whose item is being handled: they leave
    // the menus now and are deleted once control is back in the event loop.
    for (QMenu* entry : entries_) {
        menu_->removeAction(entry->menuAction());
        entry->deleteLater();
    }
    entries_.clear();
    for (const auto& places : targetMenus_)
        for (QMenu* menu : places)
            for (QAction* action : menu->actions()) {
                menu->removeAction(action);
                action->deleteLater();
            }
    if (!document_.Map())
        return;

    const std::int32_t active = layers_.activeIndex();
    const auto addEntries = [&](int target, const std::vector<std::int32_t>& indices) {
        for (std::int32_t index : indices) {
            const auto layer = layers_.layer(index);
            if (!layer)
                continue;
            const std::intptr_t serial = layer->serial();
            for (QMenu* menu :
                 targetMenus_[static_cast<std::size_t>(target - TOpenDocument::kSundrelsTarget)]) {
                auto* action = new QAction(Caption(layer->name), menu);
                action->setCheckable(true);
                action->setChecked(index == active);
                connect(action, &QAction::triggered, this, [this, serial] {
                    OnLayer(serial, [this](std::int32_t i) { ActivateLayer(i); });
                });
                menu->addAction(action);
            }
        }
    };
    const std::vector<std::int32_t> order = layers_.drawOrder();
    addEntries(TOpenDocument::kSundrelsTarget, order);
    addEntries(TOpenDocument::kTitlesTarget, layers_.singleLayers());
    addEntries(TOpenDocument::kNumbersTarget, layers_.multipleLayers());
    for (std::int32_t index : order)
        if (QMenu* entry = BuildEntry(index))
            entries_ << entry;
}

void TResultLayerMenus::RefreshEntries()
{
    for (QMenu* entry : entries_) {
        const std::int32_t index =
            layers_.indexOfSerial(entry->menuAction()->data().value<qintptr>());
        if (const auto layer = layers_.layer(index))
            entry->setTitle(Caption(layer->name));
        entry->menuAction()->setChecked(index >= 0 && index == layers_.activeIndex());
    }
}

QMenu* TResultLayerMenus::BuildEntry(std::int32_t index)
{
    const auto layer = layers_.layer(index);
    if (!layer)
        return nullptr;
    const std::intptr_t serial = layer->serial();
    auto* entry = new QMenu(Caption(layer->name), menu_);
    entry->menuAction()->setCheckable(true);
    entry->menuAction()->setChecked(index == layers_.activeIndex());
    entry->menuAction()->setData(QVariant::fromValue<qintptr>(serial));
    menu_->addMenu(entry);

    AddItem(entry, serial, "Activate", [this](std::int32_t i) { ActivateLayer(i); });
    entry->addSeparator();
    AddItem(entry, serial, "Configure...",
            [this](std::int32_t i) { windows_.setup->Configure(layers_, i); }, false);
    AddItem(entry, serial, "Show report",
            [this](std::int32_t i) { windows_.report->ShowLayerReport(i); }, false);
    entry->addSeparator();
    AddItem(entry, serial, "Sundrel selection...",
            [this](std::int32_t i) { windows_.selection->SetLayer(i); }, false);
    entry->addSeparator();
    AddItem(entry, serial, "Show sundrel trace", [this](std::int32_t i) {
        document_.ShowTrace(i, !layers_.layer(i)->showTrace());
    });
    entry->addSeparator();
    AddItem(entry, serial, "Show sundrels", [this](std::int32_t i) {
        document_.ShowResultLayer(i, true, layers_.layer(i)->labelsVisible);
    });
    AddItem(entry, serial, "Hide sundrels",
            [this](std::int32_t i) { document_.ShowResultLayer(i, false, false); });
    AddItem(entry, serial, "Show labels",
            [this](std::int32_t i) { document_.ShowResultLayer(i, true, true); });
    AddItem(entry, serial, "Hide labels", [this](std::int32_t i) {
        document_.ShowResultLayer(i, layers_.layer(i)->visible, false);
    });
    entry->addSeparator();
    // Plain functions rather than member pointers: GCC 12's vptr check
    // reads a wrong address when a member pointer is called in a closure.
    using Move = void (*)(MonmonierLayer&, std::int32_t);
    const std::pair<const char*, Move> moves[] = {
        {"Foreground", [](MonmonierLayer& layers, std::int32_t i) { layers.foreground(i); }},
        {"Move front", [](MonmonierLayer& layers, std::int32_t i) { layers.moveFront(i); }},
        {"Move back", [](MonmonierLayer& layers, std::int32_t i) { layers.moveBack(i); }},
        {"Background", [](MonmonierLayer& layers, std::int32_t i) { layers.background(i); }},
    };
    for (const auto& [caption, move] : moves)
        AddItem(entry, serial, caption, [this, move = move](std::int32_t i) {
            move(layers_, i);
            LayersChanged();
        });
    entry->addSeparator();
    AddItem(entry, serial, "Remove", [this](std::int32_t i) {
        layers_.remove(i);
        LayersChanged();
    });

    // Up to date from the start, for accessibility clients that read menus
    // without opening them.
    UpdateEntry(entry, serial);
    connect(entry, &QMenu::aboutToShow, this, [this, entry, serial] { UpdateEntry(entry, serial); });
    return entry;
}

void TResultLayerMenus::AddItem(QMenu* entry, std::intptr_t serial, const char* caption,
                                std::function<void(std::int32_t)> command, bool modifies)
{
    entry->addAction(tr(caption), this, [this, serial, command, modifies] {
        const std::int32_t index = layers_.indexOfSerial(serial);
        if (index < 0)
            return;
        command(index);
        if (modifies)
            document_.SetModified(true);
    });
}


void TResultLayerMenus::UpdateEntry(QMenu* entry, std::intptr_t serial)
{
    const std::int32_t index = layers_.indexOfSerial(serial);
    const auto layer = layers_.layer(index);
    const QList<QAction*> items = entry->actions();
    if (!layer) {
        for (QAction* action : items)
            action->setEnabled(false);
        return;
    }
    const bool active = index == layers_.activeIndex();
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
    const std::vector<std::int32_t> order = layers_.drawOrder();
    const bool first = !order.empty() && order.front() == index;
    const bool last = !order.empty() && order.back() == index;
    items[kForeground]->setEnabled(!last);
    items[kMoveFront]->setEnabled(!last);
    items[kMoveBack]->setEnabled(!first);
    items[kBackground]->setEnabled(!first);
}

} // namespace sundrel::app
