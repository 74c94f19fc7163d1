#pragma once
// Little-endian packing for the files written for other systems (BMP header,
// raw exports): least significant byte first, whatever the machine's order.
#include <cstdint>

namespace tambrel {

inline std::uint8_t *PutLittle16(std::uint8_t *out, std::uint32_t value) {
    out[0] = static_cast<std::uint8_t>(value & 0xFF);
    out[1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    return out + 2;
}

inline std::uint8_t *PutLittle32(std::uint8_t *out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFF);
    }
    return out + 4;
}

} // namespace tambrel
