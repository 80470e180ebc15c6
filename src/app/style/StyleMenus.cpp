#include "app/style/StyleMenus.h"

#include <QActionGroup>
#include <QGridLayout>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <QWidgetAction>

#include <algorithm>
#include <cmath>

namespace sundrel::app {

QColor ToQColor(std::uint32_t colour)
{
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

std::uint32_t FromQColor(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return static_cast<std::uint32_t>(rgb.red()) | static_cast<std::uint32_t>(rgb.green()) << 8 |
           static_cast<std::uint32_t>(rgb.blue()) << 16;
}

QIcon SwatchIcon(std::uint32_t colour, int side)
{
    QPixmap pixmap(side, side);
    pixmap.fill(ToQColor(colour));
    QPainter painter(&pixmap);
    painter.setPen(Qt::darkGray);
    painter.drawRect(0, 0, side - 1, side - 1);
    return QIcon(pixmap);
}

QFont ToQFont(const std::string& name, std::int32_t size, std::int32_t style)
{
    QFont font(QString::fromStdString(name));
    font.setPointSize(std::max(1, size));
    font.setBold((style & 0x1) != 0);
    font.setItalic((style & 0x10) != 0);
    font.setUnderline((style & 0x100) != 0);
    font.setStrikeOut((style & 0x1000) != 0);
    return font;
}

std::int32_t FontStyleBits(const QFont& font)
{
    return (font.bold() ? 0x1 : 0) | (font.italic() ? 0x10 : 0) | (font.underline() ? 0x100 : 0) |
           (font.strikeOut() ? 0x1000 : 0);
}

int SizeEntry(float size)
{
    if (!(size >= 1.0f && size < 21.0f))
        return -1;
    const int s = static_cast<int>(size);
    return s <= 10 ? s - 1 : 9 + (s - 10) / 2;
}

// ------------------------------------------------------------------ colours

TColourMenu::TColourMenu(QWidget* parent) : QMenu(parent)
{
    group_ = new QActionGroup(this);
}

void TColourMenu::SetTable(const std::vector<std::uint32_t>& table, int base)
{
    for (QAction* swatch : swatches_)
        delete swatch;
    swatches_.clear();
    if (gridAction_) {
        removeAction(gridAction_);
        gridAction_->deleteLater();
    }
    grid_ = new QWidget(this);
    auto* layout = new QGridLayout(grid_);
    layout->setSpacing(0);
    layout->setContentsMargins(2, 2, 2, 2);
    const int rows = std::max(1, base * base);
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::uint32_t colour = table[i];
        // Screen readers and the tests know a swatch by its colour.
        auto* swatch = new QAction(SwatchIcon(colour), ToQColor(colour).name(), this);
        swatch->setCheckable(true);
        swatch->setData(static_cast<int>(i));
        group_->addAction(swatch);
        swatches_.push_back(swatch);
        connect(swatch, &QAction::triggered, this, [this, i] {
            close();
            emit swatchChosen(static_cast<int>(i));
        });
        auto* button = new QToolButton(grid_);
        button->setDefaultAction(swatch);
        button->setAutoRaise(true);
        button->setIconSize(QSize(16, 16));
        button->setAccessibleName(swatch->text());
        const int column = static_cast<int>(i) / rows;
        int row = static_cast<int>(i) % rows;
        if (column % 2 == 1)
            row = rows - 1 - row;
        layout->addWidget(button, row, column);
    }
    auto* action = new QWidgetAction(this);
    action->setDefaultWidget(grid_);
    addAction(action);
    gridAction_ = action;
}

void TColourMenu::Check(int index)
{
    if (QAction* swatch = Swatch(index)) {
        swatch->setChecked(true);
        return;
    }
    if (QAction* checked = group_->checkedAction()) {
        group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        checked->setChecked(false);
        group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
}

int TColourMenu::CheckedIndex() const
{
    const QAction* checked = group_->checkedAction();
    return checked ? checked->data().toInt() : -1;
}

QAction* TColourMenu::Swatch(int index) const
{
    return index >= 0 && index < Count() ? swatches_[static_cast<std::size_t>(index)] : nullptr;
}

QWidget* TColourMenu::SwatchButton(int index) const
{
    QAction* swatch = Swatch(index);
    if (!swatch || !grid_)
        return nullptr;
    for (auto* button : grid_->findChildren<QToolButton*>())
        if (button->defaultAction() == swatch)
            return button;
    return nullptr;
}

// -------------------------------------------------------------------- sizes

namespace {

QIcon SizeSample(TSizeMenu::Sample sample, int size)
{
    const int height = 22;
    QPixmap pixmap(48, height);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    if (sample == TSizeMenu::Sample::Line)
        painter.drawRect(QRectF(2, (height - size) / 2.0, 44, size));
    else
        painter.drawEllipse(QPointF(24, height / 2.0), size / 2.0, size / 2.0);
    return QIcon(pixmap);
}

} // namespace

TSizeMenu::TSizeMenu(Sample sample, QWidget* parent) : QMenu(parent)
{
    group_ = new QActionGroup(this);
    for (int size : kMenuSizes) {
        QAction* entry =
            addAction(SizeSample(sample, size), size == 1 ? tr("1 pt") : tr("%1 pts").arg(size));
        entry->setCheckable(true);
        entry->setData(size);
        group_->addAction(entry);
        connect(entry, &QAction::triggered, this,
                [this, size] { emit sizeChosen(static_cast<float>(size)); });
    }
}

void TSizeMenu::Check(float size)
{
    if (QAction* entry = Entry(SizeEntry(size))) {
        entry->setChecked(true);
        return;
    }
    if (QAction* checked = group_->checkedAction()) {
        group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
        checked->setChecked(false);
        group_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    }
}

int TSizeMenu::CheckedEntry() const
{
    const QAction* checked = group_->checkedAction();
    return checked ? actions().indexOf(const_cast<QAction*>(checked)) : -1;
}

} // namespace sundrel::app
