// Outputs that cannot be written, for every writer: an error naming the file,
// no partial or temporary file, an earlier file of that name unchanged.
#include "common/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "output/exports.h"
#include "output/file_functions.h"
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

struct Writer {
    const char *name;
    std::function<void(const IFF_Picture &, const std::string &)> write;
};

void PrintTo(const Writer &w, std::ostream *os) {
    *os << w.name;
}

const Writer kWriters[] = {
    {"bmp",
     [](const IFF_Picture &p, const std::string &f) { WriteBitmapFile(p, f, p.Width, p.Height); }},
    {"bmp_by_save_mode_1",
     [](const IFF_Picture &p, const std::string &f) { SaveBitmapByMode(p, f, 1); }},
    {"raw_colours", WriteRawColours},
    {"raw_indices", WriteRawIndices},
    {"palette_text", WritePaletteText},
};

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

class FailingOutput : public ::testing::TestWithParam<Writer> {
  protected:
    // Writes a 128 x 128 8-plane picture (every output over 1024 bytes) into
    // `target`; expects error `number` naming it, `folder` holding `names`
    // afterwards and an earlier `target` file unchanged.
    void ExpectFails(const std::string &target, int number, const std::string &folder,
                     const std::vector<std::string> &names) {
        auto pic = std::make_unique<IFF_Picture>();
        ASSERT_EQ(LoadIffPictureFromMemory(*pic, TestPicture(128, 8, 7), "/p/o.iff", false), 1);
        const bool existed = fs::is_regular_file(target);
        TambrelError e(0, "");
        try {
            GetParam().write(*pic, target);
        } catch (const TambrelError &raised) {
            e = raised;
        }
        EXPECT_EQ(e.Number, number) << e.Description;
        EXPECT_TRUE(e.Description.find(target) != std::string::npos) << e.Description;
        EXPECT_EQ(TempDir::EntriesOf(folder), names);
        if (existed) {
            EXPECT_EQ(ReadBytes(target), kOldContents);
        }
    }
};

TEST_P(FailingOutput, FolderInPlaceOfTheOutputName) {
    TempDir dir;
    fs::create_directory(dir / "out.bmp");
    WriteBytes(dir / "out.bmp/inside", kOldContents);
    ExpectFails(dir / "out.bmp", kErrPathFileAccess, dir.Path(), {"out.bmp"});
    EXPECT_EQ(ReadBytes(dir / "out.bmp/inside"), kOldContents);
}

TEST_P(FailingOutput, MissingOutputFolder) {
    TempDir dir;
    ExpectFails(dir / "missing/out.bmp", kErrPathNotFound, dir.Path(), {});
}

TEST_P(FailingOutput, FileSizeLimitIsReportedAsDiskFull) {
    TempDir dir;
    WriteBytes(dir / "out.bmp", kOldContents);
    const auto [status, report] = InChild([&] {
        ::signal(SIGXFSZ, SIG_IGN); // as the programs do
        const rlimit rl{1024, 1024};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        ExpectFails(dir / "out.bmp", kErrDiskFull, dir.Path(), {"out.bmp"});
        std::cerr << (HasFailure() ? "failed" : "ok");
    });
    EXPECT_EQ(status, 0) << "ended by signal " << status - 1000;
    EXPECT_EQ(report, "ok") << "see the child's failures above";
}

TEST_P(FailingOutput, FullFileSystem) {
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

TEST_P(FailingOutput, ReadOnlyFolder) {
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

INSTANTIATE_TEST_SUITE_P(Writers, FailingOutput, ::testing::ValuesIn(kWriters),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
