#include "tests/formats/formats_support.h"

#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"

#include <png.h>

#include <array>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sys/resource.h>

namespace tambrel::test {

namespace {

constexpr int kWidth = 37; // not a multiple of 8 or 16
constexpr int kHeight = 13;
constexpr int kTransparent = 3;

// A true-colour pattern's 0xAARRGGBB value at x, y (alpha 0xFF unless `alpha`).
std::uint32_t TrueColourAt(int x, int y, bool alpha) {
    const auto v = static_cast<std::uint32_t>(x * 7 + 1) << 16 | std::uint32_t(y * 19) << 8 |
                   std::uint32_t((x * y) & 255);
    return v | (alpha ? std::uint32_t((x + y) % 3 * 0x7F) << 24 : 0xFF000000u);
}

Bytes BigEndian(std::initializer_list<std::uint32_t> longs) {
    Bytes out;
    for (std::uint32_t v : longs)
        out.insert(out.end(), {std::uint8_t(v >> 24), std::uint8_t(v >> 16), std::uint8_t(v >> 8),
                               std::uint8_t(v)});
    return out;
}

// The other FORMs and groups the readers take, each with its pixels written out:
// DEEP (RGBA, 8 bits an element), RGFX (RGB, 24 bits), RGB8 (one pixel a run)
// and a CAT whose first picture FORM follows a sound FORM.
void AddOtherKinds(std::vector<FormatCase> &cases) {
    Bytes deep, rgfx, rgb8;
    std::vector<std::uint32_t> rgba, rgb;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t a = TrueColourAt(x, y, true), c = TrueColourAt(x, y, false);
            rgba.push_back(a), rgb.push_back(c);
            deep.insert(deep.end(), {std::uint8_t(a >> 16), std::uint8_t(a >> 8), std::uint8_t(a),
                                     std::uint8_t(a >> 24)});
            rgfx.insert(rgfx.end(), {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c)});
            rgb8.insert(rgb8.end(),
                        {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 1});
        }
    const auto w = std::uint8_t(kWidth), h = std::uint8_t(kHeight);
    const auto add = [&cases](const char *name, Bytes file, bool alpha, const auto &pixels) {
        cases.push_back({name,
                         std::move(file),
                         kWidth,
                         kHeight,
                         alpha ? PngKind::Rgba : PngKind::Rgb,
                         alpha,
                         {},
                         -1,
                         pixels});
    };
    add("Deep",
        IlbmBuilder()
            .FormType("DEEP")
            .Chunk("DGBL", {0, w, 0, h, 0, 0, 1, 1})
            .Chunk("DPEL", BigEndian({4, 0x10008, 0x20008, 0x30008, 0x40008}))
            .Chunk("DLOC", {0, w, 0, h, 0, 0, 0, 0})
            .Chunk("DBOD", deep)
            .Build(),
        true, rgba);
    add("Rgfx",
        IlbmBuilder()
            .FormType("RGFX")
            .Chunk("RGHD", BigEndian({0, 0, kWidth, kHeight, kWidth, kHeight, 24, 24, kWidth * 3, 0,
                                      1, 1, 0}))
            .Chunk("RBOD", rgfx)
            .Build(),
        false, rgb);
    BmhdFields f = HeaderFor(ChunkyImage(kWidth, kHeight, 1), false);
    f.Bitplanes = 25, f.Packtype = 4, f.XaspectRatio = f.YaspectRatio = 1;
    add("Rgb8", IlbmBuilder().FormType("RGB8").Bmhd(f).Body(rgb8).Build(), false, rgb);
    // The CAT's picture: 2 planes, entry n of the colour map at pixel (x + y) % 4.
    ChunkyImage img(kWidth, kHeight, 2);
    std::vector<std::uint32_t> pixels;
    const std::vector<std::uint32_t> cmap = {0x102030, 0xF0E0D0, 0x00FF00, 0x8040C0};
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            img.At(x, y) = std::uint8_t((x + y) % 4);
            pixels.push_back(0xFF000000 | cmap[(x + y) % 4]);
        }
    BmhdFields g = HeaderFor(img, true);
    g.XaspectRatio = g.YaspectRatio = 1;
    Bytes cat = IlbmBuilder().FormId("CAT ").Build();
    for (const Bytes &part : {IlbmBuilder().FormType("8SVX").Chunk("VHDR", Bytes(20)).Build(),
                              IlbmBuilder().Bmhd(g).Cmap(cmap).Body(BodyData(img, true)).Build()})
        cat.insert(cat.end(), part.begin(), part.end());
    const Bytes size = BigEndian({std::uint32_t(cat.size() - 8)});
    std::copy(size.begin(), size.end(), cat.begin() + 4);
    cases.push_back(
        {"CatFirstPicture", cat, kWidth, kHeight, PngKind::Indexed, false, cmap, -1, pixels});
}

} // namespace

std::vector<FormatCase> FormatCases() {
    struct Picture {
        const char *name;
        int planes;
        std::optional<std::uint32_t> modeId;
        bool ctbl;
        int masking; // 0 none, 1 mask plane, 2 transparent colour
        PngKind kind;
        int cmapEntries;
        bool texts = false;    // NAME and AUTH before the BODY, "(c) " and ANNO after it
        bool brush = false;    // smaller than its page: the transparent colour applies
        bool noAspect = false; // header aspect 0:0, the display mode tells
        // pHYs x, y and unit when not the header's 10:11; unit 1: from a
        // "DPI " chunk of 72 x 144 dots per inch (/ 0.0254 m: 2834.6, 5669.3)
        std::vector<std::uint32_t> phys = {};
    };
    const Picture pictures[] = {
        {"OnePlane", 1, 0u, false, 0, PngKind::Indexed, 2, true, false, false, {2835, 5669, 1}},
        {"Palette8NoCamg", 8, std::nullopt, false, 0, PngKind::Indexed, 256},
        {"HalfBrite", 6, 0x80u, false, 0, PngKind::Indexed, 32},
        {"Ham6", 6, 0x800u, false, 0, PngKind::Rgb, 16, true},
        {"DynamicPalette", 4, 0u, true, 0, PngKind::Rgb, 16},
        {"MaskPlane", 4, 0u, false, 1, PngKind::Rgba, 16},
        {"TransparentColour", 4, 0u, false, 2, PngKind::Indexed, 16},
        {"Ham6TransparentColour", 6, 0x800u, false, 2, PngKind::Rgb, 16},
        {"TransparentBrush", 4, 0u, false, 2, PngKind::Indexed, 16, false, true},
        // Pixels half as wide as tall (high resolution), twice as wide
        // (interlaced low resolution on PAL); a mode of another monitor gives no guess.
        // clang-format off
        {"HiresNoAspect", 4, 0x8000u, false, 0, PngKind::Indexed, 16, false, false, true, {2, 1, 0}},
        {"PalLaceNoAspect", 4, 0x21004u, false, 0, PngKind::Indexed, 16, false, false, true, {1, 2, 0}},
        {"OtherMonitorNoAspect", 4, 0x31000u, false, 0, PngKind::Indexed, 16, false, false, true, {}},
        // clang-format on
    };
    std::vector<FormatCase> cases;
    for (const Picture &s : pictures) {
        ChunkyImage img(kWidth, kHeight, s.planes), mask(kWidth, kHeight, 1);
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                img.At(x, y) =
                    static_cast<std::uint8_t>((x * 5 + y * 3 + x * y / 4) % (1 << s.planes));
                mask.At(x, y) = (x + y) % 3 != 0 ? 1 : 0;
            }
        }
        std::vector<std::uint32_t> cmap;
        for (int i = 0; i < s.cmapEntries; ++i) {
            cmap.push_back(static_cast<std::uint32_t>(
                ((i * 37 + 11) & 255) << 16 | ((i * 91 + 17) & 255) << 8 | ((i * 53 + 101) & 255)));
        }
        BmhdFields f = HeaderFor(img, true);
        f.Masking = static_cast<std::uint8_t>(s.masking);
        f.TransparentColour = kTransparent;
        f.PageHeight = static_cast<std::uint16_t>(kHeight + (s.brush ? 1 : 0));
        const bool colour = s.masking == 2 && s.brush;
        const bool square = s.planes == 8; // 1:1 pixels: no pHYs
        if (square)
            f.XaspectRatio = f.YaspectRatio = 3;
        if (s.noAspect)
            f.XaspectRatio = f.YaspectRatio = 0;
        const auto text = [](const auto &t) { return Bytes(std::begin(t), std::end(t) - 1); };
        IlbmBuilder b;
        if (s.texts)
            b.Chunk("NAME", text("Sunset"));
        b.Bmhd(f).Cmap(cmap);
        if (s.texts)
            b.Chunk("AUTH", text("A. Painter"));
        if (s.modeId)
            b.Camg(*s.modeId);
        if (s.ctbl) {
            std::vector<std::array<std::uint16_t, 16>> lines(kHeight);
            for (int n = 0; n < kHeight; ++n)
                for (int c = 0; c < 16; ++c)
                    lines[n][c] = static_cast<std::uint16_t>((n * 0x123 + c * 0x111) & 0xFFF);
            b.Ctbl(lines);
        }
        b.Body(BodyData(img, true, s.masking == 1 ? &mask : nullptr));
        if (s.texts) // Latin-1 (0xA9 is the copyright sign), cut at the first NUL; empty: none
            b.Chunk("(c) ", text("\xA9 1991 Someone\0"))
                .Chunk("ANNO", {})
                .Chunk("ANNO", text("by hand\0junk"));
        // An RGB display profile of header and empty tag table (D50 white),
        // and Exif data of a big-endian TIFF header and an empty directory.
        Bytes icc(132, 0), exif = text("Exif\0\0MM\0*\0\0\0\x08\0\0\0\0\0\0");
        const char *const iccFields[] = {"\0\0\0\x84",   "\x02\x10\0\0", "mntr",
                                         "RGB ",         "XYZ ",         "acsp",
                                         "\0\0\xF6\xD6", "\0\x01\0\0",   "\0\0\xD3\x2D"};
        const int iccAt[] = {0, 8, 12, 16, 20, 36, 68, 72, 76};
        for (int i = 0; i < 9; ++i)
            std::copy(iccFields[i], iccFields[i] + 4, icc.begin() + iccAt[i]);
        if (s.texts)
            b.Chunk("ICCN", text("  My  profile \0"))
                .Chunk("ICCP", icc)
                .Chunk("EXIF", exif)
                .Chunk("XMP0", text("<x:xmpmeta/>\0"));
        if (!s.phys.empty() && s.phys[2] == 1)
            b.Chunk("DPI ", {0, 72, 0, 144});
        FormatCase c{s.name, b.Build(), kWidth, kHeight, s.kind, s.masking == 1 || colour,
                     {},     -1,        {}};
        if (s.texts)
            c.Texts = {{"Title", "Sunset"},
                       {"Author", "A. Painter"},
                       {"Copyright", "\xA9 1991 Someone"},
                       {"Description", "by hand"},
                       {"XML:com.adobe.xmp", "<x:xmpmeta/>"}};
        if (s.texts)
            c.Icc = icc, c.IccName = "My profile", c.Exif.assign(exif.begin() + 6, exif.end());
        if (!square) // pixels 10 wide, 11 tall: 11 per unit across, 10 down
            c.Phys = {11, 10, 0};
        if (s.noAspect || !s.phys.empty())
            c.Phys = s.phys;
        if (s.kind == PngKind::Indexed) {
            const auto full = ref::PaletteFrom(cmap, s.modeId && (*s.modeId & 0x80));
            c.Palette.assign(full.begin(), full.begin() + (1 << s.planes));
            c.TransparentIndex = colour ? kTransparent : -1;
        }
        // The colours of the BMP the core writes for the picture.
        TempDir dir;
        auto pic = std::make_unique<IFF_Picture>();
        LoadIffPictureFromMemory(*pic, c.File, "case.iff", false);
        WriteBitmapFile(*pic, dir / "case.bmp", kWidth, kHeight);
        const Bytes bmp = ReadBytes(dir / "case.bmp");
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const std::uint8_t *p = &bmp.at(54 + 4 * ((kHeight - 1 - y) * kWidth + x));
                const bool opaque =
                    s.masking == 1 ? mask.At(x, y) != 0 : !colour || img.At(x, y) != kTransparent;
                c.Pixels.push_back((opaque ? 0xFF000000u : 0u) | p[2] << 16 | p[1] << 8 | p[0]);
            }
        }
        cases.push_back(std::move(c));
    }
    AddOtherKinds(cases);
    return cases;
}

std::vector<std::pair<std::string, Bytes>> HostileFiles() {
    ChunkyImage img(16, 4, 2);
    const std::vector<std::uint32_t> grey = {0x000000, 0x555555, 0xAAAAAA, 0xFFFFFF};
    const Bytes body = BodyData(img, true);
    const auto with = [&](const std::function<void(BmhdFields &)> &change) {
        BmhdFields f = HeaderFor(img, true);
        change(f);
        return IlbmBuilder().Bmhd(f).Cmap(grey).Body(body).Build();
    };
    return {
        {"Empty", {}},
        {"NoBody", IlbmBuilder().Bmhd(HeaderFor(img, true)).Cmap(grey).Build()},
        {"BeyondPixelCap", with([](BmhdFields &f) {
             f.Width = f.Height = 65535;
             f.Bitplanes = 8;
         })},
        {"ThirteenPlanes", with([](BmhdFields &f) { f.Bitplanes = 13; })},
        {"ZeroWidth", with([](BmhdFields &f) { f.Width = 0; })},
    };
}

Bytes TinyBodyPicture(int width, int height) {
    BmhdFields f;
    f.Width = static_cast<std::uint16_t>(width);
    f.Height = static_cast<std::uint16_t>(height);
    f.Bitplanes = 8;
    f.Packtype = 1;
    return IlbmBuilder()
        .Bmhd(f)
        .Cmap(std::vector<std::uint32_t>{0x336699})
        .Body(Bytes{0, 0})
        .Build();
}

Bytes SecondHeaderPicture() {
    ChunkyImage img(16, 4, 1);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x)
            img.At(x, y) = 1;
    BmhdFields huge = HeaderFor(img, false);
    huge.Width = 65535;
    huge.Height = 16383;
    return IlbmBuilder()
        .Bmhd(HeaderFor(img, false))
        .Cmap(std::vector<std::uint32_t>{0x000000, 0xFFFFFF})
        .Body(BodyData(img, false))
        .Bmhd(huge)
        .Build();
}

long PeakMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

namespace {

// The libpng calls; no object with a destructor is created after setjmp.
bool Decode(png_structp png, png_infop info, ReadPng &r, std::vector<png_bytep> &rows) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_read_info(png, info);
    r.Width = static_cast<int>(png_get_image_width(png, info));
    r.Height = static_cast<int>(png_get_image_height(png, info));
    const int type = png_get_color_type(png, info);
    r.Kind = type == PNG_COLOR_TYPE_PALETTE     ? PngKind::Indexed
             : type == PNG_COLOR_TYPE_RGB_ALPHA ? PngKind::Rgba
                                                : PngKind::Rgb;
    png_colorp palette = nullptr;
    int entries = 0;
    if (png_get_PLTE(png, info, &palette, &entries) == PNG_INFO_PLTE)
        for (int i = 0; i < entries; ++i)
            r.Palette.push_back(std::uint32_t{palette[i].red} << 16 |
                                std::uint32_t{palette[i].green} << 8 | palette[i].blue);
    png_bytep trans = nullptr;
    int transCount = 0;
    if (png_get_tRNS(png, info, &trans, &transCount, nullptr) == PNG_INFO_tRNS && trans)
        r.Trans.assign(trans, trans + transCount);
    // Bytes B, G, R, A: 0xAARRGGBB on a little-endian machine.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_read_update_info(png, info);
    r.Pixels.resize(std::size_t(r.Width) * r.Height);
    rows.resize(r.Height);
    for (int y = 0; y < r.Height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(&r.Pixels[std::size_t(y) * r.Width]);
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_textp texts = nullptr;
    const int count = png_get_text(png, info, &texts, nullptr);
    for (int i = 0; i < count; ++i)
        r.Texts.emplace_back(texts[i].key, std::string(texts[i].text, texts[i].compression > 0
                                                                          ? texts[i].itxt_length
                                                                          : texts[i].text_length));
    png_charp name = nullptr;
    png_bytep profile = nullptr, exif = nullptr;
    png_uint_32 x = 0, y = 0, size = 0;
    if (png_get_iCCP(png, info, &name, nullptr, &profile, &size) == PNG_INFO_iCCP)
        r.Icc.assign(profile, profile + size), r.IccName = name;
    if (png_get_eXIf_1(png, info, &size, &exif) == PNG_INFO_eXIf)
        r.Exif.assign(exif, exif + size);
    int unit = 0;
    if (png_get_pHYs(png, info, &x, &y, &unit) == PNG_INFO_pHYs)
        r.Phys = {x, y, static_cast<std::uint32_t>(unit)};
    return true;
}

} // namespace

ReadPng ReadPngFile(const std::string &path) {
    ReadPng r;
    FILE *file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return r;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, file);
    std::vector<png_bytep> rows;
    r.Ok = Decode(png, info, r, rows);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return r;
}

} // namespace tambrel::test
