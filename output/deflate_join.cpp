#include "output/deflate_join.h"

#include <algorithm>
#include <array>
#include <vector>

namespace tambrel {

namespace {

// Reads a deflate stream's bits, least significant first, as RFC 1951 packs them.
class BitReader {
  public:
    BitReader(const std::uint8_t *data, std::size_t size) : data_(data), size_(size) {}

    // The next `count` (at most 16) bits without consuming them; bits past the
    // end read as zero (a walk that goes there fails its end check).
    std::uint32_t Peek(unsigned count) {
        while (held_ < count) {
            const std::uint64_t byte = pos_ < size_ ? data_[pos_] : 0;
            ++pos_;
            bits_ |= byte << held_;
            held_ += 8;
        }
        return static_cast<std::uint32_t>(bits_ & ((std::uint64_t{1} << count) - 1));
    }
    void Skip(unsigned count) {
        bits_ >>= count;
        held_ -= count;
    }
    std::uint32_t Take(unsigned count) {
        if (count == 0) {
            return 0;
        }
        const std::uint32_t value = Peek(count);
        Skip(count);
        return value;
    }
    // Bits consumed so far.
    std::uint64_t Position() const { return std::uint64_t{pos_} * 8 - held_; }
    void AlignToByte() { Skip(held_ % 8); }
    bool Past(std::uint64_t bits) const { return Position() > bits; }

  private:
    const std::uint8_t *data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint64_t bits_ = 0;
    unsigned held_ = 0;
};

constexpr unsigned kMaxBits = 15;

// A canonical Huffman code as a table of every look-ahead as long as its
// longest code: the symbol and the length of the code that starts it.
class Decoder {
  public:
    // False when the lengths make no usable code.
    bool Build(const std::uint8_t *lengths, std::size_t count) {
        std::array<std::uint16_t, kMaxBits + 1> perLength{};
        for (std::size_t s = 0; s < count; ++s) {
            ++perLength[lengths[s]];
        }
        perLength[0] = 0;
        std::array<std::uint32_t, kMaxBits + 2> next{};
        std::uint32_t code = 0;
        for (unsigned bits = 1; bits <= kMaxBits; ++bits) {
            code = (code + perLength[bits - 1]) << 1;
            next[bits] = code;
        }
        // The table covers the longest code only, so a block of short codes
        // costs a small table.
        bits_ = 1;
        for (std::size_t s = 0; s < count; ++s) {
            bits_ = std::max<unsigned>(bits_, lengths[s]);
        }
        table_.assign(std::size_t{1} << bits_, 0);
        for (std::size_t s = 0; s < count; ++s) {
            const unsigned len = lengths[s];
            if (len == 0) {
                continue;
            }
            const std::uint32_t c = next[len]++;
            if (c >= (1u << len)) {
                return false; // over-subscribed
            }
            std::uint32_t reversed = 0;
            for (unsigned b = 0; b < len; ++b) {
                reversed |= ((c >> b) & 1u) << (len - 1 - b);
            }
            const auto entry = static_cast<std::uint32_t>(s << 4 | len);
            for (std::uint32_t i = reversed; i < table_.size(); i += 1u << len) {
                table_[i] = entry;
            }
        }
        return true;
    }
    // The next symbol, or -1 for bits that start no code.
    int Decode(BitReader &in) const {
        const std::uint32_t entry = table_[in.Peek(bits_)];
        if (entry == 0) {
            return -1;
        }
        in.Skip(entry & 15);
        return static_cast<int>(entry >> 4);
    }

  private:
    std::vector<std::uint32_t> table_;
    unsigned bits_ = 1; // the longest code's length
};

constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Reads the code lengths of a dynamic block into the two decoders.
bool ReadDynamicCodes(BitReader &in, Decoder &lit, Decoder &dist) {
    const unsigned hlit = in.Take(5) + 257;
    const unsigned hdist = in.Take(5) + 1;
    const unsigned hclen = in.Take(4) + 4;
    static constexpr std::array<std::uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                            11, 4,  12, 3, 13, 2, 14, 1, 15};
    std::array<std::uint8_t, 19> codeLengths{};
    for (unsigned i = 0; i < hclen; ++i) {
        codeLengths[kOrder[i]] = static_cast<std::uint8_t>(in.Take(3));
    }
    Decoder lengths;
    if (!lengths.Build(codeLengths.data(), codeLengths.size())) {
        return false;
    }
    std::array<std::uint8_t, 320> all{};
    for (unsigned i = 0; i < hlit + hdist;) {
        const int sym = lengths.Decode(in);
        if (sym < 0) {
            return false;
        }
        if (sym < 16) {
            all[i++] = static_cast<std::uint8_t>(sym);
            continue;
        }
        unsigned repeat = 0;
        std::uint8_t value = 0;
        if (sym == 16) {
            if (i == 0) {
                return false;
            }
            value = all[i - 1];
            repeat = 3 + in.Take(2);
        } else if (sym == 17) {
            repeat = 3 + in.Take(3);
        } else {
            repeat = 11 + in.Take(7);
        }
        if (i + repeat > hlit + hdist) {
            return false;
        }
        std::fill_n(all.begin() + i, repeat, value);
        i += repeat;
    }
    return lit.Build(all.data(), hlit) && dist.Build(all.data() + hlit, hdist);
}

// Walks the blocks of a complete deflate stream of `size` bytes: where its
// last block starts and where that block ends, in bits. False when the bytes
// are no deflate stream that ends inside them.
bool FindLastBlock(const std::uint8_t *data, std::size_t size, std::uint64_t &lastStart,
                   std::uint64_t &end) {
    BitReader in(data, size);
    const std::uint64_t limit = std::uint64_t{size} * 8;
    Decoder lit, dist;
    Decoder fixedLit, fixedDist;
    bool fixedBuilt = false;
    for (;;) {
        const std::uint64_t start = in.Position();
        const bool final = in.Take(1) != 0;
        const unsigned type = in.Take(2);
        if (type == 0) {
            in.AlignToByte();
            const std::uint32_t len = in.Take(16);
            if ((in.Take(16) ^ 0xFFFFu) != len) {
                return false;
            }
            for (std::uint32_t i = 0; i < len; ++i) {
                in.Peek(8);
                in.Skip(8);
                if (in.Past(limit)) {
                    return false;
                }
            }
        } else if (type == 1 || type == 2) {
            const Decoder *litCode = &lit, *distCode = &dist;
            if (type == 1) {
                if (!fixedBuilt) {
                    std::array<std::uint8_t, 288> l{};
                    std::fill_n(l.begin(), 144, 8);
                    std::fill_n(l.begin() + 144, 112, 9);
                    std::fill_n(l.begin() + 256, 24, 7);
                    std::fill_n(l.begin() + 280, 8, 8);
                    std::array<std::uint8_t, 30> d{};
                    d.fill(5);
                    if (!fixedLit.Build(l.data(), l.size()) ||
                        !fixedDist.Build(d.data(), d.size())) {
                        return false;
                    }
                    fixedBuilt = true;
                }
                litCode = &fixedLit;
                distCode = &fixedDist;
            } else if (!ReadDynamicCodes(in, lit, dist)) {
                return false;
            }
            for (;;) {
                const int sym = litCode->Decode(in);
                if (sym < 0 || sym > 285 || in.Past(limit)) {
                    return false;
                }
                if (sym == 256) {
                    break;
                }
                if (sym > 256) {
                    in.Take(kLengthExtra[static_cast<std::size_t>(sym - 257)]);
                    const int d = distCode->Decode(in);
                    if (d < 0 || d > 29) {
                        return false;
                    }
                    in.Take(kDistanceExtra[static_cast<std::size_t>(d)]);
                }
            }
        } else {
            return false;
        }
        if (in.Past(limit)) {
            return false;
        }
        if (final) {
            lastStart = start;
            end = in.Position();
            return true;
        }
    }
}

} // namespace

bool ContinueDeflateStream(std::uint8_t *bytes, std::size_t &size) {
    std::uint64_t lastStart = 0, end = 0;
    if (!FindLastBlock(bytes, size, lastStart, end)) {
        return false;
    }
    // The last block becomes not the last; an empty stored block after it (a
    // header of three zero bits, the byte boundary, the length 0 and its
    // complement) ends the data on a byte boundary.
    bytes[lastStart / 8] &= static_cast<std::uint8_t>(~(1u << (lastStart % 8)));
    if (end % 8 != 0) {
        bytes[end / 8] &= static_cast<std::uint8_t>((1u << (end % 8)) - 1); // clear the padding
    }
    std::size_t at = static_cast<std::size_t>((end + 3 + 7) / 8);
    std::fill(bytes + (end + 7) / 8, bytes + at, std::uint8_t{0});
    for (std::uint8_t b : {0x00, 0x00, 0xFF, 0xFF}) {
        bytes[at++] = b;
    }
    size = at;
    return true;
}

} // namespace tambrel
