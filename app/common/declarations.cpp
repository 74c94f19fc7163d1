#include "app/common/declarations.h"

#include "decoder/errors.h"
#include "decoder/iff_loader.h"
#include "output/atomic_file.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace tambrel {

bool FileExists(const std::string &path) {
    if (path.empty()) {
        return false;
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string GetFileNameFromPath(const std::string &path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string RemoveFileExtension(const std::string &name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) {
        return name;
    }
    return name.substr(0, dot);
}

std::string UpperCase(std::string text) {
    for (char &c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

std::vector<std::pair<std::string, std::string>> ImageInfoLines(const IFF_Picture &pic) {
    std::vector<std::pair<std::string, std::string>> lines = {
        {"File:", UpperCase(pic.PictureName)},
        {"Width :", NumberText(pic.Width)},
        {"Height :", NumberText(pic.Height)},
        {"Bitplanes:", NumberText(pic.Bitplanes)},
        // The true product: 65535 x 65535 does not fit 32 bits.
        {"Pixels :", NumberText(std::int64_t{pic.Width} * pic.Height)},
        {"Xpos:", NumberText(pic.Xpos)},
        {"Ypos:", NumberText(pic.Ypos)},
        {"Masking:", NumberText(pic.Masking)},
        {"Packtype:", NumberText(pic.Packtype)},
        {"X Aspect Ratio:", NumberText(pic.XaspectRatio)},
        {"Y Aspect Ratio:", NumberText(pic.YaspectRatio)},
        {"Mask Colour:", LongToHex(pic.TransparentColour)},
        {"Mode ID:", LongToHex(pic.ModeId)},
    };
    if (pic.HalfBright == 1) {
        lines.emplace_back("Mode:", "HalfBright");
    }
    if (pic.HamFlag == 1 && pic.DisplayMode == 2) {
        lines.emplace_back("Mode:", "Ham (OCS)");
    }
    if (pic.HamFlag == 1 && pic.DisplayMode == 3) {
        lines.emplace_back("Mode:", "HamAA(AGA)");
    }
    if (pic.DynamicPalette == 1) {
        lines.emplace_back("Mode:", "Dynamic Palette");
    }
    if (pic.Interlaced == 1) {
        lines.emplace_back("Mode:", "Interlaced");
    }
    return lines;
}

namespace {

// A whole number at the start of the text (after blanks); false when there is none.
bool ParseWholeNumber(const std::string &text, long &value) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || !std::isdigit(static_cast<unsigned char>(text[i]))) {
        return false;
    }
    long result = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (result > 100000000) {
            return false; // far beyond any setting: treat as unreadable
        }
        result = result * 10 + (text[i] - '0');
    }
    value = negative ? -result : result;
    return true;
}

// The records of the file as the delimited-field reader yields them: a line
// end or a comma ends a record, leading blanks are skipped.
std::vector<std::string> PreferenceRecords(const std::string &content) {
    std::vector<std::string> records;
    std::string current;
    bool atStart = true;
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\r' || c == '\n' || c == ',') {
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') {
                ++i;
            }
            records.push_back(current);
            current.clear();
            atStart = true;
            continue;
        }
        if (atStart && (c == ' ' || c == '\t')) {
            continue;
        }
        atStart = false;
        current += c;
    }
    if (!current.empty()) {
        records.push_back(current);
    }
    return records;
}

} // namespace

void LoadPreferences(const std::string &path, Preferences &prefs) {
    if (!FileExists(path)) {
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return;
    }
    std::ostringstream content;
    content << in.rdbuf();
    for (const std::string &line : PreferenceRecords(content.str())) {
        const auto colon = line.find(':');
        std::string key;
        std::string value;
        if (line.size() > 1 && colon != std::string::npos) {
            key = line.substr(0, colon + 1);
            value = line.substr(colon + 1);
        }
        if (key == "Splash:") {
            long setting = 0;
            if (ParseWholeNumber(value, setting)) {
                prefs.SplashSetting = setting;
            }
        }
        if (key == "THEEND:") {
            return;
        }
    }
}

bool SavePreferences(const std::string &path, Preferences &prefs) {
    prefs.SplashSetting = -1;
    const std::string text = "Splash:" + std::to_string(prefs.SplashSetting) + "\r\nTHEEND:\r\n";
    try {
        AtomicFile out(path);
        out.Write(text.data(), text.size());
        out.Commit();
        return true;
    } catch (const TambrelError &) {
        return false;
    }
}

} // namespace tambrel
