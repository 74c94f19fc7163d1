// tambrel-convert end to end: run() in-process on real files, and the executable itself.
#include "cli/converter.h"
#include "output/exports.h"
#include "tests/core/test_util.h"
#include "tests/support/form_writer.h"

#include <filesystem>
#include <map>
#include <sstream>
#include <sys/wait.h>

namespace tambrel::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

struct RunResult {
    int code = -1;
    std::string out, err;
};

RunResult Convert(const Strings &args, bool progress = false) {
    std::ostringstream out, err;
    cli::RunEnvironment env;
    env.progress = progress;
    const int code = cli::run(args, out, err, env);
    return {code, out.str(), err.str()};
}

Strings Lines(const std::string &text) {
    Strings lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// A palette picture (CAMG 0) and its colours.
struct Pic {
    ChunkyImage Image;
    std::vector<std::uint32_t> Colours;
};

Pic MakePic(int width, int height, int planes, unsigned seed) {
    return {Pattern(width, height, planes, seed), TestColours(1 << planes)};
}

void WritePic(const fs::path &path, const Pic &p, bool compressed = true) {
    WriteBytes(path.string(), BuildSimple({p.Image, p.Colours, 0u, compressed}));
}

void WriteNoBody(const fs::path &path, const Pic &p) {
    WriteBytes(path.string(),
               IlbmBuilder().Bmhd(HeaderFor(p.Image, true)).Cmap(p.Colours).Camg(0).Build());
}

std::string ExpectedBmp(const Pic &p) {
    std::vector<std::uint32_t> colours;
    for (std::uint8_t v : p.Image.Pixels)
        colours.push_back(v < p.Colours.size() ? p.Colours[v] : 0);
    const Bytes b = ref::Bitmap(p.Image.Width, p.Image.Height, colours);
    return std::string(b.begin(), b.end());
}

// Every regular file under `root` with its contents, by relative path.
std::map<std::string, std::string> Tree(const fs::path &root) {
    std::map<std::string, std::string> files;
    for (const auto &e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file())
            files[fs::relative(e.path(), root).string()] = ReadText(e.path());
    return files;
}

std::string Summary(int converted, int skipped, int failed) {
    return "tambrel-convert: converted " + std::to_string(converted) + ", skipped " +
           std::to_string(skipped) + " (BMP exists), failed " + std::to_string(failed);
}

TEST(Cli, OneFileHelpVersionVerboseAndOptionForms) {
    const RunResult help = Convert({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: tambrel-convert [options] PATH..."), std::string::npos);
    EXPECT_EQ(Convert({"--version"}).out,
              std::string("tambrel-convert ") + TAMBREL_EXPECTED_VERSION + "\n");
    TempDir dir;
    const Pic p = MakePic(9, 4, 3, 5);
    WritePic(dir / "-dash.iff", p);
    WritePic(dir / "x.iff", p);
    // One file: its exact BMP beside it, quietly (output names: the core's tests).
    const RunResult quiet = Convert({dir / "x.iff"});
    EXPECT_EQ(quiet.code, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
    EXPECT_EQ(ReadText(dir / "x.bmp"), ExpectedBmp(p));
    // -v names what was written and what was skipped; "-m1" attaches the value.
    EXPECT_EQ(Convert({"-v", "-m1", dir / "x.iff"}).err,
              dir / "x.iff" + " -> " + dir / "x.bmp" + "\n");
    EXPECT_EQ(Convert({"--verbose", "-m", "0", dir / "x.iff"}).err,
              dir / "x.iff" + ": skipped, " + dir / "x.bmp" + " exists\n" + Summary(0, 1, 0) +
                  "\n");
    WriteText(dir / "x.bmp", "old");
    // "--save-mode=0" attaches the value; "--" ends the options.
    EXPECT_EQ(Convert({"--save-mode=0", dir / "x.iff"}).code, 0);
    EXPECT_EQ(ReadText(dir / "x.bmp"), "old");
    Convert({dir / "x.iff"}); // save mode 2 unless given
    EXPECT_EQ(ReadText(dir / "x(1).bmp"), ExpectedBmp(p));
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    const RunResult r = Convert({"--", "-dash.iff"});
    fs::current_path(before);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir / "-dash.bmp"), ExpectedBmp(p));
}

TEST(Cli, UsageErrorsExitTwoAndConvertNothing) {
    TempDir dir;
    const std::string a = dir / "a.iff", b = dir / "b.iff";
    WritePic(a, MakePic(8, 2, 2, 1));
    WritePic(b, MakePic(8, 2, 2, 1));
    WriteText(dir / "plain.txt", "x");
    const std::pair<Strings, std::string> cases[] = {
        {{}, "no PATH given"},
        {{"--bogus", a}, "unknown option --bogus"},
        {{"--\x1b[2J", a}, "unknown option '--'$'\\033''[2J'"},
        {{a, "-m"}, "option -m needs a value"},
        {{"-m", "3", a}, "save mode must be 0, 1 or 2"},
        {{"-j", "0", a}, "jobs must be a number"},
        {{"--info=yes", a}, "option --info takes no value"},
        {{"--rgb", dir / "o.rgb", a, b}, "need exactly one input file, not 2"},
        {{"-o", dir / "no-such-folder", a}, "does not exist"},
        {{"-o", dir / "plain.txt", a}, "is not a folder"},
        {{"--rgb", "", a}, "needs a file name"},
    };
    for (const auto &[args, message] : cases) {
        const RunResult r = Convert(args);
        SCOPED_TRACE(message);
        EXPECT_EQ(r.code, 2);
        EXPECT_TRUE(Lines(r.err).at(0).starts_with("tambrel-convert: ")) << r.err;
        EXPECT_NE(Lines(r.err).at(0).find(message), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("Usage: tambrel-convert"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    EXPECT_EQ(Tree(dir.Path()).size(), 3u); // nothing written
}

// Each failing file is reported as "path: reason" and the run goes on.
TEST(Cli, FailuresNameTheFileAndTheRunGoesOn) {
    TempDir dir;
    const Pic good = MakePic(16, 4, 4, 7);
    BmhdFields huge = HeaderFor(ChunkyImage(1, 1, 8), true);
    huge.Width = huge.Height = 65535;
    WriteBytes(dir / "huge.iff", IlbmBuilder().Bmhd(huge).Camg(0).Body(Bytes{0x81, 0}).Build());
    WriteText(dir / "text.iff", "just some text, not a picture\n");
    WriteNoBody(dir / "nobody.iff", good);
    WritePic(dir / "blocked.iff", good);
    WritePic(dir / "ok.iff", good); // a good file after each failing one
    fs::create_directory(dir / "blocked.bmp");
    WriteText(dir / "blocked.bmp/keep", "k");
    fs::create_directory(dir / "full");
    WritePic(dir / "full/f.iff", good);
    for (int n = 0; n <= 2048; ++n)
        WriteText(dir / (n ? "full/f(" + std::to_string(n) + ").bmp" : "full/f.bmp"), "");
    const struct {
        std::string file, reason;
        Strings options;
    } cases[] = {
        {"missing.iff", "no such file or folder", {}},
        {"text.iff", "not an IFF ILBM picture", {}},
        {"nobody.iff", "no BODY chunk, no BMP written", {}},
        {"huge.iff", "too large", {}},
        {"blocked.iff", "blocked.bmp", {"-m", "1"}},
        {"full/f.iff", "no free numbered name", {"-m", "2"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.file);
        Strings args = c.options;
        args.insert(args.end(), {dir / c.file, dir / "ok.iff"});
        const RunResult r = Convert(args);
        EXPECT_EQ(r.code, 1);
        const auto lines = Lines(r.err);
        ASSERT_EQ(lines.size(), 2u) << r.err;
        EXPECT_TRUE(lines[0].starts_with(dir / c.file + ": ")) << r.err;
        EXPECT_NE(lines[0].find(c.reason), std::string::npos) << r.err;
        EXPECT_EQ(lines[1], Summary(1, 0, 1));
    }
    EXPECT_EQ(ReadText(dir / "ok.bmp"), ExpectedBmp(good));
    // An export that cannot be written, alone (exports take one file).
    WriteText(dir / "file", "x");
    const RunResult r = Convert({"--no-bmp", "--rgb", dir / "file/out.rgb", dir / "ok.iff"});
    EXPECT_EQ(r.code, 1);
    EXPECT_TRUE(r.err.starts_with(dir / "ok.iff: ")) << r.err;
    EXPECT_NE(r.err.find("out.rgb"), std::string::npos);
    EXPECT_EQ(Lines(r.err).back(), Summary(0, 0, 1));
    // Nothing was written for the failing files, and no temporary files are left.
    EXPECT_EQ(ReadText(dir / "blocked.bmp/keep"), "k");
    for (const auto &[name, text] : Tree(dir.Path())) {
        const bool oldOrGood =
            name.starts_with("ok") || name.starts_with("full/") || name.starts_with("blocked.bmp/");
        EXPECT_TRUE(oldOrGood || name.find(".bmp") == std::string::npos) << name;
        EXPECT_NE(fs::path(name).filename().string()[0], '.') << name;
    }
    EXPECT_FALSE(fs::exists(dir / "full/f(2049).bmp"));
    EXPECT_FALSE(fs::exists(dir / "blocked(1).bmp"));
}

// A CAT of three pictures, the second beyond the pixel cap: the first alone by
// default (with a note), every one with --all-pictures, the failing one named.
TEST(Cli, AllPicturesOfACat) {
    TempDir dir;
    const Pic one = MakePic(16, 4, 4, 7), three = MakePic(8, 2, 2, 9);
    BmhdFields huge = HeaderFor(ChunkyImage(1, 1, 8), true);
    huge.Width = huge.Height = 65535;
    Bytes cat = IlbmBuilder().FormId("CAT ").Build();
    for (const Bytes &part : {BuildSimple({one.Image, one.Colours, 0u, true}),
                              IlbmBuilder().Bmhd(huge).Camg(0).Body(Bytes{0x81, 0}).Build(),
                              BuildSimple({three.Image, three.Colours, 0u, false})})
        cat.insert(cat.end(), part.begin(), part.end());
    cat[6] = static_cast<std::uint8_t>((cat.size() - 8) >> 8), cat[7] = (cat.size() - 8) & 255;
    WriteBytes(dir / "cat.iff", cat);
    RunResult r = Convert({dir / "cat.iff"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.err, dir / "cat.iff" + ": holds 3 pictures, the first written (--all-pictures " +
                         "writes them all)\n");
    r = Convert({"-m", "1", "--all-pictures", dir / "cat.iff"});
    EXPECT_EQ(r.code, 1);
    const auto lines = Lines(r.err);
    ASSERT_EQ(lines.size(), 2u) << r.err;
    EXPECT_TRUE(lines[0].starts_with("picture 2 of " + dir / "cat.iff: ")) << r.err;
    EXPECT_NE(lines[0].find("too large"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(dir / "cat.bmp"), ExpectedBmp(one));
    EXPECT_EQ(ReadText(dir / "cat-3.bmp"), ExpectedBmp(three));
    EXPECT_FALSE(fs::exists(dir / "cat-2.bmp"));
}

TEST(Cli, InfoLogAndExportsHoldThePicture) {
    TempDir dir;
    const Pic p = MakePic(13, 2, 5, 9);
    WritePic(dir / "e.iff", p);
    WriteText(dir / "e.lut", std::string(1000, 'x')); // replaced whole
    const RunResult r = Convert({"-m", "1", "--info", "--log", "--rgb", dir / "e.rgb", "--lut",
                                 dir / "e.lut", "--palette", dir / "e.txt", dir / "e.iff"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(ReadText(dir / "e.bmp"), ExpectedBmp(p));
    // The panel's 13 lines (checked in the core's tests), then the log from "[BMHD]".
    const Strings log = Lines(r.out);
    ASSERT_GT(log.size(), 20u);
    EXPECT_EQ(log[0], "File: E");
    EXPECT_EQ(log[13], "[BMHD]");
    EXPECT_EQ(log.back(), "Depack of Body Done");
    // What the core's export functions (tested on their own) write for the picture.
    IFF_Picture pic;
    ASSERT_EQ(LoadIffPicture(pic, dir / "e.iff", false), 1);
    WriteRawColours(pic, dir / "ref.rgb");
    WriteRawIndices(pic, dir / "ref.lut");
    EXPECT_EQ(ReadText(dir / "e.rgb"), ReadText(dir / "ref.rgb"));
    EXPECT_EQ(ReadText(dir / "e.lut"), ReadText(dir / "ref.lut"));
    EXPECT_EQ(ReadText(dir / "e.txt"), PaletteText(pic));
    // Without a BODY: the panel, only the palette exports; --no-bmp writes no BMP.
    WriteNoBody(dir / "nb.iff", MakePic(8, 8, 1, 2));
    const RunResult nb =
        Convert({"--info", "--no-bmp", "--palette", dir / "nb.txt", dir / "nb.iff"});
    EXPECT_EQ(nb.code, 0);
    EXPECT_EQ(Lines(nb.out).at(1), "Width :  8");
    EXPECT_EQ(ReadText(dir / "nb.txt").size(), 2u * 9u);
    const RunResult f = Convert({"--no-bmp", "--lut", dir / "nb.raw", dir / "nb.iff"});
    EXPECT_EQ(f.code, 1);
    EXPECT_TRUE(f.err.starts_with(dir / "nb.iff" + ": no BODY chunk")) << f.err;
    EXPECT_FALSE(fs::exists(dir / "nb.raw"));
    EXPECT_FALSE(fs::exists(dir / "nb.bmp"));
    // A line break and an escape sequence in the name are quoted, never printed raw.
    WritePic(dir / "x\n\x1b[1m.iff", p);
    EXPECT_EQ(Lines(Convert({"--info", "--no-bmp", dir / "x\n\x1b[1m.iff"}).out).at(0),
              "File: 'X'$'\\n\\033''[1M'");
}

// 1 and 4 jobs give the same files and text: two files for one BMP name and a failing file.
TEST(Cli, ResultsAreIdenticalForAnyJobCount) {
    const Pic first = MakePic(16, 2, 5, 1); // 32 colours
    Pic second = MakePic(16, 2, 5, 2);
    second.Colours.resize(16); // its CMAP holds 16 colours, but pixels use 0..31
    const auto runWith = [&](const std::string &jobs, RunResult &r) {
        TempDir dir;
        fs::create_directory(dir / "in.pics");
        fs::create_directory(dir / "out");
        WritePic(dir / "in.pics/same.IFF", first);
        WritePic(dir / "in.pics/same.iff", second);
        WriteText(dir / "in.pics/bad.iff", "broken");
        // A trailing "/" on the output folder is accepted.
        r = Convert({"-j", jobs, "--info", "-o", dir / "out/", dir / "in.pics"});
        for (std::string *s : {&r.out, &r.err}) // compare the text relative to the folder
            for (std::size_t pos; (pos = s->find(dir.Path())) != std::string::npos;)
                s->replace(pos, dir.Path().size(), "D");
        return Tree(dir.Path());
    };
    RunResult one, four;
    const auto treeOne = runWith("1", one);
    EXPECT_TRUE(runWith("4", four) == treeOne);
    EXPECT_EQ(four.code, 1);
    EXPECT_EQ(four.out, one.out);
    EXPECT_EQ(four.err, one.err);
    EXPECT_NE(one.err.find("D/in.pics/bad.iff: not an IFF ILBM picture"), std::string::npos);
    EXPECT_EQ(treeOne.at("out/same.bmp"), ExpectedBmp(first));
    // Entries the CMAP did not give are black, not the first file's colours.
    EXPECT_EQ(treeOne.at("out/same(1).bmp"), ExpectedBmp(second));
    EXPECT_EQ(treeOne.size(), 5u); // nothing beside the pictures
    EXPECT_EQ(Lines(one.err).back(), Summary(2, 0, 1));
}

// Folders: pictures by their first bytes, in name order; a ".iff" non-picture reported.
TEST(Cli, FolderTakesPicturesByContentInNameOrder) {
    TempDir dir;
    const fs::path f = fs::path(dir.Path()) / "in";
    fs::create_directories(f / "sub");
    fs::create_directory(f / "folder.iff");
    const ChunkyImage img = Pattern(20, 3, 8);
    const std::vector<std::uint32_t> grey = {0x000000, 0xFFFFFF};
    const Bytes ilbm = BuildSimple({img, grey, 0u, true});
    const Bytes sound = IlbmBuilder().FormType("8SVX").Chunk("VHDR", Bytes(20, 0)).Build();
    IlbmBuilder pbm, acbm;
    pbm.FormType("PBM ").Bmhd(HeaderFor(img, true)).Cmap(grey).Body(PbmBodyData(img, true));
    acbm.FormType("ACBM").Bmhd(HeaderFor(img, false)).Cmap(grey).Chunk("ABIT", AbitData(img));
    const std::pair<const char *, Bytes> files[] = {
        {"b.iff", ilbm},        {"A.IFF", ilbm},        {".iff", ilbm},
        {"sub/deep.iff", ilbm}, {"c.lbm", pbm.Build()}, {"d", acbm.Build()},
        {"f.iff", sound},       {"g.8svx", sound},      {"h.txt", Bytes{'F', 'O', 'R', 'M'}},
    };
    for (const auto &[name, bytes] : files)
        WriteBytes(f / name, bytes);
    const RunResult r = Convert({"--info", f.string()});
    EXPECT_EQ(r.code, 1);
    Strings headers;
    for (const auto &line : Lines(r.out))
        if (line.starts_with("==> "))
            headers.push_back(line.substr(4 + f.string().size() + 1));
    EXPECT_EQ(headers, (Strings{".iff <==", "A.IFF <==", "b.iff <==", "c.lbm <==", "d <=="}));
    EXPECT_EQ(r.err, (f / "f.iff").string() +
                         ": not an IFF ILBM picture (no FORM ... ILBM header)\n" +
                         Summary(5, 0, 1) + "\n");
    // With the progress line, messages start on a cleared line; none for one file.
    const RunResult p = Convert({"-m", "1", f.string()}, true);
    EXPECT_NE(p.err.find("\rtambrel-convert: 6/6 files"), std::string::npos) << p.err;
    EXPECT_NE(p.err.find("\r\x1b[K" + (f / "f.iff").string() + ": not an IFF"), std::string::npos);
    EXPECT_NE(p.err.find("\r\x1b[K" + Summary(5, 0, 1)), std::string::npos);
    EXPECT_EQ(Convert({"-m", "1", (f / "b.iff").string()}, true).err.find('\r'), std::string::npos);
    // An empty folder is not a failure.
    const RunResult empty = Convert({(f / "folder.iff").string()});
    EXPECT_EQ(empty.code, 0);
    EXPECT_NE(empty.err.find(": no pictures in this folder\n"), std::string::npos) << empty.err;
}

// The real program writing into a pipe whose reader has gone converts all, exits 0 (no SIGPIPE).
TEST(Cli, RealExecutableOutlivesAGoneReader) {
    TempDir dir;
    const Pic p = MakePic(40, 30, 5, 1);
    WritePic(dir / "a.iff", p);
    WritePic(dir / "b.iff", p);
    const std::string command = std::string("exec ") + TAMBREL_CONVERT_EXE +
                                " --info --log -j 1 '" + dir.Path() + "' 2>/dev/null";
    FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(ReadText(dir / "a.bmp"), ExpectedBmp(p));
    EXPECT_EQ(ReadText(dir / "b.bmp"), ExpectedBmp(p));
}

} // namespace
} // namespace tambrel::test
