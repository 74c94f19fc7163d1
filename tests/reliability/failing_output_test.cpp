// Outputs that cannot be written; the BMP writer stands for all (one atomic file class).
#include "cli/converter.h"
#include "common/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "tests/reliability/hostile_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

using namespace tambrel;
using namespace tambrel::test;
namespace fs = std::filesystem;

namespace {

// A 64 KiB tmpfs over a folder until the end of the test, where mounting is allowed.
struct SmallFileSystem {
    std::string dir;
    bool mounted = Mount(0);
    ~SmallFileSystem() {
        if (mounted)
            ::umount2(dir.c_str(), MNT_DETACH);
    }
    bool Mount(unsigned long flags) const {
        return ::mount("tmpfs", dir.c_str(), "tmpfs", flags | MS_NOSUID | MS_NODEV, "size=64k") ==
               0;
    }
};

// A 65590-byte BMP written to `target` fails with error `number` naming it, `folder`
// holds `names` afterwards and an earlier `target` is unchanged.
void ExpectFails(const std::string &target, int number, const std::string &folder,
                 const std::vector<std::string> &names) {
    auto pic = std::make_unique<IFF_Picture>();
    ASSERT_EQ(LoadIffPictureFromMemory(*pic, TestPicture(128, 8, 7), "/p/o.iff", false), 1);
    const bool existed = fs::is_regular_file(target);
    TambrelError e(0, "");
    try {
        WriteBitmapFile(*pic, target, pic->Width, pic->Height);
    } catch (const TambrelError &raised) {
        e = raised;
    }
    EXPECT_EQ(e.Number, number) << e.Description;
    EXPECT_TRUE(Contains(e.Description, target)) << e.Description;
    EXPECT_EQ(TempDir::EntriesOf(folder), names);
    if (existed) {
        EXPECT_EQ(ReadBytes(target), kOldContents);
    }
}

// A folder in place of the output name; an output folder that does not exist.
TEST(FailingOutput, FolderInPlaceOrMissing) {
    TempDir dir;
    fs::create_directory(dir / "out.bmp");
    WriteBytes(dir / "out.bmp/inside", kOldContents);
    ExpectFails(dir / "out.bmp", kErrPathFileAccess, dir.Path(), {"out.bmp"});
    EXPECT_EQ(ReadBytes(dir / "out.bmp/inside"), kOldContents);
    ExpectFails(dir / "missing/out.bmp", kErrPathNotFound, dir.Path(), {"out.bmp"});
}

TEST(FailingOutput, FileSizeLimitIsReportedAsDiskFull) {
    TempDir dir;
    WriteBytes(dir / "out.bmp", kOldContents);
    const auto [status, report] = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN); // as the programs do
        const rlimit rl{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ExpectFails(dir / "out.bmp", kErrDiskFull, dir.Path(), {"out.bmp"});
        std::cerr << (::testing::Test::HasFailure() ? "failed" : "ok");
    });
    EXPECT_EQ(status, 0) << "ended by signal " << status - 1000;
    EXPECT_EQ(report, "ok") << "see the child's failures above";
}

TEST(FailingOutput, FullFileSystem) {
    TempDir dir;
    fs::create_directory(dir / "small");
    SmallFileSystem small{dir / "small"};
    if (!small.mounted) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    WriteBytes(dir / "small/out.bmp", kOldContents);
    const int fd = ::open((dir / "small/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    std::vector<char> block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    ::close(fd);
    ExpectFails(dir / "small/out.bmp", kErrDiskFull, small.dir, {"filler", "out.bmp"});
}

TEST(FailingOutput, ReadOnlyFolder) {
    TempDir dir;
    const std::string folder = dir / "locked";
    fs::create_directory(folder);
    std::optional<SmallFileSystem> small;
    if (::geteuid() == 0) {
        // Permission bits do not stop root: a read-only file system does.
        small.emplace(folder);
        if (!small->mounted) {
            GTEST_SKIP() << "running as root and cannot mount a tmpfs: " << std::strerror(errno);
        }
        WriteBytes(folder + "/out.bmp", kOldContents);
        ASSERT_TRUE(small->Mount(MS_REMOUNT | MS_RDONLY)) << std::strerror(errno);
    } else {
        WriteBytes(folder + "/out.bmp", kOldContents);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    ExpectFails(folder + "/out.bmp", small ? kErrPathFileAccess : kErrPermissionDenied, folder,
                {"out.bmp"});
}

// Under `ulimit -f` each failed BMP is reported; the run goes on, counts them and exits 1.
TEST(FailingOutput, ConverterRunGoesOnPastFailedFiles) {
    TempDir dir;
    // A 32 x 32 BMP (4150 bytes) fits under the limit, a 128 x 128 one (65590) does not.
    for (const auto &[name, size] : {std::pair{"big1", 128}, {"small1", 32}, {"big2", 128}})
        WriteBytes(dir / name + ".iff", TestPicture(size, 4, static_cast<unsigned>(size + 3)));
    WriteBytes(dir / "big2.bmp", kOldContents);
    const auto [status, err] = InChild([&] {
        const rlimit rl{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        Exec({"-m", "1", "-j", "2", dir.Path()});
    });
    EXPECT_EQ(status, cli::kExitFailed) << "1000 + signal when a signal ended it";
    for (const char *big : {"big1", "big2"})
        EXPECT_TRUE(Contains(err, dir / big + ".iff: ") && Contains(err, dir / big + ".bmp"))
            << "names the input and the output: " << err;
    EXPECT_TRUE(Contains(err, "converted 1, skipped 0 (BMP exists), failed 2")) << err;
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"big1.iff", "big2.bmp", "big2.iff",
                                                       "small1.bmp", "small1.iff"}));
    EXPECT_EQ(ReadBytes(dir / "big2.bmp"), kOldContents);
    EXPECT_EQ(fs::file_size(dir / "small1.bmp"), 54u + 4 * 32 * 32);
}

} // namespace
