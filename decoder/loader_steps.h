#pragma once
// The loader's steps that its files share: the load's working state, the
// byte reader, and the body decoder's entry points the chunk walk calls.
// Nothing outside decoder/ uses them.
#include "decoder/iff_loader.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tambrel::loader {

// The header of a FORM whose pixels come in chunks of its own (RGFX, DEEP),
// kept from its header chunks to its body.
struct TrueColourHeader {
    std::uint32_t PixelBits = 0;   // RGFX: bits a pixel
    std::uint64_t RowBytes = 0;    // RGFX: bytes a row, as the header gives them
    bool TransparentIndex = false; // RGFX: the RCOL names a transparent colour
    // DEEP: the kind (1 red, 2 green, 3 blue, 4 alpha ...) and bits of each
    // element of a pixel, in the order they are stored.
    std::vector<std::pair<std::uint16_t, std::uint16_t>> Elements;
};

// One load at work: the picture record being filled, and what only the
// decoder needs while it runs. The caller's record is moved in when the load
// starts and back out when it ends, so no working state outlives the load.
struct LoadSession : IFF_Picture {
    // The file plus two zero bytes; its storage comes zeroed from the system
    // (no clearing pass over a large file).
    ZeroedCells<std::uint8_t> FileCache;
    std::uint64_t ReadPos = 0;
    std::uint32_t HeaderSize = 0; // BMHD size field, for the debug log
    bool DebugLogOn = false;
    // Where the FORM's first chunk starts: 12, or further on for the picture
    // of a CAT or LIST (FormSize is then set so that FormSize + 8 is its end).
    std::uint64_t FirstChunkAt = 12;
    TrueColourHeader OwnHeader; // RGFX and DEEP only

    // Where finished rows go while the load runs (owned by the caller), and
    // whether they go there as they are decoded: the buffers then keep only
    // the row being worked on, and are emptied when the load ends.
    RowSink *Sink = nullptr;
    bool RowsStream = false;
    // The streaming rows go to a sink that reads their indices only: they are
    // not turned into colours (see RowSink::TakeIndicesOnly).
    bool ColoursLeftOut = false;

    // The palette's upper half for Extra Half-Brite, and the lookup tables
    // that turn HAM values into colours.
    Table257 HalfBritePalette{};
    Table257 HamControl{};
    Table257 HamBlue{};
    Table257 HamGreen{};
    Table257 HamRed{};
    // Whether the line changes apply in HAM6 only (SHAM), and how many of them
    // the rows turned into colours so far have applied.
    bool LineChangesHamOnly = false;
    std::size_t LineChangesDone = 0;

    // The BODY's plane rows: bytes a plane row, and (byte column 0 .. S+1,
    // plane 0 .. Bitplanes).
    std::int32_t RowBytes = 0;
    PixelGrid<std::uint8_t> RowPlanes;
    // The true-colour BODY being started has 16-bit samples (48 and 64 planes
    // say so themselves): its pixel buffers include PixelWide.
    bool WideBody = false;
    // Rows of the last BODY that still hold pixel values instead of colours
    // (decoded before any mode was known); the walk resolves them at its end.
    bool RowsAwaitColours = false;
    std::int16_t ResolveAtEnd = 0;
};

// Appends a line to the debug log when the debug switch is on.
void AddDebugLine(LoadSession &pic, const std::string &text);

// Transposes an 8 x 8 bit matrix: bit 8r + j moves to bit 8j + r.
inline std::uint64_t TransposeBits(std::uint64_t x) {
    std::uint64_t t = (x ^ (x >> 7)) & 0x00AA00AA00AA00AAull;
    x ^= t ^ (t << 7);
    t = (x ^ (x >> 14)) & 0x0000CCCC0000CCCCull;
    x ^= t ^ (t << 14);
    t = (x ^ (x >> 28)) & 0x00000000F0F0F0F0ull;
    x ^= t ^ (t << 28);
    return x;
}

// The eight bytes of `x` in the opposite order (one instruction, where the
// machine has it: compilers know the pattern).
inline std::uint64_t ReverseBytes(std::uint64_t x) {
    x = (x & 0x00FF00FF00FF00FFull) << 8 | (x >> 8 & 0x00FF00FF00FF00FFull);
    x = (x & 0x0000FFFF0000FFFFull) << 16 | (x >> 16 & 0x0000FFFF0000FFFFull);
    return x << 32 | x >> 32;
}

// Picture row y's plane rows (RowPlanes, 1-8 planes) into its palette
// indices, and into colours unless ColoursLeftOut.
void PlanarRowToChunky(LoadSession &pic, std::int32_t y);

// Individual steps of turning pixel values into colours.
void BuildHam6Tables(LoadSession &pic);
void BuildHam8Tables(LoadSession &pic);
// Row y's pixel values into colours; its first `zeros` values are known to be 0.
void ResolveRowColours(LoadSession &pic, std::int32_t y, std::size_t zeros = 0);

std::uint32_t ReadByte(LoadSession &pic);
std::uint32_t ReadWord(LoadSession &pic);
std::uint32_t ReadLong(LoadSession &pic);
std::string Decimal(std::int64_t value);

// Picture `index` (0: the first) of the CAT or LIST that the whole file is
// (its contents run from 12 to `end`), nested groups counted in order: ReadPos
// goes to its first chunk, Form to its type, and FormSize is set so that
// FormSize + 8 is its end. The shared chunks of the LISTs around it (PROP)
// are joined into it first. `count`: the picture FORMs the group holds. False
// when it holds no picture of that number.
bool FindPictureInGroup(LoadSession &pic, std::uint64_t end, std::uint32_t index,
                        std::uint32_t &count, const DecodeLimits &limits);

// True when `type` is a FORM type the loader takes; sets `form`.
bool FormOfType(const std::string &type, FormKind &form);

// How a BODY or ABIT chunk is laid out, or that it is not decoded.
enum class BodyLayout {
    Refused,
    Interleaved, // ILBM rows of plane rows, plain or ByteRun1
    Chunky,      // PBM rows of one byte per pixel, plain or ByteRun1
    Contiguous,  // ABIT: plane 0 whole, then plane 1 ...
    Vertical,    // BODY of VDAT chunks: one per plane, packed column by column
};

// With ReadPos at the chunk's first data byte: how the BODY (or ABIT) is laid
// out, or Refused with the reason in BodyRefusal.
BodyLayout ChooseBodyLayout(LoadSession &pic, const std::string &id);
// A deep ILBM body of at least kTwoThreadBodyBytes of plane rows is read a
// batch of rows at a time and turned into colours on two threads: at most
// kDeepRowBatch rows, and no more than fit in kDeepBatchBytes.
constexpr std::size_t kDeepRowBatch = 16;
constexpr std::uint64_t kTwoThreadBodyBytes = std::uint64_t{1} << 20;
constexpr std::uint64_t kDeepBatchBytes = std::uint64_t{1} << 20;
// Rows in a batch of the picture's deep ILBM body (1: no batches).
std::size_t DeepRowBatch(const LoadSession &pic);
// The pixel buffers of a BODY, within the limits and claimed first: whole, or
// a window of rows when the rows stream to the sink (two; for a deep ILBM,
// two batches and one more row).
// `extra`: bytes the decoder holds beside them, claimed with them.
void AllocatePixelBuffers(LoadSession &pic, const DecodeLimits &limits, bool interleaved,
                          bool vertical, std::uint64_t extra = 0);
void DecodeBodyByLayout(LoadSession &pic, BodyLayout layout, std::uint32_t size);

// Deep planes 24-31 (of 32), or 48-63 (of 64), hold alpha.
inline bool HasAlphaPlanes(const IFF_Picture &pic) {
    return pic.Bitplanes == 32 || pic.Bitplanes == 64;
}
// Whether the BODY's pixel buffers include PixelWide.
inline bool KeepsWideSamples(const LoadSession &pic, const DecodeLimits &limits) {
    return limits.WideSamples && (pic.Bitplanes == 48 || pic.Bitplanes == 64 || pic.WideBody);
}
// A deep ILBM row (24 to 64 planes) into picture row y (1 .. Height) of the
// pixel buffers: plane p's row starts at planes + p * stride.
void DeepRowToColours(LoadSession &pic, std::int32_t y, const std::uint8_t *planes,
                      std::size_t stride);
// Rows that were never turned into colours, resolved when the walk ends.
void ResolveAllRows(LoadSession &pic);
// True when a chunk from `pos` to the FORM's end would change rows already
// decoded or how they look. Rows may stream only when none does.
bool LaterChunkChangesRows(const LoadSession &pic, std::uint64_t pos, bool rowsAwaitColours);

// The first chunk `id` (4 characters) of the FORM: its data's offset and its
// size within the file. False when the FORM holds none.
bool FindChunkInForm(const LoadSession &pic, const char *id, std::uint64_t &at,
                     std::uint32_t &size);
// For a BODY of a FORM without a CMAP: a grey ramp over 2^Bitplanes entries,
// then the CMYK chunk's colours where it has them.
void SetPaletteWithoutColourMap(LoadSession &pic);
// Reads the FORM's PCHG chunk (or else its SHAM chunk) into LineChanges.
void ReadLineChanges(LoadSession &pic);
// Brings the palette to picture row y (1 .. Height) by the line changes; rows
// are turned into colours from row 1 on, in order.
void ApplyLineChanges(LoadSession &pic, std::int32_t y);

// The chunks of a FORM with chunks of its own (RGFX, DEEP, RGB8, RGBN): true
// when `id` was one of them and is read.
bool ReadOwnFormChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                      const DecodeLimits &limits);

} // namespace tambrel::loader
