#pragma once
// The exports every front end offers, one way in: which a picture gives, why
// one is refused, and each one's contents into an open output file.
#include "decoder/iff_picture.h"
#include "output/atomic_file.h"

#include <string>

namespace tambrel {

enum class ExportKind {
    Colours, // raw 32-bit colours
    Indices, // raw 8-bit palette indices
    Palette, // the palette as text
    Png,     // the picture as PNG
};

// Whether the picture gives that export.
bool ExportAvailable(const IFF_Picture &pic, ExportKind kind);
// Why the raw 8-bit or palette export refuses a picture that holds true colour;
// empty for every other export or picture.
std::string TrueColourRefusal(const IFF_Picture &pic, ExportKind kind);
// The export's whole contents into `out`.
void WriteExportTo(AtomicFile &out, const IFF_Picture &pic, ExportKind kind);

} // namespace tambrel
