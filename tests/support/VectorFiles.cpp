#include "support/VectorFiles.h"

#include "support/CliRunner.h"

#include <gdal_priv.h>
#include <gdal_utils.h>

#include <stdexcept>
#include <vector>

namespace test {

void MakeVectorFile(const std::filesystem::path& file, const std::string& geojson,
                    const std::string& crs)
{
    GDALAllRegister();
    const std::string source = file.string() + ".source.geojson";
    WriteFile(source, geojson);
    std::string format = "GeoJSON";
    const std::string extension = file.extension().string();
    if (extension == ".gpkg")
        format = "GPKG";
    else if (extension == ".shp")
        format = "ESRI Shapefile";
    std::vector<std::string> words{"-f", format};
    if (!crs.empty()) {
        words.push_back("-t_srs");
        words.push_back(crs);
    }
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(argv.data(), nullptr);
    GDALDatasetH in = GDALOpenEx(source.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    int failed = 0;
    GDALDatasetH out =
        in ? GDALVectorTranslate(file.string().c_str(), nullptr, 1, &in, options, &failed) : nullptr;
    GDALVectorTranslateOptionsFree(options);
    if (out)
        GDALClose(out);
    if (in)
        GDALClose(in);
    std::filesystem::remove(source);
    if (!out || failed)
        throw std::runtime_error("cannot make " + file.string());
}

std::string Feature(const std::string& geometry)
{
    return R"({"type": "Feature", "properties": {}, "geometry": )" + geometry + "}";
}

std::string Collection(const std::string& features)
{
    return R"({"type": "FeatureCollection", "features": [)" + features + "]}";
}

} // namespace test
