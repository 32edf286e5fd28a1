#pragma once

// ProbeCache: the probe tool's answers for files that have not changed since they were probed,
// kept in an SQLite database in the user's cache folder. A file counts as unchanged while its
// device, inode, size, modification time and change time (both to the nanosecond) are the same;
// answers are kept per path and per probe tool identity, so a new tool never serves an old
// tool's document. The database runs in WAL mode with a busy timeout, so several processes can
// read and write it at once, and stays under a size cap by dropping the least recently used
// answers. A database that cannot be used (damaged, locked, in a folder that cannot be written)
// never fails a probe: the cache turns itself off with one diagnostic line and every file is
// probed as if there were none.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/expected.h"
#include "probe/tool_runner.h"

struct sqlite3;

namespace vellinor {

// What tells that a file has not changed since it was last looked at.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of the file `path` names (links followed), or nothing when it cannot be read.
std::optional<FileStamp> fileStamp(const std::string& path);

struct ProbeCacheSettings {
    std::string databasePath;  // empty: no cache
    std::uint64_t maxBytes = 0;
    // How long a write waits for another process's transaction before giving up.
    std::chrono::milliseconds busyTimeout{2000};
};

// Default size cap: room for some 50,000 probe documents of a few kilobytes each.
inline constexpr std::uint64_t kDefaultProbeCacheMegabytes = 256;

// The database in $XDG_CACHE_HOME/vellinor (else ~/.cache/vellinor), probe-cache.sqlite, capped
// at VELLINOR_CACHE_MAX_MB megabytes (default kDefaultProbeCacheMegabytes; 0 turns the cache
// off: the path is then empty).
ProbeCacheSettings probeCacheSettings();

class ProbeCache {
public:
    // Opens (making the folder and the database when missing) or says why it cannot be used.
    static Expected<std::shared_ptr<ProbeCache>> open(const ProbeCacheSettings& settings);
    // Removes every answer (a database that cannot be opened is deleted instead).
    static Status clear(const ProbeCacheSettings& settings);

    ~ProbeCache();
    ProbeCache(const ProbeCache&) = delete;
    ProbeCache& operator=(const ProbeCache&) = delete;

    // The answer kept for `path` (as the tool is given it) by tool `tool`, when its stamp is
    // still `stamp`.
    std::optional<ToolRun> find(const std::string& path, const FileStamp& stamp,
                                const std::string& tool);
    // Keeps `run` (a run that went well) as the answer for `path` with `stamp`.
    void store(const std::string& path, const FileStamp& stamp, const std::string& tool,
               const ToolRun& run);

    // The identity kept for the tool whose executable has the fingerprint `fingerprint` (its
    // path and stamp), so that a run over unchanged files need not start the tool at all.
    std::optional<std::string> findToolIdentity(const std::string& fingerprint);
    void storeToolIdentity(const std::string& fingerprint, const std::string& identity);

    // False once the database failed and the cache turned itself off.
    [[nodiscard]] bool usable() const;
    [[nodiscard]] const ProbeCacheSettings& settings() const { return m_settings; }

private:
    ProbeCache(sqlite3* database, ProbeCacheSettings settings);
    // Turns the cache off after a database error, with one diagnostic line.
    void giveUp(const std::string& why);
    bool evictDownTo(std::uint64_t targetBytes);

    mutable std::mutex m_mutex;
    sqlite3* m_database;
    ProbeCacheSettings m_settings;
    bool m_usable = true;
};

}  // namespace vellinor
