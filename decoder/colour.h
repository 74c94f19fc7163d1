#pragma once
#include <cstdint>

namespace tambrel {

// A colour value is 0x00RRGGBB: blue in bits 0-7, green 8-15, red 16-23.
using Colour = std::uint32_t;

} // namespace tambrel
