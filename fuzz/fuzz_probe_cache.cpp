// Fuzz target: arbitrary bytes as what the probe cache's database holds when it is read back:
// rows of any SQLite type in every column (as another program or an old version could leave
// them), odd totals, a schema with parts missing, and pages overwritten with junk. The cache
// must never crash nor hand back an answer it was not given for that file and stamp: it finds
// a stored answer whole or not at all, and a database it cannot use only turns it off.

#include <sqlite3.h>
#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "probe/probe_cache.h"

namespace vellinor::fuzz {
namespace {

// Takes values from the front of the input; zeros once it runs out.
class Input {
public:
    explicit Input(std::string_view bytes) : m_bytes(bytes) {}

    std::uint8_t byte()
    {
        if (m_bytes.empty())
            return 0;
        const auto value = static_cast<std::uint8_t>(m_bytes.front());
        m_bytes.remove_prefix(1);
        return value;
    }
    std::int64_t integer()
    {
        // Small values are common in the input, any 64-bit value is possible.
        const std::uint8_t width = byte() % 9;
        std::uint64_t value = 0;
        for (std::uint8_t i = 0; i < width; ++i)
            value = (value << 8) | byte();
        return static_cast<std::int64_t>(value);
    }
    std::string text()
    {
        const std::size_t length = std::min<std::size_t>(byte(), m_bytes.size());
        std::string value(m_bytes.substr(0, length));
        m_bytes.remove_prefix(length);
        return value;
    }

private:
    std::string_view m_bytes;
};

// One value of the type the input picks, kept to be bound to a statement.
struct Value {
    int type = SQLITE_NULL;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes;

    static Value from(Input& input)
    {
        Value value;
        switch (input.byte() % 5) {
            case 0:
                break;
            case 1:
                value.type = SQLITE_INTEGER;
                value.integer = input.integer();
                break;
            case 2: {
                value.type = SQLITE_FLOAT;
                const std::int64_t bits = input.integer();
                std::memcpy(&value.real, &bits, sizeof bits);
                break;
            }
            case 3:
                value.type = SQLITE_TEXT;
                value.bytes = input.text();
                break;
            default:
                value.type = SQLITE_BLOB;
                value.bytes = input.text();
                break;
        }
        return value;
    }

    void bind(sqlite3_stmt* statement, int index) const
    {
        switch (type) {
            case SQLITE_INTEGER:
                sqlite3_bind_int64(statement, index, integer);
                break;
            case SQLITE_FLOAT:
                sqlite3_bind_double(statement, index, real);
                break;
            case SQLITE_TEXT:
                sqlite3_bind_text64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT,
                                    SQLITE_UTF8);
                break;
            case SQLITE_BLOB:
                sqlite3_bind_blob64(statement, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
                break;
            default:
                sqlite3_bind_null(statement, index);
                break;
        }
    }
};

void run(sqlite3* database, const char* sql, const std::vector<Value>& values)
{
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(database, sql, -1, &statement, nullptr) != SQLITE_OK)
        return;
    for (std::size_t i = 0; i < values.size(); ++i)
        values[i].bind(statement, static_cast<int>(i + 1));
    sqlite3_step(statement);  // a value a constraint refuses is no row: fine
    sqlite3_finalize(statement);
}

// The folder of the database, in memory when the system has /dev/shm; removed at the end.
class Folder {
public:
    Folder()
    {
        char shm[] = "/dev/shm/vellinor-fuzz-cache-XXXXXX";
        char tmp[] = "/tmp/vellinor-fuzz-cache-XXXXXX";
        const char* made = ::mkdtemp(shm);
        if (made == nullptr)
            made = ::mkdtemp(tmp);
        FUZZ_CHECK(made != nullptr);
        m_path = made;
    }
    ~Folder()
    {
        removeDatabase();
        ::rmdir(m_path.c_str());
    }
    std::string database() const { return m_path + "/probe-cache.sqlite"; }
    void removeDatabase() const
    {
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            ::unlink((database() + suffix).c_str());
    }

private:
    std::string m_path;
};

// The key the first planted row was given, as the cache is asked for it.
struct Key {
    std::string path;
    std::string tool;
    FileStamp stamp;
};

// Makes the database the way the cache makes it, then plants what the input says.
Key plant(const std::string& path, Input& input)
{
    ProbeCacheSettings settings{path, 1'000'000, std::chrono::milliseconds(0)};
    FUZZ_CHECK(ProbeCache::open(settings).hasValue());

    sqlite3* database = nullptr;
    FUZZ_CHECK(sqlite3_open(path.c_str(), &database) == SQLITE_OK);
    Key key;
    const std::uint8_t rows = input.byte() % 4;
    for (std::uint8_t row = 0; row < rows; ++row) {
        std::vector<Value> values;
        for (int column = 0; column < 11; ++column)
            values.push_back(Value::from(input));
        if (row == 0) {
            key.path = values[0].bytes;
            key.tool = values[1].bytes;
            key.stamp = {static_cast<std::uint64_t>(values[2].integer),
                         static_cast<std::uint64_t>(values[3].integer),
                         static_cast<std::uint64_t>(values[4].integer), values[5].integer,
                         values[6].integer};
        }
        run(database,
            "INSERT OR REPLACE INTO runs VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)",
            values);
    }
    run(database, "INSERT OR REPLACE INTO tools VALUES (?1, ?2)",
        {Value::from(input), Value::from(input)});
    const std::uint8_t changes = input.byte();
    if (changes & 1)
        run(database, "UPDATE totals SET bytes = ?1", {Value::from(input)});
    if (changes & 2)
        run(database, "DROP TRIGGER runs_added", {});
    if (changes & 4)
        run(database, "DROP TABLE totals", {});
    if (changes & 8)
        run(database, "DROP TABLE tools", {});
    if (changes & 16)
        run(database, "PRAGMA user_version = 0", {});
    // Closing the last connection moves the log into the database file.
    FUZZ_CHECK(sqlite3_close(database) == SQLITE_OK);

    if (changes & 32) {
        std::FILE* file = std::fopen(path.c_str(), "r+b");
        FUZZ_CHECK(file != nullptr);
        for (std::uint8_t patch = input.byte() % 8; patch > 0; --patch) {
            const long offset = static_cast<long>(input.byte()) * 64 + input.byte() % 64;
            const std::string junk = input.text();
            std::fseek(file, offset, SEEK_SET);
            std::fwrite(junk.data(), 1, junk.size(), file);
        }
        std::fclose(file);
    }
    return key;
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    static const fuzz::Folder folder;
    fuzz::Input input(std::string_view(reinterpret_cast<const char*>(data), size));
    folder.removeDatabase();
    const fuzz::Key key = fuzz::plant(folder.database(), input);

    const std::uint64_t maxBytes = 1 + static_cast<std::uint64_t>(input.byte()) * 64;
    auto opened = ProbeCache::open({folder.database(), maxBytes, std::chrono::milliseconds(0)});
    if (!opened)
        return 0;
    ProbeCache& cache = **opened;
    const auto before = cache.find(key.path, key.stamp, key.tool);
    (void)cache.findToolIdentity(input.text());

    // What is stored is found again whole; or, when it was not kept (too large, evicted, or
    // the cache turned off), what was there before or nothing.
    ToolRun stored{input.text()};
    if (std::string problem = input.text(); !problem.empty())
        stored.status = Unexpected(std::move(problem));
    cache.store(key.path, key.stamp, key.tool, stored);
    const auto found = cache.find(key.path, key.stamp, key.tool);
    const auto same = [](const ToolRun& a, const ToolRun& b) {
        return a.output == b.output && a.problemText() == b.problemText();
    };
    FUZZ_CHECK(!found || same(*found, stored) || (before && same(*found, *before)));
    // Once stored, no older answer for the file is left to be found under another stamp.
    const std::size_t rowBytes = key.path.size() + key.tool.size() + stored.output.size() +
                                 stored.problemText().size() + 128;
    if (cache.usable() && rowBytes <= maxBytes) {
        FileStamp other = key.stamp;
        ++other.size;
        FUZZ_CHECK(!cache.find(key.path, other, key.tool));
    }
    cache.storeToolIdentity("fingerprint", stored.output);
    const auto identity = cache.findToolIdentity("fingerprint");
    FUZZ_CHECK(!identity || *identity == stored.output);
    return 0;
}
