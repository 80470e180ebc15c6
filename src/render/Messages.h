#pragma once
// Messages of the drawing library (the export jobs, the off-screen target,
// the labels and the view), word for word as users see them, and the texts
// of the export stages.

#include "common/Messages.h"

#include <string>

namespace sundrel::msg {

// Export jobs.
// The cancel of an export job.
inline constexpr const char* ExportCancelledByUser = "Exportation canceled by the user";
inline constexpr const char* CouldntCreateDeviceContext = "Couldn't create compatible device context";
inline constexpr const char* CouldntCreateDibSection = "Couldn't create DIB section";
inline constexpr const char* CouldntCreateContext = "Couldn't create context";
inline constexpr const char* CouldntMakeCurrent = "Couldn't make current";
inline constexpr const char* CouldntWriteBitmapHeader = "Couldn't write the bitmap file header";
inline constexpr const char* CouldntWriteBitmapInfo = "Couldn't write the bitmap info";
inline constexpr const char* CouldntWriteBitmapData = "Couldn't write the bitmap data";
inline constexpr const char* InvalidFontAttributes = "Invalid font attributes";

// The stages of an export job, as its dialog shows them. The result layers'
// stages name their layer (the spacing after "layer :" differs among them).
inline constexpr const char* StageInitializing = "Initializing...";
inline constexpr const char* StageOriginalPoints = "Drawing the original points...";
inline constexpr const char* StageVirtualPoints = "Drawing the virtual points...";
inline constexpr const char* StageLabels = "Drawing the population labels...";
inline constexpr const char* StageLabelsFont = "Creating the population labels font...";
inline constexpr const char* StageDelaunay = "Drawing the Delaunay triangulation...";
inline constexpr const char* StageVoronoi = "Drawing the Vorono\xC3\xAF paving...";
inline constexpr const char* StageWritingTriangulation = "Writing the triangulation...";
inline constexpr const char* StageWritingFile = "Writing the file...";
inline constexpr const char* StagePrinting = "Sending data to the printer...";
inline constexpr const char* StageSundrels = "Drawing the Monmonier sundrels...";

inline std::string StageLayerFont(const std::string& layer)
{
    return "Creating monmonier layer font...\nlayer : " + layer;
}

inline std::string StageSingleSundrels(const std::string& layer)
{
    return "Drawing single monmonier sundrels...\nlayer :" + layer;
}

inline std::string StageSingleTitles(const std::string& layer)
{
    return "Drawing single monmonier sundrel titles...\nlayer :" + layer;
}

inline std::string StageMultipleSundrels(const std::string& layer)
{
    return "Drawing multiple monmonier sundrels...\nlayer :" + layer;
}

inline std::string StageMultipleLabels(const std::string& layer)
{
    return "Drawing multiple monmonier sundrel labels...\nlayer :" + layer;
}

inline std::string StageSavingLayer(const std::string& layer)
{
    return "Saving monmonier layer...\nlayer : " + layer;
}

// The view, drawn in place of a map when none is open.
inline constexpr const char* NoMap = "NO MAP";

} // namespace sundrel::msg

namespace sundrel::render {

// True for the stages that name the result layer they draw or save.
inline bool StageNamesALayer(ExportStage stage)
{
    return static_cast<int>(stage) > static_cast<int>(ExportStage::Sundrels);
}

// The status text of a stage (empty for a code not in the table); the
// layer's name follows where the text asks for one.
inline std::string ExportStageText(ExportStage stage, const std::string& layerName = {})
{
    switch (stage) {
    case ExportStage::Initializing:
    case ExportStage::InitializingBitmap:
    case ExportStage::InitializingPrint:
        return msg::StageInitializing;
    case ExportStage::OriginalPoints:
        return msg::StageOriginalPoints;
    case ExportStage::VirtualPoints:
        return msg::StageVirtualPoints;
    case ExportStage::Labels:
        return msg::StageLabels;
    case ExportStage::LabelsFont:
        return msg::StageLabelsFont;
    case ExportStage::Delaunay:
        return msg::StageDelaunay;
    case ExportStage::Voronoi:
        return msg::StageVoronoi;
    case ExportStage::WritingTriangulation:
        return msg::StageWritingTriangulation;
    case ExportStage::WritingFile:
    case ExportStage::WritingBitmap:
        return msg::StageWritingFile;
    case ExportStage::Printing:
        return msg::StagePrinting;
    case ExportStage::Sundrels:
        return msg::StageSundrels;
    case ExportStage::LayerFont:
        return msg::StageLayerFont(layerName);
    case ExportStage::SingleSundrels:
        return msg::StageSingleSundrels(layerName);
    case ExportStage::SingleTitles:
        return msg::StageSingleTitles(layerName);
    case ExportStage::MultipleSundrels:
        return msg::StageMultipleSundrels(layerName);
    case ExportStage::MultipleLabels:
        return msg::StageMultipleLabels(layerName);
    case ExportStage::SavingLayer:
        return msg::StageSavingLayer(layerName);
    }
    return {};
}

} // namespace sundrel::render
