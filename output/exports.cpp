#include "output/exports.h"

#include "common/byte_order.h"
#include "common/text.h"
#include "output/atomic_file.h"

#include <algorithm>
#include <vector>

namespace tambrel {

namespace {

bool LoadedWithSize(const IFF_Picture &pic) {
    return pic.Width != 0 && pic.Height != 0 && pic.Loaded();
}

constexpr std::size_t kChunkValues = std::size_t{1} << 18;

} // namespace

bool CanExportRawColours(const IFF_Picture &pic) {
    return LoadedWithSize(pic) && pic.HasBody() && !pic.PixelColours.Empty();
}

bool CanExportRawIndices(const IFF_Picture &pic) {
    return LoadedWithSize(pic) && pic.HasBody() && !pic.PixelIndices.Empty() &&
           !HoldsTrueColour(pic);
}

bool CanExportPalette(const IFF_Picture &pic) {
    return LoadedWithSize(pic) && !HoldsTrueColour(pic);
}

bool HoldsTrueColour(const IFF_Picture &pic) {
    return pic.HasBody() && pic.IsDeep();
}

void WriteRawColoursTo(AtomicFile &out, const IFF_Picture &pic) {
    // Every value least significant byte first, whatever the machine's byte order.
    const std::size_t total = pic.PixelColours.Size();
    const Colour *values = pic.PixelColours.Data();
    std::vector<std::uint8_t> chunk(4 * std::min(total, kChunkValues));
    for (std::size_t start = 0; start < total; start += kChunkValues) {
        const std::size_t count = std::min(kChunkValues, total - start);
        for (std::size_t i = 0; i < count; ++i) {
            PutLittle32(chunk.data() + 4 * i, values[start + i]);
        }
        out.Write(chunk.data(), 4 * count);
    }
}

void WriteRawIndicesTo(AtomicFile &out, const IFF_Picture &pic) {
    out.Write(pic.PixelIndices.Data(), pic.PixelIndices.Size());
}

std::string PaletteText(const IFF_Picture &pic) {
    // 2^Bitplanes lines, at most the 256 entries a picture of 8 planes uses.
    const int planes = std::clamp(pic.Bitplanes, 0, 8);
    const int lines = 1 << planes;
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 9);
    for (int i = 0; i < lines; ++i) {
        text += "$" + LongToHex(pic.FilePalette[static_cast<std::size_t>(i)]).substr(2) + "\r\n";
    }
    return text;
}

void WritePaletteTextTo(AtomicFile &out, const IFF_Picture &pic) {
    const std::string text = PaletteText(pic);
    out.Write(text.data(), text.size());
}

void WriteRawColours(const IFF_Picture &pic, const std::string &fileName) {
    AtomicFile out(fileName, OutputRules{pic.PicturePath});
    WriteRawColoursTo(out, pic);
    out.Commit();
}

void WriteRawIndices(const IFF_Picture &pic, const std::string &fileName) {
    AtomicFile out(fileName, OutputRules{pic.PicturePath});
    WriteRawIndicesTo(out, pic);
    out.Commit();
}

void WritePaletteText(const IFF_Picture &pic, const std::string &fileName) {
    const std::string text = PaletteText(pic);
    AtomicFile out(fileName, OutputRules{pic.PicturePath});
    out.Write(text.data(), text.size());
    out.Commit();
}

} // namespace tambrel
