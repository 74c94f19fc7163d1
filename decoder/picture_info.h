#pragma once
// The information panel's lines, also printed by the converter's --info.
#include "decoder/iff_picture.h"

#include <string>
#include <utility>
#include <vector>

namespace tambrel {

// Label and value text of each line, in display order.
std::vector<std::pair<std::string, std::string>> ImageInfoLines(const IFF_Picture &pic);

} // namespace tambrel
