#include "common/text.h"

namespace tambrel {

std::string LongToHex(std::int64_t value) {
    static const char digits[] = "0123456789abcdef";
    const auto bits = static_cast<std::uint32_t>(value);
    std::string result = "$";
    for (int shift = 24; shift >= 0; shift -= 4) {
        result += digits[(bits >> shift) & 0xF];
    }
    return result;
}

std::string NumberText(std::int64_t value) {
    return value >= 0 ? " " + std::to_string(value) : std::to_string(value);
}

} // namespace tambrel
