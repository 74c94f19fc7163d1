// The converter's folder mode by content: pictures of every kind whatever
// their names, a ".iff" file that is no picture reported, other files skipped.
#include "cli/converter.h"
#include "tests/support/form_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <stdlib.h>

namespace tambrel::test {
namespace {

namespace fs = std::filesystem;

TEST(CliFormats, FolderPicksPicturesByTheirFirstBytes) {
    std::string tmpl = (fs::temp_directory_path() / "tambrel-formats-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    const fs::path dir = tmpl;
    ChunkyImage img(20, 3, 8);
    for (std::size_t i = 0; i < img.Pixels.size(); ++i)
        img.Pixels[i] = static_cast<std::uint8_t>(i * 7);
    const std::vector<std::uint32_t> grey = {0x000000, 0xFFFFFF};
    BmhdFields deep = HeaderFor(img, false);
    deep.Bitplanes = 24;
    const std::pair<const char *, Bytes> files[] = {
        {"a.lbm", IlbmBuilder()
                      .FormType("PBM ")
                      .Bmhd(HeaderFor(img, true))
                      .Cmap(grey)
                      .Body(PbmBodyData(img, true))
                      .Build()},
        {"b", IlbmBuilder()
                  .FormType("ACBM")
                  .Bmhd(HeaderFor(img, false))
                  .Cmap(grey)
                  .Chunk("ABIT", AbitData(img))
                  .Build()},
        {"c.IFF",
         IlbmBuilder().Bmhd(deep).Body(DeepBodyData(DeepPattern(20, 3, 24, 1), false)).Build()},
        {"d.iff", IlbmBuilder().FormType("8SVX").Chunk("VHDR", Bytes(20, 0)).Build()},
        {"e.8svx", IlbmBuilder().FormType("8SVX").Chunk("VHDR", Bytes(20, 0)).Build()},
        {"f.txt", Bytes{'F', 'O', 'R', 'M'}},
    };
    for (const auto &[name, bytes] : files)
        WriteBytes((dir / name).string(), bytes);
    std::ostringstream out, err;
    EXPECT_EQ(cli::run({"-m", "1", dir.string()}, out, err, cli::RunEnvironment{}), 1);
    EXPECT_EQ(err.str(), (dir / "d.iff").string() +
                             ": not an IFF ILBM picture (no FORM ... ILBM header)\n"
                             "tambrel-convert: converted 3, skipped 0 (BMP exists), failed 1\n");
    for (const char *bmp : {"a.bmp", "b.bmp", "c.bmp"})
        EXPECT_EQ(fs::file_size(dir / bmp), 54u + 4 * 20 * 3) << bmp;
    EXPECT_FALSE(fs::exists(dir / "e.bmp"));
    EXPECT_FALSE(fs::exists(dir / "f.bmp"));
    fs::remove_all(dir);
}

} // namespace
} // namespace tambrel::test
