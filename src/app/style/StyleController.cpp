#include "app/style/StyleController.h"

#include "app/document/OpenDocument.h"
#include "app/style/StyleMenus.h"

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

TStyleController::TStyleController(TOpenDocument& document, QWidget* window)
    : QObject(window), document_(document), bar_(new QToolBar(tr("Styles"), window)),
      colourMenu_(new TColourMenu(window)), colourOptions_(new QMenu(window)),
      lineSizeMenu_(new TSizeMenu(TSizeMenu::Sample::Line, window)),
      pointSizeMenu_(new TSizeMenu(TSizeMenu::Sample::Point, window))
{
    bar_->setObjectName("Styles");
    bar_->setIconSize(QSize(16, 16));
    const auto button = [this](const QString& caption) {
        auto* tool = new QToolButton(bar_);
        tool->setText(caption);
        tool->setAccessibleName(caption);
        tool->setToolTip(caption);
        tool->setAutoRaise(true);
        tool->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        bar_->addWidget(tool);
        return tool;
    };

    connect(colourMenu_, &TColourMenu::swatchChosen, this, &TStyleController::ChooseSwatch);
    colourButton_ = button(tr("Color"));
    colourButton_->setMenu(colourMenu_);
    colourButton_->setPopupMode(QToolButton::InstantPopup);
    // The right button offers the colour table's size and the colour dialog.
    lessColours_ = colourOptions_->addMenu(tr("Less colors"));
    moreColours_ = colourOptions_->addMenu(tr("More colors"));
    colourOptions_->addAction(tr("Other color..."), this, &TStyleController::OtherColourCommand);
    colourButton_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(colourButton_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        colourOptions_->popup(colourButton_->mapToGlobal(at));
    });

    lineSizeButton_ = button(tr("Line size"));
    lineSizeButton_->setMenu(lineSizeMenu_);
    lineSizeButton_->setPopupMode(QToolButton::InstantPopup);
    pointSizeButton_ = button(tr("Point size"));
    pointSizeButton_->setMenu(pointSizeMenu_);
    pointSizeButton_->setPopupMode(QToolButton::InstantPopup);
    for (TSizeMenu* menu : {lineSizeMenu_, pointSizeMenu_})
        connect(menu, &TSizeMenu::sizeChosen, this, &TStyleController::ChooseSize);
    fontButton_ = button(tr("Font"));
    connect(fontButton_, &QToolButton::clicked, this, &TStyleController::ChooseFontCommand);

    for (QMenu* menu : {static_cast<QMenu*>(colourMenu_), static_cast<QMenu*>(lineSizeMenu_),
                        static_cast<QMenu*>(pointSizeMenu_)})
        connect(menu, &QMenu::aboutToShow, this, &TStyleController::UpdatePropertyButtons);
    connect(&document_, &TOpenDocument::changed, this, &TStyleController::DocumentChanged);
    RebuildColourMenus();
}

void TStyleController::MatchHeight(const QWidget* button)
{
    if (!button)
        return;
    for (QToolButton* tool : {colourButton_, lineSizeButton_, pointSizeButton_, fontButton_})
        tool->setMaximumHeight(button->sizeHint().height());
}

void TStyleController::DocumentChanged(unsigned what)
{
    if (what & TOpenDocument::ColourTableChange)
        RebuildColourMenus();
    else if (what & (TOpenDocument::MapChange | TOpenDocument::StyleChange |
                     TOpenDocument::ActiveLayerChange | TOpenDocument::LayersChange))
        UpdatePropertyButtons();
}

void TStyleController::RebuildColourMenus()
{
    const int base = document_.ColourTableBase();
    colourMenu_->SetTable(document_.ColourTable(), base);
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

void TStyleController::UpdatePropertyButtons()
{
    const TargetStyle style = document_.ActiveStyle();
    colourButton_->setEnabled(style.colour);
    if (style.colour) {
        colourButton_->setIcon(SwatchIcon(style.colourValue));
        colourMenu_->Check(NearestColour(document_.ColourTable(), style.colourValue));
    } else {
        colourMenu_->Check(-1);
    }
    lineSizeButton_->setEnabled(style.lineSize);
    lineSizeMenu_->Check(style.lineSize ? style.size : 0.0f);
    pointSizeButton_->setEnabled(style.pointSize);
    pointSizeMenu_->Check(style.pointSize ? style.size : 0.0f);
    fontButton_->setEnabled(style.font);
}

void TStyleController::StyleChanged(bool changed)
{
    if (changed)
        document_.SetModified(true);
    UpdatePropertyButtons();
}

void TStyleController::ChooseSwatch(int index)
{
    const std::vector<std::uint32_t>& table = document_.ColourTable();
    if (index < 0 || static_cast<std::size_t>(index) >= table.size())
        return;
    StyleChanged(document_.SetActiveColour(table[static_cast<std::size_t>(index)]));
}

void TStyleController::ChooseSize(float size)
{
    StyleChanged(document_.SetActiveSize(size));
}

void TStyleController::OtherColourCommand()
{
    const TargetStyle style = document_.ActiveStyle();
    if (!style.colour)
        return;
    QColorDialog dialog(ToQColor(style.colourValue), colourButton_->window());
    dialog.setObjectName("ColorDialog");
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    StyleChanged(document_.SetActiveColour(FromQColor(dialog.selectedColor())));
}

void TStyleController::ChooseFontCommand()
{
    const TargetStyle style = document_.ActiveStyle();
    if (!style.font)
        return;
    const MapFont& present = style.fontValue;
    QFontDialog dialog(ToQFont(present.name, present.size, present.style),
                       fontButton_->window());
    dialog.setObjectName("FontDialog");
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QFont chosen = dialog.selectedFont();
    const int size = chosen.pointSize() > 0 ? chosen.pointSize() : present.size;
    StyleChanged(
        document_.SetActiveFont(MapFont{chosen.family().toStdString(), size, FontStyleBits(chosen)}));
}

void TStyleController::ChangeColourBase(int base)
{
    if (base < 2 || base > 6 || base == document_.ColourTableBase())
        return;
    document_.SetColourTableBase(base);
    if (document_.Map())
        document_.SetModified(true);
}

} // namespace sundrel::app
