#include "app/shell/MainFormSettings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>

namespace sundrel::app {

namespace {

constexpr const char* kGroup = "MapEditor";

// Sizes beyond this are a damaged value, not a choice.
constexpr float kLargestSize = 1000.0f;

bool ReadSize(QSettings& settings, const char* key, float& into)
{
    const std::optional<float> v = ReadFloat(settings, key);
    if (!v || !(*v > 0.0f && *v <= kLargestSize))
        return false;
    into = *v;
    return true;
}

} // namespace

void PlaceWindow(QWidget& window, const QRect& bounds)
{
    bool visible = false;
    for (const QScreen* screen : QGuiApplication::screens())
        visible = visible || screen->availableGeometry().intersects(bounds);
    window.resize(bounds.size().expandedTo(window.minimumSize()));
    if (visible)
        window.move(bounds.topLeft());
}

std::optional<QRect> WindowBounds(const QWidget& window, const std::optional<QRect>& otherwise)
{
    const QRect normal = window.isMaximized() ? window.normalGeometry() : window.geometry();
    if (!normal.isValid())
        return otherwise;
    return QRect(window.frameGeometry().topLeft(), normal.size());
}

void ReadMainFormSettings(QSettings& settings, MainFormSettings& into)
{
    const MainFormSettings defaults;
    settings.beginGroup(kGroup);

    // Bounds, state and folders: what was read before a failure stays.
    [&] {
        const auto w = ReadInt(settings, "Width");
        const auto h = ReadInt(settings, "Height");
        const auto top = ReadInt(settings, "Top");
        const auto left = ReadInt(settings, "Left");
        if (!w || !h || !top || !left || *w <= 0 || *h <= 0)
            return;
        into.bounds = QRect(*left, *top, *w, *h);
        const auto maximized = ReadInt(settings, "Maximized");
        if (!maximized)
            return;
        into.maximized = *maximized != 0;
        const auto openDir = ReadString(settings, "OpenDir");
        if (!openDir)
            return;
        into.openDir = *openDir;
        const auto openMapDir = ReadString(settings, "OpenMapDir");
        if (!openMapDir)
            return;
        into.openMapDir = *openMapDir;
    }();

    // Colour table base and layer colours.
    [&] {
        const auto base = ReadInt(settings, "ColorTableBase");
        std::array<int, 5> indices{};
        bool ok = base && *base >= 2 && *base <= 6;
        for (int layer = 0; ok && layer < 5; ++layer) {
            const auto index = ReadInt(settings, QString("LayerColor%1").arg(layer));
            ok = index && *index >= 0 && *index < *base * *base * *base;
            if (ok)
                indices[static_cast<std::size_t>(layer)] = *index;
        }
        if (ok) {
            into.colourTableBase = *base;
            into.layerColourIndex = indices;
        } else {
            into.colourTableBase = defaults.colourTableBase;
            into.layerColourIndex = defaults.layerColourIndex;
        }
    }();

    // Label font.
    [&] {
        const auto name = ReadString(settings, "MapFontName");
        const auto size = ReadInt(settings, "MapFontSize");
        const auto style = ReadInt(settings, "MapFontStyle");
        if (name && !name->isEmpty() && size && *size > 0 && *size <= 1000 && style)
            into.font = MapFont{name->toStdString(), *size, *style};
        else
            into.font = defaults.font;
    }();

    // Sizes.
    [&] {
        MainFormSettings read = into;
        if (ReadSize(settings, "OriginalPointSize", read.originalPointSize) &&
            ReadSize(settings, "VirtualPointSize", read.virtualPointSize) &&
            ReadSize(settings, "DelaunayLineSize", read.delaunayLineSize) &&
            ReadSize(settings, "VoronoiLineSize", read.voronoiLineSize)) {
            into.originalPointSize = read.originalPointSize;
            into.virtualPointSize = read.virtualPointSize;
            into.delaunayLineSize = read.delaunayLineSize;
            into.voronoiLineSize = read.voronoiLineSize;
        } else {
            into.originalPointSize = defaults.originalPointSize;
            into.virtualPointSize = defaults.virtualPointSize;
            into.delaunayLineSize = defaults.delaunayLineSize;
            into.voronoiLineSize = defaults.voronoiLineSize;
        }
    }();

    // Active layer and visibility.
    [&] {
        const auto active = ReadInt(settings, "ActiveLayer");
        std::array<bool, 5> visibility{};
        bool ok = active && *active >= -1 && *active < 5;
        for (int layer = 0; ok && layer < 5; ++layer) {
            const auto v = ReadInt(settings, QString("LayerVisibility%1").arg(layer));
            ok = v.has_value();
            if (ok)
                visibility[static_cast<std::size_t>(layer)] = *v != 0;
        }
        if (ok) {
            into.activeLayer = *active;
            into.visibility = visibility;
        } else {
            into.activeLayer = defaults.activeLayer;
            into.visibility = defaults.visibility;
        }
    }();

    settings.endGroup();
}

void WriteMainFormSettings(QSettings& settings, const MainFormSettings& values)
{
    settings.beginGroup(kGroup);
    settings.setValue("Maximized", values.maximized ? 1 : 0);
    if (values.bounds) {
        settings.setValue("Left", values.bounds->left());
        settings.setValue("Top", values.bounds->top());
        settings.setValue("Width", values.bounds->width());
        settings.setValue("Height", values.bounds->height());
    }
    settings.setValue("OpenDir", values.openDir);
    settings.setValue("OpenMapDir", values.openMapDir);
    settings.setValue("ColorTableBase", values.colourTableBase);
    for (int layer = 0; layer < 5; ++layer)
        settings.setValue(QString("LayerColor%1").arg(layer),
                          values.layerColourIndex[static_cast<std::size_t>(layer)]);
    settings.setValue("MapFontName", QString::fromStdString(values.font.name));
    settings.setValue("MapFontSize", values.font.size);
    settings.setValue("MapFontStyle", values.font.style);
    settings.setValue("OriginalPointSize", static_cast<double>(values.originalPointSize));
    settings.setValue("VirtualPointSize", static_cast<double>(values.virtualPointSize));
    settings.setValue("DelaunayLineSize", static_cast<double>(values.delaunayLineSize));
    settings.setValue("VoronoiLineSize", static_cast<double>(values.voronoiLineSize));
    settings.setValue("ActiveLayer", values.activeLayer);
    for (int layer = 0; layer < 5; ++layer)
        settings.setValue(QString("LayerVisibility%1").arg(layer),
                          values.visibility[static_cast<std::size_t>(layer)] ? 1 : 0);
    settings.endGroup();
}

} // namespace sundrel::app
