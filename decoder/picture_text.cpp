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

// The largest chunk taken: its bytes are copied out of the file's.
constexpr std::uint64_t kMostBytes = std::uint64_t{16} << 20;

} // namespace

PictureMetadata ReadPictureMetadata(const std::uint8_t *bytes, std::size_t length) {
    PictureMetadata meta;
    if (bytes == nullptr || length < 12 || std::memcmp(bytes, "FORM", 4) != 0) {
        return meta;
    }
    const std::uint64_t end = std::min<std::uint64_t>(length, Long(bytes + 4) + 8);
    std::uint64_t pos = 12;
    while (pos + 8 <= end) {
        const std::uint64_t size = Long(bytes + pos + 4);
        if (pos + 8 + size > end) {
            break; // cut off: nothing after it is whole either
        }
        const std::uint8_t *id = bytes + pos, *data = bytes + pos + 8;
        const char *text = reinterpret_cast<const char *>(data);
        const std::size_t n = size > kMostBytes ? 0 : std::find(text, text + size, '\0') - text;
        TextKind kind{};
        if (size > kMostBytes) {
            // Larger than any real text, profile or Exif block: not copied.
        } else if (KindOf(id, kind) && n > 0) {
            meta.Texts.push_back(PictureText{kind, std::string(text, n)});
        } else if (std::memcmp(id, "ICCP", 4) == 0 && meta.IccProfile.empty()) {
            meta.IccProfile.assign(data, data + size);
        } else if (std::memcmp(id, "ICCN", 4) == 0 && meta.IccName.empty()) {
            meta.IccName.assign(text, n);
        } else if (std::memcmp(id, "EXIF", 4) == 0 && meta.Exif.empty()) {
            const std::size_t skip = size >= 6 && std::memcmp(data, "Exif\0\0", 6) == 0 ? 6 : 0;
            meta.Exif.assign(data + skip, data + size);
        } else if (std::memcmp(id, "XMP0", 4) == 0 && meta.Xmp.empty()) {
            meta.Xmp.assign(text, n);
        } else if (std::memcmp(id, "DPI ", 4) == 0 && size >= 4 && meta.DpiX == 0 &&
                   meta.DpiY == 0) {
            meta.DpiX = std::uint32_t{data[0]} << 8 | data[1];
            meta.DpiY = std::uint32_t{data[2]} << 8 | data[3];
        }
        pos += 8 + size + (size & 1);
    }
    return meta;
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
