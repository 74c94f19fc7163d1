#pragma once
// Shared helpers of the core tests: a scratch folder and one-call loads.
#include "decoder/iff_loader.h"
#include "tests/support/ilbm_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tambrel::test {

// Loads bytes as "/pics/test.iff", checking the rows reported: all once a BODY was decoded.
inline int LoadBytes(IFF_Picture &pic, const Bytes &bytes, bool debug = false) {
    LoadProgress progress;
    pic.Progress = &progress;
    const int result = LoadIffPictureFromMemory(pic, bytes, "/pics/test.iff", debug);
    pic.Progress = nullptr;
    EXPECT_EQ(progress.RowsDone.load(), progress.Rows.load());
    if (pic.HasBody() && pic.BodyRefusal.empty() && pic.Height > 0) {
        EXPECT_GT(progress.Rows.load(), 0);
    }
    return result;
}

// Pixel values of picture row y (0-based) of a loaded picture and of an image.
inline std::vector<std::uint8_t> IndexRow(const IFF_Picture &pic, int y) {
    std::vector<std::uint8_t> row;
    for (int x = 0; x < pic.Width; ++x)
        row.push_back(pic.PixelIndices.ValueAt(x, y + 1));
    return row;
}
inline std::vector<std::uint8_t> ImageRow(const ChunkyImage &img, int y) {
    const auto start = img.Pixels.begin() + static_cast<std::ptrdiff_t>(y) * img.Width;
    return {start, start + img.Width};
}

// A deterministic pattern of pixel values below 2^planes.
inline ChunkyImage Pattern(int width, int height, int planes, unsigned seed = 1) {
    ChunkyImage img(width, height, planes);
    unsigned state = seed * 2654435761u + 12345u;
    for (auto &v : img.Pixels) {
        state = state * 1103515245u + 12345u;
        v = static_cast<std::uint8_t>((state >> 16) & ((1u << planes) - 1));
    }
    return img;
}

// Distinct, recognisable colours for palette entries.
inline std::vector<std::uint32_t> TestColours(int count) {
    std::vector<std::uint32_t> c;
    for (int i = 0; i < count; ++i)
        c.push_back(static_cast<std::uint32_t>(
            ((i * 37 + 11) & 0xFF) << 16 | ((i * 91 + 5) & 0xFF) << 8 | ((i * 53 + 201) & 0xFF)));
    return c;
}

// Expects `img`'s values and the reference model's colours (CTBL `lines`, black past them).
inline void ExpectPicture(const IFF_Picture &pic, const ChunkyImage &img, ref::Mode mode,
                          const std::array<std::uint32_t, 257> &palette,
                          const std::vector<std::array<std::uint16_t, 16>> *lines = nullptr) {
    ASSERT_EQ(pic.Width, img.Width);
    ASSERT_EQ(pic.Height, img.Height);
    const std::array<std::uint16_t, 16> black{};
    for (int y = 0; y < img.Height; ++y) {
        const auto *line = !lines                                ? nullptr
                           : y < static_cast<int>(lines->size()) ? &(*lines)[y]
                                                                 : &black;
        EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << "row " << y;
        std::vector<std::uint32_t> colours; // columns 0 .. Width, 0 outside the buffers
        for (int x = 0; x <= pic.Width; ++x)
            colours.push_back(pic.PixelColours.ValueAt(x, y + 1));
        EXPECT_EQ(colours, ref::RowColours(img, y, mode, palette, line)) << "row " << y;
    }
}

} // namespace tambrel::test
