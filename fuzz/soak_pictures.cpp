// tambrel_soak_pictures DIR COUNT [SEED]: writes COUNT pictures of mixed
// display modes and sizes into DIR, one in ten of them hostile (a file the
// converter must report: empty, not an ILBM, no BODY, unsupported bit planes,
// too large, zero width). Prints one line per file on stdout:
// "NAME good WIDTH HEIGHT" or "NAME hostile KIND".
#include "tests/support/ilbm_writer.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <random>
#include <string>

using namespace tambrel::test;

namespace {

constexpr std::uint32_t kHalfBrite = 0x80;
constexpr std::uint32_t kHam = 0x800;

std::vector<std::uint32_t> RandomColours(std::mt19937 &rng, int count) {
    std::vector<std::uint32_t> c(static_cast<std::size_t>(count));
    for (auto &v : c) {
        v = rng() & 0xFFFFFF;
    }
    return c;
}

ChunkyImage RandomImage(std::mt19937 &rng, int width, int height, int planes) {
    ChunkyImage img(width, height, planes);
    const unsigned mask = (1u << planes) - 1;
    // Bands of equal values with noise, so ByteRun1 gets both kinds of runs.
    std::uint8_t value = 0;
    for (auto &v : img.Pixels) {
        if (rng() % 8 == 0) {
            value = static_cast<std::uint8_t>(rng() & mask);
        }
        v = value;
    }
    return img;
}

Bytes GoodPicture(std::mt19937 &rng, int &width, int &height) {
    width = 1 + static_cast<int>(rng() % 400);
    height = 1 + static_cast<int>(rng() % 300);
    const bool packed = rng() % 4 != 0;
    const unsigned kind = rng() % 6;
    if (kind < 3) { // Extra Half-Brite, HAM6, HAM8
        const int planes[] = {6, 6, 8}, colours[] = {32, 16, 64};
        SimpleIlbm s{RandomImage(rng, width, height, planes[kind]),
                     RandomColours(rng, colours[kind]), kind == 0 ? kHalfBrite : kHam, packed};
        return BuildSimple(s);
    }
    switch (kind) {
    case 3: { // dynamic palette
        const ChunkyImage img = RandomImage(rng, width, height, 4);
        std::vector<std::array<std::uint16_t, 16>> lines(static_cast<std::size_t>(height));
        for (auto &line : lines) {
            for (auto &c : line) {
                c = static_cast<std::uint16_t>(rng() & 0x0FFF);
            }
        }
        IlbmBuilder b;
        b.Bmhd(HeaderFor(img, packed)).Cmap(RandomColours(rng, 16)).Camg(0).Ctbl(lines);
        return b.Body(BodyData(img, packed)).Build();
    }
    case 4: { // a mask plane, CAMG after the BODY
        const ChunkyImage img = RandomImage(rng, width, height, 5);
        const ChunkyImage mask = RandomImage(rng, width, height, 1);
        BmhdFields f = HeaderFor(img, packed);
        f.Masking = 1;
        IlbmBuilder b;
        b.Bmhd(f).Cmap(RandomColours(rng, 32)).Body(BodyData(img, packed, &mask)).Camg(0);
        return b.Build();
    }
    default: { // palette, 1 to 8 planes, with or without CAMG
        const int planes = 1 + static_cast<int>(rng() % 8);
        SimpleIlbm s{RandomImage(rng, width, height, planes), RandomColours(rng, 1 << planes),
                     rng() % 2 ? std::optional<std::uint32_t>(0) : std::nullopt, packed};
        return BuildSimple(s);
    }
    }
}

Bytes HostilePicture(std::mt19937 &rng, std::string &kind) {
    const ChunkyImage img = RandomImage(rng, 32, 8, 3);
    BmhdFields f = HeaderFor(img, true);
    switch (rng() % 7) {
    case 0:
        kind = "empty";
        return {};
    case 1:
        kind = "not-ilbm";
        return IlbmBuilder().Bmhd(f).FormType("8SVX").Build();
    case 2:
        kind = "no-body";
        return IlbmBuilder().Bmhd(f).Cmap(RandomColours(rng, 8)).Camg(0).Build();
    case 3:
        kind = "bitplanes-24";
        f.Bitplanes = 24;
        return IlbmBuilder().Bmhd(f).Body(BodyData(img, true)).Build();
    case 4:
        kind = "too-large";
        f.Width = 65535;
        f.Height = 65535;
        return IlbmBuilder().Bmhd(f).Body({0x81, 0}).Build();
    case 5: {
        kind = "cut-before-body";
        Bytes b =
            IlbmBuilder().Bmhd(f).Cmap(RandomColours(rng, 8)).Body(BodyData(img, true)).Build();
        b.resize(12 + 28 + 8 + rng() % 24); // inside the CMAP
        return b;
    }
    default:
        kind = "width-0";
        f.Width = 0;
        return IlbmBuilder().Bmhd(f).Body(BodyData(img, true)).Build();
    }
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tambrel_soak_pictures DIR COUNT [SEED]\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int count = std::atoi(argv[2]);
    std::mt19937 rng(argc > 3 ? static_cast<unsigned>(std::atoi(argv[3])) : 1u);
    try {
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "pic%05d.iff", i);
            if (rng() % 10 == 0) {
                std::string kind;
                WriteBytes(dir + "/" + name, HostilePicture(rng, kind));
                std::printf("%s hostile %s\n", name, kind.c_str());
            } else {
                int width = 0, height = 0;
                WriteBytes(dir + "/" + name, GoodPicture(rng, width, height));
                std::printf("%s good %d %d\n", name, width, height);
            }
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tambrel_soak_pictures: %s\n", e.what());
        return 1;
    }
    return 0;
}
