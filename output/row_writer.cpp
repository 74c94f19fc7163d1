#include "output/row_writer.h"

#include "common/byte_order.h"
#include "common/errors.h"
#include "decoder/memory_budget.h"
#include "output/atomic_file.h"
#include "output/bmp_writer.h"
#include "output/picture_pixels.h"
#include "output/png_writer.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace tambrel {

namespace {

constexpr std::size_t kBatchBytes = std::size_t{1} << 20; // BMP rows gathered per write
constexpr Colour kUnseen = 0xFFFFFFFFu;                   // no colour: colours have 24 bits

// Whether the picture's pixel values are palette indices that each stand for
// one colour, by what the record says (as LayoutOf decides, the pixels aside).
bool PaletteKind(const IFF_Picture &pic, bool maskOrAlpha) {
    return !pic.IsDeep() && !pic.IsHam() && !pic.HasDynamicPalette() && pic.Bitplanes >= 1 &&
           pic.Bitplanes <= 8 && !maskOrAlpha;
}

} // namespace

std::uint64_t RowWriter::HeldBytes() const {
    return batch_.size() + (rows_ ? std::uint64_t{rows_->Stride()} * rows_->Height() : 0);
}

void RowWriter::Begin(const IFF_Picture &pic) {
    if (begun_) {
        outOfOrder_ = true;
        return;
    }
    begun_ = true;
    if (format_ == OutputFormat::Png) {
        PngBegin(pic);
    } else {
        BitmapBegin(pic);
    }
    // The decoder claimed its own buffers; this claim adds what is kept here.
    const std::uint64_t decoder = pic.FileLength + pic.LinePalettes.Size() * sizeof(Colour) +
                                  pic.PixelColours.Size() * sizeof(Colour) +
                                  pic.PixelIndices.Size() + pic.PixelMask.Size() +
                                  pic.PixelAlpha.Size() + pic.PixelWide.Size() * sizeof(WidePixel);
    ClaimPictureMemory(decoder + HeldBytes(),
                       std::to_string(width_) + " x " + std::to_string(height_) + " pixels");
}

void RowWriter::TakeRow(const IFF_Picture &pic, std::int32_t y) {
    if (!begun_ || y != nextRow_ || outOfOrder_) {
        outOfOrder_ = true;
        return;
    }
    ++nextRow_;
    if (format_ == OutputFormat::Png) {
        if (rows_ && y < height_) {
            PngRow(pic, y);
        }
    } else if (batchCapacity_ > 0 && !failure_ && y < height_) {
        BitmapRow(pic, y);
    }
}

bool RowWriter::TakeIndicesOnly() {
    indicesOnly_ =
        format_ == OutputFormat::Png && indexed_ && rows_ && nextRow_ == 0 && !outOfOrder_;
    return indicesOnly_;
}

bool RowWriter::Finish(const IFF_Picture &pic) {
    if (!begun_ || outOfOrder_) {
        return false;
    }
    if (format_ == OutputFormat::Png) {
        return FinishPng(pic);
    }
    if (batchCapacity_ == 0 || pic.Width != width_ || pic.Height != height_ ||
        nextRow_ != pic.DecodedHeight() || !BitmapWritable(pic, width_, height_)) {
        return false;
    }
    if (!failure_) {
        FlushBitmapRows();
    }
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    return true;
}

// ---- BMP: the header, then each row at its place, bottom row first in the file.

void RowWriter::BitmapBegin(const IFF_Picture &pic) {
    width_ = pic.Width;
    height_ = pic.Height;
    const std::uint64_t pixels = std::uint64_t(std::max(width_, 0)) * std::max(height_, 0);
    // Pictures the BMP writer refuses, or writes nothing for, are left to it.
    if (width_ < 1 || height_ < 1 || pixels > kMaxPixels || 54 + 4 * pixels > UINT32_MAX) {
        return;
    }
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width_);
    batchCapacity_ = std::clamp<std::size_t>(kBatchBytes / rowBytes, 1, height_);
    batch_.resize(batchCapacity_ * rowBytes);
    try {
        const auto header = BitmapHeader(width_, height_);
        out_.Write(header.data(), header.size());
        out_.Resize(54 + 4 * pixels); // rows never taken read as black
    } catch (...) {
        failure_ = std::current_exception();
    }
}

void RowWriter::BitmapRow(const IFF_Picture &pic, std::int32_t y) {
    if (batchRows_ == batchCapacity_) {
        FlushBitmapRows();
        if (failure_) {
            return;
        }
    }
    if (batchRows_ == 0) {
        batchFirst_ = y;
    }
    const std::size_t width = static_cast<std::size_t>(width_);
    // The batch fills from its end, so its rows lie bottom-up as in the file.
    std::uint8_t *dest = batch_.data() + (batchCapacity_ - 1 - batchRows_) * 4 * width;
    ++batchRows_;
    const PixelGrid<Colour> &colours = pic.PixelColours;
    const auto sourceRow = static_cast<std::size_t>(y) + 1;
    std::size_t x = 0;
    if (sourceRow < colours.Rows()) {
        const Colour *src = colours.Row(sourceRow);
        const std::size_t held = std::min(width, colours.Columns());
        if constexpr (std::endian::native == std::endian::little) {
            std::memcpy(dest, src, 4 * held);
            x = held;
        } else {
            for (; x < held; ++x) {
                PutLittle32(dest + 4 * x, src[x]);
            }
        }
    }
    std::fill(dest + 4 * x, dest + 4 * width, std::uint8_t{0});
}

void RowWriter::FlushBitmapRows() {
    if (batchRows_ == 0) {
        return;
    }
    const std::size_t rowBytes = 4 * static_cast<std::size_t>(width_);
    // The batch's bottom picture row is the first of its rows in the file.
    const auto fileRow = static_cast<std::uint64_t>(height_ - batchFirst_) - batchRows_;
    try {
        out_.WriteAt(54 + fileRow * rowBytes,
                     batch_.data() + (batchCapacity_ - batchRows_) * rowBytes,
                     batchRows_ * rowBytes);
    } catch (...) {
        failure_ = std::current_exception();
    }
    batchRows_ = 0;
}

// ---- PNG: palette indices or colour rows kept, compressed at the end.

void RowWriter::PngBegin(const IFF_Picture &pic) {
    if (!PixelsAvailable(pic)) {
        return;
    }
    width_ = pic.DecodedWidth();
    height_ = pic.DecodedHeight();
    maskOrAlpha_ = !pic.PixelMask.Empty() || !pic.PixelAlpha.Empty();
    transparent_ = HasTransparency(pic, rule_);
    const auto width = static_cast<std::size_t>(width_);
    indexed_ = PaletteKind(pic, maskOrAlpha_) && pic.PixelIndices.Columns() >= width &&
               pic.PixelColours.Columns() >= width;
    wide_ = !indexed_ && !pic.PixelWide.Empty();
    shown_.fill(kUnseen);
    const PngColour colour = indexed_       ? PngColour::Palette
                             : transparent_ ? PngColour::Rgba
                                            : PngColour::Rgb;
    rows_.emplace(colour, static_cast<std::uint32_t>(width_), static_cast<std::uint32_t>(height_),
                  wide_ ? 16 : 8);
    if (indexed_) {
        rows_->CompressEarly(level_);
    }
}

void RowWriter::PngRow(const IFF_Picture &pic, std::int32_t y) {
    std::uint8_t *row = rows_->Row(static_cast<std::uint32_t>(y));
    if (!indexed_) {
        if (wide_) {
            transparent_ ? WideRgbaRow(pic, y, row, rule_) : WideRgbRow(pic, y, row);
        } else if (transparent_) {
            RgbaRow(pic, y, row, rule_);
        } else {
            RgbRow(pic, y, row);
        }
        return;
    }
    IndexRow(pic, y, row);
    rows_->RowDone(static_cast<std::uint32_t>(y));
    // Which colour each index shows, for the palette written (see LayoutOf).
    if (indicesOnly_) {
        // Every pixel shows its palette entry, and no row changes the palette:
        // each index needs noting once, and once every index has been seen
        // the rows left can change nothing.
        if (unseen_ > 0) {
            NoteIndices(pic, row);
        }
        return;
    }
    // A pixel of the index and colour of its left neighbour needs no look.
    const Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y) + 1);
    for (std::size_t x = 0; x < static_cast<std::size_t>(width_); ++x) {
        if (x == 0 || row[x] != row[x - 1] || colours[x] != colours[x - 1]) {
            NoteShown(row[x], colours[x]);
        }
    }
}

void RowWriter::NoteIndices(const IFF_Picture &pic, const std::uint8_t *row) {
    std::array<std::uint8_t, 256> used{};
    const auto width = static_cast<std::size_t>(width_);
    std::size_t x = 0;
    // Eight pixels as the eight before them add no index.
    std::uint64_t last = 0;
    for (; x + 8 <= width; x += 8) {
        std::uint64_t word;
        std::memcpy(&word, row + x, 8);
        if (x > 0 && word == last) {
            continue;
        }
        last = word;
        for (std::size_t i = 0; i < 8; ++i) {
            used[row[x + i]] = 1;
        }
    }
    for (; x < width; ++x) {
        used[row[x]] = 1;
    }
    unseen_ = 0;
    for (std::size_t i = 0; i < used.size(); ++i) {
        if (used[i] != 0) {
            NoteShown(static_cast<std::uint8_t>(i), pic.Palette[i]);
        }
        unseen_ += shown_[i] == kUnseen ? 1 : 0;
    }
}

void RowWriter::NoteShown(std::uint8_t index, Colour colour) {
    Colour &shown = shown_[index];
    if (shown != colour) {
        indicesSound_ &= shown == kUnseen;
        shown = colour;
    }
}

bool RowWriter::FinishPng(const IFF_Picture &pic) {
    if (!rows_ || nextRow_ != height_ || pic.DecodedWidth() != width_ ||
        pic.DecodedHeight() != height_ || !PixelsAvailable(pic)) {
        return false;
    }
    PngImage image;
    image.Width = static_cast<std::uint32_t>(width_);
    image.Height = static_cast<std::uint32_t>(height_);
    image.FromLeft = pic.IsHam();
    const bool palette = PaletteKind(pic, maskOrAlpha_);
    if (indexed_) {
        const int size = 1 << pic.Bitplanes;
        if (!palette || !indicesSound_ ||
            std::any_of(shown_.begin() + size, shown_.end(),
                        [](Colour c) { return c != kUnseen; })) {
            return false;
        }
        image.Colour = PngColour::Palette;
        for (int i = 0; i < size; ++i) {
            const auto at = static_cast<std::size_t>(i);
            const Colour c = shown_[at] != kUnseen ? shown_[at] : pic.Palette[at];
            image.Palette.push_back(static_cast<std::uint8_t>(c >> 16));
            image.Palette.push_back(static_cast<std::uint8_t>(c >> 8));
            image.Palette.push_back(static_cast<std::uint8_t>(c));
        }
        if (TransparentColourApplies(pic, rule_) && pic.TransparentColour >= 0 &&
            pic.TransparentColour < size) {
            image.Trans.assign(static_cast<std::size_t>(pic.TransparentColour) + 1, 255);
            image.Trans.back() = 0;
        }
    } else {
        const bool transparent =
            (maskOrAlpha_ && rule_ != AlphaRule::None) || TransparentColourApplies(pic, rule_);
        if (palette || transparent != transparent_) {
            return false;
        }
        image.Colour = transparent_ ? PngColour::Rgba : PngColour::Rgb;
        image.BitDepth = wide_ ? 16 : 8;
    }
    AddPictureChunks(image, pic);
    EncodeStoredPng(out_, image, level_, *rows_);
    rows_.reset();
    return true;
}

} // namespace tambrel
