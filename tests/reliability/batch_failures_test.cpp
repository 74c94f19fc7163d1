// Batch conversions where some outputs cannot be written: the converter goes on
// with the next file, reports every failed file naming its output, counts the
// failures in its summary, exits with status 1 and leaves no partial file.
#include "cli/converter.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <sstream>
#include <thread>

using namespace tambrel::test;
namespace fs = std::filesystem;

namespace {

TEST(BatchFailures, OutputFolderRemovedDuringTheRun) {
    ScratchDir dir;
    const std::string in = dir / "in", out = dir / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    constexpr int kFiles = 200;
    for (int i = 0; i < kFiles; ++i) {
        WriteBytes(in + "/p" + std::to_string(1000 + i) + ".iff",
                   TestPicture(128, 4, static_cast<unsigned>(i + 1)));
    }
    // Removes the output folder as soon as the first BMP appears in it.
    std::atomic<bool> done = false;
    std::thread remover([&] {
        while (!done && !fs::exists(out + "/p1000.bmp")) {
            std::this_thread::yield();
        }
        // Again while files being written reappear in it.
        std::error_code ec;
        while (!done && fs::exists(out)) {
            fs::remove_all(out, ec);
        }
    });
    const auto [status, text] = InProcess({"-v", "-m", "1", "-j", "1", "-o", out, in});
    done = true;
    remover.join();

    // Every file is either written or failed, naming its output.
    int written = 0, failed = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (Contains(line, " -> " + out + "/")) {
            ++written;
        } else if (line.starts_with(in + "/")) {
            ++failed;
            EXPECT_TRUE(Contains(line, out + "/p")) << "names the output: " << line;
        }
    }
    if (failed == 0) {
        GTEST_SKIP() << "the run ended before the folder was removed";
    }
    EXPECT_EQ(status, tambrel::cli::kExitFailed);
    EXPECT_EQ(written + failed, kFiles) << text;
    EXPECT_TRUE(Contains(text, "converted " + std::to_string(written) +
                                   ", skipped 0 (BMP exists), failed " + std::to_string(failed)))
        << text;
    EXPECT_FALSE(fs::exists(out)) << "nothing re-created the removed folder";
    EXPECT_EQ(Entries(in).size(), std::size_t{kFiles}) << "nothing went anywhere else";
}

// The program itself under `ulimit -f`: the BMPs too large for the limit fail
// with a report instead of SIGXFSZ ending the program, and the run goes on.
TEST(ConverterProgram, FileSizeLimitFailsTheLargePicturesOnly) {
    ScratchDir dir;
    const std::string in = dir / "in";
    fs::create_directories(in);
    // BMPs of 32 x 32 (4150 bytes) fit under the limit, those of 128 x 128 (65590) do not.
    for (const auto &[name, size] : std::vector<std::pair<std::string, int>>{
             {"big1", 128}, {"small1", 32}, {"big2", 128}, {"small2", 32}, {"small3", 32}}) {
        WriteBytes(in + "/" + name + ".iff", TestPicture(size, 4, static_cast<unsigned>(size + 3)));
    }
    WriteBytes(in + "/big2.bmp", kOldContents);
    const auto [status, err] = Program({"-m", "1", "-j", "2", in}, [] {
        const rlimit rl{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &rl);
    });
    EXPECT_EQ(status, tambrel::cli::kExitFailed) << "1000 + signal when a signal ended it";
    for (const char *big : {"big1", "big2"}) {
        EXPECT_TRUE(Contains(err, in + "/" + big + ".iff: ")) << err;
        EXPECT_TRUE(Contains(err, in + "/" + big + ".bmp")) << "names the output: " << err;
    }
    EXPECT_TRUE(Contains(err, "converted 3, skipped 0 (BMP exists), failed 2")) << err;
    EXPECT_EQ(Entries(in), (std::vector<std::string>{"big1.iff", "big2.bmp", "big2.iff",
                                                     "small1.bmp", "small1.iff", "small2.bmp",
                                                     "small2.iff", "small3.bmp", "small3.iff"}));
    EXPECT_EQ(ReadBytes(in + "/big2.bmp"), kOldContents);
    EXPECT_EQ(fs::file_size(in + "/small2.bmp"), 54u + 4 * 32 * 32);
}

} // namespace
