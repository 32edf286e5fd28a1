// Equality and ordering between values.

#include <gtest/gtest.h>

#include <cmath>

#include "json/json.h"

namespace vellinor {
namespace {

struct PairCase {
    const char* name;
    JSON a;
    JSON b;
    bool equal;
    bool less;     // a < b
    bool greater;  // a > b
};

JSON parsed(std::string_view text)
{
    return *JSON::parse(text);
}

TEST(JsonCompare, PairsOfKinds)
{
    const JSON doc = parsed(R"({"t": true, "f": false, "one": 1, "oneReal": 1.0, "s": "Video",
                                "big": 18446744073709551615, "max": 9223372036854775807})");
    const std::vector<PairCase> cases = {
        {"parsed true equals Boolean true", doc["t"], JSON(true), true, false, false},
        {"parsed true is not integer 1", doc["t"], JSON(1), false, false, false},
        {"parsed false is not integer 0", doc["f"], JSON(0), false, false, false},
        {"integer 1 equals real 1.0", doc["one"], JSON(1.0), true, false, false},
        {"parsed 1.0 equals integer 1", doc["oneReal"], JSON(1), true, false, false},
        {"integer 5 vs real 5.5", JSON(5), JSON(5.5), false, true, false},
        {"real -0.5 vs integer 0", JSON(-0.5), JSON(0), false, true, false},
        {"zero and negative zero", JSON(0.0), JSON(-0.0), true, false, false},
        {"uint64 max vs int64 max", doc["big"], doc["max"], false, false, true},
        {"int64 max vs 2^63 as real", doc["max"], JSON(9223372036854775808.0), false, true, false},
        {"negative vs uint64", JSON(-1), doc["big"], false, true, false},
        {"equal texts", doc["s"], JSON("Video"), true, false, false},
        {"texts differing in case", doc["s"], JSON("video"), false, true, false},
        {"text vs number", JSON("1"), JSON(1), false, false, false},
        {"null vs null", JSON::null(), JSON(), true, false, false},
        {"missing key vs null", doc["nothing"], JSON(), true, false, false},
        {"unknown vs unknown", JSON::unsupported(), JSON::unsupported(), false, false, false},
        {"true vs false", JSON(true), JSON(false), false, false, false},
        {"NaN vs NaN", JSON(std::nan("")), JSON(std::nan("")), true, false, false},
        {"NaN vs 1", JSON(std::nan("")), JSON(1), false, false, false},
        {"arrays element by element", parsed("[1, [2, {\"a\": null}]]"),
         JSON::array({1.0, JSON::array({2, JSON::dictionary({{"a", nullptr}})})}), true, false,
         false},
        {"arrays of different length", parsed("[1, 2]"), parsed("[1]"), false, false, false},
        {"arrays keep Booleans apart", parsed("[true]"), parsed("[1]"), false, false, false},
        {"dictionaries ignore member order", parsed(R"({"a": 1, "b": [2]})"),
         parsed(R"({"b": [2], "a": 1})"), true, false, false},
        {"dictionaries with a different value", parsed(R"({"a": 1, "b": 2})"),
         parsed(R"({"a": 1, "b": 3})"), false, false, false},
        {"dictionaries with a different key", parsed(R"({"a": 1})"), parsed(R"({"b": 1})"), false,
         false, false},
        {"duplicate key counts as its last value", parsed(R"({"a": 1, "a": 2})"),
         parsed(R"({"a": 2})"), true, false, false},
        {"array vs dictionary", parsed("[]"), parsed("{}"), false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.a == c.b, c.equal);
        EXPECT_EQ(c.b == c.a, c.equal);
        EXPECT_EQ(c.a != c.b, !c.equal);
        EXPECT_EQ(c.a < c.b, c.less);
        EXPECT_EQ(c.a > c.b, c.greater);
        EXPECT_EQ(c.b < c.a, c.greater);
        EXPECT_EQ(c.a <= c.b, c.less || c.equal);
        EXPECT_EQ(c.a >= c.b, c.greater || c.equal);
    }
}

TEST(JsonCompare, DeepTreesCompareWithoutRecursion)
{
    // Deeper than any parsed document may be: built in code, compared, and destroyed.
    JSON a = JSON::array({});
    JSON b = JSON::array({});
    for (int i = 0; i < 100000; ++i) {
        a = JSON::array({a});
        b = JSON::array({b});
    }
    EXPECT_TRUE(a == b);
    b = JSON::array({b});
    EXPECT_FALSE(a == b);
}

}  // namespace
}  // namespace vellinor
