#include "render/Export.h"

#include "common/AtomicFile.h"
#include "common/ByteOrder.h"
#include "common/Messages.h"
#include "monmonier/MonmonierLayer.h"
#include "render/BackdropDrawing.h"
#include "render/Canvas.h"
#include "render/LayerDrawing.h"
#include "render/MapDrawing.h"
#include "render/OffscreenContext.h"

#include <GL/gl.h>
#include <gl2ps.h>

#include <QBuffer>
#include <QByteArray>
#include <QImage>

#include <atomic>
#include <cmath>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>
#include <optional>

namespace sundrel::render {

namespace {

std::string LowerExtension(const std::filesystem::path& file)
{
    std::string extension = file.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

} // namespace

MBounds FitView(const MBounds& view, std::int32_t width, std::int32_t height)
{
    MBounds fitted = view;
    const double k = ((view.yMax - view.yMin) / (view.xMax - view.xMin)) *
                     (static_cast<double>(width) / static_cast<double>(height));
    if (k > 1.0) {
        const double centre = (view.xMin + view.xMax) / 2.0;
        const double half = (view.xMax - view.xMin) / 2.0 * k;
        fitted.xMin = centre - half;
        fitted.xMax = centre + half;
    } else {
        const double centre = (view.yMin + view.yMax) / 2.0;
        const double half = (view.yMax - view.yMin) / (2.0 * k);
        fitted.yMin = centre - half;
        fitted.yMax = centre + half;
    }
    return fitted;
}

MBounds SetFittedProjection(const MBounds& view, std::int32_t width, std::int32_t height,
                            double zNear, double zFar)
{
    const MBounds fitted = FitView(view, width, height);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(fitted.xMin, fitted.xMax, fitted.yMin, fitted.yMax, zNear, zFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return fitted;
}

std::int64_t ExportProgressMaximum(const ExportSource& source)
{
    std::int64_t maximum = 19;
    if (source.map)
        for (int layer = 0; layer < 5; ++layer)
            if (source.visible[static_cast<std::size_t>(layer)])
                maximum += LayerStepCount(*source.map, layer);
    if (source.layers)
        maximum += ExportStepCount(*source.layers);
    return maximum;
}

// The drawing of RenderBitmap, into `context` (made here).
static std::vector<unsigned char> DrawBitmap(const ExportSource& source, const ExportParameters& p,
                                             ExportProgress* progress,
                                             std::unique_ptr<OffscreenContext>& context)
{
    auto step = [&] {
        if (progress)
            progress->Step();
    };
    if (!source.map || !source.primitives)
        throw Error(msg::CouldntCreateDeviceContext);
    // Steps 1 to 3: the off-screen target and its context.
    context = std::make_unique<OffscreenContext>(p.width, p.height);
    for (int k = 0; k < 7; ++k)
        step();
    // Step 4: viewport, fitted projection, parallel parameter set, white.
    const MBounds fitted = SetFittedProjection(source.view, p.width, p.height, -2.0, 1.0);
    ViewPrimitives& view = *source.primitives;
    view.parallel.scale = (fitted.xMax - fitted.xMin) / p.width;
    view.parallel.resolution = p.resolution * 2.54;
    glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glPushMatrix();
    step();
    // Step 5: the visible layers, the result layers, then the labels.
    ScaledFonts fonts(p.resolution * 2.54, source.screenPixelsPerInch);
    // No glyph is rasterised larger than the image it is drawn on.
    fonts.LimitPixelHeight(std::max(p.width, p.height));
    Canvas canvas{view, view.parallel, fonts, progress};
    canvas.ForPixels(fitted);
    const MMap& map = *source.map;
    if (source.backdrops)
        DrawBackdrops(canvas, *source.backdrops);
    if (source.visible[kDelaunay])
        DrawDelaunay(canvas, map);
    if (source.visible[kVoronoi])
        DrawVoronoi(canvas, map);
    if (source.visible[kOriginalPoints])
        DrawOriginalPoints(canvas, map);
    if (source.visible[kVirtualPoints])
        DrawVirtualPoints(canvas, map);
    if (source.layers)
        DrawLayersForExport(canvas, *source.layers);
    if (source.visible[kLabels])
        DrawLabelsForExport(canvas, map);
    glPopMatrix();
    glFlush();
    step();
    std::vector<unsigned char> rows = context->ReadBgrRows();
    step();
    return rows;
}

std::vector<unsigned char> RenderBitmap(const ExportSource& source, const ExportParameters& p,
                                        ExportProgress* progress,
                                        std::unique_ptr<OffscreenContext>* keepOnFailure)
{
    std::unique_ptr<OffscreenContext> context;
    try {
        return DrawBitmap(source, p, progress, context);
    } catch (...) {
        // The context may still have queued drawing to finish: the caller
        // that asked for it releases it once the failure is reported.
        if (keepOnFailure)
            *keepOnFailure = std::move(context);
        throw;
    }
}

std::array<unsigned char, 58> BitmapFileHeader(std::int32_t width, std::int32_t height,
                                               double resolution)
{
    std::array<unsigned char, 58> h{};
    const std::int64_t rowSize = BitmapRowSize(width);
    h[0] = 'B';
    h[1] = 'M';
    StoreLE(&h[2], static_cast<std::uint32_t>(rowSize * height + 58));
    StoreLE(&h[10], std::uint32_t{58});
    unsigned char* info = &h[14];
    StoreLE(&info[0], std::uint32_t{40});
    StoreLE(&info[4], width);
    StoreLE(&info[8], height);
    StoreLE(&info[12], std::uint16_t{1});
    StoreLE(&info[14], std::uint16_t{24});
    const auto perMetre = static_cast<std::int32_t>(resolution * 100.0);
    StoreLE(&info[24], perMetre);
    StoreLE(&info[28], perMetre);
    return h;
}

void WriteBitmapFile(const std::filesystem::path& file, std::int32_t width, std::int32_t height,
                     double resolution, const std::vector<unsigned char>& rows)
{
    std::optional<AtomicFile> out;
    try {
        out.emplace(file);
    } catch (const FileError& e) {
        throw FileError(msg::CouldntOpenFile, e.file(), e.reason());
    }
    std::ostream& stream = out->stream();
    const auto header = BitmapFileHeader(width, height, resolution);
    try {
        if (!stream.write(reinterpret_cast<const char*>(header.data()), 14))
            throw Error(msg::CouldntWriteBitmapHeader);
        if (!stream.write(reinterpret_cast<const char*>(header.data() + 14), 44))
            throw Error(msg::CouldntWriteBitmapInfo);
        if (!stream.write(reinterpret_cast<const char*>(rows.data()),
                          static_cast<std::streamsize>(rows.size())))
            throw Error(msg::CouldntWriteBitmapData);
    } catch (const Error& e) {
        out->raise(e);
    }
    try {
        out->commit();
    } catch (const FileError& e) {
        throw FileError(msg::CouldntWriteBitmapData, e.file(), e.reason());
    }
}

PrintPlacement PlacePrintedBitmap(std::int32_t width, std::int32_t height, double resolution,
                                  int printerDpiX, int printerDpiY, std::int32_t pageWidth,
                                  std::int32_t pageHeight, const MBounds& view)
{
    PrintPlacement p;
    p.width = static_cast<std::int32_t>(printerDpiX / (resolution * 2.54) * width);
    p.height = static_cast<std::int32_t>(printerDpiY / (resolution * 2.54) * height);
    const double r = (view.xMax - view.xMin) / (view.yMax - view.yMin);
    if (p.width > pageWidth) {
        p.width = pageWidth;
        p.height = static_cast<std::int32_t>(p.width / r);
    }
    if (p.height > pageHeight) {
        p.height = pageHeight;
        p.width = static_cast<std::int32_t>(p.height * r);
    }
    p.x = (pageWidth - p.width) / 2;
    p.y = (pageHeight - p.height) / 2;
    return p;
}

ExportingThread::ExportingThread(Notifier* dialog) : dialog_(dialog) {}

ExportingThread::~ExportingThread()
{
    stopWorker();
}

bool ExportingThread::start(int job, ExportParameters parameters, ExportSource source)
{
    auto p = std::make_shared<ExportParameters>(std::move(parameters));
    auto s = std::make_shared<ExportSource>(std::move(source));
    return startJob([this, job, p, s] { RunJob(job, *p, *s); });
}

void ExportingThread::jobEnded(const JobResult& result)
{
    if (!dialog_)
        return;
    switch (result.outcome) {
    case JobOutcome::Done:
        dialog_->postResult(WM_EXPORT_FINISHED, 0, 0, result);
        break;
    case JobOutcome::Failed:
        dialog_->postResult(WM_EXPORT_FAILED, 0, 0, result);
        break;
    case JobOutcome::Cancelled:
        dialog_->postResult(WM_EXPORT_CANCELLED, 0, 0, result);
        break;
    }
    // Released after the report, so that a cancelled job's dialog closes
    // without waiting for the drawing already queued; the worker is idle
    // only once it is gone.
    leftover_.reset();
}

void ExportingThread::RunJob(int job, const ExportParameters& parameters,
                             const ExportSource& source)
{
    const JobHooks hooks{dialog_, &feedback()};
    ExportProgress progress(hooks);
    switch (job) {
    case kJobSave:
        if (source.save)
            source.save(parameters.file, hooks);
        break;
    case kJobExtra:
        if (source.extra)
            source.extra(parameters.file, hooks);
        break;
    case kJobBitmap: {
        progress.Stage(ExportStage::InitializingBitmap);
        std::vector<unsigned char> rows = RenderBitmap(source, parameters, &progress, &leftover_);
        progress.Stage(ExportStage::WritingBitmap);
        if (LowerExtension(parameters.file) == ".png")
            WritePngFile(parameters.file, rows, parameters.width, parameters.height,
                         parameters.resolution, &feedback());
        else
            WriteBitmapFile(parameters.file, parameters.width, parameters.height,
                            parameters.resolution, rows);
        progress.Step();
        break;
    }
    case kJobVector:
        progress.Stage(ExportStage::WritingFile);
        ExportViewVector(parameters.file, source, parameters.width, parameters.height,
                         &feedback());
        progress.Step();
        break;
    case kJobPrint: {
        progress.Stage(ExportStage::InitializingPrint);
        std::vector<unsigned char> rows = RenderBitmap(source, parameters, &progress, &leftover_);
        progress.Stage(ExportStage::Printing);
        if (!source.print)
            throw Error(msg::CouldntCreateDeviceContext);
        source.print(rows, parameters.width, parameters.height);
        progress.Step();
        break;
    }
    default:
        break;
    }
}

std::int64_t PostScriptBufferSize(const MMap& map, const std::array<bool, 5>& visible,
                                  const MonmonierLayer* layers)
{
    // Feedback floats: a point is a token and one vertex of 7 values (x, y,
    // z, colour), a line a token and two vertices, a text a pass-through
    // token pair and a bitmap token with its vertex; settings are
    // pass-through pairs. Clipping never yields more than this.
    constexpr std::int64_t kPoint = 8, kLine = 15, kText = 12, kSetting = 64;
    std::int64_t floats = 16 * kSetting;
    const auto n = static_cast<std::int64_t>(map.cells.size());
    std::int64_t delaunay = 0, voronoi = 0;
    for (std::int64_t i = 0; i < n; ++i) {
        const MPolygon& cell = map.cells[static_cast<std::size_t>(i)];
        for (std::int32_t j : cell.neighbours) {
            delaunay += j > i && j < n;
            voronoi += j < i;
        }
    }
    if (visible[kOriginalPoints])
        floats += kPoint * n;
    if (visible[kVirtualPoints])
        floats += kPoint * map.V();
    if (visible[kDelaunay])
        floats += kLine * delaunay;
    if (visible[kVoronoi])
        floats += kLine * voronoi;
    if (visible[kLabels])
        floats += kText * n;
    // A result layer draws at most one line and one text on each Voronoi
    // edge, and two labels on each sundrel.
    if (layers)
        for (std::int32_t i = 0; i < layers->count(); ++i)
            if (auto layer = layers->layer(i))
                floats += (kLine + kText) * (voronoi + 2 * layer->sundrelCount()) + kSetting;
    return floats;
}

VectorExportResult ExportVector(const std::filesystem::path& file, VectorFormat format,
                                const std::string& producer, const MMap& map,
                                const std::array<bool, 5>& visible,
                                const std::function<void()>& extraLayers,
                                std::int64_t firstBufferSize,
                                const JobFeedback* feedback,
                                const std::function<void()>& backdrops)
{
    GLint gl2psFormat = GL2PS_PS;
    switch (format) {
    case VectorFormat::PostScript:
        gl2psFormat = GL2PS_PS;
        break;
    case VectorFormat::EncapsulatedPostScript:
        gl2psFormat = GL2PS_EPS;
        break;
    case VectorFormat::Svg:
        gl2psFormat = GL2PS_SVG;
        break;
    case VectorFormat::Pdf:
        gl2psFormat = GL2PS_PDF;
        break;
    }
    AtomicFile out(file);
    std::FILE* stream = out.cStream();

    const std::string title = file.filename().string();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    VectorExportResult result;
    GLint state = GL2PS_OVERFLOW;
    while (state == GL2PS_OVERFLOW) {
        // The first buffer is sized for the primitives drawn; a page that
        // still overflows tries again with twice the room.
        result.bufferSize = result.tries == 0 ? std::max<std::int64_t>(firstBufferSize, 1048576)
                                              : 2 * result.bufferSize;
        if (result.bufferSize > std::numeric_limits<GLint>::max())
            throw Error(msg::MemoryAllocationFailure);
        ++result.tries;
        if (feedback)
            feedback->checkCancelled(msg::ComputationAborted);
        // Every try writes the file from its start: a page begun with a
        // buffer too small must not stay in front of the one that fits.
        if (result.tries > 1)
            out.restart();
        if (gl2psBeginPage(title.c_str(), producer.c_str(), viewport, gl2psFormat,
                           GL2PS_SIMPLE_SORT, GL2PS_SILENT, GL_RGBA, 0, nullptr, 0, 0, 0,
                           static_cast<GLint>(result.bufferSize), stream,
                           title.c_str()) != GL2PS_SUCCESS)
            throw Error(msg::FileWritingError);
        glClearColor(1.0f, 1.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        try {
            if (extraLayers)
                extraLayers();
            const int order[] = {kVirtualPoints, kOriginalPoints, kVoronoi, kDelaunay, kLabels};
            for (int layer : order) {
                glTranslated(0.0, 0.0, -1.0);
                if (!visible[static_cast<std::size_t>(layer)])
                    continue;
                switch (layer) {
                case kVirtualPoints:
                    PsVirtualPoints(map);
                    break;
                case kOriginalPoints:
                    PsOriginalPoints(map);
                    break;
                case kVoronoi:
                    PsVoronoi(map);
                    break;
                case kDelaunay:
                    PsDelaunay(map);
                    break;
                default:
                    PsLabels(map);
                    break;
                }
            }
            if (backdrops)
                backdrops();
        } catch (...) {
            glPopMatrix();
            gl2psEndPage();
            throw;
        }
        glFlush();
        glPopMatrix();
        state = gl2psEndPage();
        out.checkStream();
        if (state != GL2PS_SUCCESS && state != GL2PS_OVERFLOW && state != GL2PS_NO_FEEDBACK)
            throw Error(msg::FileWritingError);
    }
    if (feedback)
        feedback->checkCancelled(msg::ComputationAborted);
    out.commit();
    return result;
}

} // namespace sundrel::render

namespace sundrel::render {

QImage ImageFromBitmapRows(const std::vector<unsigned char>& rows, std::int32_t width,
                           std::int32_t height)
{
    const auto rowSize = static_cast<std::size_t>(BitmapRowSize(width));
    if (width <= 0 || height <= 0 || rows.size() < rowSize * static_cast<std::size_t>(height))
        return {};
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return image;
    for (std::int32_t y = 0; y < height; ++y) {
        const unsigned char* in = rows.data() + static_cast<std::size_t>(height - 1 - y) * rowSize;
        unsigned char* out = image.scanLine(y);
        for (std::int32_t x = 0; x < width; ++x) {
            out[3 * x] = in[3 * x + 2];
            out[3 * x + 1] = in[3 * x + 1];
            out[3 * x + 2] = in[3 * x];
        }
    }
    return image;
}

void WritePngFile(const std::filesystem::path& file, const std::vector<unsigned char>& rows,
                  std::int32_t width, std::int32_t height, double resolution,
                  const JobFeedback* feedback)
{
    QImage image = ImageFromBitmapRows(rows, width, height);
    if (image.isNull())
        throw Error(msg::MemoryAllocationFailure);
    const int perMetre = static_cast<int>(resolution * 100.0);
    image.setDotsPerMeterX(perMetre);
    image.setDotsPerMeterY(perMetre);
    // Encoded in memory, then written with every write checked.
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw Error(msg::CouldntOpenFile);
    AtomicFile out(file);
    try {
        if (!out.stream().write(bytes.constData(), bytes.size()))
            throw Error(msg::CouldntOpenFile);
    } catch (const Error& e) {
        out.raise(e);
    }
    if (feedback)
        feedback->checkCancelled(msg::ComputationAborted);
    out.commit();
}

std::optional<VectorFormat> VectorFormatOf(const std::filesystem::path& file)
{
    const std::string extension = LowerExtension(file);
    if (extension == ".ps")
        return VectorFormat::PostScript;
    if (extension == ".eps")
        return VectorFormat::EncapsulatedPostScript;
    if (extension == ".svg")
        return VectorFormat::Svg;
    if (extension == ".pdf")
        return VectorFormat::Pdf;
    return std::nullopt;
}

VectorExportResult ExportViewVector(const std::filesystem::path& file, const ExportSource& source,
                                    std::int32_t width, std::int32_t height,
                                    const JobFeedback* feedback)
{
    const std::optional<VectorFormat> format = VectorFormatOf(file);
    if (!source.map || !format)
        throw Error(msg::FileWritingError);
    OffscreenContext context(width, height);
    const MBounds fitted = SetFittedProjection(source.view, width, height, -20.0, 20.0);
    ViewPrimitives primitives;
    primitives.screen.resolution = 72.0;
    primitives.screen.scale = (fitted.xMax - fitted.xMin) / width;
    CachedFonts fonts(72.0);
    Canvas canvas{primitives, primitives.screen, fonts, nullptr};
    return ExportVector(
        file, *format, "Sundrel", *source.map, source.visible,
        [&] {
            if (source.layers)
                DrawLayersForPostScript(canvas, *source.layers);
        },
        PostScriptBufferSize(*source.map, source.visible, source.layers) +
            (source.backdrops ? BackdropBufferSize(*source.backdrops) : 0),
        feedback, [&] {
            if (source.backdrops)
                DrawBackdrops(canvas, *source.backdrops, true);
        });
}

} // namespace sundrel::render
