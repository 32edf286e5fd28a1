#include "probe/embedded_files.h"

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "format/utils.h"
#include "probe/attachment_names.h"
#include "probe/embedded_listing.h"
#include "probe/file_probe.h"
#include "probe/sniffer_mode.h"
#include "probe/tool_arguments.h"
#include "probe/tool_runner.h"

namespace vellinor {
namespace {

namespace listing = embedded_listing;

// The reader gives up opening after 5 s; this is for a child that does not.
constexpr std::chrono::milliseconds kReaderTimeout{15'000};
// Room for the item fields around the items' bytes.
constexpr std::size_t kListingOverheadBytes = std::size_t{1} << 20;

// One item as the listing gives it.
struct ListedItem {
    bool isPicture = false;
    std::string name;
    std::string mimeType;
    std::string codec;
    std::string title;
    std::string comment;
    std::uint64_t size = 0;
    std::optional<std::string> data;
    std::string leftOut;
};

// ID3 and FLAC pictures keep their description as "title" and their picture type ("Cover
// (front)") as "comment"; Matroska attachments their description as "title".
std::string descriptionOf(const ListedItem& item)
{
    const std::string& title = item.title;
    const std::string& comment = item.comment;
    if (title.empty() || comment == title)
        return comment.empty() ? title : comment;
    return comment.empty() ? title : title + " \xE2\x80\x94 " + comment;
}

EmbeddedFile embeddedFileOf(ListedItem& item)
{
    EmbeddedFile file;
    file.isPicture = item.isPicture;
    file.name = item.name;
    file.mimeType = item.mimeType.empty() ? mimeTypeOfCodec(item.codec) : item.mimeType;
    file.description = descriptionOf(item);
    file.extension = extensionForMimeType(file.mimeType);
    file.bytes = std::move(*item.data);
    return file;
}

std::string mebibytes(std::uint64_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

// "picture 3" or "attachment 2 "Font.ttf"", with its size.
std::string itemTitle(const ListedItem& item, std::size_t number)
{
    std::string title = std::string(item.isPicture ? listing::kPicture : listing::kAttachment) +
                        " " + std::to_string(number);
    if (!item.name.empty())
        title += " \xE2\x80\x9C" + item.name + "\xE2\x80\x9D";
    return title + " (" + Utils::formatByteCount(item.size) + ")";
}

std::string leftOutProblem(const ListedItem& item, std::size_t number)
{
    if (item.leftOut == listing::kItemLimit)
        return itemTitle(item, number) + " is larger than the " +
               mebibytes(listing::kMaxItemBytes) + " an embedded item may take; it is left out";
    return itemTitle(item, number) + " is left out: the embedded items of one file may take " +
           mebibytes(listing::kMaxFileBytes) + " in all";
}

std::string failureReason(std::string_view failure)
{
    if (failure == listing::kTimeout)
        return "reading it took longer than 5 s";
    if (failure == listing::kOutOfMemory)
        return "reading it needs more memory than the " + mebibytes(listing::kReaderMemoryBytes) +
               " its reader may use";
    return "not a media file";
}

std::optional<std::uint64_t> sizeOf(std::string_view text)
{
    std::uint64_t value = 0;
    const auto [stop, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || stop != text.data() + text.size())
        return std::nullopt;
    return value;
}

}  // namespace

Expected<EmbeddedReading> readEmbeddedListing(std::string_view text, bool picturesOnly)
{
    std::vector<ListedItem> items;
    std::vector<std::string> lost;
    bool ended = false;
    listing::FieldReader reader(text);
    while (const auto field = reader.next()) {
        const auto [key, value] = *field;
        if (key == "failure")
            return Unexpected(failureReason(value));
        if (key == "end") {
            ended = true;
            break;
        }
        if (key == "lost") {
            lost.emplace_back(value);
            continue;
        }
        if (key == "item") {
            items.emplace_back().isPicture = value == listing::kPicture;
            continue;
        }
        if (items.empty())
            continue;  // an item field before any item: nothing to give it to
        ListedItem& item = items.back();
        if (key == "name")
            item.name = value;
        else if (key == "mimetype")
            item.mimeType = value;
        else if (key == "codec")
            item.codec = value;
        else if (key == "title")
            item.title = value;
        else if (key == "comment")
            item.comment = value;
        else if (key == "size")
            item.size = sizeOf(value).value_or(0);
        else if (key == "data")
            item.data = std::string(value);
        else if (key == "leftout")
            item.leftOut = value;
    }
    if (!ended && items.empty())
        return Unexpected(std::string("the probe tool printed no listing of embedded items"));

    EmbeddedReading reading;
    for (std::size_t i = 0; i < items.size(); ++i) {
        ListedItem& item = items[i];
        if (picturesOnly && !item.isPicture)
            continue;
        if (item.data)
            reading.files.push_back(embeddedFileOf(item));
        else if (!item.leftOut.empty())
            reading.problems.push_back(leftOutProblem(item, i + 1));
        else
            reading.problems.push_back(itemTitle(item, i + 1) + " came without its bytes");
    }
    for (const std::string& message : lost)
        reading.problems.push_back(
            "an embedded item could not be read: it needs more memory than its reader may "
            "take (" +
            message + ")");
    if (!ended)
        reading.problems.emplace_back(
            "the reading stopped before its end; the items after these may be missing");
    return reading;
}

namespace {

Expected<EmbeddedReading> readEmbedded(const std::string& path, ToolRunner* runner,
                                       bool picturesOnly)
{
    // A pipe or a device would make the reader wait or read forever.
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(path, error))
        return Unexpected(std::string("not a regular file"));

    ModeRequest request;
    request.path = path;
    request.timeout = kReaderTimeout;
    request.maxOutputBytes = listing::kMaxFileBytes + kListingOverheadBytes;
    request.arguments = {"--memory-limit", std::to_string(listing::kReaderMemoryBytes),
                         "--embedded"};
    if (picturesOnly)
        request.arguments.emplace_back("--pictures-only");
    request.arguments.push_back(toolFilePath(path));
    ToolRun run = runner != nullptr ? runner->runMode(request) : runSnifferMode(request);

    auto reading = readEmbeddedListing(run.output, picturesOnly);
    if (run.status)
        return reading;
    // A reader that crashed or ran out of time: what it listed before stays, the rest is said.
    if (!reading || reading->files.empty())
        return Unexpected(run.status.failure());
    reading->problems.push_back(run.status.error());
    return reading;
}

}  // namespace

bool mayHoldEmbeddedFiles(const FileProbe& probe)
{
    if (!probe.json)
        return false;
    for (const auto& [position, stream] : (*probe.json)["streams"]) {
        if (stream["codec_type"].stringValue() == "attachment" ||
            stream[{"disposition", "attached_pic"}].intOptional().value_or(0) != 0)
            return true;
    }
    return false;
}

Expected<EmbeddedReading> embeddedFiles(const std::string& path, ToolRunner* runner)
{
    return readEmbedded(path, runner, false);
}

EmbeddedReading embeddedPictures(const std::string& path, ToolRunner* runner)
{
    auto reading = readEmbedded(path, runner, true);
    return reading ? std::move(*reading) : EmbeddedReading{};
}

}  // namespace vellinor
