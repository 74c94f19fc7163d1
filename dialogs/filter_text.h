#pragma once
// Pure helpers of the common dialog wrapper: the filter list conversion, the
// look-up of one filter and the default-extension rule. No Qt here, so they
// are tested on their own.
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

} // namespace tambrel
