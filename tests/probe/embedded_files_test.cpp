// Embedded pictures and attachments as the sniffer reads them for the front ends: every
// container's covers, exact bytes, what is left out and why, and the listing's parser.

#include "probe/embedded_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "probe/embedded_listing.h"
#include "probe_test_support.h"
#include "support/attachment_media.h"
#include "support/test_support.h"

namespace vellinor {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::runFfmpeg;
using test::TempDir;

constexpr std::string_view kJpegSignature = "\xff\xd8\xff";
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

void appendBigEndian32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xffu));
}

std::string base64(const std::string& bytes)
{
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t chunk = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]))
                              << 16;
        if (i + 1 < bytes.size())
            chunk |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        if (i + 2 < bytes.size())
            chunk |= static_cast<unsigned char>(bytes[i + 2]);
        out.push_back(kAlphabet[(chunk >> 18) & 63]);
        out.push_back(kAlphabet[(chunk >> 12) & 63]);
        out.push_back(i + 1 < bytes.size() ? kAlphabet[(chunk >> 6) & 63] : '=');
        out.push_back(i + 2 < bytes.size() ? kAlphabet[chunk & 63] : '=');
    }
    return out;
}

// A FLAC picture block as Ogg files carry it, base64-encoded, in the METADATA_BLOCK_PICTURE
// comment: type 3 (front cover), MIME type, empty description, size and depth, then the data.
std::string oggPictureComment(const std::string& picture, const std::string& mimeType)
{
    std::string block;
    appendBigEndian32(block, 3);
    appendBigEndian32(block, static_cast<std::uint32_t>(mimeType.size()));
    block += mimeType;
    appendBigEndian32(block, 0);
    for (std::uint32_t field : {24u, 32u, 24u, 0u})
        appendBigEndian32(block, field);
    appendBigEndian32(block, static_cast<std::uint32_t>(picture.size()));
    block += picture;
    return base64(block);
}

// The bytes of the pictures the sniffer reads for the poster, in file order.
std::vector<std::string> pictureBytes(const std::string& path)
{
    std::vector<std::string> bytes;
    for (EmbeddedFile& picture : embeddedPictures(path).files)
        bytes.push_back(std::move(picture.bytes));
    return bytes;
}

// Two different covers (a red JPEG and a blue PNG) and a second of sound, made once per test.
class EmbeddedPictures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "color=red:s=32x24", "-frames:v", "1",
                               (m_dir / "red.jpg").string()}));
        ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "color=blue:s=24x32", "-frames:v", "1",
                               (m_dir / "blue.png").string()}));
        ASSERT_TRUE(runFfmpeg(
            {"-f", "lavfi", "-i", "sine=d=1", "-c:a", "pcm_s16le", (m_dir / "tone.wav").string()}));
        m_red = readFile(m_dir / "red.jpg");
        m_blue = readFile(m_dir / "blue.png");
        ASSERT_EQ(m_red.substr(0, kJpegSignature.size()), kJpegSignature);
        ASSERT_EQ(m_blue.substr(0, kPngSignature.size()), kPngSignature);
    }

    [[nodiscard]] std::string in(const std::string& name) const { return (m_dir / name).string(); }

    // The tone with the given covers attached, encoded with `audioCodec` into `name`.
    std::string withCovers(const std::string& name, const std::vector<std::string>& covers,
                           const std::vector<std::string>& audioCodec,
                           const std::vector<std::string>& extra = {})
    {
        std::vector<std::string> arguments{"-i", in("tone.wav")};
        for (const auto& cover : covers)
            arguments.insert(arguments.end(), {"-i", in(cover)});
        arguments.insert(arguments.end(), {"-map", "0:a"});
        for (std::size_t i = 0; i < covers.size(); ++i)
            arguments.insert(arguments.end(), {"-map", std::to_string(i + 1)});
        arguments.insert(arguments.end(), audioCodec.begin(), audioCodec.end());
        if (!covers.empty())
            arguments.insert(arguments.end(), {"-c:v", "copy", "-disposition:v", "attached_pic"});
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        arguments.push_back(in(name));
        EXPECT_TRUE(runFfmpeg(arguments));
        return in(name);
    }

    TempDir m_dir;
    std::string m_red;
    std::string m_blue;
};

TEST_F(EmbeddedPictures, MP3WithTwoPicturesGivesBothInTagOrder)
{
    auto file = withCovers("two.mp3", {"red.jpg", "blue.png"}, {"-c:a", "libmp3lame"},
                           {"-id3v2_version", "3"});
    auto pictures = pictureBytes(file);
    ASSERT_EQ(pictures.size(), 2u);
    EXPECT_EQ(pictures[0], m_red);
    EXPECT_EQ(pictures[1], m_blue);

    auto swapped = withCovers("swapped.mp3", {"blue.png", "red.jpg"}, {"-c:a", "libmp3lame"},
                              {"-id3v2_version", "4"});
    EXPECT_EQ(pictureBytes(swapped), (std::vector<std::string>{m_blue, m_red}));
}

TEST_F(EmbeddedPictures, EachContainerGivesItsCover)
{
    struct Case {
        std::string name;
        std::string cover;
        std::vector<std::string> audioCodec;
    };
    const std::vector<Case> cases{
        {"cover.m4a", "red.jpg", {"-c:a", "aac"}},
        {"cover.mp4", "blue.png", {"-c:a", "aac"}},
        {"cover.flac", "blue.png", {"-c:a", "flac"}},
    };
    for (const auto& c : cases) {
        auto pictures = pictureBytes(withCovers(c.name, {c.cover}, c.audioCodec));
        EXPECT_EQ(pictures, std::vector<std::string>{readFile(m_dir / c.cover)}) << c.name;
    }
}

TEST_F(EmbeddedPictures, MatroskaGivesImageAttachmentsOnly)
{
    test::writeFile(m_dir / "notes.txt", "not a picture");
    ASSERT_TRUE(
        runFfmpeg({"-i", in("tone.wav"), "-map", "0:a", "-c:a", "flac", "-attach", in("notes.txt"),
                   "-metadata:s:t:0", "mimetype=text/plain", "-attach", in("red.jpg"),
                   "-metadata:s:t:1", "mimetype=image/jpeg", "-attach", in("blue.png"),
                   "-metadata:s:t:2", "mimetype=image/png", in("art.mkv")}));
    EXPECT_EQ(pictureBytes(in("art.mkv")), (std::vector<std::string>{m_red, m_blue}));
}

TEST_F(EmbeddedPictures, OggPictureCommentIsRead)
{
    auto file = withCovers(
        "cover.opus", {}, {"-c:a", "libopus"},
        {"-metadata", "METADATA_BLOCK_PICTURE=" + oggPictureComment(m_blue, "image/png")});
    EXPECT_EQ(pictureBytes(file), std::vector<std::string>{m_blue});
}

TEST_F(EmbeddedPictures, RelativeNameThatLooksLikeAProtocolIsStillAFile)
{
    withCovers("cover:with spaces, 'quotes' & more.m4a", {"red.jpg"}, {"-c:a", "aac"});
    withCovers("file:named.m4a", {"blue.png"}, {"-c:a", "aac"});
    auto previous = fs::current_path();
    fs::current_path(m_dir.path());
    auto cover = pictureBytes("cover:with spaces, 'quotes' & more.m4a");
    auto named = pictureBytes("file:named.m4a");
    fs::current_path(previous);
    EXPECT_EQ(cover, std::vector<std::string>{m_red});
    EXPECT_EQ(named, std::vector<std::string>{m_blue});
}

TEST_F(EmbeddedPictures, NothingToShowGivesAnEmptyList)
{
    auto plain = withCovers("plain.mp3", {}, {"-c:a", "libmp3lame"});
    test::writeFile(m_dir / "notes.txt", "Just some text.\nNothing to see here.\n");
    test::writeFile(m_dir / "empty.mp3", "");
    fs::create_directory(m_dir / "folder.mp3");
    ASSERT_EQ(::mkfifo(in("pipe.mp3").c_str(), 0600), 0);

    for (const std::string& path :
         {plain, in("tone.wav"), in("notes.txt"), in("empty.mp3"), in("folder.mp3"), in("pipe.mp3"),
          in("missing.mp3"), std::string("/dev/zero"), std::string()}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(pictureBytes(path).empty()) << path;
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10)) << path;
    }
}

TEST_F(EmbeddedPictures, TruncatedFilesNeverGiveDamagedPictures)
{
    const std::vector<std::string> files{
        withCovers("two.mp3", {"red.jpg", "blue.png"}, {"-c:a", "libmp3lame"}),
        withCovers("cover.flac", {"blue.png"}, {"-c:a", "flac"}),
        withCovers("cover.m4a", {"red.jpg"}, {"-c:a", "aac"}, {"-movflags", "+faststart"}),
    };
    for (const auto& file : files) {
        const std::string whole = readFile(file);
        for (std::size_t length = 0; length < std::min<std::size_t>(whole.size(), 1200);
             length += 7) {
            test::writeFile(m_dir / "cut", whole.substr(0, length));
            for (const auto& picture : pictureBytes(in("cut")))
                EXPECT_TRUE(picture == m_red || picture == m_blue)
                    << file << " cut at " << length << " gave " << picture.size() << " bytes";
        }
    }
}

TEST_F(EmbeddedPictures, ParallelCallsAgree)
{
    auto file = withCovers("two.mp3", {"red.jpg", "blue.png"}, {"-c:a", "libmp3lame"});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int run = 0; run < 10; ++run)
                EXPECT_EQ(pictureBytes(file), (std::vector<std::string>{m_red, m_blue}));
        });
    }
    for (auto& thread : threads)
        thread.join();
}

TEST(EmbeddedFiles, ListsEveryPictureAndAttachmentWithItsExactBytes)
{
    TempDir folder;
    const test::AttachmentMedia media = test::makeAttachmentMedia(folder.path());
    const auto file = [](bool isPicture, std::string name, std::string mimeType,
                         std::string description, std::string extension, std::string bytes) {
        return EmbeddedFile{isPicture,
                            std::move(name),
                            std::move(mimeType),
                            std::move(description),
                            std::move(extension),
                            std::move(bytes)};
    };
    struct Case {
        fs::path path;
        std::vector<EmbeddedFile> expected;
    };
    const std::vector<Case> cases{
        {media.matroska,
         {file(true, "cover.jpg", "image/jpeg", "Cover art", "jpg", media.redJpeg),
          file(false, "Font.ttf", "application/x-truetype-font", "", "ttf", media.font)}},
        {media.mp3,
         {file(true, "", "image/jpeg", "Front \xE2\x80\x94 Cover (front)", "jpg", media.redJpeg),
          file(true, "", "image/png", "Cover (back)", "png", media.bluePng)}},
        {media.m4a, {file(true, "", "image/png", "", "png", media.bluePng)}},
    };
    for (const auto& c : cases) {
        const auto files = embeddedFiles(c.path.string());
        ASSERT_TRUE(files) << c.path << ": " << files.error();
        EXPECT_EQ(files->files, c.expected) << c.path;
        EXPECT_TRUE(files->problems.empty()) << c.path;
    }

    const auto hostile = embeddedFiles(media.hostile.string());
    ASSERT_TRUE(hostile) << hostile.error();
    ASSERT_EQ(hostile->files.size(), media.hostileNames.size());
    for (std::size_t i = 0; i < hostile->files.size(); ++i) {
        EXPECT_EQ(hostile->files[i].name, media.hostileNames[i]);
        EXPECT_EQ(hostile->files[i].bytes, test::AttachmentMedia::hostileBytes(i));
    }
}

TEST(EmbeddedFiles, FilesThatAreNotMediaSayWhy)
{
    TempDir folder;
    test::writeFile(folder / "garbage.bin", std::string(4096, '\x5a'));
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "sine=d=1", (folder / "plain.wav").string()}));
    const auto plain = embeddedFiles((folder / "plain.wav").string());
    ASSERT_TRUE(plain) << plain.error();
    EXPECT_TRUE(plain->files.empty());

    const std::vector<std::pair<std::string, std::string>> cases{
        {(folder / "garbage.bin").string(), "not a media file"},
        {(folder / "missing.mkv").string(), "not a regular file"},
        {folder.path().string(), "not a regular file"},
        {"/dev/zero", "not a regular file"},
        {"", "not a regular file"},
    };
    for (const auto& [path, reason] : cases) {
        const auto files = embeddedFiles(path);
        ASSERT_FALSE(files) << path;
        EXPECT_EQ(files.error(), reason) << path;
    }
}

// Pictures that unpack far beyond what they take in the file: each left out with a line that
// names it, the others kept whole, and never more memory than the reader may use.
TEST(EmbeddedFiles, ItemsOverTheLimitsOrBeyondTheReadersMemoryAreNamed)
{
    TempDir folder;
    constexpr std::size_t kMiB = std::size_t{1} << 20;
    struct Case {
        const char* name;
        int pictures;
        std::size_t pictureBytes;
        std::size_t kept;
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases{
        {"eight of 250 MB, each more than the reader may allocate", 8, 250'000'000, 0,
         std::vector<std::string>(8,
                                  "an embedded item could not be read: it needs more memory than "
                                  "its reader may take (Failed to alloc 250000013 bytes)")},
        {"one just over the item limit",
         1,
         64 * kMiB + 4096,
         0,
         {"picture 1 (67.1 MB) is larger than the 64 MiB an embedded item may take; it is left "
          "out"}},
        {"five of 60 MiB, past the file limit",
         5,
         60 * kMiB,
         4,
         {"picture 5 (62.9 MB) is left out: the embedded items of one file may take 256 MiB in "
          "all"}},
    };
    for (const Case& c : cases) {
        const fs::path mp3 = folder / "packed.mp3";
        test::writeCompressedPictureMp3(mp3, c.pictures, c.pictureBytes);
        ASSERT_LT(fs::file_size(mp3), std::uintmax_t{2} << 20) << c.name;
        const auto reading = embeddedFiles(mp3.string());
        ASSERT_TRUE(reading) << c.name << ": " << reading.error();
        ASSERT_EQ(reading->files.size(), c.kept) << c.name;
        for (const EmbeddedFile& file : reading->files)
            EXPECT_EQ(file.bytes.size(), c.pictureBytes) << c.name;
        EXPECT_EQ(reading->problems, c.problems) << c.name;
        // The poster's reading says the same of its pictures.
        EXPECT_EQ(embeddedPictures(mp3.string()).problems, c.problems) << c.name;
    }
}

TEST(EmbeddedFiles, OnlyFilesWhoseDocumentShowsPicturesOrAttachmentsNeedAReader)
{
    const std::string video =
        R"({"index": 0, "codec_type": "video", "disposition": {"attached_pic": 0}})";
    const struct {
        const char* name;
        std::string document;
        bool mayHold;
    } cases[] = {
        {"plain video", test::streamsDocument({video}), false},
        {"a cover",
         test::streamsDocument(
             {video, R"({"codec_type": "video", "disposition": {"attached_pic": 1}})"}),
         true},
        {"an attachment", test::streamsDocument({R"({"codec_type": "attachment"})"}), true},
        {"no document", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(mayHoldEmbeddedFiles(test::probeOf(c.document)), c.mayHold) << c.name;
}

TEST(EmbeddedListing, ReadsItemsProblemsAndDamagedListings)
{
    namespace listing = embedded_listing;
    const auto field = listing::field;
    const std::string cover = field("item", "picture") + field("mimetype", "image/png") +
                              field("codec", "png") + field("size", "3") +
                              field("data", std::string("\0\n\xff", 3));
    const std::string font = field("item", "attachment") + field("name", "Font\n.ttf") +
                             field("codec", "ttf") + field("size", "2") + field("data", "ab");
    struct Case {
        const char* name;
        std::string text;
        bool picturesOnly;
        std::string error;  // empty: a reading
        std::size_t files;
        std::vector<std::string> problems;
    };
    const std::vector<Case> cases{
        {"whole", cover + font + field("end", ""), false, "", 2, {}},
        {"pictures only", cover + font + field("end", ""), true, "", 1, {}},
        {"failure", field("failure", "timeout"), false, "reading it took longer than 5 s", 0, {}},
        {"unknown failure", field("failure", "?"), false, "not a media file", 0, {}},
        {"empty", "", false, "the probe tool printed no listing of embedded items", 0, {}},
        {"garbage",
         "{\"streams\": []}",
         false,
         "the probe tool printed no listing of embedded items",
         0,
         {}},
        {"cut inside the second item",
         cover + font.substr(0, font.size() - 3),
         false,
         "",
         1,
         {"attachment 2 \xE2\x80\x9C"
          "Font\n.ttf\xE2\x80\x9D (2 bytes) came without its bytes",
          "the reading stopped before its end; the items after these may be missing"}},
        {"a count past the end",
         cover + "data 99\nab\n",
         false,
         "",
         1,
         {"the reading stopped before its end; the items after these may be missing"}},
        {"left out by the file limit",
         field("item", "attachment") + field("size", "300000000") + field("leftout", "file-limit") +
             field("end", ""),
         false,
         "",
         0,
         {"attachment 1 (300 MB) is left out: the embedded items of one file may take 256 MiB "
          "in all"}},
        {"fields before any item are ignored",
         field("data", "x") + cover + field("end", ""),
         false,
         "",
         1,
         {}},
    };
    for (const Case& c : cases) {
        const auto reading = readEmbeddedListing(c.text, c.picturesOnly);
        if (!c.error.empty()) {
            ASSERT_FALSE(reading) << c.name;
            EXPECT_EQ(reading.error(), c.error) << c.name;
            continue;
        }
        ASSERT_TRUE(reading) << c.name << ": " << reading.error();
        EXPECT_EQ(reading->files.size(), c.files) << c.name;
        EXPECT_EQ(reading->problems, c.problems) << c.name;
    }
    const auto whole = readEmbeddedListing(cover + font + field("end", ""), false);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->files[0],
              (EmbeddedFile{true, "", "image/png", "", "png", std::string("\0\n\xff", 3)}));
    EXPECT_EQ(whole->files[1].name, "Font\n.ttf");
    EXPECT_EQ(whole->files[1].mimeType, "font/ttf");
}

}  // namespace
}  // namespace vellinor
