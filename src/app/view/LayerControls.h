#pragma once
// Which layer is active and which are shown: the "Layers" menu, the layer
// tool bar (a button per layer and style target, and the visibility button
// of the active one), the "Points" menu, the view's pop-up menu and the
// status bar's active-layer panel. What they choose goes to the document;
// they show what the document says is in force. The sundrel window adds its
// style targets after the five map layers.

#include <QList>
#include <QObject>
#include <QString>

#include <array>

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPoint;
class QToolBar;
class QWidget;

namespace sundrel::app {

class TOpenDocument;

class TLayerControls : public QObject {
    Q_OBJECT

public:
    // `removeAll` and `deleteAll` (the editor's) end the "Points" menu and
    // the pop-up menu.
    TLayerControls(TOpenDocument& document, QAction* removeAll, QAction* deleteAll,
                   QWidget* window);

    QMenu* LayersMenu() const { return layersMenu_; }
    QMenu* PointsMenu() const { return pointsMenu_; }
    QMenu* PopUpMenu() const { return popUp_; }
    QToolBar* LayerBar() const { return bar_; }
    QLabel* LayerPanel() const { return panel_; }
    // The action of a layer or style target, its button, the visibility
    // button of the active one.
    QAction* LayerAction(int target) const;
    QWidget* LayerButton(int target) const;
    QAction* VisibleAction() const { return visible_; }
    QString ActiveLayerText() const;

    // The layer commands (the document becomes modified).
    void ChooseActiveLayer(int target);
    void ChangeLayerVisibility(int target, bool visible);
    void ShowAllLayersCommand();
    void HideUnactiveLayersCommand();
    // Pops the view's menu up at a global position.
    void PopUp(const QPoint& at);

    // A further style target (its index is the next one): its button joins
    // the layer buttons, its items the Layers menu and the pop-up menu after
    // the layer items; `suffix` follows the active result layer's name in
    // the status bar. The caller connects what they do; the button becomes
    // these controls'.
    void AddTarget(QAction* button, QMenu* layersItem, QMenu* popUpItem, const QString& suffix);
    // The commands that need a map.
    void EnableMapCommands(bool enabled);

private:
    void DocumentChanged(unsigned what);
    // The buttons, the visibility button, the point commands and the
    // targets' items as the document has them.
    void UpdateLayerCommands();
    void UpdateCaption();

    TOpenDocument& document_;
    QMenu* layersMenu_;
    QMenu* pointsMenu_;
    QMenu* popUp_;
    QToolBar* bar_;
    QLabel* panel_;
    QActionGroup* group_;
    QAction* visible_;
    // Where further style targets go: before these separators.
    QAction* barSeparator_;
    QAction* layersSeparator_;
    QAction* popUpSeparator_;
    QList<QAction*> layerActions_;
    QList<QAction*> pointActions_;
    // The targets' Layers menu and pop-up items, and status suffixes.
    QList<std::array<QMenu*, 2>> targetItems_;
    QList<QString> suffixes_;
};

} // namespace sundrel::app
