#include "decoder/decode_limits.h"

#include <cstring>

namespace tambrel {

DecodeLimits DesktopLimits() {
    DecodeLimits limits;
    limits.Pixels = std::uint64_t{1} << 26;
    limits.MemoryBytes = std::uint64_t{48} << 20;
    limits.WideSamples = false;
    return limits;
}

bool ReadPictureHeader(std::span<const std::uint8_t> bytes, PictureHeader &header) {
    auto big = [&](std::uint64_t at, int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i) {
            value = value << 8 | bytes[at + static_cast<std::uint64_t>(i)];
        }
        return value;
    };
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "FORM", 4) != 0) {
        return false;
    }
    const char *type = reinterpret_cast<const char *>(bytes.data() + 8);
    // RGB8 and RGBN pictures have a BMHD too; RGFX gives its size in RGHD
    // (longs), DEEP in DGBL (words).
    const bool bmhd = std::memcmp(type, "ILBM", 4) == 0 || std::memcmp(type, "PBM ", 4) == 0 ||
                      std::memcmp(type, "ACBM", 4) == 0 || std::memcmp(type, "RGB8", 4) == 0 ||
                      std::memcmp(type, "RGBN", 4) == 0;
    const bool rgfx = std::memcmp(type, "RGFX", 4) == 0;
    const bool deep = std::memcmp(type, "DEEP", 4) == 0 || std::memcmp(type, "TVPP", 4) == 0;
    if (!bmhd && !rgfx && !deep) {
        return false;
    }
    const std::uint64_t end = std::min<std::uint64_t>(bytes.size(), std::uint64_t{big(4, 4)} + 8);
    for (std::uint64_t pos = 12; pos + 8 <= end;) {
        const std::uint8_t *id = bytes.data() + pos;
        const std::uint64_t size = big(pos + 4, 4);
        if ((rgfx && std::memcmp(id, "RGHD", 4) == 0) ||
            (deep && std::memcmp(id, "DGBL", 4) == 0)) {
            if (pos + 8 + (rgfx ? 16 : 4) > bytes.size()) {
                return false;
            }
            header.Width = static_cast<std::int32_t>(
                rgfx ? std::min<std::uint32_t>(big(pos + 16, 4), 65536) : big(pos + 8, 2));
            header.Height = static_cast<std::int32_t>(
                rgfx ? std::min<std::uint32_t>(big(pos + 20, 4), 65536) : big(pos + 10, 2));
            header.Bitplanes = 24;
            header.Masking = 0;
            return true;
        }
        if (bmhd && std::memcmp(id, "BMHD", 4) == 0) {
            if (pos + 8 + 10 > bytes.size()) {
                return false;
            }
            header.Width = static_cast<std::int32_t>(big(pos + 8, 2));
            header.Height = static_cast<std::int32_t>(big(pos + 10, 2));
            header.Bitplanes = bytes[pos + 16];
            header.Masking = bytes[pos + 17];
            return true;
        }
        if (std::memcmp(id, "BODY", 4) == 0 || std::memcmp(id, "ABIT", 4) == 0) {
            return false;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

} // namespace tambrel
