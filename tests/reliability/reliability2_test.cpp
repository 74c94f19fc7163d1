// Files, names and runs (docs/hostile-files.md); signals, users and limits run the program.
#include "cli/converter.h"
#include "common/errors.h"
#include "common/text.h"
#include "convert/convert.h"
#include "decoder/iff_loader.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <filesystem>
#include <iostream>

using namespace tambrel;
using namespace tambrel::test;

namespace {

constexpr uid_t kNobody = 65534;

// A 4000 x 4000 one-plane picture whose BODY holds one row (about 80 MB of buffers).
Bytes LargePicture() {
    BmhdFields f;
    f.Width = f.Height = 4000;
    f.Bitplanes = f.Packtype = 1;
    const std::uint32_t colours[2] = {0x000000, 0xFFFFFF};
    return IlbmBuilder().Bmhd(f).Cmap(colours).Body({0x81, 0}).Build();
}

// A run ended by a signal in the middle of its write leaves no temporary file: an
// unnamed one vanishes with the process, whatever the signal; where none can be made
// (here: no /proc in the run's mount namespace) INT, TERM and HUP remove the named one.
TEST(Reliability2, InterruptedWriteLeavesNoTemporary) {
    TempDir dir;
    WriteBytes(dir / "big.iff", LargePicture());
    const auto writing = [&](pid_t pid) { // an output file in the folder with bytes in it
        std::error_code ec;
        for (const auto &fd :
             std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            const std::string file = std::filesystem::read_symlink(fd, ec);
            if (file.starts_with(dir.Path() + "/") && file != dir / "big.iff" &&
                std::filesystem::file_size(fd, ec) > 0 && !ec)
                return true;
        }
        return false;
    };
    for (const auto &[named, sig] :
         {std::pair{true, SIGINT}, {true, SIGTERM}, {true, SIGHUP}, {false, SIGKILL}}) {
        const pid_t pid = Fork(2, [&] {
            if (named && (::unshare(CLONE_NEWNS) != 0 ||
                          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                          ::mount("none", "/proc", "tmpfs", 0, nullptr) != 0))
                ::_exit(77);
            Exec({dir / "big.iff"});
        });
        siginfo_t ended{}; // filled, without reaping, if the run ends by itself
        while (ended.si_pid == 0 && !writing(pid))
            ::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT);
        ::kill(pid, sig);
        const int status = Wait(pid);
        if (status == 77)
            GTEST_SKIP() << "no mount namespace to hide /proc in (not root?)";
        EXPECT_EQ(status, 1000 + sig);
        EXPECT_EQ(dir.Entries(), std::vector<std::string>{"big.iff"}) << sig;
    }
}

// No output replaces the input; exports follow the save mode.
TEST(Reliability2, OutputsNeverReplaceTheInputAndFollowTheSaveMode) {
    TempDir dir;
    const std::string iff = dir / "c.iff", bmp = dir / "c.bmp";
    const Bytes picture = TestPicture(16, 2, 3);
    const auto run = [](const std::vector<std::string> &args, int status, const std::string &said) {
        const Outcome out = InProcess(args);
        EXPECT_EQ(out.status, status) << out.err;
        EXPECT_TRUE(Contains(out.err, said)) << out.err;
    };
    // A copy of the picture named c.bmp would be its own BMP.
    WriteBytes(iff, picture);
    WriteBytes(bmp, picture);
    run({"-m", "1", bmp}, 1, "c.bmp: it is the file being converted");
    EXPECT_EQ(ReadBytes(bmp), picture);
    // An export onto its input: refused in mode 1, numbered in mode 2.
    WriteBytes(bmp, kOldContents);
    run({"-m", "1", "--no-bmp", "--palette", iff, iff}, 1, "c.iff: it is the file being converted");
    run({"--no-bmp", "--palette", iff, iff}, 0, iff + " -> " + dir / "c(1).iff");
    EXPECT_EQ(ReadBytes(iff), picture);
    // An export onto another file: kept in mode 0, replaced in mode 1.
    run({"-m", "0", "--lut", bmp, iff}, 0, "raw 8-bit export not written, " + bmp + " exists");
    EXPECT_EQ(ReadBytes(bmp), kOldContents);
    run({"-m", "1", "--no-bmp", "--lut", bmp, iff}, 0, "");
    EXPECT_NE(ReadBytes(bmp), kOldContents);
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"c(1).iff", "c.bmp", "c.iff"}));
}

// A replaced BMP keeps its mode and owner, a read-only one is refused; as root and nobody.
TEST(Reliability2, ReplacedFilesKeepPermissionsAndReadOnlyIsRefused) {
    const bool root = ::geteuid() == 0;
    for (const bool asNobody : {false, true}) {
        if (asNobody && !root) {
            GTEST_SKIP() << "not run as root: no second user to switch to";
        }
        TempDir dir;
        ::chmod(dir.Path().c_str(), 0777);
        const uid_t owner = root ? kNobody : ::geteuid();
        for (const auto &[name, mode] : {std::pair{"keep", 0604}, {"ro", 0444}}) {
            WriteBytes(dir / (name + std::string(".iff")), TestPicture(16, 2, 5));
            const std::string bmp = dir / (name + std::string(".bmp"));
            WriteBytes(bmp, kOldContents);
            ::chmod(bmp.c_str(), static_cast<mode_t>(mode));
            ASSERT_TRUE(!root || ::chown(bmp.c_str(), owner, owner) == 0);
        }
        const Outcome run = InChild([&] {
            if (asNobody && (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
                ::_exit(99);
            Exec({"-m", "1", dir / "keep.iff", dir / "ro.iff"});
        });
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(Contains(run.err, "ro.bmp: the file is read-only")) << run.err;
        EXPECT_EQ(ReadBytes(dir / "ro.bmp"), kOldContents);
        struct stat st {};
        ASSERT_EQ(::stat((dir / "keep.bmp").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0604u) << (asNobody ? "as nobody" : "as root");
        EXPECT_EQ(st.st_uid, owner);
        EXPECT_EQ(st.st_size, 54 + 4 * 16 * 16);
    }
}

// A FIFO or a device never blocks the load; it is refused.
TEST(Reliability2, FilesOtherThanRegularAreRefusedWithoutBlocking) {
    TempDir dir;
    const std::string fifo = dir / "f.iff";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    for (const std::string &path : {fifo, std::string("/dev/zero")}) {
        const auto [status, report] = InChild([&] {
            IFF_Picture pic;
            try {
                LoadIffPicture(pic, path, false);
                std::cerr << "loaded";
            } catch (const TambrelError &e) {
                std::cerr << e.Number << " " << e.Description;
            }
        });
        EXPECT_EQ(status, 0) << path;
        EXPECT_EQ(report, "75 Cannot read " + path + ": not a regular file");
    }
}

// A file is read up to its FORM's end; of a file that is no FORM, the header only.
TEST(Reliability2, HugeFileIsReadOnlyToItsFormEnd) {
    TempDir dir;
    const Bytes picture = TestPicture(16, 2, 7);
    for (const auto &[name, bytes, read] : {std::tuple{"padded.iff", picture, picture.size()},
                                            {"zeros.iff", Bytes(16, 0), std::size_t{12}}}) {
        WriteBytes(dir / name, bytes);
        std::filesystem::resize_file(dir / name, std::uintmax_t{1} << 30); // sparse
        IFF_Picture pic;
        LoadIffPicture(pic, dir / name, false);
        EXPECT_EQ(pic.FileLength, read) << name;
    }
}

// Two pictures that fit the budget one at a time, under an address-space limit.
TEST(Reliability2, JobsShareOneMemoryBudget) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's shadow memory does not run under an address-space limit";
#endif
    TempDir dir;
    WriteBytes(dir / "a.iff", LargePicture());
    WriteBytes(dir / "b.iff", LargePicture());
    const Outcome run = InChild([&] {
        const rlimit rl{260u << 20, 260u << 20};
        ::setrlimit(RLIMIT_AS, &rl);
        Exec({"-j", "2", dir.Path()});
    });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(Contains(run.err, "converted 2, skipped 0 (BMP exists), failed 0")) << run.err;
}

// Names with control characters print quoted as `ls` quotes them, on one line.
TEST(Reliability2, NamesWithControlCharactersPrintQuoted) {
    const std::pair<std::string, std::string> names[] = {
        {"a\nconverted 9, skipped 0.iff", "'a'$'\\n''converted 9, skipped 0.iff'"},
        {"\x1b[31mred.iff", "$'\\033''[31mred.iff'"},
        {"it's\t\x7f.iff", "'it'\\''s'$'\\t\\177''.iff'"},
        {"c1\xc2\x9b.iff", "'c1'$'\\302\\233''.iff'"},
    };
    TempDir dir;
    for (const auto &[name, quoted] : names) {
        EXPECT_EQ(QuotedName(name), quoted);
        WriteBytes(dir / name, kOldContents);
        const Outcome run = InProcess({"-v", dir / name});
        EXPECT_TRUE(Contains(run.err, QuotedName(dir / name) + ": " + NotPictureReason() + "\n"))
            << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 2) << run.err;
    }
}

// The job count is capped at four per processor.
TEST(Reliability2, JobsCappedPerProcessor) {
    for (const auto &[asked, processors, jobs] : {std::array{0u, 2u, 2u}, {1024u, 64u, 256u}})
        EXPECT_EQ(cli::JobCount(asked, processors), jobs) << asked << " on " << processors;
}

} // namespace
