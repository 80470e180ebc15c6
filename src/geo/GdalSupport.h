#pragma once
// GDAL/OGR for the geography code: the drivers registered once, errors kept
// off standard error and handed to our messages, and the spatial reference
// of a coordinate system with longitude before latitude.

#include "geo/CoordinateSystem.h"

#include <ogr_spatialref.h>

#include <memory>
#include <string>

class GDALDataset;

namespace sundrel::geo {

// Registers the drivers and keeps GDAL's messages off standard error (once,
// for every thread).
void EnsureGdal();

// While it lives, GDAL's errors on this thread are kept instead of printed;
// Reason() is the last one, or `fallback` when there was none.
class GdalErrors {
public:
    GdalErrors();
    ~GdalErrors();
    GdalErrors(const GdalErrors&) = delete;
    GdalErrors& operator=(const GdalErrors&) = delete;
    std::string Reason(const std::string& fallback) const;
};

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const;
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct TransformationDeleter {
    void operator()(OGRCoordinateTransformation* ct) const
    {
        OGRCoordinateTransformation::DestroyCT(ct);
    }
};
using TransformationPtr = std::unique_ptr<OGRCoordinateTransformation, TransformationDeleter>;

// The system as OGR's spatial reference, x = longitude or easting.
OGRSpatialReference SpatialReference(const CoordinateSystem& crs);
// A spatial reference of OGR's as one of ours (raises Error when PROJ does
// not read it).
CoordinateSystem FromSpatialReference(const OGRSpatialReference& srs);
// Raises Error(NoTransformation).
TransformationPtr MakeTransformation(const OGRSpatialReference& from,
                                     const OGRSpatialReference& to);

} // namespace sundrel::geo
