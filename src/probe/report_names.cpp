#include "probe/report_names.h"

#include "base/ascii.h"

namespace vellinor {
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
        if (equalsIgnoringAsciiCase(path.substr(path.size() - suffix.size()), suffix))
            return std::string(path);
    }
    return std::string(path) + std::string(suffix);
}

}  // namespace vellinor
