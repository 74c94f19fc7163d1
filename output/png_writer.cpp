#include "output/png_writer.h"

#include "common/errors.h"
#include "output/atomic_file.h"
#include "output/picture_pixels.h"

#include <algorithm>

namespace tambrel {

bool PngWritable(const IFF_Picture &pic) {
    return pic.HasBody() && pic.DecodedWidth() >= 1 && pic.DecodedHeight() >= 1;
}

void WritePngTo(AtomicFile &out, const IFF_Picture &pic, PngLevel level, AlphaRule rule) {
    if (!PixelsAvailable(pic)) {
        throw TambrelError(kErrOutOfMemory, "Picture too large for a PNG file: " +
                                                std::to_string(pic.DecodedWidth()) + " x " +
                                                std::to_string(pic.DecodedHeight()) + " pixels");
    }
    const PictureLayout layout = LayoutOf(pic, rule);
    PngImage image;
    image.Width = static_cast<std::uint32_t>(pic.DecodedWidth());
    image.Height = static_cast<std::uint32_t>(pic.DecodedHeight());
    image.FromLeft = pic.IsHam();
    switch (layout.Kind) {
    case PixelLayout::Indexed:
        image.Colour = PngColour::Palette;
        for (int i = 0; i < layout.PaletteSize; ++i) {
            const Colour c = layout.Palette[static_cast<std::size_t>(i)];
            image.Palette.push_back(static_cast<std::uint8_t>(c >> 16));
            image.Palette.push_back(static_cast<std::uint8_t>(c >> 8));
            image.Palette.push_back(static_cast<std::uint8_t>(c));
        }
        // The shortest tRNS: opaque entries up to the transparent one.
        if (layout.TransparentIndex >= 0) {
            image.Trans.assign(static_cast<std::size_t>(layout.TransparentIndex) + 1, 255);
            image.Trans.back() = 0;
        }
        image.FillRow = [&pic](std::uint32_t y, std::uint8_t *row) {
            IndexRow(pic, static_cast<std::int32_t>(y), row);
        };
        break;
    case PixelLayout::Rgb:
        image.FillRow = [&pic](std::uint32_t y, std::uint8_t *row) {
            RgbRow(pic, static_cast<std::int32_t>(y), row);
        };
        break;
    case PixelLayout::Rgba:
        image.Colour = PngColour::Rgba;
        image.FillRow = [&pic, rule](std::uint32_t y, std::uint8_t *row) {
            RgbaRow(pic, static_cast<std::int32_t>(y), row, rule);
        };
        break;
    }
    EncodePng(out, image, level);
}

void WritePngFile(const IFF_Picture &pic, const std::string &fileName, PngLevel level) {
    if (!PngWritable(pic)) {
        return;
    }
    AtomicFile out(fileName);
    WritePngTo(out, pic, level);
    out.Commit();
}

void WriteRgbaPngTo(AtomicFile &out, const std::uint8_t *rgba, std::uint32_t width,
                    std::uint32_t height, bool alpha) {
    PngImage image;
    image.Width = width;
    image.Height = height;
    image.Colour = alpha ? PngColour::Rgba : PngColour::Rgb;
    image.FillRow = [rgba, width, alpha](std::uint32_t y, std::uint8_t *row) {
        const std::uint8_t *in = rgba + std::size_t{4} * width * y;
        if (alpha) {
            std::copy(in, in + std::size_t{4} * width, row);
            return;
        }
        for (std::uint32_t x = 0; x < width; ++x, in += 4, row += 3) {
            row[0] = in[0];
            row[1] = in[1];
            row[2] = in[2];
        }
    };
    EncodePng(out, image, PngLevel::Default);
}

} // namespace tambrel
