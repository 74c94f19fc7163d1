// The installed thumbnailer entry's Exec line, run as a file manager runs it.
#include "tests/formats/formats_support.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace tambrel::test {
namespace {

std::string Quoted(const std::string &s) {
    return "'" + s + "'";
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
        exec = line.starts_with("Exec=") ? line.substr(5) : exec;
        mime |= line == "MimeType=image/x-ilbm;application/x-iff;";
    }
    ASSERT_FALSE(exec.empty());
    EXPECT_TRUE(mime);

    // A 64 x 32 picture of 8 x 8 blocks, each one palette colour.
    const std::vector<std::uint32_t> colours = {0x102030, 0xF0E0D0, 0x40A040, 0x2040C0};
    const auto block = [](int x, int y) { return (x / 8 + 3 * (y / 8)) % 4; };
    ChunkyImage img(64, 32, 2);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            img.At(x, y) = static_cast<std::uint8_t>(block(x, y));
    WriteBytes(dir / "blocks.iff", BuildSimple({img, colours, 0u, true}));

    for (const auto [size, width, height, scale] : {std::array{16, 16, 8, 4}, {256, 64, 32, 1}}) {
        const std::string out = dir / ("thumb" + std::to_string(size) + ".png");
        std::string command = exec;
        for (const auto &[code, value] : {std::pair{"%s", std::to_string(size)},
                                          {"%i", Quoted(dir / "blocks.iff")},
                                          {"%o", Quoted(out)}})
            for (auto at = command.find(code); at != std::string::npos; at = command.find(code, at))
                command.replace(at, 2, value), at += value.size();
        ASSERT_EQ(
            std::system(("PATH=" + Quoted(prefix + "/bin") + ":\"$PATH\" " + command).c_str()), 0)
            << command;
        const ReadPng png = ReadPngFile(out);
        ASSERT_TRUE(png.Ok);
        ASSERT_EQ(png.Width, width);
        ASSERT_EQ(png.Height, height);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                ASSERT_EQ(png.Pixels[std::size_t(y) * width + x],
                          0xFF000000u | colours[block(x * scale, y * scale)])
                    << x << "," << y << " at size " << size;
    }
}

// Rows are scaled as they come (a whole 4000 x 4000 decode would take 80 MB),
// the input is never the output, and a missing file is worded as the converter words it.
TEST(Thumbnailer, StreamsKeepsItsInputAndWordsAMissingFile) {
    TempDir dir;
    const std::string run = std::string(TAMBREL_THUMBNAIL_BUILD) + "/tambrel-thumbnail -s 64 ";
    const std::string tiny = dir / "tiny.iff";
    WriteBytes(tiny, TinyBodyPicture(4000, 4000));
    ASSERT_EQ(std::system(("/usr/bin/time -f %M -o " + Quoted(dir / "kib") + " " + run +
                           Quoted(tiny) + " " + Quoted(dir / "t.png"))
                              .c_str()),
              0);
    EXPECT_LT(std::stol(ReadText(dir / "kib")), 40 * 1024);
    const ReadPng png = ReadPngFile(dir / "t.png");
    ASSERT_EQ(png.Width * 100 + png.Height, 6464);
    EXPECT_EQ(png.Pixels[64 * 64 - 1], 0xFF336699u);
    EXPECT_NE(std::system((run + Quoted(tiny) + " " + Quoted(tiny) + " 2>/dev/null").c_str()), 0);
    EXPECT_EQ(ReadBytes(tiny), TinyBodyPicture(4000, 4000));
    for (const auto &[name, file] : HostileFiles()) {
        WriteBytes(dir / "h.iff", file);
        EXPECT_EQ(std::system((run + Quoted(dir / "h.iff") + " h.png 2>/dev/null").c_str()), 256)
            << name;
    }
    EXPECT_EQ(
        std::system((run + Quoted(dir / "gone.iff") + " x.png 2>" + Quoted(dir / "err")).c_str()),
        256);
    EXPECT_EQ(ReadText(dir / "err"),
              "tambrel-thumbnail: " + (dir / "gone.iff") + ": no such file or folder\n");
    // Past a file-size limit the write fails and is reported; with /proc hidden the
    // temporary has a name: neither it nor a partial file stays.
    if (::geteuid() != 0)
        GTEST_SKIP() << "not root: no mount namespace to hide /proc in";
    const auto entries = dir.Entries();
    std::vector<std::string> hides = {""};
#if !defined(__SANITIZE_ADDRESS__)
    // The sanitizer's runtime finds its stacks through /proc: it stays visible there.
    hides.push_back("mount -t tmpfs none /proc && ");
#endif
    for (const std::string &hide : hides) {
        // Only the picture's PNG is limited: the message and status go through a pipe.
        const std::string script =
            hide + "(ulimit -f 0 && exec " + run + Quoted(tiny) + " t2.png) 2>&1; echo \\$?";
        // The pipeline's status is cat's; the program's is the last line of err2.
        EXPECT_EQ(std::system(("cd " + Quoted(dir.Path()) + " && unshare -m sh -c \"" + script +
                               "\" | cat > err2")
                                  .c_str()),
                  0);
        EXPECT_EQ(ReadText(dir / "err2"),
                  "tambrel-thumbnail: " + tiny + ": Cannot write t2.png: File too large\n1\n");
        ::unlink((dir / "err2").c_str());
        EXPECT_EQ(dir.Entries(), entries) << hide;
    }
}

} // namespace
} // namespace tambrel::test
