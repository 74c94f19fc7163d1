#include "app/show_pic.h"

#include "app/tambrel_main.h"

#include "icon_painter.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>

namespace tambrel {

ShowPic::ShowPic(TambrelMain &main) : QWidget(nullptr, Qt::Window), main_(main) {
    setObjectName("ShowPic");
    setWindowTitle("Picture");
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(QPixmap::fromImage(DrawTambrelIcon(size)));
    setWindowIcon(icon);
    pic_ = new PictureSurface(this, 1);
    pic_->setObjectName("Pic");
    pic_->move(0, 0);
}

void ShowPic::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    FitDrawAndCentre();
}

void ShowPic::FitDrawAndCentre() {
    pic_->SetOuterSize(width(), height());
    main_.DrawBitmap(*pic_);
    QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Centre the outer frame in the available area; moving keeps the size.
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    const int extraW = frame.width() - width();
    const int extraH = frame.height() - height();
    const int left = area.x() + (area.width() - (width() + extraW)) / 2;
    const int top = area.y() + (area.height() - (height() + extraH)) / 2;
    move(std::max(left, area.x()), std::max(top, area.y()));
}

} // namespace tambrel
