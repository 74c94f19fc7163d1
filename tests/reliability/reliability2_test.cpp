// Reliability, second round: interrupted runs, outputs that are inputs,
// exports by save mode, kept permissions, files that would block, files far
// larger than their FORM, memory shared by the jobs, names with control
// characters and the cap on jobs. The converter runs as the program itself
// where signals, users or memory limits are involved.
#include "cli/converter.h"
#include "common/errors.h"
#include "common/text.h"
#include "convert/convert.h"
#include "decoder/iff_loader.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>

using namespace tambrel;
using namespace tambrel::test;
namespace fs = std::filesystem;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif

constexpr uid_t kNobody = 65534;

// A width x height picture of one plane whose BODY holds only `bodyBytes`:
// the rows past it decode as pixel value 0.
Bytes HeaderOnlyPicture(int width, int height, Bytes body = {0x81, 0}) {
    BmhdFields f;
    f.Width = static_cast<std::uint16_t>(width);
    f.Height = static_cast<std::uint16_t>(height);
    f.Bitplanes = 1;
    f.Packtype = 1;
    const std::uint32_t colours[2] = {0x000000, 0xFFFFFF};
    return IlbmBuilder().Bmhd(f).Cmap(colours).Body(std::move(body)).Build();
}

// Row 1: whatever signal ends a run during its write, no temporary file stays.
TEST(Reliability2, InterruptedWriteLeavesNoTemporary) {
    ScratchDir dir;
    const std::string pic = dir / "big.iff";
    WriteBytes(pic, HeaderOnlyPicture(4000, 4000));
    const int devNull = ::open("/dev/null", O_WRONLY);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(Start({"-m", "1", pic}, devNull)), 0);
    const auto whole = std::chrono::duration_cast<std::chrono::microseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
    std::mt19937 random(12);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGKILL};
    for (int round = 0; round < 12; ++round) {
        const int sig = signals[round % 4];
        const pid_t pid = Start({"-m", "1", pic}, devNull);
        ::usleep(static_cast<useconds_t>(random() % static_cast<unsigned>(whole + 1)));
        ::kill(pid, sig);
        const int status = Wait(pid);
        EXPECT_TRUE(status == 0 || status == 1000 + sig) << "round " << round << ": " << status;
        EXPECT_EQ(Entries(dir.Path()), (std::vector<std::string>{"big.bmp", "big.iff"}))
            << "round " << round << ", signal " << sig;
    }
    ::close(devNull);
}

// Rows 2 and 3: no output replaces the input; exports follow the save mode
// and the report names what was written.
TEST(Reliability2, OutputsNeverReplaceTheInputAndFollowTheSaveMode) {
    struct Case {
        std::string name;
        std::vector<std::string> args; // "@" stands for the folder
        int status;
        std::string said;                 // part of the report
        std::vector<std::string> entries; // the folder afterwards
        std::vector<std::string> unchanged;
    };
    const std::vector<Case> cases = {
        {"bmp_is_input",
         {"-m", "1", "@/c.bmp"},
         1,
         "it is the file being converted",
         {"c.bmp", "c.iff"},
         {"c.bmp"}},
        {"export_is_input_mode1",
         {"-m", "1", "--no-bmp", "--palette", "@/c.iff", "@/c.iff"},
         1,
         "it is the file being converted",
         {"c.bmp", "c.iff"},
         {"c.iff"}},
        {"export_is_input_mode2",
         {"--no-bmp", "--palette", "@/c.iff", "@/c.iff"},
         0,
         "@/c.iff -> @/c(1).iff",
         {"c(1).iff", "c.bmp", "c.iff"},
         {"c.iff"}},
        {"export_mode0_keeps",
         {"-m", "0", "--lut", "@/c.bmp", "@/c.iff"},
         0,
         "raw 8-bit export not written, @/c.bmp exists",
         {"c.bmp", "c.iff"},
         {"c.bmp"}},
        {"export_mode1_replaces",
         {"-m", "1", "--no-bmp", "--lut", "@/c.bmp", "@/c.iff"},
         0,
         "",
         {"c.bmp", "c.iff"},
         {}},
    };
    for (const Case &c : cases) {
        ScratchDir dir;
        const Bytes picture = TestPicture(16, 2, 3);
        WriteBytes(dir / "c.iff", picture);
        WriteBytes(dir / "c.bmp", c.name == "bmp_is_input" ? picture : kOldContents);
        std::vector<std::string> args;
        for (std::string a : c.args) {
            if (a.rfind("@", 0) == 0) {
                a = dir.Path() + a.substr(1);
            }
            args.push_back(a);
        }
        std::string said = c.said;
        for (std::size_t at; (at = said.find('@')) != std::string::npos;) {
            said.replace(at, 1, dir.Path());
        }
        const Outcome run = InProcess(args);
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        EXPECT_TRUE(Contains(run.err, said)) << c.name << ": " << run.err;
        EXPECT_EQ(Entries(dir.Path()), c.entries) << c.name;
        for (const std::string &name : c.unchanged) {
            EXPECT_EQ(ReadBytes(dir / name),
                      name == "c.bmp" && c.name != "bmp_is_input" ? kOldContents : picture)
                << c.name << ": " << name;
        }
    }
}

// Row 4: a replaced BMP keeps its mode, owner and group; a read-only one is
// refused. As the administrator and, where the machine allows, as nobody.
TEST(Reliability2, ReplacedFilesKeepPermissionsAndReadOnlyIsRefused) {
    const bool root = ::geteuid() == 0;
    for (const bool asNobody : {false, true}) {
        if (asNobody && !root) {
            GTEST_SKIP() << "not run as root: no second user to switch to";
        }
        ScratchDir dir;
        ::chmod(dir.Path().c_str(), 0777);
        const uid_t owner = root && !asNobody ? kNobody : ::geteuid();
        for (const auto &[name, mode] :
             std::vector<std::pair<std::string, mode_t>>{{"keep", 0604}, {"ro", 0444}}) {
            WriteBytes(dir / (name + ".iff"), TestPicture(16, 2, 5));
            WriteBytes(dir / (name + ".bmp"), kOldContents);
            ::chmod((dir / (name + ".bmp")).c_str(), mode);
            if (root) {
                ASSERT_EQ(::chown((dir / (name + ".bmp")).c_str(), asNobody ? kNobody : owner,
                                  asNobody ? kNobody : owner),
                          0);
            }
        }
        const Outcome run = Program({"-m", "1", dir / "keep.iff", dir / "ro.iff"}, [&] {
            if (asNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
                ::_exit(99);
            }
        });
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(Contains(run.err, "ro.bmp: the file is read-only")) << run.err;
        EXPECT_EQ(ReadBytes(dir / "ro.bmp"), kOldContents);
        struct stat st {};
        ASSERT_EQ(::stat((dir / "keep.bmp").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u) << (asNobody ? "as nobody" : "as root");
        EXPECT_EQ(st.st_uid, asNobody ? kNobody : owner);
        EXPECT_EQ(st.st_size, 54 + 4 * 16 * 16);
    }
}

// Row 5: a FIFO or a device never blocks the load; it is refused.
TEST(Reliability2, FilesOtherThanRegularAreRefusedWithoutBlocking) {
    ScratchDir dir;
    const std::string fifo = dir / "f.iff";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string &path : {fifo, std::string("/dev/zero")}) {
        const auto [status, report] = InChildWithFileLimit(RLIM_INFINITY, [&] {
            ::alarm(10);
            IFF_Picture pic;
            try {
                LoadIffPicture(pic, path, false);
            } catch (const TambrelError &e) {
                return std::to_string(e.Number) + " " + e.Description;
            }
            return std::string("loaded");
        });
        EXPECT_EQ(status, 0) << path;
        EXPECT_EQ(report, "75 Cannot read " + path + ": not a regular file");
    }
}

// Row 8: the file is read up to its FORM's end, and only the header of a
// file that is no FORM, however large the file.
TEST(Reliability2, HugeFileIsReadOnlyToItsFormEnd) {
    ScratchDir dir;
    const Bytes picture = TestPicture(16, 2, 7);
    for (const auto &[name, bytes, read] : std::vector<std::tuple<std::string, Bytes, std::size_t>>{
             {"padded.iff", picture, picture.size()}, {"zeros.iff", Bytes(16, 0), 12}}) {
        WriteBytes(dir / name, bytes);
        fs::resize_file(dir / name, std::uintmax_t{1} << 30); // sparse: no disk used
        IFF_Picture pic;
        LoadIffPicture(pic, dir / name, false);
        EXPECT_EQ(pic.FileLength, read) << name;
    }
}

// Row 9: two pictures that each fit the memory budget but not together are
// converted one after the other, under an address-space limit that both at
// once would pass.
TEST(Reliability2, JobsShareOneMemoryBudget) {
    if (kAddressSanitizer) {
        GTEST_SKIP() << "the sanitizer's shadow memory does not run under an address-space limit";
    }
    ScratchDir dir;
    // 4000 x 4000: about 80 MB of buffers each.
    for (const char *name : {"a.iff", "b.iff"}) {
        WriteBytes(dir / name, HeaderOnlyPicture(4000, 4000));
    }
    const Outcome run = Program({"-j", "2", dir.Path()}, [] {
        const rlimit rl{260u << 20, 260u << 20};
        ::setrlimit(RLIMIT_AS, &rl);
    });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "converted 2, skipped 0 (BMP exists), failed 0")) << run.err;
}

// Row 11: names with control characters print quoted as `ls` quotes them.
TEST(Reliability2, NamesWithControlCharactersPrintQuoted) {
    // Each name, and the report's form of the file P/name.
    const std::vector<std::array<std::string, 3>> names = {
        {"plain name.iff", "plain name.iff", "P/plain name.iff"},
        {"a\nconverted 9, skipped 0.iff", "'a'$'\\n''converted 9, skipped 0.iff'",
         "'P/a'$'\\n''converted 9, skipped 0.iff'"},
        {"\x1b[31mred.iff", "$'\\033''[31mred.iff'", "'P/'$'\\033''[31mred.iff'"},
        {"it's\t\x7f.iff", "'it'\\''s'$'\\t\\177''.iff'", "'P/it'\\''s'$'\\t\\177''.iff'"},
        {"c1\xc2\x9b.iff", "'c1'$'\\302\\233''.iff'", "'P/c1'$'\\302\\233''.iff'"},
    };
    ScratchDir dir;
    for (const auto &[name, quoted, reported] : names) {
        EXPECT_EQ(QuotedName(name), quoted);
        WriteBytes(dir / name, kOldContents);
        std::string line = reported + ": " + NotPictureReason() + "\n";
        line.replace(line.find('P'), 1, dir.Path());
        const Outcome run = InProcess({"-v", dir / name});
        EXPECT_TRUE(Contains(run.err, line)) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    }
}

// Row 13: the job count is capped at a few per processor.
TEST(Reliability2, JobsCappedPerProcessor) {
    const std::vector<std::array<unsigned, 3>> cases = {// asked, processors, run
                                                        {0, 2, 2},
                                                        {1, 2, 1},
                                                        {8, 2, 8},
                                                        {1024, 2, 8},
                                                        {1024, 64, 256}};
    for (const auto &[asked, processors, jobs] : cases) {
        EXPECT_EQ(cli::JobCount(asked, processors), jobs) << asked << " on " << processors;
    }
}

} // namespace
