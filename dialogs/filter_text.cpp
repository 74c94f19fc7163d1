#include "dialogs/filter_text.h"

#include <cmath>
#include <limits>

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

std::string TrimAtNul(const std::string &text) {
    std::size_t nul = text.find('\0');
    return nul == std::string::npos ? text : text.substr(0, nul);
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

std::int32_t RoundHalfEven(double value) {
    if (std::isnan(value))
        return 0;
    double f = std::floor(value);
    double frac = value - f;
    double r = frac > 0.5 ? f + 1.0 : frac < 0.5 ? f : (std::fmod(f, 2.0) == 0.0 ? f : f + 1.0);
    if (r >= static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        return std::numeric_limits<std::int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<std::int32_t>::min()))
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(r);
}

std::int32_t MarginScale(std::int32_t units) {
    return units != 0 ? 100 : 1000;
}

std::int32_t MarginToDialog(std::int32_t margin, std::int32_t units) {
    std::int64_t v = static_cast<std::int64_t>(margin) * MarginScale(units);
    if (v > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min())
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

std::int32_t MarginFromDialog(std::int32_t value, std::int32_t units) {
    return RoundHalfEven(static_cast<double>(value) / MarginScale(units));
}

std::int32_t LogFontHeight(double pointSize, std::int32_t twipsPerPixelY) {
    if (twipsPerPixelY <= 0)
        twipsPerPixelY = 15;
    return RoundHalfEven(-(pointSize * 20.0 / twipsPerPixelY));
}

} // namespace tambrel
