#pragma once
// Thumbnails: the decoded picture scaled down to fit a square, written as PNG.
#include "decoder/iff_picture.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tambrel {

// An image of 4 bytes per pixel (red, green, blue, alpha), rows top to bottom.
struct RgbaPixels {
    std::uint32_t Width = 0;
    std::uint32_t Height = 0;
    std::vector<std::uint8_t> Pixels;
};

// The size of the picture scaled to fit size x size with its aspect kept;
// pictures that fit already keep their size. Each side is at least 1.
void FittedSize(std::uint32_t width, std::uint32_t height, std::uint32_t size,
                std::uint32_t &fitWidth, std::uint32_t &fitHeight);

// The picture (which must have pixels, see PixelsAvailable) scaled to fit
// size x size. Each thumbnail pixel is the mean of the picture pixels whose
// centres fall into it (a box filter), weighted by their alpha, so the many
// pixels of a large picture all count and transparent ones lend no colour.
RgbaPixels ScaledToFit(const IFF_Picture &pic, std::uint32_t size);

// Decodes a whole file held in memory for a desktop program's image reader,
// with the same limits as every load (and files beyond kMaxSourceBytes
// refused). Empty when `pic` has pixels to hand out, else why not. Never throws.
std::string DecodeForDesktop(IFF_Picture &pic, std::span<const std::uint8_t> bytes);

// Loads `input` and writes its thumbnail of at most size x size pixels to
// `output` as PNG (RGBA when the picture has transparency, else RGB).
// Throws TambrelError when the file cannot be read, is no picture with
// pixels, or the thumbnail cannot be written.
void WriteThumbnail(const std::string &input, const std::string &output, std::uint32_t size);

} // namespace tambrel
