#pragma once
// PictureSurface: a picture box whose drawing lives in an image of its own, so
// it survives being covered and can be copied scaled into another surface.
// Sizes given to SetOuterSize include a border of `border` pixels on each side;
// drawing coordinates start at the inner top-left corner. A surface that
// follows the device pixel ratio keeps its drawing at the screen's resolution
// (sharp text at scale 2); sizes and coordinates stay in logical pixels.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace tambrel {

class PictureSurface : public QWidget {
    Q_OBJECT
  public:
    explicit PictureSurface(QWidget *parent = nullptr, int border = 1);

    // Outer size, border included; the drawing is kept, new area gets the background.
    void SetOuterSize(int width, int height);
    int Border() const { return border_; }
    int InnerWidth() const { return innerWidth_; }
    int InnerHeight() const { return innerHeight_; }
    // Keeps the drawing at the device pixel ratio of the widget's screen from
    // now on (the drawing is cleared).
    void FollowDeviceRatio();
    double Ratio() const { return ratio_; }

    void SetBackColor(QColor colour) { back_ = colour; }
    QColor BackColor() const { return back_; }
    void SetForeColor(QColor colour) { fore_ = colour; }
    QColor ForeColor() const { return fore_; }
    void SetBold(bool bold);
    bool Bold() const { return font_.bold(); }
    void SetTextFont(const QFont &font);

    // Takes a finished drawing as the inner area and sizes the surface to hold
    // it with the border; text cursor to (0, 0), as after Clear.
    void AdoptImage(QImage image);
    // Fills the inner area with the background colour; text cursor to (0, 0).
    void Clear();
    // One pixel of the inner area; outside it is clipped.
    void SetPixel(int x, int y, QColor colour);
    // Draws the text at the cursor in the current colour and weight, then moves
    // the cursor to the left edge of the next line.
    void PrintLine(const QString &text);
    double CurrentX() const { return cursorX_; }
    double CurrentY() const { return cursorY_; }
    void SetCurrentX(double x) { cursorX_ = x; }
    void SetCurrentY(double y) { cursorY_ = y; }
    // Width of the text in the current font, in pixels.
    int TextWidth(const QString &text) const;

    // Copies `source`'s drawing from `sourceRect` into `destRect`, stretching
    // each direction on its own.
    void DrawScaledFrom(const PictureSurface &source, const QRect &sourceRect,
                        const QRect &destRect);
    // Block transfer of colour rows (0x00RRGGBB, top byte ignored) to the inner
    // top-left corner: `rows` rows of `width` values, `stride` values apart.
    void DrawColourRows(const std::uint32_t *firstRow, std::size_t stride, int width, int rows);

    // The lines printed since the last Clear, in order: what the surface
    // says in words, for checks that do not read glyph pixels.
    struct PrintedText {
        QString Text;
        double X = 0;
        double Y = 0;
        QColor Colour;
        bool Bold = false;
    };
    const std::vector<PrintedText> &Printed() const { return printed_; }
    // A tooltip for the band of the printed line at `y` (until the next Clear);
    // elsewhere the surface's own tooltip shows.
    void SetLineToolTip(double y, const QString &tip);

    // The drawing (inner area), at Ratio() device pixels per pixel.
    const QImage &Image() const { return image_; }
    QColor PixelAt(int x, int y) const {
        return image_.pixelColor(static_cast<int>(x * ratio_), static_cast<int>(y * ratio_));
    }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool event(QEvent *event) override;

  private:
    void FitImage(int innerWidth, int innerHeight);

    int border_;
    double ratio_ = 1;
    int innerWidth_ = 1;
    int innerHeight_ = 1;
    QImage image_;
    std::vector<std::pair<QRectF, QString>> lineTips_;
    QColor back_{255, 255, 255};
    QColor fore_{0, 0, 0};
    QFont font_;
    double cursorX_ = 0;
    double cursorY_ = 0;
    std::vector<PrintedText> printed_;
};

} // namespace tambrel
