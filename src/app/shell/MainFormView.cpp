// The map editor window's view: the tools with their keys and temporary
// switches, zooming and panning, the layer and point commands, the view's
// pop-up menu, the zoom rectangle and the blinking highlight. The editing
// gestures are in MainFormEdit.cpp.

#include "app/shell/MainForm.h"

#include "app/widgets/Resources.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ScrollingPanel.h"
#include "app/widgets/Choices.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <GL/gl.h>

#include <array>

namespace sundrel::app {

namespace {

struct ToolInfo {
    TMainForm::Tool tool;
    const char* caption; // menu and button
    const char* status;  // status bar
    int key;             // 0: none (Move is Space held)
    const char* cursor;  // resource name, or none for the arrow
    QPoint hotSpot;
};

const std::array<ToolInfo, 7> kTools = {{
    {TMainForm::Tool::Select, "Select (S)", "Select", Qt::Key_S, nullptr, {}},
    {TMainForm::Tool::MovePoint, "Move point (M)", "Move point", Qt::Key_M, "ArrowPoint", {2, 2}},
    {TMainForm::Tool::AddPoint, "Add point (A)", "Add point", Qt::Key_A, "ArrowAdd", {2, 2}},
    {TMainForm::Tool::RemovePoint, "Remove point (R)", "Remove point", Qt::Key_R, "ArrowRemove", {2, 2}},
    {TMainForm::Tool::Zoom, "Zoom (Z)", "Zoom", Qt::Key_Z, "ZoomPlus", {12, 12}},
    {TMainForm::Tool::Unzoom, "Unzoom (U)", "Unzoom", Qt::Key_U, "ZoomMinus", {12, 12}},
    {TMainForm::Tool::Move, "Move", "Move", 0, "ArrowMove", {16, 16}},
}};

const ToolInfo& Info(TMainForm::Tool tool)
{
    return kTools[static_cast<std::size_t>(tool)];
}

const char* const kLayerCaptions[5] = {"Original points", "Virtual points", "Population labels",
                                       "Delaunay", "Voronoï"};

} // namespace

void TMainForm::CreateToolMenus()
{
    editMenu_ = menuBar()->addMenu(tr("&Edit"));
    CreateEditCommands();

    // Tools: the menu, the tool bar and the keys choose the same tools.
    toolsMenu_ = menuBar()->addMenu(tr("&Tools"));
    toolBar_ = addToolBar(tr("Tools"));
    toolBar_->setObjectName("Tools");
    tools_ = new QActionGroup(this);
    InitResources();
    toolBar_->setIconSize(QSize(24, 24));
    for (const ToolInfo& info : kTools) {
        QAction* action = toolsMenu_->addAction(tr(info.caption));
        // The buttons show the tool's cursor; their text stays the caption.
        action->setIcon(QIcon(QStringLiteral(":/cursors/%1.png")
                                  .arg(info.cursor ? info.cursor : "ArrowSelect")));
        action->setCheckable(true);
        action->setData(static_cast<int>(info.tool));
        tools_->addAction(action);
        toolBar_->addAction(action);
        connect(action, &QAction::triggered, this, [this, tool = info.tool] { SetTool(tool); });
        // A button toggled by an accessibility client checks the action
        // without triggering it: the state change chooses the tool too.
        connect(action, &QAction::toggled, this, [this, tool = info.tool](bool on) {
            if (on && tool_ != tool)
                SetTool(tool);
        });
        KeepAChoiceShown(tools_, action, this, [this] { return ToolAction(tool_); });
    }
    tools_->actions().front()->setChecked(true);
    // Double-clicking the zoom buttons resets the zoom; the move button's
    // centres the view.
    for (Tool tool : {Tool::Zoom, Tool::Unzoom, Tool::Move})
        if (QWidget* button = toolBar_->widgetForAction(ToolAction(tool)))
            button->installEventFilter(this);

    zoomMenu_ = menuBar()->addMenu(tr("&Zoom"));
    zoomInAction_ = zoomMenu_->addAction(tr("Zoom in"), this, &TMainForm::ZoomIn);
    zoomOutAction_ = zoomMenu_->addAction(tr("Zoom out"), this, &TMainForm::ZoomOut);
    resetZoomAction_ = zoomMenu_->addAction(tr("Reset zoom"), this, &TMainForm::ResetZoom);

    // Layers: the active layer, in the menu, the view's pop-up menu and the
    // layer buttons, with the visibility button of the active layer.
    layersMenu_ = menuBar()->addMenu(tr("&Layers"));
    viewMenu_ = new QMenu(this);
    // The style buttons of the active layer share the first row with the
    // tools, where there is room.
    styleBar_ = addToolBar(tr("Styles"));
    styleBar_->setObjectName("Styles");
    styleBar_->setIconSize(QSize(16, 16));
    addToolBarBreak();
    layerBar_ = addToolBar(tr("Layers"));
    layerBar_->setObjectName("Layers");
    // Small glyphs beside the captions.
    layerBar_->setIconSize(QSize(16, 16));
    layerGroup_ = new QActionGroup(this);
    for (int layer = 0; layer < 5; ++layer) {
        QAction* action = new QAction(QString::fromUtf8(kLayerCaptions[layer]), this);
        action->setCheckable(true);
        layerGroup_->addAction(action);
        layerActions_ << action;
        layersMenu_->addAction(action);
        viewMenu_->addAction(action);
        layerBar_->addAction(action);
        connect(action, &QAction::toggled, this, [this, layer](bool on) {
            if (on)
                ChooseActiveLayer(layer);
        });
        KeepAChoiceShown(layerGroup_, action, this, [this] { return LayerAction(ActiveLayer()); });
    }
    layersMenuSeparator_ = layersMenu_->addSeparator();
    viewMenuSeparator_ = viewMenu_->addSeparator();
    showAllLayersAction_ = new QAction(tr("Show all layers"), this);
    hideUnactiveLayersAction_ = new QAction(tr("Hide unactive layers"), this);
    connect(showAllLayersAction_, &QAction::triggered, this, &TMainForm::ShowAllLayersCommand);
    connect(hideUnactiveLayersAction_, &QAction::triggered, this,
            &TMainForm::HideUnactiveLayersCommand);
    for (QMenu* menu : {layersMenu_, viewMenu_}) {
        menu->addAction(showAllLayersAction_);
        menu->addAction(hideUnactiveLayersAction_);
    }
    layerBarSeparator_ = layerBar_->addSeparator();
    visibleAction_ = layerBar_->addAction(tr("Visible"));
    visibleAction_->setCheckable(true);
    connect(visibleAction_, &QAction::toggled, this,
            [this](bool on) { ChangeLayerVisibility(settings_.activeLayer, on); });
    CreatePropertyButtons();

    // Points: visibility of the two point layers, and removing every
    // virtual point.
    pointsMenu_ = menuBar()->addMenu(tr("&Points"));
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
    removeAllAction_ = pointsMenu_->addAction(tr("Remove all virtual points"), this,
                                              &TMainForm::RemoveAllVirtualPointsCommand);
    viewMenu_->addSeparator();
    deleteAllAction_ = viewMenu_->addAction(tr("Delete all virtual points"), this,
                                            &TMainForm::RemoveAllVirtualPointsCommand);
    connect(pointsMenu_, &QMenu::aboutToShow, this, &TMainForm::UpdateLayerCommands);

    // The highlighted element blinks while a map is open.
    blinkTimer_ = new QTimer(this);
    blinkTimer_->setInterval(333);
    connect(blinkTimer_, &QTimer::timeout, this, [this] {
        if (!map_)
            return;
        map_->highlight.blink = !map_->highlight.blink;
        if (map_->highlight.kind != 5)
            view_->UpdateScene();
    });
}

QAction* TMainForm::ToolAction(Tool tool) const
{
    return tools_->actions().at(static_cast<int>(tool));
}

QAction* TMainForm::LayerAction(int layer) const
{
    return layer >= 0 && layer < layerActions_.size() ? layerActions_.at(layer) : nullptr;
}

QWidget* TMainForm::LayerButton(int layer) const
{
    QAction* action = LayerAction(layer);
    return action ? layerBar_->widgetForAction(action) : nullptr;
}

void TMainForm::AddLayerTarget(QAction* button, QMenu* layersItem, QMenu* viewItem)
{
    button->setCheckable(true);
    layerGroup_->addAction(button);
    KeepAChoiceShown(layerGroup_, button, this, [this] { return LayerAction(ActiveLayer()); });
    layerActions_ << button;
    layerBar_->insertAction(layerBarSeparator_, button);
    if (QWidget* widget = layerBar_->widgetForAction(button)) {
        widget->setAccessibleName(button->text());
        // No higher than the caption buttons: the bar, and so the view, keep
        // their size.
        if (QWidget* caption = layerBar_->widgetForAction(layerActions_.front()))
            widget->setMaximumHeight(caption->sizeHint().height());
    }
    // Accessibility clients list the bar's buttons in creation order: the
    // separator and the visibility button go back to the end.
    const QList<QAction*> after{layerBarSeparator_, visibleAction_};
    for (QAction* action : after)
        if (QWidget* widget = layerBar_->widgetForAction(action))
            widget->raise();
    layersMenu_->insertMenu(layersMenuSeparator_, layersItem);
    viewMenu_->insertMenu(viewMenuSeparator_, viewItem);
}

QString TMainForm::ToolText() const
{
    return toolPanel_->text();
}

QString TMainForm::ActiveLayerText() const
{
    return layerPanel_->text();
}

void TMainForm::SetActiveLayerText(const QString& text)
{
    layerPanel_->setText(text);
}

TMainForm::Tool TMainForm::EffectiveTool() const
{
    if (spaceHeld_)
        return Tool::Move;
    switch (tool_) {
    case Tool::MovePoint:
        if (shiftHeld_)
            return Tool::AddPoint;
        if (ctrlHeld_)
            return Tool::RemovePoint;
        return Tool::MovePoint;
    case Tool::AddPoint:
    case Tool::RemovePoint:
        if (ctrlHeld_)
            return Tool::MovePoint;
        if (shiftHeld_)
            return tool_ == Tool::AddPoint ? Tool::RemovePoint : Tool::AddPoint;
        return tool_;
    case Tool::Zoom:
    case Tool::Unzoom:
        if (shiftHeld_ != ctrlHeld_)
            return tool_ == Tool::Zoom ? Tool::Unzoom : Tool::Zoom;
        return tool_;
    default:
        return tool_;
    }
}

void TMainForm::SetTool(Tool tool)
{
    tool_ = tool;
    zoomRectShown_ = false;
    panning_ = false;
    ToolAction(tool)->setChecked(true);
    UpdateTool();
}

void TMainForm::UpdateTool()
{
    const ToolInfo& info = Info(EffectiveTool());
    toolPanel_->setText(tr(info.status));
    if (!info.cursor) {
        view_->unsetCursor();
        return;
    }
    InitResources();
    const QPixmap picture(QStringLiteral(":/cursors/%1.png").arg(info.cursor));
    view_->setCursor(QCursor(picture, info.hotSpot.x(), info.hotSpot.y()));
}

MXY TMainForm::ViewToMap(QPointF pixel) const
{
    return PixelToMap(actual_, view_->width(), view_->height(), pixel.x(), pixel.y());
}

void TMainForm::ZoomIn()
{
    if (!map_)
        return;
    requested_ = ZoomedIn(actual_, view_->width(), view_->height(), map_->frameBounds,
                          map_->outerBounds);
    view_->UpdateSize();
}

void TMainForm::ZoomOut()
{
    if (!map_)
        return;
    requested_ = ZoomedOut(actual_, view_->width(), view_->height(), map_->frameBounds,
                           map_->outerBounds);
    view_->UpdateSize();
}

void TMainForm::CentreView()
{
    if (!map_)
        return;
    requested_ = CentredIn(requested_, map_->outerBounds);
    view_->UpdateSize();
}

void TMainForm::ChooseActiveLayer(int layer)
{
    if (!map_ || layer == settings_.activeLayer)
        return;
    SetActiveLayer(layer);
    UpdateLayerCommands();
    SetModified(true);
}

void TMainForm::ChangeLayerVisibility(int layer, bool visible)
{
    if (!map_ || layer < 0 || LayerVisible(layer) == visible)
        return;
    SetLayerVisibility(layer, visible);
    UpdateLayerCommands();
    SetModified(true);
    view_->UpdateScene();
}

void TMainForm::ShowAllLayersCommand()
{
    if (!map_)
        return;
    ShowAllExtraLayers();
    for (int layer = 0; layer < 5; ++layer)
        SetLayerVisibility(layer, true);
    UpdateLayerCommands();
    SetModified(true);
    view_->UpdateScene();
}

void TMainForm::HideUnactiveLayersCommand()
{
    if (!map_)
        return;
    HideUnactiveExtraLayers();
    for (int layer = 0; layer < 5; ++layer)
        SetLayerVisibility(layer, layer == settings_.activeLayer);
    UpdateLayerCommands();
    SetModified(true);
    view_->UpdateScene();
}

void TMainForm::UpdateLayerCommands()
{
    const int active = settings_.activeLayer;
    if (QAction* action = LayerAction(active))
        action->setChecked(true);
    else if (QAction* checked = layerGroup_->checkedAction()) {
        // No button stays down while no target is selected.
        layerGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        checked->setChecked(false);
        layerGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
    visibleAction_->setEnabled(LayerAction(active) != nullptr);
    visibleAction_->setChecked(LayerVisible(active));
    pointActions_[0]->setEnabled(!LayerVisible(0));
    pointActions_[1]->setEnabled(LayerVisible(0));
    pointActions_[2]->setEnabled(!LayerVisible(1));
    pointActions_[3]->setEnabled(LayerVisible(1));
    UpdatePropertyButtons();
}

// ------------------------------------------------------------ mouse and keys

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != view_) {
        // The tool buttons' double-clicks.
        if (event->type() == QEvent::MouseButtonDblClick) {
            if (watched == toolBar_->widgetForAction(ToolAction(Tool::Move)))
                CentreView();
            else
                ResetZoom();
            return true;
        }
        return QMainWindow::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::Enter:
        // The tool keys work without a click.
        if (isActiveWindow())
            view_->setFocus();
        break;
    case QEvent::MouseButtonPress:
        ViewMousePress(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        ViewMouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        ViewMouseRelease(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::KeyPress:
        if (ViewKey(static_cast<QKeyEvent*>(event), true))
            return true;
        break;
    case QEvent::KeyRelease:
        if (ViewKey(static_cast<QKeyEvent*>(event), false))
            return true;
        break;
    case QEvent::ContextMenu:
        if (map_) {
            UpdateLayerCommands();
            viewMenu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        }
        return true;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainForm::ViewKey(QKeyEvent* event, bool pressed)
{
    // The modifiers switch the tool while they are held. The event of a
    // modifier key itself carries the state before it, so that key decides.
    bool shift = event->modifiers() & Qt::ShiftModifier;
    bool ctrl = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Shift)
        shift = pressed;
    if (event->key() == Qt::Key_Control)
        ctrl = pressed;
    bool changed = shift != shiftHeld_ || ctrl != ctrlHeld_;
    shiftHeld_ = shift;
    ctrlHeld_ = ctrl;
    if (event->key() == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            changed = changed || spaceHeld_ != pressed;
            spaceHeld_ = pressed;
        }
        if (changed)
            UpdateTool();
        return true;
    }
    if (changed)
        UpdateTool();
    if (!map_ || event->key() == Qt::Key_Shift || event->key() == Qt::Key_Control)
        return false;
    if (pressed && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)))
        for (const ToolInfo& info : kTools)
            if (info.key != 0 && event->key() == info.key) {
                SetTool(info.tool);
                return true;
            }
    return EditKey(event, pressed);
}

void TMainForm::ViewMousePress(QMouseEvent* event)
{
    if (!map_ || event->button() != Qt::LeftButton)
        return;
    view_->setFocus();
    switch (EffectiveTool()) {
    case Tool::Zoom:
        zoomStart_ = zoomEnd_ = event->position();
        zoomRectShown_ = true;
        view_->UpdateScene();
        break;
    case Tool::Unzoom:
        ZoomOut();
        break;
    case Tool::Move:
        panning_ = true;
        panOrigin_ = ViewToMap(event->position());
        break;
    default:
        EditPress(event);
        break;
    }
}

void TMainForm::ViewMouseMove(QMouseEvent* event)
{
    if (!map_)
        return;
    if (zoomRectShown_) {
        zoomEnd_ = QPointF(std::clamp(event->position().x(), 1.0, view_->width() - 1.0),
                           std::clamp(event->position().y(), 1.0, view_->height() - 1.0));
        view_->UpdateScene();
        return;
    }
    if (panning_) {
        const MXY at = ViewToMap(event->position());
        requested_ = Panned(requested_, panOrigin_.x - at.x, panOrigin_.y - at.y, map_->outerBounds);
        view_->UpdateSize();
        // The grabbed point stays under the cursor.
        panOrigin_ = ViewToMap(event->position());
        return;
    }
    if (event->buttons() & Qt::LeftButton)
        EditMove(event);
}

void TMainForm::ViewMouseRelease(QMouseEvent* event)
{
    if (!map_ || event->button() != Qt::LeftButton)
        return;
    if (zoomRectShown_) {
        zoomRectShown_ = false;
        const double x1 = std::min(zoomStart_.x(), zoomEnd_.x());
        const double x2 = std::max(zoomStart_.x(), zoomEnd_.x());
        const double y1 = std::min(zoomStart_.y(), zoomEnd_.y());
        const double y2 = std::max(zoomStart_.y(), zoomEnd_.y());
        if (x1 == x2 || y1 == y2) {
            ZoomIn();
        } else {
            requested_ = ZoomedTo(actual_, view_->width(), view_->height(), x1, y1, x2, y2,
                                  map_->frameBounds, map_->outerBounds);
            view_->UpdateSize();
        }
        return;
    }
    if (panning_) {
        panning_ = false;
        return;
    }
    EditRelease(event);
}

void TMainForm::RenderOverlay()
{
    if (!zoomRectShown_)
        return;
    // The zoom rectangle: black, 2 pixels, stippled, in pixels over the view.
    const double w = view_->width();
    const double h = view_->height();
    const double ratio = view_->devicePixelRatioF();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0, w, h, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPushAttrib(GL_LINE_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
    glDisable(GL_DEPTH_TEST);
    glLineWidth(static_cast<GLfloat>(2.0 * ratio));
    glEnable(GL_LINE_STIPPLE);
    glLineStipple(1, 0x5555);
    glColor3d(0, 0, 0);
    glBegin(GL_LINE_LOOP);
    glVertex2d(zoomStart_.x(), zoomStart_.y());
    glVertex2d(zoomEnd_.x(), zoomStart_.y());
    glVertex2d(zoomEnd_.x(), zoomEnd_.y());
    glVertex2d(zoomStart_.x(), zoomEnd_.y());
    glEnd();
    glPopAttrib();
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glFlush();
}

} // namespace sundrel::app
