#pragma once

// JSON: the dynamic, never-failing JSON value through which every probe result is read.
//
// Leniency rules (every one of them is deliberate):
//   - Lookups never throw and never abort. A miss gives a null value carrying a JSONError; a
//     chained lookup carries the error of its first failing step.
//   - The accessors (stringValue, numberValue, doubleValue, intValue, boolValue, count) turn any
//     value into a usable result with a fixed default: "" / 0 / false.
//   - Parsing from bytes is the only operation that can fail (JSON::parse).
//
// Storage: a parsed document is one immutable tree shared by every value made from it. A JSON
// is a handle (the tree's owner plus a node), so copying is cheap and a lookup costs nothing in
// the size of the document. Setters copy on write: the changed path is copied, the rest shared.
// Members keep the document's order. Integers stay integers (int64, or uint64 above INT64_MAX),
// reals stay reals, and true/false stay Booleans, never 1/0. Duplicate keys are kept in order
// (iteration, count and the writer see them all); a key lookup finds the last one.
//
// Invalid UTF-8 in the bytes (ffprobe passes tag bytes through unchanged) is mended, each bad
// sequence becoming U+FFFD, rather than rejected. Nothing recurses on the nesting of a value:
// parsing, writing, comparing and destroying work for any depth (parse caps it, see below).
//
// Example:
//     auto doc = JSON::parse(bytes);                       // Expected<JSON>
//     std::string codec = (*doc)["streams"][0]["codec_type"].stringValue();
//     JSON same = (*doc)[{"streams", 0, "codec_type"}];    // path form, same result

#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "base/expected.h"

namespace vellinor {

namespace detail {
struct JsonNode;
struct JsonAccess;
}  // namespace detail

// The kinds of value, in the order of their raw values 0 to 6. (`boolean` stands for the
// design's `bool`, which is a keyword here.)
enum class JSONType : int { number = 0, string, boolean, array, dictionary, null, unknown };

enum class JSONError : int {
    unsupportedType = 999,
    indexOutOfBounds = 900,
    elementTooDeep = 902,
    wrongType = 901,
    notExist = 500,
    invalidJSON = 490,
};

// "It is an unsupported type.", "Array Index is out of bounds.", ...
std::string_view errorDescription(JSONError error);
int errorCode(JSONError error);
// Accepts exactly the six codes above; any other integer gives no error.
std::optional<JSONError> jsonErrorFromCode(int code);
// The reverse-domain name of the error domain.
inline constexpr std::string_view jsonErrorDomain = "org.vellinor.json";

// `bytes` as valid UTF-8, each bad sequence becoming U+FFFD, as parsing mends a document's
// texts. For texts made in code (a file name) that must go into written JSON, since rawString
// gives nothing for a value holding bytes that are not UTF-8.
std::string mendUtf8(std::string_view bytes);

// One step of a lookup path: an array index or a dictionary key.
class JSONKey {
public:
    JSONKey(int index) : m_step(static_cast<std::int64_t>(index)) {}
    JSONKey(long index) : m_step(static_cast<std::int64_t>(index)) {}
    JSONKey(long long index) : m_step(static_cast<std::int64_t>(index)) {}
    JSONKey(unsigned long index) : m_step(static_cast<std::int64_t>(index)) {}
    JSONKey(unsigned long long index) : m_step(static_cast<std::int64_t>(index)) {}
    JSONKey(const char* key) : m_step(std::string(key)) {}
    JSONKey(std::string key) : m_step(std::move(key)) {}
    JSONKey(std::string_view key) : m_step(std::string(key)) {}

    [[nodiscard]] bool isIndex() const { return std::holds_alternative<std::int64_t>(m_step); }
    [[nodiscard]] std::int64_t index() const { return std::get<std::int64_t>(m_step); }
    [[nodiscard]] const std::string& key() const { return std::get<std::string>(m_step); }

private:
    std::variant<std::int64_t, std::string> m_step;
};

// A number as the lenient accessors see it: its kind is kept, so integers never pass through
// double.
struct JSONNumber {
    enum class Kind { integer, unsignedInteger, real };
    Kind kind = Kind::integer;
    std::int64_t integer = 0;
    std::uint64_t unsignedInteger = 0;
    double real = 0.0;

    [[nodiscard]] double toDouble() const;
    // Truncates toward zero; out-of-range values are clamped, NaN gives 0.
    [[nodiscard]] std::int64_t toInt64() const;
    [[nodiscard]] std::uint64_t toUInt64() const;
    // Integers as their decimal digits; reals as the shortest text that reads back the same.
    [[nodiscard]] std::string toString() const;
};

// Options of the option-map form of rawString.
struct WritingOptions {
    // The writer's option bits; 1 (the default) is pretty-printed, 0 compact.
    std::optional<unsigned> jsonSerialization;
    std::optional<bool> castNilToNSNull;
    // Depth limit (the key is spelled so); default 10.
    std::optional<int> maxObjextDepth;
    // Only UTF-8 is supported: an array or a dictionary asked for in any other encoding gives
    // no text. (Texts, numbers, Booleans and null are not encoded, so they still give theirs.)
    std::optional<std::string> encoding;
};

inline constexpr unsigned kPrettyPrinted = 1;

class JSON {
public:
    // Deepest nesting of arrays and objects a parsed document may have; deeper documents are
    // rejected by parse. merge refuses (elementTooDeep) to combine values nested deeper.
    static constexpr std::size_t kMaxParseDepth = 1000;

    // JSON(data): the top level must be an array or an object. Fails, with the parser's reason,
    // when the bytes are not such a document. A document of more than `maxValues` values
    // (scalars and containers alike) is refused before its tree is built, as a failure of kind
    // tooLarge with kTooManyValues as the reason: parsing takes some 70 bytes per value, and a
    // value may take as little as 2 bytes of text.
    [[nodiscard]] static Expected<JSON> parse(std::string_view bytes,
                                              std::size_t maxValues = SIZE_MAX);
    static constexpr std::string_view kTooManyValues = "The document holds too many values";
    // JSON(object) of a byte buffer: a parse failure gives the null value, without error.
    [[nodiscard]] static JSON fromBytes(std::string_view bytes);
    // JSON.null: a fresh null value.
    [[nodiscard]] static JSON null();
    // A value made from an object of no supported kind: type unknown, error unsupportedType.
    [[nodiscard]] static JSON unsupported();

    JSON();  // null
    JSON(const JSON& other) = default;
    JSON& operator=(const JSON& other) = default;
    // The value moved from becomes the null value (a handle is never empty).
    JSON(JSON&& other) noexcept;
    JSON& operator=(JSON&& other) noexcept;
    ~JSON() = default;
    JSON(std::nullptr_t);
    JSON(bool value);
    JSON(int value);
    JSON(long value);
    JSON(long long value);
    JSON(unsigned value);
    JSON(unsigned long value);
    JSON(unsigned long long value);
    JSON(double value);
    JSON(const char* text);
    JSON(std::string text);
    JSON(std::string_view text);
    JSON(std::vector<JSON> elements);                         // array
    JSON(std::vector<std::pair<std::string, JSON>> members);  // dictionary, in order
    static JSON array(std::initializer_list<JSON> elements);
    static JSON dictionary(std::initializer_list<std::pair<std::string, JSON>> members);

    // ---- Lookup: never fails ----
    // Each lookup has a form for temporaries that hands the tree's ownership on instead of
    // sharing it again, so a chained lookup such as doc["streams"][i]["codec_type"] costs no
    // reference counting per step. (A value moved from is the null value.)
    [[nodiscard]] JSON operator[](std::int64_t index) const&;
    [[nodiscard]] JSON operator[](std::int64_t index) &&;
    [[nodiscard]] JSON operator[](int index) const& { return (*this)[std::int64_t{index}]; }
    [[nodiscard]] JSON operator[](int index) && { return std::move(*this)[std::int64_t{index}]; }
    [[nodiscard]] JSON operator[](std::size_t index) const&;
    [[nodiscard]] JSON operator[](std::size_t index) &&;
    // Any other integer type (unsigned, long long, ...), so that no index is ambiguous.
    template <typename Integer>
    requires(std::is_integral_v<Integer> && !std::is_same_v<Integer, bool>) [[nodiscard]] JSON
    operator[](Integer index) const&
    {
        if constexpr (std::is_signed_v<Integer>) {
            return (*this)[static_cast<std::int64_t>(index)];
        } else {
            return (*this)[static_cast<std::size_t>(index)];
        }
    }
    template <typename Integer>
    requires(std::is_integral_v<Integer> && !std::is_same_v<Integer, bool>) [[nodiscard]] JSON
    operator[](Integer index) &&
    {
        if constexpr (std::is_signed_v<Integer>) {
            return std::move(*this)[static_cast<std::int64_t>(index)];
        } else {
            return std::move(*this)[static_cast<std::size_t>(index)];
        }
    }
    [[nodiscard]] JSON operator[](std::string_view key) const&;
    [[nodiscard]] JSON operator[](std::string_view key) &&;
    [[nodiscard]] JSON operator[](const char* key) const& { return (*this)[std::string_view(key)]; }
    [[nodiscard]] JSON operator[](const char* key) &&
    {
        return std::move(*this)[std::string_view(key)];
    }
    [[nodiscard]] JSON operator[](const std::string& key) const&
    {
        return (*this)[std::string_view(key)];
    }
    [[nodiscard]] JSON operator[](const std::string& key) &&
    {
        return std::move(*this)[std::string_view(key)];
    }
    [[nodiscard]] JSON operator[](std::initializer_list<JSONKey> path) const&;
    [[nodiscard]] JSON operator[](std::initializer_list<JSONKey> path) &&;
    [[nodiscard]] JSON at(std::span<const JSONKey> path) const&;
    [[nodiscard]] JSON at(std::span<const JSONKey> path) &&;

    // ---- Setters (copy on write; other values sharing the tree do not change) ----
    // Assignment through a lookup: a dictionary gets the member set (added at the end when new);
    // an array gets element `index` replaced when it exists. Anything else changes nothing and
    // returns false.
    bool set(std::string_view key, JSON value);
    bool set(std::int64_t index, JSON value);
    bool set(std::span<const JSONKey> path, JSON value);
    bool set(std::initializer_list<JSONKey> path, JSON value);
    // Merges `other` into this value: arrays are concatenated, dictionaries merged member by
    // member (recursively), other kinds replaced. Fails with wrongType when the top-level kinds
    // differ, leaving this value unchanged.
    [[nodiscard]] std::optional<JSONError> merge(const JSON& other);
    [[nodiscard]] std::optional<JSON> merged(const JSON& other, JSONError* error = nullptr) const;

    // ---- Accessors ----
    [[nodiscard]] JSONType type() const;
    [[nodiscard]] std::optional<JSONError> error() const { return m_error; }
    [[nodiscard]] bool exists() const { return !m_error.has_value(); }

    [[nodiscard]] std::string stringValue() const;
    [[nodiscard]] JSONNumber numberValue() const;
    [[nodiscard]] double doubleValue() const { return numberValue().toDouble(); }
    [[nodiscard]] std::int64_t intValue() const { return numberValue().toInt64(); }
    [[nodiscard]] std::uint64_t uintValue() const { return numberValue().toUInt64(); }
    [[nodiscard]] bool boolValue() const;
    [[nodiscard]] std::size_t count() const;
    [[nodiscard]] bool isEmpty() const { return count() == 0; }

    // Optional forms: absent unless the kind matches.
    [[nodiscard]] std::optional<std::string> string() const;
    [[nodiscard]] std::optional<bool> boolean() const;
    // For `number`, and for `bool` as 1 or 0.
    [[nodiscard]] std::optional<JSONNumber> number() const;
    [[nodiscard]] std::optional<double> doubleOptional() const;
    [[nodiscard]] std::optional<std::int64_t> intOptional() const;
    [[nodiscard]] std::optional<std::vector<JSON>> arrayOptional() const;
    [[nodiscard]] std::vector<JSON> arrayValue() const;
    [[nodiscard]] std::optional<std::vector<std::pair<std::string, JSON>>> dictionaryOptional()
        const;
    [[nodiscard]] std::vector<std::pair<std::string, JSON>> dictionaryValue() const;

    // rawString() pretty-printed UTF-8, or "unknown" when there is none.
    [[nodiscard]] std::string description() const;
    [[nodiscard]] std::string debugDescription() const { return description(); }

    // ---- Text output ----
    // rawString(encoding, options): depth limit 10. A text gives itself (no quotes), a number
    // its stringValue, a Boolean "true"/"false", null "null", unknown nothing; arrays and
    // dictionaries their JSON text (only "utf-8"/"utf8", in any case, is written: another
    // encoding, or a text made in code that is not UTF-8, gives nothing). Reals in that text
    // always read back as reals ("5.0"); NaN or infinity inside makes it invalid. On failure
    // prints "Could not serialize object to JSON because: <description>" and gives nothing.
    [[nodiscard]] std::optional<std::string> rawString(std::string_view encoding = "utf-8",
                                                       unsigned options = kPrettyPrinted) const;
    [[nodiscard]] std::optional<std::string> rawString(const WritingOptions& options) const;

    // ---- Comparison ----
    friend bool operator==(const JSON& a, const JSON& b);
    friend bool operator!=(const JSON& a, const JSON& b) { return !(a == b); }
    friend bool operator<(const JSON& a, const JSON& b);
    friend bool operator>(const JSON& a, const JSON& b);
    friend bool operator<=(const JSON& a, const JSON& b);
    friend bool operator>=(const JSON& a, const JSON& b);

    // ---- Iteration as (text, JSON) pairs ----
    // Arrays yield ("0", e0), ("1", e1), ...; dictionaries their members in order; any other
    // kind yields nothing.
    class const_iterator {
    public:
        using value_type = std::pair<std::string, JSON>;
        using difference_type = std::ptrdiff_t;
        const_iterator() = default;
        value_type operator*() const;
        const_iterator& operator++()
        {
            ++m_position;
            return *this;
        }
        const_iterator operator++(int)
        {
            auto old = *this;
            ++m_position;
            return old;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b)
        {
            return a.m_position == b.m_position;
        }

    private:
        friend class JSON;
        const_iterator(const JSON* owner, std::size_t position)
            : m_owner(owner), m_position(position)
        {
        }
        const JSON* m_owner = nullptr;
        std::size_t m_position = 0;
    };
    [[nodiscard]] const_iterator begin() const { return {this, 0}; }
    [[nodiscard]] const_iterator end() const { return {this, count()}; }

private:
    friend struct detail::JsonAccess;
    JSON(std::shared_ptr<const detail::JsonNode> node, std::optional<JSONError> error)
        : m_node(std::move(node)), m_error(error)
    {
    }
    static JSON miss(JSONError error);
    // The value at `found` (a node of this value's tree) sharing, or taking over, the tree.
    [[nodiscard]] JSON share(const detail::JsonNode* found) const;
    [[nodiscard]] JSON handOn(const detail::JsonNode* found);

    // The node, sharing ownership of the whole tree it belongs to. Never null.
    std::shared_ptr<const detail::JsonNode> m_node;
    std::optional<JSONError> m_error;
};

}  // namespace vellinor
