#pragma once
// WriteBitmapFile: the decoded picture as an uncompressed 32-bit bottom-up BMP.
#include "decoder/iff_picture.h"

#include <array>
#include <cstdint>
#include <string>

namespace tambrel {

class AtomicFile;

// The 54-byte file and information header for a W x H picture.
std::array<std::uint8_t, 54> BitmapHeader(std::int32_t bmpWidth, std::int32_t bmpHeight);

// True when the writer's guard lets the picture through: not a completed walk
// without a BODY, and a width and height of at least 1.
bool BitmapWritable(const IFF_Picture &pic, std::int32_t bmpWidth, std::int32_t bmpHeight);

// Writes the file, replacing any file of that name; does nothing when the guard
// stops it. Throws TambrelError when the file cannot be written.
void WriteBitmapFile(const IFF_Picture &pic, const std::string &fileName, std::int32_t bmpWidth,
                     std::int32_t bmpHeight);

// Writes header and rows into an open output file (used by the save modes).
void WriteBitmapTo(AtomicFile &out, const IFF_Picture &pic, std::int32_t bmpWidth,
                   std::int32_t bmpHeight);

} // namespace tambrel
