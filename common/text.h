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

namespace tambrel {

// A file name as the messages print it: unchanged unless it holds control
// characters (C0, DEL, or C1 in UTF-8); then quoted the way `ls` quotes such
// names for the shell, 'a'$'\n''b', so no byte of it reaches a terminal raw.
std::string QuotedName(const std::string &name);

} // namespace tambrel
