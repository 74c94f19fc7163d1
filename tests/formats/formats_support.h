#pragma once
// Pictures of every display mode and both kinds of transparency, with what
// each output must show: the BMP the core writes for the same picture gives
// the colours, the test's own mask or transparent index the alpha. Also the
// hostile files every host must refuse without harm, and a PNG reader.
#include "tests/support/ilbm_writer.h"
#include "tests/support/temp_dir.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tambrel::test {

enum class PngKind { Indexed, Rgb, Rgba };

struct FormatCase {
    std::string Name;
    Bytes File;
    int Width = 0;
    int Height = 0;
    PngKind Kind = PngKind::Rgb;
    std::vector<std::uint32_t> Palette; // Indexed: the entries the PNG must carry
    int TransparentIndex = -1;          // Indexed: the entry tRNS makes transparent
    std::vector<std::uint32_t> Pixels;  // 0xAARRGGBB, rows top to bottom
};

// The table. Colours come from the BMP the core writes for each picture.
std::vector<FormatCase> FormatCases();

// Files a host must refuse with an error.
struct HostileFile {
    std::string Name;
    Bytes File;
};
std::vector<HostileFile> HostileFiles();

// A PNG as read back by libpng: its colour type, palette and tRNS entries,
// and every pixel as 0xAARRGGBB.
struct ReadPng {
    bool Ok = false;
    int Width = 0;
    int Height = 0;
    PngKind Kind = PngKind::Rgb;
    std::vector<std::uint32_t> Palette;
    std::vector<std::uint8_t> Trans;
    std::vector<std::uint32_t> Pixels;
};
ReadPng ReadPngFile(const std::string &path);

} // namespace tambrel::test
