#include "geo/GdalSupport.h"

#include "common/Errors.h"
#include "geo/Messages.h"

#include <cpl_error.h>
#include <gdal_priv.h>

#include <mutex>

namespace sundrel::geo {

void EnsureGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // GDAL's own messages never reach the user's screen: those that
        // explain a failure are read back (GdalErrors::Reason) into ours.
        CPLSetErrorHandler(CPLQuietErrorHandler);
        GDALAllRegister();
    });
}

GdalErrors::GdalErrors()
{
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
}

GdalErrors::~GdalErrors()
{
    CPLPopErrorHandler();
}

std::string GdalErrors::Reason(const std::string& fallback) const
{
    const char* text = CPLGetLastErrorMsg();
    return text && *text ? std::string(text) : fallback;
}

void DatasetCloser::operator()(GDALDataset* dataset) const
{
    GDALClose(GDALDataset::ToHandle(dataset));
}

OGRSpatialReference SpatialReference(const CoordinateSystem& crs)
{
    OGRSpatialReference srs;
    GdalErrors errors;
    if (srs.importFromWkt(crs.Wkt().c_str()) != OGRERR_NONE)
        throw Error(msg::CrsNotUnderstood(crs.Description(), errors.Reason("not read by OGR")));
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    return srs;
}

CoordinateSystem FromSpatialReference(const OGRSpatialReference& srs)
{
    const char* options[] = {"FORMAT=WKT2_2019", "MULTILINE=NO", nullptr};
    char* wkt = nullptr;
    GdalErrors errors;
    if (srs.exportToWkt(&wkt, options) != OGRERR_NONE || !wkt) {
        CPLFree(wkt);
        throw Error(msg::CrsNotUnderstood("?", errors.Reason("not written by OGR")));
    }
    const std::string text = wkt;
    CPLFree(wkt);
    return CoordinateSystem::FromText(text);
}

TransformationPtr MakeTransformation(const OGRSpatialReference& from, const OGRSpatialReference& to)
{
    GdalErrors errors;
    OGRSpatialReference source(from);
    OGRSpatialReference target(to);
    source.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    target.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    TransformationPtr ct(OGRCreateCoordinateTransformation(&source, &target));
    if (!ct) {
        const char* a = source.GetName();
        const char* b = target.GetName();
        throw Error(msg::NoTransformation(a ? a : "?", b ? b : "?", errors.Reason("none known")));
    }
    return ct;
}

} // namespace sundrel::geo
