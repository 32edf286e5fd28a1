#pragma once

// Names for embedded pictures and attachments written out as files: the extension their type
// implies, a name that is safe whatever the media file calls them, and names unique in a folder.

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace vellinor {

struct EmbeddedFile;

// The longest name handed out, in bytes. Well under the 255 of Linux file systems, leaving room
// for a "-2" suffix and for the temporary name a file is written under before its rename.
inline constexpr std::size_t kMaxFileNameBytes = 200;

// The longest file name Linux file systems take, in bytes.
inline constexpr std::size_t kLongestFileNameBytes = 255;

// `stem` + `tail` within `maxBytes`: when the whole is longer, the stem is cut at a character
// boundary (blanks at the cut dropped) and the tail kept.
std::string fitFileName(std::string_view stem, std::string_view tail,
                        std::size_t maxBytes = kMaxFileNameBytes);

// The MIME type of a picture or attachment codec as libavcodec names it ("mjpeg" gives
// "image/jpeg", "ttf" gives "font/ttf"); empty when the codec says nothing about a file type.
std::string mimeTypeOfCodec(std::string_view codecName);

// The usual extension for a MIME type, without the dot ("image/jpeg" gives "jpg",
// "application/x-truetype-font" gives "ttf"); letter case and parameters are ignored; "bin"
// for a type not known here.
std::string extensionForMimeType(std::string_view mimeType);

// `name` made safe to create inside a folder: "/" and "\" become "_", as do control
// characters, bytes that are not UTF-8 and the marks that reverse the reading direction; each
// leading "." becomes "_" (so "." and ".." cannot be named, and nothing turns up hidden);
// blanks around the name are dropped; a name longer than kMaxFileNameBytes is cut at a
// character boundary, its extension kept. Empty when nothing is left.
std::string safeFileName(std::string_view name);

// The file name an embedded picture or attachment is saved under: its own name made safe, or,
// when it has none, "<media name without extension>-picture-N.<ext>" ("-attachment-N" for
// other attachments), N counting from 1 in the media file's order (`number`).
std::string embeddedFileName(const EmbeddedFile& file, std::string_view mediaFileName, int number);

// Hands out names for one folder: a safe name as it is, or, when this run already gave it out
// or the folder already holds it, "stem-2.ext", "stem-3.ext", ... (cut to stay within
// kMaxFileNameBytes).
class UniqueFileNames {
public:
    using Exists = std::function<bool(const std::string& name)>;
    explicit UniqueFileNames(Exists existsInFolder = {}) : m_exists(std::move(existsInFolder)) {}

    std::string take(std::string_view safeName);

private:
    [[nodiscard]] bool isTaken(const std::string& name) const;

    Exists m_exists;
    std::set<std::string, std::less<>> m_taken;
};

}  // namespace vellinor
