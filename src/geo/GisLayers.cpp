#include "geo/GisLayers.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Job.h"
#include "common/Messages.h"
#include "common/PrivateFiles.h"
#include "geo/GdalSupport.h"
#include "geo/Messages.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/Paving.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <fstream>

namespace sundrel::geo {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return s;
}

const char* DriverName(GisFormat format)
{
    switch (format) {
    case GisFormat::GeoPackage:
        return "GPKG";
    case GisFormat::GeoJson:
        return "GeoJSON";
    case GisFormat::Shapefile:
        break;
    }
    return "ESRI Shapefile";
}

struct FieldSpec {
    const char* name;
    OGRFieldType type;
    int width;
};

// A temporary folder beside the target, of the user alone and created under
// a name nobody has (the next counter on a clash), removed with what it
// holds unless its files were moved out, and by the signal handler when the
// process is ended meanwhile.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const fs::path& target)
    {
        RemoveStaleTemporaryFiles(target.parent_path());
        int error = EEXIST;
        for (int attempt = 0; attempt < 1000 && error == EEXIST; ++attempt) {
            path_ = TemporarySibling(target);
            error = CreatePrivateFolder(path_);
        }
        if (error)
            throw FileError(msg::ImpossibleToOpen, target, SystemReason(error));
        RegisterTemporaryFolder(path_);
    }
    ~TemporaryFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
        UnregisterTemporaryFile(path_);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// The files an export to `target` may write: one a layer, and for
// shapefiles each layer's companions (either case of the extensions).
std::vector<fs::path> PossibleLayerFiles(const fs::path& target, GisFormat format)
{
    if (format == GisFormat::GeoPackage)
        return {target};
    std::vector<std::string> extensions{target.extension().string()};
    if (format == GisFormat::Shapefile)
        for (const char* e : {".shp", ".shx", ".dbf", ".prj", ".cpg"}) {
            extensions.push_back(e);
            extensions.push_back(Upper(e));
        }
    std::vector<fs::path> files;
    for (const char* layer : {"sites", "delaunay", "cells", "barriers"})
        for (const std::string& extension : extensions) {
            fs::path file = GisLayerFile(target, format, layer);
            file.replace_extension(extension);
            if (std::find(files.begin(), files.end(), file) == files.end())
                files.push_back(file);
        }
    return files;
}

// Moves the complete set written in `folder` into place as one: every file
// is first copied beside its destination (through a symbolic link, keeping a
// replaced file's permissions, on the disk), then all are renamed into place
// while the signals wait, and the files of an earlier export to the same
// target that this one did not write (a layer, a .prj) are removed.
void PlaceLayerFiles(const fs::path& folder, const fs::path& target, GisFormat format)
{
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    const fs::path destination = target.parent_path();
    std::vector<std::unique_ptr<AtomicFile>> copies;
    for (const fs::path& file : files) {
        copies.push_back(std::make_unique<AtomicFile>(destination / file.filename()));
        AtomicFile& copy = *copies.back();
        std::error_code ec;
        if (fs::file_size(file, ec) > 0) {
            std::ifstream in(file, std::ios::binary);
            errno = 0;
            if (!in || !(copy.stream() << in.rdbuf()))
                throw FileError(msg::FileWritingError, copy.target(),
                                SystemReason(errno ? errno : EIO));
        }
        copy.close();
    }
    DeferredSignals wait;
    std::vector<fs::path> placed;
    for (std::unique_ptr<AtomicFile>& copy : copies) {
        copy->commit();
        placed.push_back(copy->target().filename());
    }
    for (const fs::path& old : PossibleLayerFiles(target, format)) {
        if (std::find(placed.begin(), placed.end(), old.filename()) != placed.end())
            continue;
        std::error_code ec;
        const auto status = fs::symlink_status(old, ec);
        if (fs::is_regular_file(status) || fs::is_symlink(status))
            fs::remove(old, ec);
    }
}

// Geometries in longitude/latitude that cross the antimeridian, cut there:
// a line into a MultiLineString, a polygon into a MultiPolygon, each part on
// one side of ±180° (as GIS programs and GeoJSON's standard require).
// Geometries that do not cross it are returned as they are.
namespace antimeridian {

// The points with longitudes made continuous along the way (a step of more
// than 180 degrees goes the short way round).
std::vector<MXY> Unwrapped(const OGRSimpleCurve& curve)
{
    std::vector<MXY> points;
    for (int k = 0; k < curve.getNumPoints(); ++k) {
        MXY p{curve.getX(k), curve.getY(k)};
        if (!points.empty()) {
            while (p.x - points.back().x > 180.0)
                p.x -= 360.0;
            while (p.x - points.back().x < -180.0)
                p.x += 360.0;
        }
        points.push_back(p);
    }
    return points;
}

// The turn (…, -1, 0, 1, …) of the strip [-180 + 360 k, 180 + 360 k] holding x.
int Turn(double x)
{
    return static_cast<int>(std::floor((x + 180.0) / 360.0));
}

double Cross(const MXY& a, const MXY& b, double x)
{
    return a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x);
}

std::unique_ptr<OGRGeometry> CutLine(std::unique_ptr<OGRGeometry> geometry,
                                     const OGRLineString& line)
{
    const std::vector<MXY> points = Unwrapped(line);
    if (points.size() < 2)
        return geometry;
    // Parts in continuous longitudes, split where a segment crosses ±180.
    std::vector<std::vector<MXY>> parts(1, std::vector<MXY>{points[0]});
    for (std::size_t k = 1; k < points.size(); ++k) {
        const MXY& a = points[k - 1];
        const MXY& b = points[k];
        const double step = b.x > a.x ? 360.0 : -360.0;
        double edge = 180.0 + 360.0 * (b.x > a.x ? std::ceil((a.x - 180.0) / 360.0)
                                                 : std::floor((a.x - 180.0) / 360.0));
        for (; b.x > a.x ? edge < b.x : edge > b.x; edge += step) {
            if (edge == a.x)
                continue;
            const MXY at{edge, Cross(a, b, edge)};
            parts.back().push_back(at);
            parts.push_back({at});
        }
        parts.back().push_back(b);
    }
    // Each part moved to the side of ±180 it lies on.
    auto lines = std::make_unique<OGRMultiLineString>();
    bool moved = false;
    for (const std::vector<MXY>& part : parts) {
        double west = part[0].x, east = part[0].x;
        for (const MXY& p : part) {
            west = std::min(west, p.x);
            east = std::max(east, p.x);
        }
        const double shift = 360.0 * Turn((west + east) / 2.0);
        moved = moved || shift != 0.0;
        auto out = std::make_unique<OGRLineString>();
        for (const MXY& p : part)
            out->addPoint(p.x - shift, p.y);
        lines->addGeometryDirectly(out.release());
    }
    if (parts.size() == 1 && !moved)
        return geometry;
    if (parts.size() == 1)
        return std::unique_ptr<OGRGeometry>(lines->getGeometryRef(0)->clone());
    return lines;
}

// The ring (closed, repeated last point) clipped to lo <= x <= hi
// (Sutherland-Hodgman against each side).
std::vector<MXY> Clip(std::vector<MXY> ring, double lo, double hi)
{
    auto side = [&](std::vector<MXY> in, bool low) {
        std::vector<MXY> out;
        const double edge = low ? lo : hi;
        auto inside = [&](const MXY& p) { return low ? p.x >= edge : p.x <= edge; };
        for (std::size_t k = 0; k + 1 < in.size(); ++k) {
            const MXY& a = in[k];
            const MXY& b = in[k + 1];
            if (inside(a))
                out.push_back(a);
            if (inside(a) != inside(b))
                out.push_back({edge, Cross(a, b, edge)});
        }
        if (!out.empty())
            out.push_back(out.front());
        return out;
    };
    return side(side(std::move(ring), true), false);
}

std::unique_ptr<OGRGeometry> CutPolygon(std::unique_ptr<OGRGeometry> geometry,
                                        const OGRPolygon& polygon)
{
    const OGRLinearRing* outer = polygon.getExteriorRing();
    if (!outer || polygon.getNumInteriorRings() > 0)
        return geometry;
    std::vector<MXY> ring = Unwrapped(*outer);
    if (ring.size() < 4)
        return geometry;
    double west = ring[0].x, east = ring[0].x;
    for (const MXY& p : ring) {
        west = std::min(west, p.x);
        east = std::max(east, p.x);
    }
    if (west >= -180.0 && east <= 180.0)
        return geometry;
    auto parts = std::make_unique<OGRMultiPolygon>();
    for (int turn = Turn(west); turn <= Turn(east); ++turn) {
        const std::vector<MXY> piece = Clip(ring, -180.0 + 360.0 * turn, 180.0 + 360.0 * turn);
        if (piece.size() < 4)
            continue;
        auto cut = std::make_unique<OGRLinearRing>();
        for (const MXY& p : piece) {
            const double x = p.x - 360.0 * turn;
            const int n = cut->getNumPoints();
            if (n == 0 || cut->getX(n - 1) != x || cut->getY(n - 1) != p.y)
                cut->addPoint(x, p.y);
        }
        if (cut->getNumPoints() < 4 || cut->get_Area() == 0.0)
            continue;
        auto part = std::make_unique<OGRPolygon>();
        part->addRingDirectly(cut.release());
        parts->addGeometryDirectly(part.release());
    }
    if (parts->getNumGeometries() == 0)
        return geometry;
    if (parts->getNumGeometries() == 1)
        return std::unique_ptr<OGRGeometry>(parts->getGeometryRef(0)->clone());
    return parts;
}

std::unique_ptr<OGRGeometry> Cut(std::unique_ptr<OGRGeometry> geometry)
{
    switch (wkbFlatten(geometry->getGeometryType())) {
    case wkbLineString: {
        const OGRLineString& line = *geometry->toLineString();
        return CutLine(std::move(geometry), line);
    }
    case wkbPolygon: {
        const OGRPolygon& polygon = *geometry->toPolygon();
        return CutPolygon(std::move(geometry), polygon);
    }
    case wkbMultiLineString: {
        auto lines = std::make_unique<OGRMultiLineString>();
        bool changed = false;
        for (const OGRLineString* part : *geometry->toMultiLineString()) {
            std::unique_ptr<OGRGeometry> one(part->clone());
            std::unique_ptr<OGRGeometry> cut = Cut(std::move(one));
            changed = changed || wkbFlatten(cut->getGeometryType()) != wkbLineString ||
                      !cut->Equals(part);
            if (wkbFlatten(cut->getGeometryType()) == wkbMultiLineString) {
                for (const OGRLineString* p : *cut->toMultiLineString())
                    lines->addGeometry(p);
            } else {
                lines->addGeometry(cut.get());
            }
        }
        if (!changed)
            return geometry;
        return lines;
    }
    default:
        return geometry;
    }
}

} // namespace antimeridian

// One output layer: its dataset (shared by the layers of a GeoPackage), the
// layer, and the reprojection of its features.
class LayerOut {
public:
    LayerOut(GDALDataset* dataset, const std::string& name, OGRwkbGeometryType type,
             const OGRSpatialReference* srs, const std::vector<FieldSpec>& fields,
             OGRCoordinateTransformation* ct, bool cut, const std::string& target,
             const JobFeedback* feedback)
        : name_(name), ct_(ct), cut_(cut), target_(target), feedback_(feedback)
    {
        GdalErrors errors;
        char** options = nullptr;
        if (std::string(dataset->GetDriverName()) == "ESRI Shapefile")
            options = CSLSetNameValue(options, "ENCODING", "UTF-8");
        if (std::string(dataset->GetDriverName()) == "GeoJSON")
            options = CSLSetNameValue(options, "RFC7946", "YES");
        // A map of unknown system is in GeoPackage's undefined Cartesian
        // system, not its undefined geographic one.
        OGRSpatialReference undefined;
        if (!srs && std::string(dataset->GetDriverName()) == "GPKG") {
            undefined.SetLocalCS("Undefined cartesian SRS");
            srs = &undefined;
        }
        layer_ = dataset->CreateLayer(name.c_str(), const_cast<OGRSpatialReference*>(srs), type,
                                      options);
        CSLDestroy(options);
        if (!layer_)
            throw Error(msg::GisWriteFailed(target_, errors.Reason("the layer cannot be made")));
        for (const FieldSpec& f : fields) {
            OGRFieldDefn field(f.name, f.type);
            if (f.width > 0)
                field.SetWidth(f.width);
            if (layer_->CreateField(&field) != OGRERR_NONE)
                throw Error(msg::GisWriteFailed(target_, errors.Reason("a field cannot be made")));
        }
    }

    // A feature whose fields are all null until set (every feature then
    // lists every field, as GeoJSON readers expect).
    OGRFeature* New()
    {
        if (feedback_)
            feedback_->checkCancelled(msg::ComputationAborted);
        feature_.reset(OGRFeature::CreateFeature(layer_->GetLayerDefn()));
        for (int k = 0; k < feature_->GetFieldCount(); ++k)
            feature_->SetFieldNull(k);
        return feature_.get();
    }

    void Add(std::unique_ptr<OGRGeometry> geometry)
    {
        GdalErrors errors;
        if (ct_ && geometry->transform(ct_) != OGRERR_NONE)
            throw Error(msg::FeatureNotReprojected(name_, count_ + 1,
                                                   ct_->GetTargetCS()->GetName()
                                                       ? ct_->GetTargetCS()->GetName()
                                                       : "?"));
        if (cut_)
            geometry = antimeridian::Cut(std::move(geometry));
        feature_->SetGeometryDirectly(geometry.release());
        if (layer_->CreateFeature(feature_.get()) != OGRERR_NONE)
            throw Error(msg::GisWriteFailed(target_, errors.Reason("a feature cannot be written")));
        ++count_;
    }

    std::int64_t Count() const { return count_; }

private:
    struct FeatureDeleter {
        void operator()(OGRFeature* f) const { OGRFeature::DestroyFeature(f); }
    };
    std::string name_;
    OGRLayer* layer_ = nullptr;
    OGRCoordinateTransformation* ct_;
    bool cut_;
    std::string target_;
    const JobFeedback* feedback_;
    std::unique_ptr<OGRFeature, FeatureDeleter> feature_;
    std::int64_t count_ = 0;
};

std::unique_ptr<OGRGeometry> Point(const MXY& p)
{
    return std::make_unique<OGRPoint>(p.x, p.y);
}

std::unique_ptr<OGRMultiLineString> Lines(const std::vector<std::vector<MXY>>& parts)
{
    auto lines = std::make_unique<OGRMultiLineString>();
    for (const std::vector<MXY>& part : parts) {
        auto line = std::make_unique<OGRLineString>();
        for (const MXY& p : part)
            line->addPoint(p.x, p.y);
        lines->addGeometryDirectly(line.release());
    }
    return lines;
}

// The cell as a closed ring turning anticlockwise (the cells turn
// clockwise), repeated vertices left out.
std::unique_ptr<OGRPolygon> CellPolygon(const MPolygon& cell)
{
    auto ring = std::make_unique<OGRLinearRing>();
    for (auto it = cell.vertices.rbegin(); it != cell.vertices.rend(); ++it) {
        const int n = ring->getNumPoints();
        if (n > 0 && ring->getX(n - 1) == it->x && ring->getY(n - 1) == it->y)
            continue;
        ring->addPoint(it->x, it->y);
    }
    const int n = ring->getNumPoints();
    if (n > 1 && ring->getX(n - 1) == ring->getX(0) && ring->getY(n - 1) == ring->getY(0))
        ring->setNumPoints(n - 1);
    ring->closeRings();
    auto polygon = std::make_unique<OGRPolygon>();
    polygon->addRingDirectly(ring.release());
    return polygon;
}

// The Voronoi edges a sundrel crosses, joined where they meet.
std::vector<std::vector<MXY>> SundrelParts(const std::vector<SundrelElement>& elements,
                                           const std::vector<MPolygon>& cells,
                                           const PavingMatrix& paving)
{
    std::vector<std::vector<MXY>> parts;
    for (const SundrelElement& e : elements) {
        MXY a, b;
        if (!PairEdge(cells, paving, e.i, e.j, a, b))
            continue;
        if (!parts.empty()) {
            std::vector<MXY>& last = parts.back();
            // The first edge of a part may run either way.
            if (last.size() == 2 && (last.front() == a || last.front() == b))
                std::reverse(last.begin(), last.end());
            if (last.back() == a) {
                last.push_back(b);
                continue;
            }
            if (last.back() == b) {
                last.push_back(a);
                continue;
            }
        }
        parts.push_back({a, b});
    }
    return parts;
}

} // namespace

std::optional<GisFormat> GisFormatOf(const fs::path& file)
{
    const std::string extension = Lower(file.extension().string());
    if (extension == ".gpkg")
        return GisFormat::GeoPackage;
    if (extension == ".geojson" || extension == ".json")
        return GisFormat::GeoJson;
    if (extension == ".shp")
        return GisFormat::Shapefile;
    return std::nullopt;
}

fs::path GisLayerFile(const fs::path& target, GisFormat format, const std::string& layer)
{
    if (format == GisFormat::GeoPackage)
        return target;
    fs::path file = target;
    file.replace_extension();
    file += "." + layer + target.extension().string();
    return file;
}

int GisLayerCount(const MonmonierLayer* layers)
{
    return layers && layers->count() > 0 ? 4 : 3;
}

std::vector<GisLayerWritten> WriteGisLayers(const fs::path& target, const MMap& map,
                                            const MonmonierLayer* layers,
                                            const GisOptions& options)
{
    const std::optional<GisFormat> format = GisFormatOf(target);
    if (!format)
        throw Error(msg::GisWriteFailed(target.string(), "not .gpkg, .geojson or .shp"));
    if (*format == GisFormat::GeoJson && options.toCrs)
        throw Error(msg::GeoJsonIsLonLat);
    if (*format == GisFormat::GeoJson && !options.crs)
        throw Error(msg::GeoJsonNeedsCrs);
    if (options.toCrs && !options.crs)
        throw Error(msg::ReprojectionNeedsCrs);
    EnsureGdal();

    const bool barriers = GisLayerCount(layers) == 4;
    std::vector<std::string> names{"sites", "delaunay", "cells"};
    if (barriers)
        names.push_back("barriers");
    // Every output place is checked before the work.
    for (const std::string& name : names)
        CheckOutputTarget(GisLayerFile(target, *format, name));

    // GeoJSON is reprojected here, not by OGR, so that its geometries are
    // cut at the antimeridian like those of any other output in degrees.
    std::optional<CoordinateSystem> to = options.toCrs;
    if (*format == GisFormat::GeoJson)
        to = CoordinateSystem::LonLat();
    std::optional<OGRSpatialReference> srs, toSrs;
    if (options.crs)
        srs = SpatialReference(*options.crs);
    TransformationPtr ct;
    if (to) {
        toSrs = SpatialReference(*to);
        ct = MakeTransformation(*srs, *toSrs);
    }
    const bool cut = to && to->IsGeographic() && !options.crs->IsGeographic();
    const OGRSpatialReference* layerSrs = toSrs ? &*toSrs : srs ? &*srs : nullptr;

    TemporaryFolder folder(target);
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName(*format));
    if (!driver)
        throw Error(msg::GisWriteFailed(target.string(), "OGR has no driver for it"));
    std::vector<GisLayerWritten> written;
    {
        GdalErrors errors;
        std::vector<DatasetPtr> datasets;
        auto dataset = [&](const std::string& layer) -> GDALDataset* {
            const fs::path file = folder.path() / GisLayerFile(target.filename(), *format, layer);
            if (*format == GisFormat::GeoPackage && !datasets.empty())
                return datasets.front().get();
            DatasetPtr ds(driver->Create(file.string().c_str(), 0, 0, 0, GDT_Unknown, nullptr));
            if (!ds)
                throw Error(msg::GisWriteFailed(target.string(), errors.Reason("cannot be made")));
            if (ds->TestCapability(ODsCTransactions))
                ds->StartTransaction();
            datasets.push_back(std::move(ds));
            return datasets.back().get();
        };
        auto add = [&](const std::string& name, LayerOut& out) {
            written.push_back({name, GisLayerFile(target, *format, name), out.Count()});
            PostStep(options.progress);
        };
        const std::string where = target.string();
        const std::int32_t n = std::min<std::int32_t>(map.N(), static_cast<std::int32_t>(map.cells.size()));

        {
            LayerOut out(dataset("sites"), "sites", wkbPoint, layerSrs,
                         {{"population", OFTInteger, 0}, {"kind", OFTString, 8}}, ct.get(), cut, where,
                         options.feedback);
            for (std::int32_t i = 0; i < n; ++i) {
                const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
                OGRFeature* f = out.New();
                f->SetField("population", i + 1);
                f->SetField("kind", "original");
                out.Add(Point({cell.siteX, cell.siteY}));
            }
            for (PointId p : map.VirtualPoints()) {
                OGRFeature* f = out.New();
                f->SetField("population", map.mesh.index(p));
                f->SetField("kind", "virtual");
                out.Add(Point(map.mesh.xy(p)));
            }
            add("sites", out);
        }
        {
            LayerOut out(dataset("delaunay"), "delaunay", wkbLineString, layerSrs,
                         {{"pop_i", OFTInteger, 0}, {"pop_j", OFTInteger, 0}, {"length", OFTReal, 0}},
                         ct.get(), cut, where, options.feedback);
            for (std::int32_t i = 0; i < n; ++i) {
                const MPolygon& a = map.cells[static_cast<std::size_t>(i)];
                for (std::int32_t j : a.neighbours) {
                    if (j <= i || j >= n)
                        continue;
                    const MPolygon& b = map.cells[static_cast<std::size_t>(j)];
                    OGRFeature* f = out.New();
                    f->SetField("pop_i", j + 1);
                    f->SetField("pop_j", i + 1);
                    f->SetField("length", std::hypot(b.siteX - a.siteX, b.siteY - a.siteY));
                    auto line = std::make_unique<OGRLineString>();
                    line->addPoint(a.siteX, a.siteY);
                    line->addPoint(b.siteX, b.siteY);
                    out.Add(std::move(line));
                }
            }
            add("delaunay", out);
        }
        {
            LayerOut out(dataset("cells"), "cells", wkbPolygon, layerSrs,
                         {{"population", OFTInteger, 0}, {"area", OFTReal, 0}}, ct.get(), cut, where,
                         options.feedback);
            for (std::int32_t i = 0; i < n; ++i) {
                std::unique_ptr<OGRPolygon> polygon = CellPolygon(map.cells[static_cast<std::size_t>(i)]);
                OGRFeature* f = out.New();
                f->SetField("population", i + 1);
                f->SetField("area", polygon->get_Area());
                out.Add(std::move(polygon));
            }
            add("cells", out);
        }
        if (barriers) {
            LayerOut out(dataset("barriers"), "barriers", wkbMultiLineString, layerSrs,
                         {{"layer", OFTInteger, 0},
                          {"name", OFTString, 127},
                          {"kind", OFTString, 12},
                          {"rank", OFTInteger, 0},
                          {"label", OFTString, 32},
                          {"pop_i", OFTInteger, 0},
                          {"pop_j", OFTInteger, 0},
                          {"count", OFTInteger, 0},
                          {"support", OFTReal, 0}},
                         ct.get(), cut, where, options.feedback);
            for (std::int32_t index = 0; index < layers->count(); ++index) {
                const auto layer = layers->layer(index);
                const std::vector<MPolygon>* cells = layer ? layer->cells() : nullptr;
                const PavingMatrix* paving = layer ? layer->paving() : nullptr;
                if (!cells || !paving)
                    continue;
                if (layer->isSingle()) {
                    const auto sundrels = layer->sundrels(0);
                    for (std::size_t s = 0; s < sundrels.size(); ++s) {
                        if (!sundrels[s])
                            continue;
                        const auto parts = SundrelParts(sundrels[s]->elements(), *cells, *paving);
                        if (parts.empty())
                            continue;
                        OGRFeature* f = out.New();
                        f->SetField("layer", index);
                        f->SetField("name", layer->name.c_str());
                        f->SetField("kind", "single");
                        f->SetField("rank", static_cast<int>(s + 1));
                        f->SetField("label", sundrels[s]->label.c_str());
                        out.Add(Lines(parts));
                    }
                } else {
                    const double m = layer->matrixCount();
                    for (const SundrelElement& e : layer->countList()) {
                        MXY a, b;
                        if (!PairEdge(*cells, *paving, e.i, e.j, a, b))
                            continue;
                        OGRFeature* f = out.New();
                        f->SetField("layer", index);
                        f->SetField("name", layer->name.c_str());
                        f->SetField("kind", "significance");
                        f->SetField("pop_i", e.i + 1);
                        f->SetField("pop_j", e.j + 1);
                        f->SetField("count", static_cast<int>(e.distance));
                        f->SetField("support", 100.0 * e.distance / m);
                        out.Add(Lines({{a, b}}));
                    }
                }
            }
            add("barriers", out);
        }
        for (DatasetPtr& ds : datasets) {
            if (ds->TestCapability(ODsCTransactions) && ds->CommitTransaction() != OGRERR_NONE)
                throw Error(msg::GisWriteFailed(target.string(), errors.Reason("not committed")));
            ds->FlushCache();
            if (CPLGetLastErrorType() >= CE_Failure)
                throw Error(msg::GisWriteFailed(target.string(), errors.Reason("")));
            ds.reset();
            if (CPLGetLastErrorType() >= CE_Failure)
                throw Error(msg::GisWriteFailed(target.string(), errors.Reason("not closed")));
        }
    }

    // Complete: the set replaces the previous one, unless cancelled meanwhile.
    if (options.feedback)
        options.feedback->checkCancelled(msg::ComputationAborted);
    PlaceLayerFiles(folder.path(), target, *format);
    return written;
}

} // namespace sundrel::geo
