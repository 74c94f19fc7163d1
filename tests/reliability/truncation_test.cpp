// Seed pictures (every kind the decoder tells apart) cut at every offset: the
// load gives result 0 before the FORM header is whole and 1 after it, reads
// the size once the BMHD is whole, finds the BODY once its header is whole,
// decodes every row whose data lies before the cut as the whole file does and
// leaves the rows after it at value 0; each cut also goes through the BMP and
// export writers.
#include "decoder/iff_loader.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/seed_pictures.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>

using namespace tambrel;
using namespace tambrel::test;
namespace fs = std::filesystem;

namespace tambrel::fuzz {
void PrintTo(const SeedPicture &p, std::ostream *os) {
    *os << p.Name;
}
} // namespace tambrel::fuzz

namespace {

using Picture = fuzz::SeedPicture;

class CutAtEveryOffset : public ::testing::TestWithParam<Picture> {};

TEST_P(CutAtEveryOffset, DefinedOutcome) {
    const Picture &picture = GetParam();
    const Bytes &file = picture.Bytes;
    auto whole = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*whole, file, "/pics/whole.iff", false), 1);
    ASSERT_EQ(whole->BodyFound, -1);

    // Where the header, the first and the last BODY's data begin; pictures
    // with a second BMHD after their first BODY only get the general checks.
    std::size_t headerData = 0, firstBodyData = 0, bodyData = 0;
    int headersAndBodies = 0;
    for (const ChunkAt &c : ChunksOf(file)) {
        if (c.Id == "BMHD" && headerData == 0) {
            headerData = c.Offset + 8;
        }
        if (c.Id == "BODY" || c.Id == "ABIT") {
            bodyData = c.Offset + 8;
            firstBodyData = firstBodyData == 0 ? bodyData : firstBodyData;
        }
        headersAndBodies += c.Id == "BMHD" || c.Id == "BODY";
    }
    ASSERT_TRUE(headerData != 0 && bodyData != 0);
    const bool simple = headersAndBodies == 2;
    // A PBM row is one plane row of Width bytes; ABIT and VDAT bodies hold whole
    // planes, so no row of theirs lies before any cut.
    const bool chunky = whole->Form == FormKind::Pbm;
    const bool rowLayout = whole->Form != FormKind::Acbm && !whole->VerticalBody;
    const int planes = chunky ? 1 : whole->Bitplanes + (whole->Masking == 1 ? 1 : 0);
    const auto rowBytes = static_cast<std::size_t>(chunky ? whole->Width + whole->Width % 2
                                                          : whole->RowBytes + whole->RowBytes % 2);
    const auto ends =
        RowEnds(file, bodyData, whole->Height, planes, rowBytes, whole->Packtype != 0);

    const std::string work = fuzz::MakeWorkDir();
    auto pic = std::make_unique<IFF_Picture>();
    const auto width = static_cast<std::size_t>(whole->Width);
    // Stops after 5 cuts with failures: one broken rule fails nearly every cut.
    const auto failureCount = [] {
        return ::testing::UnitTest::GetInstance()
            ->current_test_info()
            ->result()
            ->total_part_count();
    };
    int failingCuts = 0;
    for (std::size_t cut = 0; cut <= file.size() && failingCuts < 5; ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const int before = failureCount();
        const std::span<const std::uint8_t> part(file.data(), cut);
        const int result = LoadIffPictureFromMemory(*pic, part, "/pics/cut.iff", false);
        EXPECT_EQ(result, cut < 12 ? 0 : 1);
        EXPECT_EQ(pic->LoadResult, result);
        EXPECT_EQ(pic->BodyFound, cut >= firstBodyData ? -1 : 0);
        if (cut < headerData) {
            EXPECT_EQ(pic->Width, 0);
            EXPECT_EQ(pic->Height, 0);
        } else if (simple && cut >= headerData + 20) {
            EXPECT_EQ(pic->Width, whole->Width);
            EXPECT_EQ(pic->Height, whole->Height);
        }
        if (rowLayout && cut >= bodyData && pic->BodyFound == -1) {
            ASSERT_EQ(pic->PixelIndices.Columns(), whole->PixelIndices.Columns());
            ASSERT_EQ(pic->PixelIndices.Rows(), whole->PixelIndices.Rows());
            for (int y = 1; y <= whole->Height; ++y) {
                const std::size_t start = y == 1 ? bodyData : ends[y - 2];
                const std::uint8_t *got = pic->PixelIndices.Row(y);
                if (ends[y - 1] <= cut) {
                    EXPECT_TRUE(std::equal(got, got + width, whole->PixelIndices.Row(y)))
                        << "row " << y << " differs from the whole file's";
                } else if (start >= cut) {
                    EXPECT_TRUE(std::all_of(got, got + width, [](auto v) { return v == 0; }))
                        << "row " << y << " after the cut is not zero";
                }
            }
        }
        if (cut >= 12) {
            EXPECT_NE(fuzz::RunOneInput(part, work), fuzz::InputOutcome::Skipped);
        }
        failingCuts += failureCount() > before ? 1 : 0;
    }
    fs::remove_all(work);
}

INSTANTIATE_TEST_SUITE_P(Pictures, CutAtEveryOffset, ::testing::ValuesIn(fuzz::SeedPictures()),
                         [](const auto &info) {
                             std::string name = info.param.Name;
                             std::replace_if(
                                 name.begin(), name.end(), [](char c) { return !std::isalnum(c); },
                                 '_');
                             return name;
                         });

} // namespace
