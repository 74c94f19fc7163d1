#pragma once
// Memory shared by the pictures decoded at the same time. The pixel buffers
// of a picture are claimed from the budget of the thread that decodes it
// before they are allocated; without a budget on the thread nothing is checked
// beyond the pixel cap.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>

namespace tambrel {

class MemoryBudget {
  public:
    // refuseLarger: a claim larger than the whole budget fails with error 7
    // (the windows); otherwise it waits until it is the only one and runs alone.
    MemoryBudget(std::uint64_t bytes, bool refuseLarger);
    std::uint64_t Limit() const { return limit_; }

    // Claims `bytes` for the picture numbered `order` (its buffers replace any
    // it claimed before). A picture's first claim waits until every picture of
    // a lower number has claimed or finished, and until it fits beside those
    // held; later claims wait only for pictures of lower numbers, so the
    // lowest always goes on. Throws TambrelError (7) when refused.
    void Claim(std::size_t order, std::uint64_t bytes, const std::string &what);
    // The picture's loading ended: it claims nothing more.
    void Finish(std::size_t order);
    // The picture's buffers were freed.
    void Release(std::size_t order);

  private:
    bool Settled(std::size_t order) const;
    std::uint64_t HeldByOthers(std::size_t order, bool &lowerHolds) const;

    const std::uint64_t limit_;
    const bool refuseLarger_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::size_t, std::uint64_t> held_;
    std::set<std::size_t> settled_; // claimed or finished, above firstOpen_
    std::size_t firstOpen_ = 0;     // lowest number neither claimed nor finished
};

// Half the machine's memory, and no more than half of the address space the
// process may use.
std::uint64_t DefaultMemoryBudget();

// While alive, picture buffers allocated on this thread are claimed from
// `budget` as picture `order`.
class BudgetScope {
  public:
    BudgetScope(MemoryBudget &budget, std::size_t order);
    ~BudgetScope();
    BudgetScope(const BudgetScope &) = delete;
    BudgetScope &operator=(const BudgetScope &) = delete;

  private:
    MemoryBudget *savedBudget_; // the scope this one hides, restored at its end
    std::size_t savedOrder_;
};

// Called by the decoder before it allocates a picture's buffers.
void ClaimPictureMemory(std::uint64_t bytes, const std::string &what);

} // namespace tambrel
