#include "probe/caching_tool_runner.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "base/diagnostics.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/sniffer_mode.h"
#include "probe/tool_arguments.h"

namespace vellinor {

namespace {

// A reading mode's answer larger than this is not kept: a cover or an HDR document is far
// smaller, and a file's fonts would only push the probe documents out of the cache.
constexpr std::size_t kLargestKeptModeAnswer = std::size_t{8} << 20;

}  // namespace

std::optional<std::string> executableFingerprint(const std::string& executable)
{
    const auto stamp = fileStamp(executable);
    std::error_code error;
    const auto resolved = std::filesystem::canonical(executable, error);
    if (!stamp || error)
        return std::nullopt;
    return executable + "\n" + resolved.string() + "\n" + std::to_string(stamp->device) + ":" +
           std::to_string(stamp->inode) + ":" + std::to_string(stamp->size) + ":" +
           std::to_string(stamp->modifiedNs) + ":" + std::to_string(stamp->changedNs);
}

CachingToolRunner::CachingToolRunner(ToolRunnerFactory makeInner, std::shared_ptr<ProbeCache> cache,
                                     std::string toolExecutable)
    : m_makeInner(std::move(makeInner))
    , m_cache(std::move(cache))
    , m_toolExecutable(std::move(toolExecutable))
{
}

CachingToolRunner::CachingToolRunner(std::shared_ptr<ToolRunner> inner,
                                     std::shared_ptr<ProbeCache> cache, std::string toolExecutable)
    : CachingToolRunner([inner] { return inner; }, std::move(cache), std::move(toolExecutable))
{
}

ToolRunner& CachingToolRunner::inner() const
{
    std::call_once(m_innerOnce, [this] { m_inner = m_makeInner(); });
    return *m_inner;
}

std::string CachingToolRunner::identity() const
{
    std::call_once(m_identityOnce, [this] {
        const auto fingerprint =
            m_toolExecutable.empty() ? std::nullopt : executableFingerprint(m_toolExecutable);
        if (fingerprint) {
            if (auto kept = m_cache->findToolIdentity(*fingerprint)) {
                m_identity = std::move(*kept);
                return;
            }
        }
        m_identity = inner().identity();
        if (fingerprint && !m_identity.empty())
            m_cache->storeToolIdentity(*fingerprint, m_identity);
    });
    return m_identity;
}

ToolRun CachingToolRunner::run(const std::string& path)
{
    return runCancellable(path, nullptr);
}

ToolRun CachingToolRunner::runCancellable(const std::string& path,
                                          const std::atomic<bool>* cancelled)
{
    // The tool sees the path made absolute, and its document names the file so: that is the
    // path the answer belongs to.
    const std::string toolPath = toolFilePath(path);
    const std::string tool = identity();
    const auto before = fileStamp(path);
    // A tool that cannot name itself could be any tool: nothing is served or kept for it.
    if (!before || tool.empty())
        return inner().runCancellable(path, cancelled);
    if (auto kept = m_cache->find(toolPath, *before, tool))
        return std::move(*kept);

    ToolRun run = inner().runCancellable(path, cancelled);
    // A file that changed while it was read may have given a mix of old and new.
    if (run.status && fileStamp(path) == before)
        m_cache->store(toolPath, *before, tool, run);
    return run;
}

std::string CachingToolRunner::modeIdentity() const
{
    std::call_once(m_modeIdentityOnce, [this] {
        const auto sniffer = snifferModeExecutable();
        const auto fingerprint = sniffer ? executableFingerprint(*sniffer) : std::nullopt;
        if (!fingerprint)
            return;
        if (auto kept = m_cache->findToolIdentity(*fingerprint)) {
            m_modeIdentity = std::move(*kept);
            return;
        }
        m_modeIdentity = OneShotToolRunner(*sniffer).identity();
        if (!m_modeIdentity.empty())
            m_cache->storeToolIdentity(*fingerprint, m_modeIdentity);
    });
    return m_modeIdentity;
}

ToolRun CachingToolRunner::runMode(const ModeRequest& request)
{
    const std::string mode = modeIdentity();
    const auto before = fileStamp(request.path);
    if (!before || mode.empty())
        return inner().runMode(request);
    // Kept apart from the probe documents by the mode and its arguments (the file's absolute
    // path among them), which the identity is followed by.
    std::string key = mode;
    for (const std::string& argument : request.arguments) {
        key += '\0';
        key += argument;
    }
    const std::string toolPath = toolFilePath(request.path);
    if (auto kept = m_cache->find(toolPath, *before, key))
        return std::move(*kept);

    ToolRun run = inner().runMode(request);
    if (run.status && run.output.size() <= kLargestKeptModeAnswer &&
        fileStamp(request.path) == before)
        m_cache->store(toolPath, *before, key, run);
    return run;
}

std::shared_ptr<ToolRunner> withProbeCache(const ToolRunnerFactory& makeInner,
                                           std::string toolExecutable)
{
    const ProbeCacheSettings settings = probeCacheSettings();
    if (settings.databasePath.empty())
        return makeInner();
    auto cache = ProbeCache::open(settings);
    if (!cache) {
        diagnostics::emitGeneralLine("the probe cache " + settings.databasePath +
                                     " cannot be used (" + cache.error() + "); probing without it");
        return makeInner();
    }
    return std::make_shared<CachingToolRunner>(makeInner, std::move(*cache),
                                               std::move(toolExecutable));
}

}  // namespace vellinor
