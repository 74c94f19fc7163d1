#pragma once
// A second thread for work that splits into independent rows: a batch of
// rows goes to a worker, which starts on it at once while the calling thread
// goes on with other work; the calling thread then takes the rows the worker
// has not reached. The worker waits, asleep, between batches.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tambrel::loader {

class RowPair {
  public:
    // Starts the worker when `twoThreads`; without it (or when the system
    // gives no thread) every batch runs on the calling thread alone, in Finish.
    explicit RowPair(bool twoThreads);
    ~RowPair();
    RowPair(const RowPair &) = delete;
    RowPair &operator=(const RowPair &) = delete;

    // Hands out a batch: job(i) is to be called once for every i in
    // 0 .. count - 1. The job must not throw. Each batch is finished before
    // the next starts.
    void Start(std::size_t count, std::function<void(std::size_t)> job);
    // Calls job(i) for the items of the batch not yet taken, and returns when
    // every item is done.
    void Finish();

  private:
    void TakeItems();
    void WorkerLoop();

    std::mutex lock_;
    std::condition_variable wake_;
    std::function<void(std::size_t)> job_;
    std::size_t count_ = 0;
    std::atomic<std::size_t> next_{0};
    std::uint64_t batch_ = 0; // counts the batches handed out
    bool workerBusy_ = false;
    bool stop_ = false;
    std::thread worker_;
};

} // namespace tambrel::loader
