#include "geo/GisLayers.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Job.h"
#include "common/Messages.h"
#include "geo/GdalSupport.h"
#include "geo/Messages.h"
#include "monmonier/MonmonierLayer.h"
#include "monmonier/Paving.h"

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <cctype>
#include <cmath>

namespace sundrel::geo {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
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

// A temporary folder beside the target, removed with what it holds unless
// its files were moved out.
class TemporaryFolder {
public:
    explicit TemporaryFolder(const fs::path& target) : path_(TemporarySibling(target))
    {
        std::error_code ec;
        if (!fs::create_directory(path_, ec))
            throw FileError(msg::ImpossibleToOpen, target, SystemReason(ec ? ec.value() : EEXIST));
    }
    ~TemporaryFolder()
    {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// One output layer: its dataset (shared by the layers of a GeoPackage), the
// layer, and the reprojection of its features.
class LayerOut {
public:
    LayerOut(GDALDataset* dataset, const std::string& name, OGRwkbGeometryType type,
             const OGRSpatialReference* srs, const std::vector<FieldSpec>& fields,
             OGRCoordinateTransformation* ct, const std::string& target,
             const JobFeedback* feedback)
        : name_(name), ct_(ct), target_(target), feedback_(feedback)
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

    std::optional<OGRSpatialReference> srs, toSrs;
    if (options.crs)
        srs = SpatialReference(*options.crs);
    TransformationPtr ct;
    if (options.toCrs) {
        toSrs = SpatialReference(*options.toCrs);
        ct = MakeTransformation(*srs, *toSrs);
    }
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
                         {{"population", OFTInteger, 0}, {"kind", OFTString, 8}}, ct.get(), where,
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
                         ct.get(), where, options.feedback);
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
                         {{"population", OFTInteger, 0}, {"area", OFTReal, 0}}, ct.get(), where,
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
                         ct.get(), where, options.feedback);
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

    // Complete: every file moves into place.
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder.path()))
        files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    const fs::path destination = target.parent_path();
    for (const fs::path& file : files)
        CheckOutputTarget(destination / file.filename());
    for (const fs::path& file : files) {
        std::error_code ec;
        fs::rename(file, destination / file.filename(), ec);
        if (ec)
            throw FileError(msg::FileWritingError, destination / file.filename(),
                            SystemReason(ec.value()));
    }
    return written;
}

} // namespace sundrel::geo
