// PNG output: every display mode and both kinds of transparency, read back
// with libpng and compared with the BMP of the same picture; and the
// converter's --format option.
#include "cli/converter.h"
#include "decoder/iff_loader.h"
#include "output/png_writer.h"
#include "tests/formats/formats_support.h"

#include <gtest/gtest.h>

#include <filesystem>
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
    std::vector<std::uint8_t> trans;
    if (c.TransparentIndex >= 0) {
        trans.assign(c.TransparentIndex + 1, 255);
        trans.back() = 0;
    }
    EXPECT_EQ(png.Trans, trans);
    EXPECT_EQ(png.Pixels, c.Pixels);
}

INSTANTIATE_TEST_SUITE_P(Table, PngOutput, ::testing::ValuesIn(FormatCases()),
                         [](const auto &info) { return info.param.Name; });

// --format png writes NAME.png by the same name rules and save modes; other
// formats are usage errors.
TEST(ConvertFormat, PngByNameRulesAndSaveModes) {
    TempDir dir;
    WriteBytes(dir / "pic.iff", FormatCases().front().File);
    struct Row {
        std::vector<std::string> args;
        int code;
        std::vector<std::string> written;
    };
    const std::vector<Row> rows = {
        {{"-f", "png", dir / "pic.iff"}, 0, {"pic.png"}},
        {{"--format=png", dir / "pic.iff"}, 0, {"pic(1).png", "pic.png"}},
        {{"-fpng", "-m", "0", dir / "pic.iff"}, 0, {"pic(1).png", "pic.png"}},
        {{"--format", "bmp", dir / "pic.iff"}, 0, {"pic(1).png", "pic.bmp", "pic.png"}},
        {{"-f", "gif", dir / "pic.iff"}, 2, {"pic(1).png", "pic.bmp", "pic.png"}},
    };
    for (const Row &row : rows) {
        std::ostringstream out, err;
        EXPECT_EQ(cli::run(row.args, out, err), row.code) << err.str();
        std::vector<std::string> names;
        for (const auto &e : std::filesystem::directory_iterator(dir.Path()))
            if (e.path().extension() != ".iff")
                names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, row.written) << row.args.front();
    }
    EXPECT_TRUE(ReadPngFile(dir / "pic(1).png").Ok);
}

} // namespace
} // namespace tambrel::test
