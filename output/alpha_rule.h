#pragma once
// Which of a picture's transparency the outputs that carry alpha (PNG, the
// thumbnails, the desktop image plugins, the picture window) apply.
#include <string>

namespace tambrel {

enum class AlphaRule {
    // The mask plane and alpha planes; the transparent colour (Masking 2) only
    // when the picture is smaller than its page (a brush). A picture that fills
    // its page, or whose header gives no page size, keeps that colour opaque.
    Auto,
    Mask,   // the mask plane and alpha planes only, never the transparent colour
    Colour, // the transparent colour always, with the mask plane and alpha planes
    None,   // fully opaque
};

// "auto", "mask", "colour" (or "color") or "none" into `rule`; false for any other text.
bool ParseAlphaRule(const std::string &text, AlphaRule &rule);

} // namespace tambrel
