#pragma once

// What `sniffer --serve` and its client say to each other. Header-only and free of the rest of
// the core, so the sniffer program can share it without linking the core.
//
//   server, once at start:   "vellinor-sniffer-serve 1\n"
//   client, per file:        "<byte count>\n<path bytes>"               (any bytes, NUL excepted)
//   server, per file:        "<outcome> <number> <byte count>\n<bytes>"
//
// outcome / number / bytes:
//   exit <status> <document>        the child ran to its end
//   signal <number> <what it printed before>
//   timeout 0 (nothing)             the child ran past the time limit and was killed
//   overflow 0 (nothing)            the child printed more than the cap and was killed
//   unstarted 0 <why>               no child could be made for the file (fork failed)
// Counts are decimal. The server answers each request before it reads the next, and ends
// when its input closes.
//
// The shared server (`sniffer --listen`) speaks the same to each connection, after this:
//   server, once:            "vellinor-sniffer-shared 1 <identity>\n"
//   client, once:            "<time limit ms> <output cap bytes>\n"
// The identity names the server's executable file (device, inode, size, modification time), so a
// client can tell a server started from another build of the tool than the one installed now.

#include <sys/stat.h>

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellinor::serve_protocol {

inline constexpr std::string_view kHello = "vellinor-sniffer-serve 1\n";
// The longest header line either side writes, line break included.
inline constexpr std::size_t kMaxHeaderLine = 64;
// A path longer than this is no path the system could open.
inline constexpr std::size_t kMaxPathBytes = std::size_t{1} << 20;

inline constexpr std::string_view kSharedHello = "vellinor-sniffer-shared 1 ";
// The longest greeting of the shared server, line break included.
inline constexpr std::size_t kMaxGreetingLine = 256;

// The identity of an executable file as the shared server greets with it.
inline std::string executableIdentity(const struct stat& file)
{
    return std::to_string(file.st_dev) + ':' + std::to_string(file.st_ino) + ':' +
           std::to_string(file.st_size) + ':' + std::to_string(file.st_mtim.tv_sec) + '.' +
           std::to_string(file.st_mtim.tv_nsec);
}

enum class Outcome { exited, signaled, timedOut, outputTooLarge, unstarted };

struct AnswerHeader {
    Outcome outcome = Outcome::exited;
    std::int64_t number = 0;  // exit status or signal number
    std::size_t length = 0;   // bytes that follow the line
};

inline std::string_view outcomeWord(Outcome outcome)
{
    switch (outcome) {
        case Outcome::exited:
            return "exit";
        case Outcome::signaled:
            return "signal";
        case Outcome::timedOut:
            return "timeout";
        case Outcome::outputTooLarge:
            return "overflow";
        case Outcome::unstarted:
            break;
    }
    return "unstarted";
}

inline std::string requestHeader(std::size_t pathLength)
{
    return std::to_string(pathLength) + "\n";
}

inline std::string answerHeader(const AnswerHeader& header)
{
    std::string line(outcomeWord(header.outcome));
    line += ' ';
    line += std::to_string(header.number);
    line += ' ';
    line += std::to_string(header.length);
    line += '\n';
    return line;
}

// A whole decimal number and nothing else (no sign, no spaces), at most `max`.
template <typename Number>
std::optional<Number> parseNumber(std::string_view text, Number max)
{
    Number value{};
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value < Number{} || value > max)
        return std::nullopt;
    return value;
}

// The request's byte count from its line (without the line break).
inline std::optional<std::size_t> parseRequestHeader(std::string_view line)
{
    return parseNumber<std::size_t>(line, kMaxPathBytes);
}

// The answer's header from its line (without the line break); bytes longer than `maxLength`
// make it malformed.
inline std::optional<AnswerHeader> parseAnswerHeader(std::string_view line, std::size_t maxLength)
{
    const auto firstSpace = line.find(' ');
    const auto secondSpace =
        firstSpace == std::string_view::npos ? firstSpace : line.find(' ', firstSpace + 1);
    if (secondSpace == std::string_view::npos)
        return std::nullopt;
    const std::string_view word = line.substr(0, firstSpace);
    AnswerHeader header;
    bool known = false;
    for (Outcome outcome : {Outcome::exited, Outcome::signaled, Outcome::timedOut,
                            Outcome::outputTooLarge, Outcome::unstarted}) {
        if (word == outcomeWord(outcome)) {
            header.outcome = outcome;
            known = true;
        }
    }
    const auto number =
        parseNumber<std::int64_t>(line.substr(firstSpace + 1, secondSpace - firstSpace - 1), 255);
    const auto length = parseNumber<std::size_t>(line.substr(secondSpace + 1), maxLength);
    if (!known || !number || !length)
        return std::nullopt;
    header.number = *number;
    header.length = *length;
    return header;
}

struct ConnectionLimits {
    std::size_t timeoutMilliseconds = 0;  // zero: no limit
    std::size_t maxOutputBytes = 0;
};

inline std::string limitsLine(const ConnectionLimits& limits)
{
    return std::to_string(limits.timeoutMilliseconds) + ' ' +
           std::to_string(limits.maxOutputBytes) + '\n';
}

// The client's limits from their line (without the line break).
inline std::optional<ConnectionLimits> parseLimitsLine(std::string_view line)
{
    const auto space = line.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    constexpr std::size_t kMax = std::size_t{1} << 48;
    const auto timeout = parseNumber<std::size_t>(line.substr(0, space), kMax);
    const auto cap = parseNumber<std::size_t>(line.substr(space + 1), kMax);
    if (!timeout || !cap || *cap == 0)
        return std::nullopt;
    return ConnectionLimits{*timeout, *cap};
}

}  // namespace vellinor::serve_protocol
