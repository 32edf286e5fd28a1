#include "policy/policy_check.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fmt/format.h>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>

#include "platform/child_watch.h"
#include "platform/write_all.h"
#include "policy/jq_program.h"
#include "policy/rule_evaluation.h"
#include "policy/rule_input.h"

namespace vellinor::policy {

struct PolicyChecker::Programs {
    std::optional<JqProgram> rules;  // every rule's check and actual value, as one program
};

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// The address space the process holds now, from /proc/self/statm (pages).
std::size_t addressSpaceNow()
{
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

void appendText(std::string& out, const std::string& text)
{
    const auto size = static_cast<std::uint32_t>(text.size());
    out.append(reinterpret_cast<const char*>(&size), sizeof size);
    out += text;
}

// One answer from the child: which pair, then the outcome.
std::string answer(std::uint32_t file, std::uint32_t rule, const RuleOutcome& outcome)
{
    std::string out;
    out.append(reinterpret_cast<const char*>(&file), sizeof file);
    out.append(reinterpret_cast<const char*>(&rule), sizeof rule);
    out += outcome.passed ? '\1' : '\0';
    appendText(out, outcome.actual);
    appendText(out, outcome.reason);
    return out;
}

// Reads the child's answers; knows when one is whole.
class AnswerReader {
public:
    explicit AnswerReader(int fd) : m_fd(fd) {}

    enum class Status { answer, timedOut, ended };

    Status next(std::chrono::milliseconds limit, std::uint32_t& file, std::uint32_t& rule,
                RuleOutcome& outcome)
    {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        for (;;) {
            if (parse(file, rule, outcome))
                return Status::answer;
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return Status::timedOut;
            pollfd waiting{m_fd, POLLIN, 0};
            const int ready = ::poll(&waiting, 1, static_cast<int>(left.count()));
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                return Status::timedOut;
            char chunk[65536];
            const ssize_t got = ::read(m_fd, chunk, sizeof chunk);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return Status::ended;
            m_buffer.append(chunk, static_cast<std::size_t>(got));
        }
    }

private:
    bool parse(std::uint32_t& file, std::uint32_t& rule, RuleOutcome& outcome)
    {
        std::size_t at = m_start;
        const auto take = [&](void* into, std::size_t size) {
            if (m_buffer.size() - at < size)
                return false;
            std::memcpy(into, m_buffer.data() + at, size);
            at += size;
            return true;
        };
        const auto takeText = [&](std::string& text) {
            std::uint32_t size = 0;
            if (!take(&size, sizeof size) || m_buffer.size() - at < size)
                return false;
            text.assign(m_buffer, at, size);
            at += size;
            return true;
        };
        char passed = 0;
        if (!take(&file, sizeof file) || !take(&rule, sizeof rule) || !take(&passed, 1) ||
            !takeText(outcome.actual) || !takeText(outcome.reason))
            return false;
        outcome.passed = passed == 1;
        m_start = at;
        if (m_start > (1 << 20)) {
            m_buffer.erase(0, m_start);
            m_start = 0;
        }
        return true;
    }

    int m_fd;
    std::string m_buffer;
    std::size_t m_start = 0;
};

}  // namespace

std::size_t FileOutcome::failedCount(const Policy& policy, Severity severity) const
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < rules.size() && i < policy.rules.size(); ++i)
        if (!rules[i].passed && policy.rules[i].severity == severity)
            ++count;
    return count;
}

PolicyChecker::PolicyChecker(Policy policy, CheckLimits limits)
    : m_policy(std::move(policy)), m_limits(limits), m_programs(std::make_unique<Programs>())
{
}

PolicyChecker::~PolicyChecker() = default;

Expected<std::shared_ptr<PolicyChecker>> PolicyChecker::make(Policy policy, CheckLimits limits)
{
    std::shared_ptr<PolicyChecker> checker(new PolicyChecker(std::move(policy), limits));
    const Policy& rules = checker->m_policy;
    auto compiled = JqProgram::compile(policyProgram(rules));
    if (compiled) {
        checker->m_programs->rules = std::move(*compiled);
        return checker;
    }
    // Compiling takes libjq tens of milliseconds, so the rules are compiled one by one only to
    // tell which of them is wrong.
    for (const Rule& rule : rules.rules) {
        for (const std::string* program : {&rule.program, &rule.actualProgram}) {
            if (program->empty())
                continue;
            auto alone = JqProgram::compile(ruleProgram(*program));
            if (!alone)
                return Unexpected(fmt::format("{}:{}: rule \"{}\": {}", rules.sourceName, rule.line,
                                              rule.name, alone.error()));
        }
    }
    return Unexpected(fmt::format("{}: {}", rules.sourceName, compiled.error()));
}

std::vector<FileOutcome> PolicyChecker::check(const std::vector<std::string>& records,
                                              const std::optional<std::string>& referenceRecord)
{
    const std::size_t ruleCount = m_policy.rules.size();
    std::vector<FileOutcome> outcomes(records.size());
    for (FileOutcome& outcome : outcomes)
        outcome.rules.resize(ruleCount);
    if (ruleCount == 0 || records.empty())
        return outcomes;

    // The pair the child answers next; a pair it never answers fails with the reason.
    std::size_t nextFile = 0;
    std::size_t nextRule = 0;
    const auto advance = [&] {
        if (++nextRule == ruleCount) {
            nextRule = 0;
            ++nextFile;
        }
    };
    const std::size_t memoryLimit = addressSpaceNow() + m_limits.memoryBytes;

    while (nextFile < records.size()) {
        int pipeEnds[2];
        if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
            for (; nextFile < records.size(); advance())
                outcomes[nextFile].rules[nextRule].reason =
                    fmt::format("could not be evaluated: {}", std::strerror(errno));
            break;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(pipeEnds[0]);
            if (!kSanitized) {
                const rlimit limit{memoryLimit, memoryLimit};
                ::setrlimit(RLIMIT_AS, &limit);
            }
            RuleEvaluator evaluator(m_policy, *m_programs->rules, referenceRecord);
            for (std::size_t file = nextFile; file < records.size(); ++file) {
                evaluator.setRecord(records[file]);
                for (std::size_t rule = file == nextFile ? nextRule : 0; rule < ruleCount; ++rule)
                    if (!platform::writeAll(pipeEnds[1], answer(static_cast<std::uint32_t>(file),
                                                                static_cast<std::uint32_t>(rule),
                                                                evaluator.evaluate(rule))))
                        ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(pipeEnds[1]);
        if (child < 0) {
            ::close(pipeEnds[0]);
            for (; nextFile < records.size(); advance())
                outcomes[nextFile].rules[nextRule].reason =
                    fmt::format("could not be evaluated: {}", std::strerror(errno));
            break;
        }
        AnswerReader reader(pipeEnds[0]);
        for (;;) {
            std::uint32_t file = 0;
            std::uint32_t rule = 0;
            RuleOutcome outcome;
            const auto status = reader.next(m_limits.perRule, file, rule, outcome);
            if (status == AnswerReader::Status::answer && file == nextFile && rule == nextRule) {
                outcomes[file].rules[rule] = std::move(outcome);
                advance();
                if (nextFile == records.size())
                    break;
                continue;
            }
            if (status == AnswerReader::Status::timedOut)
                ::kill(child, SIGKILL);
            (void)platform::reap(child);
            if (nextFile < records.size()) {
                outcomes[nextFile].rules[nextRule].reason =
                    status == AnswerReader::Status::timedOut
                        ? fmt::format("took longer than {} s to evaluate",
                                      static_cast<double>(m_limits.perRule.count()) / 1000.0)
                        : "its evaluation ran out of memory or stopped";
                advance();
            }
            break;
        }
        ::close(pipeEnds[0]);
        if (nextFile == records.size()) {
            (void)platform::reap(child);
        }
    }
    return outcomes;
}

}  // namespace vellinor::policy
