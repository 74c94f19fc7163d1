// FORM RGB8 and FORM RGBN: a BMHD (and the usual ILBM chunks) with a BODY of
// runs of true colour, left to right and top to bottom; a run may go on into
// the next row.
//
// RGB8: four bytes a run: red, green, blue, then a byte whose bit 7 is the
// genlock bit and whose low seven bits count the pixels. RGBN: a word a run:
// red, green and blue in four bits each, the genlock bit, three bits of count.
// A count of 0 means the next byte is the count; if that is 0 too, the word
// after it. The genlock bit (video shows through) is not kept: the pictures
// are opaque.
#include "decoder/true_colour_rows.h"

#include <algorithm>

namespace tambrel::loader {

namespace {

void ReadRunLengthBody(LoadSession &pic, std::uint32_t size, const DecodeLimits &limits) {
    AddDebugLine(pic, "BodyFound");
    const bool wide = pic.Form == FormKind::Rgb8;
    StartTrueColourBody(pic, limits, false, false, 0);
    const auto width = static_cast<std::uint64_t>(std::max(pic.Width, 0));
    const auto height = static_cast<std::uint64_t>(std::max(pic.Height, 0));
    const std::uint64_t pixels = width * height;
    const std::uint64_t end = std::min<std::uint64_t>(pic.ReadPos + size, pic.FileLength);
    std::uint64_t done = 0, x = 0, y = 1; // the next pixel: column x of row y
    // Every read below lies before `end`, inside the file.
    const std::uint8_t *cache = pic.FileCache.data();
    std::uint64_t pos = pic.ReadPos;
    // Whole runs only: a run cut off by the body's end is dropped.
    while (done < pixels && pos + (wide ? 4 : 2) <= end) {
        Colour colour = 0;
        std::uint32_t count = 0;
        if (wide) {
            colour = std::uint32_t{cache[pos]} << 16 | std::uint32_t{cache[pos + 1]} << 8 |
                     cache[pos + 2];
            count = cache[pos + 3] & 0x7F;
            pos += 4;
        } else {
            const std::uint32_t word = std::uint32_t{cache[pos]} << 8 | cache[pos + 1];
            pos += 2;
            colour =
                (word >> 12 & 15) * 0x110000 + (word >> 8 & 15) * 0x1100 + (word >> 4 & 15) * 0x11;
            count = word & 7;
        }
        if (count == 0 && pos < end) {
            count = cache[pos++];
            if (count == 0 && pos + 2 <= end) {
                count = std::uint32_t{cache[pos]} << 8 | cache[pos + 1];
                pos += 2;
            }
        }
        // The run row by row: a run may go on into the next row.
        for (const std::uint64_t stop = std::min(pixels, done + count); done < stop;) {
            const std::uint64_t n = std::min(stop - done, width - x);
            std::fill_n(&pic.PixelColours(static_cast<std::size_t>(x), static_cast<std::size_t>(y)),
                        n, colour);
            done += n;
            x += n;
            if (x == width) {
                TrueColourRowDone(pic, static_cast<std::int32_t>(y));
                x = 0;
                ++y;
            }
        }
    }
    pic.ReadPos = pos;
    // Rows the runs did not reach stay black.
    TrueColourRowDone(pic, std::max(pic.Height, 0));
    AddDebugLine(pic, "Run-length Body Done");
}

} // namespace

bool ReadRgbnChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                   const DecodeLimits &limits) {
    if (id != "BODY") {
        return false;
    }
    // Only the first BODY is read.
    if (!pic.HasBody()) {
        ReadRunLengthBody(pic, size, limits);
    }
    return true;
}

} // namespace tambrel::loader
