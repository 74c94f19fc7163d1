#pragma once
// Qt image-format plugin for Amiga IFF pictures: every Qt program reads them
// through QImageReader, decoded by the core. Built for Qt 6, and for Qt 5
// from the same source when TAMBREL_QT5_PLUGIN is on.
#include <QImageIOHandler>
#include <QImageIOPlugin>
#include <QVariant>

namespace tambrel {

class IlbmHandler : public QImageIOHandler {
  public:
    bool canRead() const override;
    bool read(QImage *image) override;
    // Size is answered from the picture's header, without decoding.
    bool supportsOption(ImageOption option) const override;
    QVariant option(ImageOption option) const override;
    // True when the device's next bytes start an IFF picture (FORM ILBM, PBM or ACBM).
    static bool canRead(QIODevice *device);
};

class IlbmPlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "ilbm.json")
  public:
    Capabilities capabilities(QIODevice *device, const QByteArray &format) const override;
    QImageIOHandler *create(QIODevice *device, const QByteArray &format) const override;
};

} // namespace tambrel
