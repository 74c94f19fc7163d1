// libFuzzer entry: the Qt image plugin's handler over a QBuffer, as
// QImageReader drives it: canRead, option(Size), read, under a small
// allocation limit (4 MiB), so large pictures are refused by Qt's own check
// rather than skipped. No application object: QImage needs none.
#include "fuzz/fuzz_checks.h"

#include "decoder/decode_limits.h"
#include "decoder/iff_loader.h"
#include "plugins/qt/ilbm_plugin.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QSize>

namespace {

using namespace tambrel;
using tambrel::fuzz::Check;

constexpr int kAllocationLimitMb = 4;

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    QImageReader::setAllocationLimit(kAllocationLimitMb);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    QByteArray array =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&array);
    buffer.open(QIODevice::ReadOnly);

    IlbmPlugin plugin;
    const bool detected = plugin.capabilities(&buffer, QByteArray()) == QImageIOPlugin::CanRead;
    Check(detected == IsPictureHeader(bytes.first(std::min<std::size_t>(size, 12))),
          "content detection disagrees with the header test");

    IlbmHandler handler;
    handler.setDevice(&buffer);
    const bool can = handler.canRead();
    Check(can == detected, "canRead disagrees with the plugin's detection");
    Check(buffer.pos() == 0, "canRead moved the device");

    const QVariant sizeOption = handler.option(QImageIOHandler::Size);
    Check(buffer.pos() == 0, "option(Size) moved the device");
    PictureHeader header;
    const bool hasHeader =
        ReadPictureHeader(bytes.first(std::min<std::size_t>(size, 4096)), header);
    Check(sizeOption.isValid() == hasHeader,
          "option(Size) answers without a header, or not with one");
    if (hasHeader) {
        Check(sizeOption.toSize() == QSize(header.Width, header.Height),
              "option(Size) is not the header's size");
    }

    QImage image;
    const bool read = handler.read(&image);
    if (!read) {
        return 0;
    }
    Check(can, "read a picture that canRead refused");
    Check(!image.isNull() && image.width() >= 1 && image.height() >= 1, "read gave no image");
    Check(image.sizeInBytes() <= qsizetype{kAllocationLimitMb} << 20,
          "image beyond the allocation limit");
    Check(image.format() == QImage::Format_RGB888 || image.format() == QImage::Format_RGBA8888,
          "image of an unexpected format");
    const std::size_t rowBytes =
        static_cast<std::size_t>(image.width()) * (image.hasAlphaChannel() ? 4 : 3);
    for (int y = 0; y < image.height(); ++y) {
        tambrel::fuzz::Touch(image.constScanLine(y), rowBytes);
    }
    return 0;
}
