#include "ilbm_plugin.h"

#include "output/picture_pixels.h"
#include "thumbnail/thumbnail.h"

#include <QIODevice>
#include <QImage>

#include <memory>
#include <new>

namespace tambrel {

namespace {

bool IsFormat(const QByteArray &format) {
    const QByteArray lower = format.toLower();
    return lower == "iff" || lower == "ilbm" || lower == "lbm";
}

} // namespace

bool IlbmHandler::canRead(QIODevice *device) {
    if (!device) {
        return false;
    }
    const QByteArray head = device->peek(12);
    if (head.size() < 12 || !head.startsWith("FORM")) {
        return false;
    }
    const QByteArray type = head.mid(8, 4);
    return type == "ILBM" || type == "PBM " || type == "ACBM";
}

bool IlbmHandler::canRead() const {
    if (canRead(device())) {
        setFormat("iff");
        return true;
    }
    return false;
}

bool IlbmHandler::read(QImage *image) {
    QIODevice *in = device();
    if (!in || !image) {
        return false;
    }
    try {
        // The whole file, taken in blocks so nothing beyond it is reserved.
        QByteArray bytes;
        while (!in->atEnd()) {
            const QByteArray block = in->read(qint64{1} << 20);
            if (block.isEmpty()) {
                break;
            }
            if (static_cast<std::uint64_t>(bytes.size() + block.size()) > kMaxSourceBytes) {
                return false;
            }
            bytes += block;
        }
        auto pic = std::make_unique<IFF_Picture>();
        const std::span<const std::uint8_t> view(
            reinterpret_cast<const std::uint8_t *>(bytes.constData()),
            static_cast<std::size_t>(bytes.size()));
        if (!DecodeForDesktop(*pic, view).empty()) {
            return false;
        }
        const bool alpha = HasTransparency(*pic);
        QImage result(pic->Width, pic->Height,
                      alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
        if (result.isNull()) {
            return false; // Qt's own allocation limit refused the size
        }
        for (int y = 0; y < pic->Height; ++y) {
            if (alpha) {
                RgbaRow(*pic, y, result.scanLine(y));
            } else {
                RgbRow(*pic, y, result.scanLine(y));
            }
        }
        *image = std::move(result);
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
