// The program under `ulimit -f`: BMPs past the limit fail (no SIGXFSZ), each
// reported with its output, and the run goes on, counts them and exits 1.
#include "cli/converter.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>

using namespace tambrel::test;

namespace {

TEST(ConverterProgram, FileSizeLimitFailsTheLargePicturesOnly) {
    TempDir dir;
    // BMPs of 32 x 32 (4150 bytes) fit under the limit, those of 128 x 128 (65590) do not.
    for (const auto &[name, size] :
         {std::pair{"big1", 128}, {"small1", 32}, {"big2", 128}, {"small2", 32}, {"small3", 32}})
        WriteBytes(dir / name + ".iff", TestPicture(size, 4, static_cast<unsigned>(size + 3)));
    WriteBytes(dir / "big2.bmp", kOldContents);
    const auto [status, err] = InChild([&] {
        const rlimit rl{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        Exec({"-m", "1", "-j", "2", dir.Path()});
    });
    EXPECT_EQ(status, tambrel::cli::kExitFailed) << "1000 + signal when a signal ended it";
    for (const char *big : {"big1", "big2"}) {
        EXPECT_TRUE(Contains(err, dir / big + ".iff: ")) << err;
        EXPECT_TRUE(Contains(err, dir / big + ".bmp")) << "names the output: " << err;
    }
    EXPECT_TRUE(Contains(err, "converted 3, skipped 0 (BMP exists), failed 2")) << err;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"big1.iff", "big2.bmp", "big2.iff",
                                                       "small1.bmp", "small1.iff", "small2.bmp",
                                                       "small2.iff", "small3.bmp", "small3.iff"}));
    EXPECT_EQ(ReadBytes(dir / "big2.bmp"), kOldContents);
    EXPECT_EQ(std::filesystem::file_size(dir / "small2.bmp"), 54u + 4 * 32 * 32);
}

} // namespace
