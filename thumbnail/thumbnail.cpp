#include "thumbnail/thumbnail.h"

#include "common/errors.h"
#include "common/text.h"
#include "output/atomic_file.h"
#include "output/png_writer.h"

#include <sys/stat.h>

namespace tambrel {

namespace {

// True when both names lead to the same file (the output would destroy the input).
bool SameFile(const std::string &a, const std::string &b) {
    struct stat sa {
    }, sb{};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

} // namespace

void WriteThumbnail(const std::string &input, const std::string &output, std::uint32_t size) {
    if (SameFile(input, output)) {
        throw TambrelError(kErrPathFileAccess,
                           "the output " + QuotedName(output) + " is the picture itself");
    }
    RgbaPixels thumb;
    {
        IFF_Picture pic;
        ScaledRows scaled(size);
        const std::string reason = DecodeFileForDesktop(pic, input, scaled);
        if (!reason.empty()) {
            throw TambrelError(kErrDeviceIO, reason);
        }
        thumb = scaled.Take();
    }
    AtomicFile out(output);
    WriteRgbaPngTo(out, thumb.Pixels.data(), thumb.Width, thumb.Height, thumb.Transparent);
    out.Commit();
}

} // namespace tambrel
