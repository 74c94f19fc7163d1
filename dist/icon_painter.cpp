#include "icon_painter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

QImage DrawTambrelIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);

    const qreal s = size;
    const QRectF frame(s * 0.06, s * 0.06, s * 0.88, s * 0.88);
    QPainterPath outline;
    outline.addRoundedRect(frame, s * 0.12, s * 0.12);
    p.fillPath(outline, QColor(38, 40, 56));

    // Colour bars, one band per eighth of the inner area, as a display's copper list would paint
    // them.
    const QRectF inner = frame.adjusted(s * 0.08, s * 0.08, -s * 0.08, -s * 0.08);
    static const QColor bars[] = {QColor(255, 96, 32),   QColor(255, 160, 48), QColor(255, 224, 96),
                                  QColor(120, 220, 120), QColor(64, 192, 224), QColor(64, 120, 240),
                                  QColor(136, 88, 232),  QColor(208, 72, 176)};
    const qreal band = inner.height() / 8;
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 8; ++i) {
        QLinearGradient g(inner.left(), 0, inner.right(), 0);
        g.setColorAt(0, bars[i].darker(140));
        g.setColorAt(0.5, bars[i]);
        g.setColorAt(1, bars[i].darker(140));
        p.fillRect(QRectF(inner.left(), inner.top() + i * band, inner.width(), band + 0.5), g);
    }

    // A chequered block in the lower right: the pixels a bitmap is made of.
    p.setRenderHint(QPainter::Antialiasing, false);
    const int cells = 4;
    const qreal cell = inner.width() * 0.5 / cells;
    const QPointF origin(inner.right() - cells * cell, inner.bottom() - cells * cell);
    for (int y = 0; y < cells; ++y) {
        for (int x = 0; x < cells; ++x) {
            p.fillRect(QRectF(origin.x() + x * cell, origin.y() + y * cell, cell, cell),
                       (x + y) % 2 ? QColor(250, 250, 250) : QColor(20, 20, 28));
        }
    }
    p.end();
    return image;
}
