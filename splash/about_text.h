#pragma once
// The splash window's about text, built afresh each time the window is made.
#include <string>

namespace tambrel {

inline constexpr const char *kProductName = "Tambrel";
inline constexpr const char *kReleaseDate = "23rd, Jan, 2010";

// The about text with CR LF line breaks and the product name in upper case.
std::string BuildAboutText();

} // namespace tambrel
