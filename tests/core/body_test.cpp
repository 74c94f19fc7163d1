// Body decoding: plane layout, ByteRun1 runs (hand-made streams included),
// the mask plane and the writer's own packer.
#include "test_util.h"

namespace tambrel::test {
namespace {

const std::vector<std::uint32_t> kTwo = {0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00};

// Pixel values of one row from its plane rows (independent of the decoder).
std::vector<std::uint8_t> ValuesFromPlanes(const std::vector<Bytes> &planes, int width) {
    std::vector<std::uint8_t> v(width, 0);
    for (std::size_t p = 0; p < planes.size(); ++p)
        for (int x = 0; x < width; ++x)
            if ((planes[p][x / 8] >> (7 - x % 8)) & 1)
                v[x] |= static_cast<std::uint8_t>(1 << p);
    return v;
}

IFF_Picture LoadBody(int width, int height, int planes, int packtype, const Bytes &body,
                     int masking = 0) {
    BmhdFields f = HeaderFor(ChunkyImage(width, height, planes), packtype != 0);
    f.Packtype = static_cast<std::uint8_t>(packtype);
    f.Masking = static_cast<std::uint8_t>(masking);
    IlbmBuilder b;
    b.Bmhd(f).Cmap(kTwo).Camg(0).Body(body);
    IFF_Picture pic;
    EXPECT_EQ(LoadBytes(pic, b.Build()), 1);
    return pic;
}

TEST(Body, ByteRun1HandMadeStreams) {
    struct Case {
        const char *name;
        int width;
        int planes;
        Bytes stream;
        std::vector<std::vector<Bytes>> rows; // expected plane bytes of each row
    } cases[] = {
        {"DocumentedRuns",
         48,
         1,
         {0x02, 0x11, 0x22, 0x33, 0xFE, 0x44},
         {{{0x11, 0x22, 0x33, 0x44, 0x44, 0x44}}}},
        {"NoOpControl", 16, 1, {0x80, 0x01, 0xAB, 0xCD}, {{{0xAB, 0xCD}}}},
        // Runs that end past the plane row: the rest is dropped, and the next
        // plane row starts with a fresh control byte.
        {"RunsCrossRowEnd",
         16,
         2,
         {0xFD, 0xAA, 0x04, 0x0F, 0xF0, 0x11, 0x22, 0x33, // row 1: planes 0 and 1
          0x00, 0x81, 0x00, 0x7E, 0x81, 0xFF},            // row 2: plane 1 is 128 x 0xFF
         {{{0xAA, 0xAA}, {0x0F, 0xF0}}, {{0x81, 0x7E}, {0xFF, 0xFF}}}},
        // The file ends inside a literal run and before a repeat value: zeros follow.
        {"StreamEndsInsideRun", 16, 1, {0x00, 0x5A, 0x03, 0x11}, {{{0x5A, 0x11}}, {{0, 0}}}},
        {"StreamEndsBeforeRepeatValue",
         16,
         1,
         {0x01, 0x5A, 0x0F, 0xFE},
         {{{0x5A, 0x0F}}, {{0, 0}}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int height = static_cast<int>(c.rows.size());
        const IFF_Picture pic = LoadBody(c.width, height, c.planes, 1, c.stream);
        for (int y = 0; y < height; ++y)
            EXPECT_EQ(IndexRow(pic, y), ValuesFromPlanes(c.rows[y], c.width)) << "row " << y;
    }
}

TEST(Body, PlaneBitOrder) {
    // Planes 0 and 1 with 0x80 in column 0: pixel 0 is 3, pixels 1 .. 7 are 0;
    // the even-padding byte of each plane row (Width 8: 2 bytes) is not converted.
    const IFF_Picture pic = LoadBody(8, 1, 2, 0, {0x80, 0xFF, 0x80, 0xFF});
    EXPECT_EQ(IndexRow(pic, 0), (std::vector<std::uint8_t>{3, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(pic.PixelIndices(8, 1), 0);
}

TEST(Body, MaskPlaneSkipped) {
    const ChunkyImage img = Pattern(29, 5, 3, 12);
    const ChunkyImage mask = Pattern(29, 5, 1, 13);
    for (bool packed : {false, true}) {
        const IFF_Picture pic =
            LoadBody(img.Width, img.Height, img.Planes, packed, BodyData(img, packed, &mask), 1);
        for (int y = 0; y < img.Height; ++y)
            EXPECT_EQ(IndexRow(pic, y), ImageRow(img, y)) << packed << " row " << y;
    }
    // Masking 2 (a transparent colour) carries no mask plane.
    const IFF_Picture pic = LoadBody(img.Width, img.Height, img.Planes, 1, BodyData(img, true), 2);
    EXPECT_EQ(IndexRow(pic, 4), ImageRow(img, 4));
}

TEST(Body, OddWidthsPlainAndPacked) {
    for (int width : {1, 13, 17, 200, 321}) {
        for (int planes : {1, 4, 8}) {
            const ChunkyImage img = Pattern(width, 3, planes, width + planes);
            for (int packtype : {0, 1}) {
                const IFF_Picture pic =
                    LoadBody(width, 3, planes, packtype, BodyData(img, packtype != 0));
                ASSERT_EQ(pic.RowBytes, (width + 7) / 8);
                for (int y = 0; y < 3; ++y)
                    ASSERT_EQ(IndexRow(pic, y), ImageRow(img, y))
                        << width << "x" << planes << " packed " << packtype << " row " << y;
            }
        }
    }
}

TEST(WriterPacker, RoundTripsAndPacksRuns) {
    const Bytes rows[] = {Bytes{}, Bytes{7}, Bytes(200, 9), Bytes{1, 2, 3, 3, 3, 4},
                          Bytes{5, 5, 6, 6, 7}};
    for (const Bytes &row : rows) {
        const Bytes packed = PackByteRun1(row);
        EXPECT_EQ(UnpackByteRun1(packed, row.size()), row);
    }
    EXPECT_EQ(PackByteRun1(Bytes(200, 9)), (Bytes{0x81, 9, 0xB9, 9}));
    EXPECT_EQ(PackByteRun1(Bytes{1, 2, 3, 3, 3, 4}), (Bytes{1, 1, 2, 0xFE, 3, 0, 4}));
    EXPECT_EQ(PlaneRowBytes(200), 26);
    EXPECT_EQ(BodyData(Pattern(320, 200, 5), false).size(), 40000u);
}

} // namespace
} // namespace tambrel::test
