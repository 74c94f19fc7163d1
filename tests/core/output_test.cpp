// Byte-exact BMP files and raw and palette exports (failed writes: tests/reliability),
// and the banded zlib stream the PNG writer compresses into.
#include "output/bmp_writer.h"
#include "output/exports.h"
#include "output/picture_pixels.h"
#include "output/zlib_bands.h"
#include "test_util.h"

#include <libdeflate.h>

namespace tambrel::test {
namespace {

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

TEST(Bitmap, ExactFiles) {
    // 13 x 3 HAM8 over a longer file, which is replaced whole: only picture columns.
    TempDir dir;
    const ChunkyImage img = Pattern(13, 3, 8, 4);
    const auto cmap = TestColours(64);
    IFF_Picture ham;
    ASSERT_EQ(LoadBytes(ham, BuildSimple({img, cmap, 0x800u, true})), 1);
    WriteBytes(dir / "ham.bmp", Bytes(5000, 0xEE));
    WriteBitmapFile(ham, dir / "ham.bmp", 13, 3);
    std::vector<std::uint32_t> colours;
    for (int y = 0; y < 3; ++y) {
        const auto row = ref::RowColours(img, y, ref::Mode::Ham8, ref::PaletteFrom(cmap, false));
        colours.insert(colours.end(), row.begin(), row.end() - 1);
    }
    EXPECT_EQ(ReadBytes(dir / "ham.bmp"), ref::Bitmap(13, 3, colours));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"ham.bmp"});

    // A BMHD after the BODY gives a larger size than the buffers hold: black past them,
    // in the BMP and in RGB rows. Wider: the row-by-row path; one row taller only: the
    // check that keeps the whole-buffer path from reading one row past the buffers.
    for (const auto &[w, h] : {std::pair{16, 4}, {8, 3}}) {
        IlbmBuilder b;
        b.Bmhd(HeaderFor(ChunkyImage(8, 2, 1), false))
            .Cmap(std::vector<std::uint32_t>{0x0A0B0C, 0xFFFFFF});
        b.Camg(0).Body(Bytes{0xFF, 0, 0, 0}).Bmhd(HeaderFor(ChunkyImage(w, h, 1), false));
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
        WriteBitmapFile(pic, dir / "big.bmp", pic.Width, pic.Height);
        std::vector<std::uint32_t> big(w * h, 0);
        std::fill_n(big.begin(), 8, 0xFFFFFF);
        big[8] = 0x0A0B0C; // column Width of the buffers is resolved too (value 0)
        std::fill_n(big.begin() + w, std::min(w, 9), 0x0A0B0C);
        EXPECT_EQ(ReadBytes(dir / "big.bmp"), ref::Bitmap(w, h, big)) << w;
        // The rows other outputs take hold what was decoded: 8 x 2.
        ASSERT_EQ(pic.DecodedWidth() * 10 + pic.DecodedHeight(), 82);
        Bytes rgb(3 * 8 * 2, 0xEE), expected;
        for (int y = 0; y < 2; ++y)
            RgbRow(pic, y, rgb.data() + 3 * 8 * y);
        for (int i = 0; i < 16; ++i) {
            const std::uint32_t c = big[std::size_t(i / 8 * w + i % 8)];
            expected.insert(expected.end(),
                            {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
        }
        EXPECT_EQ(rgb, expected) << w;
    }
}

TEST(Exports, RawFilesHoldWholeBuffers) {
    // 13 x 2, every bit of row 1 set; row 2 has pixels 13 .. 15 set (past the width).
    TempDir dir;
    const IFF_Picture pic = OnePlane(13, {{0xFF, 0xFF}, {0, 0x07}}, {0x102030, 0xA0B0C0});
    WriteBytes(dir / "p.rgb", Bytes(1000, 1));
    WriteRawColours(pic, dir / "p.rgb");
    WriteRawIndices(pic, dir / "p.lut");
    const std::uint32_t a = 0x102030, b = 0xA0B0C0;
    const std::vector<std::uint32_t> colours = {
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, // row 0
        b, b, b, b, b, b, b, b, b, b, b, b, b, b, 1, 1, 0, // columns 0 .. 13 resolved
        a, a, a, a, a, a, a, a, a, a, a, a, a, b, 1, 1, 0};
    Bytes rgb;
    for (std::uint32_t c : colours)
        rgb.insert(rgb.end(),
                   {static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(c >> 8),
                    static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 24)});
    EXPECT_EQ(ReadBytes(dir / "p.rgb"), rgb);
    EXPECT_EQ(ReadBytes(dir / "p.lut"),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1,
                     1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 0}));
}

// Without a BODY (the earlier pixels still held) or without a size, nothing is written.
TEST(Exports, GuardsNeedABodyAndASize) {
    TempDir dir;
    IFF_Picture pic = OnePlane(8, {{0xFF, 0}}, {0, 1});
    EXPECT_TRUE(BitmapWritable(pic, 8, 1));
    EXPECT_FALSE(BitmapWritable(pic, 0, 1));
    WriteBitmapFile(pic, dir / "b.bmp", 0, 1);
    ASSERT_EQ(LoadBytes(pic, IlbmBuilder().Bmhd(HeaderFor(ChunkyImage(8, 1, 1), false)).Build()),
              1);
    EXPECT_FALSE(BitmapWritable(pic, 8, 1));
    WriteBitmapFile(pic, dir / "a.bmp", 8, 1);
    EXPECT_TRUE(dir.Entries().empty());
    IFF_Picture fresh;
    EXPECT_FALSE(CanExportPalette(fresh));
}

// 2^Bitplanes lines, at most 256.
TEST(Exports, PaletteTextLines) {
    TempDir dir;
    IFF_Picture pic;
    IlbmBuilder b;
    b.Bmhd(HeaderFor(ChunkyImage(8, 1, 9), false)).Cmap(std::vector<std::uint32_t>{0xFF8800});
    ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
    WritePaletteText(pic, dir / "p.txt");
    const Bytes text = ReadBytes(dir / "p.txt");
    EXPECT_EQ(text.size(), 256u * 9);
    EXPECT_EQ(std::string(text.begin(), text.begin() + 18), "$ff8800\r\n$000000\r\n");
}

// Bands of any split, by either coder, join into one zlib stream that
// libdeflate's decompressor reads back whole.
TEST(ZlibBands, UnevenBandsInflateBack) {
    std::vector<std::uint8_t> data(300000);
    std::uint32_t v = 1;
    for (std::size_t i = 0; i < data.size(); ++i) {
        v = v * 1103515245u + 12345u;
        data[i] = static_cast<std::uint8_t>((i / 700) % 2 ? v >> 24 : i / 50);
    }
    libdeflate_decompressor *d = libdeflate_alloc_decompressor();
    for (BandCoder coder : {BandCoder::Libdeflate, BandCoder::Zlib}) {
        for (std::size_t first : {std::size_t{0}, std::size_t{1}, std::size_t{200000}}) {
            const PackedBytes packed =
                CompressInBands(data.data(), data.size(), coder, 6, 3, first);
            std::vector<std::uint8_t> back(data.size() + 1);
            std::size_t size = 0;
            EXPECT_EQ(libdeflate_zlib_decompress(d, packed.bytes.get(), packed.size, back.data(),
                                                 back.size(), &size),
                      LIBDEFLATE_SUCCESS);
            back.resize(size);
            EXPECT_EQ(back, data) << first;
        }
    }
    libdeflate_free_decompressor(d);
}

} // namespace
} // namespace tambrel::test
