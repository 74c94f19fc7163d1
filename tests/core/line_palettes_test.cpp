// Colours without a CMAP (grey ramp, CMYK inks); SHAM and PCHG palette changes line by line.
#include "test_util.h"

#include "decoder/colour_cycles.h"

namespace tambrel::test {
namespace {

using Ck = std::pair<std::string, Bytes>; // a chunk; "BODY" with no data: the picture's BODY
const Ck kBody{"BODY", {}};
const Ck kCmap{"CMAP", CmapData(std::vector<std::uint32_t>{0, 0x102030})};

// A SHAM chunk whose line n changes entry 1 to colours[n] and the others to 0.
Ck Sham(std::vector<std::uint16_t> colours) {
    Bytes out(2, 0);
    for (std::uint16_t c : colours)
        for (int i = 0; i < 16; ++i)
            PutWord(out, i == 1 ? c : 0);
    return {"SHAM", out};
}
// A PCHG chunk: compression 0, `flags`, start line, line count, zeros, then `data`.
Ck Pchg(int flags, int start, int count, Bytes data) {
    Bytes out;
    for (int w : {0, flags, start, count, 0, 0, 0, 0, 0, 0})
        PutWord(out, static_cast<std::uint32_t>(w));
    out.insert(out.end(), data.begin(), data.end());
    return {"PCHG", out};
}

struct Case {
    const char *name;
    int planes, value; // value: of every pixel
    std::vector<Ck> chunks;
    std::vector<std::uint32_t> rows;
};

TEST(LinePalettes, ColoursPerRow) {
    auto camg = [](std::uint32_t id) { return Ck{"CAMG", CamgData(id)}; };
    // clang-format off
    const Case cases[] = {
        {"Grey1", 1, 1, {kBody}, {0xFFFFFF}},
        {"Grey3", 3, 3, {camg(0), kBody}, {0x6D6D6D}},
        // 255 - ink, times 255 - black, over 255, rounded: 191 * 127 / 255 = 95.1.
        {"Cmyk", 1, 1, {{"CMYK", {0, 0, 0, 0, 0x40, 0x80, 0xFF, 0x80}}, kBody}, {0x5F3F00}},
        {"CmykAfterBody", 1, 1, {kBody, {"CMYK", {0, 0, 0, 0, 0xFF, 0, 0, 0}}}, {0x00FFFF}},
        {"CmapWins", 1, 1, {kBody, {"CMYK", Bytes(8, 0)}, kCmap}, {0x102030}},
        // A version word, then 16 words a line; interlaced: a line for two rows.
        {"Sham", 6, 1, {kCmap, camg(0x800), kBody, Sham({0xF00, 0x0F0, 0x00F})},
         {0xFF0000, 0x00FF00, 0x0000FF}},
        {"ShamLaced", 6, 1, {kCmap, camg(0x804), Sham({0xF00, 0x0F0}), kBody},
         {0xFF0000, 0xFF0000, 0x00FF00}},
        {"ShamNotHam", 4, 1, {kCmap, camg(0), Sham({0xF00}), kBody}, {0x102030}},
        // 12-bit: lines 1 and 2 marked; each word's top nibble gives the entry.
        {"Pchg12", 4, 1, {kCmap, camg(0),
          Pchg(1, 1, 2, {0xC0, 0, 0, 0, 1, 0, 0x1F, 0, 1, 0, 0x10, 0xF0}), kBody},
         {0x102030, 0xFF0000, 0x00FF00}},
        // The second count's entries are 16-31.
        {"Pchg12High", 5, 17, {camg(0), Pchg(1, 0, 1, {0x80, 0, 0, 0, 0, 1, 0x1F, 0}), kBody},
         {0xFF0000}},
        // 32-bit: a register word, then alpha, red, blue, green.
        {"Pchg32", 4, 1, {kCmap, camg(0), kBody,
          Pchg(2, 0, 1, {0x80, 0, 0, 0, 0, 1, 0, 1, 0, 0x12, 0x56, 0x34})}, {0x123456, 0x123456}},
        // Rows past a BODY cut after row 0 are entry 0, as each row's palette has it.
        {"ShortBody", 4, 1, {kCmap, camg(0), Pchg(1, 2, 1, {0x80, 0, 0, 0, 1, 0, 0x0F, 0x0F}),
          {"BODY", {0xFF, 0, 0, 0, 0, 0, 0, 0}}}, {0x102030, 0, 0xFF00FF}},
        {"ShortBodyHam", 6, 0x21, {kCmap, camg(0x800), Pchg(1, 2, 1, {0x80, 0, 0, 0, 1, 0, 0x0F, 0x0F}),
          {"BODY", {0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0}}}, {0x110000, 0, 0xFF00FF}},
        // Extra Half-Brite: entry 33 is the darker copy of the changed entry 1.
        {"PchgHalfBrite", 6, 33,
         {kCmap, camg(0x80), Pchg(1, 0, 1, {0x80, 0, 0, 0, 1, 0, 0x1F, 0}), kBody}, {0x7F0000}},
    };
    // clang-format on
    // Every PCHG case again with its chunk Huffman-packed: the same colours.
    for (const Case &c : cases)
        for (bool packed : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (packed ? " packed" : ""));
            ChunkyImage img(8, static_cast<int>(c.rows.size()), c.planes);
            std::fill(img.Pixels.begin(), img.Pixels.end(), static_cast<std::uint8_t>(c.value));
            IlbmBuilder b = IlbmBuilder().Bmhd(HeaderFor(img, false));
            for (const Ck &ck : c.chunks)
                b.Chunk(ck.first, ck.first == "BODY" && ck.second.empty() ? BodyData(img, false)
                                  : packed && ck.first == "PCHG" ? HuffmanPackedPchg(ck.second)
                                                                 : ck.second);
            IFF_Picture pic;
            ASSERT_EQ(LoadBytes(pic, b.Build()), 1);
            for (std::size_t y = 0; y < c.rows.size(); ++y)
                EXPECT_EQ(pic.PixelColours.ValueAt(7, y + 1), c.rows[y]) << "row " << y;
        }
}

// Colour cycling ranges from hand-made CRNG, CCRT and DRNG bytes, after an odd-sized chunk.
TEST(ColourCycles, ReadsTheThreeRangeChunksAndTurnsTheEntries) {
    const Bytes file =
        IlbmBuilder()
            .Chunk("ABCD", {1, 2, 3})
            .Chunk("CRNG", {0, 0, 0x20, 0, 0, 3, 2, 5}) // 30/s, active, reverse
            .Chunk("CCRT", {0, 1, 1, 3, 0, 0, 0, 1, 0, 7, 0xA1, 0x20, 0, 0})
            .Chunk("DRNG", {4, 7, 0x40, 0, 0, 1, 1, 2, 5, 0xFF, 0x80, 0, 4, 10, 7, 11})
            .Chunk("CRNG", {0, 0, 0x40, 0, 0, 0, 1, 9}) // not active
            .Build();
    const std::vector<CycleRange> r = ReadColourCycles(file.data(), file.size());
    ASSERT_EQ(r.size(), 4u);
    EXPECT_TRUE(r[0].Reverse && r[0].Cycles());
    EXPECT_DOUBLE_EQ(r[0].StepsPerSecond, 30);
    EXPECT_EQ(StepsAfter(r[0], 0.51), 15);
    EXPECT_FALSE(r[1].Reverse);
    EXPECT_DOUBLE_EQ(r[1].StepsPerSecond, 1 / 1.5); // 1 s + 500000 µs a step
    EXPECT_DOUBLE_EQ(r[2].StepsPerSecond, 60);
    EXPECT_FALSE(r[3].Cycles());
    std::array<Colour, 256> still{}, shown{};
    for (int i = 0; i < 256; ++i)
        still[i] = shown[i] = static_cast<Colour>(i);
    CycleEntries(r[0], 1, still.data(), shown.data()); // entries 2..5 one step down
    EXPECT_EQ((std::vector<Colour>(shown.begin() + 2, shown.begin() + 6)),
              (std::vector<Colour>{3, 4, 5, 2}));
    CycleEntries(r[1], 4, still.data(), shown.data()); // entries 1..3 four steps up
    EXPECT_EQ((std::vector<Colour>(shown.begin() + 1, shown.begin() + 4)),
              (std::vector<Colour>{3, 1, 2}));
    // DRNG cells 4 (entry 10), 5 (orange), 7 (entry 11): one step up.
    CycleEntries(r[2], 1, still.data(), shown.data());
    EXPECT_EQ(shown[10], 11u);
    EXPECT_EQ(shown[11], 0xFF8000u);
    const Bytes notForm(16, 0);
    EXPECT_TRUE(ReadColourCycles(notForm.data(), notForm.size()).empty());
}

} // namespace
} // namespace tambrel::test
