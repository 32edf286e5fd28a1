#include "sniffer/scan_json.h"

#include <cmath>
#include <cstdio>

#include "sniffer/probe_json.h"

namespace sniffer {

void ScanJson::key(std::string_view name)
{
    if (!m_hasItems.empty()) {
        if (m_hasItems.back())
            m_out += ',';
        m_hasItems.back() = true;
    }
    if (name.empty())
        return;
    m_out += '"';
    m_out += name;  // our own member names: nothing to escape
    m_out += "\":";
}

void ScanJson::beginObject(std::string_view name)
{
    key(name);
    m_out += '{';
    m_hasItems.push_back(false);
}

void ScanJson::endObject()
{
    m_out += '}';
    m_hasItems.pop_back();
}

void ScanJson::beginArray(std::string_view name)
{
    key(name);
    m_out += '[';
    m_hasItems.push_back(false);
}

void ScanJson::endArray()
{
    m_out += ']';
    m_hasItems.pop_back();
}

void ScanJson::string(std::string_view name, std::string_view text)
{
    key(name);
    m_out += '"';
    for (const char byte : repairedUtf8(text)) {
        const auto c = static_cast<unsigned char>(byte);
        switch (c) {
            case '"':
                m_out += "\\\"";
                break;
            case '\\':
                m_out += "\\\\";
                break;
            case '\n':
                m_out += "\\n";
                break;
            case '\r':
                m_out += "\\r";
                break;
            case '\t':
                m_out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                    m_out += escaped;
                } else {
                    m_out += byte;
                }
        }
    }
    m_out += '"';
}

void ScanJson::integer(std::string_view name, std::int64_t number)
{
    key(name);
    m_out += std::to_string(number);
}

void ScanJson::number(std::string_view name, double value)
{
    if (!std::isfinite(value)) {
        null(name);
        return;
    }
    key(name);
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    m_out += text;
}

void ScanJson::number(std::string_view name, std::optional<double> value)
{
    if (value)
        number(name, *value);
    else
        null(name);
}

void ScanJson::boolean(std::string_view name, bool value)
{
    key(name);
    m_out += value ? "true" : "false";
}

void ScanJson::null(std::string_view name)
{
    key(name);
    m_out += "null";
}

}  // namespace sniffer
