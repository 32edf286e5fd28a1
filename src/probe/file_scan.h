#pragma once

// FileScanner: runs the deep scan (`sniffer --scan`, a child process, so a hostile file can
// only take that process down) and reads its result. A scan is kept in the probe cache like a
// probe (by path, file stamp and tool identity, the identity marked as a scan's), so a re-run
// over unchanged files decodes nothing. Progress is reported while the scanner reads, and the
// caller may cancel.

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "base/expected.h"
#include "probe/scan_result.h"

namespace vellinor {

class ProbeCache;

struct FileScannerOptions {
    // The scanner to run instead of the bundled one (tests). Empty: the "sniffer" resource.
    std::string toolPath;
    // Decoding a long file takes minutes; past this the scanner is killed. Zero: no limit.
    std::chrono::milliseconds timeout{std::chrono::hours(2)};
    bool useCache = true;  // the user's probe cache (probeCacheSettings())
};

class FileScanner {
public:
    explicit FileScanner(FileScannerOptions options = {});
    ~FileScanner();
    FileScanner(const FileScanner&) = delete;
    FileScanner& operator=(const FileScanner&) = delete;

    // Callable from several threads at once. `onProgress` (may be empty) is called on the
    // calling thread with the fraction read (0 to 1); returning false cancels the scan.
    Expected<ScanResult> scan(const std::string& path,
                              const std::function<bool(double)>& onProgress = {}) const;

    // The scan kept in the cache for `path` while the file is unchanged; nothing is decoded.
    [[nodiscard]] std::optional<ScanResult> kept(const std::string& path) const;

    // How the files so far were answered, for tests and benchmarks.
    [[nodiscard]] std::size_t scansRun() const;

private:
    [[nodiscard]] std::string toolPath() const;
    [[nodiscard]] const std::string& identity() const;
    Expected<std::string> runScanner(const std::string& file,
                                     const std::function<bool(double)>& onProgress) const;

    FileScannerOptions m_options;
    std::shared_ptr<ProbeCache> m_cache;
    mutable std::once_flag m_identityOnce;
    mutable std::string m_identity;
    mutable std::mutex m_countMutex;
    mutable std::size_t m_scansRun = 0;
};

// One scanner with the user's cache for the whole process (the window, comparisons).
const FileScanner& sharedFileScanner();

}  // namespace vellinor
