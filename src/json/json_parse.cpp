// GCC 12 at -O3 cannot see that simdjson's iterators always hold a document, and warns of a
// null dereference inside the library's inlined code.
#pragma GCC diagnostic ignored "-Wnull-dereference"
#include <simdjson.h>

#include "json/json_node.h"

namespace vellinor::detail {

namespace {

using simdjson::dom::element;
using simdjson::dom::element_type;

// A parser keeps its buffers between documents; one per thread, unless a document is so large
// that keeping its buffers around would waste memory.
constexpr std::size_t kReusedParserLimit = std::size_t{32} << 20;
// simdjson counts nesting slightly differently from us (a scalar inside the deepest container
// may count as a level); the builder applies the real limit.
constexpr std::size_t kParserDepth = JSON::kMaxParseDepth + 2;

simdjson::error_code prepare(simdjson::dom::parser& parser, std::size_t size)
{
    if (parser.max_depth() == kParserDepth && parser.capacity() >= size) {
        return simdjson::SUCCESS;
    }
    return parser.allocate(std::max<std::size_t>(size, 4096), kParserDepth);
}

// Fills the node tree from simdjson's document without recursion: containers wait on a stack
// with their already allocated child blocks.
class TreeBuilder {
public:
    TreeBuilder(JsonDocument& document, std::size_t maxValues)
        : m_document(document), m_valuesLeft(maxValues)
    {
    }

    // Nothing when the tree was built, else the reason.
    std::optional<Failure> build(element root)
    {
        if (!fill(m_document.root, root, 1)) {
            return failure();
        }
        while (!m_pending.empty()) {
            const Pending pending = m_pending.back();
            m_pending.pop_back();
            if (!expand(pending)) {
                return failure();
            }
        }
        return std::nullopt;
    }

private:
    struct Pending {
        element source;
        JsonNode* node;
        std::size_t depth;
    };

    bool expand(const Pending& pending)
    {
        JsonNode* child = const_cast<JsonNode*>(pending.node->children);
        const std::size_t childDepth = pending.depth + 1;
        if (pending.node->kind == JsonKind::array) {
            const simdjson::dom::array elements = pending.source.get_array().value_unsafe();
            for (element value : elements) {
                if (!fill(*child++, value, childDepth)) {
                    return false;
                }
            }
            return true;
        }
        const simdjson::dom::object members = pending.source.get_object().value_unsafe();
        for (auto member : members) {
            child->key = m_document.storeText(member.key);
            if (!fill(*child++, member.value, childDepth)) {
                return false;
            }
        }
        indexDictionary(*pending.node, m_document);
        return true;
    }

    template <typename Container>
    static std::size_t countOf(Container container)
    {
        std::size_t count = container.size();
        if (count == 0xFFFFFF) {  // simdjson saturates the stored count
            count = 0;
            for ([[maybe_unused]] auto item : container) {
                ++count;
            }
        }
        return count;
    }

    // Too many values is a limit of what a document may cost; too deep is a malformed one.
    Failure failure() const
    {
        if (m_tooManyValues)
            return {ErrorKind::tooLarge, std::string(JSON::kTooManyValues)};
        return {ErrorKind::failed, "The document is nested too deeply"};
    }

    bool openContainer(JsonNode& node, element source, std::size_t count, std::size_t depth)
    {
        if (depth > JSON::kMaxParseDepth) {
            return false;
        }
        // Counted before the children's block is taken, so the limit bounds what is allocated.
        if (count > m_valuesLeft) {
            m_tooManyValues = true;
            return false;
        }
        m_valuesLeft -= count;
        node.size = count;
        node.children = m_document.allocateNodes(count);
        if (count > 0) {
            m_pending.push_back({source, &node, depth});
        }
        return true;
    }

    bool fill(JsonNode& node, element source, std::size_t depth)
    {
        switch (source.type()) {
            case element_type::ARRAY:
                node.kind = JsonKind::array;
                return openContainer(node, source, countOf(source.get_array().value_unsafe()),
                                     depth);
            case element_type::OBJECT:
                node.kind = JsonKind::dictionary;
                return openContainer(node, source, countOf(source.get_object().value_unsafe()),
                                     depth);
            case element_type::INT64:
                node.kind = JsonKind::integer;
                node.integer = source.get_int64().value_unsafe();
                return true;
            case element_type::UINT64:
                node.kind = JsonKind::unsignedInteger;
                node.unsignedInteger = source.get_uint64().value_unsafe();
                return true;
            case element_type::DOUBLE:
                node.kind = JsonKind::real;
                node.real = source.get_double().value_unsafe();
                return true;
            case element_type::STRING: {
                const std::string_view text =
                    m_document.storeText(source.get_string().value_unsafe());
                node.kind = JsonKind::string;
                node.text = text.data();
                node.size = text.size();
                return true;
            }
            case element_type::BOOL:
                node.kind = JsonKind::boolean;
                node.boolean = source.get_bool().value_unsafe();
                return true;
            case element_type::NULL_VALUE:
                node.kind = JsonKind::null;
                return true;
        }
        return false;
    }

    JsonDocument& m_document;
    std::vector<Pending> m_pending;
    std::size_t m_valuesLeft;
    bool m_tooManyValues = false;
};

Unexpected fail(std::string_view reason)
{
    return Unexpected(std::string(reason));
}

Expected<JSON> parseWith(simdjson::dom::parser& parser, std::string_view bytes,
                         std::size_t maxValues)
{
    if (auto error = prepare(parser, bytes.size())) {
        return fail(simdjson::error_message(error));
    }
    auto parsed = parser.parse(bytes.data(), bytes.size());
    std::string repaired;
    if (parsed.error() == simdjson::UTF8_ERROR) {
        // ffprobe passes tag bytes through unchanged, so a file with Latin-1 tags gives output
        // that is not UTF-8. Such a document is still wanted: mend it and parse again.
        repaired = repairUtf8(bytes);
        parsed = parser.parse(repaired.data(), repaired.size());
    }
    if (parsed.error()) {
        return fail(simdjson::error_message(parsed.error()));
    }
    const element root = parsed.value_unsafe();
    if (root.type() != element_type::ARRAY && root.type() != element_type::OBJECT) {
        return fail("The top level of the document is not an array or an object");
    }
    // Nodes and texts take about twice the input; one block up front avoids most regrowth.
    auto document = std::make_shared<JsonDocument>(bytes.size() * 2);
    TreeBuilder builder(*document, maxValues);
    if (auto why = builder.build(root)) {
        return Unexpected(std::move(*why));
    }
    return JsonAccess::make(documentHandle(std::move(document)), std::nullopt);
}

}  // namespace

Expected<JSON> parseDocument(std::string_view bytes, std::size_t maxValues)
{
    // An empty view may have no data at all, which simdjson would hand to memcpy.
    if (bytes.empty()) {
        return fail(simdjson::error_message(simdjson::EMPTY));
    }
    if (bytes.size() > kReusedParserLimit) {
        simdjson::dom::parser parser;
        return parseWith(parser, bytes, maxValues);
    }
    thread_local simdjson::dom::parser parser;
    return parseWith(parser, bytes, maxValues);
}

std::string repairUtf8(std::string_view bytes)
{
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char lead = byteAt(i);
        if (lead < 0x80) {
            std::size_t run = i + 1;
            while (run < bytes.size() && byteAt(run) < 0x80) {
                ++run;
            }
            out.append(bytes.substr(i, run - i));
            i = run;
            continue;
        }
        // Continuation bytes needed, and the allowed range of the first one (which excludes
        // overlong forms, surrogates and values above U+10FFFF).
        std::size_t needed = 0;
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            needed = 1;
        } else if (lead == 0xE0) {
            needed = 2;
            low = 0xA0;
        } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
            needed = 2;
        } else if (lead == 0xED) {
            needed = 2;
            high = 0x9F;
        } else if (lead == 0xF0) {
            needed = 3;
            low = 0x90;
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            needed = 3;
        } else if (lead == 0xF4) {
            needed = 3;
            high = 0x8F;
        } else {
            out.append(kReplacement);
            ++i;
            continue;
        }
        // Take the longest valid start of the sequence; a broken one becomes one U+FFFD.
        std::size_t end = i + 1;
        std::size_t taken = 0;
        while (taken < needed && end < bytes.size() && byteAt(end) >= low && byteAt(end) <= high) {
            ++end;
            ++taken;
            low = 0x80;
            high = 0xBF;
        }
        if (taken == needed) {
            out.append(bytes.substr(i, end - i));
        } else {
            out.append(kReplacement);
        }
        i = end;
    }
    return out;
}

}  // namespace vellinor::detail
