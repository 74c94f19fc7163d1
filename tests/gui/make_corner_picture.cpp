// For scripts/smoke_windows.sh: four quadrants with a 12 x 12 magenta bottom-right corner.
// Usage: tambrel_make_corner_picture OUTPUT WIDTH HEIGHT
#include "tests/support/ilbm_writer.h"

#include <cstdio>
#include <cstdlib>

using namespace tambrel::test;

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s OUTPUT WIDTH HEIGHT\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[2]), height = std::atoi(argv[3]);
    SimpleIlbm s;
    s.Image = ChunkyImage(width, height, 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            s.Image.At(x, y) = static_cast<std::uint8_t>(x >= width - 12 && y >= height - 12
                                                             ? 7
                                                             : 1 + (x >= width / 2 ? 1 : 0) +
                                                                   (y >= height / 2 ? 2 : 0));
    s.Colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x808080, 0x00FFFF, 0xFF00FF};
    s.Compressed = true;
    WriteBytes(argv[1], BuildSimple(s));
    return 0;
}
