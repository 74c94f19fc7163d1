#pragma once
// Small pictures of every kind the decoder tells apart, built with the test
// ILBM writer: the fuzzer's seed corpus and the reliability tests' base pictures.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tambrel::fuzz {

struct SeedPicture {
    std::string Name;
    std::vector<std::uint8_t> Bytes;
};

std::vector<SeedPicture> SeedPictures();
// The FORMs with chunks of their own (RGFX, DEEP, RGB8, RGBN), 48- and 64-plane
// ILBM and a CAT of pictures: seeds for the fuzzer only.
std::vector<SeedPicture> OwnFormSeedPictures();

} // namespace tambrel::fuzz
