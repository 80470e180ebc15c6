#pragma once
// The style menus of the layer tool bar: the colour table as a grid of
// swatches, and the size menus with a sample of each size. Also the
// conversions between document colours and fonts and Qt's.

#include <QColor>
#include <QFont>
#include <QIcon>
#include <QMenu>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

class QActionGroup;

namespace sundrel::app {

// Document colours are 0x00BBGGRR.
QColor ToQColor(std::uint32_t colour);
std::uint32_t FromQColor(const QColor& colour);
// A square of the colour with a dark outline.
QIcon SwatchIcon(std::uint32_t colour, int side = 16);

// Document fonts: a face, a size in points and style bits (0x1 bold, 0x10
// italic, 0x100 underline, 0x1000 strikeout).
QFont ToQFont(const std::string& name, std::int32_t size, std::int32_t style);
std::int32_t FontStyleBits(const QFont& font);

// The sizes the size menus offer, in points, in menu order.
inline constexpr std::array<int, 15> kMenuSizes = {1, 2,  3,  4,  5,  6,  7, 8,
                                                   9, 10, 12, 14, 16, 18, 20};
// The menu entry of a size (truncated to whole points): s - 1 up to 10,
// 9 + (s - 10) / 2 above; -1 when the menu has no entry for it.
int SizeEntry(float size);

// The swatches of a colour table, n columns of n^2 (one per blue level),
// every second column upwards, so that neighbours differ in one channel.
// A swatch's position is its table index.
class TColourMenu : public QMenu {
    Q_OBJECT

public:
    explicit TColourMenu(QWidget* parent = nullptr);

    void SetTable(const std::vector<std::uint32_t>& table, int base);
    // Checks the swatch at `index` (none when out of range).
    void Check(int index);
    int CheckedIndex() const;
    QAction* Swatch(int index) const;
    int Count() const { return static_cast<int>(swatches_.size()); }
    // The button of a swatch in the grid.
    QWidget* SwatchButton(int index) const;

signals:
    void swatchChosen(int index);

private:
    QWidget* grid_ = nullptr;
    QAction* gridAction_ = nullptr;
    QActionGroup* group_ = nullptr;
    std::vector<QAction*> swatches_;
};

// "1 pt" ... "20 pts", each with a line (or a disk) of its size.
class TSizeMenu : public QMenu {
    Q_OBJECT

public:
    enum class Sample { Line, Point };
    TSizeMenu(Sample sample, QWidget* parent = nullptr);

    // Checks the entry of `size` (none without one).
    void Check(float size);
    int CheckedEntry() const;
    QAction* Entry(int entry) const { return actions().value(entry); }

signals:
    void sizeChosen(float size);

private:
    QActionGroup* group_;
};

} // namespace sundrel::app
