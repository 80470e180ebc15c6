#pragma once
// The property buttons of the active layer or style target: colour (the
// colour table's swatches, its base and the colour dialog), point size, line
// size and font. A choice goes to the document, which marks what it changed;
// the buttons show what the document has in force.

#include <QObject>

#include <cstdint>

class QMenu;
class QToolBar;
class QToolButton;
class QWidget;

namespace sundrel::app {

class TColourMenu;
class TOpenDocument;
class TSizeMenu;

class TStyleController : public QObject {
    Q_OBJECT

public:
    TStyleController(TOpenDocument& document, QWidget* window);

    // The buttons no higher than `button` (one of the layer bar's), so that
    // the bars, and so the view, keep their size.
    void MatchHeight(const QWidget* button);

    QToolBar* StyleBar() const { return bar_; }
    QToolButton* ColourButton() const { return colourButton_; }
    QToolButton* LineSizeButton() const { return lineSizeButton_; }
    QToolButton* PointSizeButton() const { return pointSizeButton_; }
    QToolButton* FontButton() const { return fontButton_; }
    TColourMenu* ColourMenu() const { return colourMenu_; }
    // The colour button's right-click menu: "Less colors", "More colors",
    // "Other color...".
    QMenu* ColourOptionsMenu() const { return colourOptions_; }
    TSizeMenu* LineSizeMenu() const { return lineSizeMenu_; }
    TSizeMenu* PointSizeMenu() const { return pointSizeMenu_; }

    // The style commands on the active target; each marks the document
    // modified when it changed something.
    void ChooseSwatch(int index);
    void ChooseSize(float size);
    void OtherColourCommand();
    void ChooseFontCommand();
    // A new colour table; every map layer's colour becomes the nearest one
    // of it.
    void ChangeColourBase(int base);

private:
    void DocumentChanged(unsigned what);
    // The swatches and the base options for the present colour table.
    void RebuildColourMenus();
    void UpdatePropertyButtons();
    void StyleChanged(bool changed);

    TOpenDocument& document_;
    QToolBar* bar_;
    QToolButton* colourButton_ = nullptr;
    QToolButton* lineSizeButton_ = nullptr;
    QToolButton* pointSizeButton_ = nullptr;
    QToolButton* fontButton_ = nullptr;
    TColourMenu* colourMenu_;
    QMenu* colourOptions_;
    QMenu* lessColours_;
    QMenu* moreColours_;
    TSizeMenu* lineSizeMenu_;
    TSizeMenu* pointSizeMenu_;
};

} // namespace sundrel::app
