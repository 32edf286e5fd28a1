#pragma once

// One compiled jq program (libjq), run on one input at a time. Not thread-safe: each thread or
// process keeps its own.

#include "policy/jq_c.h"

#include <string>

#include "base/expected.h"

namespace vellinor::policy {

class JqProgram {
public:
    // The failure is jq's own message ("syntax error, unexpected INVALID_CHARACTER ...").
    static Expected<JqProgram> compile(const std::string& program);

    JqProgram(JqProgram&& other) noexcept;
    JqProgram& operator=(JqProgram&& other) noexcept;
    JqProgram(const JqProgram&) = delete;
    JqProgram& operator=(const JqProgram&) = delete;
    ~JqProgram();

    // The program's first output for `input` (consumed), or the error it stopped with; no
    // output at all is a failure too.
    Expected<jv> first(jv input);

private:
    JqProgram() = default;
    jq_state* m_state = nullptr;
    std::string m_messages;  // what jq reported while compiling
};

// `value` (consumed) as compact JSON text, at most `limit` bytes (longer text ends in "...").
std::string jvText(jv value, std::size_t limit = 300);

}  // namespace vellinor::policy
