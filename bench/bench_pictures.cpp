#include "bench/bench_pictures.h"

#include "tests/support/form_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace tambrel::bench {

namespace {

using tambrel::test::ChunkyImage;

// A small deterministic generator, so every run measures the same bytes.
struct Noise {
    std::uint32_t state;
    std::uint32_t Next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
};

// 64 x 64 tiles of four kinds: flat, horizontal gradient, stripes, noise.
ChunkyImage Tiled(int width, int height, int planes, std::uint32_t seed) {
    ChunkyImage img(width, height, planes);
    Noise noise{seed | 1};
    const int values = 1 << planes;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int tx = x / 64, ty = y / 64;
            int v = 0;
            switch ((tx + ty * 3 + static_cast<int>(seed)) % 4) {
            case 0:
                v = tx * 7 + ty * 13;
                break;
            case 1:
                v = (x % 64) * values / 64;
                break;
            case 2:
                v = (y / 4) % 2 == 0 ? tx : ty;
                break;
            default:
                v = static_cast<int>(noise.Next() >> 8);
                break;
            }
            img.At(x, y) = static_cast<std::uint8_t>(v % values);
        }
    }
    return img;
}

std::vector<std::uint32_t> Colours(int count, std::uint32_t seed) {
    std::vector<std::uint32_t> colours;
    for (int i = 0; i < count; ++i) {
        colours.push_back((static_cast<std::uint32_t>(i) * 0x2F1B3Du + seed * 0x10101u) &
                          0xFFFFFFu);
    }
    return colours;
}

tambrel::test::Bytes Build(const ChunkyImage &img, std::uint32_t modeId, std::uint32_t seed) {
    tambrel::test::SimpleIlbm s;
    s.Image = img;
    s.Colours = Colours(img.Planes == 8 ? 256 : 1 << img.Planes, seed);
    s.ModeId = modeId;
    s.Compressed = true;
    return tambrel::test::BuildSimple(s);
}

} // namespace

tambrel::test::Bytes LargePicture() {
    return Build(Tiled(kLargeSide, kLargeSide, 8, 1), 0, 1);
}

tambrel::test::Bytes LargePictureWith(const std::string &id, const tambrel::test::Bytes &data) {
    const ChunkyImage img = Tiled(kLargeSide, kLargeSide, 8, 1);
    return tambrel::test::IlbmBuilder()
        .Bmhd(tambrel::test::HeaderFor(img, true))
        .Cmap(Colours(256, 1))
        .Camg(0)
        .Chunk(id, data)
        .Body(tambrel::test::BodyData(img, true))
        .Build();
}

tambrel::test::DeepImage TrueColourPattern(int width, int height) {
    // Red, green and blue from three differently seeded tile patterns.
    const ChunkyImage r = Tiled(width, height, 8, 3);
    const ChunkyImage g = Tiled(width, height, 8, 4);
    const ChunkyImage b = Tiled(width, height, 8, 5);
    tambrel::test::DeepImage img{width, height, 24, {}};
    img.Pixels.resize(r.Pixels.size());
    for (std::size_t i = 0; i < img.Pixels.size(); ++i) {
        img.Pixels[i] =
            std::uint32_t{r.Pixels[i]} << 16 | std::uint32_t{g.Pixels[i]} << 8 | b.Pixels[i];
    }
    return img;
}

tambrel::test::Bytes DeepPicture() {
    const tambrel::test::DeepImage img = TrueColourPattern(kLargeSide, kLargeSide);
    tambrel::test::BmhdFields f =
        tambrel::test::HeaderFor(ChunkyImage(kLargeSide, kLargeSide, 1), true);
    f.Bitplanes = 24;
    return tambrel::test::IlbmBuilder()
        .Bmhd(f)
        .Body(tambrel::test::DeepBodyData(img, true))
        .Build();
}

tambrel::test::Bytes PbmPicture() {
    const ChunkyImage img = Tiled(kLargeSide, kLargeSide, 8, 6);
    return tambrel::test::IlbmBuilder()
        .FormType("PBM ")
        .Bmhd(tambrel::test::HeaderFor(img, true))
        .Cmap(Colours(256, 6))
        .Body(tambrel::test::PbmBodyData(img, true))
        .Build();
}

tambrel::test::Bytes Ham8Picture() {
    // Pixel values carry the HAM control code in their top two bits: a palette
    // pixel now and then, modifications of red, green and blue in between.
    ChunkyImage img = Tiled(kHamWidth, kHamHeight, 8, 2);
    return Build(img, 0x800, 2);
}

tambrel::test::Bytes SmallPicture(int index) {
    return Build(Tiled(kSmallWidth, kSmallHeight, 5, static_cast<std::uint32_t>(index)), 0,
                 static_cast<std::uint32_t>(index));
}

std::string SmallPictureName(int index) {
    char name[16];
    std::snprintf(name, sizeof name, "p%03d.iff", index);
    return name;
}

} // namespace tambrel::bench
