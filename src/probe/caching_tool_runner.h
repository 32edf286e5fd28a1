#pragma once

// CachingToolRunner: a ToolRunner that answers from a ProbeCache for files that have not
// changed, and asks the runner it wraps for the rest, keeping what that gives when the run went
// well (a run that timed out or crashed is never kept, so the next run tries again).

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "probe/probe_cache.h"
#include "probe/tool_runner.h"

namespace vellinor {

// The executable's path, the file it resolves to, and that file's stamp: what the cache keeps a
// tool's identity under (a new build or an upgrade of the tool changes it).
std::optional<std::string> executableFingerprint(const std::string& executable);

// Makes the runner that does the probing; called at most once, when it is first needed.
using ToolRunnerFactory = std::function<std::shared_ptr<ToolRunner>()>;

class CachingToolRunner : public ToolRunner {
public:
    // `toolExecutable`, when known, is the program the inner runner runs: its identity is then
    // kept in the cache under the executable's path and stamp, since asking a tool for its
    // version means starting it, which costs more than answering a whole batch of unchanged
    // files. The inner runner is made only for a file the cache cannot answer (or to learn the
    // tool's identity), so a batch of unchanged files starts no probe server either.
    CachingToolRunner(ToolRunnerFactory makeInner, std::shared_ptr<ProbeCache> cache,
                      std::string toolExecutable = {});
    CachingToolRunner(std::shared_ptr<ToolRunner> inner, std::shared_ptr<ProbeCache> cache,
                      std::string toolExecutable = {});

    ToolRun run(const std::string& path) override;
    ToolRun runCancellable(const std::string& path, const std::atomic<bool>* cancelled) override;
    [[nodiscard]] std::string identity() const override;
    // Answers for unchanged files are kept per mode and arguments, under the identity of the
    // "sniffer" resource; large answers (a file's attachments) are not kept.
    ToolRun runMode(const ModeRequest& request) override;

private:
    ToolRunner& inner() const;
    [[nodiscard]] std::string modeIdentity() const;

    ToolRunnerFactory m_makeInner;
    mutable std::once_flag m_innerOnce;
    mutable std::shared_ptr<ToolRunner> m_inner;
    std::shared_ptr<ProbeCache> m_cache;
    std::string m_toolExecutable;
    mutable std::once_flag m_identityOnce;
    mutable std::string m_identity;
    mutable std::once_flag m_modeIdentityOnce;
    mutable std::string m_modeIdentity;
};

// The runner `makeInner` makes, behind the user's probe cache (probeCacheSettings()); or that
// runner alone when the cache is off or cannot be opened (said in one diagnostic line).
std::shared_ptr<ToolRunner> withProbeCache(const ToolRunnerFactory& makeInner,
                                           std::string toolExecutable = {});

}  // namespace vellinor
