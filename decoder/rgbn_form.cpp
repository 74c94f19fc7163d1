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

// The colour and count of the run whose bytes start at `p` (RGB8 when
// `Wide`); a count of 0 says the count follows.
template <bool Wide> void ReadRun(const std::uint8_t *p, Colour &colour, std::uint32_t &count) {
    if constexpr (Wide) {
        const std::uint32_t run = BigEndian32(p);
        colour = run >> 8;
        count = run & 0x7F;
    } else {
        const std::uint32_t word = std::uint32_t{p[0]} << 8 | p[1];
        colour = (word >> 12 & 15) * 0x110000 + (word >> 8 & 15) * 0x1100 + (word >> 4 & 15) * 0x11;
        count = word & 7;
    }
}

// Fills the row from `out` to `rowEnd` with the runs that end inside it and
// carry their count in their own bytes, the common case, in a tight loop.
// Returns where the row goes on: at `rowEnd`, or before a run that needs more.
template <bool Wide>
Colour *FillRunsInRow(const std::uint8_t *cache, std::uint64_t &pos, std::uint64_t end, Colour *out,
                      Colour *rowEnd) {
    constexpr std::uint64_t kUnit = Wide ? 4 : 2;
    while (out != rowEnd && pos + kUnit <= end) {
        Colour colour = 0;
        std::uint32_t count = 0;
        ReadRun<Wide>(cache + pos, colour, count);
        if (count == 0 || count > static_cast<std::size_t>(rowEnd - out)) {
            break;
        }
        pos += kUnit;
        for (std::uint32_t i = 0; i < count; ++i) {
            out[i] = colour;
        }
        out += count;
    }
    return out;
}

void ReadRunLengthBody(LoadSession &pic, std::uint32_t size, const DecodeLimits &limits) {
    AddDebugLine(pic, "BodyFound");
    const bool wide = pic.Form == FormKind::Rgb8;
    // The runs fill the rows in order, each once: they can stream.
    StartTrueColourBody(pic, limits, false, false, 0, pic.ReadPos + size + (size & 1));
    const auto width = static_cast<std::size_t>(std::max(pic.Width, 0));
    const auto height = static_cast<std::size_t>(std::max(pic.Height, 0));
    const std::uint64_t end = std::min<std::uint64_t>(pic.ReadPos + size, pic.FileLength);
    // Every read below lies before `end`, inside the file.
    const std::uint8_t *cache = pic.FileCache.data();
    std::uint64_t pos = pic.ReadPos;
    const std::uint64_t unit = wide ? 4 : 2;
    std::size_t x = 0, y = 1; // the next pixel: column x of row y
    Colour *row = width > 0 && height > 0 ? pic.PixelColours.Row(1) : nullptr;
    // Whole runs only: a run cut off by the body's end is dropped.
    while (row != nullptr) {
        Colour *const rowEnd = row + width;
        x = static_cast<std::size_t>(
            (wide ? FillRunsInRow<true>(cache, pos, end, row + x, rowEnd)
                  : FillRunsInRow<false>(cache, pos, end, row + x, rowEnd)) -
            row);
        if (x == width) {
            TrueColourRowDone(pic, static_cast<std::int32_t>(y));
            x = 0;
            row = ++y <= height ? pic.PixelColours.Row(y) : nullptr;
            continue;
        }
        if (pos + unit > end) {
            break;
        }
        // A run that goes on into the next row, or whose count follows it.
        Colour colour = 0;
        std::uint32_t count = 0;
        if (wide) {
            ReadRun<true>(cache + pos, colour, count);
        } else {
            ReadRun<false>(cache + pos, colour, count);
        }
        pos += unit;
        if (count == 0 && pos < end) {
            count = cache[pos++];
            if (count == 0 && pos + 2 <= end) {
                count = std::uint32_t{cache[pos]} << 8 | cache[pos + 1];
                pos += 2;
            }
        }
        // The run row by row: a run may go on into the next row.
        while (count > 0) {
            const std::size_t n = std::min<std::size_t>(count, width - x);
            std::fill_n(row + x, n, colour);
            x += n;
            count -= static_cast<std::uint32_t>(n);
            if (x == width) {
                TrueColourRowDone(pic, static_cast<std::int32_t>(y));
                x = 0;
                row = ++y <= height ? pic.PixelColours.Row(y) : nullptr;
                if (row == nullptr) {
                    break;
                }
            }
        }
    }
    pic.ReadPos = pos;
    // Pixels the runs did not reach are black. A streamed row's slot held an
    // earlier row, so the rest of it is cleared and each row handed on.
    if (pic.RowsStream) {
        for (; y <= height; ++y, x = 0) {
            std::fill(pic.PixelColours.Row(y) + x, pic.PixelColours.Row(y) + width, Colour{0});
            TrueColourRowDone(pic, static_cast<std::int32_t>(y));
        }
    } else {
        TrueColourRowDone(pic, static_cast<std::int32_t>(height));
    }
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
