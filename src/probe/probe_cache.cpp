#include "probe/probe_cache.h"

#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <thread>

#include "base/diagnostics.h"

namespace vellinor {
namespace {

// 2 added a checksum to every answer; 1 had none (its answers are dropped when it is opened).
constexpr int kSchemaVersion = 2;
// "VLNR" in the database header: a database without it is another program's, never written.
constexpr std::int64_t kApplicationId = 0x564C4E52;

// A hit refreshes its last use only when that is older than this, so re-runs over unchanged
// files read the database without writing it.
constexpr std::int64_t kTouchAfterSeconds = 60;

// Bytes an answer takes beyond its texts (keys, stamps, index entries), for the size cap.
constexpr std::uint64_t kRowOverheadBytes = 128;

// Eviction frees a little more than it must, so a full cache does not evict on every store.
constexpr std::uint64_t kEvictToPercent = 90;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS runs (
    path BLOB NOT NULL,
    tool BLOB NOT NULL,
    device INTEGER NOT NULL,
    inode INTEGER NOT NULL,
    size INTEGER NOT NULL,
    modified_ns INTEGER NOT NULL,
    changed_ns INTEGER NOT NULL,
    output BLOB NOT NULL,
    tool_problem BLOB NOT NULL,
    checksum INTEGER NOT NULL,
    bytes INTEGER NOT NULL,
    last_used INTEGER NOT NULL,
    PRIMARY KEY (path, tool)
);
CREATE INDEX IF NOT EXISTS runs_by_last_use ON runs (last_used);
CREATE TABLE IF NOT EXISTS tools (fingerprint BLOB PRIMARY KEY, identity BLOB NOT NULL);
CREATE TABLE IF NOT EXISTS totals (id INTEGER PRIMARY KEY CHECK (id = 0), bytes INTEGER NOT NULL);
INSERT OR IGNORE INTO totals VALUES (0, 0);
CREATE TRIGGER IF NOT EXISTS runs_added AFTER INSERT ON runs
    BEGIN UPDATE totals SET bytes = bytes + NEW.bytes; END;
CREATE TRIGGER IF NOT EXISTS runs_removed AFTER DELETE ON runs
    BEGIN UPDATE totals SET bytes = bytes - OLD.bytes; END;
PRAGMA application_id = 1447841362;
PRAGMA user_version = 2;
)sql";
static_assert(kApplicationId == 1447841362);

// A cache of schema 1 (before the checksums): its answers go, its tool identities stay.
constexpr const char* kDropUncheckedAnswers = R"sql(
DROP TABLE IF EXISTS runs;
UPDATE totals SET bytes = 0;
)sql";

// Why a database in the cache's place is left alone, by open and by clear.
constexpr const char* kNotOurs = "not a probe cache of vellinor";
constexpr const char* kIsALink = "it is a symbolic link";

// A checksum of everything an answer is found by and gives, so a changed byte in the file
// (a disk error, a stray write, a hand edit) makes the answer a miss rather than a wrong
// fact. Eight bytes at a time; each step is a bijection of the state, so any one changed word
// always changes the result.
class AnswerChecksum {
public:
    AnswerChecksum& add(std::string_view bytes)
    {
        addWord(bytes.size());
        while (bytes.size() >= 8) {
            std::uint64_t word = 0;
            std::memcpy(&word, bytes.data(), 8);
            addWord(word);
            bytes.remove_prefix(8);
        }
        std::uint64_t tail = 0;
        if (!bytes.empty())
            std::memcpy(&tail, bytes.data(), bytes.size());
        addWord(tail);
        return *this;
    }
    AnswerChecksum& add(std::uint64_t value)
    {
        addWord(value);
        return *this;
    }
    [[nodiscard]] std::int64_t value() const { return static_cast<std::int64_t>(m_state); }

private:
    void addWord(std::uint64_t word)
    {
        m_state = (m_state ^ word) * 0x9E3779B97F4A7C15ULL;
        m_state ^= m_state >> 29;
    }
    std::uint64_t m_state = 0xCBF29CE484222325ULL;
};

std::int64_t answerChecksum(const std::string& path, const std::string& tool,
                            const FileStamp& stamp, const ToolRun& run)
{
    return AnswerChecksum()
        .add(path)
        .add(tool)
        .add(stamp.device)
        .add(stamp.inode)
        .add(stamp.size)
        .add(static_cast<std::uint64_t>(stamp.modifiedNs))
        .add(static_cast<std::uint64_t>(stamp.changedNs))
        .add(run.output)
        .add(run.problemText())
        .value();
}

std::string sqliteError(sqlite3* database)
{
    return database ? sqlite3_errmsg(database) : "out of memory";
}

// One prepared statement, finalized on scope exit.
class Statement {
public:
    Statement(sqlite3* database, const char* sql)
    {
        if (sqlite3_prepare_v2(database, sql, -1, &m_statement, nullptr) != SQLITE_OK)
            m_statement = nullptr;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    sqlite3_stmt* get() const { return m_statement; }

    void bind(int index, std::string_view bytes)
    {
        sqlite3_bind_blob64(m_statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(m_statement, index, value); }
    void bind(int index, std::uint64_t value)
    {
        sqlite3_bind_int64(m_statement, index, static_cast<std::int64_t>(value));
    }
    // SQLITE_ROW, SQLITE_DONE, or an error code.
    int step() { return sqlite3_step(m_statement); }

    std::string blob(int column) const
    {
        const void* data = sqlite3_column_blob(m_statement, column);
        const int size = sqlite3_column_bytes(m_statement, column);
        return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size))
                    : std::string();
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }

private:
    sqlite3_stmt* m_statement = nullptr;
};

bool execute(sqlite3* database, const char* sql)
{
    return sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

// The first value a statement gives, finalized before it returns so no statement stays open.
std::optional<std::int64_t> firstInteger(sqlite3* database, const char* sql)
{
    Statement pragma(database, sql);
    if (!pragma || pragma.step() != SQLITE_ROW)
        return std::nullopt;
    return pragma.integer(0);
}

std::int64_t nowSeconds()
{
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::int64_t nanoseconds(const timespec& time)
{
    return static_cast<std::int64_t>(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

std::string homeFolder()
{
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

void closeDatabase(sqlite3* database)
{
    sqlite3_close_v2(database);
}

void removeDatabaseFiles(const std::string& path)
{
    std::error_code ignored;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        std::filesystem::remove(path + suffix, ignored);
}

// A failure of SQLite: its primary result code and its text.
// SQLite's "busy" (another connection holds the lock) and "locked" (a table of this one is
// locked) both mean the database is in use: it may work later, and it is not damaged.
Failure failureOf(sqlite3* database)
{
    const int code = sqlite3_errcode(database) & 0xff;
    const bool inUse = code == SQLITE_BUSY || code == SQLITE_LOCKED;
    return {inUse ? ErrorKind::busy : ErrorKind::failed, sqliteError(database)};
}

// Whether a database may be written by us: only a new one, one marked as ours, or a cache of
// ours from before the mark (schema 1, with our three tables). Reading these changes nothing.
std::optional<Failure> checkOwnershipInSnapshot(sqlite3* database)
{
    const auto application = firstInteger(database, "PRAGMA application_id");
    const auto version = firstInteger(database, "PRAGMA user_version");
    const auto objects = firstInteger(database, "SELECT count(*) FROM sqlite_master");
    if (!application || !version || !objects)
        return failureOf(database);
    if (*application == kApplicationId || (*application == 0 && *objects == 0))
        return std::nullopt;
    const auto ourTables = firstInteger(database,
                                        "SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                        "AND name IN ('runs', 'tools', 'totals')");
    if (*application == 0 && *version == 1 && ourTables == 3)
        return std::nullopt;
    return Failure{ErrorKind::refused, kNotOurs};
}

// The three facts are read in one read transaction: another process may be making the schema
// meanwhile, and reads taken on either side of its commit (no mark yet, but tables) would take
// our own new cache for another program's.
std::optional<Failure> checkOwnership(sqlite3* database)
{
    if (!execute(database, "BEGIN"))
        return failureOf(database);
    std::optional<Failure> failure = checkOwnershipInSnapshot(database);
    execute(database, "COMMIT");  // it only read: nothing to keep or undo
    return failure;
}

// WAL mode, the schema (an older one brought up to date); what failed, when something did.
std::optional<Failure> setUpDatabase(sqlite3* database)
{
    if (auto foreign = checkOwnership(database))
        return foreign;
    // WAL lets readers and one writer of several processes work at once; NORMAL syncing keeps
    // the database sound on a crash (at worst the last answers are lost, which only costs a
    // probe).
    if (!firstInteger(database, "PRAGMA journal_mode = WAL") ||
        !execute(database, "PRAGMA synchronous = NORMAL"))
        return failureOf(database);
    const auto found = firstInteger(database, "PRAGMA user_version");
    if (!found)
        return failureOf(database);
    if (*found == kSchemaVersion)
        return std::nullopt;
    if (*found > kSchemaVersion)
        return Failure{ErrorKind::failed, "made by a newer version of vellinor"};
    // New, or being made or brought up to date by another process meanwhile: the version is
    // read again inside the transaction, and the schema is idempotent.
    if (!execute(database, "BEGIN IMMEDIATE"))
        return failureOf(database);
    const auto current = firstInteger(database, "PRAGMA user_version");
    const bool fine = current && (*current == kSchemaVersion ||
                                  ((*current != 1 || execute(database, kDropUncheckedAnswers)) &&
                                   execute(database, kSchema)));
    if (!fine || !execute(database, "COMMIT")) {
        Failure failure = failureOf(database);
        execute(database, "ROLLBACK");
        return failure;
    }
    return std::nullopt;
}

}  // namespace

std::optional<FileStamp> fileStamp(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return FileStamp{static_cast<std::uint64_t>(info.st_dev),
                     static_cast<std::uint64_t>(info.st_ino),
                     static_cast<std::uint64_t>(info.st_size), nanoseconds(info.st_mtim),
                     nanoseconds(info.st_ctim)};
}

ProbeCacheSettings probeCacheSettings()
{
    ProbeCacheSettings settings;
    std::uint64_t megabytes = kDefaultProbeCacheMegabytes;
    if (const char* text = std::getenv("VELLINOR_CACHE_MAX_MB"); text != nullptr && *text) {
        const std::string_view value(text);
        std::uint64_t parsed = 0;
        const auto [end, error] =
            std::from_chars(value.data(), value.data() + value.size(), parsed);
        if (error == std::errc() && end == value.data() + value.size() && parsed < (1u << 24))
            megabytes = parsed;
        else
            diagnostics::emitGeneralLine(
                "VELLINOR_CACHE_MAX_MB is not a number of megabytes; using " +
                std::to_string(megabytes));
    }
    if (megabytes == 0)
        return settings;
    settings.maxBytes = megabytes * 1'000'000;

    // XDG base directory rules ignore a relative XDG_CACHE_HOME.
    std::string folder;
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg != nullptr && xdg[0] == '/')
        folder = xdg;
    else if (std::string home = homeFolder(); !home.empty())
        folder = home + "/.cache";
    else
        return settings;
    settings.databasePath = folder + "/vellinor/probe-cache.sqlite";
    return settings;
}

Expected<std::shared_ptr<ProbeCache>> ProbeCache::open(const ProbeCacheSettings& settings)
{
    if (settings.databasePath.empty())
        return Unexpected("no cache folder");
    std::error_code error;
    const auto folder = std::filesystem::path(settings.databasePath).parent_path();
    std::filesystem::create_directories(folder, error);
    if (error)
        return Unexpected("cannot make " + folder.string() + ": " + error.message());

    // A link in the cache's place could lead our writes into any database the user can write.
    // lstat gives the clearer reason; NOFOLLOW makes SQLite refuse one that appears meanwhile.
    struct stat entry {};
    if (::lstat(settings.databasePath.c_str(), &entry) == 0 && S_ISLNK(entry.st_mode))
        return Unexpected(ErrorKind::refused, kIsALink);
    sqlite3* database = nullptr;
    const int opened =
        sqlite3_open_v2(settings.databasePath.c_str(), &database,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX |
                            SQLITE_OPEN_PRIVATECACHE | SQLITE_OPEN_NOFOLLOW,
                        nullptr);
    std::unique_ptr<sqlite3, decltype(&closeDatabase)> owner(database, &closeDatabase);
    if (opened != SQLITE_OK)
        return Unexpected(failureOf(database));
    sqlite3_busy_timeout(database, static_cast<int>(settings.busyTimeout.count()));
    sqlite3_extended_result_codes(database, 1);

    // Some lock upgrades (entering WAL mode, the first schema) report "busy" at once rather
    // than wait, when another process is doing the same: the setting up is tried again then.
    const auto deadline = std::chrono::steady_clock::now() + settings.busyTimeout;
    for (;;) {
        const std::optional<Failure> failure = setUpDatabase(database);
        if (!failure)
            break;
        if (failure->kind != ErrorKind::busy || std::chrono::steady_clock::now() >= deadline)
            return Unexpected(*failure);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::shared_ptr<ProbeCache>(new ProbeCache(owner.release(), settings));
}

Status ProbeCache::clear(const ProbeCacheSettings& settings)
{
    if (settings.databasePath.empty())
        return ok();
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(settings.databasePath, error)))
        return ok();
    {
        auto cache = ProbeCache::open(settings);
        if (cache) {
            sqlite3* database = (*cache)->m_database;
            if (execute(database, "DELETE FROM runs")) {
                // Giving the space back is a nicety; another program reading it may refuse.
                execute(database, "VACUUM");
                return ok();
            }
            if (Failure failure = failureOf(database); failure.kind == ErrorKind::busy)
                return Unexpected(std::move(failure));
        } else if (cache.kind() == ErrorKind::busy || cache.kind() == ErrorKind::refused) {
            // In use by another program, not damaged, or not ours at all: it stays.
            return Unexpected(cache.failure());
        }
    }
    // A damaged database holds nothing worth keeping.
    removeDatabaseFiles(settings.databasePath);
    if (std::filesystem::exists(settings.databasePath, error))
        return Unexpected("cannot remove " + settings.databasePath);
    return ok();
}

ProbeCache::ProbeCache(sqlite3* database, ProbeCacheSettings settings)
    : m_database(database), m_settings(std::move(settings))
{
}

ProbeCache::~ProbeCache()
{
    closeDatabase(m_database);
}

bool ProbeCache::usable() const
{
    std::lock_guard lock(m_mutex);
    return m_usable;
}

void ProbeCache::giveUp(const std::string& why)
{
    if (!m_usable)
        return;
    m_usable = false;
    diagnostics::emitGeneralLine("the probe cache " + m_settings.databasePath +
                                 " cannot be used (" + why + "); probing without it");
}

std::optional<ToolRun> ProbeCache::find(const std::string& path, const FileStamp& stamp,
                                        const std::string& tool)
{
    std::lock_guard lock(m_mutex);
    if (!m_usable)
        return std::nullopt;
    Statement query(m_database,
                    "SELECT device, inode, size, modified_ns, changed_ns, output, tool_problem, "
                    "last_used, checksum FROM runs WHERE path = ?1 AND tool = ?2");
    if (!query) {
        giveUp(sqliteError(m_database));
        return std::nullopt;
    }
    query.bind(1, path);
    query.bind(2, tool);
    const int stepped = query.step();
    if (stepped == SQLITE_DONE)
        return std::nullopt;
    if (stepped != SQLITE_ROW) {
        giveUp(sqliteError(m_database));
        return std::nullopt;
    }
    const FileStamp kept{
        static_cast<std::uint64_t>(query.integer(0)), static_cast<std::uint64_t>(query.integer(1)),
        static_cast<std::uint64_t>(query.integer(2)), query.integer(3), query.integer(4)};
    if (kept != stamp)
        return std::nullopt;  // the file changed: the next store replaces the answer
    ToolRun run{.output = query.blob(5)};
    // A run kept with a reason reads back with it.
    if (std::string problem = query.blob(6); !problem.empty())
        run.status = Unexpected(std::move(problem));
    const std::int64_t lastUsed = query.integer(7);
    const std::int64_t checksum = query.integer(8);
    sqlite3_reset(query.get());
    if (checksum != answerChecksum(path, tool, stamp, run))
        return std::nullopt;  // damaged: probed again, and the store replaces it

    if (lastUsed < nowSeconds() - kTouchAfterSeconds) {
        Statement touch(m_database, "UPDATE runs SET last_used = ?3 WHERE path = ?1 AND tool = ?2");
        touch.bind(1, path);
        touch.bind(2, tool);
        touch.bind(3, nowSeconds());
        // A busy database only delays the refresh to another run.
        if (!touch ||
            (touch.step() != SQLITE_DONE && failureOf(m_database).kind != ErrorKind::busy))
            giveUp(sqliteError(m_database));
    }
    return run;
}

void ProbeCache::store(const std::string& path, const FileStamp& stamp, const std::string& tool,
                       const ToolRun& run)
{
    const std::uint64_t bytes = path.size() + tool.size() + run.output.size() +
                                run.problemText().size() + kRowOverheadBytes;
    std::lock_guard lock(m_mutex);
    if (!m_usable || bytes > m_settings.maxBytes)
        return;
    if (!execute(m_database, "BEGIN IMMEDIATE")) {
        giveUp(sqliteError(m_database));
        return;
    }
    Statement remove(m_database, "DELETE FROM runs WHERE path = ?1 AND tool = ?2");
    Statement insert(m_database,
                     "INSERT INTO runs (path, tool, device, inode, size, modified_ns, changed_ns, "
                     "output, tool_problem, bytes, last_used, checksum) "
                     "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
    bool fine = remove && insert;
    if (fine) {
        remove.bind(1, path);
        remove.bind(2, tool);
        insert.bind(1, path);
        insert.bind(2, tool);
        insert.bind(3, stamp.device);
        insert.bind(4, stamp.inode);
        insert.bind(5, stamp.size);
        insert.bind(6, stamp.modifiedNs);
        insert.bind(7, stamp.changedNs);
        insert.bind(8, run.output);
        insert.bind(9, run.problemText());
        insert.bind(10, bytes);
        insert.bind(11, nowSeconds());
        insert.bind(12, answerChecksum(path, tool, stamp, run));
        fine = remove.step() == SQLITE_DONE && insert.step() == SQLITE_DONE &&
               evictDownTo(m_settings.maxBytes);
    }
    if (!fine || !execute(m_database, "COMMIT")) {
        const std::string why = sqliteError(m_database);
        execute(m_database, "ROLLBACK");
        giveUp(why);
    }
}

std::optional<std::string> ProbeCache::findToolIdentity(const std::string& fingerprint)
{
    std::lock_guard lock(m_mutex);
    if (!m_usable)
        return std::nullopt;
    Statement query(m_database, "SELECT identity FROM tools WHERE fingerprint = ?1");
    if (!query) {
        giveUp(sqliteError(m_database));
        return std::nullopt;
    }
    query.bind(1, fingerprint);
    const int stepped = query.step();
    if (stepped == SQLITE_ROW)
        return query.blob(0);
    if (stepped != SQLITE_DONE)
        giveUp(sqliteError(m_database));
    return std::nullopt;
}

void ProbeCache::storeToolIdentity(const std::string& fingerprint, const std::string& identity)
{
    std::lock_guard lock(m_mutex);
    if (!m_usable)
        return;
    Statement insert(m_database,
                     "INSERT OR REPLACE INTO tools (fingerprint, identity) VALUES (?1, ?2)");
    if (!insert) {
        giveUp(sqliteError(m_database));
        return;
    }
    insert.bind(1, fingerprint);
    insert.bind(2, identity);
    if (insert.step() != SQLITE_DONE)
        giveUp(sqliteError(m_database));
}

bool ProbeCache::evictDownTo(std::uint64_t maxBytes)
{
    const auto target = static_cast<std::int64_t>(maxBytes / 100 * kEvictToPercent);
    bool over = false;
    for (;;) {
        const auto total = firstInteger(m_database, "SELECT bytes FROM totals WHERE id = 0");
        if (!total)
            return false;
        if (static_cast<std::uint64_t>(*total) <= maxBytes && !over)
            return true;
        if (*total <= target)
            return true;
        over = true;
        Statement oldest(m_database,
                         "DELETE FROM runs WHERE rowid IN "
                         "(SELECT rowid FROM runs ORDER BY last_used, rowid LIMIT 1)");
        if (!oldest || oldest.step() != SQLITE_DONE)
            return false;
        if (sqlite3_changes(m_database) == 0)
            return true;
    }
}

}  // namespace vellinor
