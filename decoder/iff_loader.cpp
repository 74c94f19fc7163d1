// IFF_Loader: the whole-file cache, the chunk walk, the header / palette /
// mode / table chunks, the body decoder and the colour resolution.
#include "decoder/iff_loader.h"

#include "common/declarations.h"
#include "common/errors.h"
#include "decoder/memory_budget.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tambrel {

namespace {

// ---- Reader: every byte comes in through these; reads past the file yield 0.

std::uint32_t ReadByte(IFF_Picture &pic) {
    const std::uint64_t pos = pic.ReadPos++;
    return pos < pic.FileLength ? pic.FileCache[pos] : 0;
}

std::uint32_t ReadWord(IFF_Picture &pic) {
    const std::uint32_t b0 = ReadByte(pic);
    return b0 * 256 + ReadByte(pic);
}

std::uint32_t ReadLong(IFF_Picture &pic) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value * 256 + ReadByte(pic);
    }
    return value;
}

std::string ReadChunkId(IFF_Picture &pic) {
    std::string id(4, '\0');
    for (char &c : id) {
        c = static_cast<char>(ReadByte(pic));
    }
    return id;
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

// ---- Header, palette and mode chunks.

void ReadBitmapHeader(IFF_Picture &pic, std::uint32_t size) {
    pic.HeaderSize = size;
    pic.Width = static_cast<std::int32_t>(ReadWord(pic));
    pic.Height = static_cast<std::int32_t>(ReadWord(pic));
    pic.Xpos = static_cast<std::int32_t>(ReadWord(pic));
    pic.Ypos = static_cast<std::int32_t>(ReadWord(pic));
    pic.Bitplanes = static_cast<std::int32_t>(ReadByte(pic));
    pic.Masking = static_cast<std::int32_t>(ReadByte(pic));
    pic.Packtype = static_cast<std::int32_t>(ReadByte(pic));
    pic.BmhdPad = static_cast<std::int32_t>(ReadByte(pic));
    pic.TransparentColour = static_cast<std::int32_t>(ReadWord(pic));
    pic.XaspectRatio = static_cast<std::int32_t>(ReadByte(pic));
    pic.YaspectRatio = static_cast<std::int32_t>(ReadByte(pic));
    pic.Width2 = static_cast<std::int32_t>(ReadWord(pic));
    pic.Height2 = static_cast<std::int32_t>(ReadWord(pic));

    // A BMHD cancels the mode of any CAMG or CTBL before it; their tables stay.
    pic.DisplayMode = 0;
    pic.HalfBright = 0;
    pic.HamFlag = 0;
    pic.DynamicPalette = 0;
    pic.Interlaced = 0;
    pic.ModeId = 0;

    if (pic.DebugLogOn == -1) {
        AddDebugLine(pic, "FileSize:" + Decimal(pic.FormSize));
        AddDebugLine(pic, "Header Size:" + Decimal(pic.HeaderSize));
        AddDebugLine(pic, "Width  :" + Decimal(pic.Width) + "    ");
        AddDebugLine(pic, "Height :" + Decimal(pic.Height) + "    ");
        AddDebugLine(pic, "Pixels :" + Decimal(std::int64_t{pic.Width} * pic.Height));
        AddDebugLine(pic, "xpos" + Decimal(pic.Xpos) + "   ");
        AddDebugLine(pic, "ypos" + Decimal(pic.Ypos));
        AddDebugLine(pic, "Bitplanes" + Decimal(pic.Bitplanes));
        AddDebugLine(pic, "Masking" + Decimal(pic.Masking));
        AddDebugLine(pic, "Packtype" + Decimal(pic.Packtype));
        AddDebugLine(pic, "XaspectRatio" + Decimal(pic.XaspectRatio) + "    ");
        AddDebugLine(pic, "YaspectRatio" + Decimal(pic.YaspectRatio));
        AddDebugLine(pic, "TransparentColour" + Decimal(pic.TransparentColour));
        AddDebugLine(pic, "Width2  :" + Decimal(pic.Width2));
        AddDebugLine(pic, "Height2 :" + Decimal(pic.Height2));
    }
}

void CopyHalfBriteEntries(IFF_Picture &pic) {
    for (int i = 0; i < 32; ++i) {
        pic.Palette[32 + i] = pic.HalfBritePalette[i];
        pic.FilePalette[32 + i] = pic.HalfBritePalette[i];
    }
}

void ReadColourMap(IFF_Picture &pic, std::uint32_t size) {
    // size / 3 rounded to the nearest whole number: 3k+2 bytes give k+1 colours.
    const std::uint64_t colours = (std::uint64_t{size} + 1) / 3;
    // Colours beyond the table are dropped; the walk moves on to the chunk's end.
    const std::uint64_t kept = std::min<std::uint64_t>(colours, pic.Palette.size());
    for (std::uint64_t i = 0; i < kept; ++i) {
        const std::uint32_t r = ReadByte(pic);
        const std::uint32_t g = ReadByte(pic);
        const std::uint32_t b = ReadByte(pic);
        pic.Palette[i] = pic.FilePalette[i] = r * 65536 + g * 256 + b;
        pic.HalfBritePalette[i] = (r / 2) * 65536 + (g / 2) * 256 + (b / 2);
    }
    if (pic.HalfBright == 1) {
        CopyHalfBriteEntries(pic);
    }
}

void ReadModeChunk(IFF_Picture &pic) {
    pic.ModeId = ReadLong(pic);
    pic.DisplayMode = 1;
    if ((pic.ModeId & 4) != 0) {
        pic.Interlaced = 1;
    }
    if (BitIsSet(pic.ModeId, 7) == 1) {
        pic.HalfBright = 1;
        CopyHalfBriteEntries(pic);
    }
    if (BitIsSet(pic.ModeId, 11) == 1) {
        pic.HamFlag = 1;
        if (pic.Bitplanes == 6) {
            pic.DisplayMode = 2;
            BuildHam6Tables(pic);
        }
        if (pic.Bitplanes == 8) {
            pic.DisplayMode = 3;
            BuildHam8Tables(pic);
        }
    }
}

void ReadColourTable(IFF_Picture &pic, std::uint32_t size) {
    pic.DynamicPalette = 1;
    const auto lastLine = static_cast<std::size_t>(std::max(pic.Height, 0));
    pic.LinePalettes.Recreate(16, lastLine);
    // Lines beyond the table are dropped; the walk moves on to the chunk's end.
    const std::uint64_t lines = std::min<std::uint64_t>(size / 32, lastLine + 1);
    for (std::uint64_t n = 0; n < lines; ++n) {
        for (std::size_t c = 0; c < 16; ++c) {
            const std::uint32_t hi = ReadByte(pic);
            const std::uint32_t lo = ReadByte(pic);
            // 12-bit colour 0RGB scaled by 16; the high nibble of hi is kept as it stands.
            pic.LinePalettes(c, n) = ((hi * 256 + (lo & 0xF0) / 16) * 256 + (lo & 0x0F)) * 16;
        }
    }
}

// ---- Body decoding.

// Whether the BODY's mask plane goes to PixelMask (set while the buffers are made).
bool MaskPlaneKept(const IFF_Picture &pic) {
    return pic.Masking == 1 && pic.MaskCarried;
}

std::string MiB(std::uint64_t bytes) {
    return Decimal(static_cast<std::int64_t>((bytes + (1u << 20) - 1) >> 20)) + " MiB";
}

// Checks the limits and claims the memory before allocating: every buffer the
// picture will hold at once (the file, the pixel, mask and alpha buffers, the
// row tables, and `extra` bytes a BODY needs beside them). Throws TambrelError (7).
void ClaimDecodeMemory(const IFF_Picture &pic, const DecodeLimits &limits, std::uint64_t cells,
                       std::uint64_t extra) {
    const std::uint64_t perCell =
        sizeof(Colour) + 1 + (MaskPlaneKept(pic) ? 1 : 0) + (pic.Bitplanes == 32 ? 1 : 0);
    const std::uint64_t bytes =
        pic.FileCache.size() + pic.LinePalettes.Size() * sizeof(Colour) + perCell * cells + extra;
    const std::string size = Decimal(pic.Width) + " x " + Decimal(pic.Height) + " pixels";
    if (bytes > limits.MemoryBytes) {
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + size + " need " + MiB(bytes) +
                                                ", more than the " + MiB(limits.MemoryBytes) +
                                                " allowed");
    }
    ClaimPictureMemory(bytes, size);
}

// Bytes a vertical BODY unpacks its planes into before they become rows.
std::uint64_t VerticalPlaneBytes(const IFF_Picture &pic) {
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(std::max(pic.Width, 0) + 7) / 8;
    return (rowBytes + rowBytes % 2) * static_cast<std::uint64_t>(std::max(pic.Height, 0)) *
           static_cast<std::uint64_t>(std::max(pic.Bitplanes, 0));
}

// The pixel buffers of a BODY: whole, or a window of two rows when the rows
// stream to the sink. Only interleaved rows carry a mask plane; every other
// kind is opaque. A vertical BODY also unpacks its planes whole.
void AllocatePixelBuffers(IFF_Picture &pic, const DecodeLimits &limits, bool interleaved,
                          bool vertical) {
    const std::uint64_t w8 = static_cast<std::uint64_t>(RoundedWidth(pic.Width));
    const std::uint64_t rows = static_cast<std::uint64_t>(pic.Height) + 1;
    if ((w8 + 1) * rows > std::min(kMaxPixels, limits.Pixels)) {
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + Decimal(pic.Width) + " x " +
                                                Decimal(pic.Height) +
                                                " pixels is more than this program holds");
    }
    const std::uint64_t stored = pic.RowsStream ? std::min<std::uint64_t>(2, rows) : rows;
    // Free the old buffers first so the peak holds only one picture.
    pic.PixelColours.Clear();
    pic.PixelIndices.Clear();
    pic.PixelMask.Clear();
    pic.PixelAlpha.Clear();
    pic.MaskCarried = interleaved;
    ClaimDecodeMemory(pic, limits, (w8 + 1) * stored, vertical ? VerticalPlaneBytes(pic) : 0);
    pic.PixelColours.RecreateWindow(w8, rows - 1, stored);
    pic.PixelIndices.RecreateWindow(w8, rows - 1, stored);
    if (MaskPlaneKept(pic)) {
        pic.PixelMask.RecreateWindow(w8, rows - 1, stored);
    }
    if (pic.Bitplanes == 32) {
        pic.PixelAlpha.RecreateWindow(w8, rows - 1, stored);
    }
    pic.BodyWidth = pic.Width;
    pic.BodyHeight = pic.Height;
}

// Picture row y (1 .. Height) is complete: hand it on when rows stream.
void FinishRow(IFF_Picture &pic, std::int32_t y) {
    if (pic.RowsStream) {
        pic.Sink->TakeRow(pic, y - 1);
    }
}

// Spreads one mask plane row into PixelMask row y: 1 for every set bit.
void SpreadMaskRow(IFF_Picture &pic, std::int32_t y, const std::uint8_t *plane) {
    if (pic.PixelMask.Empty()) {
        return;
    }
    std::uint8_t *mask = pic.PixelMask.Row(static_cast<std::size_t>(y));
    for (std::int32_t c = 0; c < pic.RowBytes; ++c) {
        for (int bit = 0; bit < 8; ++bit) {
            mask[8 * static_cast<std::size_t>(c) + bit] = (plane[c] >> (7 - bit)) & 1;
        }
    }
}

void PlanarRowToChunky(IFF_Picture &pic, std::int32_t y) {
    const int planes = pic.Bitplanes;
    const int top = planes - 1;
    Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
    std::uint8_t *indices = pic.PixelIndices.Row(static_cast<std::size_t>(y));
    const Table257 *tables[4] = {&pic.PairSpread0, &pic.PairSpread1, &pic.PairSpread2,
                                 &pic.PairSpread3};
    for (std::int32_t c = 0; c < pic.RowBytes; ++c) {
        std::uint32_t a[4];
        const std::uint8_t topByte = pic.RowPlanes(static_cast<std::size_t>(c), top);
        for (int k = 0; k < 4; ++k) {
            a[k] = (*tables[k])[topByte];
        }
        for (int p = planes - 2; p >= 0; --p) {
            const std::uint8_t b = pic.RowPlanes(static_cast<std::size_t>(c), p);
            for (int k = 0; k < 4; ++k) {
                a[k] = a[k] * 2 + (*tables[k])[b];
            }
        }
        for (int k = 0; k < 4; ++k) {
            const std::size_t x = 8 * static_cast<std::size_t>(c) + 2 * k;
            const std::uint8_t left = static_cast<std::uint8_t>((a[k] >> 8) & 255);
            const std::uint8_t right = static_cast<std::uint8_t>(a[k] & 255);
            colours[x] = indices[x] = left;
            colours[x + 1] = indices[x + 1] = right;
        }
    }
    if (pic.ResolveAtEnd == 0) {
        ResolveRowColours(pic, y);
    }
}

// Room after a plane row for one whole run past its end, so runs can be
// copied without clipping; only columns 0 .. S+1 are kept.
constexpr std::size_t kRunSlack = 130;

// One ByteRun1 plane row into `dest`, which holds S + 2 + kRunSlack bytes.
// Returns how many of the columns 0 .. S+1 the row filled (S, S+1 or S+2).
std::size_t UnpackPlaneRow(IFF_Picture &pic, std::uint8_t *dest, std::size_t s) {
    const std::uint8_t *cache = pic.FileCache.data();
    const std::uint64_t length = pic.FileLength;
    std::uint64_t pos = pic.ReadPos;
    std::size_t col = 0;
    do {
        if (pos + 130 <= length) {
            // The whole run lies inside the file.
            // Short runs are copied as a fixed 16 bytes (one move, no call);
            // what lands past the run is overwritten by the next run or lies
            // beyond the columns the row reports as filled.
            const std::uint32_t n = cache[pos++];
            if (n <= 127) {
                const std::size_t count = n + 1;
                if (col < s + 2) {
                    if (count <= 16) {
                        std::memcpy(dest + col, cache + pos, 16);
                    } else {
                        std::memcpy(dest + col, cache + pos, count);
                    }
                }
                pos += count;
                col += count;
            } else if (n >= 129) {
                const std::size_t count = 257 - n;
                if (col < s + 2) {
                    if (count <= 16) {
                        std::memset(dest + col, cache[pos], 16);
                    } else {
                        std::memset(dest + col, cache[pos], count);
                    }
                }
                ++pos;
                col += count;
            }
            continue;
        }
        // Near the file's end: bytes past it read as 0, and every control byte
        // there reads as 0 and copies one zero byte, so the row always completes.
        if (pos >= length && col < s) {
            std::memset(dest + col, 0, s - col);
            pos += 2 * (s - col);
            col = s;
            break;
        }
        const std::uint32_t n = pos < length ? cache[pos] : 0;
        ++pos;
        if (n <= 127) {
            for (std::uint32_t i = 0; i <= n; ++i, ++pos, ++col) {
                if (col < s + 2) {
                    dest[col] = pos < length ? cache[pos] : 0;
                }
            }
        } else if (n >= 129) {
            const std::uint8_t v = pos < length ? cache[pos] : 0;
            ++pos;
            if (col < s + 2) {
                std::memset(dest + col, v, 257 - n);
            }
            col += 257 - n;
        }
    } while (col < s);
    pic.ReadPos = pos;
    return std::min(col, s + 2);
}

// Rows 1 .. y of the BODY are decoded (y = 0: the BODY starts).
void ReportRows(const IFF_Picture &pic, std::int32_t y) {
    if (pic.Progress) {
        if (y == 0) {
            pic.Progress->Rows.store(std::max(pic.Height, 0), std::memory_order_relaxed);
        }
        pic.Progress->RowsDone.store(y, std::memory_order_relaxed);
    }
}

void DecodeBody(IFF_Picture &pic) {
    pic.RowBytes = pic.Width / 8;
    if (pic.RowBytes * 8 < pic.Width) {
        pic.RowBytes += 1;
    }
    const std::size_t s = static_cast<std::size_t>(pic.RowBytes + (pic.RowBytes % 2));
    const std::size_t planes = static_cast<std::size_t>(pic.Bitplanes);
    pic.RowPlanes.Recreate(s + 1, planes);
    // A mask plane (Masking 1) follows the bit planes of every row; it goes to PixelMask.
    const bool maskPlane = pic.Masking == 1;
    std::vector<std::uint8_t> unpacked(s + 2 + kRunSlack);

    if (pic.Packtype != 0) {
        AddDebugLine(pic, "Working on Compressed Body");
        for (std::int32_t y = 1; y <= pic.Height; ++y) {
            for (std::size_t p = 0; p < planes; ++p) {
                const std::size_t filled = UnpackPlaneRow(pic, unpacked.data(), s);
                std::memcpy(&pic.RowPlanes(0, p), unpacked.data(), filled);
            }
            if (maskPlane) {
                UnpackPlaneRow(pic, unpacked.data(), s);
                SpreadMaskRow(pic, y, unpacked.data());
            }
            AddDebugLine(pic, "Depacked Scanline:" + NumberText(y));
            PlanarRowToChunky(pic, y);
            AddDebugLine(pic, "p2C Scanline:" + NumberText(y));
            FinishRow(pic, y);
            ReportRows(pic, y);
        }
        AddDebugLine(pic, "Depack of Body Done");
        return;
    }

    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        for (std::size_t p = 0; p < planes; ++p) {
            std::uint8_t *row = &pic.RowPlanes(0, p);
            const std::uint64_t pos = pic.ReadPos;
            if (pos + s <= pic.FileLength) {
                std::memcpy(row, pic.FileCache.data() + pos, s);
                pic.ReadPos += s;
            } else {
                for (std::size_t c = 0; c < s; ++c) {
                    row[c] = static_cast<std::uint8_t>(ReadByte(pic));
                }
            }
        }
        if (maskPlane) {
            for (std::size_t c = 0; c < s; ++c) {
                unpacked[c] = static_cast<std::uint8_t>(ReadByte(pic));
            }
            SpreadMaskRow(pic, y, unpacked.data());
        }
        PlanarRowToChunky(pic, y);
        AddDebugLine(pic, "Row:" + NumberText(y));
        FinishRow(pic, y);
        ReportRows(pic, y);
    }
    AddDebugLine(pic, "Done");
}

// Rows that were never turned into colours: by the mode the walk left, or as
// palette rows when no mode was ever set.
void ResolveAllRows(IFF_Picture &pic) {
    if (!pic.RowsAwaitColours || pic.BodyFound != -1) {
        return;
    }
    const std::int16_t mode = pic.DisplayMode;
    if (mode == 0) {
        pic.DisplayMode = 1;
    }
    const auto lastRow = static_cast<std::int32_t>(pic.PixelColours.Rows()) - 1;
    for (std::int32_t y = 1; y <= std::min(pic.Height, lastRow); ++y) {
        ResolveRowColours(pic, y);
    }
    pic.DisplayMode = mode;
    pic.RowsAwaitColours = false;
}

// ---- The other picture kinds: chunky PBM rows, deep planes, whole planes
// one after another (ACBM's ABIT, and the planes a VDAT BODY unpacks to).

bool FormOfType(const std::string &type, FormKind &form) {
    if (type == "ILBM") {
        form = FormKind::Ilbm;
    } else if (type == "PBM ") {
        form = FormKind::Pbm;
    } else if (type == "ACBM") {
        form = FormKind::Acbm;
    } else {
        return false;
    }
    return true;
}

// How a BODY or ABIT chunk is laid out, or that it is not decoded.
enum class BodyLayout {
    Refused,
    Interleaved, // ILBM rows of plane rows, plain or ByteRun1
    Chunky,      // PBM rows of one byte per pixel, plain or ByteRun1
    Contiguous,  // ABIT: plane 0 whole, then plane 1 ...
    Vertical,    // BODY of VDAT chunks: one per plane, packed column by column
};

BodyLayout RefuseBody(IFF_Picture &pic, const std::string &reason, const std::string &debugLine) {
    pic.BodyRefusal = reason;
    AddDebugLine(pic, debugLine);
    return BodyLayout::Refused;
}

// With ReadPos at the chunk's first data byte.
BodyLayout ChooseBodyLayout(IFF_Picture &pic, const std::string &id) {
    const bool palettePlanes = pic.Bitplanes >= 1 && pic.Bitplanes <= 8;
    const bool deepPlanes = pic.Bitplanes == 24 || pic.Bitplanes == 32;
    if (!palettePlanes && !(deepPlanes && pic.Form != FormKind::Pbm)) {
        return RefuseBody(pic, "the header gives " + std::to_string(pic.Bitplanes) + " bit planes",
                          "Unsupported Bitplanes:" + NumberText(pic.Bitplanes));
    }
    if (pic.Form == FormKind::Pbm) {
        if (pic.Packtype > 1) {
            return RefuseBody(pic, "the header gives compression " + std::to_string(pic.Packtype),
                              "Unsupported Packtype:" + NumberText(pic.Packtype));
        }
        return BodyLayout::Chunky;
    }
    if (id == "ABIT") {
        return BodyLayout::Contiguous;
    }
    const std::uint64_t pos = pic.ReadPos;
    if (pic.Packtype == 2 && pos + 4 <= pic.FileLength &&
        std::memcmp(pic.FileCache.data() + pos, "VDAT", 4) == 0) {
        return BodyLayout::Vertical;
    }
    return BodyLayout::Interleaved;
}

// RowBytes and the row buffer as DecodeBody sets them; returns S, the bytes
// of a plane row rounded up to an even count.
std::size_t PrepareRowPlanes(IFF_Picture &pic) {
    pic.RowBytes = (std::max(pic.Width, 0) + 7) / 8;
    const std::size_t s = static_cast<std::size_t>(pic.RowBytes + (pic.RowBytes % 2));
    pic.RowPlanes.Recreate(s + 1, static_cast<std::size_t>(pic.Bitplanes));
    return s;
}

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

// A deep row into colours 0x00RRGGBB (and alpha): plane p's row starts at
// planes + p * stride; planes 0-7 give red (plane 0 the lowest bit), 8-15
// green, 16-23 blue, 24-31 alpha. Eight planes of one byte column form an
// 8 x 8 bit matrix whose transpose holds one pixel's component in each byte.
void DeepRowToColours(IFF_Picture &pic, std::int32_t y, const std::uint8_t *planes,
                      std::size_t stride) {
    const std::size_t groups = static_cast<std::size_t>(pic.Bitplanes / 8);
    Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
    std::uint8_t *alpha = groups == 4 ? pic.PixelAlpha.Row(static_cast<std::size_t>(y)) : nullptr;
    for (std::size_t c = 0; c < static_cast<std::size_t>(pic.RowBytes); ++c) {
        std::uint64_t parts[4] = {0, 0, 0, 0};
        for (std::size_t g = 0; g < groups; ++g) {
            const std::uint8_t *column = planes + 8 * g * stride + c;
            std::uint64_t m = 0;
            for (std::size_t k = 0; k < 8; ++k) {
                m |= std::uint64_t{column[k * stride]} << (8 * k);
            }
            parts[g] = TransposeBits(m);
        }
        // Byte j of a transpose holds bit j of the plane bytes: pixel 7 - j.
        Colour *out = colours + 8 * c;
        for (int i = 0; i < 8; ++i) {
            const int shift = 8 * (7 - i);
            out[i] =
                static_cast<Colour>(((parts[0] >> shift) & 255) << 16 |
                                    ((parts[1] >> shift) & 255) << 8 | ((parts[2] >> shift) & 255));
        }
        if (alpha != nullptr) {
            for (int i = 0; i < 8; ++i) {
                alpha[8 * c + static_cast<std::size_t>(i)] =
                    static_cast<std::uint8_t>(parts[3] >> (8 * (7 - i)));
            }
        }
    }
}

void ConvertPlaneRow(IFF_Picture &pic, std::int32_t y) {
    if (pic.IsDeep()) {
        DeepRowToColours(pic, y, &pic.RowPlanes(0, 0), pic.RowPlanes.Columns());
    } else {
        PlanarRowToChunky(pic, y);
    }
}

// One row of `s` bytes from the BODY into `row` (room for s + 2 + kRunSlack
// bytes): plain, or packed with ByteRun1 as one unit. Bytes past the file read as 0.
void ReadBodyRow(IFF_Picture &pic, std::uint8_t *row, std::size_t s, bool packed) {
    if (packed) {
        UnpackPlaneRow(pic, row, s);
        return;
    }
    const std::uint64_t pos = pic.ReadPos;
    if (pos + s <= pic.FileLength) {
        std::memcpy(row, pic.FileCache.data() + pos, s);
    } else {
        for (std::size_t c = 0; c < s; ++c) {
            row[c] = pos + c < pic.FileLength ? pic.FileCache[pos + c] : 0;
        }
    }
    pic.ReadPos += s;
}

// A deep ILBM BODY: each row holds Bitplanes plane rows (and a mask plane row
// with Masking 1, which goes to PixelMask), each plain or ByteRun1 on its own.
// Plain rows lying whole in the file are converted where they are.
void DecodeDeepBody(IFF_Picture &pic) {
    pic.RowBytes = (std::max(pic.Width, 0) + 7) / 8;
    const std::size_t s = static_cast<std::size_t>(pic.RowBytes + (pic.RowBytes % 2));
    const auto planes = static_cast<std::size_t>(pic.Bitplanes);
    const bool packed = pic.Packtype != 0;
    const std::size_t stride = s + 2 + kRunSlack;
    std::vector<std::uint8_t> rows((planes + 1) * stride);
    const std::uint64_t rowSize = (planes + (pic.Masking == 1 ? 1 : 0)) * s;
    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        ReportRows(pic, y - 1);
        if (!packed && pic.ReadPos + rowSize <= pic.FileLength) {
            const std::uint8_t *at = pic.FileCache.data() + pic.ReadPos;
            DeepRowToColours(pic, y, at, s);
            if (pic.Masking == 1) {
                SpreadMaskRow(pic, y, at + planes * s);
            }
            pic.ReadPos += rowSize;
            FinishRow(pic, y);
            continue;
        }
        for (std::size_t p = 0; p < planes; ++p) {
            ReadBodyRow(pic, rows.data() + p * stride, s, packed);
        }
        if (pic.Masking == 1) {
            ReadBodyRow(pic, rows.data() + planes * stride, s, packed);
            SpreadMaskRow(pic, y, rows.data() + planes * stride);
        }
        DeepRowToColours(pic, y, rows.data(), stride);
        FinishRow(pic, y);
    }
    ReportRows(pic, std::max(pic.Height, 0));
    AddDebugLine(pic, "Deep Body Done");
}

// A PBM BODY: each row Width bytes rounded up to an even count, one palette
// index per pixel, resolved as the rows of an ILBM are (a CAMG, rare in PBM
// files, applies as it would to an ILBM of that depth).
void DecodeChunkyBody(IFF_Picture &pic) {
    const auto width = static_cast<std::size_t>(std::max(pic.Width, 0));
    const std::size_t s = width + width % 2;
    const bool packed = pic.Packtype == 1;
    std::vector<std::uint8_t> row(s + 2 + kRunSlack);
    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        ReadBodyRow(pic, row.data(), s, packed);
        std::uint8_t *indices = pic.PixelIndices.Row(static_cast<std::size_t>(y));
        Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
        std::memcpy(indices, row.data(), width);
        for (std::size_t x = 0; x < width; ++x) {
            colours[x] = row[x];
        }
        if (pic.ResolveAtEnd == 0) {
            ResolveRowColours(pic, y);
        }
        FinishRow(pic, y);
        ReportRows(pic, y);
    }
    AddDebugLine(pic, "Chunky Body Done");
}

// Whole planes one after another: plane p, picture row y (0-based) starts at
// (p * Height + y) * stride in `data`; bytes past `length` read as 0.
void DecodePlaneSequence(IFF_Picture &pic, const std::uint8_t *data, std::uint64_t length,
                         std::size_t stride) {
    const std::size_t s = PrepareRowPlanes(pic);
    const std::size_t used = std::min(stride, s);
    const auto height = static_cast<std::uint64_t>(std::max(pic.Height, 0));
    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        for (std::size_t p = 0; p < static_cast<std::size_t>(pic.Bitplanes); ++p) {
            const std::uint64_t start = (p * height + static_cast<std::uint64_t>(y - 1)) * stride;
            std::uint8_t *row = &pic.RowPlanes(0, p);
            for (std::size_t c = 0; c < used; ++c) {
                row[c] = start + c < length ? data[start + c] : 0;
            }
        }
        ConvertPlaneRow(pic, y);
        FinishRow(pic, y);
        ReportRows(pic, y);
    }
}

// An ABIT chunk of `size` bytes. Plane rows are S bytes (word-aligned, as
// Amiga bitmaps are), unless the chunk holds exactly Bitplanes x RowBytes x
// Height bytes for an odd RowBytes: then rows are RowBytes bytes.
void DecodeContiguousBody(IFF_Picture &pic, std::uint32_t size) {
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(std::max(pic.Width, 0) + 7) / 8;
    const std::uint64_t exact = rowBytes * static_cast<std::uint64_t>(pic.Bitplanes) *
                                static_cast<std::uint64_t>(std::max(pic.Height, 0));
    const std::size_t stride = static_cast<std::size_t>(
        rowBytes % 2 == 1 && size == exact ? rowBytes : rowBytes + rowBytes % 2);
    const std::uint64_t start = pic.ReadPos;
    const std::uint64_t length = std::min<std::uint64_t>(size, pic.FileLength - start);
    DecodePlaneSequence(pic, pic.FileCache.data() + start, length, stride);
    AddDebugLine(pic, "ABIT Done");
}

std::uint32_t BigEndian16(const std::uint8_t *p) {
    return std::uint32_t{p[0]} << 8 | p[1];
}

// One VDAT chunk's data, bytes [pos, end) of `cache`, into one plane of `s`
// bytes x `height` rows: a word giving the command bytes' count plus 2, the
// command bytes, then the data words. The words fill the plane column by
// column (16 pixels wide), top to bottom. Command c, as a signed byte:
//   c < 0: the next -c data words as they are;  c = 0: a data word n, then n words;
//   c = 1: a data word n, then one word put n times;  c >= 2: one word put c times.
// Decoding stops where the commands or the data run out, or the plane is full.
void DecodeVerticalPlane(const std::uint8_t *cache, std::uint64_t pos, std::uint64_t end,
                         std::uint8_t *plane, std::size_t s, std::size_t height) {
    if (pos + 2 > end) {
        return;
    }
    const std::uint64_t commands = std::max<std::uint32_t>(BigEndian16(cache + pos), 2) - 2;
    std::uint64_t cmd = pos + 2;
    const std::uint64_t cmdEnd = std::min(cmd + commands, end);
    std::uint64_t data = cmd + commands;
    const std::size_t columns = s / 2;
    std::size_t row = 0, column = 0;
    auto put = [&](std::uint32_t word) {
        std::uint8_t *at = plane + row * s + 2 * column;
        at[0] = static_cast<std::uint8_t>(word >> 8);
        at[1] = static_cast<std::uint8_t>(word);
        if (++row == height) {
            row = 0;
            ++column;
        }
    };
    auto next = [&](std::uint32_t &word) {
        if (data + 2 > end) {
            return false;
        }
        word = BigEndian16(cache + data);
        data += 2;
        return true;
    };
    while (cmd < cmdEnd && column < columns && height > 0) {
        const auto c = static_cast<std::int8_t>(cache[cmd++]);
        std::uint32_t count = 0;
        if ((c == 0 || c == 1) && !next(count)) {
            return;
        }
        if (c >= 2) {
            count = static_cast<std::uint32_t>(c);
        } else if (c < 0) {
            count = static_cast<std::uint32_t>(-c);
        }
        std::uint32_t word = 0;
        const bool repeat = c >= 1;
        if (repeat && !next(word)) {
            return;
        }
        for (std::uint32_t i = 0; i < count && column < columns; ++i) {
            if (!repeat && !next(word)) {
                return;
            }
            put(word);
        }
    }
}

// A Packtype 2 BODY of `size` bytes made of VDAT chunks, one per plane in
// plane order; planes without a VDAT chunk stay 0.
void DecodeVerticalBody(IFF_Picture &pic, std::uint32_t size) {
    const std::size_t rowBytes = static_cast<std::size_t>(std::max(pic.Width, 0) + 7) / 8;
    const std::size_t s = rowBytes + rowBytes % 2;
    const auto height = static_cast<std::size_t>(std::max(pic.Height, 0));
    const auto planes = static_cast<std::size_t>(pic.Bitplanes);
    std::vector<std::uint8_t> unpacked(planes * s * height);
    const std::uint8_t *cache = pic.FileCache.data();
    const std::uint64_t bodyEnd = std::min<std::uint64_t>(pic.ReadPos + size, pic.FileLength);
    std::uint64_t pos = pic.ReadPos;
    for (std::size_t p = 0; p < planes && pos + 8 <= bodyEnd; ++p) {
        if (std::memcmp(cache + pos, "VDAT", 4) != 0) {
            break;
        }
        const std::uint64_t chunkSize =
            std::uint64_t{BigEndian16(cache + pos + 4)} << 16 | BigEndian16(cache + pos + 6);
        const std::uint64_t data = pos + 8;
        DecodeVerticalPlane(cache, data, std::min(data + chunkSize, bodyEnd),
                            unpacked.data() + p * s * height, s, height);
        pos = data + chunkSize + (chunkSize & 1);
    }
    DecodePlaneSequence(pic, unpacked.data(), unpacked.size(), s);
    AddDebugLine(pic, "VDAT Body Done");
}

void DecodeBodyByLayout(IFF_Picture &pic, BodyLayout layout, std::uint32_t size) {
    pic.VerticalBody = layout == BodyLayout::Vertical;
    if (layout != BodyLayout::Refused) {
        ReportRows(pic, 0);
    }
    switch (layout) {
    case BodyLayout::Interleaved:
        if (pic.IsDeep()) {
            DecodeDeepBody(pic);
        } else {
            DecodeBody(pic);
        }
        break;
    case BodyLayout::Chunky:
        DecodeChunkyBody(pic);
        break;
    case BodyLayout::Contiguous:
        DecodeContiguousBody(pic, size);
        break;
    case BodyLayout::Vertical:
        DecodeVerticalBody(pic, size);
        break;
    case BodyLayout::Refused:
        break;
    }
}

int CheckFormIlbm(IFF_Picture &pic) {
    if (ReadChunkId(pic) != "FORM") {
        return -1;
    }
    pic.FormSize = ReadLong(pic);
    return FormOfType(ReadChunkId(pic), pic.Form) ? 0 : -1;
}

void StartLoad(IFF_Picture &pic, const std::string &path, bool debug, RowSink *sink) {
    pic.DebugLog.assign(2, std::string());
    pic.LoadResult = 0;
    pic.BodyFound = 0;
    pic.PicturePath = path;
    pic.PictureName = RemoveFileExtension(GetFileNameFromPath(path));
    pic.LoadedName = pic.PictureName;
    pic.FormSize = 0;
    pic.ReadPos = 0;
    pic.HeaderSize = 0;
    pic.LoadStatus = 1;
    pic.HalfBright = 0;
    pic.HamFlag = 0;
    pic.Interlaced = 0;
    pic.DynamicPalette = 0;
    pic.DisplayMode = 0;
    pic.Width = 0;
    pic.Height = 0;
    pic.DebugLogOn = debug ? -1 : 0;
    pic.Form = FormKind::Ilbm;
    pic.BodyRefusal.clear();
    pic.VerticalBody = false;
    pic.Sink = sink;
    pic.RowsStream = false;
}

// A picture's walk starts from an empty record: nothing of an earlier picture
// (palette entries, tables, flags, buffers) carries over. What the load has
// set up so far (the file, the names, the log) stays. A file that is no
// picture leaves the earlier picture in place.
void ForgetEarlierPicture(IFF_Picture &pic) {
    IFF_Picture fresh;
    fresh.PicturePath = std::move(pic.PicturePath);
    fresh.PictureName = std::move(pic.PictureName);
    fresh.LoadedName = std::move(pic.LoadedName);
    fresh.LoadStatus = pic.LoadStatus;
    fresh.Form = pic.Form;
    fresh.Progress = pic.Progress;
    fresh.Sink = pic.Sink;
    fresh.FileCache = std::move(pic.FileCache);
    fresh.FileLength = pic.FileLength;
    fresh.ReadPos = pic.ReadPos;
    fresh.FormSize = pic.FormSize;
    fresh.DebugLogOn = pic.DebugLogOn;
    fresh.DebugLog = std::move(pic.DebugLog);
    pic = std::move(fresh);
}

// True when a chunk from `pos` to the FORM's end would change rows already
// decoded or how they look: another BODY or ABIT, a BMHD, or a CMAP, CAMG or
// CTBL when the rows wait for their colours. Rows may stream only when none does.
bool LaterChunkChangesRows(const IFF_Picture &pic, std::uint64_t pos, bool rowsAwaitColours) {
    const std::uint64_t end =
        std::min<std::uint64_t>(pic.FileLength, std::uint64_t{pic.FormSize} + 8);
    const std::uint8_t *cache = pic.FileCache.data();
    while (pos + 8 <= end) {
        const std::string id(cache + pos, cache + pos + 4);
        if (id == "BODY" || id == "ABIT" || id == "BMHD" ||
            (rowsAwaitColours && (id == "CMAP" || id == "CAMG" || id == "CTBL"))) {
            return true;
        }
        const std::uint64_t size = std::uint64_t{cache[pos + 4]} << 24 | cache[pos + 5] << 16 |
                                   cache[pos + 6] << 8 | cache[pos + 7];
        pos += 8 + size + (size & 1);
    }
    return false;
}

// Hands every decoded row to the sink, for a load whose rows did not stream.
void DeliverRows(IFF_Picture &pic) {
    if (pic.Sink == nullptr || !pic.HasBody() || pic.RowsStream) {
        return;
    }
    pic.Sink->Begin(pic);
    for (std::int32_t y = 0; y < pic.DecodedHeight(); ++y) {
        pic.Sink->TakeRow(pic, y);
    }
}

int WalkChunks(IFF_Picture &pic, const DecodeLimits &limits) {
    if (CheckFormIlbm(pic) != 0) {
        pic.LoadStatus = 0;
        pic.BodyFound = 0;
        return 0;
    }
    ForgetEarlierPicture(pic);
    BuildPairSpreadTables(pic);
    bool camgSeen = false;
    pic.ResolveAtEnd = 0;
    pic.RowsAwaitColours = false;

    // Each pass needs a whole chunk header in the file; after each chunk the
    // walk goes on at that chunk's end, wherever its handler stopped.
    while (pic.ReadPos + 8 <= pic.FileLength) {
        const std::uint64_t start = pic.ReadPos;
        const std::string id = ReadChunkId(pic);
        const std::uint32_t size = ReadLong(pic);
        if (id == "BMHD") {
            AddDebugLine(pic, "[BMHD]");
            ReadBitmapHeader(pic, size);
        } else if (id == "BODY" || (id == "ABIT" && pic.Form == FormKind::Acbm)) {
            AddDebugLine(pic, "BodyFound");
            const BodyLayout layout = ChooseBodyLayout(pic, id);
            if (layout != BodyLayout::Refused) {
                // Rows decoded before any mode is known keep their pixel values.
                const bool resolvedNow = pic.ResolveAtEnd == 0 && pic.DisplayMode != 0;
                const bool await = !resolvedNow && !pic.IsDeep();
                // Rows stream when nothing later in the file changes them; rows
                // waiting for a mode that never comes are palette rows already.
                const bool stream =
                    pic.Sink != nullptr && !pic.RowsStream && (!await || pic.ResolveAtEnd == 0) &&
                    !LaterChunkChangesRows(pic, start + 8 + size + (size & 1), await);
                pic.RowsStream = stream;
                AllocatePixelBuffers(pic, limits, layout == BodyLayout::Interleaved,
                                     layout == BodyLayout::Vertical);
                pic.BodyFound = -1;
                if (stream) {
                    pic.Sink->Begin(pic);
                }
                const std::int16_t mode = pic.DisplayMode;
                if (stream && await) {
                    pic.DisplayMode = 1;
                }
                DecodeBodyByLayout(pic, layout, size);
                pic.DisplayMode = mode;
                // Deep rows hold their colours already.
                pic.RowsAwaitColours = await && !stream;
                if (!camgSeen) {
                    pic.ResolveAtEnd = -1;
                }
            }
        } else if (id == "CMAP") {
            AddDebugLine(pic, "Palette Found");
            ReadColourMap(pic, size);
        } else if (id == "CAMG") {
            AddDebugLine(pic, "CBM AMIGA mode ID value");
            ReadModeChunk(pic);
            camgSeen = true;
        } else if (id == "CTBL") {
            AddDebugLine(pic, "Dynamic Palette Data found");
            ReadColourTable(pic, size);
        } else {
            AddDebugLine(pic, "Skipping Unknown Section ");
        }
        pic.ReadPos = start + 8 + size + (size & 1);
        if (pic.ReadPos >= pic.FormSize) {
            break;
        }
    }
    ResolveAllRows(pic);
    pic.PictureLoaded = 1;
    pic.LoadResult = pic.LoadStatus;
    DeliverRows(pic);
    if (pic.RowsStream) {
        // The buffers hold the last rows only: nothing may read them as a picture.
        pic.PixelColours.Clear();
        pic.PixelIndices.Clear();
        pic.PixelMask.Clear();
        pic.PixelAlpha.Clear();
    }
    return pic.LoadStatus;
}

// Bytes of a file of `length` bytes starting with `head` that a load reads:
// its FORM (the size field and 8 bytes) and no more, or the 12 header bytes
// of anything else.
std::uint64_t BytesToRead(const std::uint8_t *head, std::uint64_t length) {
    if (length < 8 || std::memcmp(head, "FORM", 4) != 0) {
        return std::min<std::uint64_t>(length, 12);
    }
    const std::uint64_t formEnd =
        8 + (std::uint64_t{head[4]} << 24 | head[5] << 16 | head[6] << 8 | head[7]);
    return std::min(length, formEnd);
}

// Makes room for `length` bytes of the file within the limits, claimed first.
void ReserveCache(IFF_Picture &pic, std::uint64_t length, const DecodeLimits &limits,
                  const std::string &path) {
    if (length > limits.SourceBytes || length + 2 > limits.MemoryBytes) {
        throw TambrelError(kErrOutOfMemory, "File too large to read: " + QuotedName(path) + " (" +
                                                Decimal(static_cast<std::int64_t>(length)) +
                                                " bytes)");
    }
    ClaimPictureMemory(length + 2, "the file " + QuotedName(path));
    try {
        pic.FileCache = ZeroedCells<std::uint8_t>(length + 2);
    } catch (const std::bad_alloc &) {
        throw TambrelError(kErrOutOfMemory, "File too large to read: " + QuotedName(path));
    }
}

void CacheBytes(IFF_Picture &pic, std::span<const std::uint8_t> bytes, const DecodeLimits &limits) {
    const std::uint64_t length = BytesToRead(bytes.data(), bytes.size());
    ReserveCache(pic, length, limits, pic.PicturePath);
    if (length > 0) {
        std::memcpy(pic.FileCache.data(), bytes.data(), length);
    }
    pic.FileLength = length;
}

// Reads the file into the cache: its FORM (the size field and 8 bytes) and no
// more, and only the 12 header bytes of anything else. The file is opened
// without waiting, so a FIFO or device never blocks; only regular files are read.
void CacheFile(IFF_Picture &pic, const std::string &path, const DecodeLimits &limits) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        throw ErrorFromErrno(errno, "Cannot open", path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw ErrorFromErrno(err, "Cannot read", path);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        if (S_ISDIR(st.st_mode)) {
            throw ErrorFromErrno(EISDIR, "Cannot read", path);
        }
        throw TambrelError(kErrPathFileAccess,
                           "Cannot read " + QuotedName(path) + ": not a regular file");
    }
    std::uint8_t head[8] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t length =
        got == static_cast<ssize_t>(sizeof head) ? BytesToRead(head, size) : size;
    try {
        ReserveCache(pic, length, limits, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    std::uint64_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, pic.FileCache.data() + done, length - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int err = errno;
            ::close(fd);
            throw ErrorFromErrno(err, "Cannot read", path);
        }
        if (got == 0) {
            break; // the file shrank while being read: keep what was there
        }
        done += static_cast<std::uint64_t>(got);
    }
    ::close(fd);
    pic.FileLength = done;
}

} // namespace

bool IsPictureHeader(std::span<const std::uint8_t> head) {
    if (head.size() < 12 || std::memcmp(head.data(), "FORM", 4) != 0) {
        return false;
    }
    FormKind form = FormKind::Ilbm;
    return FormOfType(std::string(head.begin() + 8, head.begin() + 12), form);
}

void AddDebugLine(IFF_Picture &pic, const std::string &text) {
    if (pic.DebugLogOn == -1) {
        pic.DebugLog.push_back(text);
    }
}

int BitIsSet(std::uint32_t value, int n) {
    return (value & (std::uint32_t{1} << n)) != 0 ? 1 : 0;
}

void BuildPairSpreadTables(IFF_Picture &pic) {
    Table257 *tables[4] = {&pic.PairSpread0, &pic.PairSpread1, &pic.PairSpread2, &pic.PairSpread3};
    for (std::uint32_t b = 0; b < 256; ++b) {
        for (int k = 0; k < 4; ++k) {
            const int high = 7 - 2 * k;
            (*tables[k])[b] = ((b >> high) & 1) * 256 + ((b >> (high - 1)) & 1);
        }
    }
}

void BuildHam6Tables(IFF_Picture &pic) {
    for (std::uint32_t v = 0; v < 64; ++v) {
        const std::uint32_t c = v / 16;
        const std::uint32_t d = v - 16 * c;
        pic.HamControl[v] = c;
        pic.HamBlue[v] = d * 17;
        pic.HamGreen[v] = d * 0x1100;
        pic.HamRed[v] = d * 0x110000;
    }
}

void BuildHam8Tables(IFF_Picture &pic) {
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t c = v / 64;
        const std::uint32_t d = v - 64 * c;
        pic.HamControl[v] = c;
        pic.HamBlue[v] = d * 4;
        pic.HamGreen[v] = d * 1024;
        pic.HamRed[v] = d * 262144;
    }
}

namespace {

// What a hold-and-modify pixel keeps of the pixel to its left: HAM6 keeps the
// two other components, HAM8 also the low two bits of the one it modifies.
struct HamMasks {
    std::uint32_t lastPlainValue; // values up to this one are plain palette entries
    Colour keepForBlue;
    Colour keepForRed;
    Colour keepForGreen;
};

void ResolveHamRow(const IFF_Picture &pic, Colour *row, std::size_t last, const HamMasks &masks) {
    Colour prev = pic.Palette[0];
    for (std::size_t x = 0; x <= last; ++x) {
        const std::uint32_t v = row[x] & 255;
        Colour c = pic.Palette[v];
        if (v > masks.lastPlainValue) {
            switch (pic.HamControl[v] & 0xFFFF) {
            case 1:
                c = pic.HamBlue[v] + (prev & masks.keepForBlue);
                break;
            case 3:
                c = pic.HamGreen[v] + (prev & masks.keepForGreen);
                break;
            case 2:
                c = pic.HamRed[v] + (prev & masks.keepForRed);
                break;
            default:
                break;
            }
        }
        row[x] = prev = c;
    }
}

} // namespace

void ResolveRowColours(IFF_Picture &pic, std::int32_t y) {
    if (pic.DisplayMode < 1 || pic.DisplayMode > 3) {
        return;
    }
    if (y < 0 || static_cast<std::size_t>(y) >= pic.PixelColours.Rows()) {
        return;
    }
    Colour *row = pic.PixelColours.Row(static_cast<std::size_t>(y));
    // Columns 0 .. Width, within the buffer (a later BMHD may have changed Width).
    const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(std::max(pic.Width, 0)),
                                                   pic.PixelColours.Columns() - 1);
    const Table257 &palette = pic.Palette;

    if (pic.DynamicPalette == 1 && pic.DisplayMode != 3) {
        for (std::size_t i = 0; i < 16; ++i) {
            pic.Palette[i] = pic.LinePalettes.ValueAt(i, static_cast<std::size_t>(y - 1));
        }
    }
    switch (pic.DisplayMode) {
    case 1:
        for (std::size_t x = 0; x <= last; ++x) {
            row[x] = palette[row[x] & 255];
        }
        break;
    case 2:
        ResolveHamRow(pic, row, last, HamMasks{15, 0xFFFF00, 0x00FFFF, 0xFF00FF});
        break;
    case 3:
        ResolveHamRow(pic, row, last, HamMasks{63, 0xFFFF03, 0x03FFFF, 0xFF03FF});
        break;
    default:
        break;
    }
}

int LoadIffPicture(IFF_Picture &pic, const std::string &path, bool debug,
                   const DecodeLimits &limits, RowSink *sink) {
    StartLoad(pic, path, debug, sink);
    CacheFile(pic, path, limits);
    return WalkChunks(pic, limits);
}

int LoadIffPictureFromMemory(IFF_Picture &pic, std::span<const std::uint8_t> bytes,
                             const std::string &path, bool debug, const DecodeLimits &limits,
                             RowSink *sink) {
    StartLoad(pic, path, debug, sink);
    CacheBytes(pic, bytes, limits);
    return WalkChunks(pic, limits);
}

} // namespace tambrel
