#include "decoder/picture_info.h"

#include "common/declarations.h"
#include "common/text.h"

namespace tambrel {

std::vector<std::pair<std::string, std::string>> ImageInfoLines(const IFF_Picture &pic) {
    std::vector<std::pair<std::string, std::string>> lines = {
        {"File:", UpperCase(pic.PictureName)},
        {"Width :", NumberText(pic.Width)},
        {"Height :", NumberText(pic.Height)},
        {"Bitplanes:", NumberText(pic.Bitplanes)},
        // The true product: 65535 x 65535 does not fit 32 bits.
        {"Pixels :", NumberText(std::int64_t{pic.Width} * pic.Height)},
        {"Xpos:", NumberText(pic.Xpos)},
        {"Ypos:", NumberText(pic.Ypos)},
        {"Masking:", NumberText(pic.Masking)},
        {"Packtype:", NumberText(pic.Packtype)},
        {"X Aspect Ratio:", NumberText(pic.XaspectRatio)},
        {"Y Aspect Ratio:", NumberText(pic.YaspectRatio)},
        {"Mask Colour:", LongToHex(pic.TransparentColour)},
        {"Mode ID:", LongToHex(pic.ModeId)},
    };
    // What kind of picture it is, for every kind but a plain ILBM of 1 to 8 planes.
    if (pic.Form == FormKind::Pbm) {
        lines.emplace_back("Mode:", "Chunky (PBM)");
    }
    if (pic.Form == FormKind::Acbm) {
        lines.emplace_back("Mode:", "ACBM (contiguous)");
    }
    if (pic.Form == FormKind::Rgfx) {
        lines.emplace_back("Mode:", "RGFX");
    }
    if (pic.Form == FormKind::Deep) {
        lines.emplace_back("Mode:", "DEEP");
    }
    if (pic.Form == FormKind::Rgb8 || pic.Form == FormKind::Rgbn) {
        lines.emplace_back("Mode:",
                           pic.Form == FormKind::Rgb8 ? "RGB8 (run-length)" : "RGBN (run-length)");
    }
    if (pic.Bitplanes == 24 || pic.Bitplanes == 32) {
        lines.emplace_back("Mode:", pic.Bitplanes == 24 ? "Deep 24-bit" : "Deep 32-bit + alpha");
    }
    if (pic.Bitplanes == 48 || pic.Bitplanes == 64) {
        lines.emplace_back("Mode:", pic.Bitplanes == 48 ? "Deep 48-bit" : "Deep 64-bit + alpha");
    }
    if (pic.VerticalBody) {
        lines.emplace_back("Mode:", "Vertical RLE (VDAT)");
    }
    if (pic.IsHalfBright()) {
        lines.emplace_back("Mode:", "HalfBright");
    }
    if (pic.IsHam() && pic.Display() == DisplayKind::Ham6) {
        lines.emplace_back("Mode:", "Ham (OCS)");
    }
    if (pic.IsHam() && pic.Display() == DisplayKind::Ham8) {
        lines.emplace_back("Mode:", "HamAA(AGA)");
    }
    if (pic.HasDynamicPalette()) {
        lines.emplace_back("Mode:", "Dynamic Palette");
    }
    if (pic.IsInterlaced()) {
        lines.emplace_back("Mode:", "Interlaced");
    }
    for (const PictureText &text : pic.Metadata.Texts) {
        static const char *const kLabels[] = {"Name:", "Author:", "Copyright:", "Annotation:"};
        lines.emplace_back(kLabels[static_cast<int>(text.Kind)], ShownText(text.Text));
    }
    return lines;
}

} // namespace tambrel
