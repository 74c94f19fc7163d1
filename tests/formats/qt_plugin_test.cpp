// The Qt 6 image-format plugin, as Qt programs use it: QT_PLUGIN_PATH at the
// built plugin, QImageReader by file suffix and by content.
#include "tests/formats/formats_support.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace tambrel::test {
namespace {

std::vector<std::uint32_t> Pixels(const QImage &image) {
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            pixels.push_back(argb.pixel(x, y));
    return pixels;
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
        EXPECT_EQ(image.hasAlphaChannel(), c.Kind == PngKind::Rgba || c.TransparentIndex >= 0);
        EXPECT_EQ(Pixels(image), c.Pixels) << suffix;
    }
    QByteArray bytes(reinterpret_cast<const char *>(c.File.data()), qsizetype(c.File.size()));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader byContent(&buffer);
    EXPECT_EQ(byContent.format(), "iff");
    const QImage image = byContent.read();
    EXPECT_EQ(Pixels(image), c.Pixels);
}

INSTANTIATE_TEST_SUITE_P(Table, QtPlugin, ::testing::ValuesIn(FormatCases()),
                         [](const auto &info) { return info.param.Name; });

TEST(QtPluginHostile, RefusedWithAnError) {
    for (const HostileFile &h : HostileFiles()) {
        for (const QByteArray &format : {QByteArray("iff"), QByteArray()}) {
            QByteArray bytes(reinterpret_cast<const char *>(h.File.data()),
                             qsizetype(h.File.size()));
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer, format);
            EXPECT_TRUE(reader.read().isNull()) << h.Name;
        }
    }
}

} // namespace
} // namespace tambrel::test

int main(int argc, char **argv) {
    qputenv("QT_PLUGIN_PATH", TAMBREL_QT_PLUGIN_DIR);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
