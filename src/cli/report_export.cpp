#include "cli/report_export.h"

#include "platform/file_names.h"

namespace vellinor::cli {

std::string ExportNames::take(std::string_view fileName)
{
    const std::string stem = platform::reportBaseName(fileName);
    std::string name = stem + ".json";
    for (int suffix = 2; m_taken.count(name) != 0; ++suffix)
        name = stem + "-" + std::to_string(suffix) + ".json";
    m_taken.insert(name);
    return name;
}

}  // namespace vellinor::cli
