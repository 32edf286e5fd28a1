#include "cli/report_export.h"

#include "probe/attachment_names.h"
#include "probe/report_names.h"

namespace vellinor::cli {

std::string ExportNames::take(std::string_view fileName)
{
    // A media name may be as long as the file system allows: its report name is then cut to
    // fit, as attachment names are.
    const std::string stem = reportBaseName(fileName);
    auto named = [&stem](const std::string& tail) {
        return fitFileName(stem, tail, kLongestFileNameBytes);
    };
    std::string name = named(".json");
    for (int suffix = 2; m_taken.count(name) != 0; ++suffix) {
        std::string tail = "-";
        tail += std::to_string(suffix);
        tail += ".json";
        name = named(tail);
    }
    m_taken.insert(name);
    return name;
}

}  // namespace vellinor::cli
