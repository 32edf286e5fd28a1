// Fuzz target: arbitrary bytes as all that a probe server says, read by the client
// (ProbeService) through a real server process: a small shell script that prints the input,
// reads one request line and exits. The client must take the answer exactly when the input is
// a greeting, a well-formed answer line and at least the bytes it announces, and otherwise fall
// back to a one-shot run of the same tool (which prints the input whole) without waiting.

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "probe/probe_service.h"
#include "probe/serve_protocol.h"

namespace vellinor::fuzz {
namespace {

namespace protocol = serve_protocol;

// The most a one-shot run may print, and so the longest answer a server may announce.
constexpr std::size_t kMaxOutputBytes = std::size_t{256} << 20;

struct Answer {
    std::string word;
    std::string bytes;
};

// A whole decimal number of digits only, at most `max`.
std::optional<std::uint64_t> plainNumber(std::string_view text, std::uint64_t max)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > max)
            return std::nullopt;
    }
    return value;
}

// The answer the input holds, decoded plainly, or nothing when a client must give up on it.
std::optional<Answer> answerIn(std::string_view input)
{
    if (input.substr(0, protocol::kHello.size()) != protocol::kHello)
        return std::nullopt;
    input.remove_prefix(protocol::kHello.size());
    const std::size_t newline = input.find('\n');
    if (newline == std::string_view::npos || newline >= protocol::kMaxHeaderLine)
        return std::nullopt;
    const std::string_view line = input.substr(0, newline);
    const std::size_t first = line.find(' ');
    const std::size_t second = line.find(' ', first == line.npos ? line.size() : first + 1);
    if (second == line.npos)
        return std::nullopt;
    const std::string word(line.substr(0, first));
    if (word != "exit" && word != "signal" && word != "timeout" && word != "overflow" &&
        word != "unstarted")
        return std::nullopt;
    const auto length = plainNumber(line.substr(second + 1), kMaxOutputBytes);
    if (!plainNumber(line.substr(first + 1, second - first - 1), 255) || !length)
        return std::nullopt;
    const std::string_view rest = input.substr(newline + 1);
    if (rest.size() < *length)
        return std::nullopt;
    return Answer{word, std::string(rest.substr(0, *length))};
}

// A folder with the fake tool; removed when the program ends.
class FakeServer {
public:
    FakeServer()
    {
        char folder[] = "/tmp/vellinor-fuzz-serve-XXXXXX";
        FUZZ_CHECK(::mkdtemp(folder) != nullptr);
        m_folder = folder;
        // Run one-shot (any other arguments) it prints the input whole. As a server it waits
        // for the request only after a whole first line: a client still waiting for its
        // greeting would otherwise wait for a server that waits for it.
        const std::string script =
            "#!/bin/sh\n"
            "if [ \"$1\" != --serve ]; then exec cat '" +
            answers() + "'; fi\n" + "cat '" + answers() +
            "'\n"
            "if [ -e '" +
            waitMark() + "' ]; then read -r request; fi\n";
        write(tool(), script);
        FUZZ_CHECK(::chmod(tool().c_str(), 0700) == 0);
    }
    ~FakeServer()
    {
        ::unlink(answers().c_str());
        ::unlink(waitMark().c_str());
        ::unlink(tool().c_str());
        ::rmdir(m_folder.c_str());
    }

    void say(std::string_view bytes) const
    {
        write(answers(), bytes);
        const std::size_t newline = bytes.find('\n');
        if (newline != std::string_view::npos && newline < protocol::kMaxHeaderLine)
            write(waitMark(), "");
        else
            ::unlink(waitMark().c_str());
    }
    std::string tool() const { return m_folder + "/tool"; }

private:
    std::string answers() const { return m_folder + "/answers"; }
    std::string waitMark() const { return m_folder + "/wait"; }
    static void write(const std::string& path, std::string_view bytes)
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        FUZZ_CHECK(out.good());
    }

    std::string m_folder;
};

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    static const fuzz::FakeServer server;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    server.say(input);

    ProbeService service(
        {.servers = 1, .toolPath = server.tool(), .timeout = std::chrono::seconds(5)});
    const ToolRun run = service.run("/media/clip.mp4");
    const ProbeService::Counts counts = service.counts();

    const auto answer = fuzz::answerIn(input);
    if (!answer) {
        FUZZ_CHECK(counts.served == 0 && counts.oneShot == 1);
        FUZZ_CHECK(run.output == input && run.status.hasValue());
        return 0;
    }
    FUZZ_CHECK(counts.served == 1 && counts.oneShot == 0);
    if (answer->word == "exit") {
        FUZZ_CHECK(run.output == answer->bytes && run.status.hasValue());
    } else if (answer->word == "signal") {
        FUZZ_CHECK(run.output == answer->bytes && !run.status.hasValue());
    } else {
        FUZZ_CHECK(run.output.empty() && !run.status.hasValue());
        if (answer->word == "unstarted")
            FUZZ_CHECK(run.problemText().find(answer->bytes) != std::string::npos);
    }
    return 0;
}
