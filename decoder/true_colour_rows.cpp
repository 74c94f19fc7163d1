// The buffers and row progress of the true-colour FORMs, and the hand-over
// from the chunk walk to the reader of the FORM's own chunks.
#include "decoder/true_colour_rows.h"

#include "common/errors.h"

#include <algorithm>

namespace tambrel::loader {

void StartTrueColourBody(LoadSession &pic, const DecodeLimits &limits, bool alpha, bool wide,
                         std::uint64_t extra, std::uint64_t streamEnd) {
    // Rows that do not stream are handed on by the walk once it has ended.
    pic.RowsStream =
        streamEnd > 0 && pic.Sink != nullptr && !LaterChunkChangesRows(pic, streamEnd, false);
    pic.Bitplanes = alpha ? 32 : 24;
    pic.Masking = 0;
    pic.WideBody = wide;
    AllocatePixelBuffers(pic, limits, false, false, extra);
    pic.BodyFound = -1;
    pic.BodyRefusal.clear();
    if (pic.Progress != nullptr) {
        pic.Progress->Rows.store(std::max(pic.Height, 0), std::memory_order_relaxed);
        pic.Progress->RowsDone.store(0, std::memory_order_relaxed);
    }
}

void TrueColourRowDone(LoadSession &pic, std::int32_t y) {
    if (pic.RowsStream) {
        // The sink begins with the first row: a body refused before it
        // (damaged data) has shown the sink nothing.
        if (y == 1) {
            pic.Sink->Begin(pic);
        }
        pic.Sink->TakeRow(pic, y - 1);
    }
    if (pic.Progress != nullptr) {
        if (pic.Progress->Cancel.load(std::memory_order_relaxed)) {
            throw TambrelError(kErrDeviceIO, kLoadCancelledText);
        }
        pic.Progress->RowsDone.store(y, std::memory_order_relaxed);
    }
}

void RefuseTrueColourBody(LoadSession &pic, const std::string &reason) {
    // Refused after its buffers were made: no rows to report.
    pic.BodyFound = 0;
    if (pic.Progress != nullptr) {
        pic.Progress->Rows.store(0, std::memory_order_relaxed);
        pic.Progress->RowsDone.store(0, std::memory_order_relaxed);
    }
    pic.BodyRefusal = reason;
    AddDebugLine(pic, "Unsupported Body: " + reason);
}

namespace {

// An ILBM chunk in a FORM of its own kind means nothing there: it is skipped.
bool SkipIlbmChunk(LoadSession &pic, const std::string &id) {
    if (id == "BMHD" || id == "BODY" || id == "ABIT" || id == "CMAP" || id == "CAMG" ||
        id == "CTBL") {
        AddDebugLine(pic, "Skipping Unknown Section ");
        return true;
    }
    return false;
}

} // namespace

bool ReadOwnFormChunk(LoadSession &pic, const std::string &id, std::uint32_t size,
                      const DecodeLimits &limits) {
    switch (pic.Form) {
    case FormKind::Rgfx:
        return ReadRgfxChunk(pic, id, size, limits) || SkipIlbmChunk(pic, id);
    case FormKind::Deep:
        return ReadDeepChunk(pic, id, size, limits) || SkipIlbmChunk(pic, id);
    case FormKind::Rgb8:
    case FormKind::Rgbn:
        return ReadRgbnChunk(pic, id, size, limits);
    default:
        return false;
    }
}

} // namespace tambrel::loader
