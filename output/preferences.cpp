#include "output/preferences.h"

#include "common/declarations.h"
#include "common/errors.h"
#include "output/atomic_file.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <vector>

namespace tambrel {

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
