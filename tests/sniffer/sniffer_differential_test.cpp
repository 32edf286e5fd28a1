// Our sniffer against the system's ffprobe: the same document for every file of a corpus made
// at test time, member for member and in the same order, with the same exit status, both from
// a one-shot run and through a warm server ("sniffer --serve"). The few places where it cannot
// or must not match are named in one table below.

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <string_view>

#include "json/json.h"
#include "platform/process.h"
#include "platform/server_process.h"
#include "probe/serve_protocol.h"
#include "support/media_corpus.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kProbeArguments{
    "-v",           "quiet",         "-print_format",  "json",
    "-show_format", "-show_streams", "-show_chapters", "-show_error"};

// Where the sniffer's document may differ from ffprobe's: the file, the member (a path such as
// "streams/*/refs"; empty for the whole document) and why it cannot be matched.
struct KnownDifference {
    std::string_view file;
    std::string_view member;
    std::string_view why;
};
constexpr KnownDifference kKnownDifferences[] = {
    {"decoder-fails.m4a", "",
     "ffprobe 5.1 prints only \"{\" and exits 1 when a stream's decoder will not open; the "
     "sniffer prints the whole document and leaves out only that stream's decoder-derived keys"},
};

struct ToolOutput {
    int exitCode = -1;
    std::string document;
};

ToolOutput probeWith(const std::string& tool, const fs::path& file)
{
    std::vector<std::string> arguments = kProbeArguments;
    arguments.push_back(file.string());
    const auto result = platform::runProcess(tool, arguments);
    EXPECT_EQ(result.outcome, platform::ProcessResult::Outcome::exited)
        << tool << " " << file << " " << result.startError << " signal " << result.signalNumber;
    return {result.exitCode, result.standardOutput};
}

// One warm "sniffer --serve", asked for one file after another.
class Server {
public:
    Server()
    {
        auto started = platform::ServerProcess::start(VELLINOR_SNIFFER, {"--serve"});
        if (!started) {
            ADD_FAILURE() << started.error();
            return;
        }
        m_process = std::move(*started);
        const auto hello = m_process->receiveLine(serve_protocol::kMaxHeaderLine, deadline());
        EXPECT_TRUE(hello && *hello + '\n' == serve_protocol::kHello);
    }

    ToolOutput probe(const fs::path& file)
    {
        if (!m_process)
            return {};
        const std::string path = file.string();
        EXPECT_TRUE(m_process->send(serve_protocol::requestHeader(path.size()) + path, deadline()));
        const auto line = m_process->receiveLine(serve_protocol::kMaxHeaderLine, deadline());
        const auto header =
            line ? serve_protocol::parseAnswerHeader(*line, size_t{1} << 30) : std::nullopt;
        if (!header) {
            ADD_FAILURE() << "no answer header from the server";
            return {};
        }
        EXPECT_EQ(header->outcome, serve_protocol::Outcome::exited) << *line;
        const auto bytes = m_process->receive(header->length, deadline());
        EXPECT_TRUE(bytes);
        return {static_cast<int>(header->number), bytes ? *bytes : std::string()};
    }

private:
    static platform::ServerProcess::Deadline deadline()
    {
        return platform::ServerProcess::Clock::now() + std::chrono::seconds(60);
    }
    std::unique_ptr<platform::ServerProcess> m_process;
};

bool matchesPath(std::string_view pattern, std::string_view path)
{
    while (!pattern.empty() && !path.empty()) {
        const size_t patternEnd = std::min(pattern.find('/'), pattern.size());
        const size_t pathEnd = std::min(path.find('/'), path.size());
        const std::string_view step = pattern.substr(0, patternEnd);
        if (step != "*" && step != path.substr(0, pathEnd))
            return false;
        pattern.remove_prefix(std::min(patternEnd + 1, pattern.size()));
        path.remove_prefix(std::min(pathEnd + 1, path.size()));
    }
    return pattern.empty() && path.empty();
}

bool isKnownDifference(std::string_view file, std::string_view path)
{
    for (const KnownDifference& known : kKnownDifferences) {
        if (known.file == file && !known.member.empty() && matchesPath(known.member, path))
            return true;
    }
    return false;
}

const KnownDifference* wholeDocumentDifference(std::string_view file)
{
    for (const KnownDifference& known : kKnownDifferences) {
        if (known.file == file && known.member.empty())
            return &known;
    }
    return nullptr;
}

std::string scalarText(const JSON& value)
{
    if (value.type() == JSONType::string)
        return '"' + value.stringValue() + '"';
    return value.rawString().value_or("?");
}

// Every way `actual` differs from `expected`, as "path: what" lines; member order counts.
void collectDifferences(std::string_view file, const JSON& expected, const JSON& actual,
                        const std::string& path, std::vector<std::string>& differences)
{
    const std::string at = path.empty() ? "(document)" : path;
    if (expected.type() != actual.type()) {
        differences.push_back(at + ": ffprobe has " + scalarText(expected) + ", sniffer has " +
                              scalarText(actual));
        return;
    }
    auto child = [&](const std::string& step) { return path.empty() ? step : path + '/' + step; };
    if (expected.type() == JSONType::dictionary) {
        std::vector<std::pair<std::string, JSON>> want, got;
        for (auto& member : expected.dictionaryValue()) {
            if (!isKnownDifference(file, child(member.first)))
                want.push_back(std::move(member));
        }
        for (auto& member : actual.dictionaryValue()) {
            if (!isKnownDifference(file, child(member.first)))
                got.push_back(std::move(member));
        }
        std::string wantKeys, gotKeys;
        for (const auto& member : want)
            wantKeys += member.first + ' ';
        for (const auto& member : got)
            gotKeys += member.first + ' ';
        if (wantKeys != gotKeys) {
            differences.push_back(at + ": ffprobe's members are [ " + wantKeys +
                                  "], the sniffer's [ " + gotKeys + "]");
            return;
        }
        for (size_t i = 0; i < want.size(); ++i)
            collectDifferences(file, want[i].second, got[i].second, child(want[i].first),
                               differences);
    } else if (expected.type() == JSONType::array) {
        if (expected.count() != actual.count()) {
            differences.push_back(at + ": ffprobe has " + std::to_string(expected.count()) +
                                  " elements, the sniffer " + std::to_string(actual.count()));
            return;
        }
        for (size_t i = 0; i < expected.count(); ++i)
            collectDifferences(file, expected[i], actual[i], child(std::to_string(i)), differences);
    } else if (scalarText(expected) != scalarText(actual)) {
        differences.push_back(at + ": ffprobe has " + scalarText(expected) + ", sniffer has " +
                              scalarText(actual));
    }
}

// Fails the test for every difference between the two documents (or exit statuses); true when
// the documents are the same byte for byte.
bool expectSameDocument(std::string_view file, const ToolOutput& stock, const ToolOutput& ours)
{
    EXPECT_EQ(ours.exitCode, stock.exitCode);
    if (ours.document == stock.document)
        return true;
    const auto expected = JSON::parse(stock.document);
    const auto actual = JSON::parse(ours.document);
    EXPECT_TRUE(expected.hasValue()) << stock.document;
    EXPECT_TRUE(actual.hasValue()) << ours.document;
    if (expected && actual) {
        std::vector<std::string> differences;
        collectDifferences(file, *expected, *actual, "", differences);
        for (const std::string& difference : differences)
            ADD_FAILURE() << difference;
    }
    return false;
}

// The departure itself: ffprobe gives up on the file, the sniffer reads every stream it can.
void expectWholeDocumentDeparture(const KnownDifference& known, const ToolOutput& stock,
                                  const ToolOutput& ours)
{
    SCOPED_TRACE(known.why);
    EXPECT_EQ(stock.exitCode, 1);
    EXPECT_EQ(stock.document, "{\n");
    EXPECT_EQ(ours.exitCode, 0);
    const auto document = JSON::parse(ours.document);
    ASSERT_TRUE(document.hasValue()) << ours.document;
    EXPECT_GE((*document)["streams"].count(), 1U);
    EXPECT_EQ((*document)["streams"][0]["codec_name"].stringValue(), "aac");
    EXPECT_EQ((*document)["format"]["format_name"].stringValue(), "mov,mp4,m4a,3gp,3g2,mj2");
}

TEST(SnifferAgainstFfprobe, EveryCorpusFileGivesTheSameDocument)
{
    test::TempDir folder;
    const auto corpus = test::makeMediaCorpus(folder.path());
    ASSERT_GE(corpus.size(), 40U);

    const std::string sniffer = VELLINOR_SNIFFER;
    Server server;
    size_t byteIdentical = 0;
    for (const test::CorpusFile& file : corpus) {
        SCOPED_TRACE(file.name);
        const ToolOutput stock = probeWith(test::ffprobePath(), file.path);
        const ToolOutput ours = probeWith(sniffer, file.path);
        // The server's child writes what the one-shot run prints.
        const ToolOutput served = server.probe(file.path);
        EXPECT_EQ(served.exitCode, ours.exitCode);
        EXPECT_EQ(served.document, ours.document);
        if (const KnownDifference* known = wholeDocumentDifference(file.name)) {
            expectWholeDocumentDeparture(*known, stock, ours);
            continue;
        }
        if (expectSameDocument(file.name, stock, ours))
            ++byteIdentical;
    }
    std::cout << "sniffer against ffprobe: " << corpus.size() << " files, " << byteIdentical
              << " byte for byte the same\n";
}

// `bytes` with a few random edits: bytes overwritten, a large length planted, bytes inserted
// or cut out, the end cut off.
std::string mutated(std::string bytes, std::mt19937& random)
{
    auto below = [&](size_t bound) {
        return std::uniform_int_distribution<size_t>(0, bound == 0 ? 0 : bound - 1)(random);
    };
    const size_t edits = 1 + below(6);
    for (size_t edit = 0; edit < edits && !bytes.empty(); ++edit) {
        const size_t at = below(bytes.size());
        switch (below(5)) {
            case 0:
                bytes[at] = static_cast<char>(below(256));
                break;
            case 1:
                bytes.replace(at, 4, "\xff\xff\xff\x7f");
                break;
            case 2:
                bytes.insert(at, 1 + below(16), static_cast<char>(below(256)));
                break;
            case 3:
                bytes.erase(at, 1 + below(64));
                break;
            default:
                bytes.resize(std::max<size_t>(at, 1));
                break;
        }
    }
    return bytes;
}

// Damaged copies of the corpus files: the sniffer never crashes on them and still prints what
// ffprobe prints, or, where ffprobe gives up on a decoder that will not open, a whole document.
// VELLINOR_SNIFFER_MUTANTS sets how many (a fixed seed makes them the same every run).
TEST(SnifferAgainstFfprobe, DamagedFilesNeverCrashItAndStillGiveTheSameDocument)
{
    test::TempDir folder;
    std::vector<test::CorpusFile> corpus;
    for (test::CorpusFile& file : test::makeMediaCorpus(folder.path())) {
        std::error_code error;
        const auto size = fs::file_size(file.path, error);
        if (!error && size > 0 && fs::is_regular_file(file.path))
            corpus.push_back(std::move(file));
    }
    ASSERT_FALSE(corpus.empty());
    const char* wanted = std::getenv("VELLINOR_SNIFFER_MUTANTS");
    const size_t mutants = wanted ? std::strtoul(wanted, nullptr, 10) : 60;

    std::mt19937 random(20261208);
    size_t departures = 0;
    for (size_t i = 0; i < mutants; ++i) {
        const test::CorpusFile& source =
            corpus[std::uniform_int_distribution<size_t>(0, corpus.size() - 1)(random)];
        const fs::path mutant =
            folder / ("mutant-" + std::to_string(i) + source.path.extension().string());
        test::writeFile(mutant, mutated(test::readFile(source.path), random));
        SCOPED_TRACE(mutant.filename().string() + " from " + source.name);

        const ToolOutput ours = probeWith(VELLINOR_SNIFFER, mutant);
        const ToolOutput stock = probeWith(test::ffprobePath(), mutant);
        // Where no stream's decoder opens either answer is ffprobe's; where another one does,
        // the sniffer prints the whole document.
        if (stock.exitCode == 1 && stock.document == "{\n" &&
            !(ours.exitCode == 1 && ours.document == stock.document)) {
            ++departures;
            EXPECT_EQ(ours.exitCode, 0);
            EXPECT_TRUE(JSON::parse(ours.document).hasValue()) << ours.document;
            continue;
        }
        expectSameDocument(mutant.filename().string(), stock, ours);
        fs::remove(mutant);
    }
    std::cout << mutants << " damaged files, " << departures << " where a decoder would not open\n";
}

// A server's child probes files in turn while they are clean: every good file's document must
// be the one its own one-shot run prints, whatever files came before it in the same server,
// damaged ones (which end their child) included.
TEST(SnifferAgainstFfprobe, ReusedChildrenGiveEachFileItsOneShotDocument)
{
    test::TempDir folder;
    std::vector<test::CorpusFile> corpus;
    for (test::CorpusFile& file : test::makeMediaCorpus(folder.path())) {
        std::error_code error;
        if (fs::is_regular_file(file.path, error) && fs::file_size(file.path, error) > 0)
            corpus.push_back(std::move(file));
    }
    ASSERT_FALSE(corpus.empty());

    std::mt19937 random(20261209);
    Server server;
    for (size_t i = 0; i < corpus.size(); ++i) {
        std::vector<fs::path> turn = {corpus[i].path};
        // Two good files in a row, then a damaged one.
        if (i % 2 == 1) {
            const test::CorpusFile& source =
                corpus[std::uniform_int_distribution<size_t>(0, corpus.size() - 1)(random)];
            const fs::path mutant =
                folder / ("between-" + std::to_string(i) + source.path.extension().string());
            test::writeFile(mutant, mutated(test::readFile(source.path), random));
            turn.push_back(mutant);
        }
        for (const fs::path& file : turn) {
            SCOPED_TRACE(file.filename().string());
            const ToolOutput served = server.probe(file);
            const ToolOutput once = probeWith(VELLINOR_SNIFFER, file);
            EXPECT_EQ(served.exitCode, once.exitCode);
            EXPECT_EQ(served.document, once.document);
        }
    }
}

}  // namespace
}  // namespace vellinor
