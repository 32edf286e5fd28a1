#include "policy/jq_program.h"

#include <utility>

namespace vellinor::policy {
namespace {

void keepMessage(void* data, jv message)
{
    auto* messages = static_cast<std::string*>(data);
    if (jv_get_kind(message) == JV_KIND_STRING) {
        if (!messages->empty())
            *messages += "; ";
        *messages += jv_string_value(message);
    }
    jv_free(message);
}

}  // namespace

Expected<JqProgram> JqProgram::compile(const std::string& program)
{
    JqProgram compiled;
    compiled.m_state = jq_init();
    if (compiled.m_state == nullptr)
        return Unexpected("jq could not start");
    jq_set_error_cb(compiled.m_state, keepMessage, &compiled.m_messages);
    if (jq_compile(compiled.m_state, program.c_str()) == 0) {
        std::string why = compiled.m_messages.empty() ? "not a jq program" : compiled.m_messages;
        // jq's last line only counts the errors.
        if (const auto count = why.rfind("; jq: "); count != std::string::npos)
            why.erase(count);
        if (why.rfind("jq: error: ", 0) == 0)
            why.erase(0, 11);
        for (char& c : why)
            if (c == '\n' || c == '\t')
                c = ' ';
        return Unexpected("jq: " + why);
    }
    return compiled;
}

JqProgram::JqProgram(JqProgram&& other) noexcept
    : m_state(std::exchange(other.m_state, nullptr)), m_messages(std::move(other.m_messages))
{
    if (m_state != nullptr)
        jq_set_error_cb(m_state, keepMessage, &m_messages);
}

JqProgram& JqProgram::operator=(JqProgram&& other) noexcept
{
    if (this != &other) {
        if (m_state != nullptr)
            jq_teardown(&m_state);
        m_state = std::exchange(other.m_state, nullptr);
        m_messages = std::move(other.m_messages);
        if (m_state != nullptr)
            jq_set_error_cb(m_state, keepMessage, &m_messages);
    }
    return *this;
}

JqProgram::~JqProgram()
{
    if (m_state != nullptr)
        jq_teardown(&m_state);
}

Expected<jv> JqProgram::first(jv input)
{
    jq_start(m_state, input, 0);
    jv result = jq_next(m_state);
    if (jv_is_valid(result))
        return result;
    if (!jv_invalid_has_msg(jv_copy(result))) {
        jv_free(result);
        return Unexpected("gave no answer");
    }
    jv message = jv_invalid_get_msg(result);
    std::string why = jv_get_kind(message) == JV_KIND_STRING ? jv_string_value(message)
                                                             : jvText(jv_copy(message));
    jv_free(message);
    return Unexpected(why);
}

std::string jvText(jv value, std::size_t limit)
{
    jv dumped = jv_dump_string(value, 0);
    std::string text = jv_string_value(dumped);
    jv_free(dumped);
    if (text.size() > limit) {
        text.resize(limit);
        // Never leave half a UTF-8 sequence.
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
            text.pop_back();
        if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0)
            text.pop_back();
        text += "...";
    }
    return text;
}

}  // namespace vellinor::policy
