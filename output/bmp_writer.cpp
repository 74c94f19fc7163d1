#include "output/bmp_writer.h"

#include "common/byte_order.h"
#include "common/errors.h"
#include "output/atomic_file.h"

#include <algorithm>
#include <bit>
#include <sys/uio.h>
#include <vector>

namespace tambrel {

namespace {

// Little-endian header assembly, field after field.
struct HeaderBuilder {
    std::array<std::uint8_t, 54> bytes{};
    std::uint8_t *pos = bytes.data();
    void WriteWord(std::uint32_t value) { pos = PutLittle16(pos, value); }
    void WriteLong(std::uint32_t value) { pos = PutLittle32(pos, value); }
};

constexpr std::size_t kChunkBytes = std::size_t{1} << 20; // rows are written about 1 MiB at a time

} // namespace

std::array<std::uint8_t, 54> BitmapHeader(std::int32_t bmpWidth, std::int32_t bmpHeight) {
    const std::uint32_t imageSize =
        static_cast<std::uint32_t>(bmpHeight) * 4u * static_cast<std::uint32_t>(bmpWidth);
    HeaderBuilder h;
    h.WriteWord(0x4D42);         // "BM"
    h.WriteLong(imageSize + 54); // file size
    h.WriteLong(0);              // reserved
    h.WriteLong(54);             // offset of the pixel data
    h.WriteLong(40);             // information header size
    h.WriteLong(static_cast<std::uint32_t>(bmpWidth));
    h.WriteLong(static_cast<std::uint32_t>(bmpHeight)); // positive: rows stored bottom-up
    h.WriteWord(1);                                     // colour planes
    h.WriteWord(32);                                    // bits per pixel
    h.WriteLong(0);                                     // no compression
    h.WriteLong(imageSize);
    h.WriteLong(0); // horizontal resolution
    h.WriteLong(0); // vertical resolution
    h.WriteLong(0); // colours used
    h.WriteLong(0); // important colours
    return h.bytes;
}

bool BitmapWritable(const IFF_Picture &pic, std::int32_t bmpWidth, std::int32_t bmpHeight) {
    if (pic.LoadResult == 1 && !pic.HasBody()) {
        return false;
    }
    return bmpWidth >= 1 && bmpHeight >= 1;
}

void WriteBitmapTo(AtomicFile &out, const IFF_Picture &pic, std::int32_t bmpWidth,
                   std::int32_t bmpHeight) {
    const std::uint64_t pixels = std::uint64_t(bmpWidth) * std::uint64_t(bmpHeight);
    // The file size and image size fields are 32 bits wide.
    if (pixels > kMaxPixels || 54 + 4 * pixels > UINT32_MAX) {
        throw TambrelError(kErrOutOfMemory,
                           "Picture too large for a bitmap file: " + std::to_string(bmpWidth) +
                               " x " + std::to_string(bmpHeight) + " pixels");
    }
    const auto header = BitmapHeader(bmpWidth, bmpHeight);
    out.Write(header.data(), header.size());

    const auto width = static_cast<std::size_t>(bmpWidth);
    const PixelGrid<Colour> &source = pic.PixelColours;
    if constexpr (std::endian::native == std::endian::little) {
        // The buffer's rows already hold each value least significant byte
        // first: hand them to the file as they are, bottom row first.
        if (width <= source.Columns() && static_cast<std::size_t>(bmpHeight) < source.Rows()) {
            std::vector<iovec> rows(static_cast<std::size_t>(bmpHeight));
            for (std::int32_t r = 0; r < bmpHeight; ++r) {
                const Colour *row = source.Row(static_cast<std::size_t>(bmpHeight - r));
                rows[static_cast<std::size_t>(r)] = {const_cast<Colour *>(row), 4 * width};
            }
            out.WritePieces(rows.data(), rows.size());
            return;
        }
    }
    const std::size_t rowBytes = 4 * width;
    const std::size_t rowsPerChunk = std::max<std::size_t>(1, kChunkBytes / rowBytes);
    std::vector<std::uint8_t> chunk(rowsPerChunk * rowBytes);
    const PixelGrid<Colour> &colours = pic.PixelColours;
    // Header sizes beyond the decoded buffer read as black rather than past it.
    const std::size_t inColumns = std::min(width, colours.Columns());

    std::size_t filled = 0;
    for (std::int32_t r = 0; r < bmpHeight; ++r) {
        const auto sourceRow = static_cast<std::size_t>(bmpHeight - r); // bottom row first
        std::uint8_t *dest = chunk.data() + filled * rowBytes;
        std::size_t x = 0;
        if (sourceRow < colours.Rows()) {
            const Colour *src = colours.Row(sourceRow);
            for (; x < inColumns; ++x) {
                PutLittle32(dest + 4 * x, src[x]);
            }
        }
        std::fill(dest + 4 * x, dest + rowBytes, std::uint8_t{0});
        if (++filled == rowsPerChunk) {
            out.Write(chunk.data(), filled * rowBytes);
            filled = 0;
        }
    }
    if (filled > 0) {
        out.Write(chunk.data(), filled * rowBytes);
    }
}

void WriteBitmapFile(const IFF_Picture &pic, const std::string &fileName, std::int32_t bmpWidth,
                     std::int32_t bmpHeight, const OutputRules &rules) {
    if (!BitmapWritable(pic, bmpWidth, bmpHeight)) {
        return;
    }
    AtomicFile out(fileName, rules);
    WriteBitmapTo(out, pic, bmpWidth, bmpHeight);
    out.Commit();
}

void WriteBitmapFile(const IFF_Picture &pic, const std::string &fileName, std::int32_t bmpWidth,
                     std::int32_t bmpHeight) {
    WriteBitmapFile(pic, fileName, bmpWidth, bmpHeight, OutputRules{pic.PicturePath});
}

} // namespace tambrel
