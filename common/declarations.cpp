#include "common/declarations.h"

#include <cctype>
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

} // namespace tambrel
