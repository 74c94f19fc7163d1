#pragma once
// Helpers of the hostile-file tests: scratch folders, the chunk layout of a
// file, where each picture row's data ends in a BODY, and BMP pixel reads.
#include "decoder/iff_picture.h"
#include "tests/support/ilbm_writer.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tambrel::test {

// A private folder under TMPDIR, removed with its contents (permissions restored first).
class ScratchDir {
  public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir &) = delete;
    ScratchDir &operator=(const ScratchDir &) = delete;
    const std::string &Path() const { return path_; }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    // Names in the folder, sorted, "." and ".." left out.
    std::vector<std::string> Entries() const;

  private:
    std::string path_;
};

struct ChunkAt {
    std::string Id;
    std::size_t Offset; // of the chunk header
    std::uint32_t Size;
};

// The chunks of a well-formed file, in order.
std::vector<ChunkAt> ChunksOf(const Bytes &file);

// The file offset just after the data of each picture row (rows 1 .. height)
// of a BODY whose data starts at `dataStart`: `planes` plane rows of `rowBytes`
// each, plain or ByteRun1.
std::vector<std::size_t> RowEnds(const Bytes &file, std::size_t dataStart, int height, int planes,
                                 std::size_t rowBytes, bool packed);

// The colour of picture pixel (x, y), y counted from the top from 0, in a
// 32-bit bottom-up BMP file; nullopt when the file is too short.
std::optional<std::uint32_t> BitmapPixel(const Bytes &bmp, int x, int y);

} // namespace tambrel::test
