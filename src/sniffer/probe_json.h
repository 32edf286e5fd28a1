#pragma once

// The JSON that ffprobe's "-print_format json" writes, byte for byte: four spaces per level,
// members separated by ",\n", an empty array printed as "[\n\n<indent>]", strings repaired to
// valid UTF-8 (U+FFFD) and escaped the way ffprobe escapes them.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sniffer {

class ProbeJson {
public:
    explicit ProbeJson(std::string& out);

    // The document's outer braces.
    void beginDocument();
    void endDocument();

    // A named member holding an object or an array; `name` empty for an array element.
    void beginObject(std::string_view name = {});
    void endObject();
    void beginArray(std::string_view name);
    void endArray();

    void member(std::string_view name, std::string_view text);  // a string
    void member(std::string_view name, const char* text) { member(name, std::string_view(text)); }
    void member(std::string_view name, int64_t number);
    void member(std::string_view name, int number) { member(name, static_cast<int64_t>(number)); }

private:
    void startItem();
    void indent();
    void quoted(std::string_view text);
    void closeLevel(char bracket);

    std::string& m_out;
    std::vector<int> m_itemsPerLevel;  // items written so far at each open level
};

// `text` with every invalid UTF-8 sequence replaced by U+FFFD, as ffprobe repairs tag texts.
std::string repairedUtf8(std::string_view text);

// `text` as a JSON string (in its quotes), made valid UTF-8 and escaped the way ffprobe escapes.
std::string jsonString(std::string_view text);

}  // namespace sniffer
