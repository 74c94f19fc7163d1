#include "app/picture_surface.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QToolTip>

#include <algorithm>
#include <cmath>

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
    if (innerWidth_ == innerWidth && innerHeight_ == innerHeight && !image_.isNull())
        return;
    innerWidth_ = innerWidth;
    innerHeight_ = innerHeight;
    QImage fresh(static_cast<int>(std::ceil(innerWidth * ratio_)),
                 static_cast<int>(std::ceil(innerHeight * ratio_)), QImage::Format_RGB32);
    fresh.setDevicePixelRatio(ratio_);
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

void PictureSurface::FollowDeviceRatio() {
    const double ratio = devicePixelRatioF();
    if (ratio == ratio_)
        return;
    ratio_ = ratio;
    image_ = QImage();
    FitImage(innerWidth_, innerHeight_);
}

void PictureSurface::SetLineToolTip(double y, const QString &tip) {
    lineTips_.emplace_back(QRectF(0, y, innerWidth_, QFontMetrics(font_).height()), tip);
}

bool PictureSurface::event(QEvent *event) {
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const QPointF at = help->pos() - QPointF(border_, border_);
        for (const auto &[band, tip] : lineTips_) {
            if (band.contains(at)) {
                QToolTip::showText(help->globalPos(), tip, this);
                return true;
            }
        }
    }
    return QWidget::event(event);
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
    // The image holds one pixel per picture pixel: its size is the logical
    // inner size, and at a higher device ratio each pixel becomes a block.
    innerWidth_ = std::max(image.width(), 1);
    innerHeight_ = std::max(image.height(), 1);
    if (ratio_ != 1.0 && !image.isNull())
        image = image.scaled(static_cast<int>(std::ceil(innerWidth_ * ratio_)),
                             static_cast<int>(std::ceil(innerHeight_ * ratio_)),
                             Qt::IgnoreAspectRatio, Qt::FastTransformation);
    image.setDevicePixelRatio(ratio_);
    image_ = std::move(image);
    cursorX_ = 0;
    cursorY_ = 0;
    printed_.clear();
    lineTips_.clear();
    resize(innerWidth_ + 2 * border_, innerHeight_ + 2 * border_);
    update();
}

void PictureSurface::Clear() {
    image_.fill(back_);
    cursorX_ = 0;
    cursorY_ = 0;
    printed_.clear();
    lineTips_.clear();
    update();
}

void PictureSurface::SetPixel(int x, int y, QColor colour) {
    if (x < 0 || y < 0 || x >= innerWidth_ || y >= innerHeight_)
        return;
    // One picture pixel covers a block of device pixels.
    const int x0 = static_cast<int>(x * ratio_), x1 = static_cast<int>((x + 1) * ratio_);
    const int y0 = static_cast<int>(y * ratio_), y1 = static_cast<int>((y + 1) * ratio_);
    for (int dy = y0; dy < std::max(y1, y0 + 1) && dy < image_.height(); ++dy)
        for (int dx = x0; dx < std::max(x1, x0 + 1) && dx < image_.width(); ++dx)
            image_.setPixel(dx, dy, colour.rgb());
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
        // The source rectangle is in the source's pixels; its drawing may be finer.
        const double s = source.ratio_;
        QPainter p(&image_);
        p.drawImage(QRectF(destRect), source.image_,
                    QRectF(sourceRect.x() * s, sourceRect.y() * s, sourceRect.width() * s,
                           sourceRect.height() * s));
    }
    update();
}

void PictureSurface::DrawColourRows(const std::uint32_t *firstRow, std::size_t stride, int width,
                                    int rows) {
    const int w = std::min(width, innerWidth_);
    const int h = std::min(rows, innerHeight_);
    if (w <= 0 || h <= 0)
        return;
    if (ratio_ != 1) {
        // Drawn at one device pixel per picture pixel, then enlarged unsmoothed.
        QImage rowsImage(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            const std::uint32_t *src = firstRow + static_cast<std::size_t>(y) * stride;
            auto *dst = reinterpret_cast<std::uint32_t *>(rowsImage.scanLine(y));
            for (int x = 0; x < w; ++x)
                dst[x] = src[x] | 0xff000000u;
        }
        QPainter p(&image_);
        p.drawImage(QRect(0, 0, w, h), rowsImage);
        update();
        return;
    }
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
    p.drawImage(QPointF(border_, border_), image_);
}

} // namespace tambrel
