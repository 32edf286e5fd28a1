#include "json/json.h"

#include <algorithm>
#include <array>
#include <string>

#include <simdjson.h>

#include "base/ascii.h"
#include "base/diagnostics.h"
#include "json/json_node.h"

namespace vellinor {

using detail::JsonKind;
using detail::JsonNode;

// ---- Errors ----

std::string_view errorDescription(JSONError error)
{
    switch (error) {
        case JSONError::unsupportedType:
            return "It is an unsupported type.";
        case JSONError::indexOutOfBounds:
            return "Array Index is out of bounds.";
        case JSONError::elementTooDeep:
            return "Element too deep. Increase maxObjectDepth and make sure there is no reference "
                   "loop.";
        case JSONError::wrongType:
            return "Couldn't merge, because the JSONs differ in type on top level.";
        case JSONError::notExist:
            return "Dictionary key does not exist.";
        case JSONError::invalidJSON:
            return "JSON is invalid.";
    }
    return {};
}

int errorCode(JSONError error)
{
    return static_cast<int>(error);
}

std::optional<JSONError> jsonErrorFromCode(int code)
{
    static constexpr std::array kAll = {
        JSONError::unsupportedType, JSONError::indexOutOfBounds, JSONError::elementTooDeep,
        JSONError::wrongType,       JSONError::notExist,         JSONError::invalidJSON,
    };
    for (JSONError error : kAll) {
        if (errorCode(error) == code) {
            return error;
        }
    }
    return std::nullopt;
}

std::string mendUtf8(std::string_view bytes)
{
    if (simdjson::validate_utf8(bytes.data(), bytes.size()))
        return std::string(bytes);
    return detail::repairUtf8(bytes);
}

// ---- Parsing ----

Expected<JSON> JSON::parse(std::string_view bytes, std::size_t maxValues)
{
    return detail::parseDocument(bytes, maxValues);
}

JSON JSON::fromBytes(std::string_view bytes)
{
    auto parsed = parse(bytes);
    return parsed ? std::move(*parsed) : JSON();
}

// ---- Lookup ----

namespace {

// A member or element wrapped as a value of its own: only a value of no supported kind carries
// an error.
std::optional<JSONError> errorOfChild(const JsonNode& child)
{
    return child.kind == JsonKind::unknown ? std::optional(JSONError::unsupportedType)
                                           : std::nullopt;
}

// A miss is the null value carrying `error`; found nodes are shared or handed on by the callers.
struct Found {
    const JsonNode* node;
    JSONError error;
};

Found findIndex(const JsonNode& node, const std::optional<JSONError>& ownError, std::uint64_t index,
                bool negative)
{
    if (node.kind != JsonKind::array) {
        return {nullptr, ownError.value_or(JSONError::wrongType)};
    }
    if (negative || index >= node.size) {
        return {nullptr, JSONError::indexOutOfBounds};
    }
    return {&node.children[index], JSONError::notExist};
}

Found findKey(const JsonNode& node, const std::optional<JSONError>& ownError, std::string_view key)
{
    if (node.kind != JsonKind::dictionary) {
        return {nullptr, ownError.value_or(JSONError::wrongType)};
    }
    return {detail::findMember(node, key), JSONError::notExist};
}

}  // namespace

JSON::JSON(JSON&& other) noexcept
    : m_node(std::exchange(other.m_node, detail::unownedHandle(detail::nullNode())))
    , m_error(std::exchange(other.m_error, std::nullopt))
{
}

JSON& JSON::operator=(JSON&& other) noexcept
{
    if (this != &other) {
        m_node = std::exchange(other.m_node, detail::unownedHandle(detail::nullNode()));
        m_error = std::exchange(other.m_error, std::nullopt);
    }
    return *this;
}

JSON JSON::miss(JSONError error)
{
    return JSON(detail::unownedHandle(detail::nullNode()), error);
}

JSON JSON::share(const JsonNode* found) const
{
    return JSON(std::shared_ptr<const JsonNode>(m_node, found), errorOfChild(*found));
}

JSON JSON::handOn(const JsonNode* found)
{
    std::shared_ptr<const JsonNode> owner =
        std::exchange(m_node, detail::unownedHandle(detail::nullNode()));
    m_error.reset();
    return JSON(std::shared_ptr<const JsonNode>(std::move(owner), found), errorOfChild(*found));
}

JSON JSON::operator[](std::int64_t index) const&
{
    const Found found = findIndex(*m_node, m_error, static_cast<std::uint64_t>(index), index < 0);
    return found.node != nullptr ? share(found.node) : miss(found.error);
}

JSON JSON::operator[](std::int64_t index) &&
{
    const Found found = findIndex(*m_node, m_error, static_cast<std::uint64_t>(index), index < 0);
    return found.node != nullptr ? handOn(found.node) : miss(found.error);
}

JSON JSON::operator[](std::size_t index) const&
{
    const Found found = findIndex(*m_node, m_error, index, false);
    return found.node != nullptr ? share(found.node) : miss(found.error);
}

JSON JSON::operator[](std::size_t index) &&
{
    const Found found = findIndex(*m_node, m_error, index, false);
    return found.node != nullptr ? handOn(found.node) : miss(found.error);
}

JSON JSON::operator[](std::string_view key) const&
{
    const Found found = findKey(*m_node, m_error, key);
    return found.node != nullptr ? share(found.node) : miss(found.error);
}

JSON JSON::operator[](std::string_view key) &&
{
    const Found found = findKey(*m_node, m_error, key);
    return found.node != nullptr ? handOn(found.node) : miss(found.error);
}

JSON JSON::operator[](std::initializer_list<JSONKey> path) const&
{
    return at(std::span<const JSONKey>(path.begin(), path.size()));
}

JSON JSON::operator[](std::initializer_list<JSONKey> path) &&
{
    return std::move(*this).at(std::span<const JSONKey>(path.begin(), path.size()));
}

namespace {

// Walks `path` on plain nodes; only its end becomes a value.
Found walkPath(const JsonNode& start, std::optional<JSONError> error, std::span<const JSONKey> path)
{
    const JsonNode* node = &start;
    for (const JSONKey& key : path) {
        const Found found =
            key.isIndex()
                ? findIndex(*node, error, static_cast<std::uint64_t>(key.index()), key.index() < 0)
                : findKey(*node, error, key.key());
        if (found.node == nullptr) {
            return found;
        }
        node = found.node;
        error = errorOfChild(*node);
    }
    return {node, JSONError::notExist};
}

}  // namespace

JSON JSON::at(std::span<const JSONKey> path) const&
{
    if (path.empty()) {
        return *this;
    }
    const Found found = walkPath(*m_node, m_error, path);
    return found.node != nullptr ? share(found.node) : miss(found.error);
}

JSON JSON::at(std::span<const JSONKey> path) &&
{
    if (path.empty()) {
        return std::move(*this);
    }
    const Found found = walkPath(*m_node, m_error, path);
    return found.node != nullptr ? handOn(found.node) : miss(found.error);
}

// ---- Accessors ----

JSONType JSON::type() const
{
    return detail::typeOf(*m_node);
}

std::string JSON::stringValue() const
{
    const JsonNode& node = *m_node;
    switch (node.kind) {
        case JsonKind::string:
            return std::string(node.textView());
        case JsonKind::integer:
        case JsonKind::unsignedInteger:
        case JsonKind::real:
            return detail::numberOf(node).toString();
        case JsonKind::boolean:
            return node.boolean ? "true" : "false";
        case JsonKind::null:
        case JsonKind::array:
        case JsonKind::dictionary:
        case JsonKind::unknown:
            break;
    }
    return {};
}

JSONNumber JSON::numberValue() const
{
    return detail::numberOf(*m_node);
}

bool JSON::boolValue() const
{
    const JsonNode& node = *m_node;
    switch (node.kind) {
        case JsonKind::boolean:
            return node.boolean;
        case JsonKind::integer:
            return node.integer != 0;
        case JsonKind::unsignedInteger:
            return node.unsignedInteger != 0;
        case JsonKind::real:
            return node.real != 0.0;
        case JsonKind::string:
            for (std::string_view yes : {"true", "y", "t", "yes", "1"}) {
                if (equalsIgnoringAsciiCase(node.textView(), yes)) {
                    return true;
                }
            }
            return false;
        case JsonKind::null:
        case JsonKind::array:
        case JsonKind::dictionary:
        case JsonKind::unknown:
            break;
    }
    return false;
}

std::size_t JSON::count() const
{
    return m_node->isContainer() ? m_node->size : 0;
}

std::optional<std::string> JSON::string() const
{
    if (m_node->kind != JsonKind::string) {
        return std::nullopt;
    }
    return std::string(m_node->textView());
}

std::optional<bool> JSON::boolean() const
{
    if (m_node->kind != JsonKind::boolean) {
        return std::nullopt;
    }
    return m_node->boolean;
}

std::optional<JSONNumber> JSON::number() const
{
    if (!m_node->isNumber() && m_node->kind != JsonKind::boolean) {
        return std::nullopt;
    }
    return detail::numberOf(*m_node);
}

std::optional<double> JSON::doubleOptional() const
{
    auto value = number();
    return value ? std::optional(value->toDouble()) : std::nullopt;
}

std::optional<std::int64_t> JSON::intOptional() const
{
    auto value = number();
    return value ? std::optional(value->toInt64()) : std::nullopt;
}

std::optional<std::vector<JSON>> JSON::arrayOptional() const
{
    if (m_node->kind != JsonKind::array) {
        return std::nullopt;
    }
    std::vector<JSON> elements;
    elements.reserve(m_node->size);
    for (const JsonNode& child : m_node->members()) {
        elements.push_back(
            JSON(std::shared_ptr<const JsonNode>(m_node, &child), errorOfChild(child)));
    }
    return elements;
}

std::vector<JSON> JSON::arrayValue() const
{
    return arrayOptional().value_or(std::vector<JSON>());
}

std::optional<std::vector<std::pair<std::string, JSON>>> JSON::dictionaryOptional() const
{
    if (m_node->kind != JsonKind::dictionary) {
        return std::nullopt;
    }
    std::vector<std::pair<std::string, JSON>> members;
    members.reserve(m_node->size);
    for (const JsonNode& child : m_node->members()) {
        members.emplace_back(
            std::string(child.key),
            JSON(std::shared_ptr<const JsonNode>(m_node, &child), errorOfChild(child)));
    }
    return members;
}

std::vector<std::pair<std::string, JSON>> JSON::dictionaryValue() const
{
    return dictionaryOptional().value_or(std::vector<std::pair<std::string, JSON>>());
}

std::string JSON::description() const
{
    return rawString().value_or("unknown");
}

// ---- Text output ----

namespace {

bool isUtf8Name(std::string_view encoding)
{
    return equalsIgnoringAsciiCase(encoding, "utf-8") || equalsIgnoringAsciiCase(encoding, "utf8");
}

// The text of a value, absent, or a failure that the caller reports.
struct Rendering {
    std::optional<std::string> text;
    std::optional<JSONError> failure;
};

Rendering render(const JSON& value, const JsonNode& node, const WritingOptions& options)
{
    const long long depthLimit = options.maxObjextDepth.value_or(10);
    if (depthLimit < 1) {
        return {std::nullopt, JSONError::invalidJSON};
    }
    switch (node.kind) {
        case JsonKind::string:
        case JsonKind::integer:
        case JsonKind::unsignedInteger:
        case JsonKind::real:
        case JsonKind::boolean:
            return {value.stringValue(), std::nullopt};
        case JsonKind::null:
            return {"null", std::nullopt};
        case JsonKind::unknown:
            return {};
        case JsonKind::array:
        case JsonKind::dictionary:
            break;
    }
    if (options.castNilToNSNull.value_or(false)) {
        return {detail::writeNullCast(node, depthLimit), std::nullopt};
    }
    const unsigned bits = options.jsonSerialization.value_or(kPrettyPrinted);
    auto text = detail::writeJson(node, (bits & kPrettyPrinted) != 0);
    if (!text) {
        return {std::nullopt, JSONError::invalidJSON};
    }
    // Only UTF-8 is written; texts made in code may hold bytes that do not decode.
    const std::string_view encoding =
        options.encoding ? std::string_view(*options.encoding) : std::string_view("utf-8");
    if (!isUtf8Name(encoding) || !simdjson::validate_utf8(text->data(), text->size())) {
        return {};
    }
    return {std::move(text), std::nullopt};
}

}  // namespace

std::optional<std::string> JSON::rawString(std::string_view encoding, unsigned options) const
{
    WritingOptions writing;
    writing.jsonSerialization = options;
    writing.encoding = std::string(encoding);
    return rawString(writing);
}

std::optional<std::string> JSON::rawString(const WritingOptions& options) const
{
    Rendering rendering = render(*this, *m_node, options);
    if (rendering.failure) {
        std::string line = "Could not serialize object to JSON because: ";
        line += errorDescription(*rendering.failure);
        diagnostics::emitLine(line);
        return std::nullopt;
    }
    return std::move(rendering.text);
}

// ---- Iteration ----

JSON::const_iterator::value_type JSON::const_iterator::operator*() const
{
    const auto& handle = m_owner->m_node;
    const JsonNode& node = *handle;
    if (!node.isContainer() || m_position >= node.size) {
        return {std::string(), JSON()};
    }
    const JsonNode& child = node.children[m_position];
    JSON value(std::shared_ptr<const JsonNode>(handle, &child), errorOfChild(child));
    if (node.kind == JsonKind::array) {
        return {std::to_string(m_position), std::move(value)};
    }
    return {std::string(child.key), std::move(value)};
}

}  // namespace vellinor
