#include "decoder/row_pair.h"

#include <system_error>
#include <utility>

namespace tambrel::loader {

RowPair::RowPair(bool twoThreads) {
    if (!twoThreads) {
        return;
    }
    try {
        worker_ = std::thread([this] { WorkerLoop(); });
    } catch (const std::system_error &) {
        // No second thread: Finish does all of each batch itself.
    }
}

RowPair::~RowPair() {
    if (worker_.joinable()) {
        {
            std::lock_guard<std::mutex> hold(lock_);
            stop_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }
}

void RowPair::TakeItems() {
    for (std::size_t i = next_.fetch_add(1, std::memory_order_relaxed); i < count_;
         i = next_.fetch_add(1, std::memory_order_relaxed)) {
        job_(i);
    }
}

void RowPair::WorkerLoop() {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        wake_.wait(hold, [&] { return stop_ || batch_ != seen; });
        if (stop_) {
            return;
        }
        seen = batch_;
        hold.unlock();
        TakeItems();
        hold.lock();
        workerBusy_ = false;
        wake_.notify_all();
    }
}

void RowPair::Start(std::size_t count, std::function<void(std::size_t)> job) {
    // A batch of one item is left to Finish; the worker, asleep since its
    // last batch, is not woken for it.
    const bool shared = worker_.joinable() && count > 1;
    {
        std::lock_guard<std::mutex> hold(lock_);
        job_ = std::move(job);
        count_ = count;
        next_.store(0, std::memory_order_relaxed);
        workerBusy_ = shared;
        if (shared) {
            ++batch_;
        }
    }
    if (shared) {
        wake_.notify_all();
    }
}

void RowPair::Finish() {
    TakeItems();
    // The job and its rows stay in place until the worker has let go of them.
    std::unique_lock<std::mutex> hold(lock_);
    wake_.wait(hold, [&] { return !workerBusy_; });
}

} // namespace tambrel::loader
