#include "app/picture_surface.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>

namespace tambrel {

PictureSurface::PictureSurface(QWidget *parent, int border)
    : QWidget(parent), border_(border), image_(1, 1, QImage::Format_RGB32) {
    image_.fill(back_);
    font_.setPixelSize(11);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureSurface::SetOuterSize(int width, int height) {
    width = std::max(width, 2 * border_ + 1);
    height = std::max(height, 2 * border_ + 1);
    FitImage(width - 2 * border_, height - 2 * border_);
    resize(width, height);
}

void PictureSurface::FitImage(int innerWidth, int innerHeight) {
    innerWidth = std::max(innerWidth, 1);
    innerHeight = std::max(innerHeight, 1);
    if (image_.width() == innerWidth && image_.height() == innerHeight)
        return;
    QImage fresh(innerWidth, innerHeight, QImage::Format_RGB32);
    fresh.fill(back_);
    {
        QPainter p(&fresh);
        p.drawImage(0, 0, image_);
    }
    image_ = std::move(fresh);
}

void PictureSurface::resizeEvent(QResizeEvent *event) {
    // A layout or the window may resize the widget: keep the drawing in step.
    FitImage(event->size().width() - 2 * border_, event->size().height() - 2 * border_);
    QWidget::resizeEvent(event);
}

void PictureSurface::SetBold(bool bold) {
    font_.setBold(bold);
}

void PictureSurface::SetTextFont(const QFont &font) {
    const bool bold = font_.bold();
    font_ = font;
    font_.setBold(bold);
}

void PictureSurface::AdoptImage(QImage image) {
    image_ = std::move(image);
    cursorX_ = 0;
    cursorY_ = 0;
    printed_.clear();
    resize(image_.width() + 2 * border_, image_.height() + 2 * border_);
    update();
}

void PictureSurface::Clear() {
    image_.fill(back_);
    cursorX_ = 0;
    cursorY_ = 0;
    printed_.clear();
    update();
}

void PictureSurface::SetPixel(int x, int y, QColor colour) {
    if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height())
        return;
    image_.setPixel(x, y, colour.rgb());
    update();
}

void PictureSurface::PrintLine(const QString &text) {
    QFontMetrics fm(font_);
    {
        QPainter p(&image_);
        p.setFont(font_);
        p.setPen(fore_);
        p.drawText(QPointF(cursorX_, cursorY_ + fm.ascent()), text);
    }
    printed_.push_back({text, cursorX_, cursorY_, fore_, font_.bold()});
    cursorX_ = 0;
    cursorY_ += fm.height();
    update();
}

int PictureSurface::TextWidth(const QString &text) const {
    return QFontMetrics(font_).horizontalAdvance(text);
}

void PictureSurface::DrawScaledFrom(const PictureSurface &source, const QRect &sourceRect,
                                    const QRect &destRect) {
    {
        QPainter p(&image_);
        p.drawImage(destRect, source.image_, sourceRect);
    }
    update();
}

void PictureSurface::DrawColourRows(const std::uint32_t *firstRow, std::size_t stride, int width,
                                    int rows) {
    const int w = std::min(width, image_.width());
    const int h = std::min(rows, image_.height());
    for (int y = 0; y < h; ++y) {
        const std::uint32_t *src = firstRow + static_cast<std::size_t>(y) * stride;
        auto *dst = reinterpret_cast<std::uint32_t *>(image_.scanLine(y));
        // RGB32 keeps 0xffRRGGBB: the value's top byte is replaced.
        for (int x = 0; x < w; ++x)
            dst[x] = src[x] | 0xff000000u;
    }
    update();
}

void PictureSurface::paintEvent(QPaintEvent *) {
    QPainter p(this);
    if (border_ > 0) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(128, 128, 128));
        p.drawRect(rect());
    }
    p.drawImage(border_, border_, image_);
}

} // namespace tambrel
