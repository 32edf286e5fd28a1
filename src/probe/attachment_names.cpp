#include "probe/attachment_names.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>

#include "probe/embedded_artwork.h"

namespace vellinor {
namespace {

struct TypeName {
    std::string_view key;
    std::string_view value;
};

// libavcodec's names of the codecs pictures and attachments come with.
constexpr std::array kCodecMimeTypes{
    TypeName{"mjpeg", "image/jpeg"}, TypeName{"png", "image/png"},   TypeName{"bmp", "image/bmp"},
    TypeName{"gif", "image/gif"},    TypeName{"tiff", "image/tiff"}, TypeName{"webp", "image/webp"},
    TypeName{"jpegxl", "image/jxl"}, TypeName{"ttf", "font/ttf"},    TypeName{"otf", "font/otf"},
    TypeName{"text", "text/plain"},
};

// The registered types and the older names files still carry (Matroska fonts are mostly
// "application/x-truetype-font").
constexpr std::array kMimeExtensions{
    TypeName{"image/jpeg", "jpg"},
    TypeName{"image/jpg", "jpg"},
    TypeName{"image/pjpeg", "jpg"},
    TypeName{"image/png", "png"},
    TypeName{"image/webp", "webp"},
    TypeName{"image/bmp", "bmp"},
    TypeName{"image/x-bmp", "bmp"},
    TypeName{"image/x-ms-bmp", "bmp"},
    TypeName{"image/gif", "gif"},
    TypeName{"image/tiff", "tif"},
    TypeName{"image/avif", "avif"},
    TypeName{"image/heic", "heic"},
    TypeName{"image/jxl", "jxl"},
    TypeName{"image/svg+xml", "svg"},
    TypeName{"font/ttf", "ttf"},
    TypeName{"font/sfnt", "ttf"},
    TypeName{"application/x-truetype-font", "ttf"},
    TypeName{"application/x-font-ttf", "ttf"},
    TypeName{"application/font-sfnt", "ttf"},
    TypeName{"font/otf", "otf"},
    TypeName{"application/vnd.ms-opentype", "otf"},
    TypeName{"application/x-font-opentype", "otf"},
    TypeName{"application/x-font-otf", "otf"},
    TypeName{"font/collection", "ttc"},
    TypeName{"font/woff", "woff"},
    TypeName{"application/font-woff", "woff"},
    TypeName{"font/woff2", "woff2"},
    TypeName{"text/plain", "txt"},
    TypeName{"text/xml", "xml"},
    TypeName{"application/xml", "xml"},
    TypeName{"application/json", "json"},
    TypeName{"application/pdf", "pdf"},
    TypeName{"application/zip", "zip"},
    TypeName{"text/x-ssa", "ass"},
    TypeName{"text/x-ass", "ass"},
    TypeName{"application/x-cue", "cue"},
};

// An extension longer than this is not treated as one when a name is cut or suffixed.
constexpr std::size_t kLongestExtension = 16;

std::string lowerCaseAscii(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return lower;
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0u) == 0x80u;
}

// The length of the valid UTF-8 sequence at the start of `text` and its code point; 0 when the
// bytes there are not UTF-8 (overlong forms and surrogates included).
std::size_t decodeUtf8(std::string_view text, char32_t& codePoint)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high)
        return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (!isContinuation(byte(i)))
            return 0;
    }
    codePoint = static_cast<char32_t>(lead & (0xFFu >> (length + 1)));
    for (std::size_t i = 1; i < length; ++i)
        codePoint = (codePoint << 6) | static_cast<char32_t>(byte(i) & 0x3Fu);
    return length;
}

// Characters no file name of ours holds: path separators, controls (C0, DEL, C1), the line and
// paragraph separators, and the direction marks and overrides that make "gpj.exe" read as
// "exe.jpg".
bool isUnwanted(char32_t c)
{
    return c < 0x20 || c == '/' || c == '\\' || (c >= 0x7F && c <= 0x9F) || c == 0x200E ||
           c == 0x200F || (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// `text` (valid UTF-8) cut to at most `bytes` bytes, never inside a character.
std::string_view cutAtCharacter(std::string_view text, std::size_t bytes)
{
    if (text.size() <= bytes)
        return text;
    while (bytes > 0 && isContinuation(static_cast<unsigned char>(text[bytes])))
        --bytes;
    return text.substr(0, bytes);
}

// Where a name's extension starts (at its dot), or the name's size when it has none worth
// keeping: no dot, a dot only at the start, or one followed by too long a tail.
std::size_t extensionStart(std::string_view name)
{
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0 || name.size() - dot > kLongestExtension)
        return name.size();
    return dot;
}

// `stem` + `tail` within kMaxFileNameBytes; no blank is left before the tail.
std::string fitted(std::string_view stem, std::string_view tail)
{
    return fitFileName(trimmed(stem), tail, kMaxFileNameBytes);
}

std::string withoutExtension(std::string_view fileName)
{
    const std::size_t dot = fileName.find_last_of('.');
    return std::string(dot == std::string_view::npos || dot == 0 ? fileName
                                                                 : fileName.substr(0, dot));
}

}  // namespace

std::string fitFileName(std::string_view stem, std::string_view tail, std::size_t maxBytes)
{
    if (stem.size() + tail.size() <= maxBytes)
        return std::string(stem) + std::string(tail);
    const std::size_t room = maxBytes > tail.size() ? maxBytes - tail.size() : 0;
    std::string name(trimmed(cutAtCharacter(stem, room)));  // no blank left at the cut
    name += tail;
    return name;
}

std::string mimeTypeOfCodec(std::string_view codecName)
{
    for (const TypeName& entry : kCodecMimeTypes) {
        if (entry.key == codecName)
            return std::string(entry.value);
    }
    return {};
}

std::string extensionForMimeType(std::string_view mimeType)
{
    const std::string type = lowerCaseAscii(trimmed(mimeType.substr(0, mimeType.find(';'))));
    for (const TypeName& entry : kMimeExtensions) {
        if (entry.key == type)
            return std::string(entry.value);
    }
    return "bin";
}

std::string safeFileName(std::string_view name)
{
    std::string clean;
    clean.reserve(name.size());
    while (!name.empty()) {
        char32_t codePoint = 0;
        const std::size_t length = decodeUtf8(name, codePoint);
        if (length == 0 || isUnwanted(codePoint))
            clean += '_';
        else
            clean += name.substr(0, length);
        name.remove_prefix(length == 0 ? 1 : length);
    }

    std::string safe(trimmed(clean));
    for (char& c : safe) {
        if (c != '.')
            break;
        c = '_';
    }
    if (safe.size() <= kMaxFileNameBytes)
        return safe;
    const std::size_t extension = extensionStart(safe);
    return fitted(std::string_view(safe).substr(0, extension),
                  std::string_view(safe).substr(extension));
}

std::string embeddedFileName(const EmbeddedFile& file, std::string_view mediaFileName, int number)
{
    std::string name = safeFileName(file.name);
    if (!name.empty())
        return name;
    std::string stem = withoutExtension(mediaFileName);
    if (!stem.empty())
        stem += '-';
    stem += file.isPicture ? "picture-" : "attachment-";
    stem += std::to_string(number);
    return safeFileName(stem + "." + file.extension);
}

std::string UniqueFileNames::take(std::string_view safeName)
{
    if (safeName.empty())
        safeName = "_";
    std::string name(safeName);
    const std::size_t extension = extensionStart(safeName);
    for (int suffix = 2; isTaken(name); ++suffix) {
        std::string tail = "-";
        tail += std::to_string(suffix);
        tail += safeName.substr(extension);
        name = fitted(safeName.substr(0, extension), tail);
    }
    m_taken.insert(name);
    return name;
}

bool UniqueFileNames::isTaken(const std::string& name) const
{
    return m_taken.count(name) != 0 || (m_exists && m_exists(name));
}

}  // namespace vellinor
