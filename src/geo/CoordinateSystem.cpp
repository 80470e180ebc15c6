#include "geo/CoordinateSystem.h"

#include "common/Errors.h"
#include "geo/Messages.h"

#include <proj.h>
#include <proj_experimental.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace sundrel::geo {

namespace {

// A PROJ context that says nothing on standard error.
struct Context {
    Context() : ctx(proj_context_create()) { proj_log_level(ctx, PJ_LOG_NONE); }
    ~Context() { proj_context_destroy(ctx); }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    std::string Reason() const
    {
        const int error = proj_context_errno(ctx);
        const char* text = error ? proj_context_errno_string(ctx, error) : nullptr;
        return text ? text : "not a coordinate system";
    }

    PJ_CONTEXT* ctx;
};

struct Object {
    Object(PJ* object) : pj(object) {}
    ~Object() { proj_destroy(pj); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    PJ* pj;
};

bool IsCrsType(PJ_TYPE type)
{
    switch (type) {
    case PJ_TYPE_GEODETIC_CRS:
    case PJ_TYPE_GEOCENTRIC_CRS:
    case PJ_TYPE_GEOGRAPHIC_CRS:
    case PJ_TYPE_GEOGRAPHIC_2D_CRS:
    case PJ_TYPE_GEOGRAPHIC_3D_CRS:
    case PJ_TYPE_VERTICAL_CRS:
    case PJ_TYPE_PROJECTED_CRS:
    case PJ_TYPE_COMPOUND_CRS:
    case PJ_TYPE_TEMPORAL_CRS:
    case PJ_TYPE_ENGINEERING_CRS:
    case PJ_TYPE_BOUND_CRS:
    case PJ_TYPE_OTHER_CRS:
        return true;
    default:
        return false;
    }
}

// A PROJ string names an operation unless it says it is a coordinate system.
std::string AsCrsText(const std::string& text)
{
    const std::size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos)
        return text;
    const bool projString = text[start] == '+' || text.compare(start, 5, "proj=") == 0;
    if (projString && text.find("type=crs") == std::string::npos)
        return text + " +type=crs";
    return text;
}

std::string Number(double v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", v);
    std::string s = buf;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

// A name for a system that has none (one given as a PROJ string): its
// projection (or "Longitude/latitude") on its datum.
std::string NameOfUnnamed(PJ_CONTEXT* ctx, PJ* crs)
{
    auto known = [](const char* text) {
        return text && *text && std::string(text) != "unknown" ? std::string(text) : std::string();
    };
    Object base(proj_get_source_crs(ctx, crs)); // a bound system's own
    PJ* system = base.pj && proj_get_type(crs) == PJ_TYPE_BOUND_CRS ? base.pj : crs;
    std::string what;
    const PJ_TYPE type = proj_get_type(system);
    if (type == PJ_TYPE_PROJECTED_CRS) {
        Object conversion(proj_crs_get_coordoperation(ctx, system));
        if (conversion.pj) {
            what = known(proj_get_name(conversion.pj));
            const char* method = nullptr;
            if (what.empty() && proj_coordoperation_get_method_info(ctx, conversion.pj, &method,
                                                                    nullptr, nullptr))
                what = known(method);
        }
    } else if (type == PJ_TYPE_GEOGRAPHIC_2D_CRS || type == PJ_TYPE_GEOGRAPHIC_3D_CRS ||
               type == PJ_TYPE_GEOGRAPHIC_CRS) {
        what = "Longitude/latitude";
    }
    Object datum(proj_crs_get_datum_forced(ctx, system));
    const std::string on = datum.pj ? known(proj_get_name(datum.pj)) : std::string();
    if (what.empty())
        return on.empty() ? "unknown" : "unknown system on " + on;
    return on.empty() ? what : what + " on " + on;
}

} // namespace

bool CoordinateSystem::Area::Holds(const MXY& p) const
{
    const bool lon = west <= east ? p.x >= west && p.x <= east : p.x >= west || p.x <= east;
    return lon && p.y >= south && p.y <= north;
}

CoordinateSystem CoordinateSystem::FromText(const std::string& text)
{
    Context context;
    Object crs(proj_create(context.ctx, AsCrsText(text).c_str()));
    if (!crs.pj)
        throw Error(msg::CrsNotUnderstood(text, context.Reason()));
    const PJ_TYPE type = proj_get_type(crs.pj);
    if (!IsCrsType(type))
        throw Error(msg::CrsNotUnderstood(text, "not a coordinate system"));

    CoordinateSystem c;
    const char* options[] = {"MULTILINE=NO", nullptr};
    const char* wkt = proj_as_wkt(context.ctx, crs.pj, PJ_WKT2_2019, options);
    if (!wkt)
        throw Error(msg::CrsNotUnderstood(text, context.Reason()));
    c.wkt_ = wkt;
    const char* name = proj_get_name(crs.pj);
    c.name_ = name && std::string(name) != "unknown" ? name : NameOfUnnamed(context.ctx, crs.pj);
    double west = 0, south = 0, east = 0, north = 0;
    if (proj_get_area_of_use(context.ctx, crs.pj, &west, &south, &east, &north, nullptr) &&
        west >= -180 && east <= 180 && south >= -90 && north <= 90)
        c.area_ = Area{west, south, east, north};
    const char* authority = proj_get_id_auth_name(crs.pj, 0);
    const char* code = proj_get_id_code(crs.pj, 0);
    if (authority && code)
        c.authority_ = std::string(authority) + ":" + code;

    // A bound system (one carrying its shift to WGS 84) is what its base is.
    PJ_TYPE base = type;
    if (type == PJ_TYPE_BOUND_CRS) {
        Object source(proj_get_source_crs(context.ctx, crs.pj));
        if (source.pj)
            base = proj_get_type(source.pj);
    }
    c.geographic_ = base == PJ_TYPE_GEOGRAPHIC_2D_CRS || base == PJ_TYPE_GEOGRAPHIC_3D_CRS ||
                    base == PJ_TYPE_GEOGRAPHIC_CRS;
    c.projected_ = base == PJ_TYPE_PROJECTED_CRS;
    return c;
}

CoordinateSystem CoordinateSystem::LonLat()
{
    static const CoordinateSystem lonLat = FromText("EPSG:4326");
    return lonLat;
}

CoordinateSystem CoordinateSystem::AzimuthalEquidistant(double lon0, double lat0)
{
    const std::string definition = "+proj=aeqd +lat_0=" + Number(lat0) + " +lon_0=" +
                                   Number(lon0) +
                                   " +x_0=0 +y_0=0 +datum=WGS84 +units=m +no_defs +type=crs";
    Context context;
    Object crs(proj_create(context.ctx, definition.c_str()));
    if (!crs.pj)
        throw Error(msg::CrsNotUnderstood(definition, context.Reason()));
    const std::string name = "Azimuthal equidistant around longitude " + Number(lon0) +
                             ", latitude " + Number(lat0) + " (WGS 84)";
    Object named(proj_alter_name(context.ctx, crs.pj, name.c_str()));
    const char* options[] = {"MULTILINE=NO", nullptr};
    const char* wkt = proj_as_wkt(context.ctx, named.pj ? named.pj : crs.pj, PJ_WKT2_2019, options);
    if (!wkt)
        throw Error(msg::CrsNotUnderstood(definition, context.Reason()));
    return FromText(wkt);
}

std::string CoordinateSystem::Description() const
{
    return authority_.empty() ? name_ : name_ + " (" + authority_ + ")";
}

struct Transformation::State {
    Context context;
    PJ* operation = nullptr;
    ~State() { proj_destroy(operation); }
};

Transformation::Transformation(const CoordinateSystem& from, const CoordinateSystem& to)
    : state_(std::make_unique<State>())
{
    PJ_CONTEXT* ctx = state_->context.ctx;
    Object source(proj_create(ctx, from.Wkt().c_str()));
    Object target(proj_create(ctx, to.Wkt().c_str()));
    if (!source.pj || !target.pj)
        throw Error(msg::NoTransformation(from.Description(), to.Description(),
                                          state_->context.Reason()));
    Object raw(proj_create_crs_to_crs_from_pj(ctx, source.pj, target.pj, nullptr, nullptr));
    if (!raw.pj)
        throw Error(msg::NoTransformation(from.Description(), to.Description(),
                                          state_->context.Reason()));
    // Longitude before latitude, whatever the systems' axis order.
    state_->operation = proj_normalize_for_visualization(ctx, raw.pj);
    if (!state_->operation)
        throw Error(msg::NoTransformation(from.Description(), to.Description(),
                                          state_->context.Reason()));
}

Transformation::~Transformation() = default;
Transformation::Transformation(Transformation&&) noexcept = default;
Transformation& Transformation::operator=(Transformation&&) noexcept = default;

std::size_t Transformation::Run(std::vector<MXY>& points, bool forward) const
{
    if (points.empty())
        return 0;
    proj_errno_reset(state_->operation);
    proj_trans_generic(state_->operation, forward ? PJ_FWD : PJ_INV, &points[0].x, sizeof(MXY),
                       points.size(), &points[0].y, sizeof(MXY), points.size(), nullptr, 0, 0,
                       nullptr, 0, 0);
    std::size_t failed = 0;
    for (MXY& p : points)
        if (!Transformed(p)) {
            p = {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::infinity()};
            ++failed;
        }
    return failed;
}

std::size_t Transformation::Forward(std::vector<MXY>& points) const
{
    return Run(points, true);
}

std::size_t Transformation::Inverse(std::vector<MXY>& points) const
{
    return Run(points, false);
}

MXY Transformation::Forward(MXY point) const
{
    std::vector<MXY> one{point};
    Run(one, true);
    return one[0];
}

MXY Transformation::Inverse(MXY point) const
{
    std::vector<MXY> one{point};
    Run(one, false);
    return one[0];
}

bool Transformed(const MXY& p)
{
    return std::isfinite(p.x) && std::isfinite(p.y);
}

} // namespace sundrel::geo
