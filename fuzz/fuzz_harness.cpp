#include "fuzz/fuzz_harness.h"

#include "common/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "output/exports.h"
#include "output/file_functions.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace tambrel::fuzz {

namespace {

[[noreturn]] void Broken(const char *what) {
    std::fprintf(stderr, "tambrel fuzz: invariant broken: %s\n", what);
    std::abort();
}

void Check(bool ok, const char *what) {
    if (!ok) {
        Broken(what);
    }
}

std::uint32_t WordAt(std::span<const std::uint8_t> b, std::size_t pos) {
    // Reads past the end yield 0, as the decoder's reader does.
    const std::uint32_t hi = pos < b.size() ? b[pos] : 0;
    const std::uint32_t lo = pos + 1 < b.size() ? b[pos + 1] : 0;
    return hi * 256 + lo;
}

std::int64_t FileSize(const std::string &path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// Every entry of the folder except "." and "..": output files must be gone
// again after each input, and the writer must never leave a temporary behind.
std::vector<std::string> FolderEntries(const std::string &dir) {
    std::vector<std::string> names;
    if (DIR *d = ::opendir(dir.c_str())) {
        while (const dirent *e = ::readdir(d)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) {
                names.emplace_back(e->d_name);
            }
        }
        ::closedir(d);
    }
    return names;
}

// The file must exist with exactly `expected` bytes; it is removed afterwards.
void CheckAndRemove(const std::string &path, std::int64_t expected, const char *what) {
    Check(FileSize(path) == expected, what);
    ::unlink(path.c_str());
}

void CheckBitmapFile(const std::string &path, const IFF_Picture &pic) {
    const std::int64_t size = 54 + std::int64_t{4} * pic.Width * pic.Height;
    Check(FileSize(path) == size, "BMP size is not 54 + 4 x Width x Height");
    const auto header = BitmapHeader(pic.Width, pic.Height);
    std::uint8_t got[54] = {};
    if (std::FILE *f = std::fopen(path.c_str(), "rb")) {
        const std::size_t n = std::fread(got, 1, sizeof got, f);
        std::fclose(f);
        Check(n == sizeof got, "BMP header unreadable");
    }
    Check(std::memcmp(got, header.data(), header.size()) == 0, "BMP header differs");
    ::unlink(path.c_str());
}

// BMP by save mode 1 and the three exports of the record, each checked by size.
InputOutcome WriteOutputs(const IFF_Picture &pic, const std::string &dir) {
    const std::string bmp = dir + "/out.bmp";
    const SaveOutcome saved = SaveBitmapByMode(pic, bmp, 1);
    const bool writable = BitmapWritable(pic, pic.Width, pic.Height);
    Check((saved.kind == SaveOutcome::Written) == writable, "save outcome disagrees with guard");
    if (saved.kind == SaveOutcome::Written) {
        Check(saved.path == bmp, "overwrite mode wrote another name");
        CheckBitmapFile(bmp, pic);
    } else {
        Check(FileSize(bmp) == -1, "a BMP was written although the guard stopped it");
    }
    if (CanExportRawColours(pic)) {
        WriteRawColours(pic, dir + "/out.rgb");
        CheckAndRemove(dir + "/out.rgb", static_cast<std::int64_t>(4 * pic.PixelColours.Size()),
                       "raw colour export size");
    }
    if (CanExportRawIndices(pic)) {
        WriteRawIndices(pic, dir + "/out.lut");
        CheckAndRemove(dir + "/out.lut", static_cast<std::int64_t>(pic.PixelIndices.Size()),
                       "raw index export size");
    }
    if (CanExportPalette(pic)) {
        WritePaletteText(pic, dir + "/out.txt");
        const int planes = pic.Bitplanes < 0 ? 0 : pic.Bitplanes > 8 ? 8 : pic.Bitplanes;
        CheckAndRemove(dir + "/out.txt", std::int64_t{9} << planes, "palette export size");
    }
    return writable ? InputOutcome::Written : InputOutcome::NoBody;
}

bool IsTooLarge(const TambrelError &e) {
    return e.Number == kErrOutOfMemory;
}

DecodeLimits FuzzLimits(std::uint32_t pictureIndex = 0) {
    DecodeLimits limits;
    limits.Pixels = kFuzzDecodePixels;
    limits.MemoryBytes = kFuzzDecodeBytes;
    limits.PictureIndex = pictureIndex;
    return limits;
}

} // namespace

std::uint64_t LargestDeclaredPixels(std::span<const std::uint8_t> bytes) {
    std::uint64_t largest = 0;
    for (std::size_t i = 0; i + 4 <= bytes.size(); ++i) {
        if (std::memcmp(bytes.data() + i, "BMHD", 4) != 0) {
            continue;
        }
        const std::uint64_t w = WordAt(bytes, i + 8);
        const std::uint64_t h = WordAt(bytes, i + 10);
        // Both what the buffers would hold and what a BMP of that header would hold.
        for (const std::uint64_t pixels :
             {(static_cast<std::uint64_t>(RoundedWidth(static_cast<std::int64_t>(w))) + 1) *
                  (h + 1),
              w * h}) {
            if (pixels <= kMaxPixels && pixels > largest) {
                largest = pixels;
            }
        }
    }
    return largest;
}

InputOutcome RunOneInput(std::span<const std::uint8_t> bytes, const std::string &workDir) {
    if (LargestDeclaredPixels(bytes) > kFuzzPixelLimit) {
        return InputOutcome::Skipped;
    }
    // The windows keep one record for the whole run; palette entries and
    // other fields of earlier inputs stay in it.
    static IFF_Picture reused;
    auto fresh = std::make_unique<IFF_Picture>();

    int reusedResult = -1;
    int freshResult = -1;
    bool reusedRefused = false;
    bool freshRefused = false;
    try {
        reusedResult =
            LoadIffPictureFromMemory(reused, bytes, "/fuzz/input.iff", true, FuzzLimits());
    } catch (const TambrelError &e) {
        if (!IsTooLarge(e)) {
            throw;
        }
        reusedRefused = true;
    }
    try {
        freshResult =
            LoadIffPictureFromMemory(*fresh, bytes, "/fuzz/input.iff", false, FuzzLimits());
    } catch (const TambrelError &e) {
        if (!IsTooLarge(e)) {
            throw;
        }
        freshRefused = true;
    }

    // The last picture of a CAT or LIST, taken by number as --all-pictures does.
    if (!freshRefused && freshResult == 1 && fresh->PictureCount > 1) {
        const DecodeLimits last = FuzzLimits(fresh->PictureCount - 1);
        auto other = std::make_unique<IFF_Picture>();
        try {
            Check(LoadIffPictureFromMemory(*other, bytes, "/fuzz/input.iff", false, last) == 1,
                  "a group's last picture is no picture");
            Check(other->PictureCount == fresh->PictureCount, "the group's count differs");
        } catch (const TambrelError &e) {
            if (!IsTooLarge(e)) {
                throw;
            }
        }
    }
    if (!freshRefused) {
        Check(freshResult == 0 || freshResult == 1, "result is neither 0 nor 1");
        Check(fresh->LoadResult == freshResult, "LoadResult differs from the result");
        Check(fresh->BodyFound == 0 || fresh->BodyFound == -1, "BodyFound is neither 0 nor -1");
        Check(freshResult == 1 || !fresh->HasBody(), "not an ILBM, but BodyFound set");
    }
    if (!reusedRefused) {
        Check(reusedResult == freshResult || freshRefused, "reused and fresh results differ");
    }
    // Pixel values never depend on an earlier picture: every BODY the fresh
    // record decodes follows a BMHD of this file, so the reused one decodes it alike.
    if (!freshRefused && !reusedRefused && fresh->HasBody()) {
        Check(reused.HasBody(), "reused record lost the BODY");
        Check(reused.PixelIndices.Columns() == fresh->PixelIndices.Columns() &&
                  reused.PixelIndices.Rows() == fresh->PixelIndices.Rows(),
              "reused and fresh pixel buffers differ in size");
        Check(std::memcmp(reused.PixelIndices.Data(), fresh->PixelIndices.Data(),
                          fresh->PixelIndices.Size()) == 0,
              "reused and fresh pixel values differ");
    }

    InputOutcome outcome = InputOutcome::Refused;
    if (!freshRefused) {
        outcome = freshResult == 0 ? InputOutcome::NotIlbm : InputOutcome::NoBody;
        try {
            if (!reusedRefused) {
                WriteOutputs(reused, workDir);
            }
            // The converter's path: a fresh record straight to the BMP writer.
            const std::string bmp = workDir + "/fresh.bmp";
            WriteBitmapFile(*fresh, bmp, fresh->Width, fresh->Height);
            if (BitmapWritable(*fresh, fresh->Width, fresh->Height)) {
                CheckBitmapFile(bmp, *fresh);
                outcome = InputOutcome::Written;
            }
        } catch (const TambrelError &e) {
            // A later BMHD may ask for a BMP larger than any picture allowed.
            if (!IsTooLarge(e)) {
                throw;
            }
            outcome = InputOutcome::Refused;
        }
    }
    for (const std::string &name : FolderEntries(workDir)) {
        std::fprintf(stderr, "tambrel fuzz: left in the work folder: %s\n", name.c_str());
        Broken("output folder not empty after the input");
    }
    return outcome;
}

std::string MakeWorkDir() {
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tambrel-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (::mkdtemp(name.data()) == nullptr) {
        std::perror("tambrel fuzz: mkdtemp");
        std::abort();
    }
    return name.data();
}

} // namespace tambrel::fuzz
