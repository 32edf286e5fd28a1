#pragma once

// What every front end does before and while it checks files against a policy: open the
// policy file ready to check with, and make the record a file is checked on.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/expected.h"
#include "policy/policy_check.h"
#include "probe/file_probe.h"
#include "probe/scan_result.h"

namespace vellinor::policy {

// The policy at `path`, its rules compiled. `reference` (when given) replaces the policy's own
// reference file. Fails with one line naming the file (and the line and rule where one is to
// blame) when the policy cannot be used, or when its rules compare with a reference file and
// none is named.
Expected<std::shared_ptr<PolicyChecker>> openPolicy(const std::string& path,
                                                    const std::optional<std::string>& reference);

struct FileRecord {
    std::string record;    // JSON text
    std::string problem;   // why the file could not be read or scanned; empty when it was
    bool scanned = false;  // the record holds scan facts
};

// How a front end gets a file's scan facts: by running a scan (the command line) or from a scan
// kept for the unchanged file (the window, which never decodes unasked). Nothing: no scan, and
// the rules that need one say so.
using ScanSource = std::function<Expected<std::optional<ScanResult>>(const std::string& path)>;

// The record `path` is checked on: probed with `options` unless `listed` failed (a folder met
// on a walk could not be listed) or the file cannot be read, and scanned through `scan` (when
// given) once it was read.
FileRecord fileRecord(const std::string& path, const Status& listed, const ProbeOptions& options,
                      const ScanSource& scan);

// The record (JSON text) a file is checked on: its probe record, with `problem` the reason the
// file could not be read (empty when it was) and the scan's facts when there is a scan.
std::string checkRecord(std::string_view path, const FileProbe& probe, std::string_view problem,
                        const ScanResult* scan);

}  // namespace vellinor::policy
