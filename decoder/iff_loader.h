#pragma once
// IFF_Loader: reads an IFF picture file (FORM ILBM, PBM, ACBM and the true-colour
// FORMs, alone or first in a CAT or LIST) into an IFF_Picture record.
#include "common/text.h"
#include "decoder/iff_picture.h"

#include <cstdint>
#include <span>
#include <string>

namespace tambrel {

// Reads the file (its FORM, no more; an RGFX, CAT or LIST whole), walks its
// chunks and leaves everything in `pic`, which starts empty. Returns 1 when the
// file is a picture FORM (ILBM, PBM, ACBM, RGFX, DEEP, TVPP, RGB8, RGBN), or a
// CAT or LIST holding one, and its chunks were walked, 0 when it is not. Throws TambrelError when
// the file cannot be read or the picture is beyond `limits` (checked from the
// header before anything large is allocated). With a `sink`, every decoded row
// goes to it too: as it is decoded when nothing later in the file changes it
// (the record then keeps no pixel buffers), else once the walk has ended.
int LoadIffPicture(IFF_Picture &pic, const std::string &path, bool debug,
                   const DecodeLimits &limits = {}, RowSink *sink = nullptr);

// The same from bytes already in memory; `path` only names the picture.
int LoadIffPictureFromMemory(IFF_Picture &pic, std::span<const std::uint8_t> bytes,
                             const std::string &path, bool debug, const DecodeLimits &limits = {},
                             RowSink *sink = nullptr);

// True when the first 12 bytes of a file are "FORM", "CAT " or "LIST", a size
// and one of the picture types the loader takes.
bool IsPictureHeader(std::span<const std::uint8_t> head);

// 1 when value AND 2^n is not zero.
int BitIsSet(std::uint32_t value, int n);

// W8: Width rounded up to a multiple of 8.
inline std::int64_t RoundedWidth(std::int64_t width) {
    return (width + 7) / 8 * 8;
}

} // namespace tambrel
