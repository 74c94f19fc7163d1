#include "convert/picture_list.h"

#include "decoder/iff_loader.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <filesystem>

namespace tambrel {

namespace fs = std::filesystem;

namespace {

bool EndsWithIff(const std::string &name) {
    if (name.size() < 4) {
        return false;
    }
    std::string tail = name.substr(name.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return tail == ".iff";
}

// True when the file's first 12 bytes are those of an IFF picture the
// decoder takes (FORM, size, ILBM / PBM / ACBM).
bool StartsAsPicture(const fs::path &file) {
    std::array<std::uint8_t, 12> head{};
    std::FILE *f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) {
        return false;
    }
    const std::size_t got = std::fread(head.data(), 1, head.size(), f);
    std::fclose(f);
    return got == head.size() && IsPictureHeader(head);
}

} // namespace

PictureListing ListPictureFiles(const std::string &folder) {
    PictureListing listing;
    std::error_code &ec = listing.error;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeEc;
        if (it->is_regular_file(typeEc) && (EndsWithIff(name) || StartsAsPicture(it->path()))) {
            listing.names.push_back(name);
        }
    }
    std::sort(listing.names.begin(), listing.names.end());
    return listing;
}

} // namespace tambrel
