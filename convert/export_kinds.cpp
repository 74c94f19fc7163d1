#include "convert/export_kinds.h"

#include "convert/convert.h"
#include "output/exports.h"
#include "output/png_writer.h"

namespace tambrel {

bool ExportAvailable(const IFF_Picture &pic, ExportKind kind) {
    switch (kind) {
    case ExportKind::Colours:
        return CanExportRawColours(pic);
    case ExportKind::Indices:
        return CanExportRawIndices(pic);
    case ExportKind::Palette:
        return CanExportPalette(pic);
    case ExportKind::Png:
        return pic.Loaded() && PngWritable(pic);
    }
    return false;
}

std::string TrueColourRefusal(const IFF_Picture &pic, ExportKind kind) {
    const bool needsPalette = kind == ExportKind::Indices || kind == ExportKind::Palette;
    if (!needsPalette || ExportAvailable(pic, kind) || !HoldsTrueColour(pic)) {
        return {};
    }
    return TrueColourExportReason(pic, kind == ExportKind::Palette);
}

void WriteExportTo(AtomicFile &out, const IFF_Picture &pic, ExportKind kind) {
    switch (kind) {
    case ExportKind::Colours:
        WriteRawColoursTo(out, pic);
        break;
    case ExportKind::Indices:
        WriteRawIndicesTo(out, pic);
        break;
    case ExportKind::Palette:
        WritePaletteTextTo(out, pic);
        break;
    case ExportKind::Png:
        WritePngTo(out, pic);
        break;
    }
}

} // namespace tambrel
