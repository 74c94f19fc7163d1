#include "tests/reliability/hostile_support.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <stdlib.h>

namespace fs = std::filesystem;

namespace tambrel::test {

ScratchDir::ScratchDir() {
    std::string tmpl = (fs::temp_directory_path() / "tambrel-rel-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = buf.data();
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    for (const auto &e : fs::recursive_directory_iterator(path_, ec)) {
        if (e.is_directory(ec)) {
            fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
    }
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::vector<std::string> ScratchDir::Entries() const {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(path_)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {
std::uint32_t LongAt(const Bytes &b, std::size_t p) {
    return std::uint32_t{b[p]} << 24 | std::uint32_t{b[p + 1]} << 16 |
           std::uint32_t{b[p + 2]} << 8 | b[p + 3];
}
} // namespace

std::vector<ChunkAt> ChunksOf(const Bytes &file) {
    std::vector<ChunkAt> chunks;
    std::size_t p = 12;
    while (p + 8 <= file.size()) {
        const std::uint32_t size = LongAt(file, p + 4);
        chunks.push_back({std::string(file.begin() + static_cast<std::ptrdiff_t>(p),
                                      file.begin() + static_cast<std::ptrdiff_t>(p) + 4),
                          p, size});
        p += 8 + std::size_t{size} + (size & 1);
    }
    return chunks;
}

std::vector<std::size_t> RowEnds(const Bytes &file, std::size_t dataStart, int height, int planes,
                                 std::size_t rowBytes, bool packed) {
    std::vector<std::size_t> ends;
    std::size_t p = dataStart;
    for (int y = 0; y < height; ++y) {
        for (int plane = 0; plane < planes; ++plane) {
            if (!packed) {
                p += rowBytes;
                continue;
            }
            std::size_t produced = 0;
            while (produced < rowBytes) {
                const std::uint32_t n = p < file.size() ? file[p] : 0;
                ++p;
                if (n <= 127) {
                    p += n + 1;
                    produced += n + 1;
                } else if (n >= 129) {
                    p += 1;
                    produced += 257 - n;
                }
            }
        }
        ends.push_back(p);
    }
    return ends;
}

std::optional<std::uint32_t> BitmapPixel(const Bytes &bmp, int x, int y) {
    if (bmp.size() < 54) {
        return std::nullopt;
    }
    const auto width = static_cast<std::int32_t>(LongAt({bmp[21], bmp[20], bmp[19], bmp[18]}, 0));
    const auto height = static_cast<std::int32_t>(LongAt({bmp[25], bmp[24], bmp[23], bmp[22]}, 0));
    const std::size_t pos =
        54 + (static_cast<std::size_t>(height - 1 - y) * static_cast<std::size_t>(width) +
              static_cast<std::size_t>(x)) *
                 4;
    if (pos + 4 > bmp.size()) {
        return std::nullopt;
    }
    return std::uint32_t{bmp[pos + 2]} << 16 | std::uint32_t{bmp[pos + 1]} << 8 | bmp[pos];
}

} // namespace tambrel::test
