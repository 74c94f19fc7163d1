#pragma once
// ShowPic: the picture window. It shows the current picture at the chosen
// zoom (one screen pixel per picture pixel at actual size), at the top left on
// white, with scroll bars when the picture is larger than the window. The
// window follows New and every load while it is open.
#include "app/picture_surface.h"

#include <QSize>
#include <QWidget>

class QScrollArea;

namespace tambrel {

class TambrelMain;
class PictureView;

// The zoom rules, apart from the window so they can be checked on their own.
namespace zoom {
inline constexpr double kMin = 1.0 / 16;
inline constexpr double kMax = 32;
// The next zoom step above (direction > 0) or below (< 0) `current`, within kMin .. kMax.
double Step(double current, int direction);
// The largest zoom that shows the whole `picture` within `room`, within kMin .. kMax.
double Fit(const QSize &picture, const QSize &room);
} // namespace zoom

// The smallest client area: the window manager can then show the title and
// the close button.
QSize MinimumPictureClient();

class ShowPic : public QWidget {
    Q_OBJECT
  public:
    explicit ShowPic(TambrelMain &main);

    // The drawing of the current picture, at its own size.
    PictureSurface *Pic() const { return pic_; }
    QScrollArea *ScrollArea() const { return area_; }
    // Opens the window for the current picture: sized to it (within the
    // screen, at least MinimumPictureClient), shown and centred.
    void ShowCurrentPicture();
    // Redraws for the current picture, keeping the window's size.
    void Refresh();

    // The zoom shown; FitMode() when it follows the window's size.
    double Zoom() const { return zoom_; }
    bool FitMode() const { return fit_; }
    void ZoomIn();
    void ZoomOut();
    void FitToWindow();
    void ActualSize();
    // Scrolls to the top-left (Home) or bottom-right (End) corner.
    void ScrollToCorner(bool bottomRight);

  protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void SetZoom(double zoom, bool fit);
    void ApplyZoom();
    QSize PictureSize() const;

    TambrelMain &main_;
    PictureSurface *pic_;
    QScrollArea *area_;
    PictureView *view_;
    double zoom_ = 1;
    bool fit_ = false;
};

} // namespace tambrel
