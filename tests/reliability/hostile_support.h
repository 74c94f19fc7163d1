#pragma once
// Helpers of the reliability tests: pictures, child processes, the converter.
#include "tests/support/ilbm_writer.h"
#include "tests/support/temp_dir.h"

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace tambrel::test {

inline const Bytes kOldContents = {'o', 'l', 'd', '\n'};

// A packed size x size picture of `planes` planes with a grey palette.
Bytes TestPicture(int size, int planes, unsigned seed);

inline bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

// A child process running `body`, its standard error on `errFd`, ended within 60 s.
pid_t Fork(int errFd, const std::function<void()> &body);
// Replaces the (child) process with the converter program.
[[noreturn]] void Exec(const std::vector<std::string> &args);
// A child's exit status, 1000 + signal when a signal ended it.
int Wait(pid_t pid);

// An exit status and what was written to standard error.
struct Outcome {
    int status;
    std::string err;
};
// `body` run to its end in a child process.
Outcome InChild(const std::function<void()> &body);
// cli::run in this process.
Outcome InProcess(const std::vector<std::string> &args);

} // namespace tambrel::test
