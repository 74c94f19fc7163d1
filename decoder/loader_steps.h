#pragma once
// The loader's steps that its files share: the byte reader, and the body
// decoder's entry points the chunk walk calls. Nothing outside decoder/ uses them.
#include "decoder/iff_loader.h"

#include <cstdint>
#include <string>

namespace tambrel::loader {

std::uint32_t ReadByte(IFF_Picture &pic);
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
void AllocatePixelBuffers(IFF_Picture &pic, const DecodeLimits &limits, bool interleaved,
                          bool vertical);
void DecodeBodyByLayout(IFF_Picture &pic, BodyLayout layout, std::uint32_t size);
// Rows that were never turned into colours, resolved when the walk ends.
void ResolveAllRows(IFF_Picture &pic);

} // namespace tambrel::loader
