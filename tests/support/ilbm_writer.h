#pragma once
// An ILBM writer (any chunk, order, size) and a reference model of the colours and BMP layout.
#include <array>
#include <cstdint>
#include <functional>
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
    std::uint16_t Width = 0, Height = 0, Xpos = 0, Ypos = 0;
    std::uint8_t Bitplanes = 0, Masking = 0, Packtype = 0, Pad = 0;
    std::uint16_t TransparentColour = 0;
    std::uint8_t XaspectRatio = 10, YaspectRatio = 11;
    std::uint16_t PageWidth = 0, PageHeight = 0;
};

// A big-endian word; a plane row of `bytes` (0: word-aligned); a row, plain or ByteRun1.
void PutWord(Bytes &out, std::uint32_t v);
Bytes PlaneRow(int width, std::size_t bytes, const std::function<bool(int)> &bit);
void AppendRow(Bytes &out, const Bytes &row, bool compressed);

// BODY data, plane row by plane row; with `mask`, a mask plane row follows each row.
Bytes BodyData(const ChunkyImage &img, bool compressed, const ChunkyImage *mask = nullptr);

// Chunk data builders.
Bytes BmhdData(const BmhdFields &f);
Bytes CmapData(std::span<const std::uint32_t> colours); // 0x00RRGGBB each
Bytes CamgData(std::uint32_t modeId);
Bytes CtblData(std::span<const std::array<std::uint16_t, 16>> lines); // 0x0RGB words
// A plain PCHG chunk's data Huffman-packed (compression 1); the data after the
// 20-byte header needs two different byte values at least.
Bytes HuffmanPackedPchg(const Bytes &plain);

// BMHD fields for an image; page size = picture size.
BmhdFields HeaderFor(const ChunkyImage &img, bool compressed);

// Builds a FORM file chunk by chunk, in the order the calls are made.
class IlbmBuilder {
  public:
    // Any chunk; `sizeField` replaces the truthful size, `pad` adds a pad byte to odd data.
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

    // The FORM size field (file length - 8 by default), id and type.
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

// Whole files; both throw std::runtime_error on failure.
void WriteBytes(const std::string &path, std::span<const std::uint8_t> bytes);
Bytes ReadBytes(const std::string &path);
// Whole files as text; ReadText gives "" for a file it cannot read.
std::string ReadText(const std::string &path);
void WriteText(const std::string &path, const std::string &text);

namespace ref {

enum class Mode { Palette, Ham6, Ham8 };

// The 257-entry working palette a CMAP (and Extra Half-Brite) gives.
std::array<std::uint32_t, 257> PaletteFrom(std::span<const std::uint32_t> cmap, bool halfBrite);
// One CTBL word 0x0RGB as a colour: each 4-bit value x16.
std::uint32_t CtblColour(std::uint16_t word);
// Colours of row y and the column past it; `line` gives entries 0..15 (not in HAM8).
std::vector<std::uint32_t> RowColours(const ChunkyImage &img, int y, Mode mode,
                                      const std::array<std::uint32_t, 257> &palette,
                                      const std::array<std::uint16_t, 16> *line = nullptr);
// A 32-bit BMP of `colours` (rows top to bottom).
Bytes Bitmap(int width, int height, std::span<const std::uint32_t> colours);

} // namespace ref

} // namespace tambrel::test
