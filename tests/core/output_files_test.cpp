// Byte-exact BMP files and raw and palette exports, written through a
// temporary file: a failed write leaves no partial file and keeps the old one.
#include "decoder/errors.h"
#include "output/bmp_writer.h"
#include "output/exports.h"
#include "test_util.h"

#include <unistd.h>

namespace tambrel::test {
namespace {

std::uint32_t Le32(const Bytes &b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}

// A loaded picture from a one-plane body given row by row (plane bytes).
IFF_Picture OnePlane(int width, const std::vector<Bytes> &rows,
                     const std::vector<std::uint32_t> &cmap) {
    Bytes body;
    for (const Bytes &r : rows)
        body.insert(body.end(), r.begin(), r.end());
    IlbmBuilder b;
    b.Bmhd(HeaderFor(ChunkyImage(width, static_cast<int>(rows.size()), 1), false))
        .Cmap(cmap)
        .Camg(0)
        .Body(body);
    IFF_Picture pic;
    EXPECT_EQ(LoadBytes(pic, b.Build()), 1);
    return pic;
}

Bytes Header(std::uint32_t w, std::uint32_t h) {
    // Offset: value, for every field of the two headers.
    Bytes out(54, 0);
    auto put = [&](std::size_t at, std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i)
            out[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, 0x4D42, 2);
    put(2, 54 + 4 * w * h, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, w, 4);
    put(22, h, 4);
    put(26, 1, 2);
    put(28, 32, 2);
    put(34, 4 * w * h, 4);
    return out;
}

TEST(Bitmap, OneByOneAndThreeByTwoExactly) {
    TempDir dir;
    const IFF_Picture one = OnePlane(1, {{0x80, 0}}, {0, 0x123456});
    WriteBitmapFile(one, dir / "one.bmp", 1, 1);
    Bytes expected = Header(1, 1);
    expected.insert(expected.end(), {0x56, 0x34, 0x12, 0});
    EXPECT_EQ(ReadBytes(dir / "one.bmp"), expected);
    EXPECT_EQ(expected.size(), 58u);

    // Top row red, bottom row blue: the bottom row comes first.
    const IFF_Picture pic = OnePlane(3, {{0, 0}, {0xE0, 0}}, {0xFF0000, 0x0000FF});
    WriteBitmapFile(pic, dir / "two.bmp", 3, 2);
    expected = Header(3, 2);
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), {0xFF, 0, 0, 0});
    for (int i = 0; i < 3; ++i)
        expected.insert(expected.end(), {0, 0, 0xFF, 0});
    const Bytes file = ReadBytes(dir / "two.bmp");
    EXPECT_EQ(file, expected);
    EXPECT_EQ(Le32(file, 2), 78u);
    EXPECT_EQ(Le32(file, 34), 24u);
    const auto h = BitmapHeader(3, 2);
    EXPECT_EQ(Bytes(h.begin(), h.end()), Header(3, 2));
}

TEST(Bitmap, OddWidthModesAndOverwrite) {
    TempDir dir;
    // 13 x 3 HAM8 and a 13 x 3 two-colour picture: same length, only picture columns.
    const ChunkyImage img = Pattern(13, 3, 8, 4);
    const auto cmap = TestColours(64);
    IFF_Picture ham;
    ASSERT_EQ(LoadBytes(ham, BuildSimple({img, cmap, 0x800u, true})), 1);
    WriteBytes(dir / "ham.bmp", Bytes(5000, 0xEE)); // a longer file is replaced whole
    WriteBitmapFile(ham, dir / "ham.bmp", 13, 3);
    const Bytes file = ReadBytes(dir / "ham.bmp");
    ASSERT_EQ(file.size(), 54u + 4 * 13 * 3);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 54), Header(13, 3));
    const auto palette = ref::PaletteFrom(cmap, false);
    for (int r = 0; r < 3; ++r) {
        const auto colours = ref::RowColours(img, 2 - r, ref::Mode::Ham8, palette);
        for (int x = 0; x < 13; ++x)
            ASSERT_EQ(Le32(file, 54 + 4 * (13 * r + x)), colours[x]) << r << "," << x;
    }
    const IFF_Picture two = OnePlane(13, {{0xFF, 0}, {0, 0}, {0, 0}}, {1, 2});
    WriteBitmapFile(two, dir / "two.bmp", 13, 3);
    EXPECT_EQ(ReadBytes(dir / "two.bmp").size(), file.size());
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"ham.bmp", "two.bmp"}));
}

TEST(Bitmap, GuardWritesNothing) {
    TempDir dir;
    IlbmBuilder noBody;
    noBody.Bmhd(HeaderFor(ChunkyImage(4, 4, 1), false));
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, noBody.Build()), 1);
    EXPECT_FALSE(BitmapWritable(pic, 4, 4));
    WriteBitmapFile(pic, dir / "a.bmp", 4, 4);
    const IFF_Picture ok = OnePlane(4, {{0xF0, 0}}, {0, 1});
    EXPECT_TRUE(BitmapWritable(ok, 4, 1));
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-1, 1}}) {
        EXPECT_FALSE(BitmapWritable(ok, w, h));
        WriteBitmapFile(ok, dir / "b.bmp", w, h);
    }
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(Bitmap, HeaderLargerThanDecodedBufferReadsBlack) {
    // A BMHD after the BODY gives a larger size than the buffers hold.
    TempDir dir;
    const ChunkyImage img = Pattern(8, 2, 1, 3);
    IlbmBuilder b;
    b.Bmhd(HeaderFor(img, false)).Cmap(std::vector<std::uint32_t>{0x0A0B0C, 0xFFFFFF});
    b.Camg(0).Body(BodyData(img, false)).Bmhd(HeaderFor(ChunkyImage(16, 4, 1), false));
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
    WriteBitmapFile(pic, dir / "big.bmp", pic.Width, pic.Height);
    const Bytes file = ReadBytes(dir / "big.bmp");
    ASSERT_EQ(file.size(), 54u + 4 * 16 * 4);
    EXPECT_EQ(Bytes(file.begin() + 54, file.begin() + 54 + 2 * 64), Bytes(2 * 64, 0));
    EXPECT_EQ(Le32(file, 54 + 3 * 64),
              ref::RowColours(img, 0, ref::Mode::Palette,
                              ref::PaletteFrom({{0x0A0B0C, 0xFFFFFF}}, false))[0]);
}

// Writes that must fail: each leaves the folder exactly as it was.
TEST(OutputFiles, FailedWritesLeaveNoPartialFile) {
    TempDir dir;
    const IFF_Picture pic = OnePlane(8, {{0xAA, 0}}, {0, 0xFFFFFF});
    WriteBytes(dir / "plain", Bytes{1, 2, 3});
    std::filesystem::create_directory(dir / "folder.bmp");
    using Writer = void (*)(const IFF_Picture &, const std::string &);
    const Writer writers[] = {
        [](const IFF_Picture &p, const std::string &n) { WriteBitmapFile(p, n, 8, 1); },
        [](const IFF_Picture &p, const std::string &n) { WriteRawColours(p, n); },
        [](const IFF_Picture &p, const std::string &n) { WriteRawIndices(p, n); },
        [](const IFF_Picture &p, const std::string &n) { WritePaletteText(p, n); }};
    for (const Writer write : writers) {
        for (const std::string &target :
             {dir / "missing/x.bmp", dir / "plain/x.bmp", dir / "folder.bmp"}) {
            EXPECT_THROW(write(pic, target), TambrelError) << target;
            EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"folder.bmp", "plain"}));
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(dir / "folder.bmp"));
    EXPECT_EQ(ReadBytes(dir / "plain"), (Bytes{1, 2, 3}));
}

TEST(OutputFiles, ReadOnlyFolderKeepsOldFile) {
    if (geteuid() == 0)
        GTEST_SKIP() << "permission bits do not stop root";
    TempDir dir;
    const std::string sub = dir / "ro";
    std::filesystem::create_directory(sub);
    WriteBytes(sub + "/a.bmp", Bytes{9});
    std::filesystem::permissions(sub, std::filesystem::perms::owner_read |
                                          std::filesystem::perms::owner_exec);
    const IFF_Picture pic = OnePlane(8, {{0xAA, 0}}, {0, 0xFFFFFF});
    EXPECT_THROW(WriteBitmapFile(pic, sub + "/a.bmp", 8, 1), TambrelError);
    EXPECT_THROW(WriteRawIndices(pic, sub + "/a.bmp"), TambrelError);
    std::filesystem::permissions(sub, std::filesystem::perms::owner_all);
    EXPECT_EQ(ReadBytes(sub + "/a.bmp"), Bytes{9});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(sub), {}), 1);
}

TEST(Exports, RawFilesHoldWholeBuffers) {
    // 13 x 2, every bit of row 1 set; row 2 has pixels 13 .. 15 set (past the width).
    TempDir dir;
    const IFF_Picture pic = OnePlane(13, {{0xFF, 0xFF}, {0, 0x07}}, {0x102030, 0xA0B0C0});
    ASSERT_TRUE(CanExportRawColours(pic));
    ASSERT_TRUE(CanExportRawIndices(pic));
    WriteBytes(dir / "p.rgb", Bytes(1000, 1));
    WriteRawColours(pic, dir / "p.rgb");
    WriteRawIndices(pic, dir / "p.lut");
    const Bytes rgb = ReadBytes(dir / "p.rgb"), lut = ReadBytes(dir / "p.lut");
    ASSERT_EQ(rgb.size(), 204u);
    ASSERT_EQ(lut.size(), 51u);
    const std::uint32_t a = 0x102030, b = 0xA0B0C0;
    const std::vector<std::uint32_t> colours = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // row 0
        b, b, b, b, b, b, b, b, b, b, b, b, b, b, 1, 1, 0, // columns 0 .. 13 resolved
        a, a, a, a, a, a, a, a, a, a, a, a, a, b, 1, 1, 0};
    const Bytes indices = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                           1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0,
                           0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0};
    for (std::size_t i = 0; i < colours.size(); ++i)
        EXPECT_EQ(Le32(rgb, 4 * i), colours[i]) << i;
    EXPECT_EQ(lut, indices);

    const IFF_Picture wide = OnePlane(16, {{0x80, 0x01}}, {0, 1});
    WriteRawIndices(wide, dir / "w.lut");
    const Bytes w = ReadBytes(dir / "w.lut");
    ASSERT_EQ(w.size(), 34u);
    EXPECT_EQ(w[17], 1);
    EXPECT_EQ(w[32], 1);
    EXPECT_EQ(w[33], 0);
}

TEST(Exports, GuardsNeedABody) {
    IFF_Picture pic = OnePlane(8, {{0xFF, 0}}, {0, 1});
    IlbmBuilder noBody;
    noBody.Bmhd(HeaderFor(ChunkyImage(8, 1, 1), false));
    ASSERT_EQ(LoadBytes(pic, noBody.Build()), 1); // the earlier pixels are still held
    EXPECT_FALSE(CanExportRawColours(pic));
    EXPECT_FALSE(CanExportRawIndices(pic));
    EXPECT_TRUE(CanExportPalette(pic));
    IFF_Picture fresh;
    EXPECT_FALSE(CanExportRawColours(fresh));
    EXPECT_FALSE(CanExportPalette(fresh));
}

TEST(Exports, PaletteTextLines) {
    TempDir dir;
    IFF_Picture pic = OnePlane(8, {{0xFF, 0}}, {0xFF8800, 0x000000});
    WritePaletteText(pic, dir / "p.txt");
    const Bytes text = ReadBytes(dir / "p.txt");
    EXPECT_EQ(std::string(text.begin(), text.end()), "$ff8800\r\n$000000\r\n");
    // 2^Bitplanes lines, at most 256; entries the CMAP left keep earlier values.
    for (auto [planes, lines] : {std::pair{5, 32}, {8, 256}, {9, 256}}) {
        BmhdFields f = HeaderFor(ChunkyImage(8, 1, planes), false);
        IlbmBuilder b;
        b.Bmhd(f).Cmap(std::vector<std::uint32_t>{0xABCDEF});
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        const std::string t = PaletteText(pic);
        EXPECT_EQ(t.size(), static_cast<std::size_t>(lines) * 9) << planes;
        EXPECT_EQ(t.substr(0, 18), "$abcdef\r\n$000000\r\n");
    }
}

} // namespace
} // namespace tambrel::test
