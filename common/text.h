#pragma once
// Number texts shared by the information panel, the debug log, the palette
// export and the messages.
#include <cstdint>
#include <string>

namespace tambrel {

// The hexadecimal form of bits 27 .. 0: "$" and seven lowercase digits.
std::string LongToHex(std::int64_t value);

// The number-to-text rule used in every text: a leading blank for values of 0
// and above, "-" for negative ones (320 gives " 320").
std::string NumberText(std::int64_t value);

} // namespace tambrel
