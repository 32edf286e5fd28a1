#include "probe/verdict.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

#include "format/utils.h"
#include "platform/file_access.h"

namespace vellinor {
namespace {

FileVerdict verdict(FileVerdict::Kind kind, std::string problem, std::string message)
{
    return {kind, std::move(problem), std::move(message)};
}

// "the probe tool timed out after 60 s" as a sentence: "The probe tool timed out after 60 s."
std::string asSentence(std::string text)
{
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
    if (!text.empty() && text.back() != '.')
        text.push_back('.');
    return text;
}

// The sentence for a file the probe tool gave up on, from the library's error text. The
// library's words name its own state ("End of file", "Not yet implemented in FFmpeg, patches
// welcome"); a person needs to know what is wrong with the file. Texts not listed here are
// plain enough to show as they are.
std::string unreadableMessage(const std::string& toolError)
{
    struct Plain {
        std::string_view library;
        std::string_view sentence;
    };
    constexpr Plain kPlain[] = {
        {"End of file",
         "This file ends early: it stops before the probe tool could read its streams."},
        {"Input/output error",
         "This file ends early or is damaged: reading it stopped part-way (a file cut short, or "
         "one whose index points past its end)."},
        {"Not yet implemented in FFmpeg, patches welcome",
         "Could not read this file: it uses a feature of its format that FFmpeg cannot read yet."},
        {"Cannot allocate memory",
         "Could not read this file: it asks for more memory than the probe tool may use."},
        {"Invalid argument",
         "Could not read this file: its headers hold values the probe tool cannot accept."},
        {"Bug detected, please report the issue",
         "Could not read this file: FFmpeg met a state it does not expect (likely damage)."},
        {"Internal bug, should not have happened",
         "Could not read this file: FFmpeg met a state it does not expect (likely damage)."},
        {"Unknown error occurred", "Could not read this file: the probe tool gave no reason."},
    };
    for (const Plain& plain : kPlain)
        if (plain.library == toolError)
            return std::string(plain.sentence);
    return "Could not read this file: " + toolError;
}

// How many bytes the streams say they hold, where the document knows: Matroska's statistics
// tags count each track's bytes (NUMBER_OF_BYTES), and MP4 and QuickTime bit rates come from
// their sample tables, so bit rate × duration is the size of the samples. Other containers'
// rates are estimates and say nothing here.
std::optional<double> declaredStreamBytes(const JSON& document)
{
    const std::string formats = document["format"]["format_name"].stringValue();
    const bool sampleTables =
        formats.find("mp4") != std::string::npos || formats.find("mov") != std::string::npos;
    double total = 0.0;
    bool known = false;
    for (const auto& [position, stream] : document["streams"]) {
        (void)position;
        std::optional<double> bytes;
        for (const auto& [tag, value] : stream["tags"]) {
            if (tag == "NUMBER_OF_BYTES" || tag.starts_with("NUMBER_OF_BYTES-"))
                bytes = value.doubleValue();
        }
        if (!bytes && sampleTables && stream["bit_rate"].exists() && stream["duration"].exists())
            bytes = stream["bit_rate"].doubleValue() * stream["duration"].doubleValue() / 8.0;
        if (bytes && *bytes > 0) {
            total += *bytes;
            known = true;
        }
    }
    return known ? std::optional<double>(total) : std::nullopt;
}

// A file shorter than its container's header says it is: the header's size against the file's.
std::optional<FileVerdict> shorterThanDeclared(const FileProbe& probe, bool tracksShown)
{
    const std::uint64_t size = probe.fileSize.value_or(0);
    const auto& extent = probe.declaredExtent;
    if (!extent || size == 0 || extent->size <= size)
        return std::nullopt;
    const std::string declared = Utils::formatByteCount(extent->size);
    const std::string has = Utils::formatByteCount(size);
    std::string problem =
        "the file ends early: its header says " + declared + ", the file has " + has;
    std::string message =
        "This file ends early: its header says it holds " + declared + " but the file has " + has;
    if (tracksShown) {
        message += "; what could be read is shown.";
    } else if (extent->index == false) {
        // An MP4 written in one pass keeps its index after the media data: cut, it has none.
        problem += "; its index (moov) is missing";
        message +=
            "; its index (moov), kept after the media data, is missing, so no track can "
            "be read.";
    } else {
        message += "; no track could be read.";
    }
    return verdict(FileVerdict::Kind::endsEarly, std::move(problem), std::move(message));
}

}  // namespace

FileVerdict accessVerdict(const std::string& path)
{
    const Status readable = platform::checkReadable(path);
    if (readable)
        return {};
    const auto kind = readable.kind() == ErrorKind::notFound ? FileVerdict::Kind::missing
                                                             : FileVerdict::Kind::unreadable;
    return verdict(kind, readable.error(), "Could not open this file: " + readable.error());
}

FileVerdict fileVerdict(const std::string& path, const FileProbe& probe)
{
    if (!probe.toolProblem.empty())
        return verdict(FileVerdict::Kind::toolFailed, probe.toolProblem,
                       asSentence(probe.toolProblem));

    if (probe.hasErrors) {
        // The record cannot tell a missing file from an empty one (both have size 0), nor a
        // file the tool may not open from one it cannot make sense of: the path can.
        FileVerdict access = accessVerdict(path);
        if (!access.isGood())
            return access;
        if (probe.fileSize.value_or(0) == 0)
            return verdict(FileVerdict::Kind::empty, "empty file", "This file is empty.");
        if (auto cut = shorterThanDeclared(probe, false))
            return std::move(*cut);
        if (probe.toolError.empty())
            return verdict(FileVerdict::Kind::toolError, "the probe tool could not read it",
                           "Could not read this file.");
        return verdict(FileVerdict::Kind::toolError,
                       "the probe tool could not read it: " + probe.toolError,
                       unreadableMessage(probe.toolError));
    }

    if (!probe.isValidMediaFile) {
        std::string message;
        if (!probe.json)
            message = "Not a media file: the probe tool gave no description of it.";
        else if (probe.numberOfTracks > 0)
            message = "Not counted as a media file: its name ends in .txt.";
        else
            message = "Not a media file: the probe tool found no streams in it.";
        return verdict(FileVerdict::Kind::notMedia, "not a media file", std::move(message));
    }

    // A file cut short (an interrupted copy or download) still shows what could be read; the
    // verdict says why the rest is missing. The header's own size is exact; the tracks' sizes
    // get a little slack for rounding of the rates.
    if (auto cut = shorterThanDeclared(probe, true))
        return std::move(*cut);
    const std::uint64_t size = probe.fileSize.value_or(0);
    if (const auto declared = probe.json ? declaredStreamBytes(*probe.json) : std::nullopt;
        declared && size > 0 && *declared > static_cast<double>(size) * 1.02 + 4096.0) {
        const std::string holds = Utils::formatByteCount(static_cast<std::uint64_t>(*declared));
        const std::string has = Utils::formatByteCount(size);
        return verdict(FileVerdict::Kind::endsEarly,
                       "the file ends early: its tracks hold " + holds + ", the file " + has,
                       "This file ends early: its tracks hold " + holds + " but the file has " +
                           has + "; what could be read is shown.");
    }
    return {};
}

}  // namespace vellinor
