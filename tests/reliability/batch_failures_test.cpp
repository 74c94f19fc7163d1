// Batch conversions where some outputs cannot be written: the converter goes
// on with the next file, reports every failed file with its reason, counts the
// failures in its summary, exits with status 1 and leaves no partial or
// temporary file behind.
#include "cli/converter.h"
#include "tests/reliability/hostile_support.h"
#include "tests/support/ilbm_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <sstream>

using namespace tambrel::test;
namespace fs = std::filesystem;

namespace {

const Bytes kOldContents = {'o', 'l', 'd', '\n'};

Bytes Picture(int size, unsigned seed) {
    SimpleIlbm s;
    s.Image = ChunkyImage(size, size, 4);
    for (std::size_t i = 0; i < s.Image.Pixels.size(); ++i) {
        s.Image.Pixels[i] = static_cast<std::uint8_t>((i * seed) & 15);
    }
    for (std::uint32_t i = 0; i < 16; ++i) {
        s.Colours.push_back(i * 0x0F0E0Du);
    }
    s.ModeId = 0;
    s.Compressed = true;
    return BuildSimple(s);
}

std::size_t BmpSize(int size) {
    return 54 + 4 * static_cast<std::size_t>(size) * size;
}

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

struct RunResult {
    int status;
    std::string out, err;
};

RunResult Convert(const std::vector<std::string> &args) {
    std::ostringstream out, err;
    const int status = tambrel::cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(BatchFailures, FoldersInPlaceOfSomeOutputs) {
    ScratchDir dir;
    const std::string in = dir / "in";
    const std::string out = dir / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    for (const char *name : {"a", "b", "c", "d", "e"}) {
        WriteBytes(in + "/" + name + ".iff", Picture(24, static_cast<unsigned>(name[0])));
    }
    // b.bmp and d.bmp cannot be replaced: folders stand in their place.
    fs::create_directory(out + "/b.bmp");
    fs::create_directory(out + "/d.bmp");

    const RunResult r = Convert({"-m", "1", "-j", "2", "-o", out, in});
    EXPECT_EQ(r.status, tambrel::cli::kExitFailed);
    for (const char *failed : {"b", "d"}) {
        const std::string line = in + "/" + failed + ".iff: ";
        EXPECT_TRUE(Contains(r.err, line)) << r.err;
        EXPECT_TRUE(Contains(r.err, out + "/" + failed + ".bmp")) << "names the output: " << r.err;
    }
    EXPECT_FALSE(Contains(r.err, in + "/a.iff:")) << r.err;
    EXPECT_TRUE(Contains(r.err, "converted 3, skipped 0 (BMP exists), failed 2")) << r.err;
    // The failures come before the summary, which is the last line.
    EXPECT_LT(r.err.rfind(in + "/d.iff: "), r.err.rfind("converted 3"));

    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(out)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"}));
    for (const char *written : {"a", "c", "e"}) {
        EXPECT_EQ(fs::file_size(out + "/" + written + ".bmp"), BmpSize(24));
    }
    EXPECT_TRUE(fs::is_empty(out + "/b.bmp"));
}

// Runs `body` in a child process with a file size limit that ignores SIGXFSZ;
// the child's exit status is body's result, its report comes back through a pipe.
std::pair<int, std::string> InChild(rlim_t limit, const std::function<RunResult()> &body) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {-1, "pipe failed"};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        const RunResult r = body();
        [[maybe_unused]] auto n = ::write(fds[1], r.err.data(), r.err.size());
        ::_exit(r.status);
    }
    ::close(fds[1]);
    std::string report;
    char buf[4096];
    ssize_t got;
    while ((got = ::read(fds[0], buf, sizeof buf)) > 0) {
        report.append(buf, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status), report};
}

TEST(BatchFailures, FullDiskFailsTheLargePicturesOnly) {
    ScratchDir dir;
    const std::string in = dir / "in";
    fs::create_directories(in);
    // BMPs of 4150 bytes (32 x 32) fit under the limit, those of 65590 (128 x 128) do not.
    const std::vector<std::pair<std::string, int>> pictures = {
        {"big1", 128}, {"small1", 32}, {"big2", 128}, {"small2", 32}, {"small3", 32}};
    for (const auto &[name, size] : pictures) {
        WriteBytes(in + "/" + name + ".iff", Picture(size, static_cast<unsigned>(size + 3)));
    }
    WriteBytes(in + "/big2.bmp", kOldContents);

    const auto [status, err] = InChild(20000, [&] { return Convert({"-m", "1", "-j", "2", in}); });
    EXPECT_EQ(status, tambrel::cli::kExitFailed) << err;
    for (const char *big : {"big1", "big2"}) {
        EXPECT_TRUE(Contains(err, in + "/" + big + ".iff: ")) << err;
        EXPECT_TRUE(Contains(err, in + "/" + big + ".bmp")) << "names the output: " << err;
    }
    EXPECT_TRUE(Contains(err, "converted 3, skipped 0 (BMP exists), failed 2")) << err;

    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(in)) {
        names.push_back(e.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"big1.iff", "big2.bmp", "big2.iff", "small1.bmp",
                                               "small1.iff", "small2.bmp", "small2.iff",
                                               "small3.bmp", "small3.iff"}));
    EXPECT_EQ(ReadBytes(in + "/big2.bmp"), kOldContents);
    EXPECT_EQ(fs::file_size(in + "/small2.bmp"), BmpSize(32));
}

// An ostream that removes the output folder at the first text the converter
// reports, that is just after the first file was written (-v reports each file).
class RemoveFolderOnFirstWrite : public std::stringbuf {
  public:
    explicit RemoveFolderOnFirstWrite(std::string folder) : folder_(std::move(folder)) {}

  protected:
    std::streamsize xsputn(const char *s, std::streamsize n) override {
        if (!removed_) {
            removed_ = true;
            std::error_code ec;
            fs::remove_all(folder_, ec);
        }
        return std::stringbuf::xsputn(s, n);
    }

  private:
    std::string folder_;
    bool removed_ = false;
};

TEST(BatchFailures, OutputFolderRemovedDuringTheRun) {
    ScratchDir dir;
    const std::string in = dir / "in";
    const std::string out = dir / "out";
    fs::create_directories(in);
    fs::create_directories(out);
    constexpr int kFiles = 200;
    for (int i = 0; i < kFiles; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "p%03d.iff", i);
        WriteBytes(in + "/" + name, Picture(128, static_cast<unsigned>(i + 1)));
    }
    RemoveFolderOnFirstWrite buf(out);
    std::ostream err(&buf);
    std::ostringstream stdoutText;
    const int status =
        tambrel::cli::run({"-v", "-m", "1", "-j", "1", "-o", out, in}, stdoutText, err);
    const std::string text = buf.str();

    // Count what the run reported: every file is either written or failed.
    int written = 0, failed = 0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(" -> " + out + "/") != std::string::npos) {
            ++written;
        } else if (line.starts_with(in + "/")) {
            ++failed;
            EXPECT_NE(line.find(out + "/p"), std::string::npos) << "names the output: " << line;
        }
    }
    if (failed == 0) {
        GTEST_SKIP() << "the run ended before the folder was removed";
    }
    EXPECT_EQ(status, tambrel::cli::kExitFailed);
    EXPECT_EQ(written + failed, kFiles) << text;
    EXPECT_TRUE(Contains(text, "converted " + std::to_string(written) +
                                   ", skipped 0 (BMP exists), failed " + std::to_string(failed)))
        << text;
    EXPECT_FALSE(fs::exists(out)) << "nothing re-created the removed folder";
    // Nothing went anywhere else.
    for (const auto &e : fs::directory_iterator(in)) {
        EXPECT_EQ(e.path().extension(), ".iff") << e.path();
    }
}

#ifdef TAMBREL_CONVERT_PATH
// The installed program itself under `ulimit -f`: it must report the full disk
// and go on, not be ended by SIGXFSZ.
TEST(ConverterProgram, FileSizeLimitGivesAnErrorNotASignal) {
    ScratchDir dir;
    WriteBytes(dir / "big.iff", Picture(128, 5));
    WriteBytes(dir / "small.iff", Picture(16, 5));
    const pid_t pid = ::fork();
    if (pid == 0) {
        const rlimit rl{20000, 20000};
        ::setrlimit(RLIMIT_FSIZE, &rl);
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 2);
        ::execl(TAMBREL_CONVERT_PATH, "tambrel-convert", "-j", "1", dir.Path().c_str(),
                static_cast<char *>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), tambrel::cli::kExitFailed);
    EXPECT_TRUE(fs::exists(dir / "small.bmp"));
    EXPECT_FALSE(fs::exists(dir / "big.bmp"));
}
#endif

} // namespace
