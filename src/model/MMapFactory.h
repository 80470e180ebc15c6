#pragma once
// The map builder: creates maps on its own worker thread (progress in whole
// percents, cancellation, timing) and owns every other map operation: adding
// and removing virtual points, releasing a map, writing and reading the map
// body of a document. Map operations other than creation run on the caller's
// thread while no creation runs.

#include "common/Messages.h"
#include "common/Notifier.h"
#include "common/Worker.h"
#include "model/MMap.h"
#include "model/MapAlgorithms.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sundrel {

class MMapFactory : public Worker {
public:
    using ProgressEvent = std::function<void(MMapFactory&)>;
    using FinishedEvent = std::function<void(MMapFactory&, double seconds)>;
    using ErrorEvent = std::function<void(MMapFactory&, const JobResult& failure)>;
    using CancelledEvent = std::function<void(MMapFactory&)>;

    MMapFactory();  // the worker waits for a creation
    ~MMapFactory() override; // cancels a running creation and ends the worker

    // Event slots, called on the worker thread, which waits for them to
    // return. Set them while no creation runs. Every creation ends with
    // exactly one of OnFinished, OnError (with the failure) and OnCancelled.
    ProgressEvent OnProgress;
    FinishedEvent OnFinished;
    ErrorEvent OnError;
    CancelledEvent OnCancelled;

    // Prepares a creation from the points (x, y in input order) on the calling
    // thread and hands it to the worker. Releases any map not taken yet; a
    // creation still running is cancelled and waited for (raises "A map is
    // already being created" when it does not end in time). cancel() stops a
    // creation at its next progress step; feedback().progress() tells how far
    // it got.
    void StartCreation(const std::vector<MXY>& points);
    // The finished map, once (it is there when OnFinished is called);
    // afterwards null until the next creation.
    std::unique_ptr<MMap> TakeMap();
    // Insertion during creation locates each point from a nearby one found in
    // a grid; turned off, it walks from the previous triangle only. The map
    // comes out the same either way (tests and benchmarks compare them).
    void SetJumpLocate(bool on) { jumpLocate_ = on; }
    // Seconds spent in each step of the last successful creation (for
    // benchmarks): preparation, insertion, boundary, virtual points, cells,
    // check, packaging.
    struct Timings {
        double prepare = 0, insert = 0, boundary = 0, virtuals = 0, cells = 0, check = 0,
               package = 0;
    };
    Timings LastTimings() const { return timings_; }

    // Map editing; run while no creation runs. AddVirtualPoint refuses a
    // position outside the frame or already occupied before changing anything.
    void AddVirtualPoint(MMap& map, double x, double y);
    // Raises the error AddVirtualPoint would raise for this position, without
    // changing the map: the editor checks a move's target before it takes
    // the point away.
    void CheckVirtualPosition(const MMap& map, double x, double y) const;
    void RemoveVirtualPoint(MMap& map, std::int32_t slot);
    void RemoveAllVirtualPoints(MMap& map);
    void DestroyMap(MMap& map);

    // The map body of a document, at the stream's position.
    void WriteMap(const MMap& map, std::ostream& out, const JobHooks* hooks = nullptr);
    std::unique_ptr<MMap> ReadMap(std::istream& in);

protected:
    void jobEnded(const JobResult& result) override;

private:
    struct Creation;

    std::unique_ptr<Creation> Prepare(const std::vector<MXY>& points);
    void RunCreation();
    void Create(Creation& c);
    void ProgressStep();

    // Creation steps.
    void BuildFrame(Creation& c);
    TriId StartFor(Creation& c, MXY q) const;
    void InsertOriginalPoints(Creation& c);
    void ClearBoundary(Creation& c);
    void AddVirtualPoints(Creation& c);
    void BuildCells(Creation& c);
    void CheckCells(const Creation& c) const;
    std::unique_ptr<MMap> Package(Creation& c);

    mutable std::mutex mapLock_; // guards finished_ and seconds_
    std::unique_ptr<Creation> creation_;
    std::unique_ptr<MMap> finished_;
    double seconds_ = 0.0;

    double accumulator_ = 0.0;
    double step_ = 0.0;

    detail::InsertScratch scratch_;
    bool jumpLocate_ = true;
    Timings timings_;
};

} // namespace sundrel
