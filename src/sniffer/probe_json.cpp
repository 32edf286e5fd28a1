#include "sniffer/probe_json.h"

#include <cstdio>

extern "C" {
#include <libavutil/avstring.h>
}

namespace sniffer {

ProbeJson::ProbeJson(std::string& out) : m_out(out) {}

void ProbeJson::beginDocument()
{
    m_out += "{\n";
    m_itemsPerLevel.assign(1, 0);
}

void ProbeJson::endDocument()
{
    m_out += "\n}\n";
    m_itemsPerLevel.clear();
}

void ProbeJson::beginObject(std::string_view name)
{
    startItem();
    if (!name.empty()) {
        quoted(name);
        m_out += ": ";
    }
    m_out += "{\n";
    m_itemsPerLevel.push_back(0);
}

void ProbeJson::endObject()
{
    closeLevel('}');
}

void ProbeJson::beginArray(std::string_view name)
{
    startItem();
    quoted(name);
    m_out += ": [\n";
    m_itemsPerLevel.push_back(0);
}

void ProbeJson::endArray()
{
    closeLevel(']');
}

void ProbeJson::member(std::string_view name, std::string_view text)
{
    startItem();
    quoted(name);
    m_out += ": ";
    quoted(text);
}

void ProbeJson::member(std::string_view name, int64_t number)
{
    startItem();
    quoted(name);
    m_out += ": ";
    m_out += std::to_string(number);
}

void ProbeJson::startItem()
{
    if (m_itemsPerLevel.back()++ > 0)
        m_out += ",\n";
    indent();
}

void ProbeJson::indent()
{
    m_out.append(4 * m_itemsPerLevel.size(), ' ');
}

void ProbeJson::closeLevel(char bracket)
{
    m_itemsPerLevel.pop_back();
    m_out += '\n';
    indent();
    m_out += bracket;
}

void ProbeJson::quoted(std::string_view text)
{
    m_out += jsonString(text);
}

std::string repairedUtf8(std::string_view text)
{
    std::string repaired;
    repaired.reserve(text.size());
    const auto* at = reinterpret_cast<const uint8_t*>(text.data());
    const auto* end = at + text.size();
    while (at < end) {
        const uint8_t* start = at;
        int32_t code = 0;
        if (av_utf8_decode(&code, &at, end, 0) < 0)
            repaired += "\xEF\xBF\xBD";
        else
            repaired.append(reinterpret_cast<const char*>(start), static_cast<size_t>(at - start));
    }
    return repaired;
}

std::string jsonString(std::string_view text)
{
    const std::string valid = repairedUtf8(text);
    std::string out = "\"";
    for (const char c : valid) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u00%02x",
                                  static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace sniffer
