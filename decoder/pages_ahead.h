#pragma once
// Fresh pages made ready ahead of a writer, on a second thread.
#include <atomic>
#include <cstddef>
#include <thread>

namespace tambrel {

// While alive, makes the pages of a block from AllocateZeroed ready for
// writing, front to back, on a second thread, so that the system's clearing
// of fresh pages runs beside a caller that fills the block from its start.
// Changes no byte of the block. Does nothing for small blocks, or where the
// system offers no such preparing.
class PagesReadiedAhead {
  public:
    PagesReadiedAhead(void *block, std::size_t bytes);
    ~PagesReadiedAhead();
    PagesReadiedAhead(const PagesReadiedAhead &) = delete;
    PagesReadiedAhead &operator=(const PagesReadiedAhead &) = delete;

  private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

} // namespace tambrel
