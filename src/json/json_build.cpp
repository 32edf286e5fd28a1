// Construction of values, the setters (copy on write) and merging.

#include <algorithm>
#include <limits>
#include <unordered_map>

#include "json/json_node.h"

namespace vellinor {

using detail::JsonAccess;
using detail::JsonDocument;
using detail::JsonKind;
using detail::JsonNode;

namespace {

std::shared_ptr<const JsonNode> numberHandle(JsonKind kind, std::int64_t integer,
                                             std::uint64_t unsignedInteger, double real)
{
    auto holder = std::make_shared<JsonNode>();
    holder->kind = kind;
    if (kind == JsonKind::integer) {
        holder->integer = integer;
    } else if (kind == JsonKind::unsignedInteger) {
        holder->unsignedInteger = unsignedInteger;
    } else {
        holder->real = real;
    }
    return holder;
}

std::shared_ptr<const JsonNode> integerHandle(long long value)
{
    return numberHandle(JsonKind::integer, static_cast<std::int64_t>(value), 0, 0.0);
}

std::shared_ptr<const JsonNode> unsignedHandle(unsigned long long value)
{
    if (value <= static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max())) {
        return integerHandle(static_cast<long long>(value));
    }
    return numberHandle(JsonKind::unsignedInteger, 0, static_cast<std::uint64_t>(value), 0.0);
}

// A text value: the node and its text in one allocation.
struct TextHolder {
    JsonNode node;
    std::string text;
};

std::shared_ptr<const JsonNode> textHandle(std::string text)
{
    auto holder = std::make_shared<TextHolder>();
    holder->text = std::move(text);
    holder->node.kind = JsonKind::string;
    holder->node.text = holder->text.data();
    holder->node.size = holder->text.size();
    const JsonNode* node = &holder->node;
    return std::shared_ptr<const JsonNode>(std::move(holder), node);
}

JSON finish(std::shared_ptr<JsonDocument> document)
{
    document->compactKeepAlive();
    return JsonAccess::make(detail::documentHandle(std::move(document)), std::nullopt);
}

// A copy of `container` (its children shared, except the one at `position`, which becomes
// `child`; position == size appends). Its children block is new, in `document`.
JsonNode withChild(const JsonNode& container, std::size_t position, const JsonNode& child,
                   JsonDocument& document)
{
    JsonNode copy = container;
    const bool appending = position == container.size;
    copy.size = container.size + (appending ? 1 : 0);
    JsonNode* children = document.allocateNodes(copy.size);
    std::copy_n(container.children, container.size, children);
    children[position] = child;
    copy.children = children;
    if (appending) {
        detail::indexDictionary(copy, document);
    }
    // Replacing keeps every key in place, so a lookup order stays valid.
    return copy;
}

}  // namespace

JSON::JSON() : m_node(detail::unownedHandle(detail::nullNode())) {}
JSON::JSON(std::nullptr_t) : JSON() {}
JSON::JSON(bool value) : m_node(detail::unownedHandle(detail::boolNode(value))) {}
JSON::JSON(int value) : m_node(integerHandle(value)) {}
JSON::JSON(long value) : m_node(integerHandle(value)) {}
JSON::JSON(long long value) : m_node(integerHandle(value)) {}
JSON::JSON(unsigned value) : m_node(unsignedHandle(value)) {}
JSON::JSON(unsigned long value) : m_node(unsignedHandle(value)) {}
JSON::JSON(unsigned long long value) : m_node(unsignedHandle(value)) {}
JSON::JSON(double value) : m_node(numberHandle(JsonKind::real, 0, 0, value)) {}
JSON::JSON(const char* text)
    : m_node(text == nullptr ? detail::unownedHandle(detail::nullNode()) : textHandle(text))
{
}
JSON::JSON(std::string text) : m_node(textHandle(std::move(text))) {}
JSON::JSON(std::string_view text) : m_node(textHandle(std::string(text))) {}

JSON::JSON(std::vector<JSON> elements)
{
    auto document = std::make_shared<JsonDocument>(elements.size() * sizeof(JsonNode));
    JsonNode& root = document->root;
    root.kind = JsonKind::array;
    root.size = elements.size();
    JsonNode* children = document->allocateNodes(elements.size());
    root.children = children;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const auto& handle = JsonAccess::handle(elements[i]);
        children[i] = detail::adoptNode(*handle, handle, *document);
    }
    *this = finish(std::move(document));
}

JSON::JSON(std::vector<std::pair<std::string, JSON>> members)
{
    auto document = std::make_shared<JsonDocument>(members.size() * sizeof(JsonNode) * 2);
    JsonNode& root = document->root;
    root.kind = JsonKind::dictionary;
    root.size = members.size();
    JsonNode* children = document->allocateNodes(members.size());
    root.children = children;
    for (std::size_t i = 0; i < members.size(); ++i) {
        const auto& handle = JsonAccess::handle(members[i].second);
        children[i] = detail::adoptNode(*handle, handle, *document);
        children[i].key = document->storeText(members[i].first);
    }
    detail::indexDictionary(root, *document);
    *this = finish(std::move(document));
}

JSON JSON::array(std::initializer_list<JSON> elements)
{
    return JSON(std::vector<JSON>(elements));
}

JSON JSON::dictionary(std::initializer_list<std::pair<std::string, JSON>> members)
{
    return JSON(std::vector<std::pair<std::string, JSON>>(members));
}

JSON JSON::null()
{
    return JSON();
}

JSON JSON::unsupported()
{
    return JSON(detail::unownedHandle(detail::unknownNode()), JSONError::unsupportedType);
}

bool JSON::set(std::string_view key, JSON value)
{
    const JSONKey step(key);
    return set(std::span<const JSONKey>(&step, 1), std::move(value));
}

bool JSON::set(std::int64_t index, JSON value)
{
    const JSONKey step(static_cast<long long>(index));
    return set(std::span<const JSONKey>(&step, 1), std::move(value));
}

bool JSON::set(std::initializer_list<JSONKey> path, JSON value)
{
    return set(std::span<const JSONKey>(path.begin(), path.size()), std::move(value));
}

bool JSON::set(std::span<const JSONKey> path, JSON value)
{
    if (path.empty()) {
        return false;
    }
    // The containers along the path and the child position taken in each.
    std::vector<const JsonNode*> containers;
    std::vector<std::size_t> positions;
    const JsonNode* node = m_node.get();
    for (std::size_t level = 0; level < path.size(); ++level) {
        const JSONKey& step = path[level];
        const bool last = level + 1 == path.size();
        std::size_t position = 0;
        if (step.isIndex() && node->kind == JsonKind::array) {
            if (step.index() < 0 || static_cast<std::uint64_t>(step.index()) >= node->size) {
                return false;
            }
            position = static_cast<std::size_t>(step.index());
        } else if (!step.isIndex() && node->kind == JsonKind::dictionary) {
            const JsonNode* member = detail::findMember(*node, step.key());
            if (member == nullptr && !last) {
                return false;
            }
            position =
                member == nullptr ? node->size : static_cast<std::size_t>(member - node->children);
        } else {
            return false;
        }
        containers.push_back(node);
        positions.push_back(position);
        if (!last) {
            node = &node->children[position];
        }
    }

    auto document = std::make_shared<JsonDocument>();
    document->keepAlive(m_node);
    const auto& valueHandle = JsonAccess::handle(value);
    JsonNode child = detail::adoptNode(*valueHandle, valueHandle, *document);
    for (std::size_t level = path.size(); level > 0; --level) {
        const JsonNode& container = *containers[level - 1];
        const std::size_t position = positions[level - 1];
        if (container.kind == JsonKind::dictionary) {
            child.key = position < container.size ? container.children[position].key
                                                  : document->storeText(path[level - 1].key());
        }
        child = withChild(container, position, child, *document);
    }
    child.key = {};
    document->root = child;
    *this = finish(std::move(document));
    return true;
}

namespace {

// Merges `b` into `a`; both subtrees stay alive through the result's document. nullopt when the
// nesting goes deeper than a parsed document may.
std::optional<JsonNode> mergeNodes(const JsonNode& a, const JsonNode& b, JsonDocument& document,
                                   std::size_t depth)
{
    if (depth > JSON::kMaxParseDepth) {
        return std::nullopt;
    }
    const JSONType type = detail::typeOf(a);
    if (type != detail::typeOf(b)) {
        return b;
    }
    if (type == JSONType::array) {
        JsonNode result = a;
        result.size = a.size + b.size;
        JsonNode* children = document.allocateNodes(result.size);
        std::copy_n(a.children, a.size, children);
        std::copy_n(b.children, b.size, children + a.size);
        result.children = children;
        return result;
    }
    if (type != JSONType::dictionary) {
        return b;
    }
    std::vector<JsonNode> members(a.members().begin(), a.members().end());
    std::unordered_map<std::string_view, std::size_t> lastPosition;
    for (std::size_t i = 0; i < members.size(); ++i) {
        lastPosition[members[i].key] = i;
    }
    for (const JsonNode& incoming : b.members()) {
        auto found = lastPosition.find(incoming.key);
        if (found == lastPosition.end()) {
            lastPosition.emplace(incoming.key, members.size());
            members.push_back(incoming);
            continue;
        }
        JsonNode& existing = members[found->second];
        auto combined = mergeNodes(existing, incoming, document, depth + 1);
        if (!combined) {
            return std::nullopt;
        }
        combined->key = existing.key;
        existing = *combined;
    }
    JsonNode result = a;
    result.size = members.size();
    JsonNode* children = document.allocateNodes(members.size());
    std::copy(members.begin(), members.end(), children);
    result.children = children;
    detail::indexDictionary(result, document);
    return result;
}

}  // namespace

std::optional<JSON> JSON::merged(const JSON& other, JSONError* error) const
{
    auto report = [error](JSONError failure) {
        if (error != nullptr) {
            *error = failure;
        }
        return std::nullopt;
    };
    if (type() != other.type()) {
        return report(JSONError::wrongType);
    }
    auto document = std::make_shared<JsonDocument>();
    document->keepAlive(m_node);
    document->keepAlive(other.m_node);
    auto root = mergeNodes(*m_node, *other.m_node, *document, 1);
    if (!root) {
        return report(JSONError::elementTooDeep);
    }
    root->key = {};
    document->root = *root;
    return finish(std::move(document));
}

std::optional<JSONError> JSON::merge(const JSON& other)
{
    JSONError error = JSONError::wrongType;
    auto result = merged(other, &error);
    if (!result) {
        return error;
    }
    *this = std::move(*result);
    return std::nullopt;
}

}  // namespace vellinor
