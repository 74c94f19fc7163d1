// Every saved fuzz input (fuzz/crashers/), sample picture and seed picture (as
// tambrel_fuzz_seeds writes them) goes through the fuzzer's steps: decode into
// a reused and a fresh record, BMP and exports written and checked, nothing
// left behind.
#include "common/errors.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/seed_pictures.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;
using namespace tambrel::test;
using tambrel::fuzz::InputOutcome;

namespace {

InputOutcome Replay(const Bytes &bytes, const std::string &dir) {
    try {
        return tambrel::fuzz::RunOneInput(bytes, dir);
    } catch (const tambrel::TambrelError &e) {
        ADD_FAILURE() << "unexpected error " << e.Number << ": " << e.what();
        return InputOutcome::Skipped;
    }
}

TEST(FuzzReplay, SavedInputsSamplesAndSeedsRunCleanly) {
    ScratchDir dir;
    const fs::path root = TAMBREL_SOURCE_DIR;
    for (const char *folder : {"fuzz/crashers", "samples"}) {
        ASSERT_TRUE(fs::is_directory(root / folder)) << (root / folder) << " is missing";
        for (const auto &e : fs::directory_iterator(root / folder)) {
            const std::string name = e.path().filename().string();
            if (!e.is_regular_file() || name.starts_with(".") || name.ends_with(".md")) {
                continue;
            }
            SCOPED_TRACE(e.path().string());
            const InputOutcome outcome = Replay(ReadBytes(e.path().string()), dir.Path());
            EXPECT_NE(outcome, InputOutcome::Skipped) << "too large to replay";
            if (std::string(folder) == "samples" && name.ends_with(".iff")) {
                EXPECT_EQ(outcome, InputOutcome::Written);
            }
        }
    }
    const auto seeds = tambrel::fuzz::SeedPictures();
    ASSERT_GE(seeds.size(), 15u);
    // Twice over: the second pass meets the record as every picture left it.
    for (int pass = 0; pass < 2; ++pass) {
        for (const auto &seed : seeds) {
            SCOPED_TRACE(seed.Name);
            EXPECT_EQ(Replay(seed.Bytes, dir.Path()), InputOutcome::Written);
        }
    }
    EXPECT_TRUE(Entries(dir.Path()).empty()) << "the replay leaves nothing behind";
}

TEST(FuzzReplay, SizeFilterSeesEveryHeader) {
    // The fuzzer skips pictures between its own limit and the refusal size,
    // wherever their BMHD stands; larger ones reach the decoder's refusal.
    auto withHeader = [](std::uint16_t w, std::uint16_t h) {
        BmhdFields f;
        f.Width = w;
        f.Height = h;
        f.Bitplanes = 1;
        return IlbmBuilder().Chunk("JUNK", {1, 2, 3}).Bmhd(f).Body({0, 0}).Build();
    };
    EXPECT_EQ(tambrel::fuzz::LargestDeclaredPixels(withHeader(15, 3)), 17u * 4u);
    EXPECT_EQ(tambrel::fuzz::LargestDeclaredPixels(withHeader(4096, 4096)), 4097u * 4097u);
    EXPECT_EQ(tambrel::fuzz::LargestDeclaredPixels(withHeader(65535, 65535)), 0u);
    ScratchDir dir;
    EXPECT_EQ(Replay(withHeader(4096, 4096), dir.Path()), InputOutcome::Skipped);
    EXPECT_EQ(Replay(withHeader(65535, 65535), dir.Path()), InputOutcome::Refused);
}

} // namespace
