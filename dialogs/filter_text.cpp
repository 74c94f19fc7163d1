#include "dialogs/filter_text.h"

namespace tambrel {

std::string ConvertFilter(const std::string &filter) {
    std::string out;
    out.reserve(filter.size() + 2);
    for (char c : filter)
        out.push_back(c == ':' || c == '|' ? '\0' : c);
    out.push_back('\0');
    out.push_back('\0');
    return out;
}

std::vector<FilterEntry> SplitConvertedFilter(const std::string &converted) {
    std::vector<FilterEntry> entries;
    std::size_t pos = 0;
    while (pos < converted.size()) {
        std::size_t descEnd = converted.find('\0', pos);
        if (descEnd == std::string::npos || descEnd == pos)
            break; // an empty description ends the list
        std::size_t patStart = descEnd + 1;
        std::size_t patEnd = converted.find('\0', patStart);
        if (patEnd == std::string::npos)
            patEnd = converted.size();
        entries.push_back(
            {converted.substr(pos, descEnd - pos), converted.substr(patStart, patEnd - patStart)});
        pos = patEnd + 1;
    }
    return entries;
}

std::string FilterLookup(const std::string &converted, std::int32_t index) {
    if (converted.empty() || index < 1)
        return {};
    std::size_t start = 0;
    for (;;) {
        std::size_t first =
            start < converted.size() ? converted.find('\0', start) : std::string::npos;
        if (first == std::string::npos)
            return {};
        std::size_t second = converted.find('\0', first + 1);
        std::string piece;
        std::size_t next;
        if (second == std::string::npos) {
            piece = converted.substr(start);
            next = 0; // the list is exhausted: go on from its beginning
        } else {
            piece = converted.substr(start, second - start);
            next = second + 1;
        }
        if (index == 1)
            return piece;
        --index;
        start = next;
    }
}

std::string FileTitleOfPath(const std::string &path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ApplyDefaultExtension(const std::string &path, const std::string &defaultExt) {
    std::string ext = defaultExt;
    if (!ext.empty() && ext.front() == '.')
        ext.erase(0, 1);
    std::string name = FileTitleOfPath(path);
    if (ext.empty() || name.empty() || name.find('.') != std::string::npos)
        return path;
    return path + "." + ext;
}

} // namespace tambrel
