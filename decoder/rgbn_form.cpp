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
    std::uint64_t done = 0;
    // Whole runs only: a run cut off by the body's end is dropped.
    while (done < pixels && pic.ReadPos + (wide ? 4 : 2) <= end) {
        Colour colour = 0;
        std::uint32_t count = 0;
        if (wide) {
            const std::uint32_t r = ReadByte(pic);
            const std::uint32_t g = ReadByte(pic);
            const std::uint32_t b = ReadByte(pic);
            colour = r << 16 | g << 8 | b;
            count = ReadByte(pic) & 0x7F;
        } else {
            const std::uint32_t word = ReadWord(pic);
            colour =
                (word >> 12 & 15) * 0x110000 + (word >> 8 & 15) * 0x1100 + (word >> 4 & 15) * 0x11;
            count = word & 7;
        }
        if (count == 0 && pic.ReadPos < end) {
            count = ReadByte(pic);
            if (count == 0 && pic.ReadPos + 2 <= end) {
                count = ReadWord(pic);
            }
        }
        for (const std::uint64_t stop = std::min(pixels, done + count); done < stop; ++done) {
            const std::uint64_t y = done / width;
            pic.PixelColours(static_cast<std::size_t>(done - y * width),
                             static_cast<std::size_t>(y + 1)) = colour;
            if (done - y * width == width - 1) {
                TrueColourRowDone(pic, static_cast<std::int32_t>(y + 1));
            }
        }
    }
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
