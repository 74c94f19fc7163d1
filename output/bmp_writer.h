#pragma once
// WriteBitmapFile: the decoded picture as an uncompressed 32-bit bottom-up BMP.
#include "decoder/iff_picture.h"
#include "output/atomic_file.h"

#include <array>
#include <cstdint>
#include <string>

namespace tambrel {

// The 54-byte file and information header for a W x H picture.
std::array<std::uint8_t, 54> BitmapHeader(std::int32_t bmpWidth, std::int32_t bmpHeight);

// True when the writer's guard lets the picture through: not a completed walk
// without a BODY, and a width and height of at least 1.
bool BitmapWritable(const IFF_Picture &pic, std::int32_t bmpWidth, std::int32_t bmpHeight);

// Writes the file, replacing any file of that name as `rules` allow; does nothing when the guard
// stops it. Throws TambrelError when the file cannot be written.
void WriteBitmapFile(const IFF_Picture &pic, const std::string &fileName, std::int32_t bmpWidth,
                     std::int32_t bmpHeight, const OutputRules &rules);
// The same, refusing a read-only target and the picture's own file.
void WriteBitmapFile(const IFF_Picture &pic, const std::string &fileName, std::int32_t bmpWidth,
                     std::int32_t bmpHeight);

// Writes header and rows into an open output file (used by the save modes).
// A picture whose file size does not fit the header's 32-bit fields is refused (error 7).
void WriteBitmapTo(AtomicFile &out, const IFF_Picture &pic, std::int32_t bmpWidth,
                   std::int32_t bmpHeight);

} // namespace tambrel
