#pragma once
// The texts a picture file may carry beside its pixels: the picture's name
// (NAME), its author (AUTH), a copyright line ("(c) ") and annotations
// (ANNO). They are read from the file's bytes on their own, apart from the
// picture's chunk walk, so the walk and its log are the same with or without
// them.
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

// Every NAME, AUTH, "(c) " and ANNO chunk of the FORM in `bytes`, in file
// order; nothing for bytes that are no FORM. Empty texts and cut-off chunks
// are passed over.
std::vector<PictureText> ReadPictureTexts(const std::uint8_t *bytes, std::size_t length);

// Latin-1 text as UTF-8 for showing on a screen or terminal: every control
// character (C0, DEL, C1, line breaks included) becomes a blank, so no byte
// of the file reaches a terminal raw.
std::string ShownText(const std::string &latin1);

} // namespace tambrel
