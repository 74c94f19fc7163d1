#include "tests/reliability/hostile_support.h"

#include "cli/converter.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <malloc.h>
#include <new>
#include <sstream>

namespace {

std::atomic<std::size_t> largest{0}, held{0}, peak{0}, baseline{0};

void *Allocate(std::size_t size) {
    void *p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    std::size_t seen = largest.load();
    while (size > seen && !largest.compare_exchange_weak(seen, size)) {
    }
    // The usable size, so the matching delete subtracts exactly what was added.
    const std::size_t now = held.fetch_add(malloc_usable_size(p)) + malloc_usable_size(p);
    std::size_t top = peak.load();
    while (now > top && !peak.compare_exchange_weak(top, now)) {
    }
    return p;
}

void Release(void *p) {
    if (p != nullptr) {
        held.fetch_sub(malloc_usable_size(p));
        std::free(p);
    }
}

std::uint32_t LongAt(const tambrel::test::Bytes &b, std::size_t p) {
    return std::uint32_t{b[p]} << 24 | std::uint32_t{b[p + 1]} << 16 |
           std::uint32_t{b[p + 2]} << 8 | b[p + 3];
}

// Everything read from `fd` until its end; closes it.
std::string ReadToEnd(int fd) {
    std::string text;
    char buf[4096];
    for (ssize_t got; (got = ::read(fd, buf, sizeof buf)) > 0;) {
        text.append(buf, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return text;
}

} // namespace

void *operator new(std::size_t size) {
    return Allocate(size);
}
void *operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void *p) noexcept {
    Release(p);
}
void operator delete[](void *p) noexcept {
    Release(p);
}
void operator delete(void *p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void *p, std::size_t) noexcept {
    Release(p);
}

namespace tambrel::test {

void ResetAllocationProbe() {
    largest = 0;
    baseline = held.load();
    peak = baseline.load();
}
std::size_t LargestAllocation() {
    return largest.load();
}
std::size_t PeakHeldSinceReset() {
    return peak.load() - baseline.load();
}

Bytes TestPicture(int size, int planes, unsigned seed) {
    SimpleIlbm s;
    s.Image = ChunkyImage(size, size, planes);
    for (std::size_t i = 0; i < s.Image.Pixels.size(); ++i) {
        s.Image.Pixels[i] = static_cast<std::uint8_t>((i * seed) & ((1u << planes) - 1));
    }
    for (std::uint32_t i = 0; i < (1u << planes); ++i) {
        s.Colours.push_back(i * 0x010101u);
    }
    s.ModeId = 0;
    s.Compressed = true;
    return BuildSimple(s);
}

std::vector<ChunkAt> ChunksOf(const Bytes &file) {
    std::vector<ChunkAt> chunks;
    for (std::size_t p = 12; p + 8 <= file.size();) {
        const std::uint32_t size = LongAt(file, p + 4);
        chunks.push_back({std::string(file.begin() + static_cast<std::ptrdiff_t>(p),
                                      file.begin() + static_cast<std::ptrdiff_t>(p) + 4),
                          p});
        p += 8 + std::size_t{size} + (size & 1);
    }
    return chunks;
}

std::vector<std::size_t> RowEnds(const Bytes &file, std::size_t dataStart, int height, int planes,
                                 std::size_t rowBytes, bool packed) {
    std::vector<std::size_t> ends;
    std::size_t p = dataStart;
    for (int y = 0; y < height; ++y) {
        for (int plane = 0; plane < planes; ++plane) {
            if (!packed) {
                p += rowBytes;
                continue;
            }
            for (std::size_t produced = 0; produced < rowBytes;) {
                const std::uint32_t n = p < file.size() ? file[p] : 0;
                ++p;
                if (n <= 127) {
                    p += n + 1;
                    produced += n + 1;
                } else if (n >= 129) {
                    p += 1;
                    produced += 257 - n;
                }
            }
        }
        ends.push_back(p);
    }
    return ends;
}

std::optional<std::uint32_t> BitmapPixel(const Bytes &bmp, int x, int y) {
    if (bmp.size() < 54) {
        return std::nullopt;
    }
    const std::size_t width = LongAt({bmp[21], bmp[20], bmp[19], bmp[18]}, 0);
    const std::size_t height = LongAt({bmp[25], bmp[24], bmp[23], bmp[22]}, 0);
    const std::size_t pos = 54 + ((height - 1 - std::size_t(y)) * width + std::size_t(x)) * 4;
    if (pos + 4 > bmp.size()) {
        return std::nullopt;
    }
    return std::uint32_t{bmp[pos + 2]} << 16 | std::uint32_t{bmp[pos + 1]} << 8 | bmp[pos];
}

std::pair<int, std::string> InChildWithFileLimit(rlim_t limit,
                                                 const std::function<std::string()> &body) {
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
        const std::string report = body();
        [[maybe_unused]] auto n = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    const std::string report = ReadToEnd(fds[0]);
    return {Wait(pid), report};
}

pid_t Start(const std::vector<std::string> &args, int errFd, const std::function<void()> &inChild) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errFd, 2);
        ::alarm(60);
        if (inChild) {
            inChild();
        }
        std::vector<char *> argv{const_cast<char *>("tambrel-convert")};
        for (const std::string &a : args) {
            argv.push_back(const_cast<char *>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(TAMBREL_CONVERT_PATH, argv.data());
        ::_exit(127);
    }
    return pid;
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

Outcome Program(const std::vector<std::string> &args, const std::function<void()> &inChild) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return {-1, "pipe failed"};
    }
    const pid_t pid = Start(args, fds[1], [&] {
        ::close(fds[0]);
        if (inChild) {
            inChild();
        }
    });
    ::close(fds[1]);
    const std::string err = ReadToEnd(fds[0]);
    return {Wait(pid), err};
}

Outcome InProcess(const std::vector<std::string> &args) {
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, err.str()};
}

} // namespace tambrel::test
