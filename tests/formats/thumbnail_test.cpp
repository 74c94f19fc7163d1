// The installed thumbnailer entry: cmake --install of the thumbnail folder
// into a temporary prefix, then the entry's Exec line run as a file manager
// runs it (%s %i %o filled in, the prefix's bin folder on PATH).
#include "tests/formats/formats_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace tambrel::test {
namespace {

// A 64 x 32 picture of 8 x 8 blocks, each one palette colour.
const std::vector<std::uint32_t> kColours = {0x102030, 0xF0E0D0, 0x40A040, 0x2040C0};
int BlockValue(int x, int y) {
    return (x / 8 + 3 * (y / 8)) % 4;
}

Bytes BlockPicture() {
    ChunkyImage img(64, 32, 2);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            img.At(x, y) = static_cast<std::uint8_t>(BlockValue(x, y));
    return BuildSimple({img, kColours, 0u, true});
}

std::string Quoted(const std::string &s) {
    return "'" + s + "'";
}

// The Exec line with a field code (%s, %i, %o) filled in.
std::string Fill(std::string command, const std::string &code, const std::string &value) {
    for (auto at = command.find(code); at != std::string::npos; at = command.find(code, at))
        command.replace(at, code.size(), value), at += value.size();
    return command;
}

TEST(Thumbnailer, InstalledEntryWritesTheScaledPicture) {
    TempDir dir;
    const std::string prefix = dir / "prefix";
    ASSERT_EQ(std::system((std::string(TAMBREL_CMAKE) + " --install " + TAMBREL_THUMBNAIL_BUILD +
                           " --prefix " + Quoted(prefix) + " > /dev/null")
                              .c_str()),
              0);
    std::ifstream entry(prefix + "/share/thumbnailers/tambrel.thumbnailer");
    std::string line, exec;
    bool mime = false;
    while (std::getline(entry, line)) {
        if (line.rfind("Exec=", 0) == 0)
            exec = line.substr(5);
        mime |= line == "MimeType=image/x-ilbm;";
    }
    ASSERT_FALSE(exec.empty());
    EXPECT_TRUE(mime);
    WriteBytes(dir / "blocks.iff", BlockPicture());

    struct Row {
        int size;
        int width, height, scale;
    };
    for (const Row row : {Row{16, 16, 8, 4}, Row{256, 64, 32, 1}}) {
        const std::string out = dir / ("thumb" + std::to_string(row.size) + ".png");
        const std::string command =
            Fill(Fill(Fill(exec, "%s", std::to_string(row.size)), "%i", Quoted(dir / "blocks.iff")),
                 "%o", Quoted(out));
        ASSERT_EQ(
            std::system(("PATH=" + Quoted(prefix + "/bin") + ":\"$PATH\" " + command).c_str()), 0)
            << command;
        const ReadPng png = ReadPngFile(out);
        ASSERT_TRUE(png.Ok);
        ASSERT_EQ(png.Width, row.width);
        ASSERT_EQ(png.Height, row.height);
        for (int y = 0; y < row.height; ++y)
            for (int x = 0; x < row.width; ++x)
                ASSERT_EQ(png.Pixels[std::size_t(y) * row.width + x],
                          0xFF000000u | kColours[BlockValue(x * row.scale, y * row.scale)])
                    << x << "," << y << " at size " << row.size;
    }
}

} // namespace
} // namespace tambrel::test
