// tambrel-convert's entry point: everything else is in run().
#include "cli/converter.h"
#include "output/atomic_file.h"

#include <csignal>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    // A reader that goes away early (tambrel-convert --info DIR | head) must not
    // stop the conversion halfway: the lost lines are dropped, the files still written.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit must fail the write (and be reported), not end the run.
    tambrel::PrepareOutputSignals();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tambrel::cli::run(args, std::cout, std::cerr);
}
