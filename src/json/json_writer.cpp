#include <charconv>
#include <cmath>

#include "json/json_node.h"

namespace vellinor::detail {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

void appendEscaped(std::string& out, std::string_view text)
{
    out += '"';
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c != '"' && c != '\\') {
            continue;
        }
        out.append(text.substr(runStart, i - runStart));
        runStart = i + 1;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            default:
                out += "\\u00";
                out += kHexDigits[c >> 4];
                out += kHexDigits[c & 0xF];
                break;
        }
    }
    out.append(text.substr(runStart));
    out += '"';
}

// The castNilToNSNull form escapes only the backslash and the double quote.
void appendQuotedMinimal(std::string& out, std::string_view text)
{
    out += '"';
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
        }
        out += c;
    }
    out += '"';
}

template <typename Integer>
void appendInteger(std::string& out, Integer value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// A real is always written so that it reads back as a real: 5.0, not 5.
bool appendReal(std::string& out, double value)
{
    if (!std::isfinite(value)) {
        return false;
    }
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    out.append(text);
    if (text.find_first_of(".eE") == std::string_view::npos) {
        out += ".0";
    }
    return true;
}

struct Frame {
    const JsonNode* node;
    std::size_t next;
};

class JsonWriter {
public:
    explicit JsonWriter(bool pretty) : m_pretty(pretty) {}

    std::optional<std::string> write(const JsonNode& root)
    {
        if (!writeValue(root)) {
            return std::nullopt;
        }
        while (!m_stack.empty()) {
            Frame& frame = m_stack.back();
            const JsonNode& container = *frame.node;
            if (frame.next == container.size) {
                m_stack.pop_back();
                newLine();
                m_out += container.kind == JsonKind::array ? ']' : '}';
                continue;
            }
            const JsonNode& child = container.children[frame.next];
            if (frame.next > 0) {
                m_out += ',';
            }
            ++frame.next;  // before writeValue, which may grow the stack
            newLine();
            if (container.kind == JsonKind::dictionary) {
                appendEscaped(m_out, child.key);
                m_out += m_pretty ? ": " : ":";
            }
            if (!writeValue(child)) {
                return std::nullopt;
            }
        }
        return std::move(m_out);
    }

private:
    void newLine()
    {
        if (m_pretty) {
            m_out += '\n';
            m_out.append(2 * m_stack.size(), ' ');
        }
    }

    bool writeValue(const JsonNode& node)
    {
        switch (node.kind) {
            case JsonKind::null:
                m_out += "null";
                return true;
            case JsonKind::boolean:
                m_out += node.boolean ? "true" : "false";
                return true;
            case JsonKind::integer:
                appendInteger(m_out, node.integer);
                return true;
            case JsonKind::unsignedInteger:
                appendInteger(m_out, node.unsignedInteger);
                return true;
            case JsonKind::real:
                return appendReal(m_out, node.real);
            case JsonKind::string:
                appendEscaped(m_out, node.textView());
                return true;
            case JsonKind::array:
            case JsonKind::dictionary:
                if (node.size == 0) {
                    m_out += node.kind == JsonKind::array ? "[]" : "{}";
                } else {
                    m_out += node.kind == JsonKind::array ? '[' : '{';
                    m_stack.push_back({&node, 0});
                }
                return true;
            case JsonKind::unknown:
                break;
        }
        return false;
    }

    bool m_pretty;
    std::string m_out;
    std::vector<Frame> m_stack;
};

// A scalar in the castNilToNSNull form: strings quoted, numbers as their stringValue.
bool appendNullCastScalar(std::string& out, const JsonNode& node)
{
    switch (node.kind) {
        case JsonKind::null:
            out += "null";
            return true;
        case JsonKind::boolean:
            out += node.boolean ? "true" : "false";
            return true;
        case JsonKind::integer:
        case JsonKind::unsignedInteger:
        case JsonKind::real:
            out += numberOf(node).toString();
            return true;
        case JsonKind::string:
            appendQuotedMinimal(out, node.textView());
            return true;
        case JsonKind::array:
        case JsonKind::dictionary:
        case JsonKind::unknown:
            break;
    }
    return false;
}

}  // namespace

std::optional<std::string> writeJson(const JsonNode& root, bool pretty)
{
    return JsonWriter(pretty).write(root);
}

std::optional<std::string> writeNullCast(const JsonNode& root, long long depthLimit)
{
    // Each level down renders with one less depth, and a rendering needs a depth of at least 1:
    // a node at nesting level k (the root is 0) needs depthLimit - k >= 1.
    if (depthLimit < 1 || !root.isContainer()) {
        return std::nullopt;
    }
    std::string out;
    std::vector<Frame> stack;
    out += root.kind == JsonKind::array ? '[' : '{';
    stack.push_back({&root, 0});
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const JsonNode& container = *frame.node;
        if (frame.next == container.size) {
            out += container.kind == JsonKind::array ? ']' : '}';
            stack.pop_back();
            continue;
        }
        const JsonNode& child = container.children[frame.next];
        if (frame.next > 0) {
            out += ',';
        }
        ++frame.next;
        if (container.kind == JsonKind::dictionary) {
            out += '"';
            out += child.key;
            out += "\": ";
        }
        const auto level = static_cast<long long>(stack.size());
        if (depthLimit - level < 1) {
            return std::nullopt;
        }
        if (child.isContainer()) {
            out += child.kind == JsonKind::array ? '[' : '{';
            stack.push_back({&child, 0});
        } else if (!appendNullCastScalar(out, child)) {
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace vellinor::detail
