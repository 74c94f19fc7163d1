#pragma once
// A two-dimensional array indexed (column, row), first index fastest, as the
// decoder's pixel buffers and tables are laid out: row 0 (all columns), then row 1...
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

namespace tambrel {

// Zero-filled storage. Large blocks come straight from the system, already
// zero and backed by huge pages where the kernel offers them, so a picture's
// buffers cost neither a clearing pass nor a page fault every 4 KiB.
void *AllocateZeroed(std::size_t bytes);
void ReleaseZeroed(void *block, std::size_t bytes);

template <typename T> class ZeroedCells {
  public:
    ZeroedCells() = default;
    explicit ZeroedCells(std::size_t count)
        : cells_(count ? static_cast<T *>(AllocateZeroed(count * sizeof(T))) : nullptr),
          count_(count) {}
    ZeroedCells(const ZeroedCells &other) : ZeroedCells(other.count_) {
        if (count_) {
            std::memcpy(cells_, other.cells_, count_ * sizeof(T));
        }
    }
    ZeroedCells(ZeroedCells &&other) noexcept : cells_(other.cells_), count_(other.count_) {
        other.cells_ = nullptr;
        other.count_ = 0;
    }
    ZeroedCells &operator=(ZeroedCells other) noexcept {
        std::swap(cells_, other.cells_);
        std::swap(count_, other.count_);
        return *this;
    }
    ~ZeroedCells() {
        if (cells_) {
            ReleaseZeroed(cells_, count_ * sizeof(T));
        }
    }
    T *data() { return cells_; }
    const T *data() const { return cells_; }
    std::size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    T &operator[](std::size_t i) { return cells_[i]; }
    const T &operator[](std::size_t i) const { return cells_[i]; }

  private:
    T *cells_ = nullptr;
    std::size_t count_ = 0;
};

template <typename T> class PixelGrid {
  public:
    PixelGrid() = default;
    // Re-creates the grid with columns 0 .. lastColumn and rows 0 .. lastRow, all zero.
    void Recreate(std::size_t lastColumn, std::size_t lastRow) {
        RecreateWindow(lastColumn, lastRow, lastRow + 1);
    }
    // The same rows, of which only the last `stored` written are kept: row r
    // lives in slot r % stored. A decode that hands each row on as it is done
    // needs no more than the row it works on.
    void RecreateWindow(std::size_t lastColumn, std::size_t lastRow, std::size_t stored) {
        cells_ = ZeroedCells<T>();
        columns_ = lastColumn + 1;
        rows_ = lastRow + 1;
        stored_ = std::min(stored, rows_);
        cells_ = ZeroedCells<T>(columns_ * stored_);
    }
    void Clear() {
        columns_ = rows_ = stored_ = 0;
        cells_ = ZeroedCells<T>();
    }
    // Bytes a grid of that shape holds.
    static std::uint64_t BytesFor(std::uint64_t columns, std::uint64_t storedRows) {
        return columns * storedRows * sizeof(T);
    }
    bool Empty() const { return cells_.empty(); }
    std::size_t Columns() const { return columns_; }
    std::size_t Rows() const { return rows_; }
    bool Holds(std::size_t c, std::size_t r) const { return c < columns_ && r < rows_; }

    T &operator()(std::size_t c, std::size_t r) { return cells_[Slot(r) * columns_ + c]; }
    const T &operator()(std::size_t c, std::size_t r) const {
        return cells_[Slot(r) * columns_ + c];
    }
    // Reads outside the grid yield 0, for readers that take sizes from the header.
    T ValueAt(std::size_t c, std::size_t r) const { return Holds(c, r) ? (*this)(c, r) : T{}; }

    T *Row(std::size_t r) { return cells_.data() + Slot(r) * columns_; }
    const T *Row(std::size_t r) const { return cells_.data() + Slot(r) * columns_; }
    // False when only a window of the rows is kept.
    bool Whole() const { return stored_ == rows_; }
    const T *Data() const { return cells_.data(); }
    std::size_t Size() const { return cells_.size(); }

  private:
    std::size_t Slot(std::size_t r) const { return r < stored_ ? r : r % stored_; }

    std::size_t columns_ = 0;
    std::size_t rows_ = 0;
    std::size_t stored_ = 0; // rows kept in memory
    ZeroedCells<T> cells_;
};

} // namespace tambrel
