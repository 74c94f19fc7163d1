#include "output/png_writer.h"

#include "common/errors.h"
#include "output/atomic_file.h"
#include "output/picture_pixels.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
#include <exception>
#include <vector>

namespace tambrel {

namespace {

// Everything one libpng run needs, set up before it starts: libpng reports
// errors by a long jump, so the frame it jumps into holds no object with a
// destructor and allocates nothing.
struct PngJob {
    AtomicFile *out = nullptr;
    std::exception_ptr writeFailure;
    char message[160] = {};

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int colourType = PNG_COLOR_TYPE_RGB;
    const png_color *palette = nullptr;
    int paletteSize = 0;
    const png_byte *trans = nullptr;
    int transCount = 0;
    int filters = PNG_FILTER_NONE;
    int level = 6;
    int strategy = Z_DEFAULT_STRATEGY;

    // Fills row y (0 at the top) of the PNG's pixel layout into `row`; never throws.
    void (*fillRow)(const void *source, std::int32_t y, std::uint8_t *row) = nullptr;
    const void *source = nullptr;
    std::uint8_t *row = nullptr;
};

void OnWrite(png_structp png, png_bytep data, png_size_t size) {
    auto *job = static_cast<PngJob *>(png_get_io_ptr(png));
    bool failed = false;
    try {
        job->out->Write(data, size);
    } catch (...) {
        job->writeFailure = std::current_exception();
        failed = true;
    }
    if (failed) {
        png_error(png, "write failed");
    }
}

void OnFlush(png_structp) {}

void OnError(png_structp png, png_const_charp text) {
    auto *job = static_cast<PngJob *>(png_get_error_ptr(png));
    std::snprintf(job->message, sizeof job->message, "%s", text);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Compressed data goes out in blocks of this size (one IDAT chunk each).
constexpr std::size_t kIdatBytes = std::size_t{1} << 18;

// The libpng calls; false when libpng reported an error.
bool RunLibpng(png_structp png, png_infop info, PngJob &job) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_write_fn(png, &job, OnWrite, OnFlush);
    png_set_IHDR(png, info, job.width, job.height, 8, job.colourType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (job.palette) {
        png_set_PLTE(png, info, job.palette, job.paletteSize);
    }
    if (job.trans) {
        png_set_tRNS(png, info, job.trans, job.transCount, nullptr);
    }
    png_set_filter(png, PNG_FILTER_TYPE_BASE, job.filters);
    png_set_compression_level(png, job.level);
    png_set_compression_strategy(png, job.strategy);
    png_set_compression_buffer_size(png, kIdatBytes);
    png_write_info(png, info);
    for (png_uint_32 y = 0; y < job.height; ++y) {
        job.fillRow(job.source, static_cast<std::int32_t>(y), job.row);
        png_write_row(png, job.row);
    }
    png_write_end(png, nullptr);
    return true;
}

void RunJob(PngJob &job) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        throw TambrelError(kErrOutOfMemory, "Not enough memory for the PNG encoder");
    }
    const bool done = RunLibpng(png, info, job);
    png_destroy_write_struct(&png, &info);
    if (!done) {
        if (job.writeFailure) {
            std::rethrow_exception(job.writeFailure);
        }
        throw TambrelError(kErrDeviceIO, std::string("PNG encoder: ") + job.message);
    }
}

void FillIndexRow(const void *source, std::int32_t y, std::uint8_t *row) {
    IndexRow(*static_cast<const IFF_Picture *>(source), y, row);
}
void FillRgbRow(const void *source, std::int32_t y, std::uint8_t *row) {
    RgbRow(*static_cast<const IFF_Picture *>(source), y, row);
}
void FillRgbaRow(const void *source, std::int32_t y, std::uint8_t *row) {
    RgbaRow(*static_cast<const IFF_Picture *>(source), y, row);
}

struct RgbaImage {
    const std::uint8_t *pixels;
    std::uint32_t width;
    bool alpha;
};

void FillFromRgba(const void *source, std::int32_t y, std::uint8_t *row) {
    const auto &image = *static_cast<const RgbaImage *>(source);
    const std::uint8_t *in =
        image.pixels + std::size_t{4} * image.width * static_cast<std::size_t>(y);
    if (image.alpha) {
        std::copy(in, in + std::size_t{4} * image.width, row);
        return;
    }
    for (std::uint32_t x = 0; x < image.width; ++x, in += 4, row += 3) {
        row[0] = in[0];
        row[1] = in[1];
        row[2] = in[2];
    }
}

} // namespace

bool PngWritable(const IFF_Picture &pic) {
    return pic.HasBody() && pic.DecodedWidth() >= 1 && pic.DecodedHeight() >= 1;
}

void WritePngTo(AtomicFile &out, const IFF_Picture &pic) {
    if (!PixelsAvailable(pic)) {
        throw TambrelError(kErrOutOfMemory, "Picture too large for a PNG file: " +
                                                std::to_string(pic.DecodedWidth()) + " x " +
                                                std::to_string(pic.DecodedHeight()) + " pixels");
    }
    const PictureLayout layout = LayoutOf(pic);
    PngJob job;
    job.out = &out;
    job.width = static_cast<png_uint_32>(pic.DecodedWidth());
    job.height = static_cast<png_uint_32>(pic.DecodedHeight());
    job.source = &pic;

    std::vector<png_color> palette;
    std::vector<png_byte> trans;
    std::size_t bytesPerPixel = 3;
    switch (layout.Kind) {
    case PixelLayout::Indexed:
        for (int i = 0; i < layout.PaletteSize; ++i) {
            const Colour c = layout.Palette[static_cast<std::size_t>(i)];
            palette.push_back({static_cast<png_byte>(c >> 16), static_cast<png_byte>(c >> 8),
                               static_cast<png_byte>(c)});
        }
        if (layout.TransparentIndex >= 0) {
            trans.assign(static_cast<std::size_t>(layout.TransparentIndex) + 1, 255);
            trans.back() = 0;
            job.trans = trans.data();
            job.transCount = static_cast<int>(trans.size());
        }
        job.colourType = PNG_COLOR_TYPE_PALETTE;
        job.palette = palette.data();
        job.paletteSize = layout.PaletteSize;
        job.fillRow = FillIndexRow;
        // Palette indices gain nothing from the prediction filters.
        job.filters = PNG_FILTER_NONE;
        bytesPerPixel = 1;
        break;
    case PixelLayout::Rgb:
        job.fillRow = FillRgbRow;
        job.filters = PNG_ALL_FILTERS;
        break;
    case PixelLayout::Rgba:
        job.colourType = PNG_COLOR_TYPE_RGB_ALPHA;
        job.fillRow = FillRgbaRow;
        job.filters = PNG_ALL_FILTERS;
        bytesPerPixel = 4;
        break;
    }
    std::vector<std::uint8_t> row(bytesPerPixel * job.width);
    job.row = row.data();
    RunJob(job);
}

void WritePngFile(const IFF_Picture &pic, const std::string &fileName) {
    if (!PngWritable(pic)) {
        return;
    }
    AtomicFile out(fileName);
    WritePngTo(out, pic);
    out.Commit();
}

void WriteRgbaPngTo(AtomicFile &out, const std::uint8_t *rgba, std::uint32_t width,
                    std::uint32_t height, bool alpha) {
    const RgbaImage image{rgba, width, alpha};
    PngJob job;
    job.out = &out;
    job.width = width;
    job.height = height;
    job.colourType = alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB;
    job.filters = PNG_ALL_FILTERS;
    job.source = &image;
    job.fillRow = FillFromRgba;
    std::vector<std::uint8_t> row(std::size_t{alpha ? 4u : 3u} * width);
    job.row = row.data();
    RunJob(job);
}

} // namespace tambrel
