// Output names and save modes, the path and hexadecimal helpers, the
// preferences file and the information panel's lines.
#include "app/common/declarations.h"
#include "decoder/errors.h"
#include "output/file_functions.h"
#include "test_util.h"

#include <cstring>
#include <set>

namespace tambrel::test {
namespace {

TEST(Names, ExtensionAndBitmapName) {
    const std::pair<const char *, const char *> extensions[] = {
        {"/pics/flower.iff", "iff"}, {"a.b.iff", "iff"}, {"noext", ""},
        {"/my.pics/a", ""},          {"x.", ""},         {".iff", "iff"}};
    for (const auto &[name, ext] : extensions)
        EXPECT_EQ(GetFileExtension(name), ext) << name;
    const std::pair<const char *, const char *> bitmaps[] = {
        {"/pics/flower.iff", "/pics/flower.bmp"},
        {"/my.pics/a.iff", "/my.pics/a.bmp"},
        {"a.b.ILBM", "a.b.bmp"},
        {"/d/ cat.iff", "/d/ cat.bmp"}};
    for (const auto &[source, bmp] : bitmaps)
        EXPECT_EQ(BitmapNameFor(source), bmp) << source;
}

TEST(Names, AutoRenameFillsGapsAndGivesUp) {
    TempDir dir;
    WriteBytes(dir / "flower.bmp", Bytes{1});
    EXPECT_EQ(AutoRenameFile(dir / "flower.bmp"), dir / "flower(1).bmp");
    WriteBytes(dir / "flower(1).bmp", Bytes{1});
    EXPECT_EQ(AutoRenameFile(dir / "flower.bmp"), dir / "flower(2).bmp");
    std::filesystem::create_directory(dir / "flower(2).bmp"); // a folder counts as taken
    WriteBytes(dir / "flower(4).bmp", Bytes{1});
    EXPECT_EQ(AutoRenameFile(dir / "flower.bmp"), dir / "flower(3).bmp");
    std::filesystem::remove(dir / "flower(1).bmp");
    EXPECT_EQ(AutoRenameFile(dir / "flower.bmp"), dir / "flower(1).bmp");
    for (int n = 1; n <= 2048; ++n)
        WriteBytes(dir / ("full(" + std::to_string(n) + ").bmp"), Bytes{});
    EXPECT_EQ(AutoRenameFile(dir / "full.bmp"), "");
    WriteBytes(dir / "full.bmp", Bytes{});
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(4, 1, 1), {0, 1}, 0u, false})), 1);
    EXPECT_EQ(SaveBitmapByMode(pic, dir / "full.bmp", 2).kind, SaveOutcome::NoFreeName);
    EXPECT_EQ(dir.Entries().size(), 2052u); // 3 flower names, full.bmp, 2048 numbered: no temporary
}

TEST(SaveModes, ByModeAndWhatExists) {
    enum Existing { None, File, Folder };
    struct Case {
        int mode;
        Existing existing;
        SaveOutcome::Kind kind;
        const char *written; // the name holding the new picture, or "" for none
    } cases[] = {
        {0, None, SaveOutcome::Written, "x.bmp"},    {0, File, SaveOutcome::SkippedExists, ""},
        {0, Folder, SaveOutcome::SkippedExists, ""}, {1, None, SaveOutcome::Written, "x.bmp"},
        {1, File, SaveOutcome::Written, "x.bmp"},    {2, None, SaveOutcome::Written, "x.bmp"},
        {2, File, SaveOutcome::Written, "x(1).bmp"}, {2, Folder, SaveOutcome::Written, "x(1).bmp"},
        {-1, None, SaveOutcome::UnknownMode, ""},    {3, File, SaveOutcome::UnknownMode, ""},
    };
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(5, 2, 1), {0, 0xFFFFFF}, 0u, false})), 1);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.mode * 10 + c.existing);
        TempDir dir;
        if (c.existing == File)
            WriteBytes(dir / "x.bmp", Bytes{7});
        if (c.existing == Folder)
            std::filesystem::create_directory(dir / "x.bmp");
        const SaveOutcome out = SaveBitmapByMode(pic, dir / "x.bmp", c.mode);
        EXPECT_EQ(out.kind, c.kind);
        const std::string written = c.written;
        if (!written.empty()) {
            EXPECT_EQ(out.path, dir / written);
            EXPECT_EQ(ReadBytes(dir / written).size(), 54u + 4 * 5 * 2);
        }
        if (c.existing == File && written != "x.bmp") {
            EXPECT_EQ(ReadBytes(dir / "x.bmp"), Bytes{7});
        }
        std::set<std::string> entries;
        if (c.existing != None)
            entries.insert("x.bmp");
        if (!written.empty())
            entries.insert(written);
        const auto names = dir.Entries();
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), entries);
    }
}

TEST(SaveModes, NoBodyOrOverwriteOfFolder) {
    TempDir dir;
    IlbmBuilder noBody;
    noBody.Bmhd(HeaderFor(ChunkyImage(4, 4, 1), false));
    IFF_Picture pic;
    ASSERT_EQ(LoadBytes(pic, noBody.Build()), 1);
    for (int mode : {0, 1, 2})
        EXPECT_EQ(SaveBitmapByMode(pic, dir / "n.bmp", mode).kind, SaveOutcome::NotWritable);
    EXPECT_TRUE(dir.Entries().empty());
    ASSERT_EQ(LoadBytes(pic, BuildSimple({Pattern(4, 4, 1), {0, 1}, 0u, false})), 1);
    std::filesystem::create_directory(dir / "f.bmp");
    EXPECT_THROW(SaveBitmapByMode(pic, dir / "f.bmp", 1), TambrelError);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"f.bmp"});
}

TEST(Helpers, PathsAndFileExists) {
    TempDir dir;
    WriteBytes(dir / "f", Bytes{});
    EXPECT_TRUE(FileExists(dir / "f"));
    EXPECT_TRUE(FileExists(dir.Path()));
    EXPECT_FALSE(FileExists(dir / "g"));
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists(dir / "f/x"));
    const std::pair<const char *, const char *> names[] = {{"/pics/cat.iff", "cat.iff"},
                                                           {"cat.iff", "cat.iff"},
                                                           {"/pics/", ""},
                                                           {"a\\b.iff", "a\\b.iff"},
                                                           {"/d/ cat", " cat"}};
    for (const auto &[path, name] : names)
        EXPECT_EQ(GetFileNameFromPath(path), name) << path;
    const std::pair<const char *, const char *> stems[] = {
        {"cat.iff", "cat"}, {"cat", "cat"},         {".iff", ".iff"},
        {"a.b.iff", "a.b"}, {"/my.dir/cat", "/my"}, {" cat.iff", " cat"}};
    for (const auto &[name, stem] : stems)
        EXPECT_EQ(RemoveFileExtension(name), stem) << name;
    EXPECT_EQ(UpperCase("cat.ilbm"), "CAT.ILBM");
}

TEST(Helpers, HexAndNumberText) {
    const std::pair<std::int64_t, const char *> hex[] = {
        {0, "$0000000"},         {0x00FF8800, "$0ff8800"},   {0x12345678, "$2345678"},
        {-1, "$fffffff"},        {0xFFFFFFFFll, "$fffffff"}, {0x80000804ll, "$0000804"},
        {0x0ABCDEF0, "$abcdef0"}};
    for (const auto &[v, text] : hex)
        EXPECT_EQ(LongToHex(v), text) << v;
    EXPECT_EQ(NumberText(320), " 320");
    EXPECT_EQ(NumberText(0), " 0");
    EXPECT_EQ(NumberText(-5), "-5");
}

TEST(Preferences, ReadRules) {
    const std::pair<const char *, long> files[] = {
        {"Splash:-1\r\nTHEEND:\r\n", -1},
        {"Splash: 0\r\nTHEEND:\r\n", 0},
        {"Splash: -1\r\nTHEEND:\r\n", -1},
        {"splash:-1\r\nTHEEND:\r\n", 0},          // keys are case-sensitive
        {"   Splash:-1\r\nTHEEND:\r\n", -1},      // leading blanks skipped
        {"Other:5\r\nS\r\nSplash:-1\r\n", -1},    // other keys skipped, no THEEND
        {"Splash:-1,Splash:7\r\nTHEEND:\r\n", 7}, // a comma ends a record
        {"THEEND:\r\nSplash:-1\r\n", 0},          // reading stops at THEEND
        {"Splash:abc\r\nTHEEND:\r\n", 0},         // not a number: default kept
        {"Splash:\r\nTHEEND:\r\n", 0},
        {"Splash:-1", -1},
    };
    TempDir dir;
    const std::string path = dir / kPreferencesFileName;
    for (const auto &[text, splash] : files) {
        WriteBytes(path, Bytes(text, text + std::strlen(text)));
        Preferences prefs;
        LoadPreferences(path, prefs);
        EXPECT_EQ(prefs.SplashSetting, splash) << text;
    }
    Preferences prefs;
    LoadPreferences(dir / "missing.txt", prefs);
    EXPECT_EQ(prefs.SplashSetting, 0);
}

TEST(Preferences, WrittenExactly) {
    TempDir dir;
    const std::string path = dir / kPreferencesFileName;
    WriteBytes(path, Bytes(300, 'x'));
    Preferences prefs;
    prefs.SplashSetting = 4;
    ASSERT_TRUE(SavePreferences(path, prefs));
    EXPECT_EQ(prefs.SplashSetting, -1);
    const Bytes text = ReadBytes(path);
    EXPECT_EQ(std::string(text.begin(), text.end()), "Splash:-1\r\nTHEEND:\r\n");
    EXPECT_FALSE(SavePreferences(dir / "missing/TambrelPref.txt", prefs));
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{kPreferencesFileName});
}

TEST(InfoLines, ThirteenLinesThenModes) {
    using Lines = std::vector<std::pair<std::string, std::string>>;
    BmhdFields f = HeaderFor(ChunkyImage(320, 256, 5), false);
    f.Xpos = 65535, f.TransparentColour = 0x1F, f.XaspectRatio = 44;
    IlbmBuilder b;
    b.Bmhd(f); // no BODY: the panel is still complete
    IFF_Picture pic;
    ASSERT_EQ(LoadIffPictureFromMemory(pic, b.Build(), "/x/cat.ilbm.iff", false), 1);
    const Lines expected = {{"File:", "CAT.ILBM"},
                            {"Width :", " 320"},
                            {"Height :", " 256"},
                            {"Bitplanes:", " 5"},
                            {"Pixels :", " 81920"},
                            {"Xpos:", " 65535"},
                            {"Ypos:", " 0"},
                            {"Masking:", " 0"},
                            {"Packtype:", " 0"},
                            {"X Aspect Ratio:", " 44"},
                            {"Y Aspect Ratio:", " 11"},
                            {"Mask Colour:", "$000001f"},
                            {"Mode ID:", "$0000000"}};
    EXPECT_EQ(ImageInfoLines(pic), expected);
    // The pixel count does not wrap at 32 bits.
    f.Width = f.Height = 65535;
    IlbmBuilder big;
    big.Bmhd(f);
    ASSERT_EQ(LoadBytes(pic, big.Build()), 1);
    EXPECT_EQ(ImageInfoLines(pic)[4].second, " 4294836225");

    struct {
        int planes;
        std::uint32_t modeId;
        bool ctbl;
        std::vector<std::string> modes;
    } cases[] = {{6, 0x804, false, {"Ham (OCS)", "Interlaced"}},
                 {5, 0x800, false, {}},
                 {8, 0x800, false, {"HamAA(AGA)"}},
                 {6, 0x80, true, {"HalfBright", "Dynamic Palette"}},
                 {6, 0x884, true, {"HalfBright", "Ham (OCS)", "Dynamic Palette", "Interlaced"}}};
    for (const auto &c : cases) {
        IlbmBuilder m;
        m.Bmhd(HeaderFor(ChunkyImage(8, 1, c.planes), false)).Camg(c.modeId);
        if (c.ctbl)
            m.Ctbl(std::vector<std::array<std::uint16_t, 16>>(1));
        ASSERT_EQ(LoadIffPictureFromMemory(pic, m.Build(), "/x/ b.iff", false), 1);
        const Lines lines = ImageInfoLines(pic);
        ASSERT_EQ(lines.size(), 13 + c.modes.size()) << c.modeId;
        EXPECT_EQ(lines[0].second, " B");
        EXPECT_EQ(lines[12].second, LongToHex(c.modeId));
        for (std::size_t i = 0; i < c.modes.size(); ++i)
            EXPECT_EQ(lines[13 + i], (std::pair<std::string, std::string>{"Mode:", c.modes[i]}));
    }
}

} // namespace
} // namespace tambrel::test
