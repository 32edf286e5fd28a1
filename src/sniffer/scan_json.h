#pragma once

// A compact JSON writer for the scan's result: objects, arrays, strings (repaired to UTF-8 and
// escaped), integers, doubles (null when not finite) and booleans. Commas are placed by level.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sniffer {

class ScanJson {
public:
    explicit ScanJson(std::string& out) : m_out(out) {}

    // `name` empty inside an array.
    void beginObject(std::string_view name = {});
    void endObject();
    void beginArray(std::string_view name);
    void endArray();

    void string(std::string_view name, std::string_view text);
    void integer(std::string_view name, std::int64_t number);
    void number(std::string_view name, double value);  // null when not finite
    void number(std::string_view name, std::optional<double> value);
    void boolean(std::string_view name, bool value);
    void null(std::string_view name);

private:
    void key(std::string_view name);

    std::string& m_out;
    std::vector<bool> m_hasItems;
};

}  // namespace sniffer
