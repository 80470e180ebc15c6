#pragma once
// Export of the map view: the bitmap, print and save jobs, run on the export
// worker thread with progress messages and cancellation, and the PostScript
// export through GL2PS (also SVG and PDF, GL2PS's own formats).

#include "common/Errors.h"
#include "common/Notifier.h"
#include "common/Worker.h"
#include "model/MMap.h"
#include "model/MMapFactory.h"
#include "render/Messages.h"
#include "render/ViewPrimitives.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QImage;

namespace sundrel {
class MonmonierLayer;
}

namespace sundrel::render {

class Backdrop;
class OffscreenContext;

// The worker reports to its dialog with the export messages of the map
// factory's header (WM_EXPORT_FINISHED .. WM_EXPORT_STAGE): every job ends with one
// of WM_EXPORT_FINISHED, WM_EXPORT_FAILED and WM_EXPORT_CANCELLED, posted with the
// job's result; a stage's wParam is the layer index and lParam the stage
// code.

// Job codes.
inline constexpr int kJobSave = 0;
inline constexpr int kJobExtra = 1;
inline constexpr int kJobBitmap = 2;
inline constexpr int kJobPrint = 3;
// PostScript, EPS, SVG or PDF by the file's extension, see ExportViewVector.
inline constexpr int kJobVector = 4;

// What a job draws: the map with its layer visibility, the result layers,
// the view bounds (xmin, xmax, ymin, ymax), and the view primitives whose
// parallel set the job fills.
struct ExportSource {
    const MMap* map = nullptr;
    std::array<bool, 5> visible{true, true, true, true, true};
    MonmonierLayer* layers = nullptr;
    MBounds view;
    ViewPrimitives* primitives = nullptr;
    double screenPixelsPerInch = 96.0;
    // Drawn beneath the map layers (may be null).
    const std::vector<Backdrop>* backdrops = nullptr;
    // The save job (code 0) and the extra job (code 1) run these, with the
    // job's hooks (progress window and feedback) for the document writers.
    std::function<void(const std::filesystem::path&, const JobHooks&)> save;
    std::function<void(const std::filesystem::path&, const JobHooks&)> extra;
    // The print job hands the rendered page (bottom-up BGR rows) here.
    std::function<void(const std::vector<unsigned char>& rows, std::int32_t width,
                        std::int32_t height)>
        print;
};

struct ExportParameters {
    std::filesystem::path file;
    std::int32_t width = 800;
    std::int32_t height = 600;
    double resolution = 28.346456692913385; // pixels per centimetre (72 dpi)
};

// The view fitted to a W x H output: the x range widened, or the y range
// changed, about its centre so that the output is not distorted.
MBounds FitView(const MBounds& view, std::int32_t width, std::int32_t height);

// Viewport W x H and an orthographic projection over the view fitted to it
// (depth zNear .. zFar), model-view identity; returns the fitted view.
MBounds SetFittedProjection(const MBounds& view, std::int32_t width, std::int32_t height,
                            double zNear, double zFar);

// Progress maximum of the bitmap and print jobs.
std::int64_t ExportProgressMaximum(const ExportSource& source);

// Renders the source off-screen into bottom-up BGR rows padded to 4 bytes
// (the 24-bit bitmap layout), reporting to `progress` (may be null). When it
// raises (a cancel, a failure), the off-screen context goes to
// `keepOnFailure` if given, for the caller to release after reporting.
std::vector<unsigned char> RenderBitmap(const ExportSource& source, const ExportParameters& p,
                                        class ExportProgress* progress,
                                        std::unique_ptr<OffscreenContext>* keepOnFailure = nullptr);

// The 58-byte header of a 24-bit bitmap file.
std::array<unsigned char, 58> BitmapFileHeader(std::int32_t width, std::int32_t height,
                                               double resolution);
// Writes the bitmap file through a temporary file renamed over `file`;
// raises "Couldn't open the file", "Couldn't write the bitmap file header",
// "Couldn't write the bitmap info" or "Couldn't write the bitmap data".
void WriteBitmapFile(const std::filesystem::path& file, std::int32_t width, std::int32_t height,
                     double resolution, const std::vector<unsigned char>& rows);

// The rendered rows (bottom-up BGR, rows padded to 4 bytes) as an RGB
// image, top row first; a null image when there is no memory for it.
QImage ImageFromBitmapRows(const std::vector<unsigned char>& rows, std::int32_t width,
                           std::int32_t height);

// Writes the rendered rows (bottom-up BGR) as a PNG file through a temporary
// file renamed over `file`; a cancel of `feedback` (may be null) seen last
// keeps the previous file. Raises "Couldn't open the file".
void WritePngFile(const std::filesystem::path& file, const std::vector<unsigned char>& rows,
                  std::int32_t width, std::int32_t height, double resolution,
                  const JobFeedback* feedback = nullptr);

// Where a rendered W x H page goes on paper: the printed size from the
// printer's pixels per inch and the job's resolution (pixels per cm), shrunk
// to the page width and then to the page height keeping the view's aspect
// (xmax - xmin) / (ymax - ymin), and centred.
struct PrintPlacement {
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};
PrintPlacement PlacePrintedBitmap(std::int32_t width, std::int32_t height, double resolution,
                                  int printerDpiX, int printerDpiY, std::int32_t pageWidth,
                                  std::int32_t pageHeight, const MBounds& view);

// The worker of the export dialog: one job at a time, started only when the
// worker is idle, reporting through `dialog`. cancel() is the dialog's
// "Cancel": the job stops at its next step.
class ExportingThread : public Worker {
public:
    explicit ExportingThread(Notifier* dialog);
    ~ExportingThread() override;

    // Cancels a job still running, waits up to 100000 ms for the worker to be
    // idle, resets the feedback and starts the job. False when the worker
    // did not get idle.
    bool start(int job, ExportParameters parameters, ExportSource source);

protected:
    // Runs on the worker; `parameters` and `source` are the job's own copies.
    virtual void RunJob(int job, const ExportParameters& parameters, const ExportSource& source);
    void jobEnded(const JobResult& result) override;

    Notifier* dialog_;
    // The off-screen context of a job that raised, released after its report.
    std::unique_ptr<OffscreenContext> leftover_;
};

// The output formats GL2PS writes.
enum class VectorFormat { PostScript, EncapsulatedPostScript, Svg, Pdf };

struct VectorExportResult {
    int tries = 0;               // pages begun until the buffer sufficed
    std::int64_t bufferSize = 0; // the final buffer size
};

// The feedback buffer (in floats) that holds every primitive the PostScript
// export draws of the map and the result layers.
std::int64_t PostScriptBufferSize(const MMap& map, const std::array<bool, 5>& visible,
                                  const MonmonierLayer* layers);

// The PostScript export: with the current context and projection, begins
// GL2PS pages with a buffer of `firstBufferSize` floats (at least 1048576),
// doubled each time the page overflows, until the page fits,
// drawing the result layers (`extraLayers`) and then the map layers in the
// order virtual points, original points, Voronoi, Delaunay, labels, each one
// step back in depth, and then the backdrops (`backdrops`) further back. The
// file is rewritten from its start on every try and renamed over `file` once
// complete; a cancel of `feedback` (may be null) is looked for before each
// page and before the file replaces anything. Raises "Impossible to open the
// file", "File writing error", "Invalid font attributes".
// The vector format of a file name's extension (.ps, .eps, .svg, .pdf, in
// any case), or nothing.
std::optional<VectorFormat> VectorFormatOf(const std::filesystem::path& file);

// The view of `source` as a window of W x H pixels shows it, in the format
// of the file's extension, on an off-screen context of this thread: one
// output pixel is one PostScript point, the result layers are drawn first.
VectorExportResult ExportViewVector(const std::filesystem::path& file, const ExportSource& source,
                                    std::int32_t width, std::int32_t height,
                                    const JobFeedback* feedback = nullptr);

VectorExportResult ExportVector(const std::filesystem::path& file, VectorFormat format,
                                const std::string& producer, const MMap& map,
                                const std::array<bool, 5>& visible,
                                const std::function<void()>& extraLayers,
                                std::int64_t firstBufferSize = 0,
                                const JobFeedback* feedback = nullptr,
                                const std::function<void()>& backdrops = {});

} // namespace sundrel::render
