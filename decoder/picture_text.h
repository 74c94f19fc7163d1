#pragma once
// What a picture file may carry beside its pixels: the picture's name
// (NAME), its author (AUTH), a copyright line ("(c) "), annotations (ANNO),
// a colour profile (ICCP, named by ICCN), camera data (EXIF), an XMP packet
// (XMP0) and the print resolution (DPI). They are read
// from the file's bytes on their own, apart from the picture's chunk walk, so
// the walk and its log are the same with or without them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tambrel {

enum class TextKind { Name, Author, Copyright, Annotation };

struct PictureText {
    TextKind Kind = TextKind::Annotation;
    // The chunk's bytes up to its first NUL, as stored: IFF text is Latin-1.
    std::string Text;
};

struct PictureMetadata {
    std::vector<PictureText> Texts;       // every NAME, AUTH, "(c) " and ANNO, in file order
    std::vector<std::uint8_t> IccProfile; // the first ICCP chunk: an ICC profile, as stored
    std::string IccName;                  // the first ICCN chunk, up to its first NUL
    // The first EXIF chunk without the "Exif" header (4 letters, 2 NULs) it
    // has as in a JPEG file: a TIFF structure.
    std::vector<std::uint8_t> Exif;
    // The first XMP0 chunk up to its first NUL: an XMP packet, UTF-8 XML.
    std::string Xmp;
    // The first "DPI " chunk: dots per inch across and down (two words); 0
    // when the file has none.
    std::uint32_t DpiX = 0;
    std::uint32_t DpiY = 0;
};

// The metadata of the FORM in `bytes`; nothing for bytes that are no FORM.
// Empty texts, cut-off chunks and chunks over 16 MiB are passed over.
PictureMetadata ReadPictureMetadata(const std::uint8_t *bytes, std::size_t length);

// Latin-1 text as UTF-8 for showing on a screen or terminal: every control
// character (C0, DEL, C1, line breaks included) becomes a blank, so no byte
// of the file reaches a terminal raw.
std::string ShownText(const std::string &latin1);

} // namespace tambrel
