// The fuzzer's steps on saved inputs and samples, and on seed pictures cut at every offset.
#include "decoder/iff_loader.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/seed_pictures.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <regex>

using namespace tambrel;
using namespace tambrel::test;
using fuzz::InputOutcome;
namespace fs = std::filesystem;

namespace {

// Decoded into a reused and a fresh record, BMP and exports written and checked.
TEST(FuzzReplay, SavedInputsAndSamplesRunCleanly) {
    TempDir dir;
    const fs::path root = TAMBREL_SOURCE_DIR;
    for (const char *folder : {"fuzz/crashers", "samples"}) {
        ASSERT_TRUE(fs::is_directory(root / folder)) << (root / folder) << " is missing";
        for (const auto &e : fs::directory_iterator(root / folder)) {
            const std::string name = e.path().filename().string();
            if (!e.is_regular_file() || name.starts_with(".") || name.ends_with(".md"))
                continue;
            SCOPED_TRACE(e.path().string());
            const InputOutcome outcome =
                fuzz::RunOneInput(ReadBytes(e.path().string()), dir.Path());
            EXPECT_NE(outcome, InputOutcome::Skipped) << "too large to replay";
            if (std::string(folder) == "samples" && name.ends_with(".iff")) {
                EXPECT_EQ(outcome, InputOutcome::Written);
            }
        }
    }
    EXPECT_TRUE(dir.Entries().empty()) << "the replay leaves nothing behind";
}

// The fields as far as the cut file has them; rows before the cut exact, after it 0.
class CutAtEveryOffset : public ::testing::TestWithParam<fuzz::SeedPicture> {};

TEST_P(CutAtEveryOffset, DefinedOutcome) {
    const Bytes &file = GetParam().Bytes;
    auto whole = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*whole, file, "/pics/whole.iff", false), 1);
    ASSERT_EQ(whole->BodyFound, -1);

    // Where the header's and the first BODY's data begin; pictures with a
    // second BMHD after their first BODY only get the general checks.
    std::size_t headerData = 0, bodyData = 0;
    int headersAndBodies = 0;
    for (std::size_t p = 12, size = 0; p + 8 <= file.size(); p += 8 + size + size % 2) {
        const std::string id(file.begin() + std::ptrdiff_t(p),
                             file.begin() + std::ptrdiff_t(p) + 4);
        size = std::size_t{file[p + 4]} << 24 | file[p + 5] << 16 | file[p + 6] << 8 | file[p + 7];
        headerData = id == "BMHD" && headerData == 0 ? p + 8 : headerData;
        bodyData = (id == "BODY" || id == "ABIT") && bodyData == 0 ? p + 8 : bodyData;
        headersAndBodies += id == "BMHD" || id == "BODY";
    }
    ASSERT_TRUE(headerData != 0 && bodyData != 0);
    const bool simple = headersAndBodies == 2;
    // ABIT and VDAT bodies hold whole planes, so no row of theirs lies before any cut.
    const bool rowLayout = whole->Form != FormKind::Acbm && !whole->VerticalBody;

    TempDir work;
    auto pic = std::make_unique<IFF_Picture>();
    const auto width = static_cast<std::size_t>(whole->Width);
    const auto *result = ::testing::UnitTest::GetInstance()->current_test_info()->result();
    // Stops after 5 failures: one broken rule fails nearly every cut.
    for (std::size_t cut = 0; cut <= file.size() && result->total_part_count() < 5; ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::span<const std::uint8_t> part(file.data(), cut);
        const int loaded = LoadIffPictureFromMemory(*pic, part, "/pics/cut.iff", false);
        EXPECT_EQ(loaded, cut < 12 ? 0 : 1);
        EXPECT_EQ(pic->LoadResult, loaded);
        EXPECT_EQ(pic->BodyFound, cut >= bodyData ? -1 : 0);
        if (cut < headerData) {
            EXPECT_EQ(pic->Width, 0);
            EXPECT_EQ(pic->Height, 0);
        } else if (simple && cut >= headerData + 20) {
            EXPECT_EQ(pic->Width, whole->Width);
            EXPECT_EQ(pic->Height, whole->Height);
        }
        // The whole file's rows up to the one the cut falls in, then rows of 0.
        if (rowLayout && simple && pic->BodyFound == -1) {
            ASSERT_EQ(pic->PixelIndices.Rows(), whole->PixelIndices.Rows());
            int y = 1;
            while (y <= whole->Height &&
                   std::equal(pic->PixelIndices.Row(y), pic->PixelIndices.Row(y) + width,
                              whole->PixelIndices.Row(y)))
                ++y;
            for (++y; y <= whole->Height; ++y)
                EXPECT_TRUE(std::all_of(pic->PixelIndices.Row(y), pic->PixelIndices.Row(y) + width,
                                        [](auto v) { return v == 0; }))
                    << "row " << y << " after the cut is not zero";
        }
        // Whole, the picture goes through every writer.
        if (cut >= 12) {
            const InputOutcome outcome = fuzz::RunOneInput(part, work.Path());
            EXPECT_TRUE(cut == file.size() ? outcome == InputOutcome::Written
                                           : outcome != InputOutcome::Skipped);
        }
    }
    EXPECT_TRUE(work.Entries().empty()) << "the fuzzer's steps leave nothing behind";
}

INSTANTIATE_TEST_SUITE_P(Pictures, CutAtEveryOffset, ::testing::ValuesIn(fuzz::SeedPictures()),
                         [](const auto &info) {
                             return std::regex_replace(info.param.Name, std::regex("\\W"), "_");
                         });

} // namespace
