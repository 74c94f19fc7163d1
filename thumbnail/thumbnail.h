#pragma once
// Thumbnails: the picture scaled down as it is decoded to fit a square,
// written as PNG.
#include "convert/desktop_read.h"

#include <cstdint>
#include <string>

namespace tambrel {

// Decodes `input` under the desktop allowance, scaling its rows as they come,
// and writes a thumbnail of at most size x size pixels to `output` as PNG
// (RGBA when the picture has transparency, else RGB). Throws TambrelError when
// the file cannot be read, is no picture with pixels, the output is the input
// itself, or the thumbnail cannot be written.
void WriteThumbnail(const std::string &input, const std::string &output, std::uint32_t size);

} // namespace tambrel
