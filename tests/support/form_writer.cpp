#include "tests/support/form_writer.h"

#include <algorithm>

namespace tambrel::test {

Bytes PbmBodyData(const ChunkyImage &img, bool compressed) {
    Bytes out;
    for (int y = 0; y < img.Height; ++y) {
        Bytes row(static_cast<std::size_t>(img.Width + img.Width % 2), 0);
        for (int x = 0; x < img.Width; ++x)
            row[static_cast<std::size_t>(x)] = img.At(x, y);
        AppendRow(out, row, compressed);
    }
    return out;
}

DeepImage DeepPattern(int width, int height, int planes, unsigned seed) {
    DeepImage img{width, height, planes, {}};
    unsigned state = seed * 2654435761u + 99u;
    for (int i = 0; i < width * height; ++i) {
        state = state * 1103515245u + 12345u;
        const std::uint32_t v = state ^ (state >> 15) * 2246822519u;
        img.Pixels.push_back(planes == 32 ? v : v & 0xFFFFFF);
    }
    return img;
}

Bytes DeepBodyData(const DeepImage &img, bool compressed, bool maskPlane) {
    // Plane p carries bit p % 8 of red (p < 8), green, blue or alpha.
    const int shifts[4] = {16, 8, 0, 24};
    Bytes out;
    for (int y = 0; y < img.Height; ++y) {
        for (int p = 0; p < img.Planes + (maskPlane ? 1 : 0); ++p)
            AppendRow(out,
                      PlaneRow(img.Width, 0,
                               [&](int x) {
                                   return p == img.Planes ||
                                          ((img.At(x, y) >> (shifts[p / 8] + p % 8)) & 1);
                               }),
                      compressed);
    }
    return out;
}

Bytes AbitData(const ChunkyImage &img, int rowBytes) {
    Bytes out;
    for (int p = 0; p < img.Planes; ++p)
        for (int y = 0; y < img.Height; ++y)
            AppendRow(out,
                      PlaneRow(img.Width, static_cast<std::size_t>(std::max(rowBytes, 0)),
                               [&](int x) { return (img.At(x, y) >> p) & 1; }),
                      false);
    return out;
}

Bytes VdatData(std::span<const std::uint8_t> commands, std::span<const std::uint16_t> words,
               std::optional<std::uint16_t> countField) {
    Bytes out;
    out.reserve(2 + commands.size() + 2 * words.size());
    PutWord(out, countField.value_or(static_cast<std::uint16_t>(commands.size() + 2)));
    for (std::uint8_t c : commands)
        out.push_back(c);
    for (std::uint16_t w : words)
        PutWord(out, w);
    return out;
}

std::vector<std::uint16_t> ColumnWords(const ChunkyImage &img, int plane) {
    std::vector<std::uint16_t> words;
    for (int column = 0; column < (img.Width + 15) / 16; ++column)
        for (int y = 0; y < img.Height; ++y) {
            std::uint16_t w = 0;
            for (int i = 0; i < 16; ++i) {
                const int x = column * 16 + i;
                if (x < img.Width && ((img.At(x, y) >> plane) & 1))
                    w |= static_cast<std::uint16_t>(0x8000 >> i);
            }
            words.push_back(w);
        }
    return words;
}

// A VDAT packing of words, every command kind used where it fits.
static Bytes PackVertical(std::span<const std::uint16_t> words) {
    Bytes commands;
    std::vector<std::uint16_t> data;
    const std::size_t n = words.size();
    for (std::size_t i = 0; i < n;) {
        std::size_t run = 1;
        while (i + run < n && run < 65535 && words[i + run] == words[i])
            ++run;
        if (run >= 2) {
            if (run <= 127) {
                commands.push_back(static_cast<std::uint8_t>(run));
            } else {
                commands.push_back(1);
                data.push_back(static_cast<std::uint16_t>(run));
            }
            data.push_back(words[i]);
            i += run;
            continue;
        }
        std::size_t end = i + 1;
        while (end < n && end - i < 65535 && !(end + 1 < n && words[end] == words[end + 1]))
            ++end;
        const std::size_t count = end - i;
        if (count <= 128) {
            commands.push_back(static_cast<std::uint8_t>(256 - count));
        } else {
            commands.push_back(0);
            data.push_back(static_cast<std::uint16_t>(count));
        }
        data.insert(data.end(), words.begin() + static_cast<std::ptrdiff_t>(i),
                    words.begin() + static_cast<std::ptrdiff_t>(end));
        i = end;
    }
    return VdatData(commands, data);
}

Bytes SubChunk(const std::string &id, const Bytes &data) {
    const Bytes form = IlbmBuilder().Chunk(id, data).Build();
    return Bytes(form.begin() + 12, form.end()); // without the FORM header
}

Bytes VdatBodyData(const ChunkyImage &img, int planes) {
    Bytes out;
    for (int p = 0; p < (planes < 0 ? img.Planes : planes); ++p) {
        const Bytes chunk = SubChunk("VDAT", PackVertical(ColumnWords(img, p)));
        out.insert(out.end(), chunk.begin(), chunk.end());
    }
    return out;
}

} // namespace tambrel::test
