#include "tests/support/ilbm_writer.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tambrel::test {

void PutWord(Bytes &out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutLong(Bytes &out, std::uint32_t v) {
    PutWord(out, static_cast<std::uint16_t>(v >> 16));
    PutWord(out, static_cast<std::uint16_t>(v));
}

static void PutId(Bytes &out, const std::string &id) {
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back(i < id.size() ? static_cast<std::uint8_t>(id[i]) : ' ');
}

int PlaneRowBytes(int width) {
    return (width + 15) / 16 * 2;
}

Bytes PackByteRun1(std::span<const std::uint8_t> row) {
    Bytes out;
    std::size_t i = 0;
    const std::size_t n = row.size();
    while (i < n) {
        // Length of the run of equal bytes starting at i.
        std::size_t run = 1;
        while (i + run < n && run < 128 && row[i + run] == row[i])
            ++run;
        if (run >= 3) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        // Literal run: up to the next run of 3 equal bytes, at most 128 bytes.
        std::size_t start = i;
        std::size_t len = 0;
        while (i < n && len < 128) {
            if (i + 2 < n && row[i] == row[i + 1] && row[i] == row[i + 2])
                break;
            ++i;
            ++len;
        }
        out.push_back(static_cast<std::uint8_t>(len - 1));
        out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(start),
                   row.begin() + static_cast<std::ptrdiff_t>(start + len));
    }
    return out;
}

Bytes UnpackByteRun1(std::span<const std::uint8_t> packed, std::size_t count) {
    Bytes out;
    std::size_t i = 0;
    while (out.size() < count && i < packed.size()) {
        std::uint8_t n = packed[i++];
        if (n < 128) {
            for (int k = 0; k <= n && i < packed.size(); ++k)
                out.push_back(packed[i++]);
        } else if (n > 128 && i < packed.size()) {
            std::uint8_t v = packed[i++];
            out.insert(out.end(), 257 - n, v);
        }
    }
    out.resize(count, 0);
    return out;
}

Bytes PlanarRow(const ChunkyImage &img, int y, const ChunkyImage *mask) {
    const int s = PlaneRowBytes(img.Width);
    const int rows = img.Planes + (mask ? 1 : 0);
    Bytes out(static_cast<std::size_t>(s) * rows, 0);
    for (int p = 0; p < rows; ++p) {
        for (int x = 0; x < img.Width; ++x) {
            bool bit = p < img.Planes ? ((img.At(x, y) >> p) & 1) != 0 : mask->At(x, y) != 0;
            if (bit)
                out[static_cast<std::size_t>(p) * s + x / 8] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    return out;
}

Bytes BodyData(const ChunkyImage &img, bool compressed, const ChunkyImage *mask) {
    const std::size_t s = PlaneRowBytes(img.Width);
    Bytes out;
    for (int y = 0; y < img.Height; ++y) {
        Bytes row = PlanarRow(img, y, mask);
        if (!compressed) {
            out.insert(out.end(), row.begin(), row.end());
            continue;
        }
        for (std::size_t off = 0; off < row.size(); off += s) {
            Bytes packed = PackByteRun1(std::span(row).subspan(off, s));
            out.insert(out.end(), packed.begin(), packed.end());
        }
    }
    return out;
}

Bytes BmhdData(const BmhdFields &f) {
    Bytes d;
    PutWord(d, f.Width);
    PutWord(d, f.Height);
    PutWord(d, f.Xpos);
    PutWord(d, f.Ypos);
    d.push_back(f.Bitplanes);
    d.push_back(f.Masking);
    d.push_back(f.Packtype);
    d.push_back(f.Pad);
    PutWord(d, f.TransparentColour);
    d.push_back(f.XaspectRatio);
    d.push_back(f.YaspectRatio);
    PutWord(d, f.PageWidth);
    PutWord(d, f.PageHeight);
    return d;
}

Bytes CmapData(std::span<const std::uint32_t> colours) {
    Bytes d;
    for (std::uint32_t c : colours) {
        d.push_back(static_cast<std::uint8_t>(c >> 16));
        d.push_back(static_cast<std::uint8_t>(c >> 8));
        d.push_back(static_cast<std::uint8_t>(c));
    }
    return d;
}

Bytes CamgData(std::uint32_t modeId) {
    Bytes d;
    PutLong(d, modeId);
    return d;
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
    f.Width = static_cast<std::uint16_t>(img.Width);
    f.Height = static_cast<std::uint16_t>(img.Height);
    f.Bitplanes = static_cast<std::uint8_t>(img.Planes);
    f.Packtype = compressed ? 1 : 0;
    f.PageWidth = f.Width;
    f.PageHeight = f.Height;
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

IlbmBuilder &IlbmBuilder::Raw(const Bytes &bytes) {
    chunks_.insert(chunks_.end(), bytes.begin(), bytes.end());
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

namespace ref {

std::uint32_t Halve(std::uint32_t c) {
    std::uint32_t r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    return ((r / 2) << 16) | ((g / 2) << 8) | (b / 2);
}

std::array<std::uint32_t, 257> PaletteFrom(std::span<const std::uint32_t> cmap, bool halfBrite) {
    std::array<std::uint32_t, 257> pal{};
    for (std::size_t i = 0; i < cmap.size() && i < pal.size(); ++i)
        pal[i] = cmap[i];
    if (halfBrite)
        for (int i = 0; i < 32; ++i)
            pal[32 + i] = Halve(pal[i]);
    return pal;
}

std::uint32_t CtblColour(std::uint16_t word) {
    // Each 4-bit component goes to the top of its byte (0xF gives 0xF0); bits of
    // the first byte above the red nibble carry on upwards.
    std::uint32_t red = word >> 8, green = (word >> 4) & 0xF, blue = word & 0xF;
    return (red << 20) | (green << 12) | (blue << 4);
}

std::vector<std::uint32_t> RowColours(const ChunkyImage &img, int y, Mode mode,
                                      const std::array<std::uint32_t, 257> &palette,
                                      const std::array<std::uint16_t, 16> *line) {
    std::array<std::uint32_t, 257> pal = palette;
    if (line && mode != Mode::Ham8)
        for (int i = 0; i < 16; ++i)
            pal[i] = CtblColour((*line)[i]);
    std::vector<std::uint32_t> out;
    std::uint32_t prev = pal[0];
    for (int x = 0; x <= img.Width; ++x) {
        const unsigned v = x < img.Width ? img.At(x, y) : 0;
        std::uint32_t c = pal[v];
        if (mode == Mode::Ham6 && v >= 16) {
            const std::uint32_t n = (v & 0xF) * 0x11; // 4 bits repeated in both nibbles
            switch (v >> 4) {
            case 1:
                c = (prev & 0xFFFF00) | n;
                break;
            case 2:
                c = (prev & 0x00FFFF) | (n << 16);
                break;
            case 3:
                c = (prev & 0xFF00FF) | (n << 8);
                break;
            }
        } else if (mode == Mode::Ham8 && v >= 64) {
            const std::uint32_t n = (v & 0x3F) << 2; // 6 bits on top, low 2 bits kept
            switch (v >> 6) {
            case 1:
                c = (prev & 0xFFFF03) | n;
                break;
            case 2:
                c = (prev & 0x03FFFF) | (n << 16);
                break;
            case 3:
                c = (prev & 0xFF03FF) | (n << 8);
                break;
            }
        }
        out.push_back(c);
        if (mode != Mode::Palette)
            prev = c;
    }
    return out;
}

} // namespace ref

} // namespace tambrel::test
