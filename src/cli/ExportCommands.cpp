// sundrel-cli export: the document as the window shows it, written as a
// bitmap (through the export job), PNG, PostScript, EPS, SVG or PDF.

#include "cli/Messages.h"
#include "cli/CommandLine.h"
#include "cli/Counts.h"
#include "cli/Documents.h"
#include "cli/Interrupt.h"

#include "common/AtomicFile.h"
#include "common/Errors.h"
#include "common/Messages.h"
#include "geo/Backdrop.h"
#include "geo/Messages.h"
#include "render/BackdropDrawing.h"
#include "render/Canvas.h"
#include "render/Export.h"
#include "render/FontSupport.h"
#include "render/LayerDrawing.h"
#include "render/OffscreenContext.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QString>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>

namespace sundrel::cli {

namespace {

using namespace sundrel::render;

// Progress of an export job on standard error, by tenths, and the job's
// outcome.
class ExportPrinter : public Notifier {
public:
    explicit ExportPrinter(std::int64_t maximum) : maximum_(std::max<std::int64_t>(1, maximum)) {}

    void post(int message, std::intptr_t, std::intptr_t) override
    {
        std::lock_guard guard(lock_);
        if (message == WM_EXPORT_STEP) {
            ++steps_;
            const int tenth = static_cast<int>(std::min<std::int64_t>(10, steps_ * 10 / maximum_));
            if (tenth != shown_) {
                shown_ = tenth;
                std::fprintf(stderr, "%s %d%%\n", msg::Exporting, tenth * 10);
            }
        } else if (message != WM_EXPORT_STAGE) {
            outcome_ = message;
            if (message == WM_EXPORT_FINISHED && shown_ != 10)
                std::fprintf(stderr, "%s 100%%\n", msg::Exporting);
        }
    }
    int outcome() const
    {
        std::lock_guard guard(lock_);
        return outcome_;
    }

private:
    mutable std::mutex lock_;
    std::int64_t maximum_;
    std::int64_t steps_ = 0;
    int shown_ = -1;
    int outcome_ = 0;
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

MBounds ParseView(const std::string& text)
{
    MBounds v;
    double* fields[] = {&v.xMin, &v.xMax, &v.yMin, &v.yMax};
    std::size_t start = 0;
    for (int k = 0; k < 4; ++k) {
        const std::size_t comma = text.find(',', start);
        if ((k < 3) != (comma != std::string::npos))
            throw UsageError("--view takes XMIN,XMAX,YMIN,YMAX");
        *fields[k] = ParseDouble(text.substr(start, comma - start), "--view");
        start = comma + 1;
    }
    if (!std::isfinite(v.xMin) || !std::isfinite(v.xMax) || !std::isfinite(v.yMin) ||
        !std::isfinite(v.yMax) || !(v.xMax > v.xMin) || !(v.yMax > v.yMin))
        throw UsageError("--view needs XMIN < XMAX and YMIN < YMAX");
    return v;
}

// The backdrops of the list that are shown, loaded into the map's
// coordinates; one that cannot be read is named on standard error and left
// out.
std::vector<Backdrop> LoadBackdrops(const std::vector<geo::BackdropEntry>& list,
                                    const std::optional<geo::CoordinateSystem>& crs,
                                    const MBounds& area)
{
    std::vector<Backdrop> backdrops;
    for (const geo::BackdropEntry& entry : list) {
        if (!entry.style.visible)
            continue;
        try {
            geo::LoadedBackdrop loaded = geo::LoadBackdrop(entry.file, crs ? &*crs : nullptr, &area);
            if (!loaded.reprojected && (loaded.ownCrs || crs))
                std::fprintf(stderr, "%s\n", msg::BackdropNotReprojected(entry.file.string()).c_str());
            backdrops.emplace_back(std::move(loaded.geometry), entry.style, entry.file.string());
        } catch (const Error& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    }
    return backdrops;
}

geo::BackdropEntry& LastBackdrop(std::vector<geo::BackdropEntry>& list, const char* option)
{
    if (list.empty())
        throw UsageError(std::string(option) + " follows the --backdrop it styles");
    return list.back();
}

std::uint32_t ColourOption(const std::string& text, const char* option)
{
    const std::optional<std::uint32_t> colour = geo::ParseColour(text);
    if (!colour)
        throw UsageError(std::string(option) + " takes a colour #RRGGBB, not '" + text + "'");
    return *colour;
}

} // namespace

int RunExport(Arguments& args)
{
    std::string input, output;
    std::int64_t width = 800;
    std::int64_t height = 600;
    double dpi = 72.0;
    bool haveView = false;
    MBounds view;
    std::vector<geo::BackdropEntry> extraBackdrops;
    std::vector<std::string> countsFiles;
    while (!args.Done()) {
        if (args.Take("--counts"))
            countsFiles.push_back(args.Value("--counts"));
        else if (args.Take("-o") || args.Take("--output"))
            output = args.Value("-o");
        else if (args.Take("--width"))
            width = ParseInteger(args.Value("--width"), "--width", 1, 1 << 30);
        else if (args.Take("--height"))
            height = ParseInteger(args.Value("--height"), "--height", 1, 1 << 30);
        else if (args.Take("--dpi")) {
            dpi = ParseDouble(args.Value("--dpi"), "--dpi");
            if (!std::isfinite(dpi) || dpi < 1.0 || dpi > 2400.0)
                throw UsageError(msg::DpiRange);
        } else if (args.Take("--view")) {
            view = ParseView(args.Value("--view"));
            haveView = true;
        } else if (args.Take("--backdrop")) {
            geo::BackdropEntry entry;
            entry.file = std::filesystem::absolute(args.Value("--backdrop")).lexically_normal();
            extraBackdrops.push_back(entry);
        } else if (args.Take("--backdrop-line")) {
            LastBackdrop(extraBackdrops, "--backdrop-line").style.lineColour =
                ColourOption(args.Value("--backdrop-line"), "--backdrop-line");
        } else if (args.Take("--backdrop-size")) {
            const double size = ParseDouble(args.Value("--backdrop-size"), "--backdrop-size");
            if (size < 0 || size > 1000)
                throw UsageError("--backdrop-size takes a line size from 0 to 1000 points");
            geo::BackdropStyle& style = LastBackdrop(extraBackdrops, "--backdrop-size").style;
            style.lineSize = static_cast<float>(size);
        } else if (args.Take("--backdrop-fill")) {
            geo::BackdropStyle& style = LastBackdrop(extraBackdrops, "--backdrop-fill").style;
            const std::string fill = args.Value("--backdrop-fill");
            style.filled = fill != "none";
            if (style.filled)
                style.fillColour = ColourOption(fill, "--backdrop-fill");
        } else {
            args.TakeOperand(input);
        }
    }
    if (input.empty() || output.empty())
        throw UsageError("export needs a document and -o OUT.(bmp|png|ps|eps|svg|pdf)");
    const std::string extension = Lower(std::filesystem::path(output).extension().string());
    const bool raster = extension == ".bmp" || extension == ".png";
    if (!raster && extension != ".ps" && extension != ".eps" && extension != ".svg" &&
        extension != ".pdf")
        throw UsageError("the output must end in .bmp, .png, .ps, .eps, .svg or .pdf");
    CheckOutput(output, "figure", nullptr);
    const std::int64_t limit = OffscreenContext::MaximumSize();
    if (width > limit || height > limit)
        throw UsageError("the size is limited to " + std::to_string(limit) + " x " +
                         std::to_string(limit) + " pixels by the renderer");

    EnsureFontSupport();
    ComputedDocument document(input);
    AddCountsLayers(document, countsFiles);
    MonmonierLayer& layers = document.layers;
    const OpenDocument& open = document.open;
    const MMap& map = *open.doc.map;
    if (!haveView)
        view = map.frameBounds; // "Reset zoom"

    ViewPrimitives primitives;
    ExportSource source;
    source.map = &map;
    for (int k = 0; k < 5; ++k)
        source.visible[static_cast<std::size_t>(k)] =
            open.doc.header.visibility[static_cast<std::size_t>(k)] != 0;
    source.layers = &layers;
    source.view = view;
    source.primitives = &primitives;
    source.screenPixelsPerInch = kDefaultScreenPixelsPerInch;
    ExportParameters parameters;
    parameters.file = output;
    parameters.width = static_cast<std::int32_t>(width);
    parameters.height = static_cast<std::int32_t>(height);
    parameters.resolution = dpi / 2.54;

    // The document's backdrops, then those given here, beneath the map.
    PrintWarnings(open.geographyWarnings);
    std::vector<geo::BackdropEntry> backdropList = open.geography.backdrops;
    backdropList.insert(backdropList.end(), extraBackdrops.begin(), extraBackdrops.end());
    const std::vector<Backdrop> backdrops =
        LoadBackdrops(backdropList, open.geography.crs, FitView(view, parameters.width, parameters.height));
    if (!backdrops.empty())
        source.backdrops = &backdrops;

    if (extension == ".bmp") {
        ExportPrinter printer(ExportProgressMaximum(source));
        ExportingThread thread(&printer);
        InterruptGuard interrupts;
        if (!thread.start(kJobBitmap, parameters, source))
            throw Error(msg::ExportDidNotStart);
        WaitForWorker(thread);
        if (printer.outcome() == WM_EXPORT_CANCELLED)
            throw Error(msg::ExportCancelledByUser);
        if (printer.outcome() == WM_EXPORT_FAILED) {
            const JobResult result = thread.lastResult();
            if (result.failure)
                std::rethrow_exception(result.failure);
            throw Error(result.message);
        }
        return 0;
    }
    if (extension == ".png") {
        // Drawn on this thread, with the command's cancel (Ctrl-C) between
        // items.
        ExportProgress cancel(InterruptHooks());
        InterruptGuard interrupts;
        std::vector<unsigned char> rows;
        try {
            rows = RenderBitmap(source, parameters, &cancel);
        } catch (const Abort&) {
            throw Error(msg::ExportCancelledByUser);
        }
        WritePngFile(output, rows, parameters.width, parameters.height, parameters.resolution,
                     &Interrupt());
        return 0;
    }

    // Vector formats: the view as a window of W x H pixels shows it.
    InterruptGuard interrupts;
    ExportViewVector(output, source, parameters.width, parameters.height, &Interrupt());
    return 0;
}

} // namespace sundrel::cli
