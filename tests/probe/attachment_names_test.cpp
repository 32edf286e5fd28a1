#include "probe/attachment_names.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/embedded_artwork.h"

namespace vellinor {
namespace {

std::string repeated(std::string_view text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

const std::string kE = "\xC3\xA9";  // é, two bytes

TEST(SafeFileName, KeepsTheNameInsideItsFolder)
{
    struct Case {
        std::string name;
        std::string safe;
    };
    const std::vector<Case> cases{
        {"cover.jpg", "cover.jpg"},
        {"Caf\xC3\xA9 \xE6\x9D\xB1.ttf", "Caf\xC3\xA9 \xE6\x9D\xB1.ttf"},
        {"../x", "___x"},
        {"/etc/x", "_etc_x"},
        {"a/b", "a_b"},
        {"a\\b", "a_b"},
        {".", "_"},
        {"..", "__"},
        {".hidden", "_hidden"},
        {"", ""},
        {"   ", ""},
        {"  padded.ttf ", "padded.ttf"},
        {"a\tb\x01"
         "c\nd\x7F",
         "a_b_c_d_"},
        {std::string("nul\0.ttf", 8), "nul_.ttf"},
        {"c1\xC2\x9B.ttf", "c1_.ttf"},                // U+009B, a control
        {"\xFF\xFE.ttf", "__.ttf"},                   // not UTF-8
        {"\xC0\xAF", "__"},                           // an overlong "/"
        {"\xED\xA0\x80x", "___x"},                    // a surrogate
        {"\xE6\x9D", "__"},                           // cut short
        {"evil\xE2\x80\xAEgpj.exe", "evil_gpj.exe"},  // right-to-left override
        {"line\xE2\x80\xA8"
         "break",
         "line_break"},  // line separator
        {repeated(kE, 150) + ".ttf", repeated(kE, 98) + ".ttf"},
        {std::string("a").append(repeated(kE, 150)),
         std::string("a").append(repeated(kE, 99))},  // cut before a split é
        {repeated("n", 250) + ".averyverylongextension", repeated("n", 200)},
        {repeated("n", 199) + " b", repeated("n", 199)},  // no blank left at the cut
    };
    for (const auto& c : cases) {
        const std::string safe = safeFileName(c.name);
        EXPECT_EQ(safe, c.safe) << c.name;
        EXPECT_LE(safe.size(), kMaxFileNameBytes) << c.name;
    }
}

TEST(UniqueFileNames, SuffixesNamesTakenInThisRunOrInTheFolder)
{
    const std::set<std::string> inFolder{"exists.jpg", "exists-2.jpg"};
    UniqueFileNames names([&](const std::string& name) { return inFolder.count(name) != 0; });
    const std::string longName = repeated(kE, 98) + ".ttf";  // exactly 200 bytes
    const std::vector<std::pair<std::string, std::string>> cases{
        {"font.ttf", "font.ttf"},
        {"font.ttf", "font-2.ttf"},
        {"font.ttf", "font-3.ttf"},
        {"font-2.ttf", "font-2-2.ttf"},
        {"exists.jpg", "exists-3.jpg"},
        {"noext", "noext"},
        {"noext", "noext-2"},
        {"archive.tar.gz", "archive.tar.gz"},
        {"archive.tar.gz", "archive.tar-2.gz"},
        {"", "_"},
        {longName, longName},
        {longName, repeated(kE, 97) + "-2.ttf"},
    };
    for (const auto& [name, expected] : cases)
        EXPECT_EQ(names.take(name), expected) << name;
}

TEST(EmbeddedFileName, OwnNameOrOneMadeFromTheMediaFile)
{
    const auto file = [](bool isPicture, std::string name, std::string extension) {
        EmbeddedFile embedded;
        embedded.isPicture = isPicture;
        embedded.name = std::move(name);
        embedded.extension = std::move(extension);
        return embedded;
    };
    struct Case {
        EmbeddedFile file;
        std::string mediaName;
        int number;
        std::string expected;
    };
    const std::vector<Case> cases{
        {file(false, "Font.ttf", "ttf"), "clip.mkv", 1, "Font.ttf"},
        {file(false, "../../etc/passwd", "bin"), "clip.mkv", 2, "___.._etc_passwd"},
        {file(true, "", "jpg"), "song.mp3", 1, "song-picture-1.jpg"},
        {file(true, "", "png"), "song.final.mp3", 2, "song.final-picture-2.png"},
        {file(false, "", "bin"), "clip.mkv", 3, "clip-attachment-3.bin"},
        {file(true, "", "jpg"), ".hidden", 1, "_hidden-picture-1.jpg"},
        {file(true, "", "jpg"), "", 1, "picture-1.jpg"},
        {file(true, "", "jpg"), "a/b\n.mp3", 1, "a_b_-picture-1.jpg"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(embeddedFileName(c.file, c.mediaName, c.number), c.expected) << c.expected;
}

TEST(EmbeddedFileTypes, ExtensionFromTheMimeTypeOrTheCodec)
{
    const std::vector<std::pair<std::string, std::string>> mimeTypes{
        {"image/jpeg", "jpg"},
        {"IMAGE/JPEG", "jpg"},
        {"image/png; charset=binary", "png"},
        {"image/webp", "webp"},
        {"image/bmp", "bmp"},
        {"image/gif", "gif"},
        {"application/x-truetype-font", "ttf"},
        {"font/ttf", "ttf"},
        {"application/vnd.ms-opentype", "otf"},
        {"font/otf", "otf"},
        {"font/woff2", "woff2"},
        {"text/plain", "txt"},
        {"application/x-unknown", "bin"},
        {"", "bin"},
    };
    for (const auto& [type, extension] : mimeTypes)
        EXPECT_EQ(extensionForMimeType(type), extension) << type;

    const std::vector<std::pair<std::string, std::string>> codecs{
        {"mjpeg", "image/jpeg"}, {"png", "image/png"}, {"bmp", "image/bmp"}, {"webp", "image/webp"},
        {"ttf", "font/ttf"},     {"otf", "font/otf"},  {"none", ""},         {"h264", ""},
    };
    for (const auto& [codec, type] : codecs)
        EXPECT_EQ(mimeTypeOfCodec(codec), type) << codec;
}

}  // namespace
}  // namespace vellinor
