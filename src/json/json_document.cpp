#include <algorithm>
#include <cstring>
#include <numeric>

#include "json/json_node.h"

namespace vellinor::detail {

namespace {

// While one document releases the documents it shares, documents released by that get their
// own shared documents appended here instead of releasing them recursively, so a long chain of
// nested constructed values is freed in a loop rather than on the stack.
thread_local std::vector<std::shared_ptr<const JsonNode>>* t_releaseQueue = nullptr;

}  // namespace

JsonDocument::JsonDocument(std::size_t arenaHint) : m_arena(std::max<std::size_t>(arenaHint, 256))
{
}

JsonDocument::~JsonDocument()
{
    if (m_shared.empty()) {
        return;
    }
    if (t_releaseQueue != nullptr) {
        for (auto& shared : m_shared) {
            t_releaseQueue->push_back(std::move(shared));
        }
        return;
    }
    std::vector<std::shared_ptr<const JsonNode>> queue = std::move(m_shared);
    t_releaseQueue = &queue;
    while (!queue.empty()) {
        auto last = std::move(queue.back());
        queue.pop_back();
        last.reset();
    }
    t_releaseQueue = nullptr;
}

JsonNode* JsonDocument::allocateNodes(std::size_t count)
{
    if (count == 0) {
        return nullptr;
    }
    void* memory = m_arena.allocate(count * sizeof(JsonNode), alignof(JsonNode));
    auto* nodes = static_cast<JsonNode*>(memory);
    std::uninitialized_default_construct_n(nodes, count);
    return nodes;
}

std::uint32_t* JsonDocument::allocateIndices(std::size_t count)
{
    void* memory = m_arena.allocate(count * sizeof(std::uint32_t), alignof(std::uint32_t));
    return static_cast<std::uint32_t*>(memory);
}

std::string_view JsonDocument::storeText(std::string_view text)
{
    if (text.empty()) {
        return {};
    }
    auto* memory = static_cast<char*>(m_arena.allocate(text.size(), 1));
    std::memcpy(memory, text.data(), text.size());
    return {memory, text.size()};
}

void JsonDocument::keepAlive(const std::shared_ptr<const JsonNode>& node)
{
    // Static nodes have no owner and need nothing.
    if (node.use_count() > 0) {
        m_shared.push_back(node);
    }
}

void JsonDocument::compactKeepAlive()
{
    if (m_shared.size() < 2) {
        return;
    }
    std::owner_less<> less;
    std::sort(m_shared.begin(), m_shared.end(), less);
    auto sameOwner = [&](const auto& a, const auto& b) { return !less(a, b) && !less(b, a); };
    m_shared.erase(std::unique(m_shared.begin(), m_shared.end(), sameOwner), m_shared.end());
}

std::shared_ptr<const JsonNode> documentHandle(std::shared_ptr<JsonDocument> document)
{
    const JsonNode* root = &document->root;
    return std::shared_ptr<const JsonNode>(std::move(document), root);
}

JSONType typeOf(const JsonNode& node)
{
    switch (node.kind) {
        case JsonKind::null:
            return JSONType::null;
        case JsonKind::boolean:
            return JSONType::boolean;
        case JsonKind::integer:
        case JsonKind::unsignedInteger:
        case JsonKind::real:
            return JSONType::number;
        case JsonKind::string:
            return JSONType::string;
        case JsonKind::array:
            return JSONType::array;
        case JsonKind::dictionary:
            return JSONType::dictionary;
        case JsonKind::unknown:
            break;
    }
    return JSONType::unknown;
}

const JsonNode* findIndexedMember(const JsonNode& dictionary, std::string_view key)
{
    // Equal keys are ordered by position, so the last one sits just before the upper bound.
    const JsonNode* members = dictionary.children;
    const std::uint32_t* first = dictionary.lookupOrder;
    const std::uint32_t* last = first + dictionary.size;
    const std::uint32_t* bound = std::upper_bound(
        first, last, key, [members](std::string_view wanted, std::uint32_t position) {
            return wanted < members[position].key;
        });
    if (bound != first && members[*(bound - 1)].key == key) {
        return &members[*(bound - 1)];
    }
    return nullptr;
}

void indexDictionary(JsonNode& dictionary, JsonDocument& document)
{
    dictionary.lookupOrder = nullptr;
    if (dictionary.kind != JsonKind::dictionary || dictionary.size <= kIndexedDictionarySize) {
        return;
    }
    std::uint32_t* order = document.allocateIndices(dictionary.size);
    std::iota(order, order + dictionary.size, std::uint32_t{0});
    const JsonNode* members = dictionary.children;
    std::sort(order, order + dictionary.size, [members](std::uint32_t a, std::uint32_t b) {
        const int byKey = members[a].key.compare(members[b].key);
        return byKey != 0 ? byKey < 0 : a < b;
    });
    dictionary.lookupOrder = order;
}

JsonNode adoptNode(const JsonNode& source, const std::shared_ptr<const JsonNode>& owner,
                   JsonDocument& document)
{
    JsonNode copy = source;
    copy.key = {};
    if (copy.kind == JsonKind::string) {
        copy.text = document.storeText(source.textView()).data();
    } else if (copy.isContainer() && copy.size > 0) {
        document.keepAlive(owner);
    }
    return copy;
}

}  // namespace vellinor::detail
