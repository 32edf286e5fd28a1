// Fuzz target: arbitrary bytes as a JSON document. Whatever parses is walked with every lookup,
// accessor, comparison and iteration, written out in each form, and checked for the properties
// the rest of the program relies on: a parsed document can always be written, and what is
// written parses back to an equal value.

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "json/json.h"

namespace vellinor::fuzz {
namespace {

// Enough to reach every node of a typical probe document while keeping one input fast.
constexpr std::size_t kMaxVisitedNodes = 4096;

bool isPlainInteger(std::string_view text)
{
    if (!text.empty() && text.front() == '-') {
        text.remove_prefix(1);
    }
    return !text.empty() && text.size() <= 18 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Accessors must agree with each other and with the kind of the value.
void checkAccessors(const JSON& value)
{
    const JSONType type = value.type();
    const std::string text = value.stringValue();
    const JSONNumber number = value.numberValue();
    (void)value.doubleValue();
    (void)value.intValue();
    (void)value.uintValue();
    (void)value.boolValue();
    if (value.count() == 0) {
        // Containers are written whole by checkRoundTrip; writing each one again is quadratic.
        (void)value.description();
    }
    (void)number.toString();

    FUZZ_CHECK(value.string().has_value() == (type == JSONType::string));
    FUZZ_CHECK(value.boolean().has_value() == (type == JSONType::boolean));
    FUZZ_CHECK(value.number().has_value() ==
               (type == JSONType::number || type == JSONType::boolean));
    FUZZ_CHECK(value.doubleOptional().has_value() == value.number().has_value());
    FUZZ_CHECK(value.intOptional().has_value() == value.number().has_value());
    FUZZ_CHECK(value.arrayOptional().has_value() == (type == JSONType::array));
    FUZZ_CHECK(value.dictionaryOptional().has_value() == (type == JSONType::dictionary));
    FUZZ_CHECK(value.isEmpty() == (value.count() == 0));

    switch (type) {
        case JSONType::string:
            FUZZ_CHECK(*value.string() == text);
            // A plain decimal integer text reads as exactly that integer.
            if (isPlainInteger(text)) {
                std::int64_t expected = 0;
                std::from_chars(text.data(), text.data() + text.size(), expected);
                FUZZ_CHECK(value.intValue() == expected);
            }
            FUZZ_CHECK(value.count() == 0);
            break;
        case JSONType::boolean:
            FUZZ_CHECK(text == (*value.boolean() ? "true" : "false"));
            FUZZ_CHECK(value.intValue() == (*value.boolean() ? 1 : 0));
            FUZZ_CHECK(value != JSON(value.intValue()));
            break;
        case JSONType::number:
            FUZZ_CHECK(!text.empty());
            FUZZ_CHECK(value.count() == 0);
            break;
        case JSONType::array:
            FUZZ_CHECK(value.arrayValue().size() == value.count());
            FUZZ_CHECK(text.empty());
            break;
        case JSONType::dictionary:
            FUZZ_CHECK(value.dictionaryValue().size() == value.count());
            FUZZ_CHECK(text.empty());
            break;
        case JSONType::null:
            FUZZ_CHECK(text.empty() && value.count() == 0 && !value.boolValue());
            FUZZ_CHECK(value.doubleValue() == 0.0 && value.intValue() == 0);
            break;
        case JSONType::unknown:
            FUZZ_CHECK(false);  // nothing parsed is of no supported kind
            break;
    }
}

// Misses never fail, and a chained lookup keeps the error of its first failing step.
void checkMisses(const JSON& value)
{
    const JSON outOfRange = value[static_cast<std::int64_t>(value.count())];
    FUZZ_CHECK(!outOfRange.exists());
    FUZZ_CHECK(outOfRange.type() == JSONType::null);
    const JSON negative = value[-1];
    FUZZ_CHECK(!negative.exists());
    constexpr std::string_view kAbsentKey = "\x01 no such key";
    const JSON absentKey = value[kAbsentKey];
    if (value.type() == JSONType::array) {
        FUZZ_CHECK(outOfRange.error() == JSONError::indexOutOfBounds);
        FUZZ_CHECK(absentKey.error() == JSONError::wrongType);
    } else if (value.type() == JSONType::dictionary) {
        FUZZ_CHECK(outOfRange.error() == JSONError::wrongType);
        bool present = false;
        for (const auto& member : value) {
            present = present || member.first == kAbsentKey;
        }
        FUZZ_CHECK(absentKey.exists() == present);
        if (!present) {
            FUZZ_CHECK(absentKey.error() == JSONError::notExist);
        }
    } else {
        FUZZ_CHECK(absentKey.error() == JSONError::wrongType);
    }
    const JSON chained = negative["key"][0]["other"];
    FUZZ_CHECK(chained.error() == negative.error());
    FUZZ_CHECK(value[{-1, "key", 0, "other"}].error() == negative.error());
    FUZZ_CHECK(chained.stringValue().empty() && chained.count() == 0);
}

// Comparison: an order is never contradicted, and <=, >= agree with < and ==.
void checkComparison(const JSON& a, const JSON& b)
{
    const bool equal = a == b;
    const bool less = a < b;
    const bool greater = a > b;
    FUZZ_CHECK(equal == (b == a));
    FUZZ_CHECK(!(less && greater));
    FUZZ_CHECK(less == (b > a));
    FUZZ_CHECK(!(equal && (less || greater)));
    const bool ordered =
        a.type() == b.type() && (a.type() == JSONType::number || a.type() == JSONType::string);
    if (ordered) {
        FUZZ_CHECK((a <= b) == (less || equal));
        FUZZ_CHECK((a >= b) == (greater || equal));
    } else {
        FUZZ_CHECK(!less && !greater);
        FUZZ_CHECK((a <= b) == equal && (a >= b) == equal);
    }
}

// Walks the tree without recursion, checking each value and its children.
void checkTree(const JSON& root)
{
    std::vector<JSON> pending{root};
    std::size_t visited = 0;
    while (!pending.empty() && visited < kMaxVisitedNodes) {
        const JSON value = std::move(pending.back());
        pending.pop_back();
        ++visited;
        FUZZ_CHECK(value.exists());
        checkAccessors(value);
        checkMisses(value);

        std::size_t position = 0;
        std::vector<JSON> children;
        for (const auto& [key, child] : value) {
            FUZZ_CHECK(child.exists());
            if (value.type() == JSONType::array) {
                FUZZ_CHECK(key == std::to_string(position));
                FUZZ_CHECK(value[static_cast<std::int64_t>(position)] == child);
                const std::array<JSONKey, 1> path{JSONKey(static_cast<std::int64_t>(position))};
                FUZZ_CHECK(value.at(path) == child);
            } else {
                // With duplicate keys a lookup finds the last one, so only its presence holds.
                const JSON found = value[key];
                FUZZ_CHECK(found.exists());
                FUZZ_CHECK(value[{key}] == found);
                FUZZ_CHECK(value[{key, -1}].error() == found[-1].error());
            }
            if (!children.empty()) {
                checkComparison(children.back(), child);
            }
            children.push_back(child);
            ++position;
        }
        FUZZ_CHECK(position == value.count());
        for (auto& child : children) {
            pending.push_back(std::move(child));
        }
    }
}

// Writing: a parsed document always writes, and the text parses back to an equal value that
// writes to the same text.
void checkRoundTrip(const JSON& document)
{
    for (unsigned options : {kPrettyPrinted, 0u}) {
        const auto text = document.rawString("utf-8", options);
        FUZZ_CHECK(text.has_value());
        const auto again = JSON::parse(*text);
        FUZZ_CHECK(again.hasValue());
        FUZZ_CHECK(*again == document);
        FUZZ_CHECK(again->rawString("UTF8", options) == text);
    }
    FUZZ_CHECK(document.description() == *document.rawString());
    FUZZ_CHECK(!document.rawString("latin1").has_value());
}

bool hasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

// Deepest nesting level below the root (the root's children are level 1), and whether the
// castNilToNSNull form of the tree is plain JSON (it escapes only quotes and backslashes in
// texts, and nothing in keys).
struct Shape {
    std::size_t depth = 0;
    bool castFormIsJson = true;
};

Shape shapeOf(const JSON& root)
{
    Shape shape;
    std::vector<std::pair<JSON, std::size_t>> pending{{root, 0}};
    while (!pending.empty()) {
        auto [value, level] = std::move(pending.back());
        pending.pop_back();
        shape.depth = std::max(shape.depth, level);
        if (auto text = value.string(); text && hasControlCharacter(*text)) {
            shape.castFormIsJson = false;
        }
        // A real such as 9.2e19 is written there as its shortest text, 92023399999954780000,
        // an integer too large for the parser (simdjson takes no integer beyond 64 bits).
        if (auto number = value.number();
            number && number->kind == JSONNumber::Kind::real && std::fabs(number->real) >= 1e18) {
            shape.castFormIsJson = false;
        }
        const bool isDictionary = value.type() == JSONType::dictionary;
        for (const auto& [key, child] : value) {
            if (isDictionary &&
                (hasControlCharacter(key) || key.find_first_of("\"\\") != std::string::npos)) {
                shape.castFormIsJson = false;
            }
            pending.emplace_back(child, level + 1);
        }
    }
    return shape;
}

void checkWritingOptions(const JSON& document, std::size_t inputSize)
{
    WritingOptions zeroDepth;
    zeroDepth.maxObjextDepth = 0;
    FUZZ_CHECK(!document.rawString(zeroDepth).has_value());

    WritingOptions otherEncoding;
    otherEncoding.encoding = "utf-16";
    FUZZ_CHECK(!document.rawString(otherEncoding).has_value());

    // Large inputs have been walked enough; the rest costs one more walk of the whole tree.
    if (inputSize > 64 * 1024) {
        return;
    }
    const Shape shape = shapeOf(document);
    for (int limit : {1, 2, 3, 10, 2000}) {
        WritingOptions cast;
        cast.castNilToNSNull = true;
        cast.maxObjextDepth = limit;
        const auto text = document.rawString(cast);
        // A value at nesting level k is rendered with the limit minus k, which must stay >= 1.
        FUZZ_CHECK(text.has_value() == (static_cast<std::size_t>(limit) > shape.depth));
        if (text && shape.castFormIsJson) {
            const auto again = JSON::parse(*text);
            FUZZ_CHECK(again.hasValue());
            FUZZ_CHECK(*again == document);
        }
    }
}

// Setters copy on write: the value set is found again, and other copies keep the old value.
void checkSetters(const JSON& document)
{
    const auto before = document.rawString("utf-8", 0);
    JSON copy = document;
    const JSON marker = JSON::dictionary({{"fuzz", JSON("marker")}});
    if (document.type() == JSONType::dictionary) {
        FUZZ_CHECK(copy.set("fuzz marker", marker));
        FUZZ_CHECK(copy["fuzz marker"] == marker);
        FUZZ_CHECK(copy.count() == document.count() + (document["fuzz marker"].exists() ? 0 : 1));
    } else {
        FUZZ_CHECK(!copy.set("fuzz marker", marker));
        if (document.count() > 0) {
            FUZZ_CHECK(copy.set(0, marker));
            FUZZ_CHECK(copy[0] == marker);
        }
    }
    FUZZ_CHECK(document.rawString("utf-8", 0) == before);

    // Merging a value into itself concatenates arrays (at the top and inside dictionaries)
    // and keeps every member; a tree nested too deeply is refused.
    JSON merged = document;
    if (const auto error = merged.merge(document)) {
        FUZZ_CHECK(*error == JSONError::elementTooDeep);
    } else if (document.type() == JSONType::array) {
        FUZZ_CHECK(merged.count() == 2 * document.count());
    } else {
        for (const auto& member : document) {
            FUZZ_CHECK(merged[member.first].exists());
        }
    }
    FUZZ_CHECK(merged.merge(JSON("text")) == JSONError::wrongType);
    FUZZ_CHECK(document.rawString("utf-8", 0) == before);
}

// The bytes as a text value made in code (not parsed).
void checkText(std::string_view bytes)
{
    const JSON text{std::string(bytes)};
    FUZZ_CHECK(text.type() == JSONType::string);
    FUZZ_CHECK(text.stringValue() == bytes);
    checkAccessors(text);
    checkMisses(text);
    // rawString of a text is the bare text when it is UTF-8, else nothing.
    if (const auto written = text.rawString()) {
        FUZZ_CHECK(*written == bytes);
    }
    checkComparison(text, JSON(std::string(bytes.substr(0, bytes.size() / 2))));
}

}  // namespace
}  // namespace vellinor::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    const auto document = JSON::parse(bytes);
    const JSON lenient = JSON::fromBytes(bytes);
    fuzz::checkText(bytes.substr(0, 4096));
    if (!document) {
        FUZZ_CHECK(lenient.type() == JSONType::null && lenient.exists());
        return 0;
    }
    FUZZ_CHECK(lenient == *document && *document == *document);
    FUZZ_CHECK(document->type() == JSONType::array || document->type() == JSONType::dictionary);
    fuzz::checkTree(*document);
    fuzz::checkRoundTrip(*document);
    fuzz::checkWritingOptions(*document, size);
    fuzz::checkSetters(*document);
    return 0;
}
