#pragma once

// What `sniffer --embedded` prints about a media file's embedded pictures and attachments, and
// the limits it reads them under. Header-only and free of the rest of the core, so the sniffer
// program can share it without linking the core.
//
// The listing is a run of fields, each "<key> <byte count>\n<bytes>\n", so names, tags and the
// items' bytes pass through exactly, whatever they hold:
//
//   item       "picture" or "attachment": starts an item; the fields up to the next item are its
//   name       its own file name as stored (Matroska attachments)
//   mimetype   its "mimetype" tag
//   codec      the name of its codec ("mjpeg", "png", "ttf", ...)
//   title      its "title" tag
//   comment    its "comment" tag (ID3 and FLAC keep the picture type there: "Cover (front)")
//   size       its size in bytes, decimal
//   data       its bytes exactly as the file stores them; missing when it was left out
//   leftout    why it was left out: "item-limit" or "file-limit"
//   lost       a file field: a message of the demuxer about an item it could not allocate, one
//              field per message
//   failure    a file field, the only one printed when the file could not be read at all:
//              "not-media", "timeout" or "out-of-memory"
//   end        the listing is complete (empty)

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellinor::embedded_listing {

// Real covers are a few megabytes (a 3000x3000 scan saved as PNG comes to some 25 MB) and the
// largest fonts some 20-30 MB (CJK collections); an item larger than this is left out.
inline constexpr std::uint64_t kMaxItemBytes = std::uint64_t{64} << 20;
// All the items of one file together; the items past it are left out.
inline constexpr std::uint64_t kMaxFileBytes = std::uint64_t{256} << 20;
// The reading child's address space: the items it holds at most, the libraries and the
// demuxer's own copies, with room to spare.
inline constexpr std::uint64_t kReaderMemoryBytes = std::uint64_t{1} << 30;
// The largest single allocation the demuxer may make while reading: a little above the item
// limit, so an item the file claims to be gigabytes is refused before it takes any memory.
inline constexpr std::uint64_t kReaderLargestAllocation = kMaxItemBytes + (std::uint64_t{1} << 20);

inline constexpr std::string_view kPicture = "picture";
inline constexpr std::string_view kAttachment = "attachment";
inline constexpr std::string_view kItemLimit = "item-limit";
inline constexpr std::string_view kFileLimit = "file-limit";
inline constexpr std::string_view kNotMedia = "not-media";
inline constexpr std::string_view kTimeout = "timeout";
inline constexpr std::string_view kOutOfMemory = "out-of-memory";

// The field's header line and its bytes, as they are printed.
inline std::string fieldHeader(std::string_view key, std::size_t length)
{
    std::string header(key);
    header += ' ';
    header += std::to_string(length);
    header += '\n';
    return header;
}

inline std::string field(std::string_view key, std::string_view value)
{
    std::string text = fieldHeader(key, value.size());
    text += value;
    text += '\n';
    return text;
}

// Reads the fields of a listing one by one.
class FieldReader {
public:
    explicit FieldReader(std::string_view text) : m_text(text) {}

    struct Field {
        std::string_view key;
        std::string_view value;
    };

    // The next field; none at the end of the text or when it is malformed (malformed() tells).
    std::optional<Field> next()
    {
        if (m_text.empty())
            return std::nullopt;
        const auto space = m_text.find(' ');
        const auto newline = m_text.find('\n');
        if (space == std::string_view::npos || newline == std::string_view::npos || space > newline)
            return fail();
        const std::string_view count = m_text.substr(space + 1, newline - space - 1);
        std::size_t length = 0;
        const auto [stop, error] =
            std::from_chars(count.data(), count.data() + count.size(), length);
        if (count.empty() || error != std::errc() || stop != count.data() + count.size())
            return fail();
        const std::string_view rest = m_text.substr(newline + 1);
        if (rest.size() <= length || rest[length] != '\n')
            return fail();
        Field found{m_text.substr(0, space), rest.substr(0, length)};
        m_text = rest.substr(length + 1);
        return found;
    }

    [[nodiscard]] bool malformed() const { return m_malformed; }

private:
    std::optional<Field> fail()
    {
        m_malformed = true;
        m_text = {};
        return std::nullopt;
    }

    std::string_view m_text;
    bool m_malformed = false;
};

}  // namespace vellinor::embedded_listing
