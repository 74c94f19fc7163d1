// PNG output against the BMP of the same picture, and the converter's --format option.
#include "cli/converter.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "output/png_writer.h"
#include "tests/formats/formats_support.h"
#include "tests/support/form_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

namespace tambrel::test {
namespace {

constexpr PngLevel kLevels[] = {PngLevel::Fast, PngLevel::Default, PngLevel::Small};

class PngOutput : public ::testing::TestWithParam<FormatCase> {};

// Every level writes the same pixels; libpng reads them back.
TEST_P(PngOutput, MatchesTheBitmap) {
    const FormatCase &c = GetParam();
    TempDir dir;
    auto pic = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*pic, c.File, "case.iff", false), 1);
    for (PngLevel level : kLevels) {
        WritePngFile(*pic, dir / "case.png", level);
        const ReadPng png = ReadPngFile(dir / "case.png");
        ASSERT_TRUE(png.Ok);
        EXPECT_EQ(png.Width, c.Width);
        EXPECT_EQ(png.Height, c.Height);
        EXPECT_EQ(png.Kind, c.Kind);
        EXPECT_EQ(png.Palette, c.Palette);
        // The shortest tRNS: opaque entries up to the transparent one.
        std::vector<std::uint8_t> trans(c.TransparentIndex + 1, 255);
        if (!trans.empty())
            trans.back() = 0;
        EXPECT_EQ(png.Trans, trans);
        EXPECT_EQ(png.Pixels, c.Pixels);
        EXPECT_EQ(png.Texts, c.Texts);
        EXPECT_EQ(png.Phys, c.Phys);
        EXPECT_EQ(png.Icc, c.Icc);
        EXPECT_EQ(png.IccName, c.IccName);
        EXPECT_EQ(png.Exif, c.Exif);
    }
}

// A deep picture large enough that the filtering is chosen on a sample of
// rows, with bands of noise, smooth gradients and flat colour, so that rows
// of every kind meet every filter; libpng must read back each pixel.
TEST(PngOutputLarge, DeepPictureOfMixedRowsReadsBack) {
    DeepImage img{400, 300, 24, {}};
    std::uint32_t noise = 12345;
    for (int y = 0; y < img.Height; ++y) {
        for (int x = 0; x < img.Width; ++x) {
            noise = noise * 1103515245u + 12345u;
            const std::uint32_t r = (y / 20) % 3 == 0 ? noise >> 24 : std::uint32_t(x * 255 / 399);
            const std::uint32_t g = (y / 20) % 3 == 1 ? std::uint32_t(y * 255 / 299) : 0x40u;
            const std::uint32_t b =
                (x / 50) % 2 == 0 ? (noise >> 16) & 255 : std::uint32_t(x ^ y) & 255;
            img.Pixels.push_back(r << 16 | g << 8 | b);
        }
    }
    BmhdFields f = HeaderFor(ChunkyImage(img.Width, img.Height, 1), true);
    f.Bitplanes = 24;
    const Bytes file = IlbmBuilder().Bmhd(f).Body(DeepBodyData(img, true)).Build();
    auto pic = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*pic, file, "deep.iff", false), 1);
    TempDir dir;
    for (PngLevel level : kLevels) {
        WritePngFile(*pic, dir / "deep.png", level);
        const ReadPng png = ReadPngFile(dir / "deep.png");
        ASSERT_TRUE(png.Ok);
        ASSERT_EQ(png.Kind, PngKind::Rgb);
        ASSERT_EQ(png.Pixels.size(), img.Pixels.size());
        for (std::size_t i = 0; i < img.Pixels.size(); ++i) {
            ASSERT_EQ(png.Pixels[i], 0xFF000000u | img.Pixels[i]) << "pixel " << i;
        }
    }
}

// The converter writes its file while the picture decodes, or from a second,
// whole decode when a chunk after the BODY changes how the rows read (a CTBL,
// a CMAP): byte for byte the file the writers make from the whole picture.
void ExpectConverterFilesAsWhole(const Bytes &file) {
    TempDir dir;
    WriteBytes(dir / "case.iff", file);
    auto pic = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*pic, file, "case.iff", false), 1);
    WriteBitmapFile(*pic, dir / "whole.bmp", pic->Width, pic->Height);
    std::ostringstream out, err;
    ASSERT_EQ(cli::run({"-m", "1", dir / "case.iff"}, out, err), 0) << err.str();
    EXPECT_EQ(ReadBytes(dir / "case.bmp"), ReadBytes(dir / "whole.bmp"));
    for (const std::string level : {"fast", "default", "small"}) {
        PngLevel parsed = PngLevel::Default;
        ASSERT_TRUE(ParsePngLevel(level, parsed));
        WritePngFile(*pic, dir / "whole.png", parsed);
        ASSERT_EQ(cli::run({"-m1", "-fpng", "--png-level=" + level, dir / "case.iff"}, out, err),
                  0);
        EXPECT_EQ(ReadBytes(dir / "case.png"), ReadBytes(dir / "whole.png")) << level;
    }
}

TEST_P(PngOutput, ConverterWritesTheWholePicturesFiles) {
    ExpectConverterFilesAsWhole(GetParam().File);
}

TEST(PngOutputLarge, ConverterFilesWhenLaterChunksChangeTheRows) {
    const ChunkyImage img = ChunkyImage(40, 6, 4);
    const std::vector<std::uint32_t> cmap(16, 0x336699u), other(16, 0x102030u);
    const std::vector<std::array<std::uint16_t, 16>> lines(6, std::array<std::uint16_t, 16>{});
    const BmhdFields f = HeaderFor(img, true);
    ExpectConverterFilesAsWhole(
        IlbmBuilder().Bmhd(f).Cmap(cmap).Camg(0).Body(BodyData(img, true)).Ctbl(lines).Build());
    ExpectConverterFilesAsWhole(
        IlbmBuilder().Bmhd(f).Cmap(cmap).Body(BodyData(img, true)).Cmap(other).Build());
    // Streamed with their indices alone: entries 0-3 keep the colours they
    // showed, the others come from the later CMAP; an index beyond the
    // header's 16 colours (PBM) makes the file from a whole decode.
    ChunkyImage used = img;
    for (int x = 0; x < img.Width; ++x)
        used.At(x, x % img.Height) = static_cast<std::uint8_t>(x % 4);
    ExpectConverterFilesAsWhole(
        IlbmBuilder().Bmhd(f).Cmap(cmap).Camg(0).Body(BodyData(used, true)).Cmap(other).Build());
    used.At(39, 5) = 200;
    ExpectConverterFilesAsWhole(IlbmBuilder()
                                    .FormType("PBM ")
                                    .Bmhd(f)
                                    .Cmap(cmap)
                                    .Camg(0)
                                    .Body(PbmBodyData(used, true))
                                    .Build());
}

// Pictures large enough for the compression in two bands (a hold-and-modify
// one by zlib, a palette one by libdeflate) read back as decoded, and pass
// pngcheck where it is installed.
TEST(PngOutputLarge, BandedPicturesReadBack) {
    for (const std::uint32_t mode : {0x800u, 0u}) {
        const int width = mode ? 700 : 1100, height = mode ? 520 : 1000;
        ChunkyImage img(width, height, 8);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                img.At(x, y) = static_cast<std::uint8_t>((x * 7 + y * 13 + (x * y) % 251) & 255);
        std::vector<std::uint32_t> cmap;
        for (std::uint32_t i = 0; i < 256; ++i)
            cmap.push_back(i * 0x010305u & 0xFFFFFFu);
        const Bytes file = IlbmBuilder()
                               .Bmhd(HeaderFor(img, true))
                               .Cmap(cmap)
                               .Camg(mode)
                               .Body(BodyData(img, true))
                               .Build();
        auto pic = std::make_unique<IFF_Picture>();
        ASSERT_EQ(LoadIffPictureFromMemory(*pic, file, "big.iff", false), 1);
        TempDir dir;
        WritePngFile(*pic, dir / "big.png");
        const ReadPng png = ReadPngFile(dir / "big.png");
        ASSERT_TRUE(png.Ok);
        ASSERT_EQ(png.Pixels.size(), std::size_t(width) * height);
        for (std::size_t i = 0; i < png.Pixels.size(); ++i) {
            ASSERT_EQ(png.Pixels[i], 0xFF000000u | pic->PixelColours(i % width, i / width + 1))
                << i;
        }
        if (std::system("command -v pngcheck >/dev/null") == 0) {
            EXPECT_EQ(std::system(("pngcheck -q " + (dir / "big.png") + " >/dev/null").c_str()), 0);
        }
        ExpectConverterFilesAsWhole(file);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PngOutput, ::testing::ValuesIn(FormatCases()),
                         [](const auto &info) { return info.param.Name; });

// --format png follows the BMP's name rules and save modes; other formats are usage errors.
TEST(ConvertFormat, PngByNameRulesAndSaveModes) {
    TempDir dir;
    WriteBytes(dir / "pic.iff", FormatCases().front().File);
    const std::string pic = dir / "pic.iff";
    struct Row {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> entries;
    };
    const Row rows[] = {
        {{"-f", "png", pic}, 0, {"pic.iff", "pic.png"}},
        {{"--format=png", pic}, 0, {"pic(1).png", "pic.iff", "pic.png"}},
        {{"-fpng", "-m", "0", pic}, 0, {"pic(1).png", "pic.iff", "pic.png"}},
        {{"--format", "bmp", pic}, 0, {"pic(1).png", "pic.bmp", "pic.iff", "pic.png"}},
        {{"-f", "gif", pic}, 2, {"pic(1).png", "pic.bmp", "pic.iff", "pic.png"}},
    };
    for (const Row &row : rows) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::run(row.args, out, err), row.code) << err.str();
        EXPECT_EQ(dir.Entries(), row.entries) << row.args.front();
    }
    EXPECT_TRUE(ReadPngFile(dir / "pic(1).png").Ok);
}

// --alpha: a case's own pixels, those of the case named `like`, or (none given) opaque.
TEST(ConvertFormat, AlphaRules) {
    std::map<std::string, FormatCase> cases;
    for (const FormatCase &c : FormatCases())
        cases[c.Name] = c;
    const struct {
        const char *name, *rule, *like;
    } rows[] = {{"TransparentColour", "colour", "TransparentBrush"},
                {"TransparentBrush", "mask", nullptr},
                {"TransparentBrush", "none", nullptr},
                {"MaskPlane", "mask", "MaskPlane"},
                {"MaskPlane", "none", nullptr}};
    TempDir dir;
    for (const auto &row : rows) {
        WriteBytes(dir / "pic.iff", cases[row.name].File);
        std::ostringstream out, err;
        ASSERT_EQ(cli::run({"-fpng", "-m1", "--alpha", row.rule, dir / "pic.iff"}, out, err), 0);
        std::vector<std::uint32_t> want = cases[row.like ? row.like : row.name].Pixels;
        for (std::uint32_t &p : want)
            p |= row.like ? 0 : 0xFF000000u;
        EXPECT_EQ(ReadPngFile(dir / "pic.png").Pixels, want) << row.name << " " << row.rule;
    }
    std::ostringstream out, err;
    EXPECT_EQ(cli::run({"-fpng", "--alpha=holes", dir / "pic.iff"}, out, err), 2);
}

// --png-level takes fast, default or small; the file reads back at each.
TEST(ConvertFormat, PngLevels) {
    TempDir dir;
    const FormatCase c = FormatCases().front();
    WriteBytes(dir / "pic.iff", c.File);
    const std::string pic = dir / "pic.iff";
    const std::vector<std::string> good[] = {
        {"--png-level", "fast"}, {"--png-level=default"}, {"--png-level", "small"}};
    for (std::vector<std::string> args : good) {
        args.insert(args.end(), {"-f", "png", "-m", "1", pic});
        std::ostringstream out, err;
        ASSERT_EQ(cli::run(args, out, err), 0) << err.str();
        const ReadPng png = ReadPngFile(dir / "pic.png");
        ASSERT_TRUE(png.Ok);
        EXPECT_EQ(png.Pixels, c.Pixels) << args.front();
    }
    for (const std::string bad : {"--png-level=best", "--png-level=", "--png-level"}) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::run({"-f", "png", pic, bad}, out, err), 2) << bad;
        EXPECT_FALSE(err.str().empty()) << bad;
    }
}

} // namespace
} // namespace tambrel::test
