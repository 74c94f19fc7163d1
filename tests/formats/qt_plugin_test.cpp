// The Qt image-format plugin through QImageReader, by file suffix and by content.
#include "tests/formats/formats_support.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace tambrel::test {
namespace {

std::vector<std::uint32_t> Pixels(const QImage &image) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            pixels.push_back(image.pixel(x, y));
    return pixels;
}

// The picture in `bytes`, found by content when `format` is empty.
QImage FromBytes(const Bytes &bytes, const QByteArray &format, QByteArray *found = nullptr) {
    QByteArray data(reinterpret_cast<const char *>(bytes.data()), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, format);
    if (found)
        *found = reader.format();
    return reader.read();
}

class QtPlugin : public ::testing::TestWithParam<FormatCase> {};

TEST_P(QtPlugin, ReadsBySuffixAndByContent) {
    const FormatCase &c = GetParam();
    TempDir dir;
    for (const char *suffix : {"iff", "ilbm", "lbm"}) {
        const std::string path = dir / ("case." + std::string(suffix));
        WriteBytes(path, c.File);
        QImageReader reader(QString::fromStdString(path));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << suffix << ": " << reader.errorString().toStdString();
        EXPECT_EQ(image.hasAlphaChannel(), c.Alpha);
        EXPECT_EQ(Pixels(image), c.Pixels) << suffix;
    }
    QByteArray found;
    EXPECT_EQ(Pixels(FromBytes(c.File, {}, &found)), c.Pixels) << "by content";
    EXPECT_EQ(found, "iff");
}

INSTANTIATE_TEST_SUITE_P(Table, QtPlugin, ::testing::ValuesIn(FormatCases()),
                         [](const auto &info) { return info.param.Name; });

TEST(QtPluginHostile, RefusedWithAnError) {
    for (const auto &[name, file] : HostileFiles()) {
        EXPECT_TRUE(FromBytes(file, "iff").isNull()) << name;
        EXPECT_TRUE(FromBytes(file, {}).isNull()) << name;
    }
}

// Sizes come from the header before anything is decoded, Qt's allocation limit
// holds, rows go straight into the image, and the image is what was decoded.
TEST(QtPluginLimits, SizeFirstAllocationLimitAndDecodedSize) {
    const Bytes tiny = TinyBodyPicture(4000, 4000);
    QByteArray data(reinterpret_cast<const char *>(tiny.data()), qsizetype(tiny.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader sized(&buffer, "iff");
    EXPECT_EQ(sized.size(), QSize(4000, 4000));
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) // Qt 5 has no allocation limit.
    const int limit = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(16);
    EXPECT_TRUE(FromBytes(tiny, "iff").isNull());
    QImageReader::setAllocationLimit(limit);
#endif
    // 48 MB of image; decoding the picture whole first would add 80 MB more.
    const long before = PeakMiB();
    const QImage image = FromBytes(tiny, "iff");
    ASSERT_EQ(image.size(), QSize(4000, 4000));
    EXPECT_EQ(image.pixel(3999, 3999), 0xFF336699u);
    EXPECT_LT(PeakMiB() - before, 80);
    const QImage second = FromBytes(SecondHeaderPicture(), {});
    ASSERT_EQ(second.size(), QSize(16, 4));
    EXPECT_EQ(second.pixel(7, 3), 0xFFFFFFFFu);
    EXPECT_EQ(second.pixel(8, 3), 0xFF000000u);
}

} // namespace
} // namespace tambrel::test

int main(int argc, char **argv) {
    qputenv("QT_PLUGIN_PATH", TAMBREL_QT_PLUGIN_DIR);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
