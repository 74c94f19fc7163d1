// The memory budget shared by pictures decoded at the same time.
#include "common/errors.h"
#include "decoder/memory_budget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace tambrel {
namespace {

TEST(MemoryBudget, RefusesOnlyWhatCanNeverFitWhereAskedTo) {
    MemoryBudget windows(1000, true);
    try {
        windows.Claim(0, 1500, "p.iff");
        ADD_FAILURE() << "a picture larger than the budget was accepted";
    } catch (const TambrelError &e) {
        EXPECT_EQ(e.Number, kErrOutOfMemory);
    }
    MemoryBudget converter(1000, false);
    EXPECT_NO_THROW(converter.Claim(0, 1500, "p.iff")) << "runs alone instead";
}

TEST(MemoryBudget, SecondPictureWaitsUntilTheFirstFreesItsBuffers) {
    MemoryBudget budget(1000, false);
    budget.Claim(0, 600, "a.iff");
    std::atomic<bool> claimed{false};
    std::thread second([&] {
        budget.Claim(1, 600, "b.iff");
        claimed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(claimed) << "600 + 600 bytes were held at once in a budget of 1000";
    budget.Finish(0);
    budget.Release(0);
    second.join();
    EXPECT_TRUE(claimed);
}

} // namespace
} // namespace tambrel
