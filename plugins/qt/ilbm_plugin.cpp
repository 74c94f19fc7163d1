#include "ilbm_plugin.h"

#include "convert/desktop_read.h"
#include "decoder/iff_loader.h"
#include "output/picture_pixels.h"

#include <QIODevice>
#include <QImage>
#include <cstring>

#include <span>

namespace tambrel {

namespace {

bool IsFormat(const QByteArray &format) {
    const QByteArray lower = format.toLower();
    return lower == "iff" || lower == "ilbm" || lower == "lbm";
}

std::span<const std::uint8_t> BytesOf(const QByteArray &bytes) {
    return {reinterpret_cast<const std::uint8_t *>(bytes.constData()),
            static_cast<std::size_t>(bytes.size())};
}

// The bytes a picture's header chunks usually lie in; enough to find the BMHD.
constexpr qint64 kHeaderPeek = 4096;

// Rows go straight into the image, made through Qt's own allocation so the
// reader's allocation limit holds (Qt 5 has no such limit: there the image
// is refused only when it cannot be made).
class ImageRows : public RowSink {
  public:
    void Begin(const IFF_Picture &pic) override {
        alpha_ = HasTransparency(pic);
        const QSize size(pic.DecodedWidth(), pic.DecodedHeight());
        const QImage::Format format = alpha_ ? QImage::Format_RGBA8888 : QImage::Format_RGB888;
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        if (!QImageIOHandler::allocateImage(size, format, &image)) {
            throw TambrelError(kErrOutOfMemory, "beyond the image allocation limit");
        }
#else
        image = QImage(size, format);
        if (image.isNull()) {
            throw TambrelError(kErrOutOfMemory, "the image cannot be made");
        }
#endif
    }
    void TakeRow(const IFF_Picture &pic, std::int32_t y) override {
        if (alpha_) {
            RgbaRow(pic, y, image.scanLine(y));
        } else {
            RgbRow(pic, y, image.scanLine(y));
        }
    }
    QImage image;

  private:
    bool alpha_ = false;
};

} // namespace

bool IlbmHandler::canRead(QIODevice *device) {
    return device && IsPictureHeader(BytesOf(device->peek(12)));
}

bool IlbmHandler::canRead() const {
    if (canRead(device())) {
        setFormat("iff");
        return true;
    }
    return false;
}

bool IlbmHandler::supportsOption(ImageOption option) const {
    return option == Size;
}

QVariant IlbmHandler::option(ImageOption option) const {
    PictureHeader header;
    if (option == Size && device() &&
        ReadPictureHeader(BytesOf(device()->peek(kHeaderPeek)), header)) {
        return QSize(header.Width, header.Height);
    }
    return {};
}

bool IlbmHandler::read(QImage *image) {
    QIODevice *in = device();
    if (!in || !image) {
        return false;
    }
    try {
        // A foreign file is refused on its first 12 bytes; a picture is read
        // to its FORM's end and no further.
        const QByteArray head = in->peek(12);
        if (!IsPictureHeader(BytesOf(head))) {
            return false;
        }
        const auto *h = reinterpret_cast<const std::uint8_t *>(head.constData());
        std::uint64_t formEnd =
            8 + (std::uint64_t{h[4]} << 24 | std::uint64_t{h[5]} << 16 | h[6] << 8 | h[7]);
        const DecodeLimits limits = DesktopLimits();
        // RGFX writers give a FORM size short of the body they wrote last:
        // such a file is read to its end.
        const bool toEnd = std::memcmp(h + 8, "RGFX", 4) == 0;
        if (!toEnd && formEnd > limits.SourceBytes) {
            return false;
        }
        if (toEnd) {
            formEnd = limits.SourceBytes;
        }
        QByteArray bytes;
        while (static_cast<std::uint64_t>(bytes.size()) < formEnd && !in->atEnd()) {
            const QByteArray block = in->read(static_cast<qint64>(std::min<std::uint64_t>(
                formEnd - static_cast<std::uint64_t>(bytes.size()), 1u << 20)));
            if (block.isEmpty()) {
                break;
            }
            bytes += block;
        }
        IFF_Picture pic;
        ImageRows rows;
        if (!DecodeForDesktop(pic, BytesOf(bytes), rows, limits).empty()) {
            return false;
        }
        *image = std::move(rows.image);
        return true;
    } catch (const std::exception &) {
        return false;
    }
}

QImageIOPlugin::Capabilities IlbmPlugin::capabilities(QIODevice *device,
                                                      const QByteArray &format) const {
    if (IsFormat(format)) {
        return CanRead;
    }
    if (!format.isEmpty() || !device || !device->isOpen()) {
        return {};
    }
    return device->isReadable() && IlbmHandler::canRead(device) ? Capabilities(CanRead)
                                                                : Capabilities();
}

QImageIOHandler *IlbmPlugin::create(QIODevice *device, const QByteArray &format) const {
    auto *handler = new IlbmHandler;
    handler->setDevice(device);
    handler->setFormat(format.isEmpty() ? QByteArray("iff") : format);
    return handler;
}

} // namespace tambrel
