#pragma once
// The loader's steps that its files share: the byte reader, and the body
// decoder's entry points the chunk walk calls. Nothing outside decoder/ uses them.
#include "decoder/iff_loader.h"

#include <cstdint>
#include <string>

namespace tambrel::loader {

std::uint32_t ReadByte(IFF_Picture &pic);
std::uint32_t ReadWord(IFF_Picture &pic);
std::uint32_t ReadLong(IFF_Picture &pic);
std::string Decimal(std::int64_t value);

// True when `type` is a FORM type the loader takes; sets `form`.
bool FormOfType(const std::string &type, FormKind &form);

// How a BODY or ABIT chunk is laid out, or that it is not decoded.
enum class BodyLayout {
    Refused,
    Interleaved, // ILBM rows of plane rows, plain or ByteRun1
    Chunky,      // PBM rows of one byte per pixel, plain or ByteRun1
    Contiguous,  // ABIT: plane 0 whole, then plane 1 ...
    Vertical,    // BODY of VDAT chunks: one per plane, packed column by column
};

// With ReadPos at the chunk's first data byte: how the BODY (or ABIT) is laid
// out, or Refused with the reason in BodyRefusal.
BodyLayout ChooseBodyLayout(IFF_Picture &pic, const std::string &id);
// The pixel buffers of a BODY, within the limits and claimed first: whole, or
// a window of two rows when the rows stream to the sink.
// `extra`: bytes the decoder holds beside them, claimed with them.
void AllocatePixelBuffers(IFF_Picture &pic, const DecodeLimits &limits, bool interleaved,
                          bool vertical, std::uint64_t extra = 0);
void DecodeBodyByLayout(IFF_Picture &pic, BodyLayout layout, std::uint32_t size);
// Rows that were never turned into colours, resolved when the walk ends.
void ResolveAllRows(IFF_Picture &pic);

// The first chunk `id` (4 characters) of the FORM: its data's offset and its
// size within the file. False when the FORM holds none.
bool FindChunkInForm(const IFF_Picture &pic, const char *id, std::uint64_t &at,
                     std::uint32_t &size);
// For a BODY of a FORM without a CMAP: a grey ramp over 2^Bitplanes entries,
// then the CMYK chunk's colours where it has them.
void SetPaletteWithoutColourMap(IFF_Picture &pic);
// Reads the FORM's PCHG chunk (or else its SHAM chunk) into LineChanges.
void ReadLineChanges(IFF_Picture &pic);
// Brings the palette to picture row y (1 .. Height) by the line changes; rows
// are turned into colours from row 1 on, in order.
void ApplyLineChanges(IFF_Picture &pic, std::int32_t y);

// The chunks of a FORM with chunks of its own (RGFX, DEEP, RGB8, RGBN): true
// when `id` was one of them and is read.
bool ReadOwnFormChunk(IFF_Picture &pic, const std::string &id, std::uint32_t size,
                      const DecodeLimits &limits);

} // namespace tambrel::loader
