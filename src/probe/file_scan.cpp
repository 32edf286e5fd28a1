#include "probe/file_scan.h"

#include <optional>
#include <string_view>

#include "base/diagnostics.h"
#include "platform/bundle.h"
#include "platform/file_access.h"
#include "platform/process.h"
#include "probe/caching_tool_runner.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/packet_statistics.h"
#include "probe/probe_cache.h"
#include "probe/tool_arguments.h"
#include "probe/tool_problem.h"

namespace vellinor {
namespace {

constexpr const char* kScannerResource = "sniffer";
constexpr const char* kScanMode = "--scan";
// Marks a kept answer as a scan's, so a probe never gets a scan's document or the reverse. The
// number changes with the scan document's version.
constexpr const char* kScanIdentityMark = "\nscan 1";
// A scan's document is a few kilobytes; the progress lines before it add ~30 bytes each.
constexpr std::size_t kMaxScannerOutput = std::size_t{64} << 20;

}  // namespace

FileScanner::FileScanner(FileScannerOptions options) : m_options(std::move(options))
{
    if (!m_options.useCache)
        return;
    const ProbeCacheSettings settings = probeCacheSettings();
    if (settings.databasePath.empty())
        return;
    auto cache = ProbeCache::open(settings);
    if (cache)
        m_cache = std::move(*cache);
    else
        diagnostics::emitGeneralLine("the probe cache " + settings.databasePath +
                                     " cannot be used (" + cache.error() +
                                     "); scanning without it");
}

FileScanner::~FileScanner() = default;

std::string FileScanner::toolPath() const
{
    if (!m_options.toolPath.empty())
        return m_options.toolPath;
    return platform::resourcePath(kScannerResource).value_or(std::string());
}

const std::string& FileScanner::identity() const
{
    std::call_once(m_identityOnce, [this] {
        const std::string tool = toolPath();
        if (tool.empty())
            return;
        // Kept under the executable's fingerprint, so a re-run over unchanged files starts no
        // process at all.
        const auto fingerprint = executableFingerprint(tool);
        const std::string key = fingerprint ? *fingerprint + kScanIdentityMark : std::string();
        if (fingerprint && m_cache) {
            if (auto kept = m_cache->findToolIdentity(key)) {
                m_identity = std::move(*kept);
                return;
            }
        }
        std::string version = OneShotToolRunner(tool).identity();
        if (version.empty())
            return;
        m_identity = version + kScanIdentityMark;
        if (fingerprint && m_cache)
            m_cache->storeToolIdentity(key, m_identity);
    });
    return m_identity;
}

std::size_t FileScanner::scansRun() const
{
    std::lock_guard lock(m_countMutex);
    return m_scansRun;
}

Expected<std::string> FileScanner::runScanner(const std::string& file,
                                              const std::function<bool(double)>& onProgress) const
{
    const std::string tool = toolPath();
    if (tool.empty())
        return Unexpected(std::string("the scanner \"") + kScannerResource +
                          "\" is not among the resources");
    platform::ProcessOptions processOptions;
    processOptions.timeout = m_options.timeout;
    processOptions.maxOutputBytes = kMaxScannerOutput;
    ProgressLines progress(onProgress);
    if (onProgress)
        processOptions.onOutput = [&progress](std::string_view piece) {
            return progress.take(piece);
        };
    {
        std::lock_guard lock(m_countMutex);
        ++m_scansRun;
    }
    auto run = platform::runProcess(tool, {kScanMode, file}, processOptions);
    if (Status ended = tool_problem::childStatus(tool_problem::kScanner, run, m_options.timeout,
                                                 kMaxScannerOutput);
        !ended)
        return Unexpected(ended.failure());
    if (run.exitCode != 0) {
        // "error Invalid data found when processing input": the library's own words.
        const std::string& printed = run.standardOutput;
        const std::size_t line = printed.rfind("error ");
        std::string why = line == std::string::npos
                              ? std::string()
                              : printed.substr(line + 6, printed.find('\n', line) - (line + 6));
        if (why.size() > 200)
            why.resize(200);
        return Unexpected("the scanner could not read the file" +
                          (why.empty() ? std::string() : ": " + why));
    }
    return std::move(run.standardOutput);
}

std::optional<ScanResult> FileScanner::kept(const std::string& path) const
{
    if (!m_cache)
        return std::nullopt;
    const auto stamp = fileStamp(path);
    const std::string& tool = identity();
    if (!stamp || tool.empty())
        return std::nullopt;
    auto answer = m_cache->find(toolFilePath(path), *stamp, tool);
    if (!answer)
        return std::nullopt;
    auto result = parseScanOutput(answer->output);
    if (!result)
        return std::nullopt;
    return std::move(*result);
}

const FileScanner& sharedFileScanner()
{
    static const FileScanner scanner;
    return scanner;
}

Expected<ScanResult> FileScanner::scan(const std::string& path,
                                       const std::function<bool(double)>& onProgress) const
{
    // Only a regular file that opens is handed to the scanner: a FIFO or a device would block it.
    if (Status readable = platform::checkReadable(path); !readable)
        return Unexpected(readable.failure());
    // The same absolute path the probe tool gets: never read as an option or a protocol, and
    // the key the probe cache keeps answers under.
    const std::string file = toolFilePath(path);
    const auto before = fileStamp(path);
    const std::string& tool = m_cache ? identity() : m_identity;
    const bool cached = m_cache && before && !tool.empty();
    if (cached) {
        if (auto kept = m_cache->find(file, *before, tool)) {
            if (auto result = parseScanOutput(kept->output))
                return result;
        }
    }
    auto output = runScanner(file, onProgress);
    if (!output)
        return Unexpected(output.failure());
    auto result = parseScanOutput(*output);
    // A file that changed while it was read may have given a mix of old and new.
    if (result && cached && fileStamp(path) == before) {
        // Only the document is kept, not the progress lines before it.
        const std::size_t documentStart = output->find("\n{");
        ToolRun kept;
        kept.output =
            documentStart == std::string::npos ? *output : output->substr(documentStart + 1);
        m_cache->store(file, *before, tool, kept);
    }
    return result;
}

}  // namespace vellinor
