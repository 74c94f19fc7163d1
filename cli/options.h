#pragma once
// The converter's command line: what it asks for, read from the arguments.
#include "output/alpha_rule.h"
#include "output/file_functions.h"
#include "output/png_encoder.h"

#include <optional>
#include <string>
#include <vector>

namespace tambrel::cli {

struct Options {
    int saveMode = 2;
    OutputFormat format = OutputFormat::Bmp;
    PngLevel pngLevel = PngLevel::Default;
    AlphaRule alpha = AlphaRule::Auto;
    std::optional<std::string> outDir;
    std::optional<std::string> rgbFile;
    std::optional<std::string> lutFile;
    std::optional<std::string> paletteFile;
    bool noBmp = false;
    bool info = false;
    bool log = false;
    bool verbose = false;
    bool allPictures = false; // every picture of a CAT or LIST, not the first only
    unsigned jobs = 0;        // 0: the number of cores
    std::vector<std::string> paths;
};

struct UsageError {
    std::string message;
};

// What the command line asks for beyond converting.
enum class Request { Convert, Help, Version };

// Reads the options and paths of `args` into `opt`; throws UsageError.
Request ParseArguments(const std::vector<std::string> &args, Options &opt);

} // namespace tambrel::cli
