#include "probe/report_names.h"

namespace vellinor {
namespace {

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

std::string reportBaseName(std::string_view fileName)
{
    const auto dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0)
        return std::string(fileName);
    return std::string(fileName.substr(0, dot));
}

std::string withReportExtension(std::string_view path)
{
    constexpr std::string_view suffix = ".json";
    if (path.size() >= suffix.size()) {
        const std::string_view tail = path.substr(path.size() - suffix.size());
        bool same = true;
        for (std::size_t i = 0; i < suffix.size(); ++i)
            same = same && asciiLower(tail[i]) == suffix[i];
        if (same)
            return std::string(path);
    }
    return std::string(path) + std::string(suffix);
}

}  // namespace vellinor
