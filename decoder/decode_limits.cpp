#include "decoder/decode_limits.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tambrel {

DecodeLimits DesktopLimits() {
    DecodeLimits limits;
    limits.Pixels = std::uint64_t{1} << 26;
    limits.MemoryBytes = std::uint64_t{48} << 20;
    limits.WideSamples = false;
    return limits;
}

namespace {

// The big-endian value of `count` bytes at `at` (the caller has checked they lie in `bytes`).
std::uint32_t Big(std::span<const std::uint8_t> bytes, std::uint64_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) {
        value = value << 8 | bytes[at + static_cast<std::uint64_t>(i)];
    }
    return value;
}

bool IsPictureType(const std::uint8_t *type) {
    for (const char *known : {"ILBM", "PBM ", "ACBM", "RGB8", "RGBN", "RGFX", "DEEP", "TVPP"}) {
        if (std::memcmp(type, known, 4) == 0) {
            return true;
        }
    }
    return false;
}

// The header chunk of the FORM (or PROP: laid out alike) at the start of
// `bytes`, among its chunks before the first BODY.
bool ReadFormHeader(std::span<const std::uint8_t> bytes, PictureHeader &header) {
    if (bytes.size() < 12) {
        return false;
    }
    const char *type = reinterpret_cast<const char *>(bytes.data() + 8);
    // RGB8 and RGBN pictures have a BMHD too; RGFX gives its size in RGHD
    // (longs), DEEP in DGBL (words).
    const bool rgfx = std::memcmp(type, "RGFX", 4) == 0;
    const bool deep = std::memcmp(type, "DEEP", 4) == 0 || std::memcmp(type, "TVPP", 4) == 0;
    const bool bmhd = !rgfx && !deep && IsPictureType(bytes.data() + 8);
    if (!bmhd && !rgfx && !deep) {
        return false;
    }
    const std::uint64_t end =
        std::min<std::uint64_t>(bytes.size(), std::uint64_t{Big(bytes, 4, 4)} + 8);
    for (std::uint64_t pos = 12; pos + 8 <= end;) {
        const std::uint8_t *id = bytes.data() + pos;
        const std::uint64_t size = Big(bytes, pos + 4, 4);
        if ((rgfx && std::memcmp(id, "RGHD", 4) == 0) ||
            (deep && std::memcmp(id, "DGBL", 4) == 0)) {
            if (pos + 8 + (rgfx ? 16 : 4) > bytes.size()) {
                return false;
            }
            header.Width = static_cast<std::int32_t>(
                rgfx ? std::min<std::uint32_t>(Big(bytes, pos + 16, 4), 65536)
                     : Big(bytes, pos + 8, 2));
            header.Height = static_cast<std::int32_t>(
                rgfx ? std::min<std::uint32_t>(Big(bytes, pos + 20, 4), 65536)
                     : Big(bytes, pos + 10, 2));
            header.Bitplanes = 24;
            header.Masking = 0;
            return true;
        }
        if (bmhd && std::memcmp(id, "BMHD", 4) == 0) {
            if (pos + 8 + 10 > bytes.size()) {
                return false;
            }
            header.Width = static_cast<std::int32_t>(Big(bytes, pos + 8, 2));
            header.Height = static_cast<std::int32_t>(Big(bytes, pos + 10, 2));
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

enum class Found { Nothing, Header, NoHeader };

// The first picture FORM of the group contents from `pos` to `end` (nested
// groups in order, 8 deep at most), its header from the FORM itself or else
// from the innermost PROP of its type in force (`props`: those of the
// enclosing LISTs, outermost first; a CAT's PROPs count for nothing). One
// scope list serves the whole walk, so each chunk costs one step however
// many groups and PROPs a file holds.
Found FirstPictureHeader(std::span<const std::uint8_t> bytes, std::uint64_t pos, std::uint64_t end,
                         int depth, bool list, std::vector<std::span<const std::uint8_t>> &props,
                         PictureHeader &header) {
    end = std::min<std::uint64_t>(end, bytes.size());
    // This group's PROPs leave the scope with it.
    const std::size_t outer = props.size();
    while (pos + 12 <= end) {
        const std::uint8_t *id = bytes.data() + pos;
        const std::uint64_t size = Big(bytes, pos + 4, 4);
        const auto chunk = bytes.subspan(pos, std::min<std::uint64_t>(end - pos, size + 8));
        if (std::memcmp(id, "FORM", 4) == 0 && IsPictureType(id + 8)) {
            if (ReadFormHeader(chunk, header)) {
                return Found::Header;
            }
            for (auto prop = props.rbegin(); prop != props.rend(); ++prop) {
                if (std::memcmp(prop->data() + 8, id + 8, 4) == 0 &&
                    ReadFormHeader(*prop, header)) {
                    return Found::Header;
                }
            }
            return Found::NoHeader;
        }
        if ((std::memcmp(id, "CAT ", 4) == 0 || std::memcmp(id, "LIST", 4) == 0) && depth < 8) {
            const Found inner = FirstPictureHeader(bytes, pos + 12, pos + 8 + size, depth + 1,
                                                   id[0] == 'L', props, header);
            if (inner != Found::Nothing) {
                return inner;
            }
        } else if (list && std::memcmp(id, "PROP", 4) == 0) {
            props.push_back(chunk);
        }
        pos += 8 + size + (size & 1);
    }
    props.resize(outer);
    return Found::Nothing;
}

} // namespace

bool ReadPictureHeader(std::span<const std::uint8_t> bytes, PictureHeader &header) {
    if (bytes.size() < 12) {
        return false;
    }
    if (std::memcmp(bytes.data(), "FORM", 4) == 0) {
        return ReadFormHeader(bytes, header);
    }
    // A CAT or LIST: its first picture's.
    const bool list = std::memcmp(bytes.data(), "LIST", 4) == 0;
    if (!list && std::memcmp(bytes.data(), "CAT ", 4) != 0) {
        return false;
    }
    std::vector<std::span<const std::uint8_t>> props;
    return FirstPictureHeader(bytes, 12, std::uint64_t{Big(bytes, 4, 4)} + 8, 0, list, props,
                              header) == Found::Header;
}

} // namespace tambrel
