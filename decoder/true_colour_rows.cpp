// The buffers and row progress of the true-colour FORMs, and the hand-over
// from the chunk walk to the reader of the FORM's own chunks.
#include "decoder/true_colour_rows.h"

#include "common/errors.h"

#include <algorithm>
#include <cstring>
#include <vector>

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

void ConvertTrueColourRows(LoadSession &pic, const std::uint8_t *data, std::uint64_t length,
                           std::uint64_t stride, std::size_t rowBytes, bool alpha,
                           const TrueColourRowFn &convert) {
    const auto width = static_cast<std::size_t>(std::max(pic.Width, 0));
    const auto height = static_cast<std::uint64_t>(std::max(pic.Height, 0));
    std::vector<std::uint8_t> row(rowBytes);
    std::uint64_t y = 0;
    for (; y < height && y * stride < length; ++y) {
        const std::uint64_t at = y * stride;
        const std::uint8_t *in = data + at;
        if (length - at < rowBytes) {
            // The last bytes of the data: the rest of the row reads as 0.
            std::fill(std::copy(in, data + length, row.begin()), row.end(), 0);
            in = row.data();
        }
        const auto r = static_cast<std::size_t>(y + 1);
        convert(in, pic.PixelColours.Row(r), alpha ? pic.PixelAlpha.Row(r) : nullptr,
                pic.PixelWide.Empty() ? nullptr : pic.PixelWide.Row(r));
        TrueColourRowDone(pic, static_cast<std::int32_t>(r));
    }
    if (y == height) {
        return;
    }
    // Past the data every row reads as 0. The buffers start at 0, so a row
    // that converts to 0 throughout is already in place.
    std::fill(row.begin(), row.end(), 0);
    std::vector<Colour> colours(width);
    std::vector<std::uint8_t> alphas(alpha ? width : 0);
    convert(row.data(), colours.data(), alpha ? alphas.data() : nullptr, nullptr);
    const bool zero =
        std::all_of(colours.begin(), colours.end(), [](Colour c) { return c == 0; }) &&
        std::all_of(alphas.begin(), alphas.end(), [](std::uint8_t a) { return a == 0; });
    // Streamed rows share their slots with earlier rows: each is written and
    // handed on in turn.
    for (std::uint64_t r = y + 1; (!zero || pic.RowsStream) && r <= height; ++r) {
        if (width > 0) {
            std::memcpy(pic.PixelColours.Row(r), colours.data(), width * sizeof(Colour));
            if (alpha) {
                std::memcpy(pic.PixelAlpha.Row(r), alphas.data(), width);
            }
            if (!pic.PixelWide.Empty()) {
                std::memset(pic.PixelWide.Row(r), 0, width * sizeof(WidePixel));
            }
        }
        if (pic.RowsStream) {
            TrueColourRowDone(pic, static_cast<std::int32_t>(r));
        }
    }
    if (!pic.RowsStream) {
        TrueColourRowDone(pic, static_cast<std::int32_t>(height));
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
