#pragma once

// The storage behind JSON values. A document is one arena of plain nodes; a container's children
// sit next to each other in one block, so a lookup by index is a pointer step and a copy of a
// container node (for copy on write) shares its whole subtree.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "json/json.h"

namespace vellinor::detail {

enum class JsonKind : std::uint8_t {
    null,
    boolean,
    integer,
    unsignedInteger,
    real,
    string,
    array,
    dictionary,
    unknown,
};

// Plain data, never destroyed one by one: nodes live in a document's arena (or are static).
struct JsonNode {
    // The member's key when this node is a member of a dictionary; empty otherwise.
    std::string_view key;
    union {
        bool boolean;
        std::int64_t integer;
        std::uint64_t unsignedInteger;
        double real;
        const char* text;
        const JsonNode* children;
    };
    // Length of the text, or number of children.
    std::size_t size = 0;
    // Dictionaries with many members: member positions sorted by key (stable), for lookups.
    const std::uint32_t* lookupOrder = nullptr;
    JsonKind kind = JsonKind::null;

    constexpr JsonNode() : integer(0) {}

    [[nodiscard]] std::string_view textView() const { return {text, size}; }
    [[nodiscard]] std::span<const JsonNode> members() const
    {
        return isContainer() ? std::span<const JsonNode>(children, size)
                             : std::span<const JsonNode>();
    }
    [[nodiscard]] bool isContainer() const
    {
        return kind == JsonKind::array || kind == JsonKind::dictionary;
    }
    [[nodiscard]] bool isNumber() const
    {
        return kind == JsonKind::integer || kind == JsonKind::unsignedInteger ||
               kind == JsonKind::real;
    }
};

// Dictionaries with more members than this get a sorted lookup order.
inline constexpr std::size_t kIndexedDictionarySize = 16;

// Owns the nodes and texts of one parsed document or of one constructed value, plus the
// documents whose nodes it shares.
class JsonDocument {
public:
    explicit JsonDocument(std::size_t arenaHint = 0);
    ~JsonDocument();
    JsonDocument(const JsonDocument&) = delete;
    JsonDocument& operator=(const JsonDocument&) = delete;

    JsonNode root;

    JsonNode* allocateNodes(std::size_t count);
    std::uint32_t* allocateIndices(std::size_t count);
    // Copies `text` into the arena.
    std::string_view storeText(std::string_view text);
    // Keeps alive the document that owns `node` (the nodes below it may be shared).
    void keepAlive(const std::shared_ptr<const JsonNode>& node);
    // Drops duplicate owners gathered by keepAlive.
    void compactKeepAlive();

private:
    std::pmr::monotonic_buffer_resource m_arena;
    std::vector<std::shared_ptr<const JsonNode>> m_shared;
};

// Static nodes shared by every value that needs them (no allocation, no reference count).
constexpr JsonNode makeStaticNode(JsonKind kind, bool truth = false)
{
    JsonNode node;
    node.kind = kind;
    if (kind == JsonKind::boolean) {
        node.boolean = truth;
    }
    return node;
}
inline constinit const JsonNode kNullNode;
inline constinit const JsonNode kUnknownNode = makeStaticNode(JsonKind::unknown);
inline constinit const JsonNode kTrueNode = makeStaticNode(JsonKind::boolean, true);
inline constinit const JsonNode kFalseNode = makeStaticNode(JsonKind::boolean, false);

inline const JsonNode& nullNode()
{
    return kNullNode;
}
inline const JsonNode& unknownNode()
{
    return kUnknownNode;
}
inline const JsonNode& boolNode(bool value)
{
    return value ? kTrueNode : kFalseNode;
}

// A handle without an owner, for the static nodes: copying it counts no references.
inline std::shared_ptr<const JsonNode> unownedHandle(const JsonNode& node)
{
    return std::shared_ptr<const JsonNode>(std::shared_ptr<const JsonNode>(), &node);
}
// A handle to `node` that keeps `document` alive.
std::shared_ptr<const JsonNode> documentHandle(std::shared_ptr<JsonDocument> document);

JSONType typeOf(const JsonNode& node);

// Binary search in a dictionary's lookup order: the last member named `key`, or nullptr.
const JsonNode* findIndexedMember(const JsonNode& dictionary, std::string_view key);

// The last member named `key` of a dictionary, or nullptr. Inline: every lookup step runs it.
inline const JsonNode* findMember(const JsonNode& dictionary, std::string_view key)
{
    if (dictionary.kind != JsonKind::dictionary) {
        return nullptr;
    }
    if (dictionary.lookupOrder != nullptr) {
        return findIndexedMember(dictionary, key);
    }
    // Most keys differ in length or first letter; check those before memcmp.
    for (std::size_t position = dictionary.size; position > 0; --position) {
        const JsonNode& member = dictionary.children[position - 1];
        if (member.key.size() == key.size() &&
            (key.empty() || (member.key.front() == key.front() &&
                             std::memcmp(member.key.data(), key.data(), key.size()) == 0))) {
            return &member;
        }
    }
    return nullptr;
}
// Gives `dictionary` (whose children live in `document`) a lookup order when it is large.
void indexDictionary(JsonNode& dictionary, JsonDocument& document);

// Makes a copy of `source` in `document` to be used as a child: texts are copied, containers
// shared (their owner `owner` is kept alive by `document`).
JsonNode adoptNode(const JsonNode& source, const std::shared_ptr<const JsonNode>& owner,
                   JsonDocument& document);

// Number helpers shared by the accessors, the comparison and the writer.
JSONNumber numberOf(const JsonNode& node);
// -1, 0 or 1; nullopt when either side is NaN (and not both).
std::optional<int> compareNumbers(const JSONNumber& a, const JSONNumber& b);
// Reads a decimal number at the start of `text` (after blanks): sign, digits, one decimal point,
// optional exponent; the longest valid prefix counts. No digits gives integer 0.
JSONNumber readDecimal(std::string_view text);
// Shortest text that reads back to the same double.
std::string shortestReal(double value);

// Bridges the private parts of JSON for the implementation files.
struct JsonAccess {
    static const JsonNode& node(const JSON& value) { return *value.m_node; }
    static const std::shared_ptr<const JsonNode>& handle(const JSON& value) { return value.m_node; }
    static JSON make(std::shared_ptr<const JsonNode> node, std::optional<JSONError> error)
    {
        return JSON(std::move(node), error);
    }
};

// Deep value equality of two node trees, without recursion.
bool nodesEqual(const JsonNode& a, const JsonNode& b);

// The writer's text for a container, or nullopt when it holds something that is not valid JSON
// (a non-finite number or a value of no supported kind).
std::optional<std::string> writeJson(const JsonNode& root, bool pretty);
// The castNilToNSNull form: compact, strings quoted with only `"` and `\` escaped, keys as they
// are. nullopt when a node is deeper than `depthLimit` allows or cannot be written.
std::optional<std::string> writeNullCast(const JsonNode& root, long long depthLimit);

// Builds the tree of a parsed document; see JSON::parse.
Expected<JSON> parseDocument(std::string_view bytes, std::size_t maxValues);
// Replaces each invalid UTF-8 sequence by U+FFFD.
std::string repairUtf8(std::string_view bytes);

}  // namespace vellinor::detail
