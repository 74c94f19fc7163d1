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

} // namespace tambrel::fuzz
