#pragma once
// ShowPic: the picture window. Each picture opens whole: fitted to the window
// when larger, at actual size when smaller, centred on a dark ground, with
// transparent parts over a checkerboard and pixels at the picture's own aspect.
// Keys and the mouse zoom, pan, go full screen and step through the pictures
// of the picture's folder. The window follows New and every load while open.
#include "app/picture_surface.h"

#include <QColor>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>
#include <QWidget>

#include <string>

class QAction;
class QScrollArea;

namespace tambrel {

class TambrelMain;
class PictureView;
class CyclePlayer;

// The zoom rules, apart from the window so they can be checked on their own.
namespace zoom {
inline constexpr double kMin = 1.0 / 16;
inline constexpr double kMax = 32;
// The next zoom step above (direction > 0) or below (< 0) `current`, within kMin .. kMax.
double Step(double current, int direction);
// The largest zoom that shows the whole `picture` within `room`, within kMin .. kMax.
double Fit(const QSize &picture, const QSize &room);
// Width over height of one pixel from the header's aspect fields; 1 (square)
// when either is 0 or the two are implausibly far apart.
double PixelAspect(int xAspect, int yAspect);
// The picture's size with its pixels made square: the narrow side stretched.
QSize AspectSize(const QSize &picture, double pixelAspect);
} // namespace zoom

// The window title: "NAME — NN %", with " (W × H)" when `withSize`.
QString PictureTitle(const QString &name, double zoom, const QSize &size, bool withSize);

// The neutral dark ground around the picture.
inline const QColor kPictureGround(46, 46, 46);

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
    // Redraws for the current picture, keeping the window's size; the
    // picture is shown whole again (fitted, never enlarged).
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
    void ToggleFullScreen();
    // Pixels at the picture's aspect (on at the start) or square.
    bool AspectShown() const { return aspect_; }
    void SetAspectShown(bool on);
    // Loads the next (direction > 0) or previous picture of the current
    // picture's folder, in name order; false when there is none.
    bool StepPicture(int direction);
    // Colour cycling of the picture's active ranges (on at the start; Tab
    // toggles it). CyclingShown: ranges are turning now.
    bool CyclingOn() const { return cycling_; }
    void SetCycling(bool on);
    bool CyclingShown() const;
    // The drawing the view shows: the picture, or its current cycling frame.
    const QImage &ShownImage() const;

  protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void SetZoom(double zoom, bool fit);
    void ApplyZoom();
    void UpdateTitle();
    QSize PictureSize() const;
    // The picture's size as shown at zoom 1: stretched by the pixel aspect.
    QSize ShownSize() const;
    // The picture's drawing with transparency and the cycling frame, if any.
    QImage CurrentImage() const;

    TambrelMain &main_;
    PictureSurface *pic_;
    QScrollArea *area_;
    PictureView *view_;
    QAction *aspectAction_ = nullptr;
    QAction *cycleAction_ = nullptr;
    CyclePlayer *cycles_ = nullptr;
    bool cycling_ = true;
    QImage alpha_; // the picture with its transparency, when it has any
    // The file stepping goes on from: the last one shown or tried, so a file
    // that fails to load is stepped past.
    std::string position_;
    double zoom_ = 1;
    bool fit_ = true;
    bool aspect_ = true;
    bool dragging_ = false;
    QPointF dragFrom_;
};

} // namespace tambrel
