#include "app/cycle_player.h"

#include "output/picture_pixels.h"

#include <QList>

#include <algorithm>
#include <utility>

namespace tambrel {

CyclePlayer::CyclePlayer(QObject *parent, std::function<void()> frameChanged)
    : QObject(parent), frameChanged_(std::move(frameChanged)) {
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &CyclePlayer::Tick);
}

void CyclePlayer::Take(const IFF_Picture &pic) {
    SetRunning(false);
    ranges_.clear();
    indices_ = QImage();
    if (!pic.Loaded() || !PixelsAvailable(pic))
        return;
    for (const CycleRange &range : pic.ColourCycles)
        if (range.Cycles())
            ranges_.push_back(range);
    if (ranges_.empty())
        return;
    const PictureLayout layout = LayoutOf(pic);
    if (layout.Kind != PixelLayout::Indexed) {
        ranges_.clear();
        return;
    }
    still_ = layout.Palette;
    transparent_ = layout.TransparentIndex;
    indices_ = QImage(pic.DecodedWidth(), pic.DecodedHeight(), QImage::Format_Indexed8);
    if (indices_.isNull()) {
        ranges_.clear();
        return;
    }
    for (int y = 0; y < indices_.height(); ++y)
        IndexRow(pic, y, indices_.scanLine(y));
}

void CyclePlayer::SetRunning(bool on) {
    if (on && !ranges_.empty()) {
        if (Running())
            return;
        steps_.assign(ranges_.size(), 0);
        clock_.start();
        // Often enough for the fastest range, at most 60 times a second.
        double fastest = 0;
        for (const CycleRange &range : ranges_)
            fastest = std::max(fastest, range.StepsPerSecond);
        timer_.start(std::clamp(static_cast<int>(1000 / fastest), 16, 1000));
        return;
    }
    timer_.stop();
    if (!frame_.isNull()) {
        frame_ = QImage();
        frameChanged_();
    }
}

void CyclePlayer::Tick() {
    const double seconds = clock_.nsecsElapsed() / 1e9;
    bool moved = false;
    for (std::size_t i = 0; i < ranges_.size(); ++i) {
        const std::int64_t steps = StepsAfter(ranges_[i], seconds);
        moved = moved || steps != steps_[i];
        steps_[i] = steps;
    }
    if (!moved)
        return;
    std::array<Colour, 256> shown = still_;
    for (std::size_t i = 0; i < ranges_.size(); ++i)
        CycleEntries(ranges_[i], steps_[i], still_.data(), shown.data());
    QList<QRgb> table(256);
    for (int i = 0; i < 256; ++i)
        table[i] = (i == transparent_ ? 0u : 0xff000000u) | shown[static_cast<std::size_t>(i)];
    indices_.setColorTable(table);
    frame_ =
        indices_.convertToFormat(transparent_ >= 0 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    frameChanged_();
}

} // namespace tambrel
