#include "app/show_pic.h"

#include "app/centre.h"
#include "app/cycle_player.h"
#include "app/tambrel_main.h"

#include "convert/picture_list.h"
#include "icon_painter.h"
#include "output/picture_pixels.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QMouseEvent>
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
#include <filesystem>

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

double zoom::PixelAspect(int xAspect, int yAspect) {
    if (xAspect <= 0 || yAspect <= 0)
        return 1;
    const double aspect = static_cast<double>(xAspect) / yAspect;
    return aspect < 1.0 / 8 || aspect > 8 ? 1 : aspect;
}

QSize zoom::AspectSize(const QSize &picture, double pixelAspect) {
    if (picture.isEmpty())
        return picture;
    // Stretching the narrow side keeps every picture pixel at least one screen pixel.
    if (pixelAspect >= 1)
        return QSize(std::max(1, static_cast<int>(std::lround(picture.width() * pixelAspect))),
                     picture.height());
    return QSize(picture.width(),
                 std::max(1, static_cast<int>(std::lround(picture.height() / pixelAspect))));
}

QString PictureTitle(const QString &name, double zoom, const QSize &size, bool withSize) {
    QString title = QString("%1 %2 %3 %").arg(name, QChar(0x2014)).arg(std::lround(zoom * 100));
    if (withSize)
        title += QString(" (%1 %2 %3)").arg(size.width()).arg(QChar(0xD7)).arg(size.height());
    return title;
}

QSize MinimumPictureClient() {
    return QSize(240, 120);
}

// The picture at the window's zoom, each direction scaled on its own (the
// pixel aspect). Enlarged pixels stay sharp (each picture pixel a block of
// screen pixels); reductions are smoothed. Transparent parts show a
// checkerboard; around the picture the scroll area shows the dark ground.
class PictureView : public QWidget {
  public:
    explicit PictureView(QWidget *parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        QImage tile(16, 16, QImage::Format_RGB32);
        tile.fill(QColor(153, 153, 153));
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if ((x < 8) != (y < 8))
                    tile.setPixelColor(x, y, QColor(102, 102, 102));
        checker_ = QBrush(tile);
    }
    // `image` holds the picture, `picture` its size in pixels, `shown` its
    // size at zoom 1 with the pixel aspect; `checker`: it has transparency.
    void Show(const QImage &image, const QSize &picture, const QSize &shown, double zoom,
              bool checker) {
        image_ = image;
        picture_ = picture;
        checker_on_ = checker;
        sx_ = picture.isEmpty() ? zoom : zoom * shown.width() / picture.width();
        sy_ = picture.isEmpty() ? zoom : zoom * shown.height() / picture.height();
        resize(std::max(1, static_cast<int>(std::ceil(picture.width() * sx_))),
               std::max(1, static_cast<int>(std::ceil(picture.height() * sy_))));
        update();
    }
    // Another drawing of the same picture (a colour cycling frame).
    void SetImage(const QImage &image) {
        image_ = image;
        update();
    }
    const QImage &Image() const { return image_; }

  protected:
    void paintEvent(QPaintEvent *event) override {
        QPainter p(this);
        p.fillRect(event->rect(), kPictureGround);
        if (picture_.isEmpty())
            return;
        if (checker_on_)
            p.fillRect(event->rect(), checker_);
        p.setRenderHint(QPainter::SmoothPixmapTransform, sx_ < 1 || sy_ < 1);
        // Only the picture pixels behind the exposed area are drawn.
        const double ratio = image_.devicePixelRatio();
        const QRectF exposed(event->rect());
        const QRectF source =
            QRectF(std::floor(exposed.left() / sx_), std::floor(exposed.top() / sy_),
                   std::ceil(exposed.width() / sx_) + 2, std::ceil(exposed.height() / sy_) + 2)
                .intersected(QRectF(0, 0, std::min(image_.width() / ratio, 1.0 * picture_.width()),
                                    std::min(image_.height() / ratio, 1.0 * picture_.height())));
        if (source.isEmpty())
            return;
        const QRectF target(source.left() * sx_, source.top() * sy_, source.width() * sx_,
                            source.height() * sy_);
        p.drawImage(target, image_, QRectF(source.topLeft() * ratio, source.size() * ratio));
    }

  private:
    QImage image_;
    QSize picture_;
    QBrush checker_;
    bool checker_on_ = false;
    double sx_ = 1;
    double sy_ = 1;
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
    area_->setAlignment(Qt::AlignCenter);
    area_->setBackgroundRole(QPalette::Base);
    QPalette ground = area_->palette();
    ground.setColor(QPalette::Base, kPictureGround);
    ground.setColor(QPalette::Window, kPictureGround);
    area_->setPalette(ground);
    view_ = new PictureView(area_);
    view_->setObjectName("PictureView");
    area_->setWidget(view_);
    area_->viewport()->installEventFilter(this);
    cycles_ = new CyclePlayer(this, [this] { view_->SetImage(CurrentImage()); });
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
        return a;
    };
    auto separator = [this] {
        auto *a = new QAction(this);
        a->setSeparator(true);
        addAction(a);
    };
    using K = QKeySequence;
    command("ZoomIn", "Zoom In",
            {K::ZoomIn, K(Qt::CTRL | Qt::Key_Equal), K(Qt::Key_Plus), K(Qt::Key_Equal)},
            &ShowPic::ZoomIn);
    command("ZoomOut", "Zoom Out", {K::ZoomOut, K(Qt::Key_Minus)}, &ShowPic::ZoomOut);
    command("FitToWindow", "Fit to Window", {K(Qt::CTRL | Qt::Key_F), K(Qt::Key_F)},
            &ShowPic::FitToWindow);
    command("ActualSize", "Actual Size", {K(Qt::CTRL | Qt::Key_0), K(Qt::Key_1)},
            &ShowPic::ActualSize);
    separator();
    aspectAction_ = command("PixelAspect", "Pixel Aspect", {K(Qt::Key_A)},
                            [this] { SetAspectShown(!aspect_); });
    aspectAction_->setCheckable(true);
    aspectAction_->setChecked(aspect_);
    command("FullScreen", "Full Screen", {K(Qt::Key_F11)}, &ShowPic::ToggleFullScreen);
    // Tab starts and stops colour cycling, as in the paint programs that store the ranges.
    cycleAction_ = command("ColourCycling", "Colour Cycling", {K(Qt::Key_Tab)},
                           [this] { SetCycling(!cycling_); });
    cycleAction_->setCheckable(true);
    cycleAction_->setChecked(cycling_);
    separator();
    command("NextPicture", "Next Picture",
            {K(Qt::Key_Right), K(Qt::Key_PageDown), K(Qt::Key_Space)}, [this] { StepPicture(1); });
    command("PreviousPicture", "Previous Picture",
            {K(Qt::Key_Left), K(Qt::Key_PageUp), K(Qt::Key_Backspace)},
            [this] { StepPicture(-1); });
    command("TopLeft", "Top Left", {K(Qt::Key_Home), K(Qt::CTRL | Qt::Key_Home)},
            [this] { ScrollToCorner(false); });
    command("BottomRight", "Bottom Right", {K(Qt::Key_End), K(Qt::CTRL | Qt::Key_End)},
            [this] { ScrollToCorner(true); });
    separator();
    // The main window's Open and Quit, from here too.
    command("OpenPicture", "Open...", {K(Qt::CTRL | Qt::Key_O)},
            [this] { main_.mnu_file_Load_Click(); });
    // Escape leaves full screen first, then closes the window.
    command("CloseWindow", "Close", {K(Qt::Key_Escape)}, [this] {
        if (isFullScreen())
            ToggleFullScreen();
        else
            close();
    });
    command("Quit", "Quit", {K(Qt::CTRL | Qt::Key_Q)}, [this] { main_.mnu_File_Quit_Click(); });
    // The commands are also on the window's context menu.
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

QSize ShowPic::PictureSize() const {
    const IFF_Picture &pic = main_.Picture();
    // What was decoded: a header alone (no BODY, or a larger later BMHD) sizes nothing.
    return pic.Loaded() ? QSize(pic.DecodedWidth(), pic.DecodedHeight()) : QSize();
}

QSize ShowPic::ShownSize() const {
    const IFF_Picture &pic = main_.Picture();
    return aspect_ ? zoom::AspectSize(PictureSize(),
                                      zoom::PixelAspect(pic.XaspectRatio, pic.YaspectRatio))
                   : PictureSize();
}

void ShowPic::Refresh() {
    const QSize size = PictureSize();
    pic_->SetOuterSize(std::max(1, size.width()), std::max(1, size.height()));
    main_.DrawBitmap(*pic_);
    // A picture with transparency is shown from its rows with alpha.
    const IFF_Picture &pic = main_.Picture();
    alpha_ = QImage();
    if (pic.Loaded())
        position_ = pic.PicturePath;
    if (pic.Loaded() && PixelsAvailable(pic) && HasTransparency(pic)) {
        alpha_ = QImage(pic.DecodedWidth(), pic.DecodedHeight(), QImage::Format_RGBA8888);
        for (int y = 0; y < alpha_.height(); ++y)
            RgbaRow(pic, y, alpha_.scanLine(y));
    }
    cycles_->Take(pic);
    cycles_->SetRunning(cycling_ && isVisible());
    // Every picture opens whole.
    fit_ = true;
    ApplyZoom();
}

void ShowPic::ShowCurrentPicture() {
    Refresh();
    // The client area holds the picture at actual size, within the screen,
    // and never below the minimum.
    QSize client = ShownSize().expandedTo(QSize(1, 1));
    if (QScreen *screen = main_.screen() ? main_.screen() : QGuiApplication::primaryScreen()) {
        QMargins frame = FrameMargins(*this);
        if (frame.isNull())
            frame = FrameMargins(main_);
        const QRect area = screen->availableGeometry();
        client = client.boundedTo(QSize(area.width() - frame.left() - frame.right(),
                                        area.height() - frame.top() - frame.bottom()));
    }
    client = client.expandedTo(MinimumPictureClient());
    if (!isFullScreen())
        resize(client);
    ApplyZoom();
    show();
    raise();
    activateWindow();
    area_->setFocus();
    if (!isFullScreen())
        CentreWithFrame(*this, &main_);
}

QImage ShowPic::CurrentImage() const {
    if (!cycles_->Frame().isNull())
        return cycles_->Frame();
    return alpha_.isNull() ? pic_->Image() : alpha_;
}

const QImage &ShowPic::ShownImage() const {
    return view_->Image();
}

bool ShowPic::CyclingShown() const {
    return cycles_->Running();
}

void ShowPic::SetCycling(bool on) {
    cycling_ = on;
    cycleAction_->setChecked(on);
    cycles_->SetRunning(on && isVisible());
}

void ShowPic::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    cycles_->SetRunning(cycling_);
}

void ShowPic::hideEvent(QHideEvent *event) {
    QWidget::hideEvent(event);
    cycles_->SetRunning(false);
}

void ShowPic::SetZoom(double zoom, bool fit) {
    fit_ = fit;
    zoom_ = std::clamp(zoom, zoom::kMin, zoom::kMax);
    ApplyZoom();
}

void ShowPic::ApplyZoom() {
    const QSize picture = PictureSize();
    const QSize shown = ShownSize();
    // Fitted when larger than the room, never enlarged past actual size.
    if (fit_)
        zoom_ = std::min(1.0, zoom::Fit(shown, area_->maximumViewportSize()));
    // The point at the middle of the view stays in the middle.
    QScrollBar *h = area_->horizontalScrollBar();
    QScrollBar *v = area_->verticalScrollBar();
    const double oldW = std::max(1, view_->width()), oldH = std::max(1, view_->height());
    const double cx = (h->value() + area_->viewport()->width() / 2.0) / oldW;
    const double cy = (v->value() + area_->viewport()->height() / 2.0) / oldH;
    view_->Show(CurrentImage(), picture, shown, zoom_, !alpha_.isNull());
    h->setValue(static_cast<int>(cx * view_->width() - area_->viewport()->width() / 2.0));
    v->setValue(static_cast<int>(cy * view_->height() - area_->viewport()->height() / 2.0));
    UpdateTitle();
}

void ShowPic::UpdateTitle() {
    const IFF_Picture &pic = main_.Picture();
    if (!pic.Loaded()) {
        setWindowTitle("Picture");
        return;
    }
    const QString name = QFileInfo(QFile::decodeName(pic.PicturePath.c_str())).fileName();
    const QSize size = PictureSize();
    // The size where the title bar has room for it beside the window's buttons.
    const bool room =
        fontMetrics().horizontalAdvance(PictureTitle(name, zoom_, size, true)) + 150 <= width();
    setWindowTitle(PictureTitle(name, zoom_, size, room));
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

void ShowPic::ToggleFullScreen() {
    if (isFullScreen())
        showNormal();
    else
        showFullScreen();
}

void ShowPic::SetAspectShown(bool on) {
    aspect_ = on;
    aspectAction_->setChecked(on);
    ApplyZoom();
}

bool ShowPic::StepPicture(int direction) {
    const std::filesystem::path current(position_.empty() ? main_.Picture().PicturePath
                                                          : position_);
    if (current.empty() || main_.Busy())
        return false;
    const std::filesystem::path folder = current.parent_path();
    const std::string name = current.filename().string();
    // The names come sorted by their bytes, as the batch window lists them.
    const std::vector<std::string> names =
        ListPictureFiles(folder.empty() ? std::string(".") : folder.string()).names;
    std::string target;
    if (direction > 0) {
        const auto it = std::upper_bound(names.begin(), names.end(), name);
        if (it == names.end())
            return false;
        target = *it;
    } else {
        const auto it = std::lower_bound(names.begin(), names.end(), name);
        if (it == names.begin())
            return false;
        target = *std::prev(it);
    }
    position_ = (folder / target).string();
    return main_.LoadFromPath(position_);
}

void ShowPic::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (fit_)
        ApplyZoom();
    else
        UpdateTitle();
}

bool ShowPic::eventFilter(QObject *watched, QEvent *event) {
    if (watched != area_->viewport())
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Wheel: {
        // Ctrl + wheel zooms; the plain wheel scrolls.
        auto *wheel = static_cast<QWheelEvent *>(event);
        if (wheel->modifiers() & Qt::ControlModifier) {
            const int delta = wheel->angleDelta().y();
            if (delta > 0)
                ZoomIn();
            else if (delta < 0)
                ZoomOut();
            return true;
        }
        break;
    }
    case QEvent::MouseButtonDblClick:
        ToggleFullScreen();
        return true;
    case QEvent::MouseButtonPress: {
        // Dragging with the left button moves the picture under the pointer.
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::LeftButton)
            break;
        dragging_ = true;
        dragFrom_ = mouse->globalPosition();
        area_->viewport()->setCursor(Qt::ClosedHandCursor);
        return true;
    }
    case QEvent::MouseMove: {
        if (!dragging_)
            break;
        auto *mouse = static_cast<QMouseEvent *>(event);
        const QPointF delta = mouse->globalPosition() - dragFrom_;
        dragFrom_ = mouse->globalPosition();
        QScrollBar *h = area_->horizontalScrollBar();
        QScrollBar *v = area_->verticalScrollBar();
        h->setValue(h->value() - static_cast<int>(std::lround(delta.x())));
        v->setValue(v->value() - static_cast<int>(std::lround(delta.y())));
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!dragging_)
            break;
        dragging_ = false;
        area_->viewport()->unsetCursor();
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace tambrel
