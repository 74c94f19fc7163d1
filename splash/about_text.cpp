#include "splash/about_text.h"
#include "common/version.h"

#include <cctype>

namespace tambrel {

std::string BuildAboutText() {
    const std::string crlf = "\r\n";
    std::string product = kProductName;
    for (char &c : product)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));

    std::string text;
    text += " Thanks for trying " + product + " " + kProgramVersion + "  Released:" + kReleaseDate +
            crlf;
    text += crlf;
    text +=
        " " + product + " Is a simple tool for the conversion of IFF images to Windows BITMAPS.";
    text += crlf + crlf;
    text += " What makes " + product +
            " special as it's support for various AMIGA specific IFF file formats, that aren't "
            "supported by other mainstream PC packages, and in some cases, even on the Amiga.  "
            "Including Half Bright, Dynamic Hires, HAM6, HAM8 and even Sliced Ham. (SHAM) ";
    text += crlf + crlf;
    text += " If you notice any bugs for unsupported formats...Just Email Me" + crlf;
    return text;
}

} // namespace tambrel
