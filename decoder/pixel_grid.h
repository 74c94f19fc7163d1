#pragma once
// A two-dimensional array indexed (column, row), first index fastest, as the
// decoder's pixel buffers and tables are laid out: row 0 (all columns), then row 1...
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tambrel {

template <typename T> class PixelGrid {
  public:
    PixelGrid() = default;
    // Re-creates the grid with columns 0 .. lastColumn and rows 0 .. lastRow, all zero.
    void Recreate(std::size_t lastColumn, std::size_t lastRow) {
        columns_ = lastColumn + 1;
        rows_ = lastRow + 1;
        cells_.assign(columns_ * rows_, T{});
    }
    void Clear() {
        columns_ = rows_ = 0;
        cells_.clear();
        cells_.shrink_to_fit();
    }
    bool Empty() const { return cells_.empty(); }
    std::size_t Columns() const { return columns_; }
    std::size_t Rows() const { return rows_; }
    bool Holds(std::size_t c, std::size_t r) const { return c < columns_ && r < rows_; }

    T &operator()(std::size_t c, std::size_t r) { return cells_[r * columns_ + c]; }
    const T &operator()(std::size_t c, std::size_t r) const { return cells_[r * columns_ + c]; }
    // Reads outside the grid yield 0, for readers that take sizes from the header.
    T ValueAt(std::size_t c, std::size_t r) const { return Holds(c, r) ? (*this)(c, r) : T{}; }

    T *Row(std::size_t r) { return cells_.data() + r * columns_; }
    const T *Row(std::size_t r) const { return cells_.data() + r * columns_; }
    const T *Data() const { return cells_.data(); }
    std::size_t Size() const { return cells_.size(); }

  private:
    std::size_t columns_ = 0;
    std::size_t rows_ = 0;
    std::vector<T> cells_;
};

} // namespace tambrel
