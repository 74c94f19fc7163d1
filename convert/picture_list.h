#pragma once
// Which files of a folder are pictures, by one rule for the converter and the
// batch window: the regular files whose name ends in ".iff" (any letter case),
// and the other regular files that start as an IFF picture the decoder takes,
// whatever their name. Sub-folders are not entered.
#include <string>
#include <system_error>
#include <vector>

namespace tambrel {

struct PictureListing {
    // File names (no folder), sorted by their bytes. Each keeps its bytes, so
    // a name that is not valid UTF-8 still reaches the file.
    std::vector<std::string> names;
    // Set when the folder could not be read to its end; `names` then holds
    // what was found before.
    std::error_code error;
};

PictureListing ListPictureFiles(const std::string &folder);

} // namespace tambrel
