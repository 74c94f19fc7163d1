#pragma once
// tambrel-convert: converts IFF ILBM files and folders to BMP files (and the
// raw and palette exports) from the command line. The whole program is run();
// main() only hands it the arguments and the standard streams.
#include <ostream>
#include <string>
#include <vector>

namespace tambrel::cli {

// Exit statuses.
inline constexpr int kExitOk = 0;     // nothing failed (files skipped by the save mode included)
inline constexpr int kExitFailed = 1; // at least one file could not be converted
inline constexpr int kExitUsage = 2;  // bad command line; nothing was converted

struct RunEnvironment {
    // Show the carriage-return progress line on `err` while a folder is converted.
    bool progress = false;
};

// Runs the converter with `args` (without the program name). The progress line
// is shown when `err` is std::cerr and the standard error is a terminal.
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err);

// The same with the environment given explicitly (tests force the progress line).
int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
        const RunEnvironment &env);

// The jobs run at once for `asked` (0: one per processor): at most four per
// processor, as more only add waiting.
unsigned JobCount(unsigned asked, unsigned processors);

// The usage text printed by --help and after a usage error.
std::string UsageText();

} // namespace tambrel::cli
