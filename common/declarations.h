#pragma once
// File and path helpers shared by every layer. Paths use "/" as the separator.
#include <string>

namespace tambrel {

// True when the file system knows the path (a file or a folder); never throws.
bool FileExists(const std::string &path);
// The text after the last "/"; the whole text when there is none.
std::string GetFileNameFromPath(const std::string &path);
// The text before the last "." when that stands at position 2 or later; else unchanged.
std::string RemoveFileExtension(const std::string &name);

// The upper-case form of a name, as the panel and the notice show it.
std::string UpperCase(std::string text);

} // namespace tambrel
