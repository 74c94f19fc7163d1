#pragma once
// Shared helpers of the program: file and path helpers, the preferences file
// and the information panel's lines. Paths use "/" as the separator.
#include "decoder/iff_picture.h"

#include <string>
#include <utility>
#include <vector>

namespace tambrel {

// True when the file system knows the path (a file or a folder); never throws.
bool FileExists(const std::string &path);
// The text after the last "/"; the whole text when there is none.
std::string GetFileNameFromPath(const std::string &path);
// The text before the last "." when that stands at position 2 or later; else unchanged.
std::string RemoveFileExtension(const std::string &name);

// The upper-case form of a name, as the panel and the notice show it.
std::string UpperCase(std::string text);

// The information panel's lines: label and value text, in display order.
std::vector<std::pair<std::string, std::string>> ImageInfoLines(const IFF_Picture &pic);

// The preferences file "TambrelPref.txt".
inline constexpr const char *kPreferencesFileName = "TambrelPref.txt";

struct Preferences {
    long SplashSetting = 0; // -1 suppresses the start-up splash
};

// Reads the preferences file into `prefs`; a missing or unreadable file keeps the defaults.
void LoadPreferences(const std::string &path, Preferences &prefs);
// Writes "Splash:-1" and "THEEND:" with CR LF; returns false when it cannot be written.
bool SavePreferences(const std::string &path, Preferences &prefs);

} // namespace tambrel
