#include "app/show_pic.h"

#include "app/centre.h"
#include "app/remembered.h"
#include "app/tambrel_main.h"

#include "icon_painter.h"

#include <QAction>
#include <QGuiApplication>
#include <QIcon>
#include <QPaintEvent>
#include <QPainter>
#include <QPixmap>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <array>
#include <cmath>

namespace tambrel {

namespace {

constexpr std::array<double, 19> kSteps = {
    1.0 / 16, 1.0 / 12, 1.0 / 8, 1.0 / 6, 1.0 / 4, 1.0 / 3, 1.0 / 2, 2.0 / 3, 1, 1.5,
    2,        3,        4,       6,       8,       12,      16,      24,      32};

} // namespace

double zoom::Step(double current, int direction) {
    if (direction > 0) {
        for (double step : kSteps)
            if (step > current * 1.0001)
                return step;
        return kMax;
    }
    for (auto it = kSteps.rbegin(); it != kSteps.rend(); ++it)
        if (*it < current * 0.9999)
            return *it;
    return kMin;
}

double zoom::Fit(const QSize &picture, const QSize &room) {
    if (picture.isEmpty() || room.isEmpty())
        return 1;
    const double z = std::min(static_cast<double>(room.width()) / picture.width(),
                              static_cast<double>(room.height()) / picture.height());
    return std::clamp(z, kMin, kMax);
}

QSize MinimumPictureClient() {
    return QSize(240, 120);
}

// The picture at the window's zoom on white. Enlarged pixels stay sharp
// (each picture pixel a block of screen pixels); reductions are smoothed.
class PictureView : public QWidget {
  public:
    PictureView(const PictureSurface &pic, QWidget *parent) : QWidget(parent), pic_(pic) {
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void SetZoom(double zoom, const QSize &picture) {
        zoom_ = zoom;
        picture_ = picture;
        resize(std::max(1, static_cast<int>(std::ceil(picture.width() * zoom))),
               std::max(1, static_cast<int>(std::ceil(picture.height() * zoom))));
        update();
    }

  protected:
    void paintEvent(QPaintEvent *event) override {
        QPainter p(this);
        p.fillRect(event->rect(), Qt::white);
        const QImage &image = pic_.Image();
        if (picture_.isEmpty())
            return;
        p.setRenderHint(QPainter::SmoothPixmapTransform, zoom_ < 1);
        // Only the picture pixels behind the exposed area are drawn.
        const QRectF exposed(event->rect());
        const QRectF source =
            QRectF(std::floor(exposed.left() / zoom_), std::floor(exposed.top() / zoom_),
                   std::ceil(exposed.width() / zoom_) + 2, std::ceil(exposed.height() / zoom_) + 2)
                .intersected(QRectF(0, 0, std::min(image.width(), picture_.width()),
                                    std::min(image.height(), picture_.height())));
        if (source.isEmpty())
            return;
        const QRectF target(source.left() * zoom_, source.top() * zoom_, source.width() * zoom_,
                            source.height() * zoom_);
        p.drawImage(target, image, source);
    }

  private:
    const PictureSurface &pic_;
    double zoom_ = 1;
    QSize picture_;
};

ShowPic::ShowPic(TambrelMain &main) : QWidget(nullptr, Qt::Window), main_(main) {
    setObjectName("ShowPic");
    setWindowTitle("Picture");
    QIcon icon;
    for (int size : {16, 32})
        icon.addPixmap(QPixmap::fromImage(DrawTambrelIcon(size)));
    setWindowIcon(icon);
    setMinimumSize(MinimumPictureClient());

    // The drawing itself is never shown: the view paints it at the zoom.
    pic_ = new PictureSurface(this, 0);
    pic_->setObjectName("Pic");
    pic_->hide();

    area_ = new QScrollArea(this);
    area_->setObjectName("PictureScroll");
    area_->setFrameShape(QFrame::NoFrame);
    area_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    area_->setBackgroundRole(QPalette::Base);
    QPalette white = area_->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    area_->setPalette(white);
    view_ = new PictureView(*pic_, area_);
    view_->setObjectName("PictureView");
    area_->setWidget(view_);
    area_->viewport()->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area_);

    auto command = [this](const char *name, const char *caption, QList<QKeySequence> keys,
                          auto handler) {
        auto *a = new QAction(caption, this);
        a->setObjectName(name);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, handler);
        addAction(a);
    };
    command("ZoomIn", "Zoom In", {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)},
            &ShowPic::ZoomIn);
    command("ZoomOut", "Zoom Out", {QKeySequence::ZoomOut}, &ShowPic::ZoomOut);
    command("FitToWindow", "Fit to Window", {QKeySequence(Qt::CTRL | Qt::Key_F)},
            &ShowPic::FitToWindow);
    command("ActualSize", "Actual Size", {QKeySequence(Qt::CTRL | Qt::Key_0)},
            &ShowPic::ActualSize);
    command("CloseWindow", "Close", {QKeySequence(Qt::Key_Escape)}, &ShowPic::close);
    auto corner = [this](const char *name, Qt::Key key, bool bottomRight) {
        auto *a = new QAction(name, this);
        a->setObjectName(name);
        a->setShortcuts({QKeySequence(key), QKeySequence(Qt::CTRL | key)});
        connect(a, &QAction::triggered, this, [this, bottomRight] { ScrollToCorner(bottomRight); });
        addAction(a);
    };
    corner("TopLeft", Qt::Key_Home, false);
    corner("BottomRight", Qt::Key_End, true);
    // The commands are also on the window's context menu.
    setContextMenuPolicy(Qt::ActionsContextMenu);

    // The zoom kept from earlier (0: fit to window); only a change is written back.
    const double kept = main_.Memory().Zoom(1);
    fit_ = kept == 0;
    zoom_ = fit_ ? 1 : std::clamp(kept, zoom::kMin, zoom::kMax);
}

QSize ShowPic::PictureSize() const {
    const IFF_Picture &pic = main_.Picture();
    // What was decoded: a header alone (no BODY, or a larger later BMHD) sizes nothing.
    return pic.Loaded() ? QSize(pic.DecodedWidth(), pic.DecodedHeight()) : QSize();
}

void ShowPic::Refresh() {
    const QSize size = PictureSize();
    pic_->SetOuterSize(std::max(1, size.width()), std::max(1, size.height()));
    main_.DrawBitmap(*pic_);
    ApplyZoom();
}

void ShowPic::ShowCurrentPicture() {
    Refresh();
    // The client area holds the picture at the zoom (actual size when it
    // follows the window), within the screen, and never below the minimum.
    QSize client = (PictureSize() * (fit_ ? 1.0 : zoom_)).expandedTo(QSize(1, 1));
    if (QScreen *screen = main_.screen() ? main_.screen() : QGuiApplication::primaryScreen()) {
        QMargins frame = FrameMargins(*this);
        if (frame.isNull())
            frame = FrameMargins(main_);
        const QRect area = screen->availableGeometry();
        client = client.boundedTo(QSize(area.width() - frame.left() - frame.right(),
                                        area.height() - frame.top() - frame.bottom()));
    }
    client = client.expandedTo(MinimumPictureClient());
    resize(client);
    ApplyZoom();
    show();
    raise();
    activateWindow();
    area_->setFocus();
    CentreWithFrame(*this, &main_);
}

void ShowPic::SetZoom(double zoom, bool fit) {
    fit_ = fit;
    zoom_ = std::clamp(zoom, zoom::kMin, zoom::kMax);
    main_.Memory().SetZoom(fit_ ? 0 : zoom_);
    ApplyZoom();
}

void ShowPic::ApplyZoom() {
    const QSize picture = PictureSize();
    if (fit_)
        zoom_ = zoom::Fit(picture, area_->maximumViewportSize());
    // The point at the middle of the view stays in the middle.
    QScrollBar *h = area_->horizontalScrollBar();
    QScrollBar *v = area_->verticalScrollBar();
    const double oldW = std::max(1, view_->width()), oldH = std::max(1, view_->height());
    const double cx = (h->value() + area_->viewport()->width() / 2.0) / oldW;
    const double cy = (v->value() + area_->viewport()->height() / 2.0) / oldH;
    view_->SetZoom(zoom_, picture);
    h->setValue(static_cast<int>(cx * view_->width() - area_->viewport()->width() / 2.0));
    v->setValue(static_cast<int>(cy * view_->height() - area_->viewport()->height() / 2.0));
}

void ShowPic::ZoomIn() {
    SetZoom(zoom::Step(zoom_, 1), false);
}
void ShowPic::ZoomOut() {
    SetZoom(zoom::Step(zoom_, -1), false);
}
void ShowPic::FitToWindow() {
    SetZoom(zoom_, true);
}
void ShowPic::ActualSize() {
    SetZoom(1, false);
}

void ShowPic::ScrollToCorner(bool bottomRight) {
    QScrollBar *h = area_->horizontalScrollBar();
    QScrollBar *v = area_->verticalScrollBar();
    h->setValue(bottomRight ? h->maximum() : h->minimum());
    v->setValue(bottomRight ? v->maximum() : v->minimum());
}

void ShowPic::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (fit_)
        ApplyZoom();
}

bool ShowPic::eventFilter(QObject *watched, QEvent *event) {
    // Ctrl + wheel zooms; the plain wheel scrolls.
    if (watched == area_->viewport() && event->type() == QEvent::Wheel) {
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta > 0)
                ZoomIn();
            else if (delta < 0)
                ZoomOut();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tambrel
