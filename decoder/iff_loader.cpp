// The chunk walk: the file (its FORM and no more) read into the cache under
// the limits, the header, palette, mode and table chunks, and the walk that
// hands each BODY to the body decoder.
#include "decoder/iff_loader.h"

#include "common/declarations.h"
#include "common/errors.h"
#include "decoder/loader_steps.h"
#include "decoder/memory_budget.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tambrel::loader {

// Every byte comes in through the reader; reads past the file yield 0.

std::uint32_t ReadByte(LoadSession &pic) {
    const std::uint64_t pos = pic.ReadPos++;
    return pos < pic.FileLength ? pic.FileCache[pos] : 0;
}

std::uint32_t ReadWord(LoadSession &pic) {
    const std::uint32_t b0 = ReadByte(pic);
    return b0 * 256 + ReadByte(pic);
}

std::uint32_t ReadLong(LoadSession &pic) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        value = value * 256 + ReadByte(pic);
    }
    return value;
}

std::string ReadChunkId(LoadSession &pic) {
    std::string id(4, '\0');
    for (char &c : id) {
        c = static_cast<char>(ReadByte(pic));
    }
    return id;
}

std::string Decimal(std::int64_t value) {
    return std::to_string(value);
}

} // namespace tambrel::loader

namespace tambrel {

using namespace loader;

namespace {

// ---- Header, palette and mode chunks.

void ReadBitmapHeader(LoadSession &pic, std::uint32_t size) {
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

    if (pic.DebugLogOn) {
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

void CopyHalfBriteEntries(LoadSession &pic) {
    for (int i = 0; i < 32; ++i) {
        pic.Palette[32 + i] = pic.HalfBritePalette[i];
        pic.FilePalette[32 + i] = pic.HalfBritePalette[i];
    }
}

void ReadColourMap(LoadSession &pic, std::uint32_t size) {
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

void ReadModeChunk(LoadSession &pic) {
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
        // With five planes the sixth plane's bits read as 0: values 16-31 modify blue.
        if (pic.Bitplanes == 6 || pic.Bitplanes == 5) {
            pic.DisplayMode = 2;
            BuildHam6Tables(pic);
        }
        if (pic.Bitplanes == 8) {
            pic.DisplayMode = 3;
            BuildHam8Tables(pic);
        }
    }
}

void ReadColourTable(LoadSession &pic, std::uint32_t size) {
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

bool IsGroupId(const std::string &id) {
    return id == "CAT " || id == "LIST";
}

// `count`: the pictures the file holds (1 for a lone FORM).
int CheckFormIlbm(LoadSession &pic, const DecodeLimits &limits, std::uint32_t &count) {
    const std::string id = ReadChunkId(pic);
    if (IsGroupId(id)) {
        // A CAT or LIST of pictures: the one the limits name, the first by default.
        const std::uint64_t end = std::uint64_t{ReadLong(pic)} + 8;
        return FindPictureInGroup(pic, end, limits.PictureIndex, count, limits) ? 0 : -1;
    }
    count = 1;
    if (limits.PictureIndex != 0) {
        return -1; // a lone FORM is picture 0 only
    }
    if (id != "FORM") {
        return -1;
    }
    pic.FormSize = ReadLong(pic);
    return FormOfType(ReadChunkId(pic), pic.Form) ? 0 : -1;
}

void StartLoad(LoadSession &pic, const std::string &path, bool debug, RowSink *sink) {
    pic.DebugLog.assign(2, std::string());
    pic.LoadResult = 0;
    pic.BodyFound = 0;
    pic.PicturePath = path;
    pic.PictureName = RemoveFileExtension(GetFileNameFromPath(path));
    pic.LoadedName = pic.PictureName;
    pic.FormSize = 0;
    pic.LoadStatus = 1;
    pic.HalfBright = 0;
    pic.HamFlag = 0;
    pic.Interlaced = 0;
    pic.DynamicPalette = 0;
    pic.DisplayMode = 0;
    pic.Width = 0;
    pic.Height = 0;
    pic.Form = FormKind::Ilbm;
    pic.BodyRefusal.clear();
    pic.VerticalBody = false;
    pic.DebugLogOn = debug;
    pic.Sink = sink;
}

// A picture's walk starts from an empty record: nothing of an earlier picture
// (palette entries, flags, buffers) carries over. What the load has set up so
// far (the file, the names, the log) stays. A file that is no picture leaves
// the earlier picture in place.
void ForgetEarlierPicture(LoadSession &pic) {
    IFF_Picture fresh;
    fresh.PicturePath = std::move(pic.PicturePath);
    fresh.PictureName = std::move(pic.PictureName);
    fresh.LoadedName = std::move(pic.LoadedName);
    fresh.LoadStatus = pic.LoadStatus;
    fresh.Form = pic.Form;
    fresh.Progress = pic.Progress;
    fresh.FileLength = pic.FileLength;
    fresh.FormSize = pic.FormSize;
    fresh.DebugLog = std::move(pic.DebugLog);
    static_cast<IFF_Picture &>(pic) = std::move(fresh);
}

} // namespace

// Another BODY or ABIT, a header (BMHD, and the RGHD, DGBL and DLOC of the
// FORMs with chunks of their own), a SHAM or PCHG, or a CMAP, CAMG or CTBL
// when the rows wait for their colours.
bool loader::LaterChunkChangesRows(const LoadSession &pic, std::uint64_t pos,
                                   bool rowsAwaitColours) {
    const std::uint64_t end =
        std::min<std::uint64_t>(pic.FileLength, std::uint64_t{pic.FormSize} + 8);
    const std::uint8_t *cache = pic.FileCache.data();
    while (pos + 8 <= end) {
        const std::string id(cache + pos, cache + pos + 4);
        if (id == "BODY" || id == "ABIT" || id == "BMHD" || id == "SHAM" || id == "PCHG" ||
            id == "RGHD" || id == "DGBL" || id == "DLOC" ||
            (rowsAwaitColours && (id == "CMAP" || id == "CAMG" || id == "CTBL"))) {
            return true;
        }
        const std::uint64_t size = std::uint64_t{cache[pos + 4]} << 24 | cache[pos + 5] << 16 |
                                   cache[pos + 6] << 8 | cache[pos + 7];
        pos += 8 + size + (size & 1);
    }
    return false;
}

namespace {

// Whether every row of the BODY about to be decoded shows Palette[index] of
// the palette as it stands: palette planes in the plain mode, with no colour
// table or line change altering the palette from row to row.
bool PlainPaletteRows(const LoadSession &pic) {
    return !pic.IsDeep() && pic.Bitplanes >= 1 && pic.DisplayMode == 1 && pic.DynamicPalette != 1 &&
           !pic.IsHam() && (pic.LineChanges.empty() || pic.LineChangesHamOnly);
}

// Hands every decoded row to the sink, for a load whose rows did not stream.
void DeliverRows(LoadSession &pic) {
    if (pic.Sink == nullptr || !pic.HasBody() || pic.RowsStream) {
        return;
    }
    pic.Sink->Begin(pic);
    for (std::int32_t y = 0; y < pic.DecodedHeight(); ++y) {
        pic.Sink->TakeRow(pic, y);
    }
}

int WalkChunks(LoadSession &pic, const DecodeLimits &limits) {
    std::uint32_t count = 0;
    if (CheckFormIlbm(pic, limits, count) != 0) {
        pic.LoadStatus = 0;
        pic.BodyFound = 0;
        return 0;
    }
    ForgetEarlierPicture(pic);
    pic.PictureCount = count;
    pic.PictureIndex = limits.PictureIndex;
    bool camgSeen = false;
    pic.ResolveAtEnd = 0;
    pic.RowsAwaitColours = false;
    pic.ColoursLeftOut = false;

    // Each pass needs a whole chunk header in the file; after each chunk the
    // walk goes on at that chunk's end, wherever its handler stopped.
    while (pic.ReadPos + 8 <= pic.FileLength) {
        const std::uint64_t start = pic.ReadPos;
        const std::string id = ReadChunkId(pic);
        const std::uint32_t size = ReadLong(pic);
        if (ReadOwnFormChunk(pic, id, size, limits)) {
            // RGFX, DEEP, RGB8 and RGBN read their own header and body chunks.
        } else if (id == "BMHD") {
            AddDebugLine(pic, "[BMHD]");
            ReadBitmapHeader(pic, size);
        } else if (id == "BODY" || (id == "ABIT" && pic.Form == FormKind::Acbm)) {
            AddDebugLine(pic, "BodyFound");
            const BodyLayout layout = ChooseBodyLayout(pic, id);
            if (layout != BodyLayout::Refused) {
                SetPaletteWithoutColourMap(pic);
                ReadLineChanges(pic);
                // Rows decoded before any mode is known keep their pixel values.
                const bool resolvedNow = pic.ResolveAtEnd == 0 && pic.DisplayMode != 0;
                const bool await = !resolvedNow && !pic.IsDeep();
                // Rows stream when nothing later in the file changes them; rows
                // waiting for a mode that never comes are palette rows already.
                const bool stream =
                    pic.Sink != nullptr && !pic.RowsStream && (!await || pic.ResolveAtEnd == 0) &&
                    !LaterChunkChangesRows(pic, start + 8 + size + (size & 1), await);
                pic.RowsStream = stream;
                AllocatePixelBuffers(pic, limits, layout == BodyLayout::Interleaved,
                                     layout == BodyLayout::Vertical);
                pic.BodyFound = -1;
                if (stream) {
                    pic.Sink->Begin(pic);
                }
                const std::int16_t mode = pic.DisplayMode;
                if (stream && await) {
                    pic.DisplayMode = 1;
                }
                pic.ColoursLeftOut = stream && PlainPaletteRows(pic) && pic.Sink->TakeIndicesOnly();
                DecodeBodyByLayout(pic, layout, size);
                pic.ColoursLeftOut = false;
                pic.DisplayMode = mode;
                // Deep rows hold their colours already.
                pic.RowsAwaitColours = await && !stream;
                if (!camgSeen) {
                    pic.ResolveAtEnd = -1;
                }
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
    // Read from the picture's FORM (within a CAT or LIST, the one the walk took).
    const std::uint64_t formAt = std::min(pic.FirstChunkAt - 12, pic.FileLength);
    pic.ColourCycles = ReadColourCycles(pic.FileCache.data() + formAt, pic.FileLength - formAt);
    pic.Metadata = ReadPictureMetadata(pic.FileCache.data() + formAt, pic.FileLength - formAt);
    pic.PictureLoaded = 1;
    pic.LoadResult = pic.LoadStatus;
    DeliverRows(pic);
    if (pic.RowsStream) {
        // The buffers hold the last rows only: nothing may read them as a picture.
        pic.PixelColours.Clear();
        pic.PixelIndices.Clear();
        pic.PixelMask.Clear();
        pic.PixelAlpha.Clear();
        pic.PixelWide.Clear();
    }
    return pic.LoadStatus;
}

// Bytes of a file of `length` bytes starting with `head` (`known` bytes of
// it read) that a load reads: its FORM (the size field and 8 bytes) and no
// more (a CAT or LIST: the whole group), or the 12 header bytes of anything
// else. RGFX writers are known to give a FORM size short of the chunks they
// wrote, the body last: such a file is read to its end.
std::uint64_t BytesToRead(const std::uint8_t *head, std::uint64_t known, std::uint64_t length) {
    if (length < 8 || known < 8 ||
        (std::memcmp(head, "FORM", 4) != 0 && std::memcmp(head, "CAT ", 4) != 0 &&
         std::memcmp(head, "LIST", 4) != 0)) {
        return std::min<std::uint64_t>(length, 12);
    }
    if (known >= 12 && std::memcmp(head + 8, "RGFX", 4) == 0) {
        return length;
    }
    const std::uint64_t formEnd =
        8 + (std::uint64_t{head[4]} << 24 | head[5] << 16 | head[6] << 8 | head[7]);
    return std::min(length, formEnd);
}

// Makes room for `length` bytes of the file within the limits, claimed first.
void ReserveCache(LoadSession &pic, std::uint64_t length, const DecodeLimits &limits,
                  const std::string &path) {
    if (length > limits.SourceBytes || length + 2 > limits.MemoryBytes) {
        throw TambrelError(kErrOutOfMemory, "File too large to read: " + QuotedName(path) + " (" +
                                                Decimal(static_cast<std::int64_t>(length)) +
                                                " bytes)");
    }
    ClaimPictureMemory(length + 2, "the file " + QuotedName(path));
    try {
        pic.FileCache = ZeroedCells<std::uint8_t>(length + 2);
    } catch (const std::bad_alloc &) {
        throw TambrelError(kErrOutOfMemory, "File too large to read: " + QuotedName(path));
    }
}

void CacheBytes(LoadSession &pic, std::span<const std::uint8_t> bytes, const DecodeLimits &limits) {
    const std::uint64_t length = BytesToRead(bytes.data(), bytes.size(), bytes.size());
    ReserveCache(pic, length, limits, pic.PicturePath);
    if (length > 0) {
        std::memcpy(pic.FileCache.data(), bytes.data(), length);
    }
    pic.FileLength = length;
}

// Files from this size on are read by two threads.
constexpr std::uint64_t kSplitReadFrom = std::uint64_t{16} << 20;

struct ReadResult {
    std::uint64_t Done = 0; // bytes read from the range's start
    int Error = 0;          // errno of a failed read
};

// Reads bytes from .. to of the file into the same places of `into`; stops
// early at the file's end.
ReadResult ReadRange(int fd, std::uint8_t *into, std::uint64_t from, std::uint64_t to) {
    ReadResult result;
    while (from + result.Done < to) {
        const std::uint64_t at = from + result.Done;
        const ssize_t got = ::pread(fd, into + at, to - at, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.Error = errno;
            break;
        }
        if (got == 0) {
            break;
        }
        result.Done += static_cast<std::uint64_t>(got);
    }
    return result;
}

// Reads the file into the cache: its FORM (the size field and 8 bytes) and no
// more, and only the 12 header bytes of anything else. The file is opened
// without waiting, so a FIFO or device never blocks; only regular files are read.
void CacheFile(LoadSession &pic, const std::string &path, const DecodeLimits &limits) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
        if (S_ISDIR(st.st_mode)) {
            throw ErrorFromErrno(EISDIR, "Cannot read", path);
        }
        throw TambrelError(kErrPathFileAccess,
                           "Cannot read " + QuotedName(path) + ": not a regular file");
    }
    std::uint8_t head[12] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const std::uint64_t length =
        got >= 8 ? BytesToRead(head, static_cast<std::uint64_t>(got), size) : size;
    try {
        ReserveCache(pic, length, limits, path);
    } catch (...) {
        ::close(fd);
        throw;
    }
    // A large file is read in two halves at once: most of the cost is the
    // system making fresh pages for the cache, which both cores can share.
    const std::uint64_t half = length >= kSplitReadFrom ? length / 2 : length;
    ReadResult second;
    std::thread other;
    if (half < length) {
        try {
            other =
                std::thread([&] { second = ReadRange(fd, pic.FileCache.data(), half, length); });
        } catch (const std::system_error &) {
            second = ReadRange(fd, pic.FileCache.data(), half, length);
        }
    }
    const ReadResult first = ReadRange(fd, pic.FileCache.data(), 0, half);
    if (other.joinable()) {
        other.join();
    }
    const int err = first.Error != 0 ? first.Error : second.Error;
    if (err != 0) {
        ::close(fd);
        throw ErrorFromErrno(err, "Cannot read", path);
    }
    // A file that shrank while being read keeps what was there before its end.
    const std::uint64_t done = first.Done < half ? first.Done : half + second.Done;
    ::close(fd);
    pic.FileLength = done;
}

} // namespace

bool IsPictureHeader(std::span<const std::uint8_t> head) {
    // A CAT or LIST names the type of the FORMs it holds.
    if (head.size() < 12 ||
        (std::memcmp(head.data(), "FORM", 4) != 0 && std::memcmp(head.data(), "CAT ", 4) != 0 &&
         std::memcmp(head.data(), "LIST", 4) != 0)) {
        return false;
    }
    FormKind form = FormKind::Ilbm;
    return FormOfType(std::string(head.begin() + 8, head.begin() + 12), form);
}

int BitIsSet(std::uint32_t value, int n) {
    return (value & (std::uint32_t{1} << n)) != 0 ? 1 : 0;
}

namespace {

// Runs one load on a session that holds the caller's record for the while,
// and hands the record back however the load ends.
template <typename CacheStep>
int RunLoad(IFF_Picture &pic, const std::string &path, bool debug, const DecodeLimits &limits,
            RowSink *sink, CacheStep cache) {
    LoadSession session;
    static_cast<IFF_Picture &>(session) = std::move(pic);
    struct GiveBack {
        IFF_Picture &to;
        LoadSession &from;
        ~GiveBack() { to = std::move(static_cast<IFF_Picture &>(from)); }
    } giveBack{pic, session};
    StartLoad(session, path, debug, sink);
    cache(session);
    return WalkChunks(session, limits);
}

} // namespace

int LoadIffPicture(IFF_Picture &pic, const std::string &path, bool debug,
                   const DecodeLimits &limits, RowSink *sink) {
    return RunLoad(pic, path, debug, limits, sink,
                   [&](LoadSession &session) { CacheFile(session, path, limits); });
}

int LoadIffPictureFromMemory(IFF_Picture &pic, std::span<const std::uint8_t> bytes,
                             const std::string &path, bool debug, const DecodeLimits &limits,
                             RowSink *sink) {
    return RunLoad(pic, path, debug, limits, sink,
                   [&](LoadSession &session) { CacheBytes(session, bytes, limits); });
}

} // namespace tambrel

namespace tambrel::loader {

void AddDebugLine(LoadSession &pic, const std::string &text) {
    if (pic.DebugLogOn) {
        pic.DebugLog.push_back(text);
    }
}

} // namespace tambrel::loader
