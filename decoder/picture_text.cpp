#include "decoder/picture_text.h"

#include <algorithm>
#include <cstring>

namespace tambrel {

namespace {

std::uint64_t Long(const std::uint8_t *p) {
    return std::uint64_t{p[0]} << 24 | std::uint64_t{p[1]} << 16 | std::uint64_t{p[2]} << 8 | p[3];
}

bool KindOf(const std::uint8_t *id, TextKind &kind) {
    static const struct {
        const char *id;
        TextKind kind;
    } kIds[] = {{"NAME", TextKind::Name},
                {"AUTH", TextKind::Author},
                {"(c) ", TextKind::Copyright},
                {"ANNO", TextKind::Annotation}};
    for (const auto &entry : kIds) {
        if (std::memcmp(id, entry.id, 4) == 0) {
            kind = entry.kind;
            return true;
        }
    }
    return false;
}

} // namespace

std::vector<PictureText> ReadPictureTexts(const std::uint8_t *bytes, std::size_t length) {
    std::vector<PictureText> texts;
    if (bytes == nullptr || length < 12 || std::memcmp(bytes, "FORM", 4) != 0) {
        return texts;
    }
    const std::uint64_t end = std::min<std::uint64_t>(length, Long(bytes + 4) + 8);
    std::uint64_t pos = 12;
    while (pos + 8 <= end) {
        const std::uint64_t size = Long(bytes + pos + 4);
        if (pos + 8 + size > end) {
            break; // cut off: nothing after it is whole either
        }
        TextKind kind{};
        if (KindOf(bytes + pos, kind)) {
            const char *data = reinterpret_cast<const char *>(bytes + pos + 8);
            const std::size_t n = std::find(data, data + size, '\0') - data;
            if (n > 0) {
                texts.push_back(PictureText{kind, std::string(data, n)});
            }
        }
        pos += 8 + size + (size & 1);
    }
    return texts;
}

std::string ShownText(const std::string &latin1) {
    std::string shown;
    shown.reserve(latin1.size());
    for (const char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            shown += ' ';
        } else if (c < 0x80) {
            shown += ch;
        } else {
            shown += static_cast<char>(0xC0 | c >> 6);
            shown += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return shown;
}

} // namespace tambrel
