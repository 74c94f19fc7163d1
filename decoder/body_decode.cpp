// The body decoder: the pixel buffers under the limits, and each kind of
// BODY turned into rows: interleaved ILBM planes (ByteRun1 or plain, with a
// mask plane), deep planes, PBM's chunky rows, ACBM's whole planes and the
// vertical runs of VDAT chunks.
#include "common/errors.h"
#include "common/text.h"
#include "decoder/iff_loader.h"
#include "decoder/loader_steps.h"
#include "decoder/memory_budget.h"
#include "decoder/row_pair.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

namespace tambrel::loader {

namespace {

// Room after a plane row for one whole run past its end, so runs can be
// copied without clipping; only columns 0 .. S+1 are kept.
constexpr std::size_t kRunSlack = 130;

// Whether the BODY's mask plane goes to PixelMask (set while the buffers are made).
bool MaskPlaneKept(const LoadSession &pic) {
    return pic.Masking == 1 && pic.MaskCarried;
}

std::string MiB(std::uint64_t bytes) {
    return Decimal(static_cast<std::int64_t>((bytes + (1u << 20) - 1) >> 20)) + " MiB";
}

// Checks the limits and claims the memory before allocating: every buffer the
// picture will hold at once (the file, the pixel, mask, alpha and 16-bit
// buffers, the row tables, and `extra` bytes a BODY needs beside them).
// Throws TambrelError (7).
void ClaimDecodeMemory(const LoadSession &pic, const DecodeLimits &limits, std::uint64_t cells,
                       std::uint64_t extra) {
    const std::uint64_t perCell = sizeof(Colour) + 1 + (MaskPlaneKept(pic) ? 1 : 0) +
                                  (HasAlphaPlanes(pic) ? 1 : 0) +
                                  (KeepsWideSamples(pic, limits) ? sizeof(WidePixel) : 0);
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
std::uint64_t VerticalPlaneBytes(const LoadSession &pic) {
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(std::max(pic.Width, 0) + 7) / 8;
    return (rowBytes + rowBytes % 2) * static_cast<std::uint64_t>(std::max(pic.Height, 0)) *
           static_cast<std::uint64_t>(std::max(pic.Bitplanes, 0));
}

} // namespace

std::size_t DeepRowBatch(const LoadSession &pic) {
    const std::uint64_t rowBytes = static_cast<std::uint64_t>(std::max(pic.Width, 0) + 7) / 8;
    const std::uint64_t s = rowBytes + rowBytes % 2;
    const auto planes = static_cast<std::uint64_t>(std::max(pic.Bitplanes, 0));
    if (s * planes * static_cast<std::uint64_t>(std::max(pic.Height, 0)) < kTwoThreadBodyBytes) {
        return 1;
    }
    const std::uint64_t held = (planes + 1) * (s + 2 + kRunSlack);
    return static_cast<std::size_t>(
        std::clamp<std::uint64_t>(kDeepBatchBytes / held, 1, kDeepRowBatch));
}

// The pixel buffers of a BODY: whole, or a window of rows when the rows
// stream to the sink. Only interleaved rows carry a mask plane; every other
// kind is opaque. A vertical BODY also unpacks its planes whole.
void AllocatePixelBuffers(LoadSession &pic, const DecodeLimits &limits, bool interleaved,
                          bool vertical, std::uint64_t extra) {
    const std::uint64_t w8 = static_cast<std::uint64_t>(RoundedWidth(pic.Width));
    const std::uint64_t rows = static_cast<std::uint64_t>(pic.Height) + 1;
    if ((w8 + 1) * rows > std::min(kMaxPixels, limits.Pixels)) {
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + Decimal(pic.Width) + " x " +
                                                Decimal(pic.Height) +
                                                " pixels is more than this program holds");
    }
    // Deep interleaved rows are turned into colours a batch at a time, one
    // batch while the next is read.
    const std::uint64_t window = interleaved && pic.IsDeep() ? 2 * DeepRowBatch(pic) + 1 : 2;
    const std::uint64_t stored = pic.RowsStream ? std::min(window, rows) : rows;
    // Free the old buffers first so the peak holds only one picture.
    pic.PixelColours.Clear();
    pic.PixelIndices.Clear();
    pic.PixelMask.Clear();
    pic.PixelAlpha.Clear();
    pic.PixelWide.Clear();
    pic.MaskCarried = interleaved;
    ClaimDecodeMemory(pic, limits, (w8 + 1) * stored,
                      (vertical ? VerticalPlaneBytes(pic) : 0) + extra);
    pic.PixelColours.RecreateWindow(w8, rows - 1, stored);
    pic.PixelIndices.RecreateWindow(w8, rows - 1, stored);
    if (MaskPlaneKept(pic)) {
        pic.PixelMask.RecreateWindow(w8, rows - 1, stored);
    }
    if (HasAlphaPlanes(pic)) {
        pic.PixelAlpha.RecreateWindow(w8, rows - 1, stored);
    }
    if (KeepsWideSamples(pic, limits)) {
        pic.PixelWide.RecreateWindow(w8, rows - 1, stored);
    }
    pic.BodyWidth = pic.Width;
    pic.BodyHeight = pic.Height;
}

namespace {

// Picture row y (1 .. Height) is complete: hand it on when rows stream.
void FinishRow(LoadSession &pic, std::int32_t y) {
    if (pic.RowsStream) {
        pic.Sink->TakeRow(pic, y - 1);
    }
}

// Spreads one mask plane row into PixelMask row y: 1 for every set bit.
void SpreadMaskRow(LoadSession &pic, std::int32_t y, const std::uint8_t *plane) {
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

// One ByteRun1 plane row into `dest`, which holds S + 2 + kRunSlack bytes.
// Returns how many of the columns 0 .. S+1 the row filled (S, S+1 or S+2).
std::size_t UnpackPlaneRow(LoadSession &pic, std::uint8_t *dest, std::size_t s) {
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

// Rows 1 .. y of the BODY are decoded (y = 0: the BODY starts). A load whose
// caller has set Cancel stops here.
void ReportRows(const LoadSession &pic, std::int32_t y) {
    if (pic.Progress) {
        if (pic.Progress->Cancel.load(std::memory_order_relaxed)) {
            throw TambrelError(kErrDeviceIO, kLoadCancelledText);
        }
        if (y == 0) {
            pic.Progress->Rows.store(std::max(pic.Height, 0), std::memory_order_relaxed);
        }
        pic.Progress->RowsDone.store(y, std::memory_order_relaxed);
    }
}

// Rows y .. Height when the BODY has no bytes left in the file: every plane
// and mask row reads as 0, so each row's pixels are 0 (its colours then come
// from its own palette). Kept rows hold 0 already; a streamed row's slot is
// cleared where a decoded row is written, then handed on. False, with nothing
// done, while bytes remain (or the debug log wants its line a row).
bool FinishRowsPastFile(LoadSession &pic, std::int32_t y) {
    if (pic.DebugLogOn || pic.ReadPos < pic.FileLength) {
        return false;
    }
    const std::size_t n = 8 * static_cast<std::size_t>(std::max(pic.RowBytes, 0));
    const bool deep = pic.IsDeep();
    for (; y <= pic.Height && (pic.RowsStream || (!deep && pic.ResolveAtEnd == 0)); ++y) {
        const auto r = static_cast<std::size_t>(y);
        if (pic.RowsStream) {
            std::fill_n(pic.PixelColours.Row(r), n, 0);
            if (!deep) {
                std::fill_n(pic.PixelIndices.Row(r), n, 0);
            } else if (HasAlphaPlanes(pic)) {
                std::fill_n(pic.PixelAlpha.Row(r), n, 0);
            }
            if (pic.Masking == 1 && !pic.PixelMask.Empty()) {
                std::fill_n(pic.PixelMask.Row(r), n, 0);
            }
        }
        if (!deep && pic.ResolveAtEnd == 0) {
            ResolveRowColours(pic, y, n);
        }
        FinishRow(pic, y);
        ReportRows(pic, y);
    }
    ReportRows(pic, std::max(pic.Height, 0));
    return true;
}

void DecodeBody(LoadSession &pic) {
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
        for (std::int32_t y = 1; y <= pic.Height && !FinishRowsPastFile(pic, y); ++y) {
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

    for (std::int32_t y = 1; y <= pic.Height && !FinishRowsPastFile(pic, y); ++y) {
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

} // namespace

// Rows that were never turned into colours: by the mode the walk left, or as
// palette rows when no mode was ever set.
void ResolveAllRows(LoadSession &pic) {
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

namespace {

// ---- The other picture kinds: chunky PBM rows, deep planes, whole planes
// one after another (ACBM's ABIT, and the planes a VDAT BODY unpacks to).

// RowBytes and the row buffer as DecodeBody sets them; returns S, the bytes
// of a plane row rounded up to an even count.
std::size_t PrepareRowPlanes(LoadSession &pic) {
    pic.RowBytes = (std::max(pic.Width, 0) + 7) / 8;
    const std::size_t s = static_cast<std::size_t>(pic.RowBytes + (pic.RowBytes % 2));
    pic.RowPlanes.Recreate(s + 1, static_cast<std::size_t>(pic.Bitplanes));
    return s;
}

void ConvertPlaneRow(LoadSession &pic, std::int32_t y) {
    if (pic.IsDeep()) {
        DeepRowToColours(pic, y, &pic.RowPlanes(0, 0), pic.RowPlanes.Columns());
    } else {
        PlanarRowToChunky(pic, y);
    }
}

// One row of `s` bytes from the BODY into `row` (room for s + 2 + kRunSlack
// bytes): plain, or packed with ByteRun1 as one unit. Bytes past the file read as 0.
void ReadBodyRow(LoadSession &pic, std::uint8_t *row, std::size_t s, bool packed) {
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
// Plain rows lying whole in the file are converted where they are. A large
// picture's rows are read a batch at a time; while the next batch is read,
// a second thread turns the last one into colours, and its rows are handed
// on in order once both threads have done them.
void DecodeDeepBody(LoadSession &pic) {
    pic.RowBytes = (std::max(pic.Width, 0) + 7) / 8;
    const std::size_t s = static_cast<std::size_t>(pic.RowBytes + (pic.RowBytes % 2));
    const auto planes = static_cast<std::size_t>(pic.Bitplanes);
    const bool packed = pic.Packtype != 0;
    const std::size_t stride = s + 2 + kRunSlack;
    const std::uint64_t rowSize = (planes + (pic.Masking == 1 ? 1 : 0)) * s;
    const std::size_t batchRows = DeepRowBatch(pic);
    const bool large = batchRows > 1;
    struct Batch {
        std::vector<std::uint8_t> Planes; // the plane rows read into memory
        std::vector<std::pair<const std::uint8_t *, std::size_t>> Rows; // planes, stride
        std::int32_t First = 1;                                         // its first row
    };
    Batch batches[2];
    for (Batch &b : batches) {
        b.Planes.resize(batchRows * (planes + 1) * stride);
        b.Rows.reserve(batchRows);
    }
    std::size_t filling = 0;
    bool converting = false; // the other batch is being turned into colours
    RowPair pair(large);
    auto finishConverting = [&] {
        if (converting) {
            pair.Finish();
            Batch &b = batches[1 - filling];
            for (std::size_t i = 0; i < b.Rows.size(); ++i) {
                FinishRow(pic, b.First + static_cast<std::int32_t>(i));
            }
            b.Rows.clear();
            converting = false;
        }
    };
    auto startConverting = [&] {
        Batch &b = batches[filling];
        if (b.Rows.empty()) {
            return;
        }
        finishConverting();
        pair.Start(b.Rows.size(), [&pic, &b](std::size_t i) {
            DeepRowToColours(pic, b.First + static_cast<std::int32_t>(i), b.Rows[i].first,
                             b.Rows[i].second);
        });
        converting = true;
        filling = 1 - filling;
        batches[filling].First = b.First + static_cast<std::int32_t>(b.Rows.size());
    };
    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        if (!pic.DebugLogOn && pic.ReadPos >= pic.FileLength) {
            startConverting();
            finishConverting();
            if (FinishRowsPastFile(pic, y)) {
                break;
            }
        }
        ReportRows(pic, y - 1);
        Batch &b = batches[filling];
        if (!packed && pic.ReadPos + rowSize <= pic.FileLength) {
            const std::uint8_t *at = pic.FileCache.data() + pic.ReadPos;
            b.Rows.emplace_back(at, s);
            if (pic.Masking == 1) {
                SpreadMaskRow(pic, y, at + planes * s);
            }
            pic.ReadPos += rowSize;
        } else {
            std::uint8_t *at = b.Planes.data() + b.Rows.size() * (planes + 1) * stride;
            for (std::size_t p = 0; p < planes; ++p) {
                ReadBodyRow(pic, at + p * stride, s, packed);
            }
            if (pic.Masking == 1) {
                ReadBodyRow(pic, at + planes * stride, s, packed);
                SpreadMaskRow(pic, y, at + planes * stride);
            }
            b.Rows.emplace_back(at, stride);
        }
        if (b.Rows.size() == batchRows) {
            startConverting();
        }
        if (!large) {
            finishConverting();
        }
    }
    startConverting();
    finishConverting();
    ReportRows(pic, std::max(pic.Height, 0));
    AddDebugLine(pic, "Deep Body Done");
}

// A PBM BODY: each row Width bytes rounded up to an even count, one palette
// index per pixel, resolved as the rows of an ILBM are (a CAMG, rare in PBM
// files, applies as it would to an ILBM of that depth).
void DecodeChunkyBody(LoadSession &pic) {
    const auto width = static_cast<std::size_t>(std::max(pic.Width, 0));
    const std::size_t s = width + width % 2;
    const bool packed = pic.Packtype == 1;
    std::vector<std::uint8_t> row(s + 2 + kRunSlack);
    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        ReadBodyRow(pic, row.data(), s, packed);
        std::uint8_t *indices = pic.PixelIndices.Row(static_cast<std::size_t>(y));
        Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
        std::memcpy(indices, row.data(), width);
        if (!pic.ColoursLeftOut) {
            for (std::size_t x = 0; x < width; ++x) {
                colours[x] = row[x];
            }
            if (pic.ResolveAtEnd == 0) {
                ResolveRowColours(pic, y);
            }
        }
        FinishRow(pic, y);
        ReportRows(pic, y);
    }
    AddDebugLine(pic, "Chunky Body Done");
}

// Whole planes one after another: plane p, picture row y (0-based) starts at
// (p * Height + y) * stride in `data`; bytes past `length` read as 0.
void DecodePlaneSequence(LoadSession &pic, const std::uint8_t *data, std::uint64_t length,
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
void DecodeContiguousBody(LoadSession &pic, std::uint32_t size) {
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
void DecodeVerticalBody(LoadSession &pic, std::uint32_t size) {
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

} // namespace

void DecodeBodyByLayout(LoadSession &pic, BodyLayout layout, std::uint32_t size) {
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

} // namespace tambrel::loader
