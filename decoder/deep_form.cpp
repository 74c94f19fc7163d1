// FORM DEEP (and TVPP, the same chunks): true colour stored pixel after
// pixel.
//
// DGBL: display width and height (words), compression (word: 0 none,
// 1 ByteRun1), x and y aspect (bytes). DPEL: a long count of pixel elements,
// then for each its kind (word: 1 red, 2 green, 3 blue, 4 alpha; other kinds
// are skipped) and its bits (word). DLOC: the width and height of the body
// that follows (words) and its place (words). DBOD: the pixels, each element
// in DPEL's order, most significant bit first, rows one after another.
// Elements of 8 and 16 bits are read; 16 bits are taken to 8, rounded, and
// a picture with a 16-bit colour or alpha element keeps its samples whole too.
#include "decoder/pixel_grid.h"
#include "decoder/true_colour_rows.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tambrel::loader {

namespace {

constexpr std::uint32_t kDeepNone = 0;
constexpr std::uint32_t kDeepRunLength = 1;
constexpr std::size_t kMostElements = 16;

void ReadDeepGlobals(LoadSession &pic, std::uint32_t size) {
    AddDebugLine(pic, "[DGBL]");
    if (size < 8) {
        return;
    }
    pic.Width = pic.Width2 = static_cast<std::int32_t>(ReadWord(pic));
    pic.Height = pic.Height2 = static_cast<std::int32_t>(ReadWord(pic));
    pic.Packtype = static_cast<std::int32_t>(ReadWord(pic));
    pic.XaspectRatio = static_cast<std::int32_t>(ReadByte(pic));
    pic.YaspectRatio = static_cast<std::int32_t>(ReadByte(pic));
    AddDebugLine(pic, "Width  :" + Decimal(pic.Width));
    AddDebugLine(pic, "Height :" + Decimal(pic.Height));
    AddDebugLine(pic, "Compression" + Decimal(pic.Packtype));
}

void ReadDeepElements(LoadSession &pic, std::uint32_t size) {
    AddDebugLine(pic, "[DPEL]");
    pic.OwnHeader.Elements.clear();
    if (size < 4) {
        return;
    }
    // One element past the most taken is enough to refuse the picture; a
    // count the chunk or the file cannot hold is never walked.
    const std::uint32_t count = std::min<std::uint32_t>(
        {ReadLong(pic), (size - 4) / 4, static_cast<std::uint32_t>(kMostElements + 1)});
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto kind = static_cast<std::uint16_t>(ReadWord(pic));
        const auto bits = static_cast<std::uint16_t>(ReadWord(pic));
        pic.OwnHeader.Elements.emplace_back(kind, bits);
    }
}

void ReadDeepLocation(LoadSession &pic, std::uint32_t size) {
    AddDebugLine(pic, "[DLOC]");
    if (size < 8) {
        return;
    }
    pic.Width = static_cast<std::int32_t>(ReadWord(pic));
    pic.Height = static_cast<std::int32_t>(ReadWord(pic));
    pic.Xpos = static_cast<std::int16_t>(ReadWord(pic));
    pic.Ypos = static_cast<std::int16_t>(ReadWord(pic));
}

// ByteRun1 over the whole body: `size` bytes at ReadPos into `out`; what the
// data does not fill stays 0.
void UnpackRunLength(const LoadSession &pic, std::uint32_t size, ZeroedCells<std::uint8_t> &out) {
    const std::uint8_t *cache = pic.FileCache.data();
    std::uint64_t pos = pic.ReadPos;
    const std::uint64_t end = std::min<std::uint64_t>(pos + size, pic.FileLength);
    std::size_t done = 0;
    while (pos < end && done < out.size()) {
        const std::uint32_t n = cache[pos++];
        if (n < 128) {
            const std::size_t count = std::min<std::size_t>({n + 1u, end - pos, out.size() - done});
            std::memcpy(out.data() + done, cache + pos, count);
            pos += n + 1;
            done += count;
        } else if (n > 128 && pos < end) {
            const std::size_t count = std::min<std::size_t>(257 - n, out.size() - done);
            std::memset(out.data() + done, cache[pos++], count);
            done += count;
        }
    }
}

void ReadDeepBody(LoadSession &pic, std::uint32_t size, const DecodeLimits &limits) {
    AddDebugLine(pic, "BodyFound");
    const auto &elements = pic.OwnHeader.Elements;
    // Real pictures have a handful; a longer list only costs time.
    if (elements.size() > kMostElements) {
        RefuseTrueColourBody(pic,
                             "DEEP pixels of " + std::to_string(elements.size()) + " elements");
        return;
    }
    std::uint64_t pixelBytes = 0;
    bool alpha = false;
    bool wide = false;
    for (const auto &[kind, bits] : elements) {
        if (bits != 8 && bits != 16) {
            RefuseTrueColourBody(pic, "DEEP elements of " + std::to_string(bits) + " bits");
            return;
        }
        pixelBytes += bits / 8;
        alpha |= kind == 4;
        wide |= bits == 16 && kind >= 1 && kind <= 4;
    }
    if (pixelBytes == 0) {
        RefuseTrueColourBody(pic, "a DEEP picture without pixel elements");
        return;
    }
    const auto compression = static_cast<std::uint32_t>(pic.Packtype);
    if (compression != kDeepNone && compression != kDeepRunLength) {
        RefuseTrueColourBody(pic, "DEEP compression " + std::to_string(compression));
        return;
    }
    const auto width = static_cast<std::uint64_t>(std::max(pic.Width, 0));
    const auto height = static_cast<std::uint64_t>(std::max(pic.Height, 0));
    const std::uint64_t rowBytes = width * pixelBytes;
    const bool packed = compression == kDeepRunLength;
    // ByteRun1 unpacks to at most 64 times its size: a body the data cannot
    // fill gets no buffer beyond what it can hold (the rest reads as 0).
    const std::uint64_t held = pic.ReadPos < pic.FileLength
                                   ? std::min<std::uint64_t>(size, pic.FileLength - pic.ReadPos)
                                   : 0;
    const std::uint64_t unpackedSize = packed ? std::min(rowBytes * height, held * 64 + 128) : 0;
    StartTrueColourBody(pic, limits, alpha, wide, unpackedSize, pic.ReadPos + size + (size & 1));

    // Made by the system already zero: no clearing pass over the body.
    ZeroedCells<std::uint8_t> unpacked;
    const std::uint8_t *data = pic.FileCache.data() + pic.ReadPos;
    std::uint64_t length = held;
    if (packed) {
        unpacked = ZeroedCells<std::uint8_t>(unpackedSize);
        UnpackRunLength(pic, size, unpacked);
        data = unpacked.data();
        length = unpacked.size();
    }
    // Red, green and blue bytes, the usual layout, go without a look at the list a pixel.
    const bool rgb = elements.size() == 3 &&
                     elements[0] == std::pair<std::uint16_t, std::uint16_t>{1, 8} &&
                     elements[1] == std::pair<std::uint16_t, std::uint16_t>{2, 8} &&
                     elements[2] == std::pair<std::uint16_t, std::uint16_t>{3, 8};
    ConvertTrueColourRows(
        pic, data, length, rowBytes, static_cast<std::size_t>(rowBytes), alpha,
        [&elements, width, rgb](const std::uint8_t *in, Colour *out, std::uint8_t *alphaRow,
                                WidePixel *wideRow) {
            for (std::uint64_t x = 0; rgb && x < width; ++x, in += 3) {
                out[x] = std::uint32_t{in[0]} << 16 | std::uint32_t{in[1]} << 8 | in[2];
            }
            for (std::uint64_t x = 0; !rgb && x < width; ++x) {
                // Each channel in 8 bits, and in 16 (an 8-bit value v as v * 257).
                std::uint32_t channel[5] = {0, 0, 0, 0, 255};
                std::uint32_t sample[5] = {0, 0, 0, 0, 0xFFFF};
                for (const auto &[kind, bits] : elements) {
                    const std::uint32_t value = bits == 8 ? in[0] : Narrow16(in[0] << 8 | in[1]);
                    const std::uint32_t full = bits == 8 ? in[0] * 257u : in[0] << 8 | in[1];
                    in += bits / 8;
                    if (kind >= 1 && kind <= 4) {
                        channel[kind] = value;
                        sample[kind] = full;
                    }
                }
                out[x] = channel[1] << 16 | channel[2] << 8 | channel[3];
                if (alphaRow != nullptr) {
                    alphaRow[x] = static_cast<std::uint8_t>(channel[4]);
                }
                if (wideRow != nullptr) {
                    wideRow[x] = {static_cast<std::uint16_t>(sample[1]),
                                  static_cast<std::uint16_t>(sample[2]),
                                  static_cast<std::uint16_t>(sample[3]),
                                  static_cast<std::uint16_t>(sample[4])};
                }
            }
        });
    AddDebugLine(pic, "DBOD Done");
}

} // namespace

bool ReadDeepChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                   const DecodeLimits &limits) {
    if (id == "DGBL") {
        ReadDeepGlobals(pic, size);
    } else if (id == "DPEL") {
        ReadDeepElements(pic, size);
    } else if (id == "DLOC") {
        ReadDeepLocation(pic, size);
    } else if (id == "DBOD") {
        // Only the first body: later ones are frames of an animation.
        if (!pic.HasBody()) {
            ReadDeepBody(pic, size, limits);
        }
    } else {
        return false;
    }
    return true;
}

} // namespace tambrel::loader
