// tambrel-thumbnail -s SIZE INPUT OUTPUT: a PNG thumbnail of an IFF picture,
// as the desktop's thumbnailer entry runs it.
#include "common/errors.h"
#include "common/text.h"
#include "output/atomic_file.h"
#include "thumbnail/thumbnail.h"

#include <charconv>
#include <cstdio>
#include <new>
#include <string>

namespace {

constexpr const char *kUsage = "Usage: tambrel-thumbnail -s SIZE INPUT OUTPUT.png\n"
                               "Writes a PNG of the IFF picture INPUT scaled to fit SIZE x SIZE\n"
                               "pixels (aspect kept; smaller pictures keep their size).\n";

int Usage(const char *problem) {
    std::fprintf(stderr, "tambrel-thumbnail: %s\n\n%s", problem, kUsage);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5 || std::string(argv[1]) != "-s") {
        return Usage("expected -s SIZE INPUT OUTPUT");
    }
    const std::string sizeText = argv[2];
    unsigned size = 0;
    const auto [end, ec] =
        std::from_chars(sizeText.data(), sizeText.data() + sizeText.size(), size);
    if (ec != std::errc() || end != sizeText.data() + sizeText.size() || size < 1 || size > 16384) {
        return Usage("SIZE must be a number from 1 to 16384");
    }
    // A file-size limit or an interrupted run leaves no partial file and no temporary.
    tambrel::PrepareOutputSignals();
    try {
        tambrel::WriteThumbnail(argv[3], argv[4], size);
    } catch (const tambrel::TambrelError &e) {
        std::fprintf(stderr, "tambrel-thumbnail: %s: %s\n", tambrel::QuotedName(argv[3]).c_str(),
                     e.Description.c_str());
        return 1;
    } catch (const std::bad_alloc &) {
        std::fprintf(stderr, "tambrel-thumbnail: %s: not enough memory\n",
                     tambrel::QuotedName(argv[3]).c_str());
        return 1;
    }
    return 0;
}
