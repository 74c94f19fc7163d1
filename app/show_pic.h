#pragma once
// ShowPic: the picture window, the current picture at its own size, one screen
// pixel per picture pixel, centred on the screen.
#include "app/picture_surface.h"

#include <QWidget>

namespace tambrel {

class TambrelMain;

class ShowPic : public QWidget {
    Q_OBJECT
  public:
    explicit ShowPic(TambrelMain &main);

    PictureSurface *Pic() const { return pic_; }
    // Fits `Pic` to the client area, draws the picture and centres the window.
    void FitDrawAndCentre();

  protected:
    void resizeEvent(QResizeEvent *event) override;

  private:
    TambrelMain &main_;
    PictureSurface *pic_;
};

} // namespace tambrel
