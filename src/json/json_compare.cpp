#include <algorithm>

#include "json/json_node.h"

namespace vellinor {

namespace detail {

namespace {

// The members a dictionary shows through lookups: the last of each key, sorted by key.
std::vector<const JsonNode*> visibleMembers(const JsonNode& dictionary)
{
    std::vector<const JsonNode*> members;
    members.reserve(dictionary.size);
    for (const JsonNode& member : dictionary.members()) {
        members.push_back(&member);
    }
    // Stable, so equal keys stay in document order and the last one is the visible one.
    std::stable_sort(members.begin(), members.end(),
                     [](const JsonNode* a, const JsonNode* b) { return a->key < b->key; });
    std::vector<const JsonNode*> visible;
    visible.reserve(members.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (i + 1 < members.size() && members[i + 1]->key == members[i]->key) {
            continue;
        }
        visible.push_back(members[i]);
    }
    return visible;
}

using NodePairs = std::vector<std::pair<const JsonNode*, const JsonNode*>>;

// Compares one pair and queues the pairs of children that still need comparing.
bool pairEqual(const JsonNode& a, const JsonNode& b, NodePairs& pending)
{
    const JSONType type = typeOf(a);
    if (type != typeOf(b)) {
        return false;
    }
    switch (type) {
        case JSONType::number:
            return compareNumbers(numberOf(a), numberOf(b)) == 0;
        case JSONType::string:
            return a.textView() == b.textView();
        case JSONType::boolean:
            return a.boolean == b.boolean;
        case JSONType::null:
            return true;
        case JSONType::unknown:
            return false;
        case JSONType::array:
        case JSONType::dictionary:
            break;
    }
    if (a.size != b.size) {
        // Duplicate keys can make dictionaries of different sizes equal.
        if (type == JSONType::array) {
            return false;
        }
    } else if (a.children == b.children) {
        return true;  // the same shared subtree
    }
    if (type == JSONType::array) {
        for (std::size_t i = 0; i < a.size; ++i) {
            pending.emplace_back(&a.children[i], &b.children[i]);
        }
        return true;
    }
    const auto left = visibleMembers(a);
    const auto right = visibleMembers(b);
    if (left.size() != right.size()) {
        return false;
    }
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (left[i]->key != right[i]->key) {
            return false;
        }
        pending.emplace_back(left[i], right[i]);
    }
    return true;
}

}  // namespace

bool nodesEqual(const JsonNode& a, const JsonNode& b)
{
    NodePairs pending;
    pending.emplace_back(&a, &b);
    while (!pending.empty()) {
        const auto [left, right] = pending.back();
        pending.pop_back();
        if (!pairEqual(*left, *right, pending)) {
            return false;
        }
    }
    return true;
}

}  // namespace detail

using detail::JsonAccess;

bool operator==(const JSON& a, const JSON& b)
{
    return detail::nodesEqual(JsonAccess::node(a), JsonAccess::node(b));
}

namespace {

// -1, 0 or 1 for the pairs that have an order (number/number, string/string); nullopt for the
// others and for NaN.
std::optional<int> orderOf(const JSON& a, const JSON& b)
{
    const auto& left = JsonAccess::node(a);
    const auto& right = JsonAccess::node(b);
    const JSONType type = detail::typeOf(left);
    if (type != detail::typeOf(right)) {
        return std::nullopt;
    }
    if (type == JSONType::number) {
        return detail::compareNumbers(detail::numberOf(left), detail::numberOf(right));
    }
    if (type == JSONType::string) {
        const int order = left.textView().compare(right.textView());
        return order < 0 ? -1 : (order > 0 ? 1 : 0);
    }
    return std::nullopt;
}

bool isOrdered(const JSON& a, const JSON& b)
{
    const JSONType type = a.type();
    return type == b.type() && (type == JSONType::number || type == JSONType::string);
}

}  // namespace

bool operator<(const JSON& a, const JSON& b)
{
    return orderOf(a, b) == -1;
}

bool operator>(const JSON& a, const JSON& b)
{
    return orderOf(a, b) == 1;
}

bool operator<=(const JSON& a, const JSON& b)
{
    if (isOrdered(a, b)) {
        const auto order = orderOf(a, b);
        return order == -1 || order == 0;
    }
    return a == b;
}

bool operator>=(const JSON& a, const JSON& b)
{
    if (isOrdered(a, b)) {
        const auto order = orderOf(a, b);
        return order == 1 || order == 0;
    }
    return a == b;
}

}  // namespace vellinor
