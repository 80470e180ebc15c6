#include "app/view/LayerControls.h"

#include "app/document/OpenDocument.h"
#include "app/widgets/Choices.h"
#include "app/widgets/Progress.h"
#include "monmonier/MonmonierLayer.h"

#include <QAction>
#include <QActionGroup>
#include <QLabel>
#include <QMenu>
#include <QToolBar>

namespace sundrel::app {

namespace {

// Layer names, by index, as the status bar and the menus show them.
const char* const kLayerNames[5] = {"Original points", "Virtual points", "Population labels",
                                    "Delaunay", "Voronoï"};

} // namespace

TLayerControls::TLayerControls(TOpenDocument& document, QAction* removeAll, QAction* deleteAll,
                               QWidget* window)
    : QObject(window), document_(document), layersMenu_(new QMenu(tr("&Layers"), window)),
      pointsMenu_(new QMenu(tr("&Points"), window)), popUp_(new QMenu(window)),
      bar_(new QToolBar(tr("Layers"), window)),
      panel_(NewStatusPanel(QStringLiteral("Active layer"), 200, tr("Active layer"))),
      group_(new QActionGroup(this))
{
    // The active layer, in the menu, the pop-up menu and the layer buttons,
    // with the visibility button of the active layer.
    bar_->setObjectName("Layers");
    // Small glyphs beside the captions.
    bar_->setIconSize(QSize(16, 16));
    for (int layer = 0; layer < 5; ++layer) {
        auto* action = new QAction(QString::fromUtf8(kLayerNames[layer]), this);
        action->setCheckable(true);
        group_->addAction(action);
        layerActions_ << action;
        layersMenu_->addAction(action);
        popUp_->addAction(action);
        bar_->addAction(action);
        connect(action, &QAction::toggled, this, [this, layer](bool on) {
            if (on)
                ChooseActiveLayer(layer);
        });
        KeepAChoiceShown(group_, action, this,
                         [this] { return LayerAction(document_.ActiveLayer()); });
    }
    layersSeparator_ = layersMenu_->addSeparator();
    popUpSeparator_ = popUp_->addSeparator();
    auto* showAll = new QAction(tr("Show all layers"), this);
    auto* hideUnactive = new QAction(tr("Hide unactive layers"), this);
    connect(showAll, &QAction::triggered, this, &TLayerControls::ShowAllLayersCommand);
    connect(hideUnactive, &QAction::triggered, this, &TLayerControls::HideUnactiveLayersCommand);
    for (QMenu* menu : {layersMenu_, popUp_}) {
        menu->addAction(showAll);
        menu->addAction(hideUnactive);
    }
    barSeparator_ = bar_->addSeparator();
    visible_ = bar_->addAction(tr("Visible"));
    visible_->setCheckable(true);
    connect(visible_, &QAction::toggled, this,
            [this](bool on) { ChangeLayerVisibility(document_.ActiveLayer(), on); });

    // Points: visibility of the two point layers, and removing every
    // virtual point.
    const auto pointCommand = [this](const char* caption, int layer, bool visible) {
        QAction* action = pointsMenu_->addAction(tr(caption));
        connect(action, &QAction::triggered, this,
                [this, layer, visible] { ChangeLayerVisibility(layer, visible); });
        pointActions_ << action;
    };
    pointCommand("Show original points", 0, true);
    pointCommand("Hide original points", 0, false);
    pointCommand("Show virtual points", 1, true);
    pointCommand("Hide virtual points", 1, false);
    pointsMenu_->addAction(removeAll);
    popUp_->addSeparator();
    popUp_->addAction(deleteAll);
    connect(pointsMenu_, &QMenu::aboutToShow, this, &TLayerControls::UpdateLayerCommands);
    connect(&document_, &TOpenDocument::changed, this, &TLayerControls::DocumentChanged);
}

void TLayerControls::DocumentChanged(unsigned what)
{
    constexpr unsigned shown = TOpenDocument::ActiveLayerChange | TOpenDocument::MapChange |
                               TOpenDocument::LayersChange;
    if (what & (shown | TOpenDocument::VisibilityChange))
        UpdateLayerCommands();
    if (what & shown)
        UpdateCaption();
}

QAction* TLayerControls::LayerAction(int target) const
{
    return target >= 0 && target < layerActions_.size() ? layerActions_.at(target) : nullptr;
}

QWidget* TLayerControls::LayerButton(int target) const
{
    QAction* action = LayerAction(target);
    return action ? bar_->widgetForAction(action) : nullptr;
}

QString TLayerControls::ActiveLayerText() const
{
    return panel_->text();
}

void TLayerControls::EnableMapCommands(bool enabled)
{
    layersMenu_->setEnabled(enabled);
    pointsMenu_->setEnabled(enabled);
    bar_->setEnabled(enabled);
    if (enabled) {
        UpdateCaption();
        UpdateLayerCommands();
    }
}

void TLayerControls::AddTarget(QAction* button, QMenu* layersItem, QMenu* popUpItem,
                               const QString& suffix)
{
    // The button is the bar's from now on, as its items are the menus'.
    button->setParent(this);
    button->setCheckable(true);
    group_->addAction(button);
    KeepAChoiceShown(group_, button, this,
                     [this] { return LayerAction(document_.ActiveLayer()); });
    layerActions_ << button;
    bar_->insertAction(barSeparator_, button);
    if (QWidget* widget = bar_->widgetForAction(button)) {
        widget->setAccessibleName(button->text());
        // No higher than the caption buttons: the bar, and so the view, keep
        // their size.
        if (QWidget* caption = bar_->widgetForAction(layerActions_.front()))
            widget->setMaximumHeight(caption->sizeHint().height());
    }
    // Accessibility clients list the bar's buttons in creation order: the
    // separator and the visibility button go back to the end.
    for (QAction* action : {barSeparator_, visible_})
        if (QWidget* widget = bar_->widgetForAction(action))
            widget->raise();
    layersMenu_->insertMenu(layersSeparator_, layersItem);
    popUp_->insertMenu(popUpSeparator_, popUpItem);
    layersItem->menuAction()->setCheckable(true);
    popUpItem->menuAction()->setCheckable(true);
    targetItems_.append(std::array<QMenu*, 2>{layersItem, popUpItem});
    suffixes_ << suffix;
}

void TLayerControls::ChooseActiveLayer(int target)
{
    if (!document_.Map() || target == document_.ActiveLayer())
        return;
    document_.SetActiveLayer(target);
    document_.SetModified(true);
}

void TLayerControls::ChangeLayerVisibility(int target, bool visible)
{
    if (!document_.Map() || target < 0 || document_.LayerVisible(target) == visible)
        return;
    document_.SetLayerVisible(target, visible);
    document_.SetModified(true);
}

void TLayerControls::ShowAllLayersCommand()
{
    if (!document_.Map())
        return;
    document_.ShowAllLayers();
    document_.SetModified(true);
}

void TLayerControls::HideUnactiveLayersCommand()
{
    if (!document_.Map())
        return;
    document_.HideUnactiveLayers();
    document_.SetModified(true);
}

void TLayerControls::PopUp(const QPoint& at)
{
    UpdateLayerCommands();
    popUp_->popup(at);
}

void TLayerControls::UpdateLayerCommands()
{
    const int active = document_.ActiveLayer();
    if (QAction* action = LayerAction(active)) {
        action->setChecked(true);
    } else if (QAction* checked = group_->checkedAction()) {
        // No button stays down while no target is selected.
        group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        checked->setChecked(false);
        group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
    visible_->setEnabled(LayerAction(active) != nullptr);
    visible_->setChecked(document_.LayerVisible(active));
    pointActions_[0]->setEnabled(!document_.LayerVisible(0));
    pointActions_[1]->setEnabled(document_.LayerVisible(0));
    pointActions_[2]->setEnabled(!document_.LayerVisible(1));
    pointActions_[3]->setEnabled(document_.LayerVisible(1));
    for (int t = 0; t < targetItems_.size(); ++t)
        for (QMenu* item : targetItems_[t])
            item->menuAction()->setChecked(active == TOpenDocument::kSundrelsTarget + t);
}

void TLayerControls::UpdateCaption()
{
    const int target = document_.ActiveLayer();
    const MonmonierLayer* layers = document_.Layers();
    const auto active = layers ? layers->activeLayer() : nullptr;
    const int t = target - TOpenDocument::kSundrelsTarget;
    if (t >= 0 && t < suffixes_.size() && active)
        panel_->setText(QString::fromStdString(active->name) + suffixes_[t]);
    else
        panel_->setText(target >= 0 && target < 5 ? QString::fromUtf8(kLayerNames[target])
                                                  : tr("Active layer"));
}

} // namespace sundrel::app
