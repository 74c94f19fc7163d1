#pragma once
// Pictures of every mode with the pixels outputs must show, files hosts refuse, a PNG reader.
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
    bool Alpha = false;                 // some pixel may be transparent
    std::vector<std::uint32_t> Palette; // Indexed: the entries the PNG must carry
    int TransparentIndex = -1;          // Indexed: the entry tRNS makes transparent
    std::vector<std::uint32_t> Pixels;  // 0xAARRGGBB, rows top to bottom
    std::vector<std::pair<std::string, std::string>> Texts = {}; // tEXt/iTXt keyword, text
    std::vector<std::uint32_t> Phys = {}; // pHYs x, y pixels per unit and unit; empty: none
    Bytes Icc = {};                       // iCCP: the profile (empty: none) and its name
    std::string IccName = {};
    Bytes Exif = {}; // eXIf
};
std::vector<FormatCase> FormatCases();

// Files a host must refuse with an error: name and bytes.
std::vector<std::pair<std::string, Bytes>> HostileFiles();

// A packed 8-plane header of width x height with a 2-byte BODY: the decoded
// picture is palette entry 0 throughout; decoded whole it would cost 5 bytes a pixel.
Bytes TinyBodyPicture(int width, int height);
// A 16 x 4 picture (left half white, right half black) whose BODY is followed
// by a second BMHD of 65535 x 16383.
Bytes SecondHeaderPicture();
// This process's peak resident memory so far, in MiB.
long PeakMiB();

// A PNG as libpng reads it: colour type, palette, tRNS entries, 0xAARRGGBB pixels.
struct ReadPng {
    bool Ok = false;
    int Width = 0;
    int Height = 0;
    PngKind Kind = PngKind::Rgb;
    std::vector<std::uint32_t> Palette;
    std::vector<std::uint8_t> Trans;
    std::vector<std::uint32_t> Pixels;
    std::vector<std::pair<std::string, std::string>> Texts;
    std::vector<std::uint32_t> Phys; // x, y, unit
    Bytes Icc;
    std::string IccName;
    Bytes Exif;
};
ReadPng ReadPngFile(const std::string &path);

} // namespace tambrel::test
