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

namespace {

// Length of the control character at `i`: 1 for C0 and DEL, 2 for a C1
// character written in UTF-8, 0 for anything else.
std::size_t ControlLength(const std::string &name, std::size_t i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c < 0x20 || c == 0x7F) {
        return 1;
    }
    if (c == 0xC2 && i + 1 < name.size()) {
        const auto next = static_cast<unsigned char>(name[i + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    return 0;
}

} // namespace

std::string QuotedName(const std::string &name) {
    bool plain = true;
    for (std::size_t i = 0; i < name.size() && plain; ++i) {
        plain = ControlLength(name, i) == 0;
    }
    if (plain) {
        return name;
    }
    std::string text;
    std::size_t i = 0;
    while (i < name.size()) {
        if (ControlLength(name, i) > 0) {
            text += "$'";
            for (std::size_t n; i < name.size() && (n = ControlLength(name, i)) > 0; i += n) {
                for (std::size_t k = 0; k < n; ++k) {
                    const auto c = static_cast<unsigned char>(name[i + k]);
                    static const char kNamed[] = "abtnvfr";
                    if (c >= 7 && c <= 13) {
                        text += '\\';
                        text += kNamed[c - 7];
                    } else {
                        text += '\\';
                        text += static_cast<char>('0' + (c >> 6));
                        text += static_cast<char>('0' + ((c >> 3) & 7));
                        text += static_cast<char>('0' + (c & 7));
                    }
                }
            }
            text += '\'';
            continue;
        }
        text += '\'';
        for (; i < name.size() && ControlLength(name, i) == 0; ++i) {
            if (name[i] == '\'') {
                text += "'\\''";
            } else {
                text += name[i];
            }
        }
        text += '\'';
    }
    return text;
}

} // namespace tambrel
