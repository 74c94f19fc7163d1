#include "decoder/memory_budget.h"

#include "common/errors.h"

#include <algorithm>
#include <sys/resource.h>
#include <unistd.h>

namespace tambrel {

namespace {

struct ScopeState {
    MemoryBudget *budget = nullptr;
    std::size_t order = 0;
};

thread_local ScopeState t_scope;

std::string Megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

} // namespace

MemoryBudget::MemoryBudget(std::uint64_t bytes, bool refuseLarger)
    : limit_(bytes), refuseLarger_(refuseLarger) {}

bool MemoryBudget::Settled(std::size_t order) const {
    return order < firstOpen_ || settled_.count(order) > 0;
}

std::uint64_t MemoryBudget::HeldByOthers(std::size_t order, bool &lowerHolds) const {
    std::uint64_t total = 0;
    lowerHolds = false;
    for (const auto &[other, bytes] : held_) {
        if (other != order) {
            total += bytes;
            lowerHolds = lowerHolds || other < order;
        }
    }
    return total;
}

void MemoryBudget::Claim(std::size_t order, std::uint64_t bytes, const std::string &what) {
    if (bytes > limit_ && refuseLarger_) {
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + what + " need " +
                                                Megabytes(bytes) + ", more than the " +
                                                Megabytes(limit_) + " this program may use");
    }
    std::unique_lock lock(mutex_);
    const bool first = !Settled(order);
    changed_.wait(lock, [&] {
        if (first && firstOpen_ < order) {
            return false; // a picture of a lower number has not claimed yet
        }
        bool lowerHolds = false;
        const std::uint64_t others = HeldByOthers(order, lowerHolds);
        if (first) {
            return others == 0 || others + bytes <= limit_;
        }
        return !lowerHolds || others + bytes <= limit_;
    });
    held_[order] = bytes;
    if (first) {
        settled_.insert(order);
        while (settled_.count(firstOpen_) > 0) {
            settled_.erase(firstOpen_++);
        }
    }
    changed_.notify_all();
}

void MemoryBudget::Finish(std::size_t order) {
    std::lock_guard lock(mutex_);
    if (!Settled(order)) {
        settled_.insert(order);
        while (settled_.count(firstOpen_) > 0) {
            settled_.erase(firstOpen_++);
        }
    }
    changed_.notify_all();
}

void MemoryBudget::Release(std::size_t order) {
    std::lock_guard lock(mutex_);
    held_.erase(order);
    changed_.notify_all();
}

std::uint64_t DefaultMemoryBudget() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGE_SIZE);
    std::uint64_t budget = pages > 0 && pageSize > 0 ? static_cast<std::uint64_t>(pages) *
                                                           static_cast<std::uint64_t>(pageSize) / 2
                                                     : std::uint64_t{1} << 31;
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        budget = std::min<std::uint64_t>(budget, limit.rlim_cur / 2);
    }
    return budget;
}

BudgetScope::BudgetScope(MemoryBudget &budget, std::size_t order)
    : savedBudget_(t_scope.budget), savedOrder_(t_scope.order) {
    t_scope = {&budget, order};
}

BudgetScope::~BudgetScope() {
    t_scope = {savedBudget_, savedOrder_};
}

void ClaimPictureMemory(std::uint64_t bytes, const std::string &what) {
    if (t_scope.budget != nullptr) {
        t_scope.budget->Claim(t_scope.order, bytes, what);
    }
}

} // namespace tambrel
