// The converter's command line: its options and the usage text.
#include "cli/options.h"

#include "cli/converter.h"
#include "common/text.h"
#include "convert/export_kinds.h"

#include <charconv>

namespace tambrel::cli {

namespace {

bool ParseCount(const std::string &text, long min, long max, long &value) {
    const char *first = text.data();
    const char *last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && !text.empty() && value >= min && value <= max;
}

} // namespace

Request ParseArguments(const std::vector<std::string> &args, Options &opt) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            opt.paths.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }

        // Split "--name=value" and "-xVALUE" into the option and an attached value.
        std::string name = arg;
        std::optional<std::string> attached;
        if (arg.rfind("--", 0) == 0) {
            const auto eq = arg.find('=');
            if (eq != std::string::npos) {
                name = arg.substr(0, eq);
                attached = arg.substr(eq + 1);
            }
        } else if (arg.size() > 2) {
            name = arg.substr(0, 2);
            attached = arg.substr(2);
        }

        auto value = [&]() -> std::string {
            if (attached) {
                return *attached;
            }
            if (i + 1 >= args.size()) {
                throw UsageError{"option " + QuotedName(name) + " needs a value"};
            }
            return args[++i];
        };
        auto noValue = [&]() {
            if (attached) {
                throw UsageError{"option " + QuotedName(name) + " takes no value"};
            }
        };

        if (name == "-h" || name == "--help") {
            noValue();
            return Request::Help;
        } else if (name == "--version") {
            noValue();
            return Request::Version;
        } else if (name == "-o" || name == "--output") {
            opt.outDir = value();
            if (opt.outDir->empty()) {
                throw UsageError{"option " + QuotedName(name) + " needs a folder"};
            }
        } else if (name == "-m" || name == "--save-mode") {
            const std::string text = value();
            long mode = 0;
            if (!ParseCount(text, 0, 2, mode)) {
                throw UsageError{"save mode must be 0, 1 or 2, not \"" + QuotedName(text) + "\""};
            }
            opt.saveMode = static_cast<int>(mode);
        } else if (name == "-f" || name == "--format") {
            const std::string text = value();
            if (text == "bmp") {
                opt.format = OutputFormat::Bmp;
            } else if (text == "png") {
                opt.format = OutputFormat::Png;
            } else {
                throw UsageError{"format must be bmp or png, not \"" + QuotedName(text) + "\""};
            }
        } else if (name == "--png-level") {
            const std::string text = value();
            if (!ParsePngLevel(text, opt.pngLevel)) {
                throw UsageError{"PNG level must be fast, default or small, not \"" +
                                 QuotedName(text) + "\""};
            }
        } else if (name == "--alpha") {
            const std::string text = value();
            if (!ParseAlphaRule(text, opt.alpha)) {
                throw UsageError{"alpha must be auto, mask, colour or none, not \"" +
                                 QuotedName(text) + "\""};
            }
        } else if (name == "-j" || name == "--jobs") {
            const std::string text = value();
            long jobs = 0;
            if (!ParseCount(text, 1, 1024, jobs)) {
                throw UsageError{"jobs must be a number from 1 to 1024, not \"" + QuotedName(text) +
                                 "\""};
            }
            opt.jobs = static_cast<unsigned>(jobs);
        } else if (name == "--rgb" || name == "--lut" || name == "--palette") {
            std::optional<std::string> &target = name == "--rgb"   ? opt.rgbFile
                                                 : name == "--lut" ? opt.lutFile
                                                                   : opt.paletteFile;
            target = value();
            if (target->empty()) {
                throw UsageError{"option " + QuotedName(name) + " needs a file name"};
            }
        } else if (name == "--no-bmp") {
            noValue();
            opt.noBmp = true;
        } else if (name == "--info") {
            noValue();
            opt.info = true;
        } else if (name == "--log") {
            noValue();
            opt.log = true;
        } else if (name == "--all-pictures") {
            noValue();
            opt.allPictures = true;
        } else if (name == "-v" || name == "--verbose") {
            noValue();
            opt.verbose = true;
        } else {
            throw UsageError{"unknown option " + QuotedName(name)};
        }
    }
    return Request::Convert;
}

std::string UsageText() {
    return "Usage: tambrel-convert [options] PATH...\n"
           "Converts Amiga IFF pictures (ILBM, PBM, ACBM) to 32-bit BMP files. Each PATH\n"
           "is an IFF file, or a folder whose files ending in \".iff\" (any letter case)\n"
           "and whose other files that start as an IFF picture are all converted (not\n"
           "its sub-folders). Each BMP is written next to its source, named like it\n"
           "with the extension \".bmp\".\n"
           "\n"
           "Options:\n"
           "  -f, --format F       write F files: bmp (default) or png, named NAME.F\n"
           "      --png-level L    PNG compression: fast, default or small (smallest\n"
           "                       files, slowest)\n"
           "      --alpha A        PNG transparency: auto (default; the transparent\n"
           "                       colour only for pictures smaller than their page),\n"
           "                       mask (mask plane only), colour (always) or none\n"
           "  -o, --output DIR     write the BMP files into the existing folder DIR\n"
           "  -m, --save-mode N    what to do when the BMP file exists (default 2):\n"
           "                         0  keep it and skip the picture\n"
           "                         1  overwrite it\n"
           "                         2  write NAME(1).bmp, NAME(2).bmp, ... instead\n"
           "      --rgb FILE       also write the raw 32-bit colour export to FILE\n"
           "      --lut FILE       also write the raw 8-bit index export to FILE\n"
           "      --palette FILE   also write the palette as text to FILE\n"
           "                       (--rgb, --lut and --palette need exactly one input file)\n"
           "      --all-pictures   of a CAT or LIST file holding several pictures, write\n"
           "                       every one: the first as NAME.bmp, the others as\n"
           "                       NAME-2.bmp, NAME-3.bmp ... (without it, the first only)\n"
           "      --no-bmp         write no BMP (or PNG) file\n"
           "      --info           print each picture's header details\n"
           "      --log            print the decoder's log for each picture\n"
           "  -j, --jobs N         convert up to N files at once (default: number of cores)\n"
           "  -v, --verbose        name every file written or skipped\n"
           "  -h, --help           show this help and exit\n"
           "      --version        show the version and exit\n"
           "\n"
           "Files that cannot be converted are reported on standard error as\n"
           "\"PATH: reason\" and the run goes on. A summary follows when more than one\n"
           "file was given or when a file was skipped or failed.\n"
           "\n"
           "Exit status: 0 when no file failed (files skipped by save mode 0 included),\n"
           "1 when some file failed, 2 for a usage error.\n";
}

} // namespace tambrel::cli
