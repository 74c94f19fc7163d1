#include "tests/support/ilbm_writer.h"

#include <algorithm>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace tambrel::test {
namespace {

void PutLong(Bytes &out, std::uint32_t v) {
    PutWord(out, v >> 16);
    PutWord(out, v);
}

void PutId(Bytes &out, const std::string &id) {
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back(i < id.size() ? static_cast<std::uint8_t>(id[i]) : ' ');
}

void PackByteRun1(Bytes &out, std::span<const std::uint8_t> row) {
    const std::size_t n = row.size();
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 3) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        const std::size_t start = i;
        while (i < n && i - start < 128 &&
               !(i + 2 < n && row[i] == row[i + 1] && row[i] == row[i + 2]))
            ++i;
        out.push_back(static_cast<std::uint8_t>(i - start - 1));
        out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(start),
                   row.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

} // namespace

void PutWord(Bytes &out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

Bytes PlaneRow(int width, std::size_t bytes, const std::function<bool(int)> &bit) {
    Bytes row(bytes ? bytes : static_cast<std::size_t>((width + 15) / 16 * 2), 0);
    for (int x = 0; x < width; ++x)
        if (bit(x))
            row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    return row;
}

void AppendRow(Bytes &out, const Bytes &row, bool compressed) {
    if (compressed)
        PackByteRun1(out, row);
    else
        out.insert(out.end(), row.begin(), row.end());
}

Bytes BodyData(const ChunkyImage &img, bool compressed, const ChunkyImage *mask) {
    Bytes out;
    for (int y = 0; y < img.Height; ++y)
        for (int p = 0; p < img.Planes + (mask ? 1 : 0); ++p)
            AppendRow(out,
                      PlaneRow(img.Width, 0,
                               [&](int x) {
                                   return p < img.Planes ? (img.At(x, y) >> p) & 1
                                                         : mask->At(x, y) != 0;
                               }),
                      compressed);
    return out;
}

Bytes BmhdData(const BmhdFields &f) {
    Bytes d;
    for (std::uint16_t w : {f.Width, f.Height, f.Xpos, f.Ypos})
        PutWord(d, w);
    d.insert(d.end(), {f.Bitplanes, f.Masking, f.Packtype, f.Pad});
    PutWord(d, f.TransparentColour);
    d.insert(d.end(), {f.XaspectRatio, f.YaspectRatio});
    PutWord(d, f.PageWidth);
    PutWord(d, f.PageHeight);
    return d;
}

Bytes CmapData(std::span<const std::uint32_t> colours) {
    Bytes d;
    for (std::uint32_t c : colours)
        for (int shift : {16, 8, 0})
            d.push_back(static_cast<std::uint8_t>(c >> shift));
    return d;
}

Bytes CamgData(std::uint32_t modeId) {
    Bytes d;
    PutLong(d, modeId);
    return d;
}

// The tree: its last word is the root; a node's word is its 1-branch (a leaf's
// byte, or a negative byte offset back to that node), the word before it its
// 0-branch (a leaf's byte with 0x100 set, or that node). Bits are padded to a long.
Bytes HuffmanPackedPchg(const Bytes &plain) {
    const Bytes data(plain.begin() + 20, plain.end());
    struct Node {
        int value, zero, one;
    }; // value -1: an inner node
    std::vector<Node> nodes;
    std::multimap<long, int> byCount;
    for (int v = 0; v < 256; ++v)
        if (long n = std::count(data.begin(), data.end(), v); n > 0)
            byCount.emplace(n, static_cast<int>(nodes.size())), nodes.push_back({v, 0, 0});
    while (byCount.size() > 1) {
        const auto a = *byCount.begin(), b = *std::next(byCount.begin());
        byCount.erase(byCount.begin(), std::next(byCount.begin(), 2));
        byCount.emplace(a.first + b.first, static_cast<int>(nodes.size()));
        nodes.push_back({-1, a.second, b.second});
    }
    std::vector<int> words;
    std::string codes[256];
    std::function<int(int, std::string)> put = [&](int i, std::string code) {
        const Node n = nodes[i], one = nodes[n.one], zero = nodes[n.zero];
        const int onePos = one.value < 0 ? put(n.one, code + '1') : -1;
        if (one.value >= 0)
            codes[one.value] = code + '1';
        if (zero.value >= 0)
            codes[zero.value] = code + '0', words.push_back(0x100 | zero.value);
        else
            put(n.zero, code + '0');
        const int at = static_cast<int>(words.size());
        words.push_back(one.value >= 0 ? one.value : (onePos - at) * 2);
        return at;
    };
    put(byCount.begin()->second, "");
    std::string bits;
    for (std::uint8_t b : data)
        bits += codes[b];
    bits.resize((bits.size() + 31) / 32 * 32, '0');
    Bytes out(plain.begin(), plain.begin() + 20);
    out[1] = 1;
    for (std::size_t v : {words.size() * 2, data.size()})
        PutWord(out, static_cast<std::uint32_t>(v >> 16)), PutWord(out, v & 0xFFFF);
    for (int w : words)
        PutWord(out, static_cast<std::uint32_t>(w) & 0xFFFF);
    for (std::size_t i = 0; i < bits.size(); i += 8)
        out.push_back(static_cast<std::uint8_t>(std::stoi(bits.substr(i, 8), nullptr, 2)));
    return out;
}

Bytes CtblData(std::span<const std::array<std::uint16_t, 16>> lines) {
    Bytes d;
    for (const auto &line : lines)
        for (std::uint16_t w : line)
            PutWord(d, w);
    return d;
}

BmhdFields HeaderFor(const ChunkyImage &img, bool compressed) {
    BmhdFields f;
    f.Width = f.PageWidth = static_cast<std::uint16_t>(img.Width);
    f.Height = f.PageHeight = static_cast<std::uint16_t>(img.Height);
    f.Bitplanes = static_cast<std::uint8_t>(img.Planes);
    f.Packtype = compressed ? 1 : 0;
    return f;
}

IlbmBuilder &IlbmBuilder::Chunk(const std::string &id, Bytes data,
                                std::optional<std::uint32_t> sizeField, bool pad) {
    PutId(chunks_, id);
    PutLong(chunks_, sizeField.value_or(static_cast<std::uint32_t>(data.size())));
    chunks_.insert(chunks_.end(), data.begin(), data.end());
    if (pad && data.size() % 2 == 1)
        chunks_.push_back(0);
    return *this;
}

Bytes IlbmBuilder::Build() const {
    Bytes out;
    PutId(out, formId_);
    PutLong(out, formSize_.value_or(static_cast<std::uint32_t>(4 + chunks_.size())));
    PutId(out, formType_);
    out.insert(out.end(), chunks_.begin(), chunks_.end());
    return out;
}

void IlbmBuilder::WriteFile(const std::string &path) const {
    WriteBytes(path, Build());
}

Bytes BuildSimple(const SimpleIlbm &s) {
    IlbmBuilder b;
    b.Bmhd(HeaderFor(s.Image, s.Compressed)).Cmap(s.Colours);
    if (s.ModeId)
        b.Camg(*s.ModeId);
    b.Body(BodyData(s.Image, s.Compressed));
    return b.Build();
}

void WriteBytes(const std::string &path, std::span<const std::uint8_t> bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char *>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path);
}

Bytes ReadBytes(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    if (!f)
        throw std::runtime_error("cannot read " + path);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream text; // a folder reads as nothing
    text << f.rdbuf();
    return text.str();
}

void WriteText(const std::string &path, const std::string &text) {
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

namespace ref {

std::array<std::uint32_t, 257> PaletteFrom(std::span<const std::uint32_t> cmap, bool halfBrite) {
    std::array<std::uint32_t, 257> pal{};
    for (std::size_t i = 0; i < cmap.size() && i < pal.size(); ++i)
        pal[i] = cmap[i];
    if (halfBrite) // entries 32..63: each component of entries 0..31 halved
        for (int i = 0; i < 32; ++i)
            pal[32 + i] = (pal[i] >> 1) & 0x7F7F7F;
    return pal;
}

std::uint32_t CtblColour(std::uint16_t word) {
    const std::uint32_t red = word >> 8, green = (word >> 4) & 0xF, blue = word & 0xF;
    return (red << 20) | (green << 12) | (blue << 4);
}

std::vector<std::uint32_t> RowColours(const ChunkyImage &img, int y, Mode mode,
                                      const std::array<std::uint32_t, 257> &palette,
                                      const std::array<std::uint16_t, 16> *line) {
    std::array<std::uint32_t, 257> pal = palette;
    if (line && mode != Mode::Ham8)
        for (int i = 0; i < 16; ++i)
            pal[i] = CtblColour((*line)[i]);
    // HAM control 1 blue, 2 red, 3 green; HAM6 repeats its 4 bits in both nibbles, HAM8 puts
    // its 6 bits on top of the left pixel's low 2 bits.
    const int bits = mode == Mode::Ham6 ? 4 : 6;
    std::vector<std::uint32_t> out;
    std::uint32_t prev = pal[0];
    for (int x = 0; x <= img.Width; ++x) {
        const unsigned v = x < img.Width ? img.At(x, y) : 0;
        std::uint32_t c = pal[v];
        if (mode != Mode::Palette && (v >> bits) != 0) {
            const int shift = (v >> bits) == 1 ? 0 : (v >> bits) == 2 ? 16 : 8;
            const std::uint32_t n = v & ((1u << bits) - 1);
            const std::uint32_t part = bits == 4 ? n * 0x11 : (n << 2) | ((prev >> shift) & 3);
            c = (prev & ~(0xFFu << shift)) | (part << shift);
        }
        out.push_back(c);
        if (mode != Mode::Palette)
            prev = c;
    }
    return out;
}

Bytes Bitmap(int width, int height, std::span<const std::uint32_t> colours) {
    const auto w = static_cast<std::uint32_t>(width), h = static_cast<std::uint32_t>(height);
    Bytes out;
    auto le = [&](std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            out.push_back(i < 4 ? static_cast<std::uint8_t>(v >> (8 * i)) : 0);
    };
    // File header ("BM", size, offset 54), then the 40-byte info header.
    const std::pair<std::uint32_t, int> header[] = {
        {0x4D42, 2}, {54 + 4 * w * h, 4}, {0, 4}, {54, 4}, {40, 4}, {w, 4}, {h, 4}, {1, 2}, {32, 2},
        {0, 4},      {4 * w * h, 4},      {0, 8}, {0, 8}};
    for (const auto &[v, size] : header)
        le(v, size);
    for (int y = height - 1; y >= 0; --y)
        for (int x = 0; x < width; ++x)
            le(colours[static_cast<std::size_t>(y) * w + x], 4);
    return out;
}

} // namespace ref

} // namespace tambrel::test
