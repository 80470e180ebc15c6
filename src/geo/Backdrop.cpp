#include "geo/Backdrop.h"

#include "common/Errors.h"
#include "geo/CoordinateSystem.h"
#include "geo/GdalSupport.h"
#include "geo/Messages.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace sundrel::geo {

// ------------------------------------------------------------------ the list

std::optional<std::uint32_t> ParseColour(const std::string& text)
{
    if (text.size() != 7 || text[0] != '#')
        return std::nullopt;
    std::uint32_t rgb = 0;
    const auto [end, ec] = std::from_chars(text.data() + 1, text.data() + 7, rgb, 16);
    if (ec != std::errc() || end != text.data() + 7)
        return std::nullopt;
    const std::uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
    return r | (g << 8) | (b << 16);
}

std::string FormatColour(std::uint32_t colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour & 0xFF, (colour >> 8) & 0xFF,
                  (colour >> 16) & 0xFF);
    return text;
}

namespace {

std::string Size(float v)
{
    char text[32];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    return ec == std::errc() ? std::string(text, end) : std::string("1");
}

std::optional<float> ParseSize(const std::string& text)
{
    float v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v) || v < 0 ||
        v > 1000)
        return std::nullopt;
    return v;
}

} // namespace

std::string FormatBackdropList(const std::vector<BackdropEntry>& list,
                               const std::filesystem::path& folder)
{
    std::string text = "# Sundrel backdrops, drawn in this order beneath the map\n";
    for (const BackdropEntry& e : list) {
        const BackdropStyle& s = e.style;
        std::filesystem::path file = e.file.lexically_normal();
        const std::filesystem::path relative =
            folder.empty() ? std::filesystem::path() : file.lexically_relative(folder.lexically_normal());
        if (!relative.empty() && *relative.begin() != "..")
            file = relative;
        const std::string name = file.string();
        // The name runs to the line end, so it cannot hold a line feed.
        if (name.find('\n') != std::string::npos)
            throw Error(msg::BackdropNameWithLineBreak(name));
        // The reader takes one carriage return before the line feed as part
        // of the line end; a name ending in one keeps it behind a second.
        const char* end = !name.empty() && name.back() == '\r' ? "\r\n" : "\n";
        text += std::string("visible=") + (s.visible ? "1" : "0") + " line=" +
                FormatColour(s.lineColour) + " size=" + Size(s.lineSize) +
                " fill=" + (s.filled ? FormatColour(s.fillColour) : std::string("none")) +
                " point=" + Size(s.pointSize) + " file=" + name + end;
    }
    return text;
}

std::vector<BackdropEntry> ParseBackdropList(const std::string& text,
                                             const std::filesystem::path& folder,
                                             const std::string& source,
                                             std::vector<std::string>* warnings)
{
    std::vector<BackdropEntry> list;
    std::istringstream in(text);
    std::string line;
    std::int64_t number = 0;
    auto warn = [&](const std::string& reason) {
        if (warnings)
            warnings->push_back(msg::BackdropListUnreadable(source, number, reason));
    };
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const std::size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#')
            continue;
        // The key "file=" starts a field ("profile=" is another key).
        std::size_t fileAt = line.find("file=");
        while (fileAt != std::string::npos && fileAt > 0 &&
               !std::isspace(static_cast<unsigned char>(line[fileAt - 1])))
            fileAt = line.find("file=", fileAt + 1);
        if (fileAt == std::string::npos || fileAt + 5 >= line.size()) {
            warn("no file=");
            continue;
        }
        BackdropEntry e;
        std::istringstream fields(line.substr(0, fileAt));
        std::string field;
        bool ok = true;
        while (ok && fields >> field) {
            const std::size_t eq = field.find('=');
            const std::string key = field.substr(0, eq);
            const std::string value = eq == std::string::npos ? "" : field.substr(eq + 1);
            if (key == "visible") {
                ok = value == "0" || value == "1";
                e.style.visible = value == "1";
            } else if (key == "line" || (key == "fill" && value != "none")) {
                const auto colour = ParseColour(value);
                ok = colour.has_value();
                (key == "line" ? e.style.lineColour : e.style.fillColour) = colour.value_or(0);
                if (key == "fill")
                    e.style.filled = true;
            } else if (key == "fill") {
                e.style.filled = false;
            } else if (key == "size" || key == "point") {
                const auto size = ParseSize(value);
                ok = size.has_value();
                (key == "size" ? e.style.lineSize : e.style.pointSize) = size.value_or(0);
            }
            if (!ok)
                warn("'" + field + "'");
        }
        if (!ok)
            continue;
        // Unfilled polygons have no fill colour to keep: the list writes
        // "fill=none", so the same list reads back.
        if (!e.style.filled)
            e.style.fillColour = BackdropStyle().fillColour;
        const std::filesystem::path file = line.substr(fileAt + 5);
        e.file = (file.is_absolute() ? file : folder / file).lexically_normal();
        list.push_back(std::move(e));
    }
    return list;
}

// -------------------------------------------------------------- the geometry

std::size_t BackdropGeometry::RingCount(std::size_t polygon) const
{
    const std::size_t end = polygon + 1 < polygons.size() ? polygons[polygon + 1] : rings.size();
    return end - polygons[polygon];
}

namespace {

// Takes OGR geometries apart into the backdrop's parts, reprojecting their
// vertices when a transformation is given.
class Collector {
public:
    Collector(BackdropGeometry& out, OGRCoordinateTransformation* ct) : out_(out), ct_(ct) {}

    void Add(const OGRGeometry* g)
    {
        if (!g || g->IsEmpty())
            return;
        switch (wkbFlatten(g->getGeometryType())) {
        case wkbPoint: {
            const auto* p = g->toPoint();
            std::vector<MXY> one{{p->getX(), p->getY()}};
            if (Transform(one))
                out_.points.push_back(one[0]);
            break;
        }
        case wkbLineString:
        case wkbLinearRing:
            AddLine(Vertices(g->toSimpleCurve()));
            break;
        case wkbPolygon:
            AddPolygon(g->toPolygon());
            break;
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection:
        case wkbMultiCurve:
        case wkbMultiSurface:
            for (const OGRGeometry* part : *g->toGeometryCollection())
                Add(part);
            break;
        default:
            // Curves and surfaces of other kinds: as line strings and polygons.
            if (g->hasCurveGeometry(TRUE)) {
                std::unique_ptr<OGRGeometry> linear(g->getLinearGeometry());
                if (linear && !linear->hasCurveGeometry(TRUE))
                    Add(linear.get());
            }
            break;
        }
    }

private:
    static std::vector<MXY> Vertices(const OGRSimpleCurve* curve)
    {
        std::vector<MXY> v(static_cast<std::size_t>(curve->getNumPoints()));
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = {curve->getX(static_cast<int>(i)), curve->getY(static_cast<int>(i))};
        return v;
    }

    // True when every vertex could be reprojected; the others become
    // infinite.
    bool Transform(std::vector<MXY>& v)
    {
        bool all = true;
        for (MXY& p : v)
            all = all && std::isfinite(p.x) && std::isfinite(p.y);
        if (ct_ && !v.empty()) {
            xs_.resize(v.size());
            ys_.resize(v.size());
            ok_.assign(v.size(), FALSE);
            for (std::size_t i = 0; i < v.size(); ++i) {
                xs_[i] = v[i].x;
                ys_[i] = v[i].y;
            }
            ct_->Transform(v.size(), xs_.data(), ys_.data(), nullptr, nullptr, ok_.data());
            for (std::size_t i = 0; i < v.size(); ++i) {
                v[i] = {xs_[i], ys_[i]};
                if (!ok_[i] || !std::isfinite(xs_[i]) || !std::isfinite(ys_[i])) {
                    v[i] = {HUGE_VAL, HUGE_VAL};
                    all = false;
                }
            }
        }
        if (!all)
            for (MXY& p : v)
                if (!std::isfinite(p.x) || !std::isfinite(p.y))
                    p = {HUGE_VAL, HUGE_VAL};
        return all;
    }

    static bool Finite(const MXY& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

    // Runs of at least two good vertices become lines.
    void AddRuns(const std::vector<MXY>& v)
    {
        std::size_t k = 0;
        while (k < v.size()) {
            while (k < v.size() && !Finite(v[k]))
                ++k;
            const std::size_t start = k;
            while (k < v.size() && Finite(v[k]))
                ++k;
            if (k - start >= 2) {
                out_.lines.push_back({out_.vertices.size(), k - start});
                out_.vertices.insert(out_.vertices.end(), v.begin() + static_cast<std::ptrdiff_t>(start),
                                     v.begin() + static_cast<std::ptrdiff_t>(k));
            }
        }
    }

    void AddLine(std::vector<MXY> v)
    {
        Transform(v);
        AddRuns(v);
    }

    void AddPolygon(const OGRPolygon* polygon)
    {
        std::vector<std::vector<MXY>> rings;
        bool all = true;
        for (const OGRLinearRing* ring : *polygon) {
            std::vector<MXY> v = Vertices(ring);
            all = Transform(v) && all;
            rings.push_back(std::move(v));
        }
        if (!all) {
            // Unfilled: the outlines of what could be reprojected.
            for (std::vector<MXY>& v : rings) {
                if (!v.empty())
                    v.push_back(v.front());
                AddRuns(v);
            }
            return;
        }
        const std::size_t firstRing = out_.rings.size();
        for (std::vector<MXY>& v : rings) {
            while (v.size() > 1 && v.back() == v.front())
                v.pop_back();
            if (v.size() < 3)
                continue;
            out_.rings.push_back({out_.vertices.size(), v.size()});
            out_.vertices.insert(out_.vertices.end(), v.begin(), v.end());
        }
        if (out_.rings.size() > firstRing)
            out_.polygons.push_back(firstRing);
    }

    BackdropGeometry& out_;
    OGRCoordinateTransformation* ct_;
    std::vector<double> xs_, ys_;
    std::vector<int> ok_;
};

void ComputeBounds(BackdropGeometry& g)
{
    bool any = false;
    MBounds b;
    auto add = [&](const MXY& p) {
        if (!any) {
            b = {p.x, p.x, p.y, p.y};
            any = true;
            return;
        }
        b.xMin = std::min(b.xMin, p.x);
        b.xMax = std::max(b.xMax, p.x);
        b.yMin = std::min(b.yMin, p.y);
        b.yMax = std::max(b.yMax, p.y);
    };
    for (const MXY& p : g.vertices)
        add(p);
    for (const MXY& p : g.points)
        add(p);
    g.bounds = b;
}

} // namespace

LoadedBackdrop LoadBackdrop(const std::filesystem::path& file, const CoordinateSystem* mapCrs,
                            const MBounds* area)
{
    EnsureGdal();
    GdalErrors errors;
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status))
        throw Error(msg::BackdropUnreadable(file.string(), SystemReason(ENOENT)));
    // A folder may hold a vector data set; a FIFO or a device would block
    // or never end.
    if (!std::filesystem::is_directory(status) && !std::filesystem::is_regular_file(status))
        throw Error(msg::BackdropUnreadable(file.string(), "not a regular file"));
    DatasetPtr dataset(GDALDataset::Open(file.string().c_str(), GDAL_OF_VECTOR | GDAL_OF_READONLY));
    if (!dataset)
        throw Error(msg::BackdropUnreadable(file.string(),
                                            errors.Reason("not a vector file OGR reads")));
    if (dataset->GetLayerCount() == 0)
        throw Error(msg::BackdropUnreadable(file.string(), "no vector layer"));

    LoadedBackdrop loaded;
    std::optional<OGRSpatialReference> target;
    if (mapCrs)
        target = SpatialReference(*mapCrs);
    for (OGRLayer* layer : dataset->GetLayers()) {
        TransformationPtr ct;
        const OGRSpatialReference* own = layer->GetSpatialRef();
        loaded.ownCrs = loaded.ownCrs || own;
        if (own && target) {
            ct = MakeTransformation(*own, *target);
            loaded.reprojected = true;
        }
        if (area) {
            // Near the map: the area grown by its own size on every side.
            const double w = area->xMax - area->xMin, h = area->yMax - area->yMin;
            const MBounds near{area->xMin - w, area->xMax + w, area->yMin - h, area->yMax + h};
            if (!ct) {
                layer->SetSpatialFilterRect(near.xMin, near.yMin, near.xMax, near.yMax);
            } else {
                TransformationPtr back = MakeTransformation(*target, *own);
                double x0, y0, x1, y1;
                // A filter only where the area maps onto one box of the
                // backdrop's system (not across its antimeridian).
                if (back->TransformBounds(near.xMin, near.yMin, near.xMax, near.yMax, &x0, &y0,
                                          &x1, &y1, 21) &&
                    x0 < x1 && y0 < y1)
                    layer->SetSpatialFilterRect(x0, y0, x1, y1);
            }
        }
        Collector collect(loaded.geometry, ct.get());
        layer->ResetReading();
        for (const auto& feature : *layer)
            collect.Add(feature->GetGeometryRef());
        if (errors.Reason("").size() && CPLGetLastErrorType() >= CE_Failure)
            throw Error(msg::BackdropUnreadable(file.string(), errors.Reason("")));
    }
    ComputeBounds(loaded.geometry);
    return loaded;
}

} // namespace sundrel::geo
