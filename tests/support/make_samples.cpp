// Writes samples/: palette, Extra Half-Brite, HAM6, HAM8, CTBL and masked pictures.
// Usage: tambrel_make_samples OUTPUT_FOLDER
#include "tests/support/ilbm_writer.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <string>

using namespace tambrel::test;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::uint32_t Rgb(int r, int g, int b) {
    auto clamp = [](int v) { return static_cast<std::uint32_t>(v < 0 ? 0 : v > 255 ? 255 : v); };
    return (clamp(r) << 16) | (clamp(g) << 8) | clamp(b);
}

// A hue wheel colour, h in [0, 1).
std::uint32_t Hue(double h, double light = 1.0) {
    const auto part = [&](double shift) {
        return static_cast<int>((0.5 + 0.5 * std::cos(2 * kPi * (h - shift))) * 255 * light);
    };
    return Rgb(part(0), part(1.0 / 3), part(2.0 / 3));
}

bool InCircle(int x, int y, int cx, int cy, int r) {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

int Component(std::uint32_t c, int shift) {
    return static_cast<int>((c >> shift) & 0xFF);
}

long Distance(std::uint32_t a, std::uint32_t b) {
    long d = 0;
    for (int s : {0, 8, 16})
        d += long{Component(a, s) - Component(b, s)} * (Component(a, s) - Component(b, s));
    return d;
}

// Picks per pixel the HAM code nearest the target: a base entry or one component changed.
ChunkyImage HamEncode(int width, int height, bool ham8, const std::vector<std::uint32_t> &base,
                      std::uint32_t (*target)(int, int, int, int)) {
    const int bases = ham8 ? 64 : 16;
    ChunkyImage img(width, height, ham8 ? 8 : 6);
    for (int y = 0; y < height; ++y) {
        std::uint32_t prev = base[0];
        for (int x = 0; x < width; ++x) {
            const std::uint32_t t = target(x, y, width, height);
            int bestCode = 0;
            std::uint32_t bestColour = base[0];
            long bestDist = Distance(base[0], t);
            for (int i = 1; i < bases; ++i) {
                long d = Distance(base[i], t);
                if (d < bestDist) {
                    bestDist = d, bestCode = i, bestColour = base[i];
                }
            }
            // Code 1 blue, 2 red, 3 green.
            const int shifts[4] = {0, 0, 16, 8};
            for (int code = 1; code <= 3; ++code) {
                const int s = shifts[code];
                const int level = ham8 ? Component(t, s) >> 2 : (Component(t, s) + 8) / 17;
                const int value = ham8 ? (level << 2) | (Component(prev, s) & 3) : level * 17;
                std::uint32_t c = (prev & ~(0xFFu << s)) | (static_cast<std::uint32_t>(value) << s);
                long d = Distance(c, t);
                if (d < bestDist) {
                    bestDist = d, bestColour = c;
                    bestCode = (code << (ham8 ? 6 : 4)) | level;
                }
            }
            img.At(x, y) = static_cast<std::uint8_t>(bestCode);
            prev = bestColour;
        }
    }
    return img;
}

std::uint32_t SunsetTarget(int x, int y, int w, int h) {
    // Sky from deep blue to orange, a pale sun, and a dark green hill.
    double fy = static_cast<double>(y) / h;
    int r = static_cast<int>(30 + 225 * fy), g = static_cast<int>(40 + 110 * fy),
        b = static_cast<int>(150 - 110 * fy);
    if (InCircle(x, y, w * 2 / 3, h / 2, h / 6))
        r = 255, g = 230, b = 140;
    double hill = h * 0.7 + 20 * std::sin(2 * kPi * x / w);
    if (y > hill)
        r = 20, g = static_cast<int>(90 + 60 * (y - hill) / h), b = 40;
    return Rgb(r, g, b);
}

std::uint32_t ColourFieldTarget(int x, int y, int w, int h) {
    // Red across, green down, blue growing towards a centre ring.
    double dx = x - w / 2.0, dy = y - h / 2.0;
    double dist = std::sqrt(dx * dx + dy * dy);
    int b = static_cast<int>(255 * (0.5 + 0.5 * std::cos(dist / 12.0)));
    return Rgb(255 * x / (w - 1), 255 * y / (h - 1), b);
}

// BMHD, CMAP, CAMG, an optional CTBL, BODY; prints the file's path.
void Save(const std::string &folder, const char *name, const ChunkyImage &img,
          const std::vector<std::uint32_t> &colours, std::uint32_t camg, bool packed,
          const std::vector<std::array<std::uint16_t, 16>> &lines = {},
          const ChunkyImage *mask = nullptr) {
    BmhdFields f = HeaderFor(img, packed);
    f.Masking = mask ? 1 : 0;
    IlbmBuilder b;
    b.Bmhd(f).Cmap(colours).Camg(camg);
    if (!lines.empty())
        b.Ctbl(lines);
    const std::string path = folder + "/" + name;
    b.Body(BodyData(img, packed, mask)).WriteFile(path);
    std::printf("%s\n", path.c_str());
}

// 32 colours: a hue gradient background with concentric rings, ByteRun1.
void Palette32(const std::string &folder) {
    const int w = 320, h = 256;
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < 32; ++i)
        colours.push_back(Hue(i / 32.0, 0.6 + 0.4 * (i % 2)));
    ChunkyImage img(w, h, 5);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = (x / 10) % 32;
            int dx = x - w / 2, dy = y - h / 2;
            int ring = static_cast<int>(std::sqrt(dx * dx + dy * dy)) / 12;
            if (ring < 8)
                v = (ring * 4 + 16) % 32;
            img.At(x, y) = static_cast<std::uint8_t>(v);
        }
    Save(folder, "palette32.iff", img, colours, 0, true);
}

// Extra Half-Brite: 32 colours plus their halves as drop shadows, plain body.
void HalfBrite(const std::string &folder) {
    const int w = 320, h = 200;
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < 32; ++i)
        colours.push_back(Hue(i / 32.0));
    colours[0] = Rgb(230, 230, 220);
    ChunkyImage img(w, h, 6);
    // Discs: centre x, y, radius, colour.
    const int discs[][4] = {{70, 70, 45, 2},
                            {170, 100, 55, 12},
                            {260, 60, 35, 22},
                            {110, 150, 30, 28},
                            {250, 150, 38, 7}};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            int v = 0;
            for (const auto &[dx, dy, r, colour] : discs) {
                if (InCircle(x, y, dx + 8, dy + 8, r))
                    v = 32; // the shadow: half of the background colour
                if (InCircle(x, y, dx, dy, r))
                    v = colour + (x > dx + r / 3 && y > dy ? 32 : 0);
            }
            img.At(x, y) = static_cast<std::uint8_t>(v);
        }
    Save(folder, "halfbrite.iff", img, colours, 0x80, false);
}

// HAM6 over 16 greys, HAM8 over 64 hues of four brightnesses.
void Ham(const std::string &folder) {
    std::vector<std::uint32_t> grey, hues;
    for (int i = 0; i < 16; ++i)
        grey.push_back(Rgb(i * 17, i * 17, i * 17));
    for (int i = 0; i < 64; ++i)
        hues.push_back(Hue(i / 64.0, 0.3 + 0.7 * ((i / 16) % 4) / 3.0));
    Save(folder, "ham6.iff", HamEncode(320, 256, false, grey, SunsetTarget), grey, 0x800, true);
    Save(folder, "ham8.iff", HamEncode(320, 256, true, hues, ColourFieldTarget), hues, 0x800, true);
}

// 16 colours, the palette changing every row: bars flowing through the hues, plain body.
void DynamicPalette(const std::string &folder) {
    const int w = 320, h = 200;
    ChunkyImage img(w, h, 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.At(x, y) = static_cast<std::uint8_t>((x / 20) % 16);
    std::vector<std::array<std::uint16_t, 16>> lines(h);
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < 16; ++i) {
            std::uint32_t c = Hue(i / 16.0 + y / 400.0);
            lines[y][i] = static_cast<std::uint16_t>(((c >> 20) & 0xF) << 8 |
                                                     ((c >> 12) & 0xF) << 4 | ((c >> 4) & 0xF));
        }
    std::vector<std::uint32_t> cmap(16);
    for (int i = 0; i < 16; ++i)
        cmap[i] = Hue(i / 16.0);
    Save(folder, "dynamic_palette.iff", img, cmap, 0, false, lines);
}

// A star with a mask plane (Masking 1) after every row's bit planes, ByteRun1.
void Masked(const std::string &folder) {
    const int w = 160, h = 128;
    ChunkyImage img(w, h, 4), mask(w, h, 1);
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < 16; ++i)
        colours.push_back(Rgb(255 - i * 8, 200 - i * 10, 40 + i * 12));
    colours[0] = Rgb(20, 30, 60);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double dx = x - w / 2.0, dy = y - h / 2.0;
            double r = std::sqrt(dx * dx + dy * dy);
            double a = std::atan2(dy, dx);
            double edge = 30 + 22 * std::cos(5 * a);
            if (r <= edge) {
                img.At(x, y) = static_cast<std::uint8_t>(1 + static_cast<int>(r / 4) % 15);
                mask.At(x, y) = 1;
            }
        }
    Save(folder, "masked_star.iff", img, colours, 0, true, {}, &mask);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tambrel_make_samples OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        for (void (*sample)(const std::string &) :
             {Palette32, HalfBrite, Ham, DynamicPalette, Masked})
            sample(argv[1]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tambrel_make_samples: %s\n", e.what());
        return 1;
    }
    return 0;
}
