// Each samples/NAME.iff's BMP against samples/expected/NAME.bmp.sha256; a mismatch keeps it.
#include "output/bmp_writer.h"
#include "test_util.h"

#include <cstdio>

namespace tambrel::test {
namespace {

namespace fs = std::filesystem;

std::string Sha256Of(const std::string &path) {
    char hex[65] = {};
    if (FILE *p = popen(("sha256sum '" + path + "'").c_str(), "r")) {
        if (std::fscanf(p, "%64s", hex) != 1)
            hex[0] = 0;
        pclose(p);
    }
    return hex;
}

std::vector<std::string> Stems(const fs::path &folder, const std::string &suffix) {
    std::vector<std::string> stems;
    for (const std::string &name : TempDir::EntriesOf(folder.string()))
        if (name.ends_with(suffix))
            stems.push_back(name.substr(0, name.size() - suffix.size()));
    return stems;
}

TEST(Samples, EveryBmpMatchesItsExpectedOutput) {
    const fs::path samples = fs::path(TAMBREL_SOURCE_DIR) / "samples";
    const fs::path actual = TAMBREL_SAMPLES_ACTUAL;
    fs::create_directories(actual);
    const auto pictures = Stems(samples, ".iff");
    ASSERT_FALSE(pictures.empty());
    EXPECT_EQ(pictures, Stems(samples / "expected", ".bmp.sha256"))
        << "every sample has one expected output, and no other is there";
    for (const std::string &name : pictures) {
        IFF_Picture pic;
        ASSERT_EQ(LoadIffPicture(pic, (samples / (name + ".iff")).string(), false), 1) << name;
        const std::string bmp = (actual / (name + ".bmp")).string();
        WriteBitmapFile(pic, bmp, pic.Width, pic.Height);
        const std::string got = Sha256Of(bmp);
        const Bytes file = ReadBytes((samples / "expected" / (name + ".bmp.sha256")).string());
        const std::string want(file.begin(), file.begin() + std::min<std::size_t>(64, file.size()));
        EXPECT_EQ(got, want) << name << ": the BMP written is kept as " << bmp;
        if (got == want)
            fs::remove(bmp);
    }
}

} // namespace
} // namespace tambrel::test
