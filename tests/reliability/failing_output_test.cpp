// Output that cannot be written: a folder in place of the output name, a
// missing output folder, a full disk (file size limit, and a small full file
// system where mounting is allowed) and a read-only folder. For each writer:
// a clear error naming the file, no partial or temporary file, and an earlier
// file of that name left as it was.
#include "decoder/errors.h"
#include "decoder/iff_loader.h"
#include "output/bmp_writer.h"
#include "output/exports.h"
#include "output/file_functions.h"
#include "tests/reliability/hostile_support.h"
#include "tests/support/ilbm_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>

using namespace tambrel;
using namespace tambrel::test;
namespace fs = std::filesystem;

namespace {

const Bytes kOldContents = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e', '\n'};

// A decoded 8-plane picture: BMP 64 x 64 x 4 + 54 bytes, raw colours 65 x 65 x 4,
// raw indices 65 x 65, palette 256 lines of 9 bytes; all above 1024 bytes.
std::unique_ptr<IFF_Picture> Loaded(int size = 64) {
    SimpleIlbm s;
    s.Image = ChunkyImage(size, size, 8);
    for (std::size_t i = 0; i < s.Image.Pixels.size(); ++i) {
        s.Image.Pixels[i] = static_cast<std::uint8_t>(i * 7);
    }
    for (std::uint32_t i = 0; i < 256; ++i) {
        s.Colours.push_back(i * 0x010101u);
    }
    s.ModeId = 0;
    s.Compressed = true;
    auto pic = std::make_unique<IFF_Picture>();
    if (LoadIffPictureFromMemory(*pic, BuildSimple(s), "/pics/out.iff", false) != 1) {
        ADD_FAILURE() << "test picture did not load";
    }
    return pic;
}

struct Writer {
    const char *name;
    std::function<void(const IFF_Picture &, const std::string &)> write;
};

std::vector<Writer> Writers() {
    return {
        {"bmp", [](const IFF_Picture &p,
                   const std::string &f) { WriteBitmapFile(p, f, p.Width, p.Height); }},
        {"bmp_by_save_mode_1",
         [](const IFF_Picture &p, const std::string &f) { SaveBitmapByMode(p, f, 1); }},
        {"raw_colours", WriteRawColours},
        {"raw_indices", WriteRawIndices},
        {"palette_text", WritePaletteText},
    };
}

void PrintTo(const Writer &w, std::ostream *os) {
    *os << w.name;
}

class FailingOutput : public ::testing::TestWithParam<Writer> {};

std::string WriterName(const ::testing::TestParamInfo<Writer> &info) {
    return info.param.name;
}

// Runs the writer and returns the error it raised (number 0 when none).
TambrelError Attempt(const Writer &w, const IFF_Picture &pic, const std::string &file) {
    try {
        w.write(pic, file);
    } catch (const TambrelError &e) {
        return e;
    }
    return TambrelError(0, "");
}

TEST_P(FailingOutput, FolderInPlaceOfTheOutputName) {
    ScratchDir dir;
    const std::string target = dir / "out.bmp";
    fs::create_directory(target);
    WriteBytes(target + "/inside", kOldContents);
    const auto pic = Loaded();

    const TambrelError e = Attempt(GetParam(), *pic, target);
    EXPECT_EQ(e.Number, kErrPathFileAccess);
    EXPECT_NE(e.Description.find(target), std::string::npos) << e.Description;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bmp"});
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(ReadBytes(target + "/inside"), kOldContents);
}

TEST_P(FailingOutput, MissingOutputFolder) {
    ScratchDir dir;
    const std::string target = dir / "missing/out.bmp";
    const auto pic = Loaded();

    const TambrelError e = Attempt(GetParam(), *pic, target);
    EXPECT_EQ(e.Number, kErrPathNotFound);
    EXPECT_NE(e.Description.find(target), std::string::npos) << e.Description;
    EXPECT_TRUE(dir.Entries().empty());
}

// A child process with a file size limit of 1024 bytes that ignores SIGXFSZ,
// as a program writing files must: the write fails with EFBIG instead of the
// signal ending the process. The child sends back the error's number and text.
struct ChildOutcome {
    bool exited = false;
    int status = -1;
    int signal = 0;
    std::string report;
};

ChildOutcome InChildWithFileLimit(rlim_t limit, bool ignoreSignal,
                                  const std::function<std::string()> &body) {
    int fds[2];
    if (::pipe(fds) != 0) {
        ADD_FAILURE() << "pipe failed";
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (ignoreSignal) {
            ::signal(SIGXFSZ, SIG_IGN);
        }
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        const std::string report = body();
        [[maybe_unused]] auto n = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    ChildOutcome out;
    char buf[4096];
    ssize_t got;
    while ((got = ::read(fds[0], buf, sizeof buf)) > 0) {
        out.report.append(buf, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    out.exited = WIFEXITED(status);
    out.status = out.exited ? WEXITSTATUS(status) : -1;
    out.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return out;
}

TEST_P(FailingOutput, FileSizeLimitIsReportedAsDiskFull) {
    ScratchDir dir;
    const std::string target = dir / "out.bmp";
    WriteBytes(target, kOldContents);
    const auto pic = Loaded();
    const Writer w = GetParam();

    const ChildOutcome child = InChildWithFileLimit(1024, true, [&] {
        const TambrelError e = Attempt(w, *pic, target);
        return std::to_string(e.Number) + " " + e.Description;
    });
    ASSERT_TRUE(child.exited) << "ended by signal " << child.signal;
    EXPECT_EQ(child.report.substr(0, 3), std::to_string(kErrDiskFull) + " ") << child.report;
    EXPECT_NE(child.report.find(target), std::string::npos) << child.report;
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.bmp"});
    EXPECT_EQ(ReadBytes(target), kOldContents);
}

// A small tmpfs mounted over a fresh folder; skipped where mounting is not allowed.
class SmallFileSystem {
  public:
    explicit SmallFileSystem(const std::string &dir) : dir_(dir) {
        mounted_ = ::mount("tmpfs", dir.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") == 0;
    }
    ~SmallFileSystem() {
        if (mounted_) {
            ::umount2(dir_.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return mounted_; }
    bool MakeReadOnly() {
        return ::mount("tmpfs", dir_.c_str(), "tmpfs",
                       MS_REMOUNT | MS_RDONLY | MS_NOSUID | MS_NODEV, "size=64k") == 0;
    }

  private:
    std::string dir_;
    bool mounted_ = false;
};

TEST_P(FailingOutput, FullFileSystem) {
    ScratchDir dir;
    const std::string mountPoint = dir / "small";
    fs::create_directory(mountPoint);
    SmallFileSystem small(mountPoint);
    if (!small.Mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
    }
    const std::string target = mountPoint + "/out.bmp";
    WriteBytes(target, kOldContents);
    // Fill the file system to the last block (a partly written file is the
    // file size limit test's case).
    {
        const int fd = ::open((mountPoint + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        std::vector<char> block(4096, 'x');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        ::close(fd);
    }
    const auto pic = Loaded(128);

    const TambrelError e = Attempt(GetParam(), *pic, target);
    EXPECT_EQ(e.Number, kErrDiskFull) << e.Description;
    EXPECT_NE(e.Description.find(target), std::string::npos) << e.Description;
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(mountPoint)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"filler", "out.bmp"}));
    EXPECT_EQ(ReadBytes(target), kOldContents);
}

TEST_P(FailingOutput, ReadOnlyFolder) {
    ScratchDir dir;
    const std::string folder = dir / "locked";
    fs::create_directory(folder);
    const std::string target = folder + "/out.bmp";
    std::unique_ptr<SmallFileSystem> small;
    int expected = kErrPermissionDenied;
    if (::geteuid() == 0) {
        // Permission bits do not stop root: a read-only file system does.
        small = std::make_unique<SmallFileSystem>(folder);
        if (!small->Mounted()) {
            GTEST_SKIP() << "running as root and cannot mount a tmpfs: " << std::strerror(errno);
        }
        WriteBytes(target, kOldContents);
        ASSERT_TRUE(small->MakeReadOnly()) << std::strerror(errno);
        expected = kErrPathFileAccess;
    } else {
        WriteBytes(target, kOldContents);
        fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
    }
    const auto pic = Loaded();

    const TambrelError e = Attempt(GetParam(), *pic, target);
    EXPECT_EQ(e.Number, expected) << e.Description;
    EXPECT_NE(e.Description.find(target), std::string::npos) << e.Description;
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(names, std::vector<std::string>{"out.bmp"});
    EXPECT_EQ(ReadBytes(target), kOldContents);
}

INSTANTIATE_TEST_SUITE_P(Writers, FailingOutput, ::testing::ValuesIn(Writers()), WriterName);

// Why a program that writes files must ignore SIGXFSZ: by default, reaching
// the file size limit ends the process before any error can be reported.
TEST(FileSizeLimit, DefaultSignalEndsTheWriter) {
    ScratchDir dir;
    const auto pic = Loaded();
    const std::string target = dir / "out.bmp";
    const ChildOutcome child = InChildWithFileLimit(1024, false, [&] {
        WriteBitmapFile(*pic, target, pic->Width, pic->Height);
        return std::string("written");
    });
    EXPECT_FALSE(child.exited);
    EXPECT_EQ(child.signal, SIGXFSZ);
}

} // namespace
