#include "app/centre.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace tambrel {

namespace {

void CentreNow(QWidget &w, const QMargins &frame) {
    QScreen *screen = w.screen() ? w.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const int outerW = w.width() + frame.left() + frame.right();
    const int outerH = w.height() + frame.top() + frame.bottom();
    w.move(std::max(area.x(), area.x() + (area.width() - outerW) / 2),
           std::max(area.y(), area.y() + (area.height() - outerH) / 2));
}

} // namespace

QMargins FrameMargins(const QWidget &w) {
    const QRect outer = w.frameGeometry(), inner = w.geometry();
    return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                    outer.right() - inner.right(), outer.bottom() - inner.bottom());
}

void CentreWithFrame(QWidget &w, const QWidget *reference) {
    QMargins frame = FrameMargins(w);
    const bool known = !frame.isNull();
    if (!known && reference)
        frame = FrameMargins(*reference);
    CentreNow(w, frame);
    if (known || !w.isVisible())
        return;
    // The frame arrives after the window is mapped: centre again then (for
    // up to a second; a window without a frame keeps its place).
    QPointer<QWidget> guard(&w);
    auto *timer = new QTimer(&w);
    timer->setInterval(50);
    QObject::connect(timer, &QTimer::timeout, timer, [guard, timer, tries = 0]() mutable {
        if (guard && !FrameMargins(*guard).isNull()) {
            CentreNow(*guard, FrameMargins(*guard));
            timer->deleteLater();
        } else if (++tries >= 20) {
            timer->deleteLater();
        }
    });
    timer->start();
}

} // namespace tambrel
