#pragma once
#include <cstdint>

namespace tambrel {

// A colour value is 0x00RRGGBB: blue in bits 0-7, green 8-15, red 16-23.
using Colour = std::uint32_t;

// A pixel of a picture stored with 16 bits a sample: each sample 0 .. 65535,
// alpha 65535 (opaque) when the picture has no alpha of its own.
struct WidePixel {
    std::uint16_t Red;
    std::uint16_t Green;
    std::uint16_t Blue;
    std::uint16_t Alpha;
};

} // namespace tambrel
