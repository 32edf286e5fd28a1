// Lookups by index, key and path; the error of the first miss; exists, count and iteration.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json.h"

namespace vellinor {
namespace {

JSON parsed(std::string_view text)
{
    auto value = JSON::parse(text);
    EXPECT_TRUE(value.hasValue()) << text;
    return value.valueOr(JSON());
}

const char* const kProbe = R"({
  "streams": [
    {"index": 0, "codec_type": "video", "tags": {"language": "eng"}},
    {"index": 1, "codec_type": "audio", "side": null}
  ],
  "format": {"duration": "10.000000", "tags": {"title": "T"}}
})";

struct LookupCase {
    const char* name;
    JSON (*lookup)(const JSON& doc);
    JSONType type;
    std::optional<JSONError> error;
    std::string stringValue;
};

TEST(JsonLookup, ChainedLookupsGiveValueOrErrorOfFirstMiss)
{
    const JSON doc = parsed(kProbe);
    const std::vector<LookupCase> cases = {
        {"key then index then key", [](const JSON& d) { return d["streams"][1]["codec_type"]; },
         JSONType::string, std::nullopt, "audio"},
        {"nested key", [](const JSON& d) { return d["streams"][0]["tags"]["language"]; },
         JSONType::string, std::nullopt, "eng"},
        {"path form",
         [](const JSON& d) {
             return d[{"streams", 0, "codec_type"}];
         },
         JSONType::string, std::nullopt, "video"},
        {"index 5 of two", [](const JSON& d) { return d["streams"][5]; }, JSONType::null,
         JSONError::indexOutOfBounds, ""},
        {"index -1", [](const JSON& d) { return d["streams"][-1]; }, JSONType::null,
         JSONError::indexOutOfBounds, ""},
        {"size_t index past end", [](const JSON& d) { return d["streams"][std::size_t{2}]; },
         JSONType::null, JSONError::indexOutOfBounds, ""},
        {"missing key", [](const JSON& d) { return d["chapters"]; }, JSONType::null,
         JSONError::notExist, ""},
        {"missing key, key, index", [](const JSON& d) { return d["chapters"]["tags"][0]; },
         JSONType::null, JSONError::notExist, ""},
        {"path of missing key, key, index",
         [](const JSON& d) {
             return d[{"chapters", "tags", 0}];
         },
         JSONType::null, JSONError::notExist, ""},
        {"out of bounds then key", [](const JSON& d) { return d["streams"][9]["codec_type"]; },
         JSONType::null, JSONError::indexOutOfBounds, ""},
        {"index into dictionary", [](const JSON& d) { return d["format"][0]; }, JSONType::null,
         JSONError::wrongType, ""},
        {"key into text", [](const JSON& d) { return d["format"]["duration"]["x"]; },
         JSONType::null, JSONError::wrongType, ""},
        {"wrong type then missing key", [](const JSON& d) { return d["format"][0]["nothing"]; },
         JSONType::null, JSONError::wrongType, ""},
        {"present null", [](const JSON& d) { return d["streams"][1]["side"]; }, JSONType::null,
         std::nullopt, ""},
        {"key lookup is case-sensitive", [](const JSON& d) { return d["Format"]; }, JSONType::null,
         JSONError::notExist, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JSON result = c.lookup(doc);
        EXPECT_EQ(result.type(), c.type);
        EXPECT_EQ(result.error(), c.error);
        EXPECT_EQ(result.exists(), !c.error.has_value());
        EXPECT_EQ(result.stringValue(), c.stringValue);
    }
}

TEST(JsonLookup, TopLevelArray)
{
    const JSON doc = parsed(R"([{"a": 1}, "two"])");
    EXPECT_EQ(doc["format"].error(), JSONError::wrongType);
    EXPECT_EQ(doc[0]["a"].intValue(), 1);
    EXPECT_EQ(doc[1].stringValue(), "two");
    EXPECT_EQ(doc[2u].error(), JSONError::indexOutOfBounds);
    EXPECT_EQ(doc[1LL].stringValue(), "two");
}

TEST(JsonLookup, UnsupportedValuePassesItsErrorOn)
{
    const JSON unknown = JSON::unsupported();
    EXPECT_EQ(unknown.type(), JSONType::unknown);
    EXPECT_EQ(unknown.error(), JSONError::unsupportedType);
    EXPECT_EQ(unknown["a"].error(), JSONError::unsupportedType);
    EXPECT_EQ(unknown[0].error(), JSONError::unsupportedType);

    // Held inside a container, it is found as itself and still carries its error.
    const JSON holder = JSON::array({1, JSON::unsupported()});
    EXPECT_EQ(holder[1].type(), JSONType::unknown);
    EXPECT_EQ(holder[1].error(), JSONError::unsupportedType);
    EXPECT_EQ((holder[{1, "x"}].error()), JSONError::unsupportedType);
}

TEST(JsonLookup, DuplicateKeysKeepOrderAndLookupFindsTheLast)
{
    const JSON doc = parsed(R"({"a": 1, "b": 2, "a": 3})");
    EXPECT_EQ(doc["a"].intValue(), 3);
    EXPECT_EQ(doc.count(), 3u);
    std::vector<std::string> keys;
    for (const auto& [key, value] : doc) {
        keys.push_back(key);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "a"}));
}

// "k7" and the like, built without `"k" + std::to_string(i)`, which GCC 12 misreads at -O3.
std::string numbered(std::string_view prefix, int i)
{
    std::string name(prefix);
    name += std::to_string(i);
    return name;
}

TEST(JsonLookup, LargeDictionaryLookupsFindEveryKeyAndTheLastDuplicate)
{
    std::string text = "{";
    for (int i = 0; i < 200; ++i) {
        text += '"';
        text += numbered("k", i);
        text += "\": ";
        text += std::to_string(i);
        text += ',';
    }
    text += R"("k7": "last"})";
    const JSON doc = parsed(text);
    for (int i = 0; i < 200; ++i) {
        if (i != 7) {
            EXPECT_EQ(doc[numbered("k", i)].intValue(), i);
        }
    }
    EXPECT_EQ(doc["k7"].stringValue(), "last");
    EXPECT_EQ(doc["k200"].error(), JSONError::notExist);
    EXPECT_EQ(doc[""].error(), JSONError::notExist);

    // The same holds for a large dictionary made in code and then extended.
    std::vector<std::pair<std::string, JSON>> members;
    for (int i = 0; i < 40; ++i) {
        members.emplace_back(numbered("m", i), JSON(i));
    }
    JSON made(members);
    EXPECT_EQ(made["m39"].intValue(), 39);
    EXPECT_TRUE(made.set("m0", JSON("zero")));
    EXPECT_TRUE(made.set("new", JSON(1)));
    EXPECT_EQ(made["m0"].stringValue(), "zero");
    EXPECT_EQ(made["new"].intValue(), 1);
    EXPECT_EQ(made["m20"].intValue(), 20);
}

TEST(JsonLookup, CountAndIteration)
{
    const JSON doc = parsed(R"({"list": [10, 20, 30], "empty": {}, "text": "abc"})");
    EXPECT_EQ(doc["empty"].count(), 0u);
    EXPECT_TRUE(doc["empty"].isEmpty());
    EXPECT_EQ(doc["text"].count(), 0u);
    EXPECT_EQ(doc["list"].count(), 3u);

    std::vector<std::pair<std::string, std::int64_t>> seen;
    for (const auto& [key, value] : doc["list"]) {
        seen.emplace_back(key, value.intValue());
    }
    EXPECT_EQ(seen,
              (std::vector<std::pair<std::string, std::int64_t>>{{"0", 10}, {"1", 20}, {"2", 30}}));

    std::vector<std::string> keys;
    for (const auto& member : doc) {
        keys.push_back(member.first);
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"list", "empty", "text"}));

    int visited = 0;
    for ([[maybe_unused]] const auto& member : doc["text"]) {
        ++visited;
    }
    for ([[maybe_unused]] const auto& member : JSON::null()) {
        ++visited;
    }
    EXPECT_EQ(visited, 0);
}

TEST(JsonLookup, ValuesOutliveTheirDocument)
{
    JSON codec;
    JSON streams;
    {
        const JSON doc = parsed(kProbe);
        codec = doc["streams"][0]["codec_type"];
        streams = doc["streams"];
    }
    EXPECT_EQ(codec.stringValue(), "video");
    EXPECT_EQ(streams[1]["index"].intValue(), 1);
}

TEST(JsonLookup, LookupsOnTemporariesAndMovedFromValues)
{
    JSON doc = parsed(kProbe);
    JSON moved = std::move(doc);
    // A value moved from is the null value, still safe to use.
    EXPECT_EQ(doc.type(), JSONType::null);
    EXPECT_EQ(doc["streams"].error(), JSONError::wrongType);
    EXPECT_EQ(moved["streams"][0]["codec_type"].stringValue(), "video");

    JSON source = moved;
    const JSON taken = std::move(source)["streams"][1]["index"];
    EXPECT_EQ(taken.intValue(), 1);
    EXPECT_EQ(source.type(), JSONType::null);
    EXPECT_EQ(moved["streams"].count(), 2u);
    EXPECT_EQ((JSON(moved)[{"format", "tags", "title"}].stringValue()), "T");
    EXPECT_EQ((JSON(moved)[{"format", "nothing", 0}].error()), JSONError::notExist);

    JSON self = moved;
    self = std::move(self);
    EXPECT_EQ(self["streams"].count(), 2u);
}

TEST(JsonLookup, ArrayAndDictionaryValues)
{
    const JSON doc = parsed(R"({"a": [1, "x"], "d": {"k": true}})");
    const auto elements = doc["a"].arrayValue();
    ASSERT_EQ(elements.size(), 2u);
    EXPECT_EQ(elements[1].stringValue(), "x");
    EXPECT_FALSE(doc["d"].arrayOptional().has_value());
    EXPECT_TRUE(doc["d"].arrayValue().empty());
    const auto members = doc["d"].dictionaryValue();
    ASSERT_EQ(members.size(), 1u);
    EXPECT_EQ(members[0].first, "k");
    EXPECT_EQ(members[0].second, JSON(true));
    EXPECT_FALSE(doc["a"].dictionaryOptional().has_value());
}

}  // namespace
}  // namespace vellinor
