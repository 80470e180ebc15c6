#pragma once
// Messages shared by every subsystem (files and memory), word for word as
// users see them, and the message numbers and stages of export jobs, which
// the map writer, the result layers' writer and the drawing all report. Each
// subsystem keeps its own table in its own Messages.h.

#include "common/Notifier.h"

namespace sundrel {

// The messages of an export job to its progress window: every job ends with
// one of finished, failed and cancelled (posted with its result); a stage
// message has the layer index in wParam and the stage in lParam, a step
// message none.
inline constexpr int WM_EXPORT_FINISHED = kWmApp + 0xB0;
inline constexpr int WM_EXPORT_FAILED = kWmApp + 0xB1;
inline constexpr int WM_EXPORT_CANCELLED = kWmApp + 0xB2;
inline constexpr int WM_EXPORT_STEP = kWmApp + 0xB3;
inline constexpr int WM_EXPORT_STAGE = kWmApp + 0xB4;

// The stages of an export job, by the codes its stage message carries; the
// texts the dialog shows for them are render's (ExportStageText). Stages 101
// and above name a result layer by its index.
enum class ExportStage : int {
    Initializing = 0, // saving a document, the triangulation export
    InitializingBitmap = 1,
    InitializingPrint = 2,
    OriginalPoints = 10,
    VirtualPoints = 11,
    Labels = 12,
    LabelsFont = 13,
    Delaunay = 14,
    Voronoi = 15,
    WritingTriangulation = 16,
    WritingFile = 20,
    WritingBitmap = 21,
    Printing = 23,
    Sundrels = 100,
    LayerFont = 101,
    SingleSundrels = 102,
    SingleTitles = 103,
    MultipleSundrels = 104,
    MultipleLabels = 105,
    SavingLayer = 106,
};

// Posts stage `stage` (of result layer `layer`) to a job's progress window,
// if it has one.
inline void PostStage(Notifier* progress, ExportStage stage, std::intptr_t layer = 0)
{
    if (progress)
        progress->post(WM_EXPORT_STAGE, layer, static_cast<std::intptr_t>(stage));
}

// Posts one step of a job's progress bar, if it has one.
inline void PostStep(Notifier* progress)
{
    if (progress)
        progress->post(WM_EXPORT_STEP, 0, 0);
}

} // namespace sundrel

namespace sundrel::msg {

inline constexpr const char* ImpossibleToOpen = "Impossible to open the file";
// Said where a document or a figure cannot be opened for reading or writing.
inline constexpr const char* CouldntOpenFile = "Couldn't open the file";
inline constexpr const char* FileWritingError = "File writing error";
inline constexpr const char* FileReadingError = "File reading error";
inline constexpr const char* FilePositioningError = "File positioning error";
inline constexpr const char* MemoryAllocationFailure = "Memory allocation failure";
inline constexpr const char* UnknownError = "Unknown error";
// The silent abort of a cancelled job, which the command line shows when
// Ctrl-C stops its work.
inline constexpr const char* ComputationAborted = "Computation aborted";

} // namespace sundrel::msg
