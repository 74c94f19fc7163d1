// tambrel-convert's entry point: everything else is in run().
#include "cli/converter.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    return tambrel::cli::run(args, std::cout, std::cerr);
}
