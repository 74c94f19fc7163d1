#include "app/credit.h"

#include <array>
#include <cstdint>

namespace tambrel {

namespace {
// One 16-bit value per character of the credit.
constexpr std::array<std::uint16_t, 12> kCreditCodes = {
    0x0054, 0x0061, 0x006D, 0x0062, 0x0072, 0x0065, 0x006C, 0x0020, 0x0054, 0x0065, 0x0061, 0x006D,
};
} // namespace

std::string MakeCreditText() {
    std::string credit;
    credit.reserve(kCreditCodes.size());
    for (std::uint16_t code : kCreditCodes)
        credit.push_back(static_cast<char>(code & 0x7F));
    return credit;
}

std::string MainWindowTitle() {
    return std::string(kProgramName) + " " + kProgramVersion + ",  By " + MakeCreditText();
}

} // namespace tambrel
