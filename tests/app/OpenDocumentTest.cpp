// The open document as the only writer of what the user sees: a new map
// takes the styles in force, an opened one brings its own, every change goes
// to the map and to the state the settings keep and is signalled once, and
// closing keeps the styles for the next map.

#include "app/document/OpenDocument.h"
#include "common/ColourTable.h"
#include "model/MMapFactory.h"
#include "support/MapTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace sundrel;
using namespace sundrel::app;

class OpenDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&document_, &TOpenDocument::changed, [this](unsigned what) {
            changes_.push_back(what);
        });
    }

    std::unique_ptr<MMap> NewMap(unsigned seed)
    {
        auto map = test::Create(factory_, test::RandomPoints(30, seed));
        EXPECT_TRUE(map);
        return map;
    }

    // What was signalled since the last call.
    std::vector<unsigned> Changes() { return std::exchange(changes_, {}); }

    MMapFactory factory_;
    TOpenDocument document_{factory_};
    std::vector<unsigned> changes_;
};

TEST_F(OpenDocumentTest, NewMapsTakeTheStylesInForceAndOpenedOnesBringTheirOwn)
{
    DisplayState state;
    state.colourTableBase = 3;
    state.layerColourIndex = {1, 2, 3, 4, 26};
    state.font = MapFont{"DejaVu Sans", 11, 0x10};
    state.originalPointSize = 4.0f;
    state.voronoiLineSize = 2.5f;
    state.activeLayer = 4;
    document_.SetDisplay(state);
    const std::vector<std::uint32_t> table = BuildColourTable(3);

    document_.New(NewMap(1));
    const MMap& made = *document_.Map();
    for (std::size_t layer = 0; layer < 5; ++layer)
        EXPECT_EQ(made.layerColours[layer], table[static_cast<std::size_t>(state.layerColourIndex[layer])]);
    EXPECT_EQ(made.font, state.font);
    EXPECT_EQ(made.originalPointSize, 4.0f);
    EXPECT_EQ(made.voronoiLineWidth, 2.5f);
    EXPECT_EQ(document_.RequestedView(), made.frameBounds);
    const DocumentHeader header = document_.Header();
    EXPECT_EQ(header.activeLayer, 4);
    EXPECT_EQ(header.voronoiLineWidth, 2.5f);

    // An opened document: its sizes, colours, font, active layer and
    // visibility become the state in force.
    std::unique_ptr<MMap> other = NewMap(2);
    other->layerColours[3] = 0x00123456;
    other->font = MapFont{"Courier", 9, 0};
    DocumentHeader read = sundrel::BuildHeader(*other, 2, {1, 0, 1, 1, 0});
    read.delaunayLineWidth = 6.0f;
    document_.Open(std::move(other), read);
    const DisplayState& now = document_.Display();
    EXPECT_EQ(now.delaunayLineSize, 6.0f);
    EXPECT_EQ(now.layerColourIndex[3], NearestColour(table, 0x00123456));
    EXPECT_EQ(now.font, (MapFont{"Courier", 9, 0}));
    EXPECT_EQ(now.activeLayer, 2);
    EXPECT_EQ(now.visibility, (std::array<bool, 5>{true, false, true, true, false}));
    EXPECT_FALSE(document_.LayerVisible(1));

    // Closing keeps them for the settings and the next map.
    document_.Close();
    EXPECT_EQ(document_.Map(), nullptr);
    EXPECT_EQ(document_.Display().delaunayLineSize, 6.0f);
    EXPECT_EQ(document_.Display().font, (MapFont{"Courier", 9, 0}));
}

TEST_F(OpenDocumentTest, EveryChangeGoesToTheMapAndTheStateAndIsSignalledOnce)
{
    document_.New(NewMap(3));
    document_.SetActiveLayer(3);
    Changes();
    struct Case {
        const char* what;
        std::function<bool()> change;
        std::function<bool()> holds;
    };
    const MMap& map = *document_.Map();
    const DisplayState& state = document_.Display();
    const std::vector<Case> cases = {
        {"Delaunay width", [&] { return document_.SetActiveSize(7.0f); },
         [&] { return map.delaunayLineWidth == 7.0f && state.delaunayLineSize == 7.0f; }},
        {"Delaunay colour", [&] { return document_.SetActiveColour(0x00010203); },
         [&] {
             return map.layerColours[3] == 0x00010203u &&
                    state.layerColourIndex[3] == NearestColour(document_.ColourTable(), 0x00010203);
         }},
        {"no font for lines", [&] { return !document_.SetActiveFont(MapFont{"Courier", 20, 0}); },
         [&] { return map.font != (MapFont{"Courier", 20, 0}); }},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(c.change()) << c.what;
        EXPECT_TRUE(c.holds()) << c.what;
        // The same change again changes nothing and says nothing.
        c.change();
        const std::vector<unsigned> changes = Changes();
        EXPECT_LE(changes.size(), 1u) << c.what;
        if (!changes.empty()) {
            EXPECT_EQ(changes.front(), unsigned(TOpenDocument::StyleChange)) << c.what;
        }
    }

    // Eight colours: every layer takes the nearest corner of the cube.
    document_.SetColourTableBase(2);
    const std::vector<std::uint32_t> corners = BuildColourTable(2);
    for (std::size_t layer = 0; layer < 5; ++layer)
        EXPECT_EQ(map.layerColours[layer],
                  corners[static_cast<std::size_t>(state.layerColourIndex[layer])]);
    EXPECT_EQ(Changes(), std::vector<unsigned>{TOpenDocument::ColourTableChange |
                                               TOpenDocument::StyleChange});

    // Visibility and the view are the state's, and signalled as such.
    document_.HideUnactiveLayers();
    for (int layer = 0; layer < 5; ++layer)
        EXPECT_EQ(document_.LayerVisible(layer), layer == 3) << layer;
    MBounds view = map.frameBounds;
    view.xMax -= view.Width() / 2;
    document_.SetRequestedView(view);
    EXPECT_EQ(document_.RequestedView(), view);
    EXPECT_EQ(Changes(), (std::vector<unsigned>{TOpenDocument::VisibilityChange,
                                                TOpenDocument::ViewChange}));
    // Without result layers, a target beyond the map's layers is refused:
    // the virtual points are active, as for any number out of range.
    document_.SetActiveLayer(TOpenDocument::kTitlesTarget);
    EXPECT_EQ(document_.ActiveLayer(), 1);
}

} // namespace
