// The main window under a display: the placeholder, the example sundrel
// document with its map and result layers, the view's shape, scrolling and
// reset, failures while reading, and replacing documents.

#include "app/shell/SundrelForm.h"
#include "AppTestSupport.h"
#include "app/view/OpenGLControl.h"
#include "app/view/ScrollingPanel.h"
#include "model/MMapFactory.h"
#include "monmonier/SundrelDocument.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QScrollBar>
#include <QStatusBar>
#include <QSettings>
#include <QStringList>
#include <QThread>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>

namespace {

using namespace sundrel;
using namespace sundrel::app;
using test::LayersComputed;
using test::Settle;
using test::WaitUntil;

const std::filesystem::path kExample = std::filesystem::path(SUNDREL_EXAMPLES_DIR) / "example.dvk";
const std::filesystem::path kScreenshotDir = SUNDREL_SCREENSHOT_DIR;

// Resizes the window until the view has width x height pixels (the scroll
// bars come and go with the view's size).
bool SetViewSize(TMainForm& form, int width, int height)
{
    for (int attempt = 0; attempt < 6 && form.Viewer().View()->size() != QSize(width, height); ++attempt) {
        const QSize window = form.size() + QSize(width, height) - form.Viewer().View()->size();
        form.resize(window);
        WaitUntil([&] { return form.size() == window; }, 3000);
        Settle(100);
    }
    return form.Viewer().View()->size() == QSize(width, height);
}

// The view's framebuffer, freshly rendered, as 0xffRRGGBB pixels.
QImage GrabView(TMainForm& form)
{
    return form.Viewer().View()->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
}

// A document colour (0x00BBGGRR) as a pixel.
QRgb Pixel(std::uint32_t colour)
{
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

int CountPixels(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == colour;
    return count;
}

bool IsGrey(QRgb p)
{
    return qRed(p) == qGreen(p) && qRed(p) == qBlue(p) && (qRed(p) == 127 || qRed(p) == 128);
}

bool HasPixelNear(const QImage& image, QPoint at, QRgb colour, int radius = 1)
{
    for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) {
            const QPoint p = at + QPoint(dx, dy);
            if (image.rect().contains(p) && image.pixel(p) == colour)
                return true;
        }
    return false;
}

// The pixel showing map position (x, y) in a view over `view`.
QPoint ToPixel(const MBounds& view, const QImage& image, double x, double y)
{
    return QPoint(static_cast<int>((x - view.xMin) / view.Width() * image.width()),
                  static_cast<int>((view.yMax - y) / view.Height() * image.height()));
}

// The sites drawn at their places in the original points' colour.
int SitesDrawn(const QImage& image, const MBounds& view, const MMap& map)
{
    int drawn = 0;
    for (const MPolygon& cell : map.cells)
        drawn += HasPixelNear(image, ToPixel(view, image, cell.siteX, cell.siteY),
                              Pixel(map.layerColours[0]));
    return drawn;
}

// A copy of the example document with `edit` applied to its bytes.
std::filesystem::path EditedExample(const std::string& name,
                                    const std::function<void(std::string&)>& edit)
{
    std::ifstream in(kExample, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    edit(bytes);
    const std::filesystem::path path = kScreenshotDir / "app-documents" / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    return path;
}


// Sites left visible under the example's result layers: its thickest
// sundrels may cover a site or two where the window shows the map small.
constexpr int kSitesUnderLayers = 36;
const QRgb kWhite = qRgb(255, 255, 255);

QString ToQString(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QSettings().clear();
        form = std::make_unique<test::Recording<TSundrelForm>>();
        form->show();
        ASSERT_TRUE(WaitUntil([&] { return form->Viewer().View()->Initialized(); }, 20000));
    }

    void OpenExample()
    {
        ASSERT_TRUE(form->OpenDocument(ToQString(kExample)));
        ASSERT_TRUE(WaitUntil([&] { return LayersComputed(*form); }))
            << "the result layers were not read and computed in time";
        Settle();
    }

    bool BarVisible(bool horizontal) const
    {
        TScrollingPanel* panel = form->Viewer().Panel();
        return (horizontal ? panel->HorizontalBar() : panel->VerticalBar())->isVisibleTo(panel);
    }

    void ExpectNoMap()
    {
        EXPECT_EQ(form->Map(), nullptr);
        EXPECT_EQ(form->windowTitle(), "Sundrel");
        EXPECT_EQ(form->Layers().count(), 0);
        EXPECT_FALSE(form->findChild<QAction*>("CloseAction")->isEnabled());
        EXPECT_FALSE(BarVisible(true) || BarVisible(false));
    }

    std::unique_ptr<test::Recording<TSundrelForm>> form;
};

TEST_F(MainWindowTest, WithoutDocumentShowsTheNoMapPlaceholder)
{
    ExpectNoMap();
    const QImage image = GrabView(*form);
    image.save(ToQString(kScreenshotDir / "sundrel-no-map.png"));
    // A white square fills the view, "NO MAP" in (0.9, 0.8, 0.9) at its
    // centre (229.5 rounds either way).
    const auto isText = [](QRgb p) {
        return std::abs(qRed(p) - 229) <= 1 && qGreen(p) == 204 && std::abs(qBlue(p) - 229) <= 1;
    };
    QRect text;
    int stray = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            if (isText(image.pixel(x, y)))
                text |= QRect(x, y, 1, 1);
            else if (image.pixel(x, y) != kWhite)
                ++stray;
        }
    EXPECT_EQ(stray, 0) << "pixels neither white nor the text's colour";
    ASSERT_FALSE(text.isEmpty()) << "\"NO MAP\" is not drawn";
    EXPECT_NEAR(text.center().x(), image.width() / 2, 4);
    EXPECT_GE(text.height(), 10);
    EXPECT_LE(text.bottom(), image.height() / 2 + 2);
}

TEST_F(MainWindowTest, OpensTheExampleWithItsMapAndResultLayers)
{
    OpenExample();
    const MMap& map = *form->Map();
    const double aspect = (map.frameBounds.xMax - map.frameBounds.xMin) /
                          (map.frameBounds.yMax - map.frameBounds.yMin);
    ASSERT_TRUE(SetViewSize(*form, static_cast<int>(500 * aspect + 0.5), 500));
    EXPECT_EQ(form->windowTitle(), "Sundrel - example.dvk");
    EXPECT_EQ(form->Document().RequestedView(), map.frameBounds);
    EXPECT_EQ(form->Viewer().ZoomText(), "100 %");

    const QImage image = GrabView(*form);
    ASSERT_TRUE(image.save(ToQString(kScreenshotDir / "sundrel-window.png")));
    form->grab().save(ToQString(kScreenshotDir / "sundrel-window-full.png"));
    // The frame lies inside the outer bounds: a white ground, no grey; the
    // sites at their places; both result layers in their colours.
    EXPECT_GT(CountPixels(image, kWhite), image.width() * image.height() / 3);
    EXPECT_FALSE(IsGrey(image.pixel(0, 0)));
    EXPECT_GE(SitesDrawn(image, form->Viewer().CurrentView(), map), kSitesUnderLayers);
    ASSERT_EQ(form->Layers().count(), 2);
    for (std::int32_t i = 0; i < 2; ++i)
        EXPECT_GT(CountPixels(image, Pixel(form->Layers().layer(i)->lineColor)), 50)
            << "layer " << i << " is not drawn";
    EXPECT_TRUE(BarVisible(true) && BarVisible(false));
}

TEST_F(MainWindowTest, WiderWindowShowsMoreMapLeftAndRightWithoutDistortion)
{
    OpenExample();
    ASSERT_TRUE(SetViewSize(*form, 500, 420));
    const MBounds before = form->Viewer().CurrentView();
    ASSERT_TRUE(SetViewSize(*form, 1000, 420));
    const MBounds after = form->Viewer().CurrentView();
    const render::ViewParameters& screen = form->Viewer().View()->Primitives().screen;

    EXPECT_EQ(after.yMax, before.yMax);
    EXPECT_EQ(after.yMin, before.yMin);
    EXPECT_NEAR(after.Width(), 2 * before.Width(), 1e-9);
    EXPECT_NEAR(after.xMin + after.xMax, before.xMin + before.xMax, 1e-9);
    // One pixel is as many map units across as down.
    EXPECT_NEAR(screen.scale, after.Width() / 1000.0, 1e-15);
    EXPECT_NEAR(screen.scale, after.Height() / 420.0, 1e-12);
    EXPECT_EQ(screen.resolution, form->Viewer().View()->logicalDpiY());
    const QImage image = GrabView(*form);
    ASSERT_EQ(image.size(), QSize(1000, 420));
    EXPECT_GE(SitesDrawn(image, after, *form->Map()), kSitesUnderLayers);
}

TEST_F(MainWindowTest, VeryWideWindowShowsGreyBesideTheOuterBounds)
{
    form->setMinimumSize(0, 0); // a strip much wider than the map
    OpenExample();
    ASSERT_TRUE(SetViewSize(*form, 1000, 200));
    const MBounds view = form->Viewer().CurrentView();
    const MBounds& outer = form->Map()->outerBounds;
    const QImage image = GrabView(*form);
    image.save(ToQString(kScreenshotDir / "sundrel-wide.png"));

    const int row = image.height() / 2;
    const int left = ToPixel(view, image, outer.xMin, 0).x();
    const int right = ToPixel(view, image, outer.xMax, 0).x();
    ASSERT_GT(left, 10);
    int colour = 0;
    for (int x = 0; x < image.width(); ++x)
        colour += (x < left - 2 || x > right + 2) && !IsGrey(image.pixel(x, row));
    EXPECT_EQ(colour, 0) << "pixels beside the outer bounds that are not grey";
    EXPECT_TRUE(HasPixelNear(image, QPoint(left, row), qRgb(0, 0, 0), 2)) << "no outline";
    EXPECT_TRUE(HasPixelNear(image, QPoint(right, row), qRgb(0, 0, 0), 2)) << "no outline";
    EXPECT_GE(SitesDrawn(image, view, *form->Map()), kSitesUnderLayers);
    // Nothing to scroll across; up and down there is.
    EXPECT_FALSE(BarVisible(true));
    EXPECT_TRUE(BarVisible(false));
}

TEST_F(MainWindowTest, ScrollingMovesTheViewAndResetZoomRestoresTheFrame)
{
    OpenExample();
    ASSERT_TRUE(SetViewSize(*form, 500, 420));
    const MBounds start = form->Viewer().CurrentView();
    const MBounds& outer = form->Map()->outerBounds;
    QScrollBar* horizontal = form->Viewer().Panel()->HorizontalBar();
    QScrollBar* vertical = form->Viewer().Panel()->VerticalBar();
    const double unitY = (outer.yMax - outer.yMin) / 10000;

    // To the far left and to the bottom: the view's edge on the area's
    // (within one scroll unit), its size kept.
    horizontal->setValue(0);
    EXPECT_NEAR(form->Viewer().CurrentView().xMin, outer.xMin, 1e-9);
    vertical->setValue(vertical->maximum());
    EXPECT_NEAR(form->Viewer().CurrentView().yMin, outer.yMin, unitY);
    EXPECT_NEAR(form->Viewer().CurrentView().Width(), start.Width(), 1e-9);
    EXPECT_NEAR(form->Viewer().CurrentView().Height(), start.Height(), 1e-9);
    EXPECT_EQ(horizontal->value(), 0);
    EXPECT_EQ(vertical->value(), vertical->maximum());

    // The wheel, over the view or the panel, moves the vertical bar by one
    // small change (the bar then shows the view's place, truncated).
    vertical->setValue(5000);
    const double top = form->Viewer().CurrentView().yMax;
    const int step = vertical->singleStep();
    auto wheel = [&](QWidget* target, int delta) {
        QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(target, &event);
    };
    wheel(form->Viewer().View(), -120);
    EXPECT_NEAR(vertical->value(), 5000 + step, 1);
    EXPECT_NEAR(form->Viewer().CurrentView().yMax, top - step * unitY, 1e-9);
    const int below = vertical->value();
    wheel(form->Viewer().Panel(), 120);
    EXPECT_NEAR(vertical->value(), below - step, 1);

    // The status bar's panels read as they show.
    form->Viewer().ZoomInAction()->trigger();
    EXPECT_NE(form->Viewer().ZoomText(), "100 %");
    test::ExpectAccessible(form->statusBar());

    form->Viewer().ResetZoomAction()->trigger();
    EXPECT_EQ(form->Document().RequestedView(), form->Map()->frameBounds);
    EXPECT_EQ(form->Viewer().CurrentView(), start);
    EXPECT_EQ(form->Viewer().ZoomText(), "100 %");
}

// Failures while reading: the system's message, and the document open
// before stays open as it was.
struct BrokenDocument {
    const char* name;
    std::function<void(std::string&)> edit; // none: the file is missing
    const char* message;
    const char* reason = nullptr;           // the system's reason, when a file is at fault
    const char* special = nullptr;          // "fifo", or a device's path
};

class DocumentFailureTest : public MainWindowTest,
                            public ::testing::WithParamInterface<BrokenDocument> {};

TEST_P(DocumentFailureTest, ShowsTheMessageAndKeepsTheOpenDocument)
{
    const BrokenDocument& broken = GetParam();
    std::filesystem::path path = broken.edit ? EditedExample(broken.name, broken.edit)
                                             : kScreenshotDir / "app-documents" / "none.dvk";
    if (broken.special && std::string(broken.special) == "fifo") {
        // Opening a FIFO would wait for a writer: the window would freeze.
        path = kScreenshotDir / "app-documents" / "pipe.dvk";
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    } else if (broken.special) {
        path = broken.special;
    }
    // Without a document open, the window stays without a map.
    EXPECT_FALSE(form->OpenDocument(ToQString(path)));
    ASSERT_EQ(form->errors.size(), 1);
    EXPECT_EQ(form->errors.front().toStdString(), broken.message);
    // The detail names the file and says why.
    EXPECT_EQ(form->details.front().toStdString(),
              broken.reason ? path.string() + " (" + broken.reason + ")" : std::string());
    ExpectNoMap();
    EXPECT_EQ(GrabView(*form).pixel(0, 0), kWhite); // the placeholder

    OpenExample();
    const MMap* open = form->Map();
    EXPECT_FALSE(form->OpenDocument(ToQString(path)));
    ASSERT_EQ(form->errors.size(), 2);
    EXPECT_EQ(form->errors.back().toStdString(), broken.message);
    Settle();
    EXPECT_EQ(form->Map(), open);
    EXPECT_EQ(form->windowTitle(), "Sundrel - example.dvk");
    EXPECT_EQ(form->Layers().count(), 2);
    EXPECT_GE(SitesDrawn(GrabView(*form), form->Viewer().CurrentView(), *form->Map()), kSitesUnderLayers);
}

INSTANTIATE_TEST_SUITE_P(
    Documents, DocumentFailureTest,
    ::testing::Values(
        BrokenDocument{"Missing", nullptr, "Impossible to open the file", "No such file or directory"},
        BrokenDocument{"Fifo", nullptr, "Impossible to open the file", "not a regular file", "fifo"},
        BrokenDocument{"Device", nullptr, "Impossible to open the file", "not a regular file",
                       "/dev/zero"},
        BrokenDocument{"ShortHeader", [](std::string& b) { b.resize(100); }, "File reading error"},
        BrokenDocument{"NotADocument", [](std::string& b) { b.assign(300, 'x'); },
                       "Unrecognized file format"}),
    [](const ::testing::TestParamInfo<BrokenDocument>& info) { return info.param.name; });

TEST_F(MainWindowTest, UnreadableResultLayersLeaveTheMapOpenWithoutThem)
{
    // The layers' part starts right after the 280-byte header with "MH ".
    const std::filesystem::path broken =
        EditedExample("layers.dvk", [](std::string& b) { b.replace(280, 3, "XX "); });
    ASSERT_TRUE(form->OpenDocument(ToQString(broken)));
    ASSERT_TRUE(WaitUntil([&] { return !form->errors.isEmpty(); }));
    const std::string message = form->errors.front().toStdString();
    EXPECT_TRUE(message.starts_with("An error occured while reading file :\n" + broken.string() +
                                    "\nError : "))
        << message;
    EXPECT_TRUE(message.ends_with("\nMonmonier data will be ignored.")) << message;
    Settle();
    EXPECT_EQ(form->errors.size(), 1);
    ASSERT_NE(form->Map(), nullptr);
    EXPECT_EQ(form->windowTitle(), "Sundrel - layers.dvk");
    EXPECT_EQ(form->Layers().count(), 0);
    EXPECT_FALSE(form->Layers().awaitingAcknowledge());
    // The layers still know the map, for the next analysis.
    EXPECT_EQ(form->Layers().populationCount(), 40);
    EXPECT_EQ(SitesDrawn(GrabView(*form), form->Viewer().CurrentView(), *form->Map()), 40);
}

TEST_F(MainWindowTest, OpeningAnotherDocumentDropsTheLayersStillBeingRead)
{
    // The example's map alone, as a triangulation document.
    const std::filesystem::path triangulation = kScreenshotDir / "app-documents" / "example.dvt";
    {
        std::filesystem::create_directories(triangulation.parent_path());
        MMapFactory factory;
        LoadedDocument doc = LoadMapDocument(kExample, factory);
        ExportTriangulation(triangulation, BuildHeader(*doc.map), *doc.map, factory);
    }
    // No event is handled between the two: the first document's layers are
    // still on their way when the second replaces it.
    ASSERT_TRUE(form->OpenDocument(ToQString(kExample)));
    ASSERT_TRUE(form->OpenDocument(ToQString(triangulation)));
    Settle(500);
    EXPECT_TRUE(form->errors.isEmpty());
    EXPECT_EQ(form->windowTitle(), "Sundrel - example.dvt");
    EXPECT_EQ(form->Layers().count(), 0);
    EXPECT_FALSE(form->Layers().awaitingAcknowledge());
    EXPECT_EQ(SitesDrawn(GrabView(*form), form->Viewer().CurrentView(), *form->Map()), 40);

    OpenExample(); // and back, with its layers
    EXPECT_EQ(form->Layers().count(), 2);
    form->findChild<QAction*>("CloseAction")->trigger();
    Settle();
    ExpectNoMap();
}

TEST_F(MainWindowTest, ViewControlPacesFramesByItsRate)
{
    TOpenGLControl& view = *form->Viewer().View();
    EXPECT_EQ(view.TimerInterval(), 200); // 5 frames per second
    view.SetFps(0);
    EXPECT_EQ(view.Fps(), 1);
    EXPECT_EQ(view.TimerInterval(), 1000);
    EXPECT_EQ(TOpenGLControl::FpsToMs(2000), 1);
    view.SetFps(50);
    view.UpdateScene();
    EXPECT_TRUE(WaitUntil([&] { return view.getFrameRate() > 0.0; }, 5000));
}

} // namespace
