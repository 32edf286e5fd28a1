// Text output: rawString of every kind, the writer's layout and escaping, round trips, the
// castNilToNSNull form, and the serialization diagnostics line.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "json/json.h"
#include "support/captured_diagnostics.h"

namespace vellinor {
namespace {

const std::string kInvalidLine = "Could not serialize object to JSON because: JSON is invalid.";

struct RawCase {
    const char* name;
    JSON value;
    std::optional<std::string> pretty;
    std::optional<std::string> compact;
    bool diagnostic;
};

TEST(JsonWriter, RawStringOfEveryKind)
{
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<RawCase> cases = {
        {"text is bare", JSON("a \"q\"\n"), "a \"q\"\n", "a \"q\"\n", false},
        {"integer", JSON(-12), "-12", "-12", false},
        {"real as stringValue", JSON(2.0), "2", "2", false},
        {"Boolean", JSON(false), "false", "false", false},
        {"null", JSON::null(), "null", "null", false},
        {"missing key is null", JSON::parse("{}")->operator[]("x"), "null", "null", false},
        {"unknown gives nothing", JSON::unsupported(), std::nullopt, std::nullopt, false},
        {"empty array", JSON::array({}), "[]", "[]", false},
        {"empty dictionary", JSON::dictionary({}), "{}", "{}", false},
        {"array", JSON::array({1, "two", nullptr, true}), "[\n  1,\n  \"two\",\n  null,\n  true\n]",
         R"([1,"two",null,true])", false},
        {"nested, members in order",
         JSON::dictionary({{"z", JSON::array({})},
                           {"a", JSON::dictionary({{"k", 1.5}, {"e", JSON::dictionary({})}})}}),
         "{\n  \"z\": [],\n  \"a\": {\n    \"k\": 1.5,\n    \"e\": {}\n  }\n}",
         R"({"z":[],"a":{"k":1.5,"e":{}}})", false},
        {"reals stay recognisable as reals",
         JSON::array({5.0, -0.0, 0.1, 1e300, 1e-7, 123456789.0}), std::nullopt,
         "[5.0,-0.0,0.1,1e+300,1e-07,123456789.0]", false},
        {"escaping", JSON::array({"\"\\/\n\t\r\b\f\x01\x1f\x7f\xC3\xA9"}), std::nullopt,
         R"(["\"\\/\n\t\r\b\f\u0001\u001f)"
         "\x7f\xC3\xA9\"]",
         false},
        {"keys are escaped", JSON::dictionary({{"a\"b", 1}}), std::nullopt, R"({"a\"b":1})", false},
        {"infinity is not JSON", JSON::array({inf}), std::nullopt, std::nullopt, true},
        {"NaN deep inside is not JSON",
         JSON::dictionary({{"a", JSON::array({1, JSON::array({std::nan("")})})}}), std::nullopt,
         std::nullopt, true},
        {"unknown inside is not JSON", JSON::array({JSON::unsupported()}), std::nullopt,
         std::nullopt, true},
        {"text that is not UTF-8 gives nothing", JSON::array({"\xE9"}), std::nullopt, std::nullopt,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::CapturedDiagnostics capture;
        if (c.pretty) {
            EXPECT_EQ(c.value.rawString(), c.pretty);
        }
        EXPECT_EQ(c.value.rawString("UTF-8", 0), c.compact);
        const std::size_t calls = c.pretty ? 2 : 1;
        if (c.diagnostic) {
            EXPECT_EQ(capture.lines(), std::vector<std::string>(calls, kInvalidLine));
        } else {
            EXPECT_TRUE(capture.lines().empty());
        }
    }
}

TEST(JsonWriter, DepthLimitBelowOneFailsWithDiagnostic)
{
    for (int depth : {0, -1}) {
        test::CapturedDiagnostics capture;
        WritingOptions options;
        options.maxObjextDepth = depth;
        EXPECT_FALSE(JSON("text").rawString(options).has_value());
        EXPECT_FALSE(JSON::array({1}).rawString(options).has_value());
        EXPECT_EQ(capture.lines(), std::vector<std::string>(2, kInvalidLine));
    }
    // Without castNilToNSNull the limit applies only to the top: deeper trees still write.
    WritingOptions shallow;
    shallow.maxObjextDepth = 1;
    shallow.jsonSerialization = 0;
    EXPECT_EQ(JSON::parse("[[[[1]]]]")->rawString(shallow), "[[[[1]]]]");
}

TEST(JsonWriter, EncodingOtherThanUtf8GivesNoText)
{
    const JSON doc = JSON::array({1});
    EXPECT_TRUE(doc.rawString("utf8").has_value());
    EXPECT_TRUE(doc.rawString("Utf-8").has_value());
    EXPECT_FALSE(doc.rawString("latin1").has_value());
    WritingOptions options;
    options.encoding = "ascii";
    EXPECT_FALSE(doc.rawString(options).has_value());
    // Scalars are not encoded: they keep their text whatever the encoding.
    EXPECT_EQ(JSON("abc").rawString(options), "abc");
    EXPECT_EQ(JSON(7).rawString("latin1"), "7");
}

TEST(JsonWriter, DescriptionFallsBackToUnknown)
{
    EXPECT_EQ(JSON::unsupported().description(), "unknown");
    EXPECT_EQ(JSON::unsupported().debugDescription(), "unknown");
    EXPECT_EQ(JSON(3).description(), "3");
    EXPECT_EQ(JSON::array({1}).description(), "[\n  1\n]");
}

struct NullCastCase {
    const char* name;
    JSON value;
    int depth;
    std::optional<std::string> text;
};

TEST(JsonWriter, CastNilToNSNullForm)
{
    const std::vector<NullCastCase> cases = {
        {"only quote and backslash escaped",
         JSON::dictionary({{"k", std::string("say \"hi\" \\ /\n")}}), 10,
         "{\"k\": \"say \\\"hi\\\" \\\\ /\n\"}"},
        {"keys written as they are", JSON::dictionary({{"a\"b", 1}}), 10, "{\"a\"b\": 1}"},
        {"null members and elements",
         JSON::dictionary({{"n", nullptr}, {"l", JSON::array({nullptr, true, 2.5})}}), 10,
         R"({"n": null,"l": [null,true,2.5]})"},
        {"numbers as their stringValue", JSON::array({5.0, 7}), 10, "[5,7]"},
        {"members in order", JSON::dictionary({{"b", 1}, {"a", 2}}), 10, R"({"b": 1,"a": 2})"},
        {"empty containers", JSON::dictionary({{"a", JSON::array({})}}), 2, R"({"a": []})"},
        {"depth 1 allows no members", JSON::array({1}), 1, std::nullopt},
        {"depth 1 allows an empty container", JSON::array({}), 1, "[]"},
        {"depth counts every level", JSON::parse("[[[1]]]").value(), 3, std::nullopt},
        {"deep enough", JSON::parse("[[[1]]]").value(), 4, "[[[1]]]"},
        {"unknown member gives nothing", JSON::array({JSON::unsupported()}), 10, std::nullopt},
        {"non-finite numbers are allowed here",
         JSON::array({std::numeric_limits<double>::infinity()}), 10, "[inf]"},
        {"a text stays bare", JSON("a\"b"), 10, "a\"b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::CapturedDiagnostics capture;
        WritingOptions options;
        options.castNilToNSNull = true;
        options.maxObjextDepth = c.depth;
        EXPECT_EQ(c.value.rawString(options), c.text);
        EXPECT_TRUE(capture.lines().empty());
    }
}

TEST(JsonWriter, RoundTripsThroughParse)
{
    const JSON values[] = {
        JSON::array({std::numeric_limits<std::int64_t>::max(),
                     std::numeric_limits<std::int64_t>::min(),
                     std::numeric_limits<std::uint64_t>::max(), 0, -1}),
        JSON::array({0.1, 1e300, -0.0, 5e-324, 1.7976931348623157e308, 2.5, -1e-300, 100.0}),
        JSON::array(
            {"\"\\\n\t\r\b\f\x01\x1f /", "\xC3\xA9\xE2\x82\xAC", "\xF0\x9F\x98\x80", "", "plain"}),
        JSON::dictionary({{"", 1},
                          {"\xC3\xA9", JSON::array({true, false, nullptr})},
                          {"nested", JSON::dictionary({{"a", JSON::array({JSON::array({})})}})}}),
        *JSON::parse(R"({"streams": [{"index": 0, "tags": {"language": "eng"}}],
                         "format": {"duration": "10.000000", "size": 123}})"),
    };
    for (const JSON& value : values) {
        for (unsigned options : {0u, kPrettyPrinted}) {
            const auto text = value.rawString("utf-8", options);
            ASSERT_TRUE(text.has_value());
            const auto back = JSON::parse(*text);
            ASSERT_TRUE(back.hasValue()) << *text;
            EXPECT_EQ(*back, value) << *text;
            // Kinds survive too: reals stay reals and integers integers.
            EXPECT_EQ(back->rawString("utf-8", options), text);
        }
    }
}

TEST(JsonWriter, DeepConstructedTreeWritesWithoutRecursion)
{
    JSON value = JSON::array({"leaf"});
    const int depth = 50000;
    for (int i = 1; i < depth; ++i) {
        value = JSON::array({value});
    }
    const auto text = value.rawString("utf-8", 0);
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->size(), 2u * depth + 6u);
    EXPECT_EQ(text->substr(depth - 1, 8), "[\"leaf\"]");
}

}  // namespace
}  // namespace vellinor
