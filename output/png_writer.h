#pragma once
// The decoded picture as a PNG file: palette pictures as indexed PNG with
// their palette (and the transparent entry in tRNS), the rest as RGB, or RGBA
// where the file defines transparency: 16 bits a sample for a picture stored
// with 16 (PixelWide), 8 for every other.
#include "decoder/iff_picture.h"
#include "output/alpha_rule.h"
#include "output/png_encoder.h"

#include <cstdint>
#include <string>

namespace tambrel {

class AtomicFile;

// True when the picture has pixels to write: a decoded BODY, a width and a
// height of at least 1.
bool PngWritable(const IFF_Picture &pic);

// Adds to `image` the picture's texts and pixel shape: a tEXt chunk for each
// NAME (keyword Title), AUTH (Author), "(c) " (Copyright) and ANNO
// (Description) in file order, their Latin-1 bytes as they are (tEXt text is
// Latin-1 too), a pHYs chunk when the pixels are not square or the file
// gives its resolution (DPI), the ICCP colour profile (named by ICCN) as
// iCCP, the EXIF data as eXIf and the XMP0 packet as iTXt.
// Every PNG of a picture gets them, whichever path writes it.
void AddPictureChunks(PngImage &image, const IFF_Picture &pic);

// Writes the whole picture into an open output file. Throws TambrelError when
// the file cannot be written or the picture is beyond the pixel cap. `rule`
// decides which of the picture's transparency the file carries.
void WritePngTo(AtomicFile &out, const IFF_Picture &pic, PngLevel level = PngLevel::Default,
                AlphaRule rule = AlphaRule::Auto);

// Writes the file, replacing any file of that name; does nothing when the
// picture has no pixels. Throws TambrelError when the file cannot be written.
void WritePngFile(const IFF_Picture &pic, const std::string &fileName,
                  PngLevel level = PngLevel::Default);

// An image of width x height pixels, 4 bytes (red, green, blue, alpha) each,
// rows top to bottom, as an RGBA PNG (RGB when `alpha` is false: the alpha
// bytes are left out), at the default level.
void WriteRgbaPngTo(AtomicFile &out, const std::uint8_t *rgba, std::uint32_t width,
                    std::uint32_t height, bool alpha);

} // namespace tambrel
