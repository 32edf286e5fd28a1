// Parsing bytes: what must parse, what must fail, invalid UTF-8, and the nesting cap.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "json/json.h"

namespace vellinor {
namespace {

struct CorpusRow {
    const char* name;
    std::string bytes;
    bool parses;
};

std::string nested(std::size_t depth, std::string_view innermost = "")
{
    return std::string(depth, '[') + std::string(innermost) + std::string(depth, ']');
}

std::string nestedObjects(std::size_t depth)
{
    std::string text;
    for (std::size_t i = 0; i < depth; ++i) {
        text += "{\"a\":";
    }
    text += "1";
    text += std::string(depth, '}');
    return text;
}

TEST(JsonParse, Corpus)
{
    const std::vector<CorpusRow> rows = {
        {"y_empty_array", "[]", true},
        {"y_empty_object", "{}", true},
        {"y_whitespace_around", " \n\t[1]\r\n ", true},
        {"y_nested_mix", R"({"a": [1, -2.5e3, true, false, null, "x", {"b": []}]})", true},
        {"y_escapes", R"(["\"\\\/\b\f\n\r\t\u00e9\ud83d\ude00"])", true},
        {"y_duplicate_keys", R"({"a": 1, "a": 2})", true},
        {"y_uint64_max", "[18446744073709551615]", true},
        {"y_int64_min", "[-9223372036854775808]", true},
        {"y_nesting_at_cap", nested(JSON::kMaxParseDepth), true},
        {"y_nesting_at_cap_with_scalar", nested(JSON::kMaxParseDepth, "1"), true},
        {"y_objects_at_cap", nestedObjects(JSON::kMaxParseDepth), true},
        {"n_empty", "", false},
        {"n_only_whitespace", "  \n ", false},
        {"n_bare_number", "1", false},
        {"n_bare_string", "\"text\"", false},
        {"n_bare_true", "true", false},
        {"n_bare_null", "null", false},
        {"n_truncated_array", "[1, 2", false},
        {"n_truncated_object", R"({"a": )", false},
        {"n_truncated_string", R"(["abc)", false},
        {"n_trailing_garbage", "[1] x", false},
        {"n_two_documents", "{} {}", false},
        {"n_trailing_comma", "[1,]", false},
        {"n_missing_colon", R"({"a" 1})", false},
        {"n_unquoted_key", "{a: 1}", false},
        {"n_single_quotes", "['a']", false},
        {"n_leading_zero", "[01]", false},
        {"n_nan_literal", "[NaN]", false},
        {"n_bad_escape", R"(["\x"])", false},
        {"n_nesting_over_cap", nested(JSON::kMaxParseDepth + 1), false},
        {"n_nesting_over_cap_with_scalar", nested(JSON::kMaxParseDepth + 1, "1"), false},
        {"n_objects_over_cap", nestedObjects(JSON::kMaxParseDepth + 1), false},
        {"n_100000_open_brackets", std::string(100000, '['), false},
        {"n_100000_balanced_brackets", nested(100000), false},
        {"n_nul_byte", std::string("[1]\0", 4), false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const auto result = JSON::parse(row.bytes);
        EXPECT_EQ(result.hasValue(), row.parses) << (result ? "" : result.error());
        if (!row.parses) {
            EXPECT_FALSE(result.error().empty());
        }
        // fromBytes never fails: a failed parse is the null value without error.
        const JSON lenient = JSON::fromBytes(row.bytes);
        if (!row.parses) {
            EXPECT_EQ(lenient.type(), JSONType::null);
            EXPECT_FALSE(lenient.error().has_value());
        }
    }
}

// A default string_view has no data pointer at all; parsing it must not pass that null on
// (found by the fuzz corpus replay under UBSan).
TEST(JsonParse, ViewWithoutDataIsEmpty)
{
    const auto parsed = JSON::parse(std::string_view());
    ASSERT_FALSE(parsed.hasValue());
    EXPECT_FALSE(parsed.error().empty());
    EXPECT_EQ(JSON::fromBytes(std::string_view()).type(), JSONType::null);
}

TEST(JsonParse, MendUtf8AsParsingDoes)
{
    EXPECT_EQ(mendUtf8("plain ascii"), "plain ascii");
    EXPECT_EQ(mendUtf8("caf\xC3\xA9"), "caf\xC3\xA9");
    EXPECT_EQ(mendUtf8("caf\xE9 \xFF"), "caf\uFFFD \uFFFD");
    EXPECT_EQ(mendUtf8(std::string_view()), "");
    // The same text as the parser makes of a document holding those bytes.
    const auto parsed = JSON::parse("[\"caf\xE9 \xFF\"]");
    ASSERT_TRUE(parsed.hasValue());
    EXPECT_EQ((*parsed)[0].stringValue(), mendUtf8("caf\xE9 \xFF"));
}

TEST(JsonParse, ScalarsKeepTheirKinds)
{
    const JSON doc = *JSON::parse(
        R"([1, -1, 1.0, 1e2, true, false, null, "s", 18446744073709551615, -0, -0.0])");
    const JSONType types[] = {JSONType::number, JSONType::number,  JSONType::number,
                              JSONType::number, JSONType::boolean, JSONType::boolean,
                              JSONType::null,   JSONType::string,  JSONType::number,
                              JSONType::number, JSONType::number};
    ASSERT_EQ(doc.count(), std::size(types));
    for (std::size_t i = 0; i < std::size(types); ++i) {
        EXPECT_EQ(doc[i].type(), types[i]) << i;
    }
    EXPECT_EQ(doc[0].numberValue().kind, JSONNumber::Kind::integer);
    EXPECT_EQ(doc[2].numberValue().kind, JSONNumber::Kind::real);
    EXPECT_EQ(doc[3].numberValue().kind, JSONNumber::Kind::real);
    EXPECT_EQ(doc[8].numberValue().kind, JSONNumber::Kind::unsignedInteger);
    EXPECT_TRUE(std::signbit(doc[10].doubleValue()));
}

TEST(JsonParse, EscapesAreDecoded)
{
    const JSON doc = *JSON::parse(R"(["a\"b\\c\/d\n\u00e9\ud83d\ude00\u0000z"])");
    EXPECT_EQ(doc[0].stringValue(), std::string("a\"b\\c/d\n\xC3\xA9\xF0\x9F\x98\x80\0z", 16));
}

struct Utf8Case {
    const char* name;
    std::string raw;       // bytes inside the string literal of the document
    std::string repaired;  // what the value reads after repair
};

TEST(JsonParse, InvalidUtf8IsRepairedNotRejected)
{
    const std::string fffd = "\xEF\xBF\xBD";
    const std::vector<Utf8Case> cases = {
        {"Latin-1 letters", "Caf\xE9 d\xE9j\xE0", "Caf" + fffd + " d" + fffd + "j" + fffd},
        {"lone continuation byte", "a\x80z", "a" + fffd + "z"},
        {"truncated three-byte sequence", "a\xE2\x82z", "a" + fffd + "z"},
        {"truncated at end of text", "ab\xE2\x82", "ab" + fffd},
        {"overlong encoding", "\xC0\xAF", fffd + fffd},
        {"surrogate encoded", "\xED\xA0\x80", fffd + fffd + fffd},
        {"above U+10FFFF", "\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},
        {"0xFF byte", "x\xFFy", "x" + fffd + "y"},
        {"valid text untouched", "\xC3\xA9\xF0\x9F\x98\x80", "\xC3\xA9\xF0\x9F\x98\x80"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string document =
            R"({"format": {"tags": {"title": ")" + c.raw + R"("}}, "after": 1})";
        const auto parsed = JSON::parse(document);
        ASSERT_TRUE(parsed.hasValue()) << parsed.error();
        EXPECT_EQ(((*parsed)[{"format", "tags", "title"}].stringValue()), c.repaired);
        EXPECT_EQ((*parsed)["after"].intValue(), 1);
        // The repaired text writes out as valid JSON again.
        ASSERT_TRUE(parsed->rawString().has_value());
    }
    // Repair does not make an invalid document valid.
    EXPECT_FALSE(JSON::parse("[\"\xE9\"").hasValue());
    // Invalid bytes in a key are repaired too.
    const auto keyed = JSON::parse("{\"k\xE9y\": 2}");
    ASSERT_TRUE(keyed.hasValue());
    EXPECT_EQ((*keyed)["k" + fffd + "y"].intValue(), 2);
}

TEST(JsonParse, DeepDocumentAtTheCapWritesAndComparesSafely)
{
    const std::string text = nested(JSON::kMaxParseDepth, "\"deep\"");
    const auto doc = JSON::parse(text);
    ASSERT_TRUE(doc.hasValue());
    auto compact = doc->rawString("utf-8", 0);
    ASSERT_TRUE(compact.has_value());
    EXPECT_EQ(*compact, text);
    EXPECT_TRUE(*doc == *JSON::parse(*compact));
    JSON inner = *doc;
    for (std::size_t i = 0; i + 1 < JSON::kMaxParseDepth; ++i) {
        inner = inner[0];
    }
    EXPECT_EQ(inner[0].stringValue(), "deep");
}

}  // namespace
}  // namespace vellinor
