// PNG output against the BMP of the same picture, and the converter's --format option.
#include "cli/converter.h"
#include "decoder/iff_loader.h"
#include "output/png_writer.h"
#include "tests/formats/formats_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

namespace tambrel::test {
namespace {

class PngOutput : public ::testing::TestWithParam<FormatCase> {};

TEST_P(PngOutput, MatchesTheBitmap) {
    const FormatCase &c = GetParam();
    TempDir dir;
    auto pic = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*pic, c.File, "case.iff", false), 1);
    WritePngFile(*pic, dir / "case.png");
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

} // namespace
} // namespace tambrel::test
