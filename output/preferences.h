#pragma once
// The preferences file "TambrelPref.txt": two lines, "Splash:-1" and "THEEND:".
#include <string>

namespace tambrel {

inline constexpr const char *kPreferencesFileName = "TambrelPref.txt";

struct Preferences {
    long SplashSetting = 0; // -1 suppresses the start-up splash
};

// Reads the preferences file into `prefs`; a missing or unreadable file keeps the defaults.
void LoadPreferences(const std::string &path, Preferences &prefs);
// Writes "Splash:-1" and "THEEND:" with CR LF; returns false when it cannot be written.
bool SavePreferences(const std::string &path, Preferences &prefs);

} // namespace tambrel
