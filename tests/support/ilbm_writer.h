#pragma once
// A small IFF ILBM writer for building test and sample pictures: planar rows,
// ByteRun1 packing, every chunk the decoder reads plus arbitrary ones, in any
// order, with any sizes. Also a reference model of the colour rules, computed
// here on its own so tests never take expected values from the decoder.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tambrel::test {

using Bytes = std::vector<std::uint8_t>;

// A picture as one pixel value per pixel, rows top to bottom.
struct ChunkyImage {
    int Width = 0;
    int Height = 0;
    int Planes = 0;
    std::vector<std::uint8_t> Pixels; // Width x Height values

    ChunkyImage() = default;
    ChunkyImage(int width, int height, int planes)
        : Width(width), Height(height), Planes(planes),
          Pixels(static_cast<std::size_t>(width) * height, 0) {}
    std::uint8_t &At(int x, int y) { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
    std::uint8_t At(int x, int y) const { return Pixels[static_cast<std::size_t>(y) * Width + x]; }
};

// The 13 BMHD fields, in file order.
struct BmhdFields {
    std::uint16_t Width = 0;
    std::uint16_t Height = 0;
    std::uint16_t Xpos = 0;
    std::uint16_t Ypos = 0;
    std::uint8_t Bitplanes = 0;
    std::uint8_t Masking = 0;
    std::uint8_t Packtype = 0;
    std::uint8_t Pad = 0;
    std::uint16_t TransparentColour = 0;
    std::uint8_t XaspectRatio = 10;
    std::uint8_t YaspectRatio = 11;
    std::uint16_t PageWidth = 0;
    std::uint16_t PageHeight = 0;
};

// Big-endian appenders.
void PutWord(Bytes &out, std::uint16_t v);
void PutLong(Bytes &out, std::uint32_t v);

// Plane row length in bytes: 2 x ceil(width / 16).
int PlaneRowBytes(int width);

// ByteRun1: packs one plane row (repeat runs for 3 or more equal bytes, literal
// runs otherwise, at most 128 bytes a run). The result unpacks to exactly `row`.
Bytes PackByteRun1(std::span<const std::uint8_t> row);
// Unpacks a ByteRun1 stream until `count` bytes are produced (reference for tests).
Bytes UnpackByteRun1(std::span<const std::uint8_t> packed, std::size_t count);

// The plane rows of picture row y: Planes rows of PlaneRowBytes(Width) bytes;
// the bits past Width are 0. With `mask`, one more row follows: bit set where
// mask(x, y) is non-zero.
Bytes PlanarRow(const ChunkyImage &img, int y, const ChunkyImage *mask = nullptr);

// The whole BODY data: plain, or every plane row ByteRun1-packed on its own.
Bytes BodyData(const ChunkyImage &img, bool compressed, const ChunkyImage *mask = nullptr);

// Chunk data builders.
Bytes BmhdData(const BmhdFields &f);
Bytes CmapData(std::span<const std::uint32_t> colours); // 0x00RRGGBB each
Bytes CamgData(std::uint32_t modeId);
// CTBL lines of 16 colours each as 0x0RGB; `raw` words are written as they are.
Bytes CtblData(std::span<const std::array<std::uint16_t, 16>> lines);

// BMHD fields for an image: width, height, planes, packtype; page size = picture size.
BmhdFields HeaderFor(const ChunkyImage &img, bool compressed);

// Builds a FORM file chunk by chunk, in the order the calls are made.
class IlbmBuilder {
  public:
    // Any chunk. `sizeField` replaces the truthful size in its header; the pad
    // byte follows odd data unless `pad` is false.
    IlbmBuilder &Chunk(const std::string &id, Bytes data,
                       std::optional<std::uint32_t> sizeField = std::nullopt, bool pad = true);
    IlbmBuilder &Bmhd(const BmhdFields &f) { return Chunk("BMHD", BmhdData(f)); }
    IlbmBuilder &Cmap(std::span<const std::uint32_t> colours) {
        return Chunk("CMAP", CmapData(colours));
    }
    IlbmBuilder &Camg(std::uint32_t modeId) { return Chunk("CAMG", CamgData(modeId)); }
    IlbmBuilder &Ctbl(std::span<const std::array<std::uint16_t, 16>> lines) {
        return Chunk("CTBL", CtblData(lines));
    }
    IlbmBuilder &Body(Bytes data) { return Chunk("BODY", std::move(data)); }
    // Bytes appended as they are (garbage, truncated chunk headers).
    IlbmBuilder &Raw(const Bytes &bytes);

    // The FORM size field; the truthful size (file length - 8) by default.
    IlbmBuilder &FormSize(std::uint32_t size) {
        formSize_ = size;
        return *this;
    }
    IlbmBuilder &FormType(const std::string &type) {
        formType_ = type;
        return *this;
    }
    IlbmBuilder &FormId(const std::string &id) {
        formId_ = id;
        return *this;
    }

    Bytes Build() const;
    void WriteFile(const std::string &path) const; // throws std::runtime_error

  private:
    Bytes chunks_;
    std::optional<std::uint32_t> formSize_;
    std::string formType_ = "ILBM";
    std::string formId_ = "FORM";
};

// A complete picture: BMHD, CMAP, optional CAMG (before the BODY), BODY.
struct SimpleIlbm {
    ChunkyImage Image;
    std::vector<std::uint32_t> Colours;
    std::optional<std::uint32_t> ModeId;
    bool Compressed = false;
};
Bytes BuildSimple(const SimpleIlbm &s);

// Writes bytes to a file; throws std::runtime_error on failure.
void WriteBytes(const std::string &path, std::span<const std::uint8_t> bytes);
Bytes ReadBytes(const std::string &path);

// Reference model of the colour rules.
namespace ref {

enum class Mode { Palette, Ham6, Ham8 };

// The 257-entry working palette a CMAP (and Extra Half-Brite) gives.
std::array<std::uint32_t, 257> PaletteFrom(std::span<const std::uint32_t> cmap, bool halfBrite);
// One CTBL word 0x0RGB (any high nibble) as the decoder scales it: each 4-bit value x16.
std::uint32_t CtblColour(std::uint16_t word);
// Each component halved, as Extra Half-Brite entries 32..63 are.
std::uint32_t Halve(std::uint32_t colour);
// Colours of picture row y (0-based), Width + 1 values: the last is the column
// past the picture (pixel value 0), which the decoder resolves too. With
// `line`, palette entries 0..15 come from that CTBL line.
std::vector<std::uint32_t> RowColours(const ChunkyImage &img, int y, Mode mode,
                                      const std::array<std::uint32_t, 257> &palette,
                                      const std::array<std::uint16_t, 16> *line = nullptr);

} // namespace ref

} // namespace tambrel::test
