#pragma once
// CyclePlayer: turns a palette picture's colour cycling ranges while the
// picture window shows it. Each range steps at its own rate, counted from the
// moment cycling started, so a slow timer never slows the ranges down. The
// frames are made from the picture's palette indices with the turned palette.
#include "decoder/colour_cycles.h"
#include "decoder/iff_picture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace tambrel {

class CyclePlayer : public QObject {
    Q_OBJECT
  public:
    // `frameChanged` is called whenever Frame() changes.
    CyclePlayer(QObject *parent, std::function<void()> frameChanged);

    // Takes the ranges of `pic` that cycle; none for a picture whose colours
    // are not its palette entries (hold-and-modify, deep, line palettes,
    // mask plane). Cycling stops; the frame returns to the still picture.
    void Take(const IFF_Picture &pic);
    bool HasRanges() const { return !ranges_.empty(); }
    // Starts (from the picture's own colours) or stops cycling.
    void SetRunning(bool on);
    bool Running() const { return timer_.isActive(); }
    // The picture with its ranges turned; null while still.
    const QImage &Frame() const { return frame_; }

  private:
    void Tick();

    std::function<void()> frameChanged_;
    std::vector<CycleRange> ranges_;
    std::vector<std::int64_t> steps_;
    std::array<Colour, 256> still_{};
    int transparent_ = -1;
    QImage indices_; // one palette index per pixel
    QImage frame_;
    QTimer timer_;
    QElapsedTimer clock_;
};

} // namespace tambrel
