// --record and --json of the built program against FileProbe of the same files.

#include <gtest/gtest.h>

#include <cmath>

#include "cli_media.h"
#include "cli_runner.h"
#include "json/json.h"
#include "probe/file_probe.h"
#include "probe/hdr_facts.h"
#include "probe/overview.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

FileProbe probeOf(const std::filesystem::path& path)
{
    ProbeOptions options;
    options.toolPath = ffprobePath();
    return FileProbe(path.string(), options);
}

JSON parsed(const std::string& text)
{
    auto value = JSON::parse(text);
    EXPECT_TRUE(value.hasValue()) << (value ? "" : value.error()) << "\n" << text;
    return value.valueOr(JSON());
}

void expectText(const JSON& value, const std::optional<std::string>& expected, const char* key)
{
    if (expected) {
        EXPECT_EQ(value, JSON(*expected)) << key;
    } else {
        EXPECT_EQ(value.type(), JSONType::null) << key;
    }
}

void expectRows(const JSON& value, const KeyValueRows& rows, const char* key)
{
    ASSERT_EQ(value.type(), JSONType::array) << key;
    ASSERT_EQ(value.count(), rows.size()) << key;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(value[i].count(), 2u);
        EXPECT_EQ(value[i]["key"], JSON(rows[i].key)) << key << " " << i;
        EXPECT_EQ(value[i]["value"], JSON(rows[i].value)) << key << " " << i;
    }
}

void expectNumber(const JSON& value, double expected, const char* key)
{
    if (!std::isfinite(expected)) {
        EXPECT_EQ(value.type(), JSONType::null) << key;
        return;
    }
    ASSERT_EQ(value.type(), JSONType::number) << key;
    EXPECT_DOUBLE_EQ(value.doubleValue(), expected) << key;
}

// A summary as the record must carry it: the same members, non-finite numbers as null.
void expectSummary(const JSON& value, const std::optional<JSON>& summary, const char* key)
{
    if (!summary || summary->type() == JSONType::null) {
        EXPECT_EQ(value.type(), JSONType::null) << key;
        return;
    }
    ASSERT_EQ(value.type(), JSONType::dictionary) << key;
    ASSERT_EQ(value.count(), summary->count()) << key;
    for (const auto& [member, expected] : *summary) {
        SCOPED_TRACE(member);
        if (expected.type() == JSONType::number) {
            expectNumber(value[member], expected.doubleValue(), key);
        } else {
            EXPECT_EQ(value[member], expected) << key;
        }
    }
}

void expectOverviewValue(const JSON& value, const OverviewValue& expected)
{
    if (expected.integer) {
        EXPECT_EQ(value.type(), JSONType::number);
        EXPECT_EQ(value.intValue(), *expected.integer);
    } else if (expected.color == OverviewValue::Color::none) {
        EXPECT_EQ(value, JSON(expected.text));
    } else {
        EXPECT_EQ(value.count(), 2u);
        EXPECT_EQ(value["text"], JSON(expected.text));
        EXPECT_EQ(value["color"],
                  JSON(expected.color == OverviewValue::Color::green ? "green" : "red"));
    }
}

void expectRecordOf(const JSON& record, const std::string& path, const FileProbe& probe)
{
    SCOPED_TRACE(path);
    EXPECT_EQ(record["path"], JSON(path));
    expectText(record["fileName"], probe.fileName, "fileName");
    if (probe.fileSize) {
        EXPECT_EQ(record["fileSize"].uintValue(), *probe.fileSize);
    } else {
        EXPECT_EQ(record["fileSize"].type(), JSONType::null);
    }
    expectText(record["fileSizeHuman"], probe.fileSizeHuman, "fileSizeHuman");
    EXPECT_EQ(record["hasErrors"], JSON(probe.hasErrors));
    EXPECT_EQ(record["isValidMediaFile"], JSON(probe.isValidMediaFile));
    EXPECT_EQ(record["isEncrypted"], JSON(probe.isEncrypted));
    EXPECT_EQ(record["numberOfTracks"].intValue(), probe.numberOfTracks);
    expectNumber(record["duration"], probe.duration, "duration");
    expectText(record["durationHuman"], probe.durationHuman, "durationHuman");
    EXPECT_EQ(record["bitrate"].intValue(), probe.bitrate);
    expectText(record["bitrateHuman"], probe.bitrateHuman, "bitrateHuman");
    EXPECT_EQ(record["numberOfVideoTracks"].intValue(), probe.numberOfVideoTracks);
    EXPECT_EQ(record["numberOfAudioTracks"].intValue(), probe.numberOfAudioTracks);
    EXPECT_EQ(record["numberOfSubtitleTracks"].intValue(), probe.numberOfSubtitleTracks);

    const JSON tracks = record["tracksInfo"];
    ASSERT_EQ(tracks.count(), probe.tracksInfo.size());
    for (std::size_t i = 0; i < probe.tracksInfo.size(); ++i) {
        const TrackInfo& track = probe.tracksInfo[i];
        const JSON row = tracks[i];
        EXPECT_EQ(row.count(), 9u);
        EXPECT_EQ(row["trackNumber"].type(), JSONType::number);
        EXPECT_EQ(row["trackNumber"].intValue(), track.trackNumber);
        EXPECT_EQ(row["trackType"], JSON(track.trackType));
        EXPECT_EQ(row["trackCodec"], JSON(track.trackCodec));
        expectNumber(row["trackDuration"], track.trackDuration, "trackDuration");
        EXPECT_EQ(row["trackDurationHuman"], JSON(track.trackDurationHuman));
        EXPECT_EQ(row["trackLanguage"], JSON(track.trackLanguage));
        EXPECT_EQ(row["trackExtraInfo"], JSON(track.trackExtraInfo));
        expectRows(row["trackKeyValue"], track.trackKeyValue, "trackKeyValue");
        if (track.hdr) {
            EXPECT_EQ(row["hdr"], hdrRecord(*track.hdr));
        } else {
            EXPECT_EQ(row["hdr"].type(), JSONType::null);
        }
    }
    expectRows(record["metadata"], probe.metadata, "metadata");
    expectSummary(record["firstVideoTrackInfo"], probe.firstVideoTrackInfo, "firstVideoTrackInfo");
    expectSummary(record["firstAudioTrackInfo"], probe.firstAudioTrackInfo, "firstAudioTrackInfo");

    const auto rows = overviewRows(probe);
    const JSON overview = record["overview"];
    ASSERT_EQ(overview.count(), rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        SCOPED_TRACE("overview row " + std::to_string(r));
        EXPECT_EQ(overview[r]["fieldKey1"], JSON(rows[r].fieldKey1));
        expectOverviewValue(overview[r]["fieldValue1"], rows[r].fieldValue1);
        EXPECT_EQ(overview[r]["fieldKey2"], JSON(rows[r].fieldKey2));
        expectOverviewValue(overview[r]["fieldValue2"], rows[r].fieldValue2);
    }
}

TEST(CliRecord, AgreesWithTheProbeOfEveryFile)
{
    const auto& media = cliMedia();
    const std::vector<std::filesystem::path> files{media.demo,  media.audio,   media.sideData,
                                                   media.notes, media.garbage, media.empty};
    std::vector<std::string> arguments{"--record"};
    for (const auto& file : files)
        arguments.push_back(file.string());
    const auto run = runCli(arguments);
    EXPECT_EQ(run.exitStatus, 1) << "notes, garbage and empty are not media";

    const JSON records = parsed(run.out);
    ASSERT_EQ(records.type(), JSONType::array);
    ASSERT_EQ(records.count(), files.size());
    for (std::size_t i = 0; i < files.size(); ++i)
        expectRecordOf(records[i], files[i].string(), probeOf(files[i]));

    // The problem says why a file failed; null for the good ones.
    const std::vector<std::string> problems{
        "",
        "",
        "",
        "not a media file",
        "the probe tool could not read it: Invalid data found when processing input",
        "empty file"};
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (problems[i].empty()) {
            EXPECT_EQ(records[i]["problem"].type(), JSONType::null) << files[i];
        } else {
            EXPECT_EQ(records[i]["problem"], JSON(problems[i])) << files[i];
        }
        EXPECT_EQ(records[i]["toolProblem"].type(), JSONType::null) << files[i];
    }
}

TEST(CliRecord, AFileThatIsNotThereHasARecordSayingSo)
{
    TempDir dir;
    const auto missing = (dir / "gone.mkv").string();
    const auto run = runCli({"--record", missing, dir.path().string()});
    EXPECT_EQ(run.exitStatus, 1);
    const JSON records = parsed(run.out);
    ASSERT_EQ(records.count(), 2u);
    EXPECT_EQ(records[0]["path"], JSON(missing));
    EXPECT_EQ(records[0]["fileName"], JSON("gone.mkv"));
    EXPECT_EQ(records[0]["hasErrors"], JSON(true));
    EXPECT_EQ(records[0]["isValidMediaFile"], JSON(false));
    EXPECT_EQ(records[0]["fileSize"].type(), JSONType::null);
    EXPECT_EQ(records[0]["tracksInfo"].count(), 0u);
    EXPECT_EQ(records[0]["problem"], JSON("no such file"));
    EXPECT_EQ(records[1]["problem"], JSON("is a directory"));
    EXPECT_EQ(run.err, "vellinor-cli: " + missing + ": no such file\nvellinor-cli: " +
                           dir.path().string() + ": is a directory\n");
}

TEST(CliRecord, AnEmptyBatchIsAnEmptyArray)
{
    TempDir dir;
    const auto run = runCli({"--record", "-r", dir.path().string()});
    EXPECT_EQ(run.exitStatus, 0);
    EXPECT_EQ(parsed(run.out).count(), 0u);
}

TEST(CliJson, PrintsEachProbeDocumentAsTheWindowSavesIt)
{
    const auto& media = cliMedia();
    const auto run =
        runCli({"--json", media.demo.string(), media.empty.string(), media.sideData.string()});
    EXPECT_EQ(run.exitStatus, 1);
    const auto demo = probeOf(media.demo).json->rawString();
    const auto sideData = probeOf(media.sideData).json->rawString();
    ASSERT_TRUE(demo && sideData);
    // Nothing for the empty file: the documents follow one another, each closed by a line break.
    EXPECT_EQ(run.out, *demo + "\n" + *sideData + "\n");
    EXPECT_EQ(run.err, "vellinor-cli: " + media.empty.string() + ": empty file\n");
}

}  // namespace
}  // namespace vellinor::test
