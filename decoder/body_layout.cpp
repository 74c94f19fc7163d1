// Which kind of FORM a type names, and how a BODY's planes are laid out (or
// why the body is refused), from the header and the chunk's first bytes.
#include "decoder/iff_loader.h"
#include "decoder/loader_steps.h"

#include <cstring>
#include <string>

namespace tambrel::loader {

bool FormOfType(const std::string &type, FormKind &form) {
    if (type == "ILBM") {
        form = FormKind::Ilbm;
    } else if (type == "PBM ") {
        form = FormKind::Pbm;
    } else if (type == "ACBM") {
        form = FormKind::Acbm;
    } else if (type == "RGFX") {
        form = FormKind::Rgfx;
    } else if (type == "DEEP" || type == "TVPP") {
        form = FormKind::Deep;
    } else if (type == "RGB8") {
        form = FormKind::Rgb8;
    } else if (type == "RGBN") {
        form = FormKind::Rgbn;
    } else {
        return false;
    }
    return true;
}

namespace {

BodyLayout RefuseBody(LoadSession &pic, const std::string &reason, const std::string &debugLine) {
    pic.BodyRefusal = reason;
    AddDebugLine(pic, debugLine);
    return BodyLayout::Refused;
}

} // namespace

// With ReadPos at the chunk's first data byte.
BodyLayout ChooseBodyLayout(LoadSession &pic, const std::string &id) {
    const bool palettePlanes = pic.Bitplanes >= 1 && pic.Bitplanes <= 8;
    const bool deepPlanes =
        pic.Bitplanes == 24 || pic.Bitplanes == 32 || pic.Bitplanes == 48 || pic.Bitplanes == 64;
    if (!palettePlanes && !(deepPlanes && pic.Form != FormKind::Pbm)) {
        return RefuseBody(pic, "the header gives " + std::to_string(pic.Bitplanes) + " bit planes",
                          "Unsupported Bitplanes:" + NumberText(pic.Bitplanes));
    }
    if (pic.Form == FormKind::Pbm) {
        if (pic.Packtype > 1) {
            return RefuseBody(pic, "the header gives compression " + std::to_string(pic.Packtype),
                              "Unsupported Packtype:" + NumberText(pic.Packtype));
        }
        return BodyLayout::Chunky;
    }
    if (id == "ABIT") {
        return BodyLayout::Contiguous;
    }
    const std::uint64_t pos = pic.ReadPos;
    if (pic.Packtype == 2 && pos + 4 <= pic.FileLength &&
        std::memcmp(pic.FileCache.data() + pos, "VDAT", 4) == 0) {
        return BodyLayout::Vertical;
    }
    return BodyLayout::Interleaved;
}

} // namespace tambrel::loader
