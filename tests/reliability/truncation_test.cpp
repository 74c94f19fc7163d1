// Seed and sample pictures cut short: the
// load never fails, gives result 0 before the FORM header is whole and 1 after
// it, reads the size once the BMHD is whole, finds the BODY once its header is
// whole, decodes every row whose data lies before the cut exactly as the whole
// file does and leaves the rows after it at pixel value 0. The seed pictures
// are cut at every byte offset, and each cut also goes through the BMP and
// export writers. The samples (up to 80 KB each) are cut at every offset of
// their header chunks, of the first 2 KB of the BODY and next to every row's
// end, and at every 31st byte elsewhere; TAMBREL_EVERY_OFFSET=1 cuts them at
// every byte too (about two minutes).
#include "decoder/iff_loader.h"
#include "fuzz/fuzz_harness.h"
#include "fuzz/seed_pictures.h"
#include "tests/reliability/hostile_support.h"
#include "tests/support/ilbm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

using namespace tambrel;
using namespace tambrel::test;
namespace fs = std::filesystem;

namespace {

struct Picture {
    std::string Name;
    Bytes File;
    bool ThroughWriters; // also write the BMP and exports of every cut
};

std::vector<Picture> Pictures() {
    std::vector<Picture> list;
    for (auto &seed : fuzz::SeedPictures()) {
        list.push_back({seed.Name, std::move(seed.Bytes), true});
    }
    std::vector<fs::path> samples;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(fs::path(TAMBREL_SOURCE_DIR) / "samples", ec)) {
        if (e.path().extension() == ".iff") {
            samples.push_back(e.path());
        }
    }
    std::sort(samples.begin(), samples.end());
    for (const auto &p : samples) {
        list.push_back({"sample_" + p.stem().string(), ReadBytes(p.string()), false});
    }
    return list;
}

std::ostream &operator<<(std::ostream &os, const Picture &p) {
    return os << p.Name;
}

class CutAtEveryOffset : public ::testing::TestWithParam<Picture> {};

TEST_P(CutAtEveryOffset, DefinedOutcome) {
    const Picture &picture = GetParam();
    const Bytes &file = picture.File;
    auto whole = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*whole, file, "/pics/whole.iff", false), 1);
    ASSERT_EQ(whole->BodyFound, -1);

    // Where the header and the (last) BODY's data begin; the pictures with a
    // second BMHD after their first BODY only get the general checks.
    const auto chunks = ChunksOf(file);
    const auto bmhd =
        std::find_if(chunks.begin(), chunks.end(), [](const ChunkAt &c) { return c.Id == "BMHD"; });
    ASSERT_NE(bmhd, chunks.end());
    const auto body = std::find_if(chunks.rbegin(), chunks.rend(),
                                   [](const ChunkAt &c) { return c.Id == "BODY"; });
    ASSERT_NE(body, chunks.rend());
    const bool simple = std::count_if(chunks.begin(), chunks.end(), [](const ChunkAt &c) {
                            return c.Id == "BMHD" || c.Id == "BODY";
                        }) == 2;
    const std::size_t headerData = bmhd->Offset + 8;
    const std::size_t bodyData = body->Offset + 8;
    const std::size_t firstBodyData =
        std::find_if(chunks.begin(), chunks.end(), [](const ChunkAt &c) { return c.Id == "BODY"; })
            ->Offset +
        8;
    const int planes = whole->Bitplanes + (whole->Masking == 1 ? 1 : 0);
    const std::size_t s = static_cast<std::size_t>(whole->RowBytes + whole->RowBytes % 2);
    const auto ends = RowEnds(file, bodyData, whole->Height, planes, s, whole->Packtype != 0);

    // The offsets to cut at.
    std::vector<bool> cutHere(file.size() + 1, true);
    const char *every = std::getenv("TAMBREL_EVERY_OFFSET");
    if (!picture.ThroughWriters && !(every && std::string(every) == "1")) {
        for (std::size_t cut = firstBodyData + 2048; cut <= file.size(); ++cut) {
            cutHere[cut] = cut % 31 == 0;
        }
        for (const std::size_t end : ends) {
            for (std::size_t c = end - 1; c <= end + 1 && c <= file.size(); ++c) {
                cutHere[c] = true;
            }
        }
        cutHere[file.size()] = true;
    }

    const std::string work = fuzz::MakeWorkDir();
    auto pic = std::make_unique<IFF_Picture>();
    int failures = 0;
    for (std::size_t cut = 0; cut <= file.size() && failures < 5; ++cut) {
        if (!cutHere[cut]) {
            continue;
        }
        SCOPED_TRACE("cut at " + std::to_string(cut));
        const std::span<const std::uint8_t> part(file.data(), cut);
        const int result = LoadIffPictureFromMemory(*pic, part, "/pics/cut.iff", false);
        const int before = ::testing::Test::HasFailure() ? 1 : 0;
        if (cut < 12) {
            EXPECT_EQ(result, 0);
            EXPECT_EQ(pic->BodyFound, 0);
            continue;
        }
        EXPECT_EQ(result, 1);
        EXPECT_EQ(pic->LoadResult, 1);
        if (cut < headerData) {
            EXPECT_EQ(pic->Width, 0);
            EXPECT_EQ(pic->Height, 0);
        }
        if (simple && cut >= headerData + 20) {
            EXPECT_EQ(pic->Width, whole->Width);
            EXPECT_EQ(pic->Height, whole->Height);
        }
        EXPECT_EQ(pic->BodyFound, cut >= firstBodyData ? -1 : 0);
        if (cut >= bodyData && pic->BodyFound == -1) {
            ASSERT_EQ(pic->PixelIndices.Columns(), whole->PixelIndices.Columns());
            ASSERT_EQ(pic->PixelIndices.Rows(), whole->PixelIndices.Rows());
            const auto width = static_cast<std::size_t>(whole->Width);
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
        if (picture.ThroughWriters) {
            EXPECT_NE(fuzz::RunOneInput(part, work), fuzz::InputOutcome::Skipped);
        }
        failures += (::testing::Test::HasFailure() ? 1 : 0) - before;
    }
    fs::remove_all(work);
}

std::string PictureName(const ::testing::TestParamInfo<Picture> &info) {
    std::string name = info.param.Name;
    std::replace_if(
        name.begin(), name.end(), [](char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Pictures, CutAtEveryOffset, ::testing::ValuesIn(Pictures()), PictureName);

} // namespace
