#pragma once
// Centring of top-level windows with the frame the window manager adds.
#include <QMargins>

class QWidget;

namespace tambrel {

// The frame around `w` (zero while the window manager has not framed it).
QMargins FrameMargins(const QWidget &w);
// Centres `w`'s outer frame in its screen's available area, kept inside it.
// While `w` has no frame yet, `reference`'s frame (a window of the same
// program) stands in for it; once the real frame is known the window is
// centred again.
void CentreWithFrame(QWidget &w, const QWidget *reference = nullptr);

} // namespace tambrel
