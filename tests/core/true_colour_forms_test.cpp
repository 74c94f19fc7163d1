// FORM RGFX, DEEP, RGB8/RGBN, 48- and 64-plane ILBM and CAT/LIST groups: small
// pictures built chunk by chunk, against hand-worked colours. A 16-bit value v
// shows as round(v / 257): 0x807F as 128, 0x7F80 as 127, 0x0080 as 0, 0x0081 as 1.
#include "output/atomic_file.h"
#include "output/png_writer.h"
#include "output/row_writer.h"
#include "test_util.h"
#include "tests/support/form_writer.h"

#include <cmath>
#include <libdeflate.h>
#include <png.h>

namespace tambrel::test {
namespace {

Bytes Longs(std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (std::uint32_t v : values)
        out.insert(out.end(), {Bytes::value_type(v >> 24), Bytes::value_type(v >> 16),
                               Bytes::value_type(v >> 8), Bytes::value_type(v)});
    return out;
}

Bytes Zlib(const Bytes &data) {
    libdeflate_compressor *c = libdeflate_alloc_compressor(6);
    Bytes out = Longs({std::uint32_t(data.size())});
    out.resize(4 + libdeflate_zlib_compress_bound(c, data.size()));
    out.resize(
        4 + libdeflate_zlib_compress(c, data.data(), data.size(), out.data() + 4, out.size() - 4));
    libdeflate_free_compressor(c);
    return out;
}

// Colours (0xAARRGGBB, alpha 0xFF when the picture has none) of rows 1 .. Height.
void ExpectPixels(const IFF_Picture &pic, int width, const std::vector<std::uint32_t> &want,
                  bool alpha) {
    ASSERT_TRUE(pic.HasBody()) << pic.BodyRefusal;
    ASSERT_EQ(pic.PixelAlpha.Empty(), !alpha);
    for (std::size_t i = 0; i < want.size(); ++i) {
        const std::size_t x = i % width, y = i / width + 1;
        EXPECT_EQ(pic.PixelColours(x, y), want[i] & 0xFFFFFF) << i;
        EXPECT_EQ(alpha ? pic.PixelAlpha(x, y) : 0xFF, want[i] >> 24) << i;
    }
}

// The samples of a PNG of 16-bit RGB (RGBA with `alpha`) rows, as libpng reads
// them; empty for any other PNG.
std::vector<std::uint16_t> Png16Samples(const std::string &path, bool alpha) {
    std::vector<std::uint16_t> samples;
    std::vector<png_byte> bytes;
    std::vector<png_bytep> rows;
    FILE *file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (file && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_read_info(png, info);
        const std::size_t stride = png_get_rowbytes(png, info);
        bytes.resize(stride * png_get_image_height(png, info));
        for (std::size_t at = 0; at < bytes.size(); at += stride)
            rows.push_back(bytes.data() + at);
        png_read_image(png, rows.data());
        if (png_get_bit_depth(png, info) == 16 &&
            png_get_color_type(png, info) == (alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB))
            for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
                samples.push_back(std::uint16_t(bytes[i] << 8 | bytes[i + 1]));
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (file)
        std::fclose(file);
    return samples;
}

// The PNG the converter writes as the rows are decoded, no whole picture
// kept, is the PNG of the whole picture, at `whole` in `dir`.
void ExpectStreamedPng(const TempDir &dir, const Bytes &file, const std::string &whole) {
    IFF_Picture pic;
    AtomicFile out(dir / "rows.png");
    RowWriter writer(out, OutputFormat::Png, PngLevel::Default);
    ASSERT_EQ(LoadIffPictureFromMemory(pic, file, "rows.iff", false, {}, &writer), 1);
    ASSERT_TRUE(writer.Finish(pic));
    EXPECT_TRUE(pic.PixelColours.Empty()); // streamed: no whole picture kept
    out.Commit();
    EXPECT_EQ(ReadBytes(dir / "rows.png"), ReadBytes(dir / whole));
}

// The PNG of a picture with 16-bit samples holds them all (RGB, or RGBA with
// `alpha`), written whole and row by row as the converter writes it.
void ExpectPng16(const Bytes &file, const std::vector<std::uint16_t> &samples, bool alpha) {
    TempDir dir;
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, file), 1);
    WritePngFile(pic, dir / "whole.png");
    EXPECT_EQ(Png16Samples(dir / "whole.png", alpha), samples);
    ExpectStreamedPng(dir, file, "whole.png");
    ASSERT_EQ(LoadIffPictureFromMemory(pic, file, "d.iff", false, DesktopLimits()), 1);
    EXPECT_TRUE(pic.PixelWide.Empty()); // the desktop readers show 8 bits
}

struct RgfxCase {
    const char *name;
    std::uint32_t bits, rowBytes, compression, transparent; // transparent: RCOL flags
    Bytes body;                                             // 2 x 2 pixels, rows of rowBytes
    std::vector<std::uint32_t> want;
    std::string refusal;
    std::vector<std::uint16_t> png16 = {}; // 48 and 64 bits: the PNG's samples
};

TEST(TrueColourForms, Rgfx) {
    const Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const std::vector<std::uint32_t> rgbWant = {0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C};
    const Bytes wide = {0x80, 0x7F, 0x7F, 0x80, 0xFF, 0xFE, 0, 0x80, 0, 0x81, 0x12, 0x34};
    const Bytes argb64 = {0x80, 0x7F, 0xFF, 0xFE, 0x7F, 0x80, 0,    0,
                          0,    0x81, 0,    0,    0,    0,    0x12, 0x34};
    const std::vector<std::uint16_t> rgb48Png = {0x807F, 0x7F80, 0xFFFE, 0x0080, 0x0081, 0x1234,
                                                 0,      0,      0,      0,      0,      0};
    const std::vector<std::uint16_t> argb64Png = {0xFFFE, 0x7F80, 0, 0x807F, 0, 0, 0x1234, 0x0081,
                                                  0,      0,      0, 0,      0, 0, 0,      0};
    const Bytes floats = Longs({0x3F800000, 0x3F000000, 0xBF800000, 0x7FC00000, 0x3E800000, 0});
    // clang-format off
    const RgfxCase cases[] = {
        {"Index8", 8, 2, 0, 0, {1, 2, 2, 1}, {0xFF102030, 0xFFA0B0C0, 0xFFA0B0C0, 0xFF102030}, ""},
        {"Index8Transparent", 8, 2, 0, 1, {1, 2, 2, 1},
         {0xFF102030, 0x00A0B0C0, 0x00A0B0C0, 0xFF102030}, ""},
        // Cut after one pixel: the rest reads as index 0, opaque.
        {"Index8Short", 8, 2, 0, 1, {1}, {0xFF102030, 0xFF000000, 0xFF000000, 0xFF000000}, ""},
        {"Rgb24", 24, 6, 0, 0, rgb, rgbWant, ""},
        {"Rgb24PaddedRows", 24, 8, 0, 0, {1, 2, 3, 4, 5, 6, 9, 9, 7, 8, 9, 10, 11, 12}, rgbWant, ""},
        {"Rgb24RowBytesShort", 24, 1, 0, 0, rgb, rgbWant, ""},
        {"Rgb24Zlib", 24, 6, 2, 0, Zlib(rgb), rgbWant, ""},
        {"Argb32", 32, 8, 0, 0, {0x80, 1, 2, 3, 0, 4, 5, 6, 0xFF, 7, 8, 9, 1, 10, 11, 12},
         {0x80010203, 0x00040506, 0xFF070809, 0x010A0B0C}, ""},
        {"Rgb48", 48, 12, 0, 0, wide, {0xFF807FFF, 0xFF000112, 0xFF000000, 0xFF000000}, "",
         rgb48Png},
        {"Rgb48Zlib", 48, 12, 2, 0, Zlib(wide), {0xFF807FFF, 0xFF000112, 0xFF000000}, "", rgb48Png},
        {"Argb64", 64, 16, 0, 0, argb64, {0x80FF7F00, 0x01000012, 0, 0}, "", argb64Png},
        {"Rgb96", 96, 24, 0, 0, floats, {0xFFFF8000, 0xFF004000, 0xFF000000, 0xFF000000}, ""},
        {"Argb128", 128, 32, 0, 0, floats, {0xFF800000, 0x40000000, 0, 0}, ""},
        {"Rgb15Refused", 16, 4, 0, 0, Bytes(8), {}, "RGFX pixels of 16 bits"},
        {"XpkRefused", 24, 6, 1, 0, rgb, {}, "RGFX compression 1"},
        {"DamagedZlibRefused", 24, 6, 2, 0, Longs({12, 0x789C0000}), {},
         "the RBOD's zlib data is damaged"},
    };
    // clang-format on
    for (const RgfxCase &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes rcol = Longs({c.transparent, 2});
        for (std::uint8_t v : {0, 0, 0, 0x10, 0x20, 0x30, 0xA0, 0xB0, 0xC0})
            rcol.push_back(v);
        const std::uint32_t depth = c.bits == 8 ? 8 : c.bits;
        const Bytes file =
            IlbmBuilder()
                .FormType("RGFX")
                .Chunk("RGHD",
                       Longs({0, 0, 2, 2, 2, 2, depth, c.bits, c.rowBytes, c.compression, 1, 1, 0}))
                .Chunk("RCOL", rcol)
                .Chunk("ANNO", Bytes(3, 'x'))
                .Chunk("RBOD", c.body)
                .Build();
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file), 1);
        EXPECT_EQ(pic.BodyRefusal, c.refusal);
        if (c.refusal.empty()) // alpha: ARGB layouts, and a transparent index
            ExpectPixels(pic, 2, c.want,
                         c.bits == 32 || c.bits == 64 || c.bits == 128 || c.transparent);
        else
            EXPECT_FALSE(pic.HasBody());
        EXPECT_EQ(pic.PixelWide.Empty(), c.png16.empty());
        if (!c.png16.empty())
            ExpectPng16(file, c.png16, c.bits == 64);
    }
    // Writers give a FORM size short of the body they wrote last: read to the file's end.
    const Bytes file = IlbmBuilder()
                           .FormType("RGFX")
                           .Chunk("RGHD", Longs({0, 0, 2, 2, 2, 2, 24, 24, 6, 0, 1, 1, 0}))
                           .Chunk("RBOD", rgb)
                           .FormSize(80)
                           .Build();
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, file), 1);
    ExpectPixels(pic, 2, rgbWant, false);
    PictureHeader header;
    ASSERT_TRUE(ReadPictureHeader(file, header));
    EXPECT_EQ(header.Width * 1000 + header.Height, 2002);
}

// A zlib RBOD whose size field claims far more than the file holds: the
// unpacking buffer is sized from the bytes really there, so a tiny file asks
// for no more memory than its data could fill.
TEST(TrueColourForms, RgfxZlibClaimingHugeBodyHoldsOnlyWhatItHas) {
    const Bytes body = Zlib({1, 2, 3, 4, 5, 6});
    Bytes file = IlbmBuilder()
                     .FormType("RGFX")
                     .Chunk("RGHD", Longs({0, 0, 1024, 1024, 1024, 1024, 24, 24, 3072, 2, 1, 1, 0}))
                     .Chunk("RBOD", body)
                     .Build();
    const std::size_t sizeAt = file.size() - body.size() - (body.size() & 1) - 4;
    for (int i = 0; i < 4; ++i)
        file[sizeAt + i] = Bytes::value_type(i == 0 ? 0x7F : 0xFF);
    DecodeLimits limits; // the pixel buffers need about 5 MiB, the whole body 3 MiB more
    limits.MemoryBytes = 7 << 20;
    IFF_Picture pic;
    ASSERT_EQ(LoadIffPictureFromMemory(pic, file, "z.iff", false, limits), 1);
    ExpectPixels(pic, 1024, {0xFF010203, 0xFF040506, 0xFF000000}, false);
    EXPECT_EQ(pic.PixelColours(1023, 1024), 0u);
}

struct DeepCase {
    const char *name;
    std::vector<std::uint32_t> elements; // kind << 16 | bits
    std::uint8_t compression;
    Bytes body; // 2 x 1 pixels
    std::vector<std::uint32_t> want;
    bool alpha;
    std::string refusal;
    std::vector<std::uint16_t> png16 = {}; // 16-bit elements: the PNG's samples
};

TEST(TrueColourForms, Deep) {
    const std::vector<std::uint32_t> rgb = {0x10008, 0x20008, 0x30008};
    // clang-format off
    const DeepCase cases[] = {
        {"Rgb8", rgb, 0, {1, 2, 3, 4, 5, 6}, {0xFF010203, 0xFF040506}, false, ""},
        {"AbgrAndZbuffer", {0x40008, 0xA0008, 0x30008, 0x20008, 0x10008}, 0,
         {0x80, 9, 3, 2, 1, 0, 9, 6, 5, 4}, {0x80010203, 0x00040506}, true, ""},
        {"Rgba16", {0x10010, 0x20010, 0x30010, 0x40010}, 0,
         {0x80, 0x7F, 0x7F, 0x80, 0, 0x81, 0xFF, 0xFF, 0, 0x80, 0, 0, 0, 0, 0x12, 0x34},
         {0xFF807F01, 0x12000000}, true, "",
         {0x807F, 0x7F80, 0x0081, 0xFFFF, 0x0080, 0, 0, 0x1234}},
        // An 8-bit element v is v * 257 in 16 bits.
        {"Rgb16Alpha8", {0x10010, 0x20010, 0x30010, 0x40008}, 0,
         {0x12, 0x34, 0xFF, 0xFE, 0, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 1},
         {0x8012FF01, 0x01000000}, true, "", {0x1234, 0xFFFE, 0x00FF, 0x8080, 0, 0, 0, 0x0101}},
        {"Rgb8RunLength", rgb, 1, {0xFE, 7, 2, 7, 8, 9}, {0xFF070707, 0xFF070809}, false, ""},
        {"FiveBitsRefused", {0x10005}, 0, Bytes(2), {}, false, "DEEP elements of 5 bits"},
        {"TvdcRefused", rgb, 5, Bytes(6), {}, false, "DEEP compression 5"},
    };
    // clang-format on
    for (const DeepCase &c : cases) {
        SCOPED_TRACE(c.name);
        Bytes dpel = Longs({std::uint32_t(c.elements.size())});
        for (std::uint32_t e : c.elements) {
            const Bytes l = Longs({e});
            dpel.insert(dpel.end(), l.begin(), l.end());
        }
        // DGBL gives 9 x 9, DLOC the body's 2 x 1.
        const Bytes file = IlbmBuilder()
                               .FormType("DEEP")
                               .Chunk("DGBL", {0, 9, 0, 9, 0, c.compression, 1, 1})
                               .Chunk("DPEL", dpel)
                               .Chunk("DLOC", {0, 2, 0, 1, 0, 0, 0, 0})
                               .Chunk("DBOD", c.body)
                               .Build();
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file), 1);
        EXPECT_EQ(pic.BodyRefusal, c.refusal);
        if (c.refusal.empty())
            ExpectPixels(pic, 2, c.want, c.alpha);
        if (!c.png16.empty())
            ExpectPng16(file, c.png16, c.alpha);
        PictureHeader header; // the desktop readers' size: DGBL's
        ASSERT_TRUE(ReadPictureHeader(file, header));
        EXPECT_EQ(header.Width * 1000 + header.Height, 9009);
    }
}

TEST(TrueColourForms, RunLengthRgb8AndRgbn) {
    struct Case {
        const char *name, *form;
        Bytes body; // rows of 3 pixels
        std::vector<std::uint32_t> want;
    };
    const Case cases[] = {
        // A run of 4 goes on into row 2; a count of 0 takes the next byte.
        {"Rgb8",
         "RGB8",
         {1, 2, 3, 0x84, 4, 5, 6, 0, 2},
         {0xFF010203, 0xFF010203, 0xFF010203, 0xFF010203, 0xFF040506, 0xFF040506}},
        {"Rgb8WordCount", "RGB8", {7, 8, 9, 0, 0, 0, 6}, std::vector<std::uint32_t>(6, 0xFF070809)},
        {"Rgb8CutShort",
         "RGB8",
         {7, 8, 9, 2, 1},
         {0xFF070809, 0xFF070809, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000}},
        // 0xF0 0x1D: red 15, green 0, blue 1, genlock, 5 pixels; then 0x00F1: blue 15, count 1.
        {"Rgbn",
         "RGBN",
         {0xF0, 0x1D, 0x00, 0xF1},
         {0xFFFF0011, 0xFFFF0011, 0xFFFF0011, 0xFFFF0011, 0xFFFF0011, 0xFF0000FF}},
        {"RgbnByteCount", "RGBN", {0x12, 0x30, 6}, std::vector<std::uint32_t>(6, 0xFF112233)},
        // 3 x 3: runs of 4 and 3, then nothing: the end of row 3 is black.
        {"RgbnCutInRowThree",
         "RGBN",
         {0x12, 0x34, 0x45, 0x63},
         {0xFF112233, 0xFF112233, 0xFF112233, 0xFF112233, 0xFF445566, 0xFF445566, 0xFF445566,
          0xFF000000, 0xFF000000}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        BmhdFields f = HeaderFor(ChunkyImage(3, int(c.want.size() / 3), 1), false);
        f.Bitplanes = c.form[3] == '8' ? 25 : 13;
        f.Packtype = 4;
        const Bytes file = IlbmBuilder().FormType(c.form).Bmhd(f).Body(c.body).Build();
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, file), 1);
        ExpectPixels(pic, 3, c.want, false);
        TempDir dir;
        WritePngFile(pic, dir / "whole.png");
        ExpectStreamedPng(dir, file, "whole.png");
    }
}

// Planes 16c .. 16c + 7 hold the high byte of component c (red, green, blue,
// alpha), planes 16c + 8 .. 16c + 15 its low byte; plane bit k is value bit k.
TEST(TrueColourForms, SixteenBitIlbm) {
    const std::uint16_t values[2][4] = {{0x807F, 0x7F80, 0x0081, 0x0080},
                                        {0xFFFE, 0, 0x1234, 0xFF00}};
    for (int planes : {48, 64})
        for (bool packed : {false, true}) {
            SCOPED_TRACE(testing::Message() << planes << (packed ? " packed" : " plain"));
            BmhdFields f = HeaderFor(ChunkyImage(2, 1, 1), packed);
            f.Bitplanes = std::uint8_t(planes);
            Bytes body;
            for (int p = 0; p < planes; ++p)
                AppendRow(body,
                          PlaneRow(2, 0,
                                   [&](int x) {
                                       const std::uint16_t v = values[x][p / 16];
                                       return ((p % 16 < 8 ? v >> 8 : v) >> (p % 8)) & 1;
                                   }),
                          packed);
            const Bytes file = IlbmBuilder().Bmhd(f).Body(body).Build();
            IFF_Picture pic;
            ASSERT_EQ(LoadBytes(pic, file), 1);
            ExpectPixels(pic, 2,
                         {planes == 64 ? 0x00807F01u : 0xFF807F01u,
                          planes == 64 ? 0xFEFF0012u : 0xFFFF0012u},
                         planes == 64);
            std::vector<std::uint16_t> samples;
            for (const auto &pixel : values)
                samples.insert(samples.end(), pixel, pixel + planes / 16);
            ExpectPng16(file, samples, planes == 64);
        }
}

// Wide 48- and 64-plane rows, as the windows and thumbnails read them (no
// 16-bit samples kept): every sample v becomes round(v / 257).
TEST(TrueColourForms, SixteenBitIlbmWideRowsNarrowed) {
    const int width = 300, height = 2;
    for (int planes : {48, 64}) {
        SCOPED_TRACE(planes);
        std::vector<std::uint16_t> values(std::size_t(width) * height * 4);
        std::uint32_t state = 12345;
        for (std::uint16_t &v : values) {
            state = state * 1103515245u + 12345u;
            v = std::uint16_t(state >> 12);
        }
        values[0] = 0xFFFF; // the ends and the values either side of a rounding step
        values[1] = 0x807F;
        values[2] = 0x8080;
        values[3] = 0x0080;
        BmhdFields f = HeaderFor(ChunkyImage(width, height, 1), true);
        f.Bitplanes = std::uint8_t(planes);
        Bytes body;
        for (int y = 0; y < height; ++y)
            for (int p = 0; p < planes; ++p)
                AppendRow(body,
                          PlaneRow(width, 0,
                                   [&](int x) {
                                       const std::uint16_t v =
                                           values[(std::size_t(y) * width + x) * 4 + p / 16];
                                       return ((p % 16 < 8 ? v >> 8 : v) >> (p % 8)) & 1;
                                   }),
                          true);
        IFF_Picture pic;
        ASSERT_EQ(LoadIffPictureFromMemory(pic, IlbmBuilder().Bmhd(f).Body(body).Build(), "w.iff",
                                           false, DesktopLimits()),
                  1);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const std::uint16_t *v = &values[(std::size_t(y) * width + x) * 4];
                auto narrow = [](std::uint16_t s) { return std::uint32_t(std::lround(s / 257.0)); };
                ASSERT_EQ(pic.PixelColours(x, y + 1),
                          narrow(v[0]) << 16 | narrow(v[1]) << 8 | narrow(v[2]))
                    << x << "," << y;
                if (planes == 64) {
                    ASSERT_EQ(pic.PixelAlpha(x, y + 1), narrow(v[3])) << x << "," << y;
                }
            }
    }
}

// A deep body large enough to be turned into colours on two threads, a
// batch at a time: whole, cut off inside a row, and handed on row by row.
TEST(TrueColourForms, LargeDeepBodyInBatches) {
    const DeepImage img = DeepPattern(512, 600, 32, 7);
    BmhdFields f = HeaderFor(ChunkyImage(img.Width, img.Height, 1), true);
    f.Bitplanes = 32;
    const Bytes file = IlbmBuilder().Bmhd(f).Body(DeepBodyData(img, true, false)).Build();
    // Cut after about 401 rows: later rows are black and transparent.
    const std::size_t rowsKept = 401;
    const Bytes cut(file.begin(), file.begin() + std::ptrdiff_t(file.size() * rowsKept / 600));
    for (const Bytes *f : {&file, &cut}) {
        SCOPED_TRACE(f == &file ? "whole" : "cut");
        IFF_Picture pic;
        ASSERT_EQ(LoadBytes(pic, *f), 1);
        for (int y = 0; y < img.Height; ++y) {
            // The cut row itself is partly read; rows either side of it are known.
            if (f == &cut &&
                (y == int(rowsKept) - 2 || y == int(rowsKept) - 1 || y == int(rowsKept)))
                continue;
            const bool read = f == &file || y < int(rowsKept) - 2;
            std::vector<std::uint32_t> want, got;
            for (int x = 0; x < img.Width; ++x) {
                want.push_back(read ? img.At(x, y) : 0);
                got.push_back(std::uint32_t(pic.PixelAlpha(x, y + 1)) << 24 |
                              pic.PixelColours(x, y + 1));
            }
            ASSERT_EQ(got, want) << "row " << y;
        }
        TempDir dir;
        WritePngFile(pic, dir / "whole.png");
        ExpectStreamedPng(dir, *f, "whole.png");
    }
}

// A CAT or LIST (of type ILBM) holding `parts`.
Bytes Group(const char *id, std::initializer_list<Bytes> parts) {
    Bytes out = IlbmBuilder().FormId(id).Build();
    for (const Bytes &part : parts)
        out.insert(out.end(), part.begin(), part.end());
    const Bytes size = Longs({std::uint32_t(out.size() - 8)});
    std::copy(size.begin(), size.end(), out.begin() + 4);
    return out;
}

// The first picture FORM of a CAT or LIST, nested groups and other FORMs passed by.
TEST(TrueColourForms, GroupsGiveTheirFirstPicture) {
    const ChunkyImage one = Pattern(8, 2, 1, 3);
    // No CMAP: the grey ramp, found within the picture's own FORM.
    const Bytes first =
        IlbmBuilder().Bmhd(HeaderFor(one, false)).Body(BodyData(one, false)).Build();
    const Bytes second = BuildSimple({Pattern(8, 2, 1, 4), {0xFF0000, 0x00FF00}, {}, false});
    const Bytes sound = IlbmBuilder().FormType("8SVX").Chunk("VHDR", Bytes(20)).Build();
    const Bytes props = IlbmBuilder().FormId("LIST").Chunk("PROP", Bytes(4, ' ')).Build();
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, Group("CAT ", {props, Group("LIST", {sound, first}), second})), 1);
    ASSERT_TRUE(pic.HasBody());
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 8; ++x)
            EXPECT_EQ(pic.PixelColours(x, y + 1), one.At(x, y) ? 0xFFFFFFu : 0u) << x;
    EXPECT_EQ(pic.PictureCount, 2u);
    IFF_Picture none; // a group holding no picture is no picture
    EXPECT_EQ(LoadBytes(none, Group("CAT ", {sound})), 0);
}

// The desktop readers' quick look at a group's size: its first picture's
// header, from the FORM or else from the innermost LIST's PROP of its type.
TEST(TrueColourForms, GroupHeaderIsFirstPictures) {
    auto prop = [](const char *type, int w, int h) {
        return IlbmBuilder()
            .FormId("PROP")
            .FormType(type)
            .Bmhd(HeaderFor(ChunkyImage(w, h, 1), false))
            .Build();
    };
    const Bytes bare = IlbmBuilder().Chunk("BODY", Bytes(4)).Build(); // no BMHD of its own
    const Bytes own = IlbmBuilder().Bmhd(HeaderFor(ChunkyImage(16, 3, 1), false)).Build();
    const Bytes sound = IlbmBuilder().FormType("8SVX").Chunk("VHDR", Bytes(20)).Build();
    struct Case {
        const char *name;
        Bytes file;
        int size; // width * 1000 + height; 0: no size known
    };
    const Case cases[] = {
        {"CatNested", Group("CAT ", {sound, Group("LIST", {own}), prop("ILBM", 9, 9)}), 16003},
        {"ListProp", Group("LIST", {prop("ILBM", 24, 5), bare}), 24005},
        {"InnerPropWins",
         Group("LIST", {prop("ILBM", 24, 5), Group("LIST", {prop("ILBM", 32, 7), bare})}), 32007},
        {"OuterPropInCat", Group("LIST", {prop("ILBM", 24, 5), Group("CAT ", {bare})}), 24005},
        {"OwnHeaderWins", Group("LIST", {prop("ILBM", 24, 5), own}), 16003},
        {"PropInCatIgnored", Group("CAT ", {prop("ILBM", 24, 5), bare}), 0},
        {"PropOfOtherType", Group("LIST", {prop("PBM ", 24, 5), bare}), 0},
        {"NoPicture", Group("CAT ", {sound}), 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        PictureHeader header;
        const bool known = ReadPictureHeader(c.file, header);
        EXPECT_EQ(known ? header.Width * 1000 + header.Height : 0, c.size);
    }
}

// A LIST's PROP ILBM stands for the chunks its FORMs lack (nested groups
// too); a FORM's own chunk wins, a PROP of another type counts for nothing.
// Picture K is loaded by number; past the last, none.
TEST(TrueColourForms, ListPropsAndPictureNumbers) {
    const ChunkyImage one = Pattern(8, 2, 1, 3), two = Pattern(8, 2, 1, 4);
    const std::uint32_t shared[] = {0x102030, 0x405060}, own[] = {0x0000FF, 0xFFFF00};
    const Bytes prop =
        IlbmBuilder().FormId("PROP").Bmhd(HeaderFor(one, false)).Cmap(shared).Camg(0x8000).Build();
    const Bytes other = IlbmBuilder().FormId("PROP").FormType("PBM ").Cmap(own).Build();
    const Bytes first = IlbmBuilder().Body(BodyData(one, false)).Build();
    const Bytes second = IlbmBuilder().Cmap(own).Body(BodyData(two, false)).Build();
    const Bytes file = Group("LIST", {prop, other, first, Group("CAT ", {second})});
    for (std::uint32_t k = 0; k < 3; ++k) {
        DecodeLimits limits;
        limits.PictureIndex = k;
        IFF_Picture pic;
        ASSERT_EQ(LoadIffPictureFromMemory(pic, file, "list.iff", false, limits), k < 2 ? 1 : 0);
        if (k == 2)
            break;
        EXPECT_EQ(pic.PictureCount, 2u);
        EXPECT_EQ(pic.ModeId, 0x8000u);
        const ChunkyImage &img = k == 0 ? one : two;
        const std::uint32_t *colours = k == 0 ? shared : own;
        ASSERT_TRUE(pic.HasBody());
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(pic.PixelColours(x, y + 1), colours[img.At(x, y)]) << k << " " << x;
    }
}

} // namespace
} // namespace tambrel::test
