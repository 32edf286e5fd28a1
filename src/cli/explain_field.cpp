#include "cli/explain_field.h"

#include <unistd.h>

#include "cli/cli_options.h"
#include "cli/output_streams.h"
#include "format/text_table.h"
#include "probe/field_explanations.h"

namespace vellinor::cli {

int runExplain(const std::string& key)
{
    const auto text = explainField(key);
    if (!text) {
        reportProblem(key,
                      "no explanation for this key (keys are as the details show them, such as "
                      "color_range, default.disposition or language.tags)");
        return kExitFileProblem;
    }
    return writeAll(STDOUT_FILENO, printableText(key) + ": " + *text + "\n") ? kExitSuccess
                                                                             : kExitFileProblem;
}

}  // namespace vellinor::cli
