// The probe cache: answers for unchanged files, probes of changed ones, the size cap, several
// processes at once, and a database that cannot be used never failing a probe.

#include <fcntl.h>
#include <grp.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/caching_tool_runner.h"
#include "probe/file_probe.h"
#include "probe/one_shot_tool_runner.h"
#include "probe/probe_cache.h"
#include "support/captured_diagnostics.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

// The real one-shot runner, counting how often it is asked.
class CountingRunner : public ToolRunner {
public:
    explicit CountingRunner(std::shared_ptr<ToolRunner> inner) : m_inner(std::move(inner)) {}
    ToolRun run(const std::string& path) override
    {
        ++runs;
        return m_inner->run(path);
    }
    [[nodiscard]] std::string identity() const override { return m_inner->identity(); }
    ToolRun runMode(const ModeRequest& request) override
    {
        ++modeRuns;
        return m_inner->runMode(request);
    }
    std::atomic<int> runs{0};
    std::atomic<int> modeRuns{0};

private:
    std::shared_ptr<ToolRunner> m_inner;
};

ProbeCacheSettings settingsIn(const test::TempDir& folder, std::uint64_t maxBytes = 1u << 24)
{
    ProbeCacheSettings settings;
    // Where probeCacheSettings() puts it when XDG_CACHE_HOME is `folder`.
    settings.databasePath = (folder / "vellinor/probe-cache.sqlite").string();
    settings.maxBytes = maxBytes;
    settings.busyTimeout = std::chrono::milliseconds(200);
    return settings;
}

std::shared_ptr<ProbeCache> openCache(const ProbeCacheSettings& settings)
{
    auto cache = ProbeCache::open(settings);
    EXPECT_TRUE(cache.hasValue()) << (cache ? "" : cache.error());
    return cache ? *cache : nullptr;
}

void setModified(const fs::path& path, long seconds)
{
    const timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(CachingToolRunner, AnswersUnchangedFilesAndProbesChangedOnesAgain)
{
    test::TempDir folder;
    const fs::path clip = folder / "clip.mka";
    ASSERT_TRUE(
        test::runFfmpeg({"-f", "lavfi", "-i", "sine=duration=0.3", "-c:a", "flac", clip.string()}));
    auto counting =
        std::make_shared<CountingRunner>(std::make_shared<OneShotToolRunner>(test::ffprobePath()));
    auto cached = std::make_shared<CachingToolRunner>(counting, openCache(settingsIn(folder)));
    ProbeOptions options;
    options.toolRunner = cached;
    const std::string fresh = FileProbe(clip.string()).json->rawString().value_or("");

    struct Step {
        const char* name;
        std::function<void()> change;
        bool probed;
    };
    const std::string bytes = test::readFile(clip);
    const Step steps[] = {
        {"first look", [] {}, true},
        {"unchanged", [] {}, false},
        {"touched: same size, new time", [&] { setModified(clip, 1'000'000'000); }, true},
        {"unchanged again", [] {}, false},
        {"rewritten in place with its old time (only the change time tells)",
         [&] {
             test::writeFile(clip, bytes);
             setModified(clip, 1'000'000'000);
         },
         true},
        {"replaced by another file (new inode)",
         [&] {
             test::writeFile(folder / "new.mka", bytes);
             fs::rename(folder / "new.mka", clip);
         },
         true},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        const int before = counting->runs;
        const FileProbe probe(clip.string(), options);
        EXPECT_EQ(counting->runs - before, step.probed ? 1 : 0);
        ASSERT_TRUE(probe.json.has_value());
        EXPECT_EQ(probe.json->rawString().value_or(""), fresh);
    }

    // Another tool (its identity differs) never gets the first tool's answer.
    auto other = std::make_shared<CountingRunner>(std::make_shared<OneShotToolRunner>(
        (folder / "sniffer").string(), std::chrono::seconds(10)));
    fs::create_symlink(test::ffprobePath(), folder / "sniffer");
    options.toolRunner = std::make_shared<CachingToolRunner>(other, openCache(settingsIn(folder)));
    (void)FileProbe(clip.string(), options);
    EXPECT_EQ(other->runs, 1);
}

// HEVC from libx265 keeps its HDR metadata in the first frame, which a second child reads: a
// re-run of the unchanged file is answered whole from the cache, that reading included.
TEST(CachingToolRunner, AnswersTheFirstFrameReadingOfAnUnchangedFileToo)
{
    test::TempDir folder;
    const fs::path clip = folder / "hdr10.mp4";
    ASSERT_TRUE(test::runFfmpeg(
        {"-f", "lavfi", "-i", "testsrc2=size=128x72:rate=25", "-frames:v", "2", "-c:v", "libx265",
         "-x265-params",
         "log-level=error:hdr-opt=1:repeat-headers=1:colorprim=bt2020:transfer=smpte2084:"
         "colormatrix=bt2020nc:master-display=G(13250,34500)B(7500,3000)R(34000,16000)"
         "WP(15635,16450)L(10000000,1):max-cll=1000,400",
         "-pix_fmt", "yuv420p10le", clip.string()}));
    auto counting =
        std::make_shared<CountingRunner>(std::make_shared<OneShotToolRunner>(test::ffprobePath()));
    ProbeOptions options;
    options.toolRunner =
        std::make_shared<CachingToolRunner>(counting, openCache(settingsIn(folder)));

    const FileProbe first(clip.string(), options);
    const FileProbe again(clip.string(), options);
    EXPECT_EQ(counting->runs, 1);
    EXPECT_EQ(counting->modeRuns, 1);
    ASSERT_EQ(again.tracksInfo.size(), 1u);
    ASSERT_TRUE(again.tracksInfo[0].hdr);
    EXPECT_TRUE(again.tracksInfo[0].hdr->contentLightLevel) << "the frame's facts came back";
    EXPECT_EQ(again.tracksInfo, first.tracksInfo);
}

TEST(CachingToolRunner, NeverKeepsAFailedRun)
{
    test::TempDir folder;
    const fs::path clip = folder / "clip.bin";
    test::writeFile(clip, "some bytes");
    const fs::path tool = folder / "slow-tool";
    test::writeScript(tool, "[ \"$1\" = --version ] && { echo slow 1.0; exit 0; }\nsleep 5\n");
    auto counting = std::make_shared<CountingRunner>(
        std::make_shared<OneShotToolRunner>(tool.string(), std::chrono::milliseconds(100)));
    ProbeOptions options;
    options.toolRunner =
        std::make_shared<CachingToolRunner>(counting, openCache(settingsIn(folder)), tool.string());
    for (int round = 1; round <= 2; ++round) {
        const FileProbe probe(clip.string(), options);
        EXPECT_EQ(probe.toolProblem, "the probe tool timed out after 100 ms");
        EXPECT_EQ(counting->runs, round);
    }
}

TEST(ProbeCache, ADatabaseThatCannotBeUsedIsBypassedWithOneLine)
{
    struct Case {
        const char* name;
        std::function<void(const ProbeCacheSettings&)> spoil;
    };
    sqlite3* holder = nullptr;
    const Case cases[] = {
        {"garbage bytes",
         [](const ProbeCacheSettings& s) {
             test::writeFile(s.databasePath, std::string(8192, '\x5a') + "not sqlite");
         }},
        {"held by another connection's exclusive lock",
         [&](const ProbeCacheSettings& s) {
             ASSERT_TRUE(openCache(s));
             ASSERT_EQ(sqlite3_open(s.databasePath.c_str(), &holder), SQLITE_OK);
             ASSERT_EQ(sqlite3_exec(holder,
                                    "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; "
                                    "DELETE FROM tools;",
                                    nullptr, nullptr, nullptr),
                       SQLITE_OK)
                 << sqlite3_errmsg(holder);
         }},
        {"its folder is a file",
         [](const ProbeCacheSettings& s) {
             test::writeFile(fs::path(s.databasePath).parent_path(), "a file");
         }},
        {"its folder is read-only",
         [](const ProbeCacheSettings& s) {
             fs::create_directories(fs::path(s.databasePath).parent_path());
             ::chmod(fs::path(s.databasePath).parent_path().c_str(), 0555);
         }},
    };
    // True when the cache cannot be opened, and the front ends' hook falls back to the plain
    // runner with one line saying why.
    auto bypassed = [](const test::TempDir& folder, const ProbeCacheSettings& settings) {
        if (ProbeCache::open(settings).hasValue())
            return false;
        std::shared_ptr<ToolRunner> inner =
            std::make_shared<OneShotToolRunner>(test::ffprobePath());
        test::CapturedDiagnostics captured;
        const std::string previous =
            std::getenv("XDG_CACHE_HOME") ? std::getenv("XDG_CACHE_HOME") : "";
        ::setenv("XDG_CACHE_HOME", folder.path().c_str(), 1);
        const auto chosen = withProbeCache([inner] { return inner; });
        ::setenv("XDG_CACHE_HOME", previous.c_str(), 1);
        return chosen == inner && captured.lines().size() == 1 &&
               captured.lines()[0].find("probing without it") != std::string::npos;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir folder;
        const auto settings = settingsIn(folder);
        c.spoil(settings);
        if (std::string_view(c.name) == "its folder is read-only" && ::geteuid() == 0) {
            // Root writes into read-only folders: the check runs as the user nobody.
            ::chmod(folder.path().c_str(), 0755);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                const bool dropped =
                    ::setgroups(0, nullptr) == 0 && ::setgid(65534) == 0 && ::setuid(65534) == 0;
                ::_exit(dropped && bypassed(folder, settings) ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        } else {
            EXPECT_TRUE(bypassed(folder, settings));
        }
        ::chmod(fs::path(settings.databasePath).parent_path().c_str(), 0755);
        if (holder) {
            sqlite3_close(holder);
            holder = nullptr;
        }
    }
}

TEST(ProbeCache, ALockTakenDuringARunTurnsTheCacheOffAndEveryFileIsStillProbed)
{
    test::TempDir folder;
    const auto settings = settingsIn(folder);
    auto counting =
        std::make_shared<CountingRunner>(std::make_shared<OneShotToolRunner>(test::ffprobePath()));
    ProbeOptions options;
    options.toolRunner = std::make_shared<CachingToolRunner>(counting, openCache(settings));
    (void)options.toolRunner->identity();

    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(settings.databasePath.c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(
        // In WAL mode a writer's transaction leaves reads alone but holds off every other writer.
        sqlite3_exec(holder, "BEGIN EXCLUSIVE; DELETE FROM tools;", nullptr, nullptr, nullptr),
        SQLITE_OK);
    test::CapturedDiagnostics captured;
    for (int i = 0; i < 3; ++i) {
        const fs::path file = folder / ("file" + std::to_string(i) + ".txt");
        test::writeFile(file, "not media");
        (void)FileProbe(file.string(), options);
    }
    // Clearing waits for no one and deletes nothing another program is using.
    EXPECT_TRUE(ProbeCache::clear(settings).failedWith(ErrorKind::busy));
    EXPECT_TRUE(fs::exists(settings.databasePath));
    sqlite3_close(holder);
    EXPECT_EQ(counting->runs, 3);
    ASSERT_EQ(captured.lines().size(), 1u);
    EXPECT_NE(captured.lines()[0].find("probing without it"), std::string::npos)
        << captured.lines()[0];
    // Said while a file was probed, but about the cache: no front end may blame that file.
    EXPECT_TRUE(captured.general()[0]);
}

FileStamp stampNumber(std::uint64_t n)
{
    return FileStamp{1, n, 100, static_cast<std::int64_t>(n), static_cast<std::int64_t>(n)};
}

std::int64_t sqlNumber(const std::string& database, const char* sql)
{
    sqlite3* connection = nullptr;
    std::int64_t value = -1;
    if (sqlite3_open(database.c_str(), &connection) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW)
            value = sqlite3_column_int64(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(connection);
    return value;
}

TEST(ProbeCache, TwoProcessesWriteAtOnce)
{
    test::TempDir folder;
    const auto settings = settingsIn(folder);
    constexpr int kOwn = 300;
    constexpr int kShared = 50;
    std::vector<pid_t> children;
    for (int child = 0; child < 2; ++child) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            auto cache = ProbeCache::open([&] {
                auto s = settings;
                s.busyTimeout = std::chrono::seconds(10);
                return s;
            }());
            if (!cache)
                ::_exit(2);
            for (int i = 0; i < kOwn + kShared; ++i) {
                const bool shared = i >= kOwn;
                const std::string path =
                    shared ? "/shared/" + std::to_string(i)
                           : "/child" + std::to_string(child) + "/" + std::to_string(i);
                (*cache)->store(path, stampNumber(static_cast<std::uint64_t>(i)), "tool",
                                ToolRun{std::string(500, 'x') + path});
            }
            ::_exit((*cache)->usable() ? 0 : 3);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }

    auto cache = openCache(settings);
    ASSERT_TRUE(cache);
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < kOwn; ++i) {
            const std::string path = "/child" + std::to_string(child) + "/" + std::to_string(i);
            const auto found =
                cache->find(path, stampNumber(static_cast<std::uint64_t>(i)), "tool");
            ASSERT_TRUE(found.has_value()) << path;
            EXPECT_EQ(found->output, std::string(500, 'x') + path);
        }
    }
    EXPECT_EQ(sqlNumber(settings.databasePath, "SELECT count(*) FROM runs"), 2 * kOwn + kShared);
    EXPECT_EQ(sqlNumber(settings.databasePath,
                        "SELECT (SELECT bytes FROM totals) = (SELECT sum(bytes) FROM runs)"),
              1);
}

TEST(ProbeCache, StaysUnderItsCapByDroppingTheLeastRecentlyUsed)
{
    test::TempDir folder;
    constexpr std::uint64_t kEntry = 1000;  // bytes of output per answer
    // Room for 24 answers (each takes its output, its path and tool, and some overhead).
    const auto settings = settingsIn(folder, 24 * 1200);
    auto cache = openCache(settings);
    ASSERT_TRUE(cache);
    auto store = [&](int i) {
        cache->store("/media/" + std::to_string(i), stampNumber(static_cast<std::uint64_t>(i)),
                     "tool", ToolRun{std::string(kEntry, 'd')});
    };
    auto kept = [&](int i) {
        return cache
            ->find("/media/" + std::to_string(i), stampNumber(static_cast<std::uint64_t>(i)),
                   "tool")
            .has_value();
    };
    for (int i = 0; i < 10; ++i)
        store(i);
    // Make them old, then use the first one again: it becomes the most recently used.
    ASSERT_EQ(sqlNumber(settings.databasePath,
                        "UPDATE runs SET last_used = last_used - 3600 RETURNING 0"),
              0);
    ASSERT_TRUE(kept(0));
    for (int i = 10; i < 30; ++i)
        store(i);

    EXPECT_TRUE(kept(0)) << "used recently";
    EXPECT_FALSE(kept(1));
    EXPECT_TRUE(kept(29));
    EXPECT_LE(sqlNumber(settings.databasePath, "SELECT bytes FROM totals"), 24 * 1200);
    EXPECT_EQ(sqlNumber(settings.databasePath,
                        "SELECT (SELECT bytes FROM totals) = (SELECT sum(bytes) FROM runs)"),
              1);

    // An answer larger than the whole cap is not kept.
    cache->store("/huge", stampNumber(99), "tool", ToolRun{std::string(30 * 1200, 'h')});
    EXPECT_FALSE(cache->find("/huge", stampNumber(99), "tool").has_value());
}

std::string sqlText(const std::string& database, const char* sql)
{
    sqlite3* connection = nullptr;
    std::string value;
    if (sqlite3_open(database.c_str(), &connection) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(connection, sql, -1, &statement, nullptr) == SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW && sqlite3_column_text(statement, 0))
            value = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        sqlite3_finalize(statement);
    }
    sqlite3_close(connection);
    return value;
}

TEST(ProbeCache, AChangedByteInAStoredAnswerIsAMissAndIsReplaced)
{
    struct Case {
        const char* name;
        const char* damage;
    };
    const Case cases[] = {
        {"one digit of the document",
         "UPDATE runs SET output = CAST(replace(CAST(output AS TEXT), '2.5', '7.5') AS BLOB)"},
        {"the tool's problem", "UPDATE runs SET tool_problem = CAST('x' AS BLOB)"},
        {"16 bytes overwritten",
         "UPDATE runs SET output = CAST(substr(CAST(output AS TEXT), 1, 4) || "
         "'AAAAAAAAAAAAAAAA' || substr(CAST(output AS TEXT), 21) AS BLOB)"},
    };
    const ToolRun good{R"({"format": {"duration": "2.5"}, "streams": [{"codec_type": "audio"}]})"};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir folder;
        const auto settings = settingsIn(folder);
        auto cache = openCache(settings);
        ASSERT_TRUE(cache);
        cache->store("/media/a.mp3", stampNumber(1), "tool", good);
        ASSERT_TRUE(cache->find("/media/a.mp3", stampNumber(1), "tool").has_value());
        ASSERT_EQ(
            sqlNumber(settings.databasePath, (std::string(c.damage) + " RETURNING 0").c_str()), 0);
        EXPECT_FALSE(cache->find("/media/a.mp3", stampNumber(1), "tool").has_value());
        EXPECT_TRUE(cache->usable());
        // Probed again, the answer replaces the damaged one.
        cache->store("/media/a.mp3", stampNumber(1), "tool", good);
        const auto found = cache->find("/media/a.mp3", stampNumber(1), "tool");
        ASSERT_TRUE(found.has_value());
        EXPECT_EQ(found->output, good.output);
    }
}

TEST(ProbeCache, NeverChangesADatabaseThatIsNotOurs)
{
    struct Case {
        const char* name;
        bool link;           // the cache's path is a link to the other database
        const char* schema;  // of the other database; empty: there is none (the link dangles)
    };
    const Case cases[] = {
        {"a link to another program's database with a runs table", true,
         "CREATE TABLE runs (path BLOB, output BLOB); INSERT INTO runs VALUES ('a', 'b');"},
        {"a link to nothing yet", true, ""},
        {"another program's database in its place", false,
         "CREATE TABLE runs (path BLOB, output BLOB); PRAGMA user_version = 1;"},
        {"another program's marked database in its place", false,
         "CREATE TABLE notes (text); PRAGMA application_id = 42;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir folder;
        const auto settings = settingsIn(folder);
        const fs::path other = folder / "other.sqlite";
        const bool dangling = *c.schema == 0;
        if (!dangling) {
            sqlite3* connection = nullptr;
            ASSERT_EQ(sqlite3_open(other.c_str(), &connection), SQLITE_OK);
            ASSERT_EQ(sqlite3_exec(connection, c.schema, nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(connection);
        }
        const std::string before = dangling ? "" : test::readFile(other);
        fs::create_directories(fs::path(settings.databasePath).parent_path());
        if (c.link)
            fs::create_symlink(other, settings.databasePath);
        else
            fs::copy_file(other, settings.databasePath);
        const fs::path target = c.link ? other : fs::path(settings.databasePath);

        EXPECT_TRUE(ProbeCache::open(settings).failedWith(ErrorKind::refused));
        EXPECT_TRUE(ProbeCache::clear(settings).failedWith(ErrorKind::refused));
        EXPECT_FALSE(fs::exists(target.string() + "-wal"));
        EXPECT_TRUE(fs::exists(fs::symlink_status(settings.databasePath)));
        if (dangling) {
            EXPECT_FALSE(fs::exists(other)) << "made through the link";
        } else {
            EXPECT_EQ(test::readFile(target), before);
            EXPECT_EQ(sqlText(target.string(), "PRAGMA journal_mode"), "delete");
        }
    }
}

TEST(ProbeCache, ACacheFromBeforeTheChecksumsIsBroughtUpToDate)
{
    test::TempDir folder;
    const auto settings = settingsIn(folder);
    fs::create_directories(fs::path(settings.databasePath).parent_path());
    sqlite3* connection = nullptr;
    ASSERT_EQ(sqlite3_open(settings.databasePath.c_str(), &connection), SQLITE_OK);
    // The first schema, as the first releases made it.
    ASSERT_EQ(sqlite3_exec(connection, R"sql(
        PRAGMA journal_mode = WAL;
        CREATE TABLE runs (path BLOB NOT NULL, tool BLOB NOT NULL, device INTEGER NOT NULL,
            inode INTEGER NOT NULL, size INTEGER NOT NULL, modified_ns INTEGER NOT NULL,
            changed_ns INTEGER NOT NULL, output BLOB NOT NULL, tool_problem BLOB NOT NULL,
            bytes INTEGER NOT NULL, last_used INTEGER NOT NULL, PRIMARY KEY (path, tool));
        CREATE INDEX runs_by_last_use ON runs (last_used);
        CREATE TABLE tools (fingerprint BLOB PRIMARY KEY, identity BLOB NOT NULL);
        CREATE TABLE totals (id INTEGER PRIMARY KEY CHECK (id = 0), bytes INTEGER NOT NULL);
        INSERT INTO totals VALUES (0, 0);
        CREATE TRIGGER runs_added AFTER INSERT ON runs
            BEGIN UPDATE totals SET bytes = bytes + NEW.bytes; END;
        INSERT INTO runs VALUES (CAST('/media/a.mp3' AS BLOB), CAST('tool' AS BLOB), 1, 1, 100,
                                 1, 1, CAST('{}' AS BLOB), CAST('' AS BLOB), 130, 0);
        INSERT INTO tools VALUES (CAST('fingerprint' AS BLOB), CAST('sniffer 1' AS BLOB));
        PRAGMA user_version = 1;
    )sql",
                           nullptr, nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(connection);
    sqlite3_close(connection);

    auto cache = openCache(settings);
    ASSERT_TRUE(cache);
    // Its answers have no checksum and go; what a tool is called stays.
    EXPECT_FALSE(cache->find("/media/a.mp3", stampNumber(1), "tool").has_value());
    EXPECT_EQ(cache->findToolIdentity("fingerprint").value_or(""), "sniffer 1");
    cache->store("/media/a.mp3", stampNumber(1), "tool", ToolRun{"{}"});
    EXPECT_TRUE(cache->find("/media/a.mp3", stampNumber(1), "tool").has_value());
    EXPECT_EQ(sqlNumber(settings.databasePath, "PRAGMA user_version"), 2);
    EXPECT_EQ(sqlNumber(settings.databasePath, "PRAGMA application_id"), 0x564C4E52);
    EXPECT_EQ(sqlNumber(settings.databasePath,
                        "SELECT (SELECT bytes FROM totals) = (SELECT sum(bytes) FROM runs)"),
              1);
}

}  // namespace
}  // namespace vellinor
