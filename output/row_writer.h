#pragma once
// A BMP or PNG file written from rows as the decoder finishes them, so a
// conversion never holds the picture's pixel buffers: the BMP's rows go
// straight to their places in the (unnamed, not yet committed) output file;
// a palette PNG keeps one index byte a pixel, a colour PNG its RGB or RGBA
// rows (of 16-bit samples for a picture that has them), until the picture
// is complete and compressed (a large palette PNG's first band is compressed
// while the rest decodes, see PngRowStore::CompressEarly). The file is byte
// for byte the one the writers make from the whole decoded picture.
#include "decoder/decode_limits.h"
#include "decoder/iff_picture.h"
#include "output/alpha_rule.h"
#include "output/file_functions.h"
#include "output/png_encoder.h"

#include <array>
#include <exception>
#include <memory>
#include <optional>
#include <vector>

namespace tambrel {

class RowWriter : public RowSink {
  public:
    // Writes into `out`, which the caller commits once Finish has succeeded.
    // A PNG carries the transparency `rule` applies.
    RowWriter(AtomicFile &out, OutputFormat format, PngLevel level,
              AlphaRule rule = AlphaRule::Auto)
        : out_(out), format_(format), level_(level), rule_(rule) {}

    void Begin(const IFF_Picture &pic) override;
    void TakeRow(const IFF_Picture &pic, std::int32_t y) override;
    // A palette PNG needs the indices alone: the colour each index shows is
    // the palette's entry as the row comes.
    bool TakeIndicesOnly() override;

    // After the load: completes the file for the picture as the walk left it.
    // False when the rows taken do not make that picture's file (no BODY, a
    // later chunk changed what the rows look like, a palette the rows do not
    // follow): the caller then writes the file from a whole decode instead.
    // A failed write is no reason for false: Finish rethrows it.
    bool Finish(const IFF_Picture &pic);

  private:
    // The bytes this writer holds beyond the decoder's, for the memory budget.
    std::uint64_t HeldBytes() const;
    void BitmapBegin(const IFF_Picture &pic);
    void BitmapRow(const IFF_Picture &pic, std::int32_t y);
    void FlushBitmapRows();
    void PngBegin(const IFF_Picture &pic);
    void PngRow(const IFF_Picture &pic, std::int32_t y);
    bool FinishPng(const IFF_Picture &pic);
    void NoteShown(std::uint8_t index, Colour colour);
    void NoteIndices(const IFF_Picture &pic, const std::uint8_t *row);

    AtomicFile &out_;
    OutputFormat format_;
    PngLevel level_;
    AlphaRule rule_;
    bool begun_ = false;
    std::int32_t width_ = 0, height_ = 0; // the picture as Begin saw it
    std::int32_t nextRow_ = 0;            // rows come in order: the one expected next
    bool outOfOrder_ = false;
    std::exception_ptr failure_; // the first write that failed

    // BMP: consecutive rows, gathered bottom-up before one write.
    std::vector<std::uint8_t> batch_;
    std::size_t batchRows_ = 0, batchCapacity_ = 0;
    std::int32_t batchFirst_ = 0; // picture row of the batch's first (top) row

    // PNG.
    bool transparent_ = false;
    bool indexed_ = false;            // index rows are kept (else RGB or RGBA rows)
    bool maskOrAlpha_ = false;        // a mask plane or alpha planes were decoded
    bool wide_ = false;               // colour rows of 16-bit samples (PixelWide)
    bool indicesSound_ = true;        // every index shows one colour
    bool indicesOnly_ = false;        // the rows come without their colours
    std::size_t unseen_ = 256;        // indices no row has shown yet
    std::array<Colour, 256> shown_{}; // the colour each index shows; kUnseen if none yet
    std::optional<PngRowStore> rows_;
};

} // namespace tambrel
