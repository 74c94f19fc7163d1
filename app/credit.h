#pragma once
// The author credit at the end of the main window's title, assembled at run
// time from a table of character codes.
#include "common/version.h"

#include <string>

namespace tambrel {

inline constexpr const char *kProgramName = "Tambrel";

// The twelve-character credit.
std::string MakeCreditText();
// "Tambrel V0.08b,  By " followed by the credit.
std::string MainWindowTitle();

} // namespace tambrel
