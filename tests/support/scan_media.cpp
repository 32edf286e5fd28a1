#include "support/scan_media.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <sstream>

#include "platform/process.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

std::string shellOutput(const std::string& script, const std::vector<std::string>& arguments)
{
    std::vector<std::string> all{"-c", script};
    all.insert(all.end(), arguments.begin(), arguments.end());
    platform::ProcessOptions options;
    options.timeout = std::chrono::minutes(2);
    auto result = platform::runProcess("/bin/sh", all, options);
    EXPECT_EQ(result.outcome, platform::ProcessResult::Outcome::exited) << result.startError;
    return result.standardOutput;
}

// User data with ATSC A/53 closed captions, placed before the first slice of every picture of
// an MPEG-2 elementary stream: one CEA-608 field-1 pair and one CEA-708 packet start.
void addCaptions(const std::filesystem::path& from, const std::filesystem::path& to)
{
    const std::string input = readFile(from);
    const std::string userData{
        "\x00\x00\x01\xb2GA94\x03\x42\xff"
        "\xfc\x94\x2c"
        "\xff\x02\x21"
        "\xff",
        18};
    const std::string firstSlice{"\x00\x00\x01\x01", 4};
    std::string output;
    std::size_t at = 0;
    for (std::size_t found = input.find(firstSlice); found != std::string::npos;
         found = input.find(firstSlice, found + firstSlice.size())) {
        output.append(input, at, found - at);
        output += userData;
        at = found;
    }
    output.append(input, at, std::string::npos);
    writeFile(to, output);
}

// Overwrites 200 bytes every 9000 from 40,000 on, the same bytes on every run.
void damage(const std::filesystem::path& from, const std::filesystem::path& to)
{
    std::string bytes = readFile(from);
    std::mt19937 random(3);
    for (std::size_t at = 40'000; at + 2'000 < bytes.size(); at += 9'000)
        for (std::size_t i = 0; i < 200; ++i)
            bytes[at + i] = static_cast<char>(random() & 0xff);
    writeFile(to, bytes);
}

}  // namespace

ScanMedia makeScanMedia(const std::filesystem::path& folder)
{
    ScanMedia media;
    const auto at = [&folder](const char* name) { return (folder / name).string(); };
    media.clean = at("clean.mp4");
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=6:s=160x120:r=25", "-f", "lavfi", "-i",
               "sine=f=440:d=6:sample_rate=48000", "-c:v", "libx264", "-g", "25", "-c:a", "aac",
               "-shortest", media.clean.string()});
    media.remux = at("remux.mkv");
    runFfmpeg({"-i", media.clean.string(), "-map", "0:v", "-c", "copy", media.remux.string()});
    media.reencoded = at("reencoded.mkv");
    runFfmpeg({"-i", media.clean.string(), "-map", "0:v", "-c:v", "libx264", "-crf", "35",
               media.reencoded.string()});

    const auto whole = at("whole.mkv");
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=10:s=160x120:r=25", "-c:v", "libx264", whole});
    media.truncated = at("truncated.mkv");
    const std::string wholeBytes = readFile(whole);
    writeFile(media.truncated, wholeBytes.substr(0, wholeBytes.size() * 6 / 10));

    const auto intact = at("intact.ts");
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=4:s=160x120:r=25", "-c:v", "mpeg2video", "-q:v",
               "2", intact});
    media.damaged = at("damaged.ts");
    damage(intact, media.damaged);

    media.variable = at("variable.mkv");
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=4:s=160x120:r=25", "-vf",
               "setpts='if(lt(N,50),N*2,100+(N-50)*3)'", "-c:v", "libx264", "-fps_mode", "vfr",
               media.variable.string()});

    media.interlaced = at("interlaced.mpg");
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=2:s=320x240:r=50", "-vf",
               "tinterlace=mode=merge,setfield=tff", "-c:v", "mpeg2video", "-flags", "+ildct+ilme",
               "-top", "1", "-q:v", "2", media.interlaced.string()});

    media.sections = at("sections.mkv");
    runFfmpeg({"-f",
               "lavfi",
               "-i",
               "color=black:s=160x120:r=25:d=3",
               "-f",
               "lavfi",
               "-i",
               "testsrc2=s=160x120:r=25:d=3",
               "-f",
               "lavfi",
               "-i",
               "color=black:s=160x120:r=25:d=3",
               "-f",
               "lavfi",
               "-i",
               "anullsrc=r=48000:cl=stereo:d=3",
               "-f",
               "lavfi",
               "-i",
               "sine=f=997:sample_rate=48000:d=3",
               "-f",
               "lavfi",
               "-i",
               "anullsrc=r=48000:cl=stereo:d=3",
               "-filter_complex",
               "[0][1][2]concat=n=3[v];[3][4][5]concat=n=3:v=0:a=1[a]",
               "-map",
               "[v]",
               "-map",
               "[a]",
               "-c:v",
               "libx264",
               "-c:a",
               "flac",
               media.sections.string()});

    media.tone = at("tone.wav");
    runFfmpeg({"-f", "lavfi", "-i", "sine=f=997:sample_rate=48000:d=6,volume=0.8", "-ac", "2",
               "-c:a", "pcm_s16le", media.tone.string()});

    const auto plain = at("plain.m2v");
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=d=1:s=160x120:r=25", "-c:v", "mpeg2video", plain});
    media.captions = at("captions.m2v");
    addCaptions(plain, media.captions);
    return media;
}

std::vector<std::string> ffmpegStreamHashes(const std::filesystem::path& file)
{
    std::istringstream lines(
        shellOutput("\"$0\" -v error -nostdin -i \"$1\" -map 0 -f streamhash -hash md5 -",
                    {ffmpegPath(), file.string()}));
    std::vector<std::string> hashes;
    for (std::string line; std::getline(lines, line);) {
        const auto mark = line.find("MD5=");
        if (mark != std::string::npos)
            hashes.push_back(line.substr(mark + 4));
    }
    return hashes;
}

std::optional<double> ffmpegIntegratedLoudness(const std::filesystem::path& file)
{
    const std::string log = shellOutput(
        "\"$0\" -nostats -nostdin -i \"$1\" -map 0:a:0 -af ebur128=peak=true -f null - 2>&1",
        {ffmpegPath(), file.string()});
    // The summary is the last "I:" of the log.
    const auto label = log.rfind("I:");
    if (label == std::string::npos)
        return std::nullopt;
    return std::strtod(log.c_str() + label + 2, nullptr);
}

std::optional<long long> ffprobeFrameCount(const std::filesystem::path& file, int index)
{
    const std::string text = shellOutput(
        "\"$0\" -v error -count_frames -select_streams \"$2\" -show_entries "
        "stream=nb_read_frames -of csv=p=0 \"$1\"",
        {ffprobePath(), file.string(), std::to_string(index)});
    if (text.empty())
        return std::nullopt;
    return std::atoll(text.c_str());
}

}  // namespace vellinor::test
