#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "probe/file_probe.h"
#include "probe_test_support.h"
#include "support/captured_diagnostics.h"

namespace vellinor {
namespace {

using test::keysOf;
using test::valueOf;

KeyValueRows metadataOf(std::string_view format)
{
    auto document = JSON::parse(R"({"format": )" + std::string(format) + "}");
    EXPECT_TRUE(document.hasValue()) << format;
    return FileProbe::containerMetadata(document.valueOr(JSON()));
}

std::string movieTag(std::string_view plistBody)
{
    std::string plist = R"(<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC )"
                        R"(\"-//Apple//DTD PLIST 1.0//EN\" )"
                        R"(\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n)"
                        R"(<plist version=\"1.0\">)";
    for (char c : plistBody) {
        if (c == '\n')
            plist += "\\n";
        else if (c == '"')
            plist += "\\\"";
        else
            plist += c;
    }
    plist += "</plist>";
    return R"({"tags": {"iTunMOVI": ")" + plist + R"("}})";
}

TEST(ContainerMetadata, FormatMembersUnderTheirOwnNames)
{
    EXPECT_EQ(metadataOf(R"({"filename": "/m/a.mkv", "nb_streams": 2, "format_name":
        "matroska,webm", "duration": "10.000000", "probe_score": 100, "size": "1234"})"),
              (KeyValueRows{{"duration", "10.000000"},
                            {"filename", "/m/a.mkv"},
                            {"format_name", "matroska,webm"},
                            {"nb_streams", "2"},
                            {"probe_score", "100"},
                            {"size", "1234"}}));
    EXPECT_EQ(metadataOf("{}"), KeyValueRows{});
}

TEST(ContainerMetadata, TagRowsSortAmongTheMembersByFullName)
{
    const KeyValueRows rows = metadataOf(R"({"start_time": "0.000000", "size": "5",
        "duration": "1.0", "tags": {"title": "Film", "encoder": "Lavf59.27.100",
        "ENCODER": "upper", "comment": ["a"]}})");
    EXPECT_EQ(keysOf(rows),
              (std::vector<std::string>{"ENCODER.tags", "comment.tags", "duration", "encoder.tags",
                                        "size", "start_time", "title.tags"}));
    EXPECT_EQ(valueOf(rows, "title.tags"), "Film");
    EXPECT_NE(valueOf(rows, "comment.tags").find("\"a\""), std::string::npos);
}

TEST(ContainerMetadata, MediaTypeNumberBecomesItsName)
{
    const std::pair<const char*, const char*> cases[] = {
        {R"("9")", "Movie"},      {R"("10")", "TV Show"},       {"9", "Movie"},
        {R"("0")", "Home Video"}, {R"("27")", "Alert Tone"},    {R"("23")", "iTunes U"},
        {R"("5")", nullptr},      {R"("movie")", "Home Video"}, {"null", "Home Video"},
        {R"("-1")", nullptr},
    };
    for (const auto& [value, name] : cases) {
        SCOPED_TRACE(value);
        const KeyValueRows rows =
            metadataOf(R"({"tags": {"title": "x", "media_type": )" + std::string(value) + "}}");
        if (name) {
            EXPECT_EQ(rows,
                      (KeyValueRows{{"media_type.modified.tags", name}, {"title.tags", "x"}}));
        } else {
            EXPECT_EQ(rows, (KeyValueRows{{"title.tags", "x"}}));
        }
    }
}

TEST(ContainerMetadata, ITunMovieListIsUnpacked)
{
    test::CapturedDiagnostics diagnostics;
    const KeyValueRows rows = metadataOf(movieTag(R"(<dict>
        <key>studio</key><string>Vellinor &amp; Sons</string>
        <key>cast</key><array><dict><key>name</key><string>A</string></dict>
                              <dict><key>name</key><string>B</string></dict></array>
        <key>directors</key><array/>
        <key>rating</key><dict><key>value</key><integer>4</integer>
                               <key>below</key><integer>-5</integer>
                               <key>label</key><string>good</string>
                               <key>score</key><real>2.5</real>
                               <key>whole</key><real>3</real>
                               <key>seen</key><true/>
                               <key>on</key><date>2020-01-02T03:04:05Z</date>
                               <key>raw</key><data>AQI=</data>
                               <key>nested</key><array><string>x</string></array></dict>
        <key>producers</key><array><dict><key>name</key><string>P</string></dict>
                                   <dict><key>role</key><string>no name</string></dict></array>
        <key>writers</key><array><dict><key>name</key><string>W</string>
                                       <key>order</key><integer>1</integer></dict></array>
        <key>mixed</key><array><dict><key>name</key><string>M</string></dict>
                               <string>loose</string></array>
        <key>count</key><integer>3</integer>
        <key>when</key><date>2020-01-02T03:04:05Z</date>
    </dict>)"));
    EXPECT_TRUE(diagnostics.lines().empty());
    EXPECT_EQ(rows, (KeyValueRows{{"below.rating.tags", "-5"},
                                  {"cast.tags", "A, B"},
                                  {"directors.tags", ""},
                                  {"label.rating.tags", "good"},
                                  {"on.rating.tags", "2020-01-02 03:04:05 +0000"},
                                  {"score.rating.tags", "2.5"},
                                  {"seen.rating.tags", "true"},
                                  {"studio.tags", "Vellinor & Sons"},
                                  {"value.rating.tags", "4"},
                                  {"whole.rating.tags", "3"}}));
}

TEST(ContainerMetadata, UnreadableITunMovieGivesOneLineAndTheRestOfTheRows)
{
    const char* cases[] = {
        R"({"tags": {"iTunMOVI": "not a property list", "title": "Film"}, "size": "1"})",
        R"({"tags": {"iTunMOVI": "<plist><dict><key>a</key>", "title": "Film"}, "size": "1"})",
        R"({"tags": {"iTunMOVI": "", "title": "Film"}, "size": "1"})",
        R"({"tags": {"iTunMOVI": {"a": 1}, "title": "Film"}, "size": "1"})",
    };
    for (const char* format : cases) {
        SCOPED_TRACE(format);
        test::CapturedDiagnostics diagnostics;
        EXPECT_EQ(metadataOf(format), (KeyValueRows{{"size", "1"}, {"title.tags", "Film"}}));
        ASSERT_EQ(diagnostics.lines().size(), 1u);
        EXPECT_EQ(diagnostics.lines()[0].rfind("Could not read the iTunMOVI property list", 0), 0u);
    }
}

// A binary property list whose dictionary key is "\u00e9\u0000" in UTF-16 made libplist abort
// the program (found by fuzzing). Only the XML form is read; this one is refused like any text
// that is not a property list.
TEST(ContainerMetadata, BinaryITunMovieIsNotRead)
{
    const std::string binary(
        "bplist00\xd1\x01\x02\x62\x00\xe9\x00\x00\x51\x78\x08\x0b\x10"
        "\0\0\0\0\0\0\x01\x01\0\0\0\0\0\0\0\x03"
        "\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\x12",
        53);
    const JSON document = JSON::dictionary(
        {{"format", JSON::dictionary({{"tags", JSON::dictionary({{"iTunMOVI", JSON(binary)},
                                                                 {"title", JSON("Film")}})}})}});
    test::CapturedDiagnostics diagnostics;
    EXPECT_EQ(FileProbe::containerMetadata(document), (KeyValueRows{{"title.tags", "Film"}}));
    ASSERT_EQ(diagnostics.lines().size(), 1u);
    EXPECT_EQ(diagnostics.lines()[0].rfind("Could not read the iTunMOVI property list", 0), 0u);
}

TEST(ContainerMetadata, ITunMovieWhoseTopLevelIsNotADictionaryAddsNothing)
{
    test::CapturedDiagnostics diagnostics;
    EXPECT_EQ(metadataOf(movieTag("<array><string>a</string></array>")), KeyValueRows{});
    EXPECT_EQ(metadataOf(movieTag("<string>a</string>")), KeyValueRows{});
    EXPECT_TRUE(diagnostics.lines().empty());
}

TEST(ContainerMetadata, OnlyDocumentsWithFormatGetMetadata)
{
    const FileProbe withFormat =
        test::probeOf(R"({"format": {"tags": {"media_type": "10"}}, "streams": []})");
    EXPECT_EQ(withFormat.metadata, (KeyValueRows{{"media_type.modified.tags", "TV Show"}}));
    EXPECT_TRUE(test::probeOf(R"({"streams": []})").metadata.empty());
}

}  // namespace
}  // namespace vellinor
