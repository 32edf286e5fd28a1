// Setters copy on write; merging.

#include <gtest/gtest.h>

#include "json/json.h"

namespace vellinor {
namespace {

const char* const kDocument = R"({"streams": [{"codec": "h264", "tags": {"language": "eng"}},
                                              {"codec": "aac"}],
                                  "format": {"duration": "1.5"}})";

TEST(JsonSetters, CopiesDoNotSeeEachOthersChanges)
{
    const JSON original = *JSON::parse(kDocument);
    JSON copy = original;
    JSON sub = original["streams"];

    EXPECT_TRUE(copy.set({"streams", 0, "tags", "language"}, JSON("fre")));
    EXPECT_EQ((copy[{"streams", 0, "tags", "language"}].stringValue()), "fre");
    EXPECT_EQ((original[{"streams", 0, "tags", "language"}].stringValue()), "eng");
    EXPECT_EQ(sub[0]["tags"]["language"].stringValue(), "eng");
    // The untouched parts are still there in the copy.
    EXPECT_EQ((copy[{"streams", 1, "codec"}].stringValue()), "aac");
    EXPECT_EQ((copy[{"format", "duration"}].doubleValue()), 1.5);

    EXPECT_TRUE(sub.set(1, JSON("replaced")));
    EXPECT_EQ(sub[1].stringValue(), "replaced");
    EXPECT_EQ(original["streams"][1]["codec"].stringValue(), "aac");
    EXPECT_EQ(copy["streams"][1]["codec"].stringValue(), "aac");
}

struct SetCase {
    const char* name;
    std::vector<JSONKey> path;
    bool changes;
};

TEST(JsonSetters, WhatASetterAccepts)
{
    const std::vector<SetCase> cases = {
        {"new member is added at the end", {"added"}, true},
        {"existing member replaced in place", {"format"}, true},
        {"array element replaced", {"streams", 1}, true},
        {"index past the end", {"streams", 2}, false},
        {"negative index", {"streams", -1}, false},
        {"missing intermediate key", {"chapters", "x"}, false},
        {"key into an array", {"streams", "x"}, false},
        {"index into a dictionary", {"format", 0}, false},
        {"into a text", {"format", "duration", "x"}, false},
        {"empty path", {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JSON original = *JSON::parse(kDocument);
        JSON value = original;
        EXPECT_EQ(value.set(std::span<const JSONKey>(c.path), JSON(42)), c.changes);
        if (c.changes) {
            EXPECT_EQ(value.at(c.path).intValue(), 42);
            EXPECT_NE(value, original);
        } else {
            EXPECT_EQ(value, original);
        }
    }

    JSON value = *JSON::parse(kDocument);
    ASSERT_TRUE(value.set("added", JSON::array({1})));
    ASSERT_TRUE(value.set("format", nullptr));
    std::vector<std::string> keys;
    for (const auto& member : value) {
        keys.push_back(member.first);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"streams", "format", "added"}));
    EXPECT_EQ(value["format"].type(), JSONType::null);
    EXPECT_TRUE(value["format"].exists());

    JSON text("abc");
    EXPECT_FALSE(text.set("k", JSON(1)));
    EXPECT_FALSE(text.set(0, JSON(1)));
}

TEST(JsonSetters, SetOnADuplicateKeyChangesTheVisibleOne)
{
    JSON value = *JSON::parse(R"({"a": 1, "b": 2, "a": 3})");
    ASSERT_TRUE(value.set("a", JSON(9)));
    EXPECT_EQ(value["a"].intValue(), 9);
    EXPECT_EQ(value.rawString("utf-8", 0), R"({"a":1,"b":2,"a":9})");
}

TEST(JsonSetters, ValueSetIntoItselfStaysConsistent)
{
    JSON value = JSON::dictionary({{"a", 1}});
    ASSERT_TRUE(value.set("self", value));
    ASSERT_TRUE(value.set("self2", value));
    EXPECT_EQ(value.rawString("utf-8", 0),
              R"({"a":1,"self":{"a":1},"self2":{"a":1,"self":{"a":1}}})");
}

struct MergeCase {
    const char* name;
    const char* base;
    const char* other;
    std::optional<std::string> merged;  // compact text; nullopt when the merge fails
};

TEST(JsonMerge, Cases)
{
    const std::vector<MergeCase> cases = {
        {"dictionaries member by member", R"({"a": 1, "b": {"x": 1, "y": [1]}})",
         R"({"b": {"y": [2], "z": true}, "c": null})",
         R"({"a":1,"b":{"x":1,"y":[1,2],"z":true},"c":null})"},
        {"arrays concatenate", "[1, 2]", "[3]", "[1,2,3]"},
        {"member of another kind is replaced", R"({"a": {"x": 1}})", R"({"a": [1]})",
         R"({"a":[1]})"},
        {"top-level kinds differ", R"({"a": 1})", "[1]", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JSON base = *JSON::parse(c.base);
        const JSON before = base;
        const JSON other = *JSON::parse(c.other);
        JSONError error = JSONError::notExist;
        const auto merged = base.merged(other, &error);
        const auto mergeError = base.merge(other);
        if (c.merged) {
            ASSERT_TRUE(merged.has_value());
            EXPECT_EQ(merged->rawString("utf-8", 0), c.merged);
            EXPECT_FALSE(mergeError.has_value());
            EXPECT_EQ(base, *merged);
        } else {
            EXPECT_FALSE(merged.has_value());
            EXPECT_EQ(error, JSONError::wrongType);
            EXPECT_EQ(mergeError, JSONError::wrongType);
            EXPECT_EQ(base, before);
        }
        // The merged-into document itself is untouched.
        EXPECT_EQ(*JSON::parse(c.base), before);
    }
    JSON number(1);
    EXPECT_FALSE(number.merge(JSON(2.5)).has_value());
    EXPECT_EQ(number.doubleValue(), 2.5);
    EXPECT_EQ(number.merge(JSON("x")), JSONError::wrongType);
}

TEST(JsonMerge, TooDeepIsRefused)
{
    JSON deep = JSON::dictionary({{"k", 1}});
    for (std::size_t i = 0; i < JSON::kMaxParseDepth + 5; ++i) {
        deep = JSON::dictionary({{"k", deep}});
    }
    JSON base = deep;
    EXPECT_EQ(base.merge(deep), JSONError::elementTooDeep);
    EXPECT_EQ(base, deep);
}

}  // namespace
}  // namespace vellinor
