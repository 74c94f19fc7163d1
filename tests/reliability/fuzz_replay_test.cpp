// Every saved fuzz input (fuzz/crashers/, fuzz/corpus-seed/), every sample
// picture and every seed picture goes through the fuzzer's steps: decode into a
// reused and a fresh record, BMP and exports written and checked, nothing left behind.
#include "decoder/errors.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/seed_pictures.h"
#include "tests/support/ilbm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using tambrel::fuzz::InputOutcome;

namespace {

std::vector<fs::path> FilesIn(const fs::path &dir, const std::string &extension = "") {
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(dir, ec)) {
        if (!e.is_regular_file() || e.path().filename().string().starts_with(".")) {
            continue;
        }
        std::string ext = e.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), ::tolower);
        if (extension.empty() || ext == extension) {
            files.push_back(e.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class WorkDir {
  public:
    WorkDir() : path_(tambrel::fuzz::MakeWorkDir()) {}
    ~WorkDir() { fs::remove_all(path_); }
    const std::string &Path() const { return path_; }

  private:
    std::string path_;
};

InputOutcome Replay(const std::vector<std::uint8_t> &bytes, const std::string &dir) {
    try {
        return tambrel::fuzz::RunOneInput(bytes, dir);
    } catch (const tambrel::TambrelError &e) {
        ADD_FAILURE() << "unexpected error " << e.Number << ": " << e.what();
        return InputOutcome::Refused;
    }
}

} // namespace

TEST(FuzzReplay, SavedCrashInputsAndCorpusRunCleanly) {
    WorkDir dir;
    const fs::path root = TAMBREL_SOURCE_DIR;
    std::size_t count = 0;
    for (const char *folder : {"fuzz/crashers", "fuzz/corpus-seed"}) {
        for (const fs::path &file : FilesIn(root / folder)) {
            SCOPED_TRACE(file.string());
            const auto outcome = Replay(tambrel::test::ReadBytes(file.string()), dir.Path());
            EXPECT_NE(outcome, InputOutcome::Skipped) << "too large to replay";
            ++count;
        }
    }
    RecordProperty("inputs", static_cast<int>(count));
}

TEST(FuzzReplay, SamplePicturesAreWritten) {
    WorkDir dir;
    const auto samples = FilesIn(fs::path(TAMBREL_SOURCE_DIR) / "samples", ".iff");
    for (const fs::path &file : samples) {
        SCOPED_TRACE(file.string());
        EXPECT_EQ(Replay(tambrel::test::ReadBytes(file.string()), dir.Path()),
                  InputOutcome::Written);
    }
}

TEST(FuzzReplay, SeedPicturesAreWrittenTwice) {
    WorkDir dir;
    const auto seeds = tambrel::fuzz::SeedPictures();
    ASSERT_GE(seeds.size(), 15u);
    // Twice over: the second pass meets the record as every picture left it.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto &seed : seeds) {
            SCOPED_TRACE(seed.Name);
            EXPECT_EQ(Replay(seed.Bytes, dir.Path()), InputOutcome::Written);
        }
    }
}

TEST(FuzzReplay, SizeFilterSeesEveryHeader) {
    // The fuzzer skips pictures between its own limit and the refusal size,
    // wherever their BMHD stands; larger ones reach the decoder's refusal.
    using tambrel::test::BmhdFields;
    using tambrel::test::IlbmBuilder;
    auto withHeader = [](std::uint16_t w, std::uint16_t h) {
        BmhdFields f;
        f.Width = w;
        f.Height = h;
        f.Bitplanes = 1;
        return IlbmBuilder().Chunk("JUNK", {1, 2, 3}).Bmhd(f).Body({0, 0}).Build();
    };
    EXPECT_EQ(tambrel::fuzz::LargestDeclaredPixels(withHeader(15, 3)), 17u * 4u);
    EXPECT_EQ(tambrel::fuzz::LargestDeclaredPixels(withHeader(4096, 4096)), 4097u * 4097u);
    // 65535 x 65535 exceeds both measures: nothing the decoder would hold.
    EXPECT_EQ(tambrel::fuzz::LargestDeclaredPixels(withHeader(65535, 65535)), 0u);
    WorkDir dir;
    EXPECT_EQ(Replay(withHeader(4096, 4096), dir.Path()), InputOutcome::Skipped);
    EXPECT_EQ(Replay(withHeader(65535, 65535), dir.Path()), InputOutcome::Refused);
}
