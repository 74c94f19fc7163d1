#pragma once
// A PNG file from rows of pixels, without libpng: each row is filtered by a
// choice made once for the kind of picture, the whole filtered image is
// compressed in one piece by libdeflate, and the chunks (IHDR, PLTE, tRNS,
// IDAT, IEND) go out in a single write.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tambrel {

class AtomicFile;

// How hard the compressor works. Default aims at files no larger than zlib's
// level 6 with every filter tried per row gives; Fast trades size for time,
// Small time for size.
enum class PngLevel { Fast, Default, Small };

// "fast", "default" or "small" into `level`; false for anything else.
bool ParsePngLevel(const std::string &text, PngLevel &level);

// The PNG colour types written: 8 bits per sample, never interlaced.
enum class PngColour : std::uint8_t { Rgb = 2, Palette = 3, Rgba = 6 };

struct PngImage {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    PngColour Colour = PngColour::Rgb;
    std::vector<std::uint8_t> Palette; // Palette only: red, green, blue per entry
    std::vector<std::uint8_t> Trans;   // Palette only: alpha per entry; empty for none
    // Colour only: each pixel repeats its left neighbour but for one sample
    // (hold-and-modify), so predicting from the left suits every row: beyond
    // a small picture, no other filtering is tried.
    bool FromLeft = false;
    // Fills row y (0 at the top): Width pixels of 1 (palette index), 3 (RGB)
    // or 4 (RGBA) bytes. Must not throw.
    std::function<void(std::uint32_t y, std::uint8_t *row)> FillRow;
};

// Writes the image as a PNG file into `out`. Throws TambrelError when the file
// cannot be written or memory runs out.
void EncodePng(AtomicFile &out, const PngImage &image, PngLevel level);

} // namespace tambrel
