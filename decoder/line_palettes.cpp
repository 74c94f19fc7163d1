// Colours that do not come from a CMAP: the grey ramp (or the CMYK chunk's
// colours) of a picture without one, and the palette changes line by line of
// the SHAM and PCHG chunks, applied as the rows are turned into colours.
#include "decoder/iff_loader.h"
#include "decoder/loader_steps.h"

#include <algorithm>
#include <vector>

namespace tambrel::loader {

namespace {

std::uint32_t Word(const std::uint8_t *p) {
    return std::uint32_t{p[0]} << 8 | p[1];
}

std::uint32_t Long(const std::uint8_t *p) {
    return Word(p) << 16 | Word(p + 2);
}

// A 12-bit colour 0x0RGB with each 4-bit component spread over 8 bits.
Colour TwelveBitColour(std::uint32_t word) {
    return ((word >> 8) & 15) * 0x110000 + ((word >> 4) & 15) * 0x1100 + (word & 15) * 0x11;
}

Colour HalfOf(Colour c) {
    return (c >> 1) & 0x7F7F7F;
}

// Entry i as a CMAP entry would set it, Extra Half-Brite's darker copy included.
void SetEntry(LoadSession &pic, std::size_t i, Colour c) {
    pic.Palette[i] = pic.FilePalette[i] = c;
    pic.HalfBritePalette[i] = HalfOf(c);
    if (pic.HalfBright == 1 && i < 32) {
        pic.Palette[32 + i] = pic.FilePalette[32 + i] = HalfOf(c);
    }
}

// The colour of CMYK inks, each 0 .. 255: every component is what the ink of
// its opposite colour and the black ink together let through, rounded.
Colour InkColour(std::uint32_t c, std::uint32_t m, std::uint32_t y, std::uint32_t k) {
    auto part = [k](std::uint32_t ink) { return ((255 - ink) * (255 - k) + 127) / 255; };
    return part(c) << 16 | part(m) << 8 | part(y);
}

// A bounded reader over a chunk's bytes: reads past the end yield 0 and mark it short.
struct ChunkBytes {
    const std::uint8_t *data;
    std::size_t size;
    std::size_t pos = 0;
    bool Has(std::size_t n) const { return pos + n <= size; }
    std::uint32_t Byte() { return pos < size ? data[pos++] : (++pos, 0u); }
    std::uint32_t Word() {
        const std::uint32_t hi = Byte();
        return hi << 8 | Byte();
    }
};

// Keeps a change a row can show: on a line of the picture, to an entry its
// planes reach, no more of them on one line than there are entries (a hostile
// chunk's changes cost no more memory than the picture's lines and entries).
void AddChange(LoadSession &pic, std::int32_t line, std::uint32_t entry, Colour value,
               std::uint32_t &onLine) {
    const std::uint32_t entries = 1u << std::clamp(pic.Bitplanes, 0, 8);
    if (line < pic.Height && entry < entries && onLine < entries) {
        ++onLine;
        pic.LineChanges.push_back({line, static_cast<std::uint16_t>(entry), value});
    }
}

// SHAM: a version word, then 16 colours (0x0RGB words) per line, or per two
// lines of an interlaced picture.
void ReadSlicedHam(LoadSession &pic, ChunkBytes in) {
    const bool twoRows = pic.Interlaced == 1 || pic.Height > 256;
    in.Word();
    for (std::int32_t line = 0; in.Has(32) && line < pic.Height; line += twoRows ? 2 : 1) {
        std::uint32_t onLine = 0;
        for (std::uint32_t entry = 0; entry < 16; ++entry) {
            AddChange(pic, line, entry, TwelveBitColour(in.Word()), onLine);
        }
    }
    pic.LineChangesHamOnly = true;
}

// The changes of one PCHG line, 12-bit (two counts: entries 0-15 and 16-31,
// the entry in each word's top four bits) or 32-bit (a count, then a register
// word and alpha, red, blue, green bytes each).
void ReadChangedLine(LoadSession &pic, ChunkBytes &in, std::uint32_t flags, std::int32_t line) {
    std::uint32_t onLine = 0;
    if ((flags & 1) != 0) {
        const std::uint32_t low = in.Byte();
        const std::uint32_t high = in.Byte();
        for (std::uint32_t n = 0; n < low + high && in.Has(2); ++n) {
            const std::uint32_t w = in.Word();
            AddChange(pic, line, (w >> 12) + (n < low ? 0 : 16), TwelveBitColour(w), onLine);
        }
    } else if ((flags & 2) != 0) {
        const std::uint32_t count = in.Word();
        for (std::uint32_t n = 0; n < count && in.Has(6); ++n) {
            const std::uint32_t entry = in.Word();
            in.Byte(); // alpha
            const std::uint32_t r = in.Byte();
            const std::uint32_t b = in.Byte();
            const std::uint32_t g = in.Byte();
            AddChange(pic, line, entry, r << 16 | g << 8 | b, onLine);
        }
    }
}

// PCHG's data after its header: a mask of one bit per line (32 to a long,
// the highest bit first), then the changes of every marked line.
void ReadPaletteChanges(LoadSession &pic, ChunkBytes in, std::uint32_t flags,
                        std::int32_t startLine, std::uint32_t lineCount) {
    const std::size_t maskBytes = (std::size_t{lineCount} + 31) / 32 * 4;
    if (!in.Has(maskBytes)) {
        return;
    }
    const std::uint8_t *mask = in.data + in.pos;
    in.pos += maskBytes;
    for (std::uint32_t i = 0; i < lineCount && in.Has(2); ++i) {
        if ((mask[i / 8] >> (7 - i % 8) & 1) != 0) {
            ReadChangedLine(pic, in, flags, startLine + static_cast<std::int32_t>(i));
        }
    }
}

// Huffman-packed PCHG data: a long giving the tree's bytes and a long giving
// the unpacked size, the tree (big-endian words), then the bits, the highest
// of each byte first. The walk starts at the tree's last word. A 1 bit looks
// at the current word: zero or more is a leaf (its low byte is the output),
// below zero a byte offset to the node to go on from. A 0 bit steps to the
// word before: above zero with 0x100 set it is a leaf, else the node to go on
// from. Every step takes a bit, so the bits bound the walk whatever the tree
// holds; a word off the tree or bits that run out end it with what was unpacked.
std::vector<std::uint8_t> UnpackHuffman(ChunkBytes in) {
    std::vector<std::uint8_t> out;
    if (!in.Has(8)) {
        return out;
    }
    const std::uint32_t treeBytes = Long(in.data + in.pos);
    const std::uint32_t size = Long(in.data + in.pos + 4);
    in.pos += 8;
    const std::size_t words = treeBytes / 2;
    if (words == 0 || !in.Has(treeBytes)) {
        return out;
    }
    const std::uint8_t *tree = in.data + in.pos;
    const std::uint8_t *bits = tree + treeBytes;
    const std::size_t bitBytes = in.size - in.pos - treeBytes;
    auto node = [tree](std::size_t i) {
        return static_cast<std::int16_t>(
            static_cast<std::uint16_t>(tree[2 * i] << 8 | tree[2 * i + 1]));
    };
    // Each byte out takes at least one bit in.
    out.reserve(std::min<std::uint64_t>(size, std::uint64_t{bitBytes} * 8));
    const std::size_t root = words - 1;
    std::size_t at = root;
    for (std::uint64_t bit = 0; bit < std::uint64_t{bitBytes} * 8 && out.size() < size; ++bit) {
        const bool one = (bits[bit / 8] >> (7 - bit % 8) & 1) != 0;
        if (!one && at == 0) {
            break;
        }
        const std::int16_t word = node(one ? at : at - 1);
        if (one ? word >= 0 : word > 0 && (word & 0x100) != 0) {
            out.push_back(static_cast<std::uint8_t>(word & 255));
            at = root;
        } else if (!one) {
            --at;
        } else {
            const std::int64_t next = static_cast<std::int64_t>(at) + word / 2;
            if (next < 0) {
                break;
            }
            at = static_cast<std::size_t>(next);
        }
    }
    return out;
}

// PCHG: a 20-byte header (compression, flags, start line, line count, changed
// lines, lowest and highest register, most changes on a line, total changes),
// then the data, plain (compression 0) or Huffman-packed (1).
void ReadPchg(LoadSession &pic, ChunkBytes in) {
    if (!in.Has(20)) {
        return;
    }
    const std::uint32_t compression = in.Word();
    const std::uint32_t flags = in.Word();
    const auto startLine = static_cast<std::int32_t>(static_cast<std::int16_t>(in.Word()));
    const std::uint32_t lineCount = in.Word();
    in.pos += 12; // changed lines, register range, most changes, total changes
    if (compression == 0) {
        ReadPaletteChanges(pic, in, flags, startLine, lineCount);
    } else if (compression == 1) {
        const std::vector<std::uint8_t> plain = UnpackHuffman(in);
        ReadPaletteChanges(pic, ChunkBytes{plain.data(), plain.size()}, flags, startLine,
                           lineCount);
    }
}

} // namespace

bool FindChunkInForm(const LoadSession &pic, const char *id, std::uint64_t &at,
                     std::uint32_t &size) {
    // The chunks the walk reads: the first, and each that starts within the FORM's size.
    const std::uint64_t end = pic.FileLength;
    const std::uint8_t *cache = pic.FileCache.data();
    const std::uint64_t first = pic.FirstChunkAt;
    for (std::uint64_t pos = first; pos + 8 <= end && (pos == first || pos < pic.FormSize);) {
        const std::uint32_t chunkSize = Long(cache + pos + 4);
        if (std::equal(id, id + 4, cache + pos)) {
            at = pos + 8;
            size = static_cast<std::uint32_t>(std::min<std::uint64_t>(chunkSize, end - at));
            return true;
        }
        pos += 8 + std::uint64_t{chunkSize} + (chunkSize & 1);
    }
    return false;
}

void SetPaletteWithoutColourMap(LoadSession &pic) {
    std::uint64_t at = 0;
    std::uint32_t size = 0;
    if (pic.Bitplanes < 1 || pic.Bitplanes > 8 || FindChunkInForm(pic, "CMAP", at, size)) {
        return;
    }
    const std::size_t entries = std::size_t{1} << pic.Bitplanes;
    // Extra Half-Brite's upper half is the darker copy of the first 32 entries.
    const std::size_t own = pic.HalfBright == 1 ? std::min<std::size_t>(entries, 32) : entries;
    for (std::size_t i = 0; i < own; ++i) {
        const auto grey = static_cast<Colour>(i * 255 / (entries - 1));
        SetEntry(pic, i, grey * 0x010101);
    }
    if (FindChunkInForm(pic, "CMYK", at, size)) {
        const std::uint8_t *ink = pic.FileCache.data() + at;
        for (std::size_t i = 0; i < std::min<std::size_t>(size / 4, 256); ++i, ink += 4) {
            SetEntry(pic, i, InkColour(ink[0], ink[1], ink[2], ink[3]));
        }
    }
}

void ReadLineChanges(LoadSession &pic) {
    pic.LineChanges.clear();
    pic.LineChangesHamOnly = false;
    pic.LineChangesDone = 0;
    std::uint64_t at = 0;
    std::uint32_t size = 0;
    if (FindChunkInForm(pic, "PCHG", at, size)) {
        ReadPchg(pic, ChunkBytes{pic.FileCache.data() + at, size});
    } else if (FindChunkInForm(pic, "SHAM", at, size)) {
        ReadSlicedHam(pic, ChunkBytes{pic.FileCache.data() + at, size});
    }
    // Into line order, changes of one line kept in the order the chunk gives
    // them (a later change of an entry wins). They come in order nearly
    // always; otherwise they are sorted by line and then by place in the
    // chunk, which keeps that order without a merge sort's spare buffer.
    std::vector<LineChange> &changes = pic.LineChanges;
    const auto byLine = [](const LineChange &a, const LineChange &b) { return a.Line < b.Line; };
    if (std::is_sorted(changes.begin(), changes.end(), byLine)) {
        return;
    }
    std::vector<std::size_t> order(changes.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::sort(order.begin(), order.end(), [&changes](std::size_t a, std::size_t b) {
        return changes[a].Line != changes[b].Line ? changes[a].Line < changes[b].Line : a < b;
    });
    std::vector<LineChange> sorted;
    sorted.reserve(changes.size());
    for (const std::size_t i : order) {
        sorted.push_back(changes[i]);
    }
    changes = std::move(sorted);
}

void ApplyLineChanges(LoadSession &pic, std::int32_t y) {
    if (pic.LineChanges.empty() || (pic.LineChangesHamOnly && pic.DisplayMode != 2)) {
        return;
    }
    if (y == 1) {
        pic.LineChangesDone = 0;
    }
    // Row y (1-based) shows picture line y - 1: every change up to that line holds.
    while (pic.LineChangesDone < pic.LineChanges.size() &&
           pic.LineChanges[pic.LineChangesDone].Line < y) {
        const LineChange &change = pic.LineChanges[pic.LineChangesDone++];
        pic.Palette[change.Entry] = change.Value;
        if (pic.HalfBright == 1 && change.Entry < 32) {
            pic.Palette[32 + change.Entry] = HalfOf(change.Value);
        }
    }
}

} // namespace tambrel::loader
