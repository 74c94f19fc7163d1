#pragma once
// IFF_Picture: everything known about the most recently loaded picture. The
// loader fills it; the windows, the writers and the exports read it after a
// load has returned. The loader's working state (read position, file cache,
// HAM tables, plane rows) is its own and never part of the record. Every load
// starts from an empty record, so nothing of an earlier picture (palette
// entries, tables, mode flags, buffers) colours the next one.
#include "decoder/colour.h"
#include "decoder/colour_cycles.h"
#include "decoder/decode_limits.h"
#include "decoder/picture_text.h"
#include "decoder/pixel_grid.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace tambrel {

using Table257 = std::array<std::uint32_t, 257>;

// One palette entry that a SHAM or PCHG chunk changes from picture line Line
// (0-based) on.
struct LineChange {
    std::int32_t Line = 0;
    std::uint16_t Entry = 0;
    Colour Value = 0;
};

// How the pixel values turn into colours, as DisplayMode stores it.
enum class DisplayKind : std::int16_t {
    Unset = 0,   // no CAMG yet
    Palette = 1, // palette entries (Extra Half-Brite included)
    Ham6 = 2,
    Ham8 = 3,
};

// Which FORM type the picture came in.
enum class FormKind : std::int16_t {
    Ilbm = 0, // interleaved bit planes (also the deep 24- and 32-plane pictures)
    Pbm = 1,  // chunky: one byte per pixel
    Acbm = 2, // contiguous bit planes in an ABIT chunk
    Rgfx = 3, // chunky or true colour in RGHD, RCOL and RBOD chunks
    Deep = 4, // true colour in DGBL, DPEL and DBOD chunks (FORM DEEP or TVPP)
    Rgb8 = 5, // run-length true colour, 24 bits a pixel
    Rgbn = 6, // run-length true colour, 12 bits a pixel
};

// How far a load has come, for a window that shows it from another thread:
// the rows of the BODY being decoded and how many of them are done. Rows stays
// 0 until the BODY is reached. Setting Cancel stops the load at its next row
// with a TambrelError (kLoadCancelledText).
struct LoadProgress {
    std::atomic<std::int32_t> Rows{0};
    std::atomic<std::int32_t> RowsDone{0};
    std::atomic<bool> Cancel{false};
};

inline constexpr const char *kLoadCancelledText = "Load cancelled";

struct IFF_Picture {
    // Load identity and status.
    std::string PicturePath; // the path exactly as passed to the loader
    std::string PictureName; // file name without folder and extension
    std::string LoadedName;  // same text, used in the "Can't render:" notice
    std::int32_t LoadStatus = 0;
    std::int32_t LoadResult = 0;
    std::int16_t PictureLoaded = 0; // 1 once a chunk walk has completed
    std::int32_t BodyFound = 0;     // -1 once a BODY chunk has been met
    FormKind Form = FormKind::Ilbm; // the FORM type of the last load
    // Why the last BODY (or ABIT) met was not decoded, e.g. "the header gives
    // 12 bit planes"; empty when none was refused.
    std::string BodyRefusal;
    bool VerticalBody = false; // the last decoded BODY was made of VDAT chunks
    // Where the decoder reports its rows while a load runs; owned by the caller.
    LoadProgress *Progress = nullptr;
    // The file: bytes read (never past the FORM's end) and the FORM size field.
    std::uint64_t FileLength = 0;
    std::uint32_t FormSize = 0;
    // The picture FORMs the file holds (1 for a lone FORM; a CAT or LIST may
    // hold many, nested groups included) and which of them was loaded (0 the first).
    std::uint32_t PictureCount = 0;
    std::uint32_t PictureIndex = 0;
    // Width and Height when the pixel buffers were made: a later BMHD may
    // change the header's size, never what was decoded.
    std::int32_t BodyWidth = 0;
    std::int32_t BodyHeight = 0;
    // The last BODY's rows carry the mask plane Masking 1 announces (interleaved ILBM rows).
    bool MaskCarried = false;

    // BMHD fields.
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int32_t Xpos = 0;
    std::int32_t Ypos = 0;
    std::int32_t Bitplanes = 0;
    std::int32_t Masking = 0;
    std::int32_t Packtype = 0;
    std::int32_t BmhdPad = 0;
    std::int32_t TransparentColour = 0;
    std::int32_t XaspectRatio = 0;
    std::int32_t YaspectRatio = 0;
    std::int32_t Width2 = 0;
    std::int32_t Height2 = 0;

    // Display mode. DisplayMode: 0 not set, 1 palette (and Extra Half-Brite), 2 HAM6, 3 HAM8.
    std::int16_t DisplayMode = 0;
    std::int16_t HalfBright = 0;
    std::int16_t HamFlag = 0;
    std::int16_t DynamicPalette = 0;
    std::int16_t Interlaced = 0;
    std::uint32_t ModeId = 0; // the CAMG value, unsigned

    // Palettes and tables, entries 0 .. 256.
    Table257 Palette{};
    Table257 FilePalette{};
    PixelGrid<Colour> LinePalettes; // (entry 0 .. 16, line 0 .. Height)
    // The SHAM or PCHG chunk's changes in line order (SHAM's only in HAM6).
    std::vector<LineChange> LineChanges;

    // The colour-cycling ranges of the picture's CRNG, CCRT and DRNG chunks.
    std::vector<CycleRange> ColourCycles;
    // The picture's texts, colour profile and camera data.
    PictureMetadata Metadata;

    // Pixel buffers: columns 0 .. W8, rows 0 .. Height; row 0 stays zero (the
    // raw exports write the buffers whole). Readers take rows from 0 through
    // ColourRow, IndexRow, MaskRow, AlphaRow and WideRow.
    PixelGrid<std::uint8_t> PixelIndices;
    PixelGrid<Colour> PixelColours;
    // Outputs that carry transparency read these; the BMP and raw exports do not.
    // PixelMask: same shape as PixelIndices, 1 where the mask plane (Masking 1)
    // marks the pixel opaque; empty when the picture has no mask plane.
    PixelGrid<std::uint8_t> PixelMask;
    // PixelAlpha: same shape as PixelColours, the alpha planes 24-31 of a
    // 32-plane deep picture; empty for every other picture.
    PixelGrid<std::uint8_t> PixelAlpha;
    // PixelWide: same shape as PixelColours, the full samples of a picture
    // stored with 16 bits a sample (48 and 64 planes, 16-bit DEEP elements,
    // 48- and 64-bit RGFX pixels); empty for every other picture. PixelColours
    // and PixelAlpha hold the same pixels taken to 8 bits, for every reader
    // that wants no more (BMP, the windows, the thumbnails).
    PixelGrid<WidePixel> PixelWide;

    // Debug log: elements 0 and 1 are empty, lines start at element 2.
    std::vector<std::string> DebugLog;

    // ---- Named states of the stored values, for every reader outside the decoder.
    // A chunk walk has completed on this record.
    bool Loaded() const { return PictureLoaded == 1; }
    // The last load met and decoded a BODY chunk.
    bool HasBody() const { return BodyFound == -1; }
    DisplayKind Display() const { return static_cast<DisplayKind>(DisplayMode); }
    bool IsHalfBright() const { return HalfBright == 1; }
    bool IsHam() const { return HamFlag == 1; }
    bool HasDynamicPalette() const { return DynamicPalette == 1 || !LineChanges.empty(); }
    bool IsInterlaced() const { return Interlaced == 1; }
    // Deep pictures (24 or 32 planes) hold true colour, no palette indices.
    bool IsDeep() const { return Bitplanes > 8; }
    // The size of what was decoded: the header's, within the buffers the BODY filled.
    std::int32_t DecodedWidth() const { return HasBody() ? std::min(Width, BodyWidth) : 0; }
    std::int32_t DecodedHeight() const { return HasBody() ? std::min(Height, BodyHeight) : 0; }
    // Decoded row y (0 .. DecodedHeight() - 1) of each buffer; the mask and
    // alpha rows, and the 16-bit ones, only when the picture has them.
    const Colour *ColourRow(std::int32_t y) const { return PixelColours.Row(std::size_t(y) + 1); }
    const std::uint8_t *IndexRow(std::int32_t y) const {
        return PixelIndices.Row(std::size_t(y) + 1);
    }
    const std::uint8_t *MaskRow(std::int32_t y) const { return PixelMask.Row(std::size_t(y) + 1); }
    const std::uint8_t *AlphaRow(std::int32_t y) const {
        return PixelAlpha.Row(std::size_t(y) + 1);
    }
    const WidePixel *WideRow(std::int32_t y) const { return PixelWide.Row(std::size_t(y) + 1); }
};

} // namespace tambrel
