// tambrel-convert end to end: run() in-process with real files in a temporary
// folder, and the executable itself for its exit status.
#include "cli/converter.h"

#include "tests/support/ilbm_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tambrel::test::Bytes;
using tambrel::test::ChunkyImage;

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

RunResult Convert(const std::vector<std::string> &args, bool progress = false) {
    std::ostringstream out, err;
    tambrel::cli::RunEnvironment env;
    env.progress = progress;
    RunResult r;
    r.code = tambrel::cli::run(args, out, err, env);
    r.out = out.str();
    r.err = err.str();
    return r;
}

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReadText(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteText(const fs::path &p, const std::string &text) {
    std::ofstream(p, std::ios::binary) << text;
}

// A picture with its palette, from which the expected BMP is computed here.
struct Pic {
    ChunkyImage Image;
    std::vector<std::uint32_t> Colours;
};

Pic Pattern(int width, int height, int planes, int seed) {
    Pic p;
    p.Image = ChunkyImage(width, height, planes);
    const int count = 1 << planes;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            p.Image.At(x, y) = static_cast<std::uint8_t>((x * 3 + y * 5 + seed) % count);
        }
    }
    for (int i = 0; i < count; ++i) {
        p.Colours.push_back((static_cast<std::uint32_t>(i) * 0x1F3A57u +
                             static_cast<std::uint32_t>(seed) * 0x010203u + 0x102030u) &
                            0xFFFFFFu);
    }
    return p;
}

// A palette picture (CAMG 0: plain palette mode).
Bytes Build(const Pic &p, bool compressed = true) {
    tambrel::test::SimpleIlbm s;
    s.Image = p.Image;
    s.Colours = p.Colours;
    s.ModeId = 0;
    s.Compressed = compressed;
    return tambrel::test::BuildSimple(s);
}

void WritePic(const fs::path &path, const Pic &p, bool compressed = true) {
    tambrel::test::WriteBytes(path.string(), Build(p, compressed));
}

void Put32(std::string &s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
}

// The 32-bit bottom-up BMP of a palette picture, byte for byte.
std::string ExpectedBmp(const Pic &p) {
    const auto w = static_cast<std::uint32_t>(p.Image.Width);
    const auto h = static_cast<std::uint32_t>(p.Image.Height);
    std::string s = "BM";
    Put32(s, 54 + 4 * w * h);
    Put32(s, 0);
    Put32(s, 54);
    Put32(s, 40);
    Put32(s, w);
    Put32(s, h);
    s += std::string("\x01\x00\x20\x00", 4);
    Put32(s, 0);
    Put32(s, 4 * w * h);
    for (int i = 0; i < 4; ++i) {
        Put32(s, 0);
    }
    for (int y = p.Image.Height - 1; y >= 0; --y) {
        for (int x = 0; x < p.Image.Width; ++x) {
            Put32(s, p.Colours[p.Image.At(x, y)]);
        }
    }
    return s;
}

// A FORM ILBM with a header and palette but no BODY.
Bytes NoBody(const Pic &p) {
    tambrel::test::IlbmBuilder b;
    b.Bmhd(tambrel::test::HeaderFor(p.Image, true)).Cmap(p.Colours).Camg(0);
    return b.Build();
}

class TempDir {
  public:
    TempDir() {
        std::string tmpl = std::string(TAMBREL_CLI_TEST_TMP) + "/cli-XXXXXX";
        if (::mkdtemp(tmpl.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    const fs::path &path() const { return path_; }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }

  private:
    fs::path path_;
};

// Every regular file under `root` with its contents, by relative path.
std::map<std::string, std::string> Tree(const fs::path &root) {
    std::map<std::string, std::string> files;
    for (const auto &e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) {
            files[fs::relative(e.path(), root).string()] = ReadText(e.path());
        }
    }
    return files;
}

std::vector<std::string> BmpNames(const fs::path &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) {
        const std::string n = e.path().filename().string();
        if (n.size() >= 4 && n.substr(n.size() - 4) == ".bmp") {
            names.push_back(n);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

// ---------------------------------------------------------------------------

TEST(CliBasics, SingleFileWritesExactBmpBesideSourceAndIsQuiet) {
    TempDir dir;
    for (const auto &[w, h, planes, compressed] : std::vector<std::tuple<int, int, int, bool>>{
             {1, 1, 1, false}, {13, 7, 5, true}, {17, 3, 4, false}, {200, 9, 8, true}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        const Pic p = Pattern(w, h, planes, w);
        const std::string src = dir / ("p" + std::to_string(w) + ".iff");
        WritePic(src, p, compressed);
        const RunResult r = Convert({src});
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(ReadText(dir / ("p" + std::to_string(w) + ".bmp")), ExpectedBmp(p));
    }
}

TEST(CliBasics, HelpAndVersion) {
    for (const std::string opt : {"-h", "--help"}) {
        const RunResult r = Convert({opt});
        EXPECT_EQ(r.code, 0);
        EXPECT_NE(r.out.find("Usage: tambrel-convert [options] PATH..."), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    const RunResult v = Convert({"--version"});
    EXPECT_EQ(v.code, 0);
    EXPECT_EQ(v.out, std::string("tambrel-convert ") + TAMBREL_EXPECTED_VERSION + "\n");
}

TEST(CliBasics, UsageErrorsExitTwoAndConvertNothing) {
    TempDir dir;
    const std::string a = dir / "a.iff";
    const std::string b = dir / "b.iff";
    WritePic(a, Pattern(8, 2, 2, 1));
    WritePic(b, Pattern(8, 2, 2, 2));
    fs::create_directory(dir / "pair");
    WritePic(dir / "pair/c.iff", Pattern(8, 2, 2, 3));
    WritePic(dir / "pair/d.iff", Pattern(8, 2, 2, 4));
    WriteText(dir / "plain.txt", "x");

    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "no PATH given"},
        {{"--info"}, "no PATH given"},
        {{"--bogus", a}, "unknown option --bogus"},
        {{"-x", a}, "unknown option -x"},
        {{a, "-m"}, "option -m needs a value"},
        {{"-m", "3", a}, "save mode must be 0, 1 or 2"},
        {{"--save-mode=-1", a}, "save mode must be 0, 1 or 2"},
        {{"-m", "two", a}, "save mode must be 0, 1 or 2"},
        {{"-j", "0", a}, "jobs must be a number"},
        {{"--jobs", "many", a}, "jobs must be a number"},
        {{"--info=yes", a}, "option --info takes no value"},
        {{"--rgb", dir / "o.rgb", a, b}, "need exactly one input file, not 2"},
        {{"--palette", dir / "o.txt", dir / "pair"}, "need exactly one input file, not 2"},
        {{"--lut", dir / "o.lut", dir / "empty-none"}, ""}, // one (missing) input: not usage
        {{"-o", dir / "no-such-folder", a}, "does not exist"},
        {{"-o", dir / "plain.txt", a}, "is not a folder"},
        {{"--rgb", "", a}, "needs a file name"},
    };
    for (const Case &c : cases) {
        std::string joined;
        for (const auto &s : c.args) {
            joined += s + " ";
        }
        SCOPED_TRACE(joined);
        const RunResult r = Convert(c.args);
        if (c.message.empty()) {
            EXPECT_EQ(r.code, 1);
            continue;
        }
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.err.rfind("tambrel-convert: ", 0), 0u) << r.err;
        EXPECT_NE(Lines(r.err).at(0).find(c.message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: tambrel-convert"), std::string::npos);
        EXPECT_EQ(r.out, "");
        EXPECT_FALSE(fs::exists(dir / "a.bmp"));
        EXPECT_FALSE(fs::exists(dir / "b.bmp"));
        EXPECT_FALSE(fs::exists(dir / "pair/c.bmp"));
        EXPECT_FALSE(fs::exists(dir / "o.rgb"));
        EXPECT_FALSE(fs::exists(dir / "o.txt"));
    }
}

TEST(CliBasics, OptionFormsAndDoubleDash) {
    TempDir dir;
    const Pic p = Pattern(9, 4, 3, 5);
    WritePic(dir / "-dash.iff", p);
    WritePic(dir / "x.iff", p);
    WriteText(dir / "x.bmp", "old");
    // "-m0" and "--save-mode=0" attach the value; "--" ends the options.
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"-m0", dir / "x.iff"},
          std::vector<std::string>{"--save-mode=0", "-j1", dir / "x.iff"}}) {
        const RunResult r = Convert(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(ReadText(dir / "x.bmp"), "old");
        EXPECT_FALSE(fs::exists(dir / "x(1).bmp"));
    }
    fs::current_path(dir.path());
    const RunResult r = Convert({"--", "-dash.iff"});
    fs::current_path(TAMBREL_CLI_TEST_TMP);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir / "-dash.bmp"), ExpectedBmp(p));
}

// ---------------------------------------------------------------------------
// Failures: each one names the file and the reason, and the run goes on.

TEST(CliFailures, EachFailingFileIsReportedAndTheRunGoesOn) {
    TempDir dir;
    const Pic good = Pattern(16, 4, 4, 7);

    struct Case {
        std::string name;
        std::function<std::string(const TempDir &)> make; // returns the path to convert
        std::vector<std::string> extraArgs;
        std::string reason;
        std::string notCreated; // a file that must not appear
    };
    const std::vector<Case> cases = {
        {"missing",
         [](const TempDir &d) { return d / "missing.iff"; },
         {},
         "no such file or folder",
         "missing.bmp"},
        {"text file",
         [](const TempDir &d) {
             WriteText(d / "text.iff", "just some text, not a picture\n");
             return d / "text.iff";
         },
         {},
         "not an IFF ILBM picture",
         "text.bmp"},
        {"empty file",
         [](const TempDir &d) {
             WriteText(d / "empty.iff", "");
             return d / "empty.iff";
         },
         {},
         "not an IFF ILBM picture",
         "empty.bmp"},
        {"FORM of another type",
         [&](const TempDir &d) {
             tambrel::test::IlbmBuilder b;
             b.FormType("8SVX").Bmhd(tambrel::test::HeaderFor(good.Image, true));
             tambrel::test::WriteBytes(d / "sound.iff", b.Build());
             return d / "sound.iff";
         },
         {},
         "not an IFF ILBM picture",
         "sound.bmp"},
        {"no BODY",
         [&](const TempDir &d) {
             tambrel::test::WriteBytes(d / "nobody.iff", NoBody(good));
             return d / "nobody.iff";
         },
         {},
         "no BODY chunk",
         "nobody.bmp"},
        {"too large",
         [](const TempDir &d) {
             tambrel::test::BmhdFields f;
             f.Width = 65535;
             f.Height = 65535;
             f.Bitplanes = 8;
             f.Packtype = 1;
             tambrel::test::IlbmBuilder b;
             b.Bmhd(f).Camg(0).Body(Bytes{0x81, 0x00});
             tambrel::test::WriteBytes(d / "huge.iff", b.Build());
             return d / "huge.iff";
         },
         {},
         "too large",
         "huge.bmp"},
        {"not a regular file",
         [](const TempDir &d) {
             ::mkfifo((d / "fifo.iff").c_str(), 0600);
             return d / "fifo.iff";
         },
         {},
         "not a regular file",
         "fifo.bmp"},
        {"folder in the BMP's place (overwrite)",
         [&](const TempDir &d) {
             WritePic(d / "blocked.iff", good);
             fs::create_directory(d / "blocked.bmp");
             WriteText(d / "blocked.bmp/keep", "k");
             return d / "blocked.iff";
         },
         {"-m", "1"},
         "blocked.bmp",
         "blocked(1).bmp"},
        {"export below a regular file",
         [&](const TempDir &d) {
             WritePic(d / "exp.iff", good);
             WriteText(d / "file", "x");
             return d / "exp.iff";
         },
         {"--no-bmp", "--rgb", dir / "file/out.rgb"},
         "out.rgb",
         "exp.bmp"},
        {"no free numbered name",
         [&](const TempDir &d) {
             fs::create_directory(d / "full");
             WritePic(d / "full/f.iff", good);
             WriteText(d / "full/f.bmp", "");
             for (int n = 1; n <= 2048; ++n) {
                 WriteText(d / ("full/f(" + std::to_string(n) + ").bmp"), "");
             }
             return d / "full/f.iff";
         },
         {"-m", "2"},
         "no free numbered name",
         "full/f(2049).bmp"},
    };

    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.make(dir);
        // The failing file comes first, a good one after it.
        const std::string okPath = dir / ("ok-" + std::to_string(&c - cases.data()) + ".iff");
        WritePic(okPath, good);
        std::vector<std::string> args = c.extraArgs;
        if (std::find(args.begin(), args.end(), "--rgb") != args.end()) {
            args.push_back(path); // exports take exactly one file
        } else {
            args.push_back(path);
            args.push_back(okPath);
        }
        const RunResult r = Convert(args);
        EXPECT_EQ(r.code, 1);
        const auto lines = Lines(r.err);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0].rfind(path + ": ", 0), 0u) << r.err;
        EXPECT_NE(lines[0].find(c.reason), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(dir / c.notCreated));
        if (args.back() == okPath) {
            EXPECT_EQ(ReadText(fs::path(okPath).replace_extension(".bmp")), ExpectedBmp(good));
            EXPECT_EQ(lines.back(),
                      "tambrel-convert: converted 1, skipped 0 (BMP exists), failed 1");
        } else {
            EXPECT_EQ(lines.back(),
                      "tambrel-convert: converted 0, skipped 0 (BMP exists), failed 1");
        }
    }
    // The folder that stood in the way is untouched, and no hidden temporary files are left.
    EXPECT_EQ(ReadText(dir / "blocked.bmp/keep"), "k");
    for (const auto &e : fs::recursive_directory_iterator(dir.path())) {
        const std::string n = e.path().filename().string();
        EXPECT_NE(n[0], '.') << "stray file " << e.path();
    }
}

// ---------------------------------------------------------------------------
// Save modes against an existing BMP.

TEST(CliSaveModes, ExistingBitmapFollowsTheMode) {
    const Pic p = Pattern(10, 5, 5, 3);
    const std::string bmp = ExpectedBmp(p);
    struct Case {
        std::vector<std::string> modeArgs;
        std::vector<std::string> existing;        // files present before the run ("old" each)
        std::map<std::string, std::string> after; // every BMP afterwards ("" = the new picture)
        std::string summary;                      // last stderr line, "" for none
    };
    const std::vector<Case> cases = {
        {{"-m", "0"}, {}, {{"a.bmp", ""}}, ""},
        {{"-m", "1"}, {}, {{"a.bmp", ""}}, ""},
        {{"-m", "2"}, {}, {{"a.bmp", ""}}, ""},
        {{"-m", "0"},
         {"a.bmp"},
         {{"a.bmp", "old"}},
         "tambrel-convert: converted 0, skipped 1 (BMP exists), failed 0"},
        {{"-m", "1"}, {"a.bmp"}, {{"a.bmp", ""}}, ""},
        {{"-m", "2"}, {"a.bmp"}, {{"a.bmp", "old"}, {"a(1).bmp", ""}}, ""},
        {{}, {"a.bmp"}, {{"a.bmp", "old"}, {"a(1).bmp", ""}}, ""}, // default is 2
        {{"-m", "2"},
         {"a.bmp", "a(1).bmp"},
         {{"a.bmp", "old"}, {"a(1).bmp", "old"}, {"a(2).bmp", ""}},
         ""},
        {{"-m", "2"}, // a gap is filled first
         {"a.bmp", "a(2).bmp"},
         {{"a.bmp", "old"}, {"a(1).bmp", ""}, {"a(2).bmp", "old"}},
         ""},
    };
    for (const Case &c : cases) {
        TempDir dir;
        std::string trace;
        for (const auto &s : c.modeArgs) {
            trace += s + " ";
        }
        for (const auto &s : c.existing) {
            trace += "+" + s + " ";
        }
        SCOPED_TRACE(trace);
        WritePic(dir / "a.iff", p);
        for (const auto &name : c.existing) {
            WriteText(dir / name, "old");
        }
        std::vector<std::string> args = c.modeArgs;
        args.push_back(dir / "a.iff");
        const RunResult r = Convert(args);
        EXPECT_EQ(r.code, 0);
        const auto names = BmpNames(dir.path());
        ASSERT_EQ(names.size(), c.after.size());
        for (const auto &[name, content] : c.after) {
            EXPECT_EQ(ReadText(dir / name), content.empty() ? bmp : content) << name;
        }
        if (c.summary.empty()) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(r.err, c.summary + "\n");
        }
    }
}

TEST(CliSaveModes, FolderWithTheBitmapNameCountsAsExisting) {
    const Pic p = Pattern(8, 2, 1, 1);
    for (const auto &[mode, expectWritten, expectCode] :
         std::vector<std::tuple<std::string, std::string, int>>{{"0", "", 0},
                                                                {"2", "d(1).bmp", 0}}) {
        TempDir dir;
        WritePic(dir / "d.iff", p);
        fs::create_directory(dir / "d.bmp");
        const RunResult r = Convert({"-m", mode, dir / "d.iff"});
        EXPECT_EQ(r.code, expectCode);
        EXPECT_TRUE(fs::is_directory(dir / "d.bmp"));
        if (!expectWritten.empty()) {
            EXPECT_EQ(ReadText(dir / expectWritten), ExpectedBmp(p));
        } else {
            EXPECT_FALSE(fs::exists(dir / "d(1).bmp"));
        }
    }
}

TEST(CliSaveModes, VerboseNamesWhatWasWrittenAndSkipped) {
    TempDir dir;
    WritePic(dir / "v.iff", Pattern(8, 2, 1, 1));
    RunResult r = Convert({"-v", dir / "v.iff"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, dir / "v.iff" + " -> " + dir / "v.bmp" + "\n");
    r = Convert({"--verbose", "-m", "0", dir / "v.iff"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lines(r.err).at(0), dir / "v.iff" + ": skipped, " + dir / "v.bmp" + " exists");
}

// ---------------------------------------------------------------------------
// Output folder, names.

TEST(CliOutput, OutputFolderReceivesTheBitmaps) {
    TempDir src, out;
    const Pic p1 = Pattern(12, 3, 3, 1);
    const Pic p2 = Pattern(5, 6, 2, 2);
    fs::create_directory(src / "my.pics");
    WritePic(src / "my.pics/one.iff", p1);
    WritePic(src / "two.ILBM.IFF", p2);
    // A trailing "/" on the folder is accepted.
    const RunResult r =
        Convert({"-o", out.path().string() + "/", src / "my.pics", src / "two.ILBM.IFF"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(out / "one.bmp"), ExpectedBmp(p1));
    EXPECT_EQ(ReadText(out / "two.ILBM.bmp"), ExpectedBmp(p2));
    EXPECT_EQ(BmpNames(src.path()), std::vector<std::string>{});
    EXPECT_EQ(BmpNames(src / "my.pics"), std::vector<std::string>{});
    EXPECT_EQ(r.err, "tambrel-convert: converted 2, skipped 0 (BMP exists), failed 0\n");
}

TEST(CliOutput, NamesBeginningWithABlankOrHoldingDotsKeepTheirForm) {
    TempDir dir;
    const Pic p = Pattern(8, 2, 1, 4);
    fs::create_directory(dir / "a.b");
    WritePic(dir / " lead.iff", p);
    WritePic(dir / "a.b/noext", p);
    WritePic(dir / "cat.ilbm.iff", p);
    const RunResult r = Convert({dir / " lead.iff", dir / "a.b/noext", dir / "cat.ilbm.iff"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir / " lead.bmp"), ExpectedBmp(p));
    EXPECT_EQ(ReadText(dir / "a.b/noext.bmp"), ExpectedBmp(p));
    EXPECT_EQ(ReadText(dir / "cat.ilbm.bmp"), ExpectedBmp(p));
}

// Each file gets a record of its own: a 16-colour picture after a 32-colour one
// does not take colours 16..31 from it.
TEST(CliOutput, EveryFileIsDecodedIntoAFreshRecord) {
    TempDir dir;
    const Pic first = Pattern(16, 2, 5, 1); // 32 colours
    Pic second = Pattern(16, 2, 5, 2);
    second.Colours.resize(16); // its CMAP holds 16 colours, but pixels use 0..31
    WritePic(dir / "1.iff", first);
    WritePic(dir / "2.iff", second);
    const RunResult r = Convert({"-j", "1", dir / "1.iff", dir / "2.iff"});
    EXPECT_EQ(r.code, 0) << r.err;
    Pic expected = second;
    expected.Colours.resize(32, 0); // entries the CMAP did not give are black
    EXPECT_EQ(ReadText(dir / "2.bmp"), ExpectedBmp(expected));
    EXPECT_EQ(ReadText(dir / "1.bmp"), ExpectedBmp(first));
}

// ---------------------------------------------------------------------------
// --info and --log.

TEST(CliInfo, PrintsThePanelLinesExactly) {
    TempDir dir;
    struct Case {
        std::string file;
        int planes;
        std::optional<std::uint32_t> camg;
        std::vector<std::string> modeLines;
        std::string modeId;
    };
    const std::vector<Case> cases = {
        {"plain.iff", 5, std::nullopt, {}, "$0000000"},
        {"ham6.iff", 6, 0x804u, {"Mode: Ham (OCS)", "Mode: Interlaced"}, "$0000804"},
        {"ehb.iff", 6, 0x80u, {"Mode: HalfBright"}, "$0000080"},
        {"ham8.iff", 8, 0x800u, {"Mode: HamAA(AGA)"}, "$0000800"},
        {"ham5.iff", 5, 0x800u, {}, "$0000800"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        const Pic p = Pattern(320, 3, c.planes, 1);
        tambrel::test::BmhdFields f = tambrel::test::HeaderFor(p.Image, true);
        f.Xpos = 7;
        f.Ypos = 65535;
        f.TransparentColour = 0x1234;
        f.XaspectRatio = 44;
        f.YaspectRatio = 52;
        tambrel::test::IlbmBuilder b;
        b.Bmhd(f).Cmap(p.Colours);
        if (c.camg) {
            b.Camg(*c.camg);
        }
        b.Body(tambrel::test::BodyData(p.Image, true));
        tambrel::test::WriteBytes(dir / c.file, b.Build());

        const RunResult r = Convert({"--info", "--no-bmp", dir / c.file});
        EXPECT_EQ(r.code, 0) << r.err;
        std::string upper = c.file.substr(0, c.file.size() - 4);
        std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
        std::vector<std::string> expected = {
            "File: " + upper,      "Width :  320",
            "Height :  3",         "Bitplanes:  " + std::to_string(c.planes),
            "Pixels :  960",       "Xpos:  7",
            "Ypos:  65535",        "Masking:  0",
            "Packtype:  1",        "X Aspect Ratio:  44",
            "Y Aspect Ratio:  52", "Mask Colour: $0001234",
            "Mode ID: " + c.modeId};
        expected.insert(expected.end(), c.modeLines.begin(), c.modeLines.end());
        EXPECT_EQ(Lines(r.out), expected);
        EXPECT_FALSE(fs::exists(dir / (c.file.substr(0, c.file.size() - 4) + ".bmp")));
    }
}

TEST(CliInfo, PanelLinesForAPictureWithoutBody) {
    TempDir dir;
    const Pic p = Pattern(24, 2, 3, 1);
    tambrel::test::WriteBytes(dir / "nb.iff", NoBody(p));
    // Info only: nothing fails.
    RunResult r = Convert({"--info", "--no-bmp", dir / "nb.iff"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(Lines(r.out).size(), 13u);
    EXPECT_EQ(Lines(r.out).at(1), "Width :  24");
    // With the BMP asked for, the panel is still printed and the file fails.
    r = Convert({"--info", dir / "nb.iff"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(Lines(r.out).size(), 13u);
    EXPECT_EQ(Lines(r.err).at(0), dir / "nb.iff" + ": no BODY chunk, no BMP written");
}

TEST(CliInfo, SeveralFilesGetAHeaderEachInInputOrder) {
    TempDir dir;
    WritePic(dir / "b.iff", Pattern(3, 1, 1, 1));
    WritePic(dir / "a.iff", Pattern(4, 1, 1, 1));
    WriteText(dir / "bad.iff", "nope");
    const RunResult r =
        Convert({"--info", "--no-bmp", "-j", "3", dir / "b.iff", dir / "bad.iff", dir / "a.iff"});
    EXPECT_EQ(r.code, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 28u);
    EXPECT_EQ(lines[0], "==> " + dir / "b.iff" + " <==");
    EXPECT_EQ(lines[1], "File: B");
    EXPECT_EQ(lines[2], "Width :  3");
    EXPECT_EQ(lines[14], "==> " + dir / "a.iff" + " <==");
    EXPECT_EQ(lines[15], "File: A");
    EXPECT_EQ(lines[16], "Width :  4");
}

TEST(CliLog, PrintsTheDecoderLogFromItsThirdElement) {
    TempDir dir;
    const Pic p = Pattern(16, 2, 2, 1);
    tambrel::test::IlbmBuilder b;
    b.Bmhd(tambrel::test::HeaderFor(p.Image, false))
        .Cmap(p.Colours)
        .Chunk("ANNO", Bytes{'h', 'i', '!'})
        .Body(tambrel::test::BodyData(p.Image, false));
    tambrel::test::WriteBytes(dir / "log.iff", b.Build());

    const RunResult r = Convert({"--log", dir / "log.iff"});
    EXPECT_EQ(r.code, 0) << r.err;
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 20u);
    // The log starts with the first line the walk adds, not the two empty elements.
    EXPECT_EQ(lines[0], "[BMHD]");
    EXPECT_EQ(lines[1], "FileSize:" + std::to_string(b.Build().size() - 8));
    EXPECT_EQ(lines[2], "Header Size:20");
    EXPECT_EQ(lines[3], "Width  :16    ");
    const auto at = [&](const std::string &s) {
        return std::find(lines.begin(), lines.end(), s) - lines.begin();
    };
    EXPECT_LT(at("Height2 :2"), at("Palette Found"));
    EXPECT_LT(at("Palette Found"), at("Skipping Unknown Section "));
    EXPECT_LT(at("Skipping Unknown Section "), at("BodyFound"));
    EXPECT_LT(at("BodyFound"), static_cast<std::ptrdiff_t>(lines.size()));
    // The BMP is still written.
    EXPECT_EQ(ReadText(dir / "log.bmp"), ExpectedBmp(p));

    // --info first, then the log; a file that is not an ILBM logs nothing.
    const RunResult both = Convert({"--info", "--log", "--no-bmp", dir / "log.iff"});
    const auto bl = Lines(both.out);
    ASSERT_EQ(bl.size(), 13u + lines.size());
    EXPECT_EQ(bl[0], "File: LOG");
    EXPECT_EQ(bl[13], "[BMHD]");
    WriteText(dir / "txt.iff", "text");
    const RunResult none = Convert({"--log", dir / "txt.iff"});
    EXPECT_EQ(none.code, 1);
    EXPECT_EQ(none.out, "");
}

// ---------------------------------------------------------------------------
// Exports.

TEST(CliExports, WritesTheThreeExportsOfOneFile) {
    TempDir dir;
    const Pic p = Pattern(13, 2, 5, 9);
    WritePic(dir / "e.iff", p);
    const RunResult r = Convert({"--rgb", dir / "e.rgb", "--lut", dir / "e.lut", "--palette",
                                 dir / "e.txt", dir / "e.iff"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir / "e.bmp"), ExpectedBmp(p));

    // 13 x 2: W8 16, (16 + 1) x (2 + 1) elements, row 0 first and all zero.
    const std::string rgb = ReadText(dir / "e.rgb");
    const std::string lut = ReadText(dir / "e.lut");
    ASSERT_EQ(rgb.size(), 204u);
    ASSERT_EQ(lut.size(), 51u);
    EXPECT_EQ(lut.substr(0, 17), std::string(17, '\0'));
    EXPECT_EQ(rgb.substr(0, 68), std::string(68, '\0'));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 13; ++x) {
            const std::size_t i = static_cast<std::size_t>((y + 1) * 17 + x);
            EXPECT_EQ(static_cast<std::uint8_t>(lut[i]), p.Image.At(x, y));
            std::string px;
            Put32(px, p.Colours[p.Image.At(x, y)]);
            EXPECT_EQ(rgb.substr(4 * i, 4), px);
        }
        EXPECT_EQ(lut[static_cast<std::size_t>((y + 1) * 17 + 16)], '\0');
    }

    std::string expectedPalette;
    for (std::uint32_t c : p.Colours) {
        char line[16];
        std::snprintf(line, sizeof line, "$%06x\r\n", c);
        expectedPalette += line;
    }
    EXPECT_EQ(ReadText(dir / "e.txt"), expectedPalette);
}

TEST(CliExports, NoBmpWritesOnlyTheExports) {
    TempDir dir;
    WritePic(dir / "n.iff", Pattern(8, 8, 1, 2));
    WriteText(dir / "n.lut", std::string(1000, 'x')); // replaced whole
    const RunResult r = Convert({"--no-bmp", "--lut", dir / "n.lut", dir / "n.iff"});
    EXPECT_EQ(r.code, 0);
    EXPECT_FALSE(fs::exists(dir / "n.bmp"));
    EXPECT_EQ(fs::file_size(dir / "n.lut"), 9u * 9u);
}

TEST(CliExports, PictureWithoutBodyExportsOnlyItsPalette) {
    TempDir dir;
    const Pic p = Pattern(8, 8, 1, 2);
    tambrel::test::WriteBytes(dir / "nb.iff", NoBody(p));
    RunResult r = Convert({"--no-bmp", "--palette", dir / "nb.txt", dir / "nb.iff"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir / "nb.txt").size(), 2u * 9u);
    for (const std::string opt : {"--rgb", "--lut"}) {
        r = Convert({"--no-bmp", opt, dir / "nb.raw", dir / "nb.iff"});
        EXPECT_EQ(r.code, 1);
        EXPECT_EQ(Lines(r.err).at(0).rfind(dir / "nb.iff" + ": no BODY chunk", 0), 0u) << r.err;
        EXPECT_FALSE(fs::exists(dir / "nb.raw"));
    }
}

// ---------------------------------------------------------------------------
// Folders, jobs and progress.

TEST(CliFolders, ConvertsOnlyIffFilesOfTheFolderInNameOrder) {
    TempDir dir;
    const fs::path f = dir.path() / "in";
    fs::create_directories(f / "sub");
    const Pic p = Pattern(6, 2, 2, 3);
    for (const std::string name : {"b.iff", "A.IFF", "c.Iff", ".iff"}) {
        WritePic(f / name, p);
    }
    WritePic(f / "d.iff.bak", p);
    WritePic(f / "e.ilbm", p);
    WritePic(f / "sub/deep.iff", p);
    fs::create_directory(f / "folder.iff");
    WriteText(f / "notes.txt", "x");

    const RunResult r = Convert({"--info", "--no-bmp", f.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    std::vector<std::string> headers;
    for (const auto &line : Lines(r.out)) {
        if (line.rfind("==> ", 0) == 0) {
            headers.push_back(line);
        }
    }
    const std::string base = f.string() + "/";
    EXPECT_EQ(headers,
              (std::vector<std::string>{"==> " + base + ".iff <==", "==> " + base + "A.IFF <==",
                                        "==> " + base + "b.iff <==", "==> " + base + "c.Iff <=="}));

    const RunResult conv = Convert({f.string()});
    EXPECT_EQ(conv.code, 0);
    EXPECT_EQ(BmpNames(f), (std::vector<std::string>{".bmp", "A.bmp", "b.bmp", "c.bmp"}));
    EXPECT_EQ(BmpNames(f / "sub"), std::vector<std::string>{});
    EXPECT_EQ(conv.err, "tambrel-convert: converted 4, skipped 0 (BMP exists), failed 0\n");
}

TEST(CliFolders, EmptyFolderIsNotAFailure) {
    TempDir dir;
    const RunResult r = Convert({dir.path().string()});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err,
              "tambrel-convert: " + dir.path().string() + ": no .iff files in this folder\n");
}

// A mixed folder gives the same files, output and messages with 1 and 4 jobs,
// including files that aim at the same BMP name.
TEST(CliFolders, ResultsAreIdenticalForAnyJobCount) {
    auto fill = [](const fs::path &f) {
        fs::create_directories(f);
        for (int i = 0; i < 14; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "p%02d.iff", i);
            WritePic(f / name, Pattern(8 + i * 5, 3 + i % 4, 1 + i % 8, i), i % 2 == 0);
        }
        // Two files with one BMP name, and an existing BMP.
        WritePic(f / "same.IFF", Pattern(9, 9, 3, 1));
        WritePic(f / "same.iff", Pattern(9, 9, 3, 2));
        WriteText(f / "p03.bmp", "old");
        WriteText(f / "p05.iff", "broken");
        tambrel::test::WriteBytes((f / "p07.iff").string(), NoBody(Pattern(8, 8, 2, 1)));
    };
    auto runWith = [&](const std::string &jobs, const std::string &mode, RunResult &r) {
        TempDir dir;
        const fs::path f = dir.path() / "in";
        fill(f);
        r = Convert({"-j", jobs, "-m", mode, "--info", f.string()});
        // Paths differ between the two folders: compare the text relative to it.
        for (std::string *s : {&r.out, &r.err}) {
            for (std::size_t pos; (pos = s->find(f.string())) != std::string::npos;) {
                s->replace(pos, f.string().size(), "IN");
            }
        }
        return Tree(f);
    };
    for (const std::string mode : {"0", "1", "2"}) {
        SCOPED_TRACE("mode " + mode);
        RunResult one, four;
        const auto treeOne = runWith("1", mode, one);
        for (int repeat = 0; repeat < 3; ++repeat) {
            const auto treeFour = runWith("4", mode, four);
            EXPECT_EQ(one.code, 1);
            EXPECT_EQ(four.code, one.code);
            EXPECT_EQ(four.out, one.out);
            EXPECT_EQ(four.err, one.err);
            EXPECT_TRUE(treeFour == treeOne);
        }
        EXPECT_NE(one.err.find("IN/p05.iff: not an IFF ILBM picture"), std::string::npos);
        EXPECT_NE(one.err.find("IN/p07.iff: no BODY chunk"), std::string::npos);
        if (mode == "2") {
            // Name order: "same.IFF" before "same.iff"; the first takes the plain name.
            EXPECT_EQ(treeOne.at("same.bmp"), ExpectedBmp(Pattern(9, 9, 3, 1)));
            EXPECT_EQ(treeOne.at("same(1).bmp"), ExpectedBmp(Pattern(9, 9, 3, 2)));
            EXPECT_EQ(treeOne.at("p03.bmp"), "old");
            EXPECT_EQ(one.err.substr(one.err.rfind("tambrel-convert:")),
                      "tambrel-convert: converted 14, skipped 0 (BMP exists), failed 2\n");
        } else if (mode == "0") {
            EXPECT_EQ(treeOne.at("same.bmp"), ExpectedBmp(Pattern(9, 9, 3, 1)));
            EXPECT_EQ(treeOne.count("same(1).bmp"), 0u);
            EXPECT_EQ(one.err.substr(one.err.rfind("tambrel-convert:")),
                      "tambrel-convert: converted 12, skipped 2 (BMP exists), failed 2\n");
        } else {
            EXPECT_EQ(treeOne.at("same.bmp"), ExpectedBmp(Pattern(9, 9, 3, 2)));
            EXPECT_NE(treeOne.at("p03.bmp"), "old");
        }
    }
}

TEST(CliFolders, ProgressLineOnlyForFoldersWhenAsked) {
    TempDir dir;
    WritePic(dir / "1.iff", Pattern(8, 1, 1, 1));
    WritePic(dir / "2.iff", Pattern(8, 1, 1, 2));
    WriteText(dir / "3.iff", "bad");

    RunResult r = Convert({"-m", "1", dir.path().string()}, true);
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("\rtambrel-convert: 1/3 files"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\rtambrel-convert: 3/3 files"), std::string::npos);
    // The failure and the summary start on a cleared line.
    EXPECT_NE(r.err.find("\r\x1b[K" + dir / "3.iff" + ": not an IFF ILBM picture"),
              std::string::npos);
    EXPECT_NE(r.err.find("\r\x1b[Ktambrel-convert: converted 2"), std::string::npos);

    r = Convert({"-m", "1", dir.path().string()}, false);
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
    r = Convert({"-m", "1", dir / "1.iff", dir / "2.iff"}, true);
    EXPECT_EQ(r.err.find('\r'), std::string::npos);
}

// ---------------------------------------------------------------------------
// The executable.

// Runs the program with stdout on /dev/null, or on a pipe nobody reads.
int RunExecutable(const std::vector<std::string> &args, bool closedPipe = false) {
    int pipeFds[2] = {-1, -1};
    if (closedPipe && ::pipe(pipeFds) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char *> argv;
        std::string exe = TAMBREL_CONVERT_EXE;
        argv.push_back(exe.data());
        std::vector<std::string> copy = args;
        for (auto &a : copy) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        // Keep the test log clean.
        std::FILE *null = std::freopen("/dev/null", "w", stderr);
        (void)null;
        if (closedPipe) {
            ::close(pipeFds[0]);
            ::dup2(pipeFds[1], STDOUT_FILENO);
        } else {
            null = std::freopen("/dev/null", "w", stdout);
            (void)null;
        }
        ::execv(exe.c_str(), argv.data());
        ::_exit(127);
    }
    if (closedPipe) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliExecutable, ExitStatusOfTheRealProgram) {
    TempDir dir;
    const Pic p = Pattern(21, 4, 4, 6);
    WritePic(dir / "x.iff", p);
    EXPECT_EQ(RunExecutable({dir / "x.iff"}), 0);
    EXPECT_EQ(ReadText(dir / "x.bmp"), ExpectedBmp(p));
    EXPECT_EQ(RunExecutable({dir / "x.iff", dir / "missing.iff"}), 1);
    EXPECT_EQ(ReadText(dir / "x(1).bmp"), ExpectedBmp(p));
    EXPECT_EQ(RunExecutable({}), 2);
    EXPECT_EQ(RunExecutable({"--help"}), 0);
}

TEST(CliExecutable, GoneReaderDoesNotStopTheConversion) {
    TempDir dir;
    std::vector<Pic> pics;
    for (int i = 0; i < 6; ++i) {
        pics.push_back(Pattern(40, 30, 5, i));
        WritePic(dir / ("p" + std::to_string(i) + ".iff"), pics.back());
    }
    // Plenty of --log output into a pipe whose reader has already gone.
    EXPECT_EQ(RunExecutable({"--info", "--log", "-j", "1", dir.path().string()}, true), 0);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(ReadText(dir / ("p" + std::to_string(i) + ".bmp")), ExpectedBmp(pics[i])) << i;
    }
}

} // namespace
