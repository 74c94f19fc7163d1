// Pictures netpbm's ppmtoilbm makes, decoded here and by its ilbmtoppm: every pixel alike.
#include "decoder/iff_loader.h"
#include "output/picture_pixels.h"
#include "tests/support/ilbm_writer.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <tuple>

namespace tambrel::test {
namespace {

TEST(Netpbm, PicturesDecodeAsIlbmtoppmDecodesThem) {
    constexpr int kWidth = 37, kHeight = 11; // odd: rows end inside a plane word
    const std::string head = "P6\n37 11\n255\n";
    Bytes ppm(head.begin(), head.end()); // 61 colours far apart, few repeating side by side
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const unsigned c = (i % kWidth * 5 + i / kWidth * 3) % 61 * 0x4F1BD3u;
        ppm.insert(ppm.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
    }
    TempDir dir;
    WriteBytes(dir / "in.ppm", ppm);
    // ilbmtoppm keeps the low four bits of a component a HAM6 pixel changes, from the
    // pixel before; the display repeats the new four bits (4 shows as 0x44), as here.
    const std::tuple<const char *, int, bool> kinds[] = {{"-maxplanes 6", 6, false},
                                                         {"-ham6", 6, true},
                                                         {"-ham8", 8, false},
                                                         {"-24force", 24, false}};
    for (const auto &[options, planes, fourBits] : kinds)
        for (const bool packed : {true, false}) {
            SCOPED_TRACE(std::string(options) + (packed ? " packed" : " plain"));
            const std::string iff = dir / "p.iff", ref = dir / "p.ppm";
            const std::string make = std::string("ppmtoilbm -quiet ") + options +
                                     (packed ? " -compress " : " -nocompress ") + dir / "in.ppm" +
                                     " >" + iff + " && ilbmtoppm -quiet " + iff + " >" + ref;
            ASSERT_EQ(std::system(make.c_str()), 0);
            IFF_Picture pic;
            ASSERT_EQ(LoadIffPicture(pic, iff, false), 1);
            EXPECT_EQ(pic.Bitplanes, planes);
            EXPECT_EQ(pic.Packtype, packed ? 1 : 0);
            EXPECT_EQ(pic.IsHam(), options[1] == 'h');
            Bytes ours(head.begin(), head.end());
            ours.resize(ppm.size());
            for (int y = 0; y < kHeight; ++y)
                RgbRow(pic, y, ours.data() + head.size() + 3 * kWidth * y);
            Bytes theirs = ReadBytes(ref);
            for (std::size_t i = head.size(); fourBits && i < theirs.size(); ++i)
                theirs[i] = static_cast<std::uint8_t>((theirs[i] & 0xF0) | theirs[i] >> 4);
            EXPECT_EQ(ours, theirs);
        }
}

} // namespace
} // namespace tambrel::test
