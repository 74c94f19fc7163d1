// IFF_Loader: the whole-file cache, the chunk walk, the header / palette /
// mode / table chunks, the body decoder and the colour resolution.
#include "decoder/iff_loader.h"

#include "common/declarations.h"
#include "common/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tambrel {

namespace {

// ---- Reader: every byte comes in through these; reads past the file yield 0.

std::uint32_t ReadByte(IFF_Picture &pic) {
    const std::uint64_t pos = pic.ReadPos++;
    return pos < pic.FileLength ? pic.FileCache[pos] : 0;
}

std::uint32_t ReadWord(IFF_Picture &pic) {
    const std::uint32_t b0 = ReadByte(pic);
    return b0 * 256 + ReadByte(pic);
}

std::uint32_t ReadLong(IFF_Picture &pic) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value * 256 + ReadByte(pic);
    }
    return value;
}

std::string ReadChunkId(IFF_Picture &pic) {
    std::string id(4, '\0');
    for (char &c : id) {
        c = static_cast<char>(ReadByte(pic));
    }
    return id;
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

// ---- Header, palette and mode chunks.

void ReadBitmapHeader(IFF_Picture &pic, std::uint32_t size) {
    pic.HeaderSize = size;
    pic.Width = static_cast<std::int32_t>(ReadWord(pic));
    pic.Height = static_cast<std::int32_t>(ReadWord(pic));
    pic.Xpos = static_cast<std::int32_t>(ReadWord(pic));
    pic.Ypos = static_cast<std::int32_t>(ReadWord(pic));
    pic.Bitplanes = static_cast<std::int32_t>(ReadByte(pic));
    pic.Masking = static_cast<std::int32_t>(ReadByte(pic));
    pic.Packtype = static_cast<std::int32_t>(ReadByte(pic));
    pic.BmhdPad = static_cast<std::int32_t>(ReadByte(pic));
    pic.TransparentColour = static_cast<std::int32_t>(ReadWord(pic));
    pic.XaspectRatio = static_cast<std::int32_t>(ReadByte(pic));
    pic.YaspectRatio = static_cast<std::int32_t>(ReadByte(pic));
    pic.Width2 = static_cast<std::int32_t>(ReadWord(pic));
    pic.Height2 = static_cast<std::int32_t>(ReadWord(pic));

    // A BMHD cancels the mode of any CAMG or CTBL before it; their tables stay.
    pic.DisplayMode = 0;
    pic.HalfBright = 0;
    pic.HamFlag = 0;
    pic.DynamicPalette = 0;
    pic.Interlaced = 0;
    pic.ModeId = 0;

    if (pic.DebugLogOn == -1) {
        AddDebugLine(pic, "FileSize:" + Decimal(pic.FormSize));
        AddDebugLine(pic, "Header Size:" + Decimal(pic.HeaderSize));
        AddDebugLine(pic, "Width  :" + Decimal(pic.Width) + "    ");
        AddDebugLine(pic, "Height :" + Decimal(pic.Height) + "    ");
        AddDebugLine(pic, "Pixels :" + Decimal(std::int64_t{pic.Width} * pic.Height));
        AddDebugLine(pic, "xpos" + Decimal(pic.Xpos) + "   ");
        AddDebugLine(pic, "ypos" + Decimal(pic.Ypos));
        AddDebugLine(pic, "Bitplanes" + Decimal(pic.Bitplanes));
        AddDebugLine(pic, "Masking" + Decimal(pic.Masking));
        AddDebugLine(pic, "Packtype" + Decimal(pic.Packtype));
        AddDebugLine(pic, "XaspectRatio" + Decimal(pic.XaspectRatio) + "    ");
        AddDebugLine(pic, "YaspectRatio" + Decimal(pic.YaspectRatio));
        AddDebugLine(pic, "TransparentColour" + Decimal(pic.TransparentColour));
        AddDebugLine(pic, "Width2  :" + Decimal(pic.Width2));
        AddDebugLine(pic, "Height2 :" + Decimal(pic.Height2));
    }
}

void CopyHalfBriteEntries(IFF_Picture &pic) {
    for (int i = 0; i < 32; ++i) {
        pic.Palette[32 + i] = pic.HalfBritePalette[i];
        pic.FilePalette[32 + i] = pic.HalfBritePalette[i];
    }
}

void ReadColourMap(IFF_Picture &pic, std::uint32_t size) {
    // size / 3 rounded to the nearest whole number: 3k+2 bytes give k+1 colours.
    const std::uint64_t colours = (std::uint64_t{size} + 1) / 3;
    // Colours beyond the table are dropped; the walk moves on to the chunk's end.
    const std::uint64_t kept = std::min<std::uint64_t>(colours, pic.Palette.size());
    for (std::uint64_t i = 0; i < kept; ++i) {
        const std::uint32_t r = ReadByte(pic);
        const std::uint32_t g = ReadByte(pic);
        const std::uint32_t b = ReadByte(pic);
        pic.Palette[i] = pic.FilePalette[i] = r * 65536 + g * 256 + b;
        pic.HalfBritePalette[i] = (r / 2) * 65536 + (g / 2) * 256 + (b / 2);
    }
    if (pic.HalfBright == 1) {
        CopyHalfBriteEntries(pic);
    }
}

void ReadModeChunk(IFF_Picture &pic) {
    pic.ModeId = ReadLong(pic);
    pic.DisplayMode = 1;
    if ((pic.ModeId & 4) != 0) {
        pic.Interlaced = 1;
    }
    if (BitIsSet(pic.ModeId, 7) == 1) {
        pic.HalfBright = 1;
        CopyHalfBriteEntries(pic);
    }
    if (BitIsSet(pic.ModeId, 11) == 1) {
        pic.HamFlag = 1;
        if (pic.Bitplanes == 6) {
            pic.DisplayMode = 2;
            BuildHam6Tables(pic);
        }
        if (pic.Bitplanes == 8) {
            pic.DisplayMode = 3;
            BuildHam8Tables(pic);
        }
    }
}

void ReadColourTable(IFF_Picture &pic, std::uint32_t size) {
    pic.DynamicPalette = 1;
    const auto lastLine = static_cast<std::size_t>(std::max(pic.Height, 0));
    pic.LinePalettes.Recreate(16, lastLine);
    // Lines beyond the table are dropped; the walk moves on to the chunk's end.
    const std::uint64_t lines = std::min<std::uint64_t>(size / 32, lastLine + 1);
    for (std::uint64_t n = 0; n < lines; ++n) {
        for (std::size_t c = 0; c < 16; ++c) {
            const std::uint32_t hi = ReadByte(pic);
            const std::uint32_t lo = ReadByte(pic);
            // 12-bit colour 0RGB scaled by 16; the high nibble of hi is kept as it stands.
            pic.LinePalettes(c, n) = ((hi * 256 + (lo & 0xF0) / 16) * 256 + (lo & 0x0F)) * 16;
        }
    }
}

// ---- Body decoding.

void AllocatePixelBuffers(IFF_Picture &pic) {
    const std::uint64_t w8 = static_cast<std::uint64_t>(RoundedWidth(pic.Width));
    const std::uint64_t rows = static_cast<std::uint64_t>(pic.Height) + 1;
    if ((w8 + 1) * rows > kMaxPixels) {
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + Decimal(pic.Width) + " x " +
                                                Decimal(pic.Height) +
                                                " pixels is more than this program holds");
    }
    // Free the old buffers first so the peak holds only one picture.
    pic.PixelColours.Clear();
    pic.PixelIndices.Clear();
    pic.PixelMask.Clear();
    pic.PixelColours.Recreate(w8, rows - 1);
    pic.PixelIndices.Recreate(w8, rows - 1);
    if (pic.Masking == 1) {
        pic.PixelMask.Recreate(w8, rows - 1);
    }
}

// Spreads one mask plane row into PixelMask row y: 1 for every set bit.
void SpreadMaskRow(IFF_Picture &pic, std::int32_t y, const std::uint8_t *plane) {
    if (pic.PixelMask.Empty()) {
        return;
    }
    std::uint8_t *mask = pic.PixelMask.Row(static_cast<std::size_t>(y));
    for (std::int32_t c = 0; c < pic.RowBytes; ++c) {
        for (int bit = 0; bit < 8; ++bit) {
            mask[8 * static_cast<std::size_t>(c) + bit] = (plane[c] >> (7 - bit)) & 1;
        }
    }
}

void PlanarRowToChunky(IFF_Picture &pic, std::int32_t y) {
    const int planes = pic.Bitplanes;
    const int top = planes - 1;
    Colour *colours = pic.PixelColours.Row(static_cast<std::size_t>(y));
    std::uint8_t *indices = pic.PixelIndices.Row(static_cast<std::size_t>(y));
    const Table257 *tables[4] = {&pic.PairSpread0, &pic.PairSpread1, &pic.PairSpread2,
                                 &pic.PairSpread3};
    for (std::int32_t c = 0; c < pic.RowBytes; ++c) {
        std::uint32_t a[4];
        const std::uint8_t topByte = pic.RowPlanes(static_cast<std::size_t>(c), top);
        for (int k = 0; k < 4; ++k) {
            a[k] = (*tables[k])[topByte];
        }
        for (int p = planes - 2; p >= 0; --p) {
            const std::uint8_t b = pic.RowPlanes(static_cast<std::size_t>(c), p);
            for (int k = 0; k < 4; ++k) {
                a[k] = a[k] * 2 + (*tables[k])[b];
            }
        }
        for (int k = 0; k < 4; ++k) {
            const std::size_t x = 8 * static_cast<std::size_t>(c) + 2 * k;
            const std::uint8_t left = static_cast<std::uint8_t>((a[k] >> 8) & 255);
            const std::uint8_t right = static_cast<std::uint8_t>(a[k] & 255);
            colours[x] = indices[x] = left;
            colours[x + 1] = indices[x + 1] = right;
        }
    }
    if (pic.ResolveAtEnd == 0) {
        ResolveRowColours(pic, y);
    }
}

// Room after a plane row for one whole run past its end, so runs can be
// copied without clipping; only columns 0 .. S+1 are kept.
constexpr std::size_t kRunSlack = 130;

// One ByteRun1 plane row into `dest`, which holds S + 2 + kRunSlack bytes.
// Returns how many of the columns 0 .. S+1 the row filled (S, S+1 or S+2).
std::size_t UnpackPlaneRow(IFF_Picture &pic, std::uint8_t *dest, std::size_t s) {
    const std::uint8_t *cache = pic.FileCache.data();
    const std::uint64_t length = pic.FileLength;
    std::uint64_t pos = pic.ReadPos;
    std::size_t col = 0;
    do {
        if (pos + 130 <= length) {
            // The whole run lies inside the file.
            // Short runs are copied as a fixed 16 bytes (one move, no call);
            // what lands past the run is overwritten by the next run or lies
            // beyond the columns the row reports as filled.
            const std::uint32_t n = cache[pos++];
            if (n <= 127) {
                const std::size_t count = n + 1;
                if (col < s + 2) {
                    if (count <= 16) {
                        std::memcpy(dest + col, cache + pos, 16);
                    } else {
                        std::memcpy(dest + col, cache + pos, count);
                    }
                }
                pos += count;
                col += count;
            } else if (n >= 129) {
                const std::size_t count = 257 - n;
                if (col < s + 2) {
                    if (count <= 16) {
                        std::memset(dest + col, cache[pos], 16);
                    } else {
                        std::memset(dest + col, cache[pos], count);
                    }
                }
                ++pos;
                col += count;
            }
            continue;
        }
        // Near the file's end: bytes past it read as 0, and every control byte
        // there reads as 0 and copies one zero byte, so the row always completes.
        const std::uint32_t n = pos < length ? cache[pos] : 0;
        ++pos;
        if (n <= 127) {
            for (std::uint32_t i = 0; i <= n; ++i, ++pos, ++col) {
                if (col < s + 2) {
                    dest[col] = pos < length ? cache[pos] : 0;
                }
            }
        } else if (n >= 129) {
            const std::uint8_t v = pos < length ? cache[pos] : 0;
            ++pos;
            if (col < s + 2) {
                std::memset(dest + col, v, 257 - n);
            }
            col += 257 - n;
        }
    } while (col < s);
    pic.ReadPos = pos;
    return std::min(col, s + 2);
}

void DecodeBody(IFF_Picture &pic) {
    pic.RowBytes = pic.Width / 8;
    if (pic.RowBytes * 8 < pic.Width) {
        pic.RowBytes += 1;
    }
    const std::size_t s = static_cast<std::size_t>(pic.RowBytes + (pic.RowBytes % 2));
    const std::size_t planes = static_cast<std::size_t>(pic.Bitplanes);
    pic.RowPlanes.Recreate(s + 1, planes);
    // A mask plane (Masking 1) follows the bit planes of every row; it goes to PixelMask.
    const bool maskPlane = pic.Masking == 1;
    std::vector<std::uint8_t> unpacked(s + 2 + kRunSlack);

    if (pic.Packtype != 0) {
        AddDebugLine(pic, "Working on Compressed Body");
        for (std::int32_t y = 1; y <= pic.Height; ++y) {
            for (std::size_t p = 0; p < planes; ++p) {
                const std::size_t filled = UnpackPlaneRow(pic, unpacked.data(), s);
                std::memcpy(&pic.RowPlanes(0, p), unpacked.data(), filled);
            }
            if (maskPlane) {
                UnpackPlaneRow(pic, unpacked.data(), s);
                SpreadMaskRow(pic, y, unpacked.data());
            }
            AddDebugLine(pic, "Depacked Scanline:" + NumberText(y));
            PlanarRowToChunky(pic, y);
            AddDebugLine(pic, "p2C Scanline:" + NumberText(y));
        }
        AddDebugLine(pic, "Depack of Body Done");
        return;
    }

    for (std::int32_t y = 1; y <= pic.Height; ++y) {
        for (std::size_t p = 0; p < planes; ++p) {
            std::uint8_t *row = &pic.RowPlanes(0, p);
            const std::uint64_t pos = pic.ReadPos;
            if (pos + s <= pic.FileLength) {
                std::memcpy(row, pic.FileCache.data() + pos, s);
                pic.ReadPos += s;
            } else {
                for (std::size_t c = 0; c < s; ++c) {
                    row[c] = static_cast<std::uint8_t>(ReadByte(pic));
                }
            }
        }
        if (maskPlane) {
            for (std::size_t c = 0; c < s; ++c) {
                unpacked[c] = static_cast<std::uint8_t>(ReadByte(pic));
            }
            SpreadMaskRow(pic, y, unpacked.data());
        }
        PlanarRowToChunky(pic, y);
        AddDebugLine(pic, "Row:" + NumberText(y));
    }
    AddDebugLine(pic, "Done");
}

// Rows that were never turned into colours: by the mode the walk left, or as
// palette rows when no mode was ever set.
void ResolveAllRows(IFF_Picture &pic) {
    if (!pic.RowsAwaitColours || pic.BodyFound != -1) {
        return;
    }
    const std::int16_t mode = pic.DisplayMode;
    if (mode == 0) {
        pic.DisplayMode = 1;
    }
    const auto lastRow = static_cast<std::int32_t>(pic.PixelColours.Rows()) - 1;
    for (std::int32_t y = 1; y <= std::min(pic.Height, lastRow); ++y) {
        ResolveRowColours(pic, y);
    }
    pic.DisplayMode = mode;
    pic.RowsAwaitColours = false;
}

int CheckFormIlbm(IFF_Picture &pic) {
    if (ReadChunkId(pic) != "FORM") {
        return -1;
    }
    pic.FormSize = ReadLong(pic);
    return ReadChunkId(pic) == "ILBM" ? 0 : -1;
}

void StartLoad(IFF_Picture &pic, const std::string &path, bool debug) {
    pic.DebugLog.assign(2, std::string());
    pic.LoadResult = 0;
    pic.BodyFound = 0;
    pic.PicturePath = path;
    pic.PictureName = RemoveFileExtension(GetFileNameFromPath(path));
    pic.LoadedName = pic.PictureName;
    pic.FormSize = 0;
    pic.ReadPos = 0;
    pic.HeaderSize = 0;
    pic.LoadStatus = 1;
    pic.HalfBright = 0;
    pic.HamFlag = 0;
    pic.Interlaced = 0;
    pic.DynamicPalette = 0;
    pic.DisplayMode = 0;
    pic.Width = 0;
    pic.Height = 0;
    pic.DebugLogOn = debug ? -1 : 0;
}

int WalkChunks(IFF_Picture &pic) {
    if (CheckFormIlbm(pic) != 0) {
        pic.LoadStatus = 0;
        pic.BodyFound = 0;
        return 0;
    }
    BuildPairSpreadTables(pic);
    bool camgSeen = false;
    pic.ResolveAtEnd = 0;
    pic.RowsAwaitColours = false;

    // Each pass needs a whole chunk header in the file; after each chunk the
    // walk goes on at that chunk's end, wherever its handler stopped.
    while (pic.ReadPos + 8 <= pic.FileLength) {
        const std::uint64_t start = pic.ReadPos;
        const std::string id = ReadChunkId(pic);
        const std::uint32_t size = ReadLong(pic);
        if (id == "BMHD") {
            AddDebugLine(pic, "[BMHD]");
            ReadBitmapHeader(pic, size);
        } else if (id == "BODY") {
            AddDebugLine(pic, "BodyFound");
            if (pic.Bitplanes >= 1 && pic.Bitplanes <= 8) {
                AllocatePixelBuffers(pic);
                pic.BodyFound = -1;
                // Rows decoded before any mode is known keep their pixel values.
                const bool resolvedNow = pic.ResolveAtEnd == 0 && pic.DisplayMode != 0;
                DecodeBody(pic);
                pic.RowsAwaitColours = !resolvedNow;
                if (!camgSeen) {
                    pic.ResolveAtEnd = -1;
                }
            } else {
                AddDebugLine(pic, "Unsupported Bitplanes:" + NumberText(pic.Bitplanes));
            }
        } else if (id == "CMAP") {
            AddDebugLine(pic, "Palette Found");
            ReadColourMap(pic, size);
        } else if (id == "CAMG") {
            AddDebugLine(pic, "CBM AMIGA mode ID value");
            ReadModeChunk(pic);
            camgSeen = true;
        } else if (id == "CTBL") {
            AddDebugLine(pic, "Dynamic Palette Data found");
            ReadColourTable(pic, size);
        } else {
            AddDebugLine(pic, "Skipping Unknown Section ");
        }
        pic.ReadPos = start + 8 + size + (size & 1);
        if (pic.ReadPos >= pic.FormSize) {
            break;
        }
    }
    ResolveAllRows(pic);
    pic.PictureLoaded = 1;
    pic.LoadResult = pic.LoadStatus;
    return pic.LoadStatus;
}

void CacheBytes(IFF_Picture &pic, std::span<const std::uint8_t> bytes) {
    pic.FileCache.assign(bytes.size() + 2, 0);
    if (!bytes.empty()) {
        std::memcpy(pic.FileCache.data(), bytes.data(), bytes.size());
    }
    pic.FileLength = bytes.size();
}

// Reads the whole file into the cache with one read.
void CacheFile(IFF_Picture &pic, const std::string &path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw ErrorFromErrno(errno, "Cannot open", path);
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        throw ErrorFromErrno(err, "Cannot read", path);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw ErrorFromErrno(S_ISDIR(st.st_mode) ? EISDIR : EINVAL, "Cannot read", path);
    }
    const auto length = static_cast<std::uint64_t>(st.st_size);
    try {
        pic.FileCache.clear();
        pic.FileCache.shrink_to_fit();
        pic.FileCache.assign(length + 2, 0);
    } catch (const std::bad_alloc &) {
        ::close(fd);
        throw TambrelError(kErrOutOfMemory, "File too large to read: " + path);
    }
    std::uint64_t done = 0;
    while (done < length) {
        const ssize_t got = ::read(fd, pic.FileCache.data() + done, length - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            const int err = errno;
            ::close(fd);
            throw ErrorFromErrno(err, "Cannot read", path);
        }
        if (got == 0) {
            break; // the file shrank while being read: keep what was there
        }
        done += static_cast<std::uint64_t>(got);
    }
    ::close(fd);
    pic.FileLength = done;
}

} // namespace

void AddDebugLine(IFF_Picture &pic, const std::string &text) {
    if (pic.DebugLogOn == -1) {
        pic.DebugLog.push_back(text);
    }
}

int BitIsSet(std::uint32_t value, int n) {
    return (value & (std::uint32_t{1} << n)) != 0 ? 1 : 0;
}

void BuildPairSpreadTables(IFF_Picture &pic) {
    Table257 *tables[4] = {&pic.PairSpread0, &pic.PairSpread1, &pic.PairSpread2, &pic.PairSpread3};
    for (std::uint32_t b = 0; b < 256; ++b) {
        for (int k = 0; k < 4; ++k) {
            const int high = 7 - 2 * k;
            (*tables[k])[b] = ((b >> high) & 1) * 256 + ((b >> (high - 1)) & 1);
        }
    }
}

void BuildHam6Tables(IFF_Picture &pic) {
    for (std::uint32_t v = 0; v < 64; ++v) {
        const std::uint32_t c = v / 16;
        const std::uint32_t d = v - 16 * c;
        pic.HamControl[v] = c;
        pic.HamBlue[v] = d * 17;
        pic.HamGreen[v] = d * 0x1100;
        pic.HamRed[v] = d * 0x110000;
    }
}

void BuildHam8Tables(IFF_Picture &pic) {
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t c = v / 64;
        const std::uint32_t d = v - 64 * c;
        pic.HamControl[v] = c;
        pic.HamBlue[v] = d * 4;
        pic.HamGreen[v] = d * 1024;
        pic.HamRed[v] = d * 262144;
    }
}

namespace {

// What a hold-and-modify pixel keeps of the pixel to its left: HAM6 keeps the
// two other components, HAM8 also the low two bits of the one it modifies.
struct HamMasks {
    std::uint32_t lastPlainValue; // values up to this one are plain palette entries
    Colour keepForBlue;
    Colour keepForRed;
    Colour keepForGreen;
};

void ResolveHamRow(const IFF_Picture &pic, Colour *row, std::size_t last, const HamMasks &masks) {
    Colour prev = pic.Palette[0];
    for (std::size_t x = 0; x <= last; ++x) {
        const std::uint32_t v = row[x] & 255;
        Colour c = pic.Palette[v];
        if (v > masks.lastPlainValue) {
            switch (pic.HamControl[v] & 0xFFFF) {
            case 1:
                c = pic.HamBlue[v] + (prev & masks.keepForBlue);
                break;
            case 3:
                c = pic.HamGreen[v] + (prev & masks.keepForGreen);
                break;
            case 2:
                c = pic.HamRed[v] + (prev & masks.keepForRed);
                break;
            default:
                break;
            }
        }
        row[x] = prev = c;
    }
}

} // namespace

void ResolveRowColours(IFF_Picture &pic, std::int32_t y) {
    if (pic.DisplayMode < 1 || pic.DisplayMode > 3) {
        return;
    }
    if (y < 0 || static_cast<std::size_t>(y) >= pic.PixelColours.Rows()) {
        return;
    }
    Colour *row = pic.PixelColours.Row(static_cast<std::size_t>(y));
    // Columns 0 .. Width, within the buffer (a later BMHD may have changed Width).
    const std::size_t last = std::min<std::size_t>(static_cast<std::size_t>(std::max(pic.Width, 0)),
                                                   pic.PixelColours.Columns() - 1);
    const Table257 &palette = pic.Palette;

    if (pic.DynamicPalette == 1 && pic.DisplayMode != 3) {
        for (std::size_t i = 0; i < 16; ++i) {
            pic.Palette[i] = pic.LinePalettes.ValueAt(i, static_cast<std::size_t>(y - 1));
        }
    }
    switch (pic.DisplayMode) {
    case 1:
        for (std::size_t x = 0; x <= last; ++x) {
            row[x] = palette[row[x] & 255];
        }
        break;
    case 2:
        ResolveHamRow(pic, row, last, HamMasks{15, 0xFFFF00, 0x00FFFF, 0xFF00FF});
        break;
    case 3:
        ResolveHamRow(pic, row, last, HamMasks{63, 0xFFFF03, 0x03FFFF, 0xFF03FF});
        break;
    default:
        break;
    }
}

int LoadIffPicture(IFF_Picture &pic, const std::string &path, bool debug) {
    StartLoad(pic, path, debug);
    CacheFile(pic, path);
    return WalkChunks(pic);
}

int LoadIffPictureFromMemory(IFF_Picture &pic, std::span<const std::uint8_t> bytes,
                             const std::string &path, bool debug) {
    StartLoad(pic, path, debug);
    CacheBytes(pic, bytes);
    return WalkChunks(pic);
}

} // namespace tambrel
