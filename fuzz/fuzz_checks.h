#pragma once
// What the fuzz targets share besides the harness: a broken invariant aborts
// with its message (libFuzzer reports it like a crash), and a few bytes at the
// end of an input steer a target (chunk sizes, asked sizes) while the whole
// input is still the picture: the decoder reads no further than the FORM's
// end, so the seed pictures work unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

namespace tambrel::fuzz {

[[noreturn]] inline void Broken(const char *what) {
    std::fprintf(stderr, "tambrel fuzz: invariant broken: %s\n", what);
    std::abort();
}

inline void Check(bool ok, const char *what) {
    if (!ok) {
        Broken(what);
    }
}

// Byte `back` counted from the end of the input (0 is the last); 0 past the start.
inline std::uint8_t TailByte(std::span<const std::uint8_t> bytes, std::size_t back) {
    return back < bytes.size() ? bytes[bytes.size() - 1 - back] : 0;
}

// Big-endian 16-bit value of the two bytes `back` and `back + 1` from the end.
inline std::uint32_t TailWord(std::span<const std::uint8_t> bytes, std::size_t back) {
    return std::uint32_t{TailByte(bytes, back + 1)} << 8 | TailByte(bytes, back);
}

// Reads every byte, so AddressSanitizer sees any that lie outside the buffer.
inline std::uint32_t Touch(const std::uint8_t *p, std::size_t n) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum += p[i];
    }
    return sum;
}

} // namespace tambrel::fuzz
