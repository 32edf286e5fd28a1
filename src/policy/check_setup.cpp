#include "policy/check_setup.h"

#include "policy/policy_file.h"
#include "probe/probe_record.h"
#include "probe/verdict.h"

namespace vellinor::policy {

Expected<std::shared_ptr<PolicyChecker>> openPolicy(const std::string& path,
                                                    const std::optional<std::string>& reference)
{
    auto loaded = loadPolicy(path);
    if (!loaded)
        return Unexpected(loaded.failure());
    Policy& rules = *loaded;
    if (reference)
        rules.reference = reference;
    if (rules.needsReference() && !rules.reference)
        return Unexpected(rules.sourceName +
                          ": its rules compare with a reference file; name one with --reference "
                          "or reference = \"...\" in the policy");
    return PolicyChecker::make(std::move(rules));
}

std::string checkRecord(std::string_view path, const FileProbe& probe, std::string_view problem,
                        const ScanResult* scan)
{
    JSON record = probeRecord(path, probe, problem);
    record.set("scan", scan != nullptr ? scanRecord(*scan) : JSON(nullptr));
    return record.rawString("utf-8", 0).value_or("{}");
}

FileRecord fileRecord(const std::string& path, const Status& listed, const ProbeOptions& options,
                      const ScanSource& scan)
{
    FileRecord file;
    std::string problem = listed ? accessVerdict(path).problem : listed.error();
    FileProbe probe;
    if (problem.empty()) {
        probe = FileProbe(path, options);
        problem = fileVerdict(path, probe).problem;
    }
    std::optional<ScanResult> scanned;
    if (scan && problem.empty()) {
        auto found = scan(path);
        if (found)
            scanned = std::move(*found);
        else
            problem = found.error();
    }
    file.record = checkRecord(path, probe, problem, scanned ? &*scanned : nullptr);
    file.problem = std::move(problem);
    file.scanned = scanned.has_value();
    return file;
}

}  // namespace vellinor::policy
