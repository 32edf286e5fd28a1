#include "support/attachment_media.h"

#include <zlib.h>

#include <cstdint>

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace vellinor::test {

namespace {

void appendBigEndian32(std::string& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((value >> shift) & 0xffu));
}

// ID3v2 sizes keep seven bits per byte.
void appendSyncsafe32(std::string& out, std::uint32_t value)
{
    for (int shift = 21; shift >= 0; shift -= 7)
        out.push_back(static_cast<char>((value >> shift) & 0x7fu));
}

}  // namespace

void writeCompressedPictureMp3(const std::filesystem::path& path, int pictures,
                               std::size_t pictureBytes)
{
    // Encoding 0, MIME type "image/png", picture type 3 (front cover), empty description.
    std::string picture = std::string("\0image/png\0\x03\0", 13);
    picture.append(pictureBytes, '\0');
    uLongf packedSize = compressBound(static_cast<uLong>(picture.size()));
    std::string packed(packedSize, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
                        reinterpret_cast<const Bytef*>(picture.data()),
                        static_cast<uLong>(picture.size()), 9),
              Z_OK);
    packed.resize(packedSize);

    std::string frames;
    for (int i = 0; i < pictures; ++i) {
        std::string body;
        // The length the picture unpacks to, as the demuxer reads it.
        appendBigEndian32(body, static_cast<std::uint32_t>(picture.size()));
        body += packed;
        frames += "APIC";
        appendSyncsafe32(frames, static_cast<std::uint32_t>(body.size()));
        frames += std::string("\x00\x09", 2);  // compressed, with its data length in front
        frames += body;
    }
    std::string file = std::string("ID3\x04\x00\x00", 6);
    appendSyncsafe32(file, static_cast<std::uint32_t>(frames.size()));
    file += frames;
    // A few MPEG-1 layer III frames of silence, so the file reads as an MP3.
    std::string frame = std::string("\xff\xfb\x90\x64", 4);
    frame.append(413, '\0');
    for (int i = 0; i < 20; ++i)
        file += frame;
    writeFile(path, file);
}

std::string AttachmentMedia::hostileBytes(std::size_t index)
{
    return std::string("\x00\x01\x00\x00", 4) + "attachment " + std::to_string(index);
}

AttachmentMedia makeAttachmentMedia(const std::filesystem::path& folder)
{
    AttachmentMedia media;
    const auto in = [&](const std::string& name) { return (folder / name).string(); };
    EXPECT_TRUE(
        runFfmpeg({"-f", "lavfi", "-i", "color=red:s=32x24", "-frames:v", "1", in("red.jpg")}));
    EXPECT_TRUE(
        runFfmpeg({"-f", "lavfi", "-i", "color=blue:s=24x32", "-frames:v", "1", in("blue.png")}));
    EXPECT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "sine=d=1", "-c:a", "pcm_s16le", in("tone.wav")}));
    writeFile(folder / "Font.ttf", std::string("\x00\x01\x00\x00", 4) + "glyphs and tables");
    media.redJpeg = readFile(folder / "red.jpg");
    media.bluePng = readFile(folder / "blue.png");
    media.font = readFile(folder / "Font.ttf");

    media.matroska = folder / "art.mkv";
    EXPECT_TRUE(runFfmpeg({"-i", in("tone.wav"), "-c:a", "flac", "-attach", in("red.jpg"),
                           "-metadata:s:t:0", "mimetype=image/jpeg", "-metadata:s:t:0",
                           "filename=cover.jpg", "-metadata:s:t:0", "title=Cover art", "-attach",
                           in("Font.ttf"), "-metadata:s:t:1",
                           "mimetype=application/x-truetype-font", media.matroska.string()}));

    media.mp3 = folder / "two.mp3";
    EXPECT_TRUE(runFfmpeg({"-i",
                           in("tone.wav"),
                           "-i",
                           in("red.jpg"),
                           "-i",
                           in("blue.png"),
                           "-map",
                           "0",
                           "-map",
                           "1",
                           "-map",
                           "2",
                           "-c:a",
                           "libmp3lame",
                           "-c:v",
                           "copy",
                           "-disposition:v",
                           "attached_pic",
                           "-metadata:s:v:0",
                           "title=Front",
                           "-metadata:s:v:0",
                           "comment=Cover (front)",
                           "-metadata:s:v:1",
                           "comment=Cover (back)",
                           media.mp3.string()}));

    media.m4a = folder / "cover.m4a";
    EXPECT_TRUE(
        runFfmpeg({"-i", in("tone.wav"), "-i", in("blue.png"), "-map", "0", "-map", "1", "-c:a",
                   "aac", "-c:v", "copy", "-disposition:v", "attached_pic", media.m4a.string()}));

    std::string longName;
    for (int i = 0; i < 150; ++i)
        longName += "\xC3\xA9";  // é: 300 bytes
    media.hostileNames = {"../x",
                          "/etc/x",
                          "a/b",
                          "..",
                          ".",
                          ".hidden",
                          longName,
                          "a\tb\x01"
                          "c\nd",
                          "same.ttf",
                          "same.ttf",
                          "x"};
    media.hostile = folder / "hostile.mkv";
    std::vector<std::string> arguments{"-i", in("tone.wav"), "-c:a", "flac"};
    for (std::size_t i = 0; i < media.hostileNames.size(); ++i) {
        const std::string source = in("attachment-" + std::to_string(i));
        writeFile(source, AttachmentMedia::hostileBytes(i));
        const std::string stream = "-metadata:s:t:" + std::to_string(i);
        arguments.insert(arguments.end(), {"-attach", source, stream, "mimetype=font/ttf", stream,
                                           "filename=" + media.hostileNames[i]});
    }
    arguments.push_back(media.hostile.string());
    EXPECT_TRUE(runFfmpeg(arguments));
    return media;
}

}  // namespace vellinor::test
