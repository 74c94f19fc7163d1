#include "tests/reliability/hostile_support.h"

#include "cli/converter.h"

#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

namespace tambrel::test {

Bytes TestPicture(int size, int planes, unsigned seed) {
    SimpleIlbm s{ChunkyImage(size, size, planes), {}, 0u, true};
    for (std::size_t i = 0; i < s.Image.Pixels.size(); ++i)
        s.Image.Pixels[i] = static_cast<std::uint8_t>((i * seed) & ((1u << planes) - 1));
    for (std::uint32_t i = 0; i < (1u << planes); ++i)
        s.Colours.push_back(i * 0x010101u);
    return BuildSimple(s);
}

pid_t Fork(int errFd, const std::function<void()> &body) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errFd, 2);
        ::alarm(60);
        body();
        ::_exit(0);
    }
    return pid;
}

void Exec(const std::vector<std::string> &args) {
    std::vector<char *> argv{const_cast<char *>("tambrel-convert")};
    for (const std::string &a : args)
        argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(TAMBREL_CONVERT_PATH, argv.data());
    ::_exit(127);
}

int Wait(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
}

Outcome InChild(const std::function<void()> &body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {-1, "pipe failed"};
    const pid_t pid = Fork(fds[1], [&] {
        ::close(fds[0]);
        body();
    });
    ::close(fds[1]);
    std::string err;
    char buf[4096];
    for (ssize_t got; (got = ::read(fds[0], buf, sizeof buf)) > 0;)
        err.append(buf, static_cast<std::size_t>(got));
    ::close(fds[0]);
    return {Wait(pid), err};
}

Outcome InProcess(const std::vector<std::string> &args) {
    std::ostringstream out, err;
    const int status = cli::run(args, out, err);
    return {status, err.str()};
}

} // namespace tambrel::test
