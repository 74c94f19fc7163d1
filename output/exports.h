#pragma once
// The raw and palette exports: the decoder's pixel buffers exactly as held in
// memory, and the file's palette as text.
#include "decoder/iff_picture.h"
#include "output/atomic_file.h"

#include <string>

namespace tambrel {

// Guards of the three exports: a loaded picture of non-zero size; the raw
// exports also need a decoded BODY, so they never write the previous picture's pixels.
bool CanExportRawColours(const IFF_Picture &pic);
bool CanExportRawIndices(const IFF_Picture &pic);
bool CanExportPalette(const IFF_Picture &pic);
// A decoded deep picture holds true colour: no palette indices and no palette,
// so the raw 8-bit and palette exports refuse it.
bool HoldsTrueColour(const IFF_Picture &pic);

// Each writes the whole file, replacing one of that name unless it is
// read-only or the picture's own file, or throws TambrelError, leaving no partial file.
void WriteRawColours(const IFF_Picture &pic, const std::string &fileName);
void WriteRawIndices(const IFF_Picture &pic, const std::string &fileName);
void WritePaletteText(const IFF_Picture &pic, const std::string &fileName);

// The same contents into an open output file (used by the save modes).
void WriteRawColoursTo(AtomicFile &out, const IFF_Picture &pic);
void WriteRawIndicesTo(AtomicFile &out, const IFF_Picture &pic);
void WritePaletteTextTo(AtomicFile &out, const IFF_Picture &pic);

// The palette file's text: 2^Bitplanes lines (at most 256), "$rrggbb" and CR LF each.
std::string PaletteText(const IFF_Picture &pic);

} // namespace tambrel
