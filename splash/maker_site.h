#pragma once
// The maker's web site: the splash window's "Updates" button and the About
// menu's web-site entry both open it.
#include <string>

namespace tambrel {

inline constexpr const char *kMakerDomain = "www.tambrel-pictures.org";
// The domain as the About menu shows it.
inline constexpr const char *kMakerCaption = "Tambrel-Pictures.org";

inline std::string MakerWebAddress() {
    return std::string("http://") + kMakerDomain;
}

} // namespace tambrel
