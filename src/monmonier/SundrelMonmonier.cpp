#include "monmonier/SundrelMonmonier.h"

#include "common/Errors.h"
#include "common/Notifier.h"
#include "matrix/SMatrix.h"
#include "monmonier/Messages.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <thread>

namespace sundrel {

namespace {

// Sorts every matrix the store does not hold sorted yet and appends the
// permutations in matrix order. Two threads sort while this one stores the
// results in turn, with a few sorted matrices waiting at most.
void SortStore(MatrixFile& store, std::int32_t m, Notifier* progress, const JobFeedback* cancel)
{
    if (store.sorted())
        return;
    const std::int32_t first = store.permutationCount();
    if (first >= m)
        return;
    const auto post = [&] {
        if (progress)
            progress->post(WM_PROGRESS_STEP, 0, 0);
    };
    constexpr std::int32_t kAhead = 3;
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::int32_t, std::vector<std::int32_t>> sorted;
    std::int32_t next = first;
    std::int32_t stored = first;
    std::exception_ptr failure;
    bool stop = false;

    const auto sorter = [&] {
        for (;;) {
            std::int32_t k;
            {
                std::unique_lock<std::mutex> l(lock);
                changed.wait(l, [&] { return stop || next >= m || next < stored + kAhead; });
                if (stop || next >= m)
                    return;
                k = next++;
            }
            std::vector<std::int32_t> permutation;
            try {
                if (cancel && cancel->isCancelled())
                    throw Abort(msg::SundrelAborted);
                post();
                permutation = SortedPermutation(store, k);
            } catch (...) {
                std::lock_guard<std::mutex> l(lock);
                failure = std::current_exception();
                stop = true;
                changed.notify_all();
                return;
            }
            std::lock_guard<std::mutex> l(lock);
            sorted.emplace(k, std::move(permutation));
            changed.notify_all();
        }
    };

    std::thread helper(sorter);
    std::thread helper2(sorter);
    {
        std::unique_lock<std::mutex> l(lock);
        while (stored < m && !stop) {
            changed.wait(l, [&] { return stop || sorted.count(stored) > 0; });
            if (stop)
                break;
            try {
                store.writePermutation(sorted[stored]);
                post();
            } catch (...) {
                failure = std::current_exception();
                stop = true;
                changed.notify_all();
                break;
            }
            sorted.erase(stored);
            ++stored;
            changed.notify_all();
        }
        stop = true;
        changed.notify_all();
    }
    helper.join();
    helper2.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace

SundrelMonmonier::SundrelMonmonier(std::int32_t m, std::int32_t n,
                                   const std::vector<MPolygon>* cells,
                                   std::unique_ptr<MatrixFile> store, UsedBits* used,
                                   const PavingMatrix* paving, Notifier* progress,
                                   Notifier* reportWindow, const JobFeedback* cancel)
    : m_(m), n_(n), cells_(cells), store_(std::move(store)), used_(used), paving_(paving),
      progress_(progress), reportWindow_(reportWindow), cancel_(cancel)
{
    static std::atomic<std::intptr_t> serials{0};
    serial_ = ++serials;
    selection_.fill(true);
    SortStore(*store_, m_, progress_, cancel_);
    for (std::int32_t k = 0; k < m_; ++k)
        matrices_.push_back(std::make_unique<SundrelMatrix>(n_, paving_, store_.get(), k, used_));
    buildTouching();
}

void SundrelMonmonier::buildTouching()
{
    touching_.clear();
    if (paving_) {
        touching_.assign((paving_->size() + 7) / 8, 0);
        for (std::size_t p = 0; p < paving_->size(); ++p)
            if ((*paving_)[p] != -1)
                touching_[p >> 3] |= static_cast<std::uint8_t>(1u << (p & 7));
    }
    for (auto& matrix : matrices_)
        matrix->setTouching(&touching_);
}

SundrelMonmonier::~SundrelMonmonier()
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    clear();
}

void SundrelMonmonier::post(int message, std::intptr_t lParam)
{
    if (progress_)
        progress_->post(message, 0, lParam);
}

void SundrelMonmonier::reportLine(std::string line)
{
    std::lock_guard<std::mutex> lock(reportLock_);
    report_.push_back(std::move(line));
}

void SundrelMonmonier::rename(std::string newName)
{
    std::lock_guard<std::mutex> lock(nameLock_);
    name = std::move(newName);
}

std::string SundrelMonmonier::layerName() const
{
    std::lock_guard<std::mutex> lock(nameLock_);
    return name;
}

void SundrelMonmonier::setLabelStyle(int style)
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    labelStyle = style;
    if (m_ == 1 && !sundrels_.empty())
        for (std::size_t s = 0; s < sundrels_[0].size() && s < 26; ++s)
            sundrels_[0][s]->label = SundrelLabel(labelStyle, static_cast<int>(s) + 1);
}

void SundrelMonmonier::compute(std::int32_t k)
{
    const std::string title = layerName();
    {
        std::lock_guard<std::mutex> lock(sundrelLock_);
        {
            std::lock_guard<std::mutex> r(reportLock_);
            report_.clear();
        }
        k_ = k;
        sundrels_.assign(static_cast<std::size_t>(m_), {});
        for (std::int32_t m = 0; m < m_; ++m)
            for (std::int32_t s = 0; s < k; ++s)
                sundrels_[static_cast<std::size_t>(m)].push_back(std::make_shared<Sundrel>(
                    &report_, cells_, matrices_[static_cast<std::size_t>(m)].get(), this));
        if (m_ == 1)
            for (std::int32_t s = 0; s < std::min(k, 26); ++s)
                sundrels_[0][static_cast<std::size_t>(s)]->label = SundrelLabel(labelStyle, s + 1);
        computed_ = true;
    }
    post(WM_PROGRESS_SHOW, 0);

    if (isSingle()) {
        reportLine(msg::ReportSingleLayer(title));
        reportLine(msg::ReportParameters);
        reportLine(msg::ReportSundrelCount(k));
    } else {
        reportLine(msg::ReportMultipleLayer(title));
        reportLine(msg::ReportParameters);
        reportLine(msg::ReportMatrixCount(reportedCount_ > 0 ? reportedCount_ : m_));
        reportLine(msg::ReportSundrelCount(k));
    }

    for (std::int32_t m = 0; m < m_; ++m) {
        reportLine("");
        reportLine(msg::ReportLoadingMatrix(m + firstReplicate_));
        std::fill(used_->begin(), used_->end(), 0);
        try {
            for (std::int32_t s = 0; s < k; ++s) {
                reportLine("");
                reportLine(msg::ReportConstructingSundrel(s + 1, title, m + firstReplicate_));
                sundrels_[static_cast<std::size_t>(m)][static_cast<std::size_t>(s)]->construct(
                    selection_[static_cast<std::size_t>(std::min(s, 9))]);
                post(WM_PROGRESS_POSITION, std::intptr_t(k) * m + s + 1);
            }
        } catch (const RangeError&) {
            // No start segment left: this matrix keeps the sundrels built.
        }
        // The pages read for this matrix are not needed for the next one, so
        // memory stays the same whatever the number of matrices.
        matrices_[static_cast<std::size_t>(m)]->releaseBuffer();
        store_->releaseCache();
        if (onRedrawRequest)
            onRedrawRequest();
    }
    if (showReport) {
        if (reportWindow_)
            reportWindow_->post(WM_SHOW_REPORT, 0, serial_);
        showReport = false;
    }
}

void SundrelMonmonier::clear()
{
    sundrels_.clear();
    k_ = 0;
    {
        std::lock_guard<std::mutex> lock(countLock_);
        counts_.clear();
        maxCount_ = 1;
    }
    computed_ = false;
}

void SundrelMonmonier::clearComputed()
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    computed_ = false;
}

void SundrelMonmonier::setMap(const std::vector<MPolygon>* cells, const PavingMatrix* paving)
{
    std::int32_t k;
    {
        std::lock_guard<std::mutex> lock(sundrelLock_);
        k = k_;
        clear();
        cells_ = cells;
        paving_ = paving;
    }
    for (auto& matrix : matrices_)
        matrix->reset(paving_);
    buildTouching();
    compute(k);
}

void SundrelMonmonier::setSundrelCount(std::int32_t k)
{
    {
        std::lock_guard<std::mutex> lock(sundrelLock_);
        clear();
    }
    for (auto& matrix : matrices_)
        matrix->reset(paving_);
    compute(k);
}

void SundrelMonmonier::setStoredSundrelCount(std::int32_t k)
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    k_ = k;
}

void SundrelMonmonier::toggleSelection(int r)
{
    std::int32_t k;
    {
        std::lock_guard<std::mutex> lock(sundrelLock_);
        if (r >= 0 && r < 10)
            selection_[static_cast<std::size_t>(r)] = !selection_[static_cast<std::size_t>(r)];
        k = k_;
        clear();
    }
    for (auto& matrix : matrices_)
        matrix->reset(paving_);
    compute(k);
}

void SundrelMonmonier::addCount(const SundrelElement& e)
{
    std::lock_guard<std::mutex> lock(countLock_);
    auto [it, inserted] = counts_.try_emplace({e.i, e.j}, 1.0);
    if (!inserted) {
        // The count is kept in single precision, as the count list holds it.
        const float count = static_cast<float>(it->second) + 1.0f;
        it->second = static_cast<double>(count);
        if (it->second > maxCount_)
            maxCount_ = static_cast<std::int32_t>(it->second);
    }
}

void SundrelMonmonier::setSelection(const std::array<bool, 10>& flags)
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    selection_ = flags;
}

void SundrelMonmonier::setReplicateNumbering(std::int32_t first, std::int32_t total)
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    firstReplicate_ = first;
    reportedCount_ = total;
}

std::array<bool, 10> SundrelMonmonier::getSelection() const
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    return selection_;
}

std::int32_t SundrelMonmonier::sundrelCount() const
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    return k_;
}

bool SundrelMonmonier::computed() const
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    return computed_;
}

Report SundrelMonmonier::report() const
{
    std::lock_guard<std::mutex> lock(reportLock_);
    return report_;
}

std::vector<std::shared_ptr<const Sundrel>> SundrelMonmonier::sundrels(std::int32_t m) const
{
    std::lock_guard<std::mutex> lock(sundrelLock_);
    if (m < 0 || static_cast<std::size_t>(m) >= sundrels_.size())
        return {};
    const auto& row = sundrels_[static_cast<std::size_t>(m)];
    return std::vector<std::shared_ptr<const Sundrel>>(row.begin(), row.end());
}

std::vector<SundrelElement> SundrelMonmonier::countList() const
{
    std::lock_guard<std::mutex> lock(countLock_);
    std::vector<SundrelElement> list;
    list.reserve(counts_.size());
    for (const auto& [pair, count] : counts_)
        list.push_back({pair.first, pair.second, count});
    return list;
}

std::int32_t SundrelMonmonier::maxCount() const
{
    std::lock_guard<std::mutex> lock(countLock_);
    return maxCount_;
}

void SundrelMonmonierSingle::setShowTrace(bool show)
{
    showTrace_ = show;
    if (onRedrawRequest)
        onRedrawRequest();
}

} // namespace sundrel
