#pragma once
// Pure helpers of the common dialog wrapper: the filter list conversion, the
// look-up of one filter, text cutting at NUL, the default-extension rule and
// the rounding and margin scaling of the page set-up dialog. No Qt here, so
// they are tested on their own.
#include <cstdint>
#include <string>
#include <vector>

namespace tambrel {

// The filter list both file dialogs use when the caller gives none. The blank
// before the pattern is kept on purpose: the dialog receives " *.*".
inline constexpr const char *kDefaultFileFilter = "All (*.*)| *.*";

// One entry of a converted filter list: the text shown and its pattern(s)
// ("*.iff" or several joined by ";").
struct FilterEntry {
    std::string description;
    std::string pattern;
    bool operator==(const FilterEntry &) const = default;
};

// Turns a bar-separated filter list into the dialog's form: every ":" and "|"
// becomes a NUL, every other character is copied, and two NULs are appended.
std::string ConvertFilter(const std::string &filter);

// The description/pattern pairs of a converted filter list, read pair by pair
// up to the first empty description (the double NUL that ends the list).
std::vector<FilterEntry> SplitConvertedFilter(const std::string &converted);

// The text before the first NUL; the whole text when it holds none.
std::string TrimAtNul(const std::string &text);

// Description, NUL, pattern of the 1-based `index`-th filter of a converted
// filter list; empty for an empty list or an index below 1. Walking past the
// last pair wraps around to the first one.
std::string FilterLookup(const std::string &converted, std::int32_t index);

// The name part of a path (after the last "/"); empty when the path is empty
// or ends with "/" (no file named).
std::string FileTitleOfPath(const std::string &path);

// Appends "." + defaultExt when the path's file name has no extension of its
// own (no "." in it) and defaultExt is not empty; otherwise the path unchanged.
// A leading "." on defaultExt is not doubled.
std::string ApplyDefaultExtension(const std::string &path, const std::string &defaultExt);

// Rounds to the nearest integer, halves to the even neighbour (1.5 -> 2,
// 2.5 -> 2, -0.5 -> 0). Results are clamped to the 32-bit range.
std::int32_t RoundHalfEven(double value);

// Page set-up margins: thousandths of an inch (Units 0, scale 1000) or
// hundredths of a millimetre (Units non-zero, scale 100).
std::int32_t MarginScale(std::int32_t units);
// A margin as the dialog receives it: margin x scale, clamped to 32 bits.
std::int32_t MarginToDialog(std::int32_t margin, std::int32_t units);
// A margin as the caller gets it back: value / scale, rounded half to even.
std::int32_t MarginFromDialog(std::int32_t value, std::int32_t units);

// The font dialog's logical height for a point size: -(size x 20 / vertical
// twips per pixel), rounded half to even.
std::int32_t LogFontHeight(double pointSize, std::int32_t twipsPerPixelY);

} // namespace tambrel
