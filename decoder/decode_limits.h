#pragma once
// What every decode is held to, and where its rows may go as they are done.
// Each program passes its own limits: the converter its shared budget, the
// windows half the machine's memory, the desktop readers a desktop-sized
// allowance; all are checked from the header before anything is allocated.
#include "common/errors.h"

#include <cstdint>
#include <limits>
#include <span>

namespace tambrel {

struct IFF_Picture;

// Largest file a reader takes in: a picture at the pixel cap with 8 unpacked
// planes needs no more.
inline constexpr std::uint64_t kMaxSourceBytes = std::uint64_t{1} << 30;

struct DecodeLimits {
    // Largest pixel buffer: (W8 + 1) x (Height + 1) cells.
    std::uint64_t Pixels = kMaxPixels;
    // Bytes the decode may hold at once: the file, the pixel buffers, the
    // planes of a vertical BODY, the row tables.
    std::uint64_t MemoryBytes = std::numeric_limits<std::uint64_t>::max();
    // Bytes of the file read: never more than its FORM (size field + 8).
    std::uint64_t SourceBytes = kMaxSourceBytes;
    // Whether a picture stored with 16 bits a sample keeps them (PixelWide)
    // beside its 8-bit rows, for the PNG writer. A reader that shows 8 bits
    // leaves it off and spends no memory on them.
    bool WideSamples = true;
    // Which picture of a CAT or LIST the load takes: 0 the first, 1 the
    // second ... (a lone FORM is picture 0 only).
    std::uint32_t PictureIndex = 0;
};

// The allowance of a reader inside another program (a file manager, an image
// viewer): pictures up to 8192 x 8192, its own buffers within 48 MiB, 8 bits
// a sample.
DecodeLimits DesktopLimits();

// Takes each picture row as soon as the decoder has finished it, so a reader
// that scales or writes rows as they come needs no whole-picture buffer. The
// rows are read from the record (RgbaRow and its kin) inside TakeRow only:
// while rows stream, the record keeps just the row being worked on.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // The picture's size and kind are known (pic.Width x pic.Height), before
    // any pixel buffer exists; throw TambrelError to refuse the picture.
    virtual void Begin(const IFF_Picture &pic) = 0;
    // Picture row y (0 at the top) is complete.
    virtual void TakeRow(const IFF_Picture &pic, std::int32_t y) = 0;
    // Asked after Begin, when the rows about to stream are plain palette rows
    // (each pixel shows pic.Palette[its index], a palette no row changes).
    // True: the sink reads only the indices and the palette, so the decoder
    // leaves the rows' colours out (PixelColours then holds nothing of use).
    virtual bool TakeIndicesOnly() { return false; }
};

// What the first BMHD of a picture file says (an RGFX's RGHD, a DEEP's DGBL:
// their size, as 24 planes), read without decoding anything.
struct PictureHeader {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t Bitplanes = 0;
    std::int32_t Masking = 0;
};

// True when `bytes` start as a picture FORM whose chunks before the first
// BODY include a BMHD, RGHD or DGBL (filled into `header`), or as a CAT or
// LIST whose first picture FORM has one, itself or in a PROP of the LIST.
bool ReadPictureHeader(std::span<const std::uint8_t> bytes, PictureHeader &header);

} // namespace tambrel
