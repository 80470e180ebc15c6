#pragma once
// Messages of the sundrel analysis (sundrels, result layers, sundrel
// documents): the numbers of what the layers and their worker report to the
// windows, and the texts and the lines of its reports, word for word as users
// see them, misspellings included. Report lines are UTF-8 here; the report
// file is written in Windows-1252.

#include "common/Notifier.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace sundrel {

// Messages of the layers (to the main window, to the progress window).
inline constexpr int WM_LAYERS_REDRAW = 0x83E8;
inline constexpr int WM_LAYERS_LOADED = 0x83E9;
// The wParam of WM_LAYERS_LOADED for a load that failed (else the active
// layer's index).
inline constexpr std::intptr_t kLayersLoadFailed = -100;
inline constexpr int WM_LAYER_ADDED = 0x83EA;
inline constexpr int WM_LAYER_READING = 0x844C;
inline constexpr int WM_LAYER_START = 0x844E;
inline constexpr int WM_LAYER_DONE = 0x8451;
// Every command ends with exactly one message, which carries its result
// (Notifier::postResult): a load with WM_LAYERS_LOADED (or
// WM_LAYER_CANCELLED), any other command with WM_LAYER_DONE, WM_LAYER_FAILED
// or WM_LAYER_CANCELLED, all three to the progress window.
inline constexpr int WM_LAYER_FAILED = 0x8452;
inline constexpr int WM_LAYER_CANCELLED = 0x8453;

// Progress of a computation, to the progress window.
inline constexpr int WM_PROGRESS_STEP = kWmApp + 0x44D;
inline constexpr int WM_PROGRESS_POSITION = kWmApp + 0x44F;
inline constexpr int WM_PROGRESS_SHOW = kWmApp + 0x450;
// The finished report, to the report window (lParam: the layer's serial,
// see SundrelMonmonier::serial()).
inline constexpr int WM_SHOW_REPORT = kWmApp + 0x44D;

} // namespace sundrel

namespace sundrel::msg {

// Building sundrels.
// The range error that ends a matrix's sundrels when no start segment is
// left; caught, never shown.
inline constexpr const char* CantConstructSundrel = "Impossible to constuct another sundrel";
// The silent aborts of a cancelled computation; never shown.
inline constexpr const char* SundrelAborted = "sundrel";
inline constexpr const char* PavingAborted = "paving_matrix";

// A crossed segment (ref, next) missing from a cell's neighbours after
// `examined` of them: the cells and the matrix do not match.
inline std::string SegmentNotInCell(std::int32_t ref, std::int32_t next, std::int32_t examined)
{
    std::string text = "\nref0 = ";
    text += std::to_string(ref) + " next0 = " + std::to_string(next) + " k = " +
            std::to_string(examined);
    return text;
}

// The set-up of an analysis: matrices of another size than the map's.
inline std::string IncompatibleMatrixSize(std::int32_t n)
{
    return "Error : incompatible matrix size (expected size : " + std::to_string(n) + " x " +
           std::to_string(n) + ")";
}

// The set-up dialog's choices of run that the loaded matrices do not allow.
inline constexpr const char* SingleRunOnManyMatrices =
    "Impossible to perform single run monmonier algorithm\non multiple matrices.";
inline constexpr const char* TestOnOneMatrix =
    "Impossible to perform sundrels significance test\non a single matrix.";
inline constexpr const char* NoFileSelected = "File : no file selected";
inline constexpr const char* NoMatrixLoaded = "Status : no matrix loaded";

// The progress of a new analysis: sorting the matrices, then building the
// sundrels.
inline constexpr const char* SortingMatrixData = "Sorting matrix data, please wait...";
inline constexpr const char* ConstructingSundrels = "Constructing sundrels, please wait...";

// The report of a sundrel.
inline constexpr const char* ReportSundrelBegins = " -- Beginning of sundrel --";
inline constexpr const char* ReportFirstDirection = "# Constructing sundrel : first direction";
inline constexpr const char* ReportOppositeDirection = "# Constructing sundrel : opposite direction";
inline constexpr const char* ReportSundrelEnds = " -- End of sundrel --";
inline constexpr const char* ReportAborted = "### Warning : computation aborted : STOP";
inline constexpr const char* ReportStop = "# Reached end of sundrel : stop";
inline constexpr const char* ReportUndeterminedAtOneStep =
    "##  Warning : undetermined direction at one step";
inline constexpr const char* ReportUndeterminedAtTwoSteps =
    "### Warning : undetermined direction at two steps : STOP";
inline constexpr const char* ReportChosenAtTwoSteps =
    "##  Warning : direction choosen at two steps : direction may be wrong...";

// A segment added to the sundrel between populations i and j (1-based), in
// the first direction or the opposite one.
inline std::string ReportSegment(bool opposite, std::int32_t i, std::int32_t j, double distance)
{
    char text[96];
    std::snprintf(text, sizeof text, "segment : {%4d,%4d} distance : %0.3f", i, j, distance);
    return std::string(opposite ? "<-" : "->") + "\t" + text;
}

// The report of a layer. Matrices and sundrels are numbered from 1.
// The degree sign of "n°", as the report holds it in memory.
inline constexpr const char* Degree = "\xC2\xB0";
inline constexpr const char* ReportParameters = "**** Parameters :";

inline std::string ReportSingleLayer(const std::string& name)
{
    return "**** Creating single monmonier layer \"" + name + "\" ****";
}

inline std::string ReportMultipleLayer(const std::string& name)
{
    return "**** Creating multiple monmonier layer name \"" + name + "\" ****";
}

inline std::string ReportMatrixCount(std::int32_t m)
{
    return "**** matrix count : " + std::to_string(m);
}

inline std::string ReportSundrelCount(std::int32_t k)
{
    return "**** sundrel count : " + std::to_string(k);
}

inline std::string ReportLoadingMatrix(std::int32_t matrix)
{
    return std::string("**** Loading distance matrix n") + Degree + " " + std::to_string(matrix);
}

inline std::string ReportConstructingSundrel(std::int32_t sundrel, const std::string& layer,
                                             std::int32_t matrix)
{
    return std::string("**** Constructing sundrel n") + Degree + " " + std::to_string(sundrel) +
           " -- layer \"" + layer + "\"  -- matrix n" + Degree + " " + std::to_string(matrix);
}

// Sundrel documents.
inline constexpr const char* UnrecognizedMonmonierHeader = "Unrecognized monmonier header";
inline constexpr const char* UnrecognizedLayerHeader = "Unrecognized monmonier layer header";

// The result layers of `file` could not be read (`error` says why); the map
// stays open without them.
inline std::string LayerDataIgnored(const std::string& file, const std::string& error)
{
    return "An error occured while reading file :\n" + file + "\nError : " + error +
           "\nMonmonier data will be ignored.";
}

} // namespace sundrel::msg
