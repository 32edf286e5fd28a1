// The lenient accessors: stringValue, numberValue, doubleValue, intValue, boolValue and the
// optional forms.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "json/json.h"

namespace vellinor {
namespace {

constexpr auto kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr auto kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr auto kUInt64Max = std::numeric_limits<std::uint64_t>::max();

JSON member(std::string_view name)
{
    static const JSON doc = *JSON::parse(R"({
        "int": 25, "negative": -7, "real": 3.9, "negativeReal": -3.9, "true": true,
        "false": false, "null": null, "text": "abc", "decimal": "10.000000",
        "bigText": "9223372036854775807", "hugeText": "18446744073709551615",
        "int64max": 9223372036854775807, "int64min": -9223372036854775808,
        "uint64max": 18446744073709551615, "array": [1], "dict": {"a": 1}
    })");
    return doc[name];
}

struct ValueCase {
    const char* name;
    JSON value;
    std::string stringValue;
    double doubleValue;
    std::int64_t intValue;
    bool boolValue;
};

TEST(JsonAccessors, LenientValuesByKind)
{
    const std::vector<ValueCase> cases = {
        {"integer", member("int"), "25", 25.0, 25, true},
        {"negative integer", member("negative"), "-7", -7.0, -7, true},
        {"real", member("real"), "3.9", 3.9, 3, true},
        {"negative real truncates toward zero", member("negativeReal"), "-3.9", -3.9, -3, true},
        {"true", member("true"), "true", 1.0, 1, true},
        {"false", member("false"), "false", 0.0, 0, false},
        {"null", member("null"), "", 0.0, 0, false},
        {"missing key", member("nothing"), "", 0.0, 0, false},
        {"array", member("array"), "", 0.0, 0, false},
        {"dictionary", member("dict"), "", 0.0, 0, false},
        {"letters", member("text"), "abc", 0.0, 0, false},
        {"decimal text", member("decimal"), "10.000000", 10.0, 10, false},
        {"int64 max in text", member("bigText"), "9223372036854775807", 9223372036854775807.0,
         kInt64Max, false},
        {"int64 max", member("int64max"), "9223372036854775807", 9223372036854775807.0, kInt64Max,
         true},
        {"int64 min", member("int64min"), "-9223372036854775808", -9223372036854775808.0, kInt64Min,
         true},
        {"uint64 max clamps", member("uint64max"), "18446744073709551615", 18446744073709551615.0,
         kInt64Max, true},
        {"unknown", JSON::unsupported(), "", 0.0, 0, false},
        {"real 5.0", JSON(5.0), "5", 5.0, 5, true},
        {"real 0.1", JSON(0.1), "0.1", 0.1, 0, true},
        {"huge real clamps", JSON(1e300), "1e+300", 1e300, kInt64Max, true},
        {"negative huge real clamps", JSON(-1e300), "-1e+300", -1e300, kInt64Min, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.value.stringValue(), c.stringValue);
        EXPECT_EQ(c.value.doubleValue(), c.doubleValue);
        EXPECT_EQ(c.value.intValue(), c.intValue);
        EXPECT_EQ(c.value.boolValue(), c.boolValue);
    }
    EXPECT_EQ(member("uint64max").uintValue(), kUInt64Max);
    EXPECT_EQ(member("hugeText").uintValue(), kUInt64Max);
    EXPECT_EQ(JSON(std::nan("")).intValue(), 0);
    EXPECT_EQ(JSON(-2.5).uintValue(), 0u);
}

struct DecimalCase {
    const char* text;
    double doubleValue;
    std::int64_t intValue;
    JSONNumber::Kind kind;
};

TEST(JsonAccessors, TextReadAsDecimalNumber)
{
    using Kind = JSONNumber::Kind;
    const std::vector<DecimalCase> cases = {
        {"42", 42.0, 42, Kind::integer},
        {"-42", -42.0, -42, Kind::integer},
        {"+42", 42.0, 42, Kind::integer},
        {"  7", 7.0, 7, Kind::integer},
        {"1.5", 1.5, 1, Kind::real},
        {".5", 0.5, 0, Kind::real},
        {"5.", 5.0, 5, Kind::real},
        {"-0.25", -0.25, 0, Kind::real},
        {"7200.000000", 7200.0, 7200, Kind::real},
        {"0.1", 0.1, 0, Kind::real},
        {"-0.000001", -0.000001, 0, Kind::real},
        {"123456789.123456", 123456789.123456, 123456789, Kind::real},
        {"0.30000000000000004", 0.30000000000000004, 0, Kind::real},
        {"1e3", 1000.0, 1000, Kind::real},
        {"2.5E-1", 0.25, 0, Kind::real},
        {"12abc", 12.0, 12, Kind::integer},
        {"1.5.7", 1.5, 1, Kind::real},
        {"3e", 3.0, 3, Kind::integer},
        {"3e+", 3.0, 3, Kind::integer},
        {"N/A", 0.0, 0, Kind::integer},
        {"", 0.0, 0, Kind::integer},
        {".", 0.0, 0, Kind::integer},
        {"-", 0.0, 0, Kind::integer},
        {"abc12", 0.0, 0, Kind::integer},
        {"-9223372036854775808", -9223372036854775808.0, kInt64Min, Kind::integer},
        {"9223372036854775808", 9223372036854775808.0, kInt64Max, Kind::unsignedInteger},
        {"99999999999999999999", 1e20, kInt64Max, Kind::real},
        {"-99999999999999999999", -1e20, kInt64Min, Kind::real},
        {"1e400", std::numeric_limits<double>::infinity(), kInt64Max, Kind::real},
        {"-1e400", -std::numeric_limits<double>::infinity(), kInt64Min, Kind::real},
        {"1e-400", 0.0, 0, Kind::real},
        {"0.0000001e-400", 0.0, 0, Kind::real},
        // Exponents at the limits of a 64-bit integer (found by fuzzing: signed overflow).
        {"1e9223372036854775807", std::numeric_limits<double>::infinity(), kInt64Max, Kind::real},
        {"-1e9223372036854775807", -std::numeric_limits<double>::infinity(), kInt64Min, Kind::real},
        {"0.001e-9223372036854775808", 0.0, 0, Kind::real},
        {"1000e-9223372036854775808", 0.0, 0, Kind::real},
        {"1e99999999999999999999", std::numeric_limits<double>::infinity(), kInt64Max, Kind::real},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const JSON value(c.text);
        EXPECT_EQ(value.numberValue().kind, c.kind);
        EXPECT_EQ(value.doubleValue(), c.doubleValue);
        EXPECT_EQ(value.intValue(), c.intValue);
    }
}

TEST(JsonAccessors, BoolValueOfTexts)
{
    for (const char* yes : {"true", "TRUE", "True", "y", "Y", "t", "yes", "YeS", "1"}) {
        EXPECT_TRUE(JSON(yes).boolValue()) << yes;
    }
    for (const char* no : {"false", "no", "0", "2", "", "truee", " yes", "on"}) {
        EXPECT_FALSE(JSON(no).boolValue()) << no;
    }
    EXPECT_FALSE(JSON(0).boolValue());
    EXPECT_FALSE(JSON(0.0).boolValue());
    EXPECT_TRUE(JSON(0.5).boolValue());
}

TEST(JsonAccessors, OptionalFormsOnlyForMatchingKinds)
{
    EXPECT_EQ(member("text").string(), "abc");
    EXPECT_FALSE(member("int").string().has_value());
    EXPECT_EQ(member("true").boolean(), true);
    EXPECT_FALSE(member("int").boolean().has_value());
    EXPECT_EQ(member("int").intOptional(), 25);
    EXPECT_EQ(member("true").intOptional(), 1);
    EXPECT_EQ(member("real").doubleOptional(), 3.9);
    EXPECT_FALSE(member("decimal").doubleOptional().has_value());
    EXPECT_FALSE(member("null").number().has_value());
    EXPECT_FALSE(member("nothing").intOptional().has_value());
}

TEST(JsonAccessors, IntegersKeepTheirKind)
{
    EXPECT_EQ(member("int").numberValue().kind, JSONNumber::Kind::integer);
    EXPECT_EQ(member("uint64max").numberValue().kind, JSONNumber::Kind::unsignedInteger);
    EXPECT_EQ(member("real").numberValue().kind, JSONNumber::Kind::real);
    EXPECT_EQ(JSON(18446744073709551615ULL).numberValue().unsignedInteger, kUInt64Max);
    EXPECT_EQ(JSON(7u).numberValue().kind, JSONNumber::Kind::integer);
    EXPECT_EQ(member("true").type(), JSONType::boolean);
    EXPECT_EQ(member("int").type(), JSONType::number);
}

TEST(JsonErrors, DescriptionsAndCodes)
{
    struct Row {
        JSONError error;
        int code;
        const char* description;
    };
    const Row rows[] = {
        {JSONError::unsupportedType, 999, "It is an unsupported type."},
        {JSONError::indexOutOfBounds, 900, "Array Index is out of bounds."},
        {JSONError::elementTooDeep, 902,
         "Element too deep. Increase maxObjectDepth and make sure there is no reference loop."},
        {JSONError::wrongType, 901,
         "Couldn't merge, because the JSONs differ in type on top level."},
        {JSONError::notExist, 500, "Dictionary key does not exist."},
        {JSONError::invalidJSON, 490, "JSON is invalid."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(errorCode(row.error), row.code);
        EXPECT_EQ(errorDescription(row.error), row.description);
        EXPECT_EQ(jsonErrorFromCode(row.code), row.error);
    }
    for (int code : {0, 1, 491, 501, 903, 1000, -500}) {
        EXPECT_FALSE(jsonErrorFromCode(code).has_value()) << code;
    }
}

}  // namespace
}  // namespace vellinor
