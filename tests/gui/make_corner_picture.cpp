// For scripts/smoke_windows.sh: four quadrants with a 12 x 12 magenta bottom-right corner,
// optionally with the header's pixel aspect; or a 320 x 200 picture of diagonal bands whose
// 24 colours cycle (an active CRNG range, 30 steps a second).
// Usage: tambrel_make_corner_picture OUTPUT WIDTH HEIGHT [XASPECT YASPECT]
//        tambrel_make_corner_picture OUTPUT cycle
#include "tests/support/ilbm_writer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace tambrel::test;

namespace {

Bytes CyclingPicture() {
    ChunkyImage img(320, 200, 5);
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x)
            img.At(x, y) = static_cast<std::uint8_t>(8 + (x + y) / 8 % 24);
    std::vector<std::uint32_t> colours(32, 0x202020);
    for (int i = 0; i < 24; ++i) { // a hue circle
        auto channel = [i](double shift) {
            return static_cast<std::uint32_t>(127.5 +
                                              127.5 * std::cos((i / 24.0 + shift) * 6.2832));
        };
        colours[8 + i] = channel(0) << 16 | channel(1.0 / 3) << 8 | channel(2.0 / 3);
    }
    return IlbmBuilder()
        .Bmhd(HeaderFor(img, false))
        .Cmap(colours)
        .Chunk("CRNG", {0, 0, 0x20, 0, 0, 1, 8, 31})
        .Body(BodyData(img, false))
        .Build();
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[2], "cycle") == 0) {
        WriteBytes(argv[1], CyclingPicture());
        return 0;
    }
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: %s OUTPUT WIDTH HEIGHT [XASPECT YASPECT] | OUTPUT cycle\n",
                     argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    ChunkyImage img(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            img.At(x, y) = static_cast<std::uint8_t>(x >= width - 12 && y >= height - 12
                                                         ? 7
                                                         : 1 + (x >= width / 2 ? 1 : 0) +
                                                               (y >= height / 2 ? 2 : 0));
    const std::vector<std::uint32_t> colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                                0xFFFF00, 0x808080, 0x00FFFF, 0xFF00FF};
    BmhdFields f = HeaderFor(img, true);
    if (argc == 6)
        f.XaspectRatio = static_cast<std::uint8_t>(std::atoi(argv[4])),
        f.YaspectRatio = static_cast<std::uint8_t>(std::atoi(argv[5]));
    WriteBytes(argv[1], IlbmBuilder().Bmhd(f).Cmap(colours).Body(BodyData(img, true)).Build());
    return 0;
}
