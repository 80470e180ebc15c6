// The map editor window's property buttons: colour (the colour table's
// swatches, its base and the colour dialog), point size, line size and font
// of the active target. The map layers' styles live in the map and in the
// window's settings; derived windows answer for their own targets.

#include "app/shell/MainForm.h"

#include "app/style/StyleMenus.h"
#include "app/view/OpenGLControl.h"

#include <QAction>
#include <QColorDialog>
#include <QFontDialog>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <array>

namespace sundrel::app {

namespace {

const std::array<const char*, 5> kBaseCaptions = {"8 colors (2x2x2)", "27 colors (3x3x3)",
                                                  "64 colors (4x4x4)", "125 colors (5x5x5)",
                                                  "216 colors (6x6x6)"};

// Empties a menu whose item may be the one being handled: the items go
// once control is back in the event loop.
void DropItems(QMenu* menu)
{
    for (QAction* action : menu->actions()) {
        menu->removeAction(action);
        action->deleteLater();
    }
}

} // namespace

void TMainForm::CreatePropertyButtons()
{
    const auto button = [this](const QString& caption) {
        auto* tool = new QToolButton(styleBar_);
        tool->setText(caption);
        tool->setAccessibleName(caption);
        tool->setToolTip(caption);
        tool->setAutoRaise(true);
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        // No higher than the layer buttons: the bar, and so the view, keep
        // their size.
        if (QWidget* caption = layerBar_->widgetForAction(layerActions_.front()))
            tool->setMaximumHeight(caption->sizeHint().height());
        propertyActions_ << styleBar_->addWidget(tool);
        return tool;
    };

    colourMenu_ = new TColourMenu(this);
    connect(colourMenu_, &TColourMenu::swatchChosen, this, &TMainForm::ChooseSwatch);
    colourButton_ = button(tr("Color"));
    colourButton_->setMenu(colourMenu_);
    colourButton_->setPopupMode(QToolButton::InstantPopup);
    // The right button offers the colour table's size and the colour dialog.
    colourOptions_ = new QMenu(this);
    lessColours_ = colourOptions_->addMenu(tr("Less colors"));
    moreColours_ = colourOptions_->addMenu(tr("More colors"));
    colourOptions_->addAction(tr("Other color..."), this, &TMainForm::OtherColourCommand);
    colourButton_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(colourButton_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        colourOptions_->popup(colourButton_->mapToGlobal(at));
    });

    lineSizeMenu_ = new TSizeMenu(TSizeMenu::Sample::Line, this);
    lineSizeButton_ = button(tr("Line size"));
    lineSizeButton_->setMenu(lineSizeMenu_);
    lineSizeButton_->setPopupMode(QToolButton::InstantPopup);
    pointSizeMenu_ = new TSizeMenu(TSizeMenu::Sample::Point, this);
    pointSizeButton_ = button(tr("Point size"));
    pointSizeButton_->setMenu(pointSizeMenu_);
    pointSizeButton_->setPopupMode(QToolButton::InstantPopup);
    for (TSizeMenu* menu : {lineSizeMenu_, pointSizeMenu_})
        connect(menu, &TSizeMenu::sizeChosen, this, &TMainForm::ChooseSize);
    fontButton_ = button(tr("Font"));
    connect(fontButton_, &QToolButton::clicked, this, &TMainForm::ChooseFontCommand);

    for (QMenu* menu : {static_cast<QMenu*>(colourMenu_), static_cast<QMenu*>(lineSizeMenu_),
                        static_cast<QMenu*>(pointSizeMenu_)})
        connect(menu, &QMenu::aboutToShow, this, &TMainForm::UpdatePropertyButtons);
}

void TMainForm::RebuildColourMenus()
{
    const int base = settings_.colourTableBase;
    colourMenu_->SetTable(colourTable_, base);
    DropItems(lessColours_);
    DropItems(moreColours_);
    for (int b = 2; b <= 6; ++b) {
        if (b == base)
            continue;
        QMenu* menu = b < base ? lessColours_ : moreColours_;
        menu->addAction(tr(kBaseCaptions[static_cast<std::size_t>(b - 2)]), this,
                        [this, b] { ChangeColourBase(b); });
    }
    lessColours_->menuAction()->setEnabled(base > 2);
    moreColours_->menuAction()->setEnabled(base < 6);
    UpdatePropertyButtons();
}

TMainForm::TargetStyle TMainForm::ActiveStyle() const
{
    TargetStyle style;
    const int layer = settings_.activeLayer;
    if (!map_ || layer < 0 || layer >= 5)
        return style;
    style.colour = true;
    style.colourValue = map_->layerColours[static_cast<std::size_t>(layer)];
    switch (layer) {
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

bool TMainForm::ApplyColour(std::uint32_t colour)
{
    const int layer = settings_.activeLayer;
    if (!map_ || layer < 0 || layer >= 5)
        return false;
    const auto l = static_cast<std::size_t>(layer);
    const int index = NearestColour(colourTable_, colour);
    if (map_->layerColours[l] == colour && settings_.layerColourIndex[l] == index)
        return false;
    map_->layerColours[l] = colour;
    settings_.layerColourIndex[l] = index;
    return true;
}

bool TMainForm::ApplySize(float size)
{
    if (!map_)
        return false;
    float* inMap = nullptr;
    float* setting = nullptr;
    switch (settings_.activeLayer) {
    case 0:
        inMap = &map_->originalPointSize;
        setting = &settings_.originalPointSize;
        break;
    case 1:
        inMap = &map_->virtualPointSize;
        setting = &settings_.virtualPointSize;
        break;
    case 3:
        inMap = &map_->delaunayLineWidth;
        setting = &settings_.delaunayLineSize;
        break;
    case 4:
        inMap = &map_->voronoiLineWidth;
        setting = &settings_.voronoiLineSize;
        break;
    default:
        return false;
    }
    if (*inMap == size && *setting == size)
        return false;
    *inMap = size;
    *setting = size;
    return true;
}

bool TMainForm::ApplyFont(const MapFont& font)
{
    if (!map_ || settings_.activeLayer != 2 || (map_->font == font && settings_.font == font))
        return false;
    // The view's font cache makes the new font on the next drawing.
    map_->font = font;
    settings_.font = font;
    return true;
}

void TMainForm::UpdatePropertyButtons()
{
    if (!colourButton_)
        return;
    const TargetStyle style = ActiveStyle();
    colourButton_->setEnabled(style.colour);
    if (style.colour) {
        colourButton_->setIcon(SwatchIcon(style.colourValue));
        colourMenu_->Check(NearestColour(colourTable_, style.colourValue));
    } else {
        colourMenu_->Check(-1);
    }
    lineSizeButton_->setEnabled(style.lineSize);
    lineSizeMenu_->Check(style.lineSize ? style.size : 0.0f);
    pointSizeButton_->setEnabled(style.pointSize);
    pointSizeMenu_->Check(style.pointSize ? style.size : 0.0f);
    fontButton_->setEnabled(style.font);
}

void TMainForm::StyleChanged(bool changed)
{
    if (changed) {
        SetModified(true);
        view_->UpdateScene();
    }
    UpdatePropertyButtons();
}

void TMainForm::ChooseSwatch(int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= colourTable_.size())
        return;
    StyleChanged(ApplyColour(colourTable_[static_cast<std::size_t>(index)]));
}

void TMainForm::ChooseSize(float size)
{
    StyleChanged(ApplySize(size));
}

void TMainForm::OtherColourCommand()
{
    const TargetStyle style = ActiveStyle();
    if (!style.colour)
        return;
    QColorDialog dialog(ToQColor(style.colourValue), this);
    dialog.setObjectName("ColorDialog");
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    StyleChanged(ApplyColour(FromQColor(dialog.selectedColor())));
}

void TMainForm::ChooseFontCommand()
{
    const TargetStyle style = ActiveStyle();
    if (!style.font)
        return;
    const MapFont& present = style.fontValue;
    QFontDialog dialog(ToQFont(present.name, present.size, present.style), this);
    dialog.setObjectName("FontDialog");
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QFont chosen = dialog.selectedFont();
    const int size = chosen.pointSize() > 0 ? chosen.pointSize() : present.size;
    StyleChanged(ApplyFont(MapFont{chosen.family().toStdString(), size, FontStyleBits(chosen)}));
}

void TMainForm::ChangeColourBase(int base)
{
    if (base < 2 || base > 6 || base == settings_.colourTableBase)
        return;
    const std::vector<std::uint32_t> previous = colourTable_;
    colourTable_ = BuildColourTable(base);
    settings_.colourTableBase = base;
    for (std::size_t layer = 0; layer < 5; ++layer) {
        // Without a map the settings' index names the colour.
        const auto old = static_cast<std::size_t>(settings_.layerColourIndex[layer]);
        const std::uint32_t colour = map_ ? map_->layerColours[layer]
                                          : old < previous.size() ? previous[old] : 0;
        const int index = NearestColour(colourTable_, colour);
        settings_.layerColourIndex[layer] = index;
        if (map_)
            map_->layerColours[layer] = colourTable_[static_cast<std::size_t>(index)];
    }
    RebuildColourMenus();
    if (map_) {
        SetModified(true);
        view_->UpdateScene();
    }
}

} // namespace sundrel::app
