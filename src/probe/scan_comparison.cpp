#include "probe/scan_comparison.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <string>

#include "format/utils.h"

namespace vellinor {
namespace {

const StreamScanFacts* streamWithIndex(const ScanResult& scan, std::int64_t index)
{
    for (const StreamScanFacts& stream : scan.streams)
        if (stream.index == index)
            return &stream;
    return nullptr;
}

std::vector<std::string> contentHashes(const ScanResult& scan)
{
    std::vector<std::string> hashes;
    for (const StreamScanFacts& stream : scan.streams)
        hashes.push_back(stream.md5.value_or(""));
    return hashes;
}

class ScanRows {
public:
    ScanRows(Comparison& comparison, const std::vector<std::shared_ptr<const ScanResult>>& scans)
        : m_comparison(comparison), m_scans(scans)
    {
    }

    void add(const std::string& track, const std::string& fact,
             const std::function<ComparisonCell(const ScanResult&)>& cellOf)
    {
        ComparisonRow row{track, fact, {}, {}, false};
        std::optional<ComparisonCell> first;
        for (std::size_t i = 0; i < m_scans.size(); ++i) {
            const bool taken = m_scans[i] != nullptr && m_comparison.files[i].isProbed();
            ComparisonCell cell = taken ? cellOf(*m_scans[i]) : std::nullopt;
            if (taken) {
                if (!first)
                    first = cell;
                else if (*first != cell)
                    row.differs = true;
            }
            row.cells.push_back(std::move(cell));
        }
        // A fact no file has (the loudness of a video stream) makes no row.
        if (std::all_of(row.cells.begin(), row.cells.end(),
                        [](const ComparisonCell& cell) { return !cell || cell->empty(); }))
            return;
        m_comparison.rows.push_back(std::move(row));
    }

private:
    Comparison& m_comparison;
    const std::vector<std::shared_ptr<const ScanResult>>& m_scans;
};

}  // namespace

void appendScanRows(Comparison& comparison,
                    const std::vector<std::shared_ptr<const ScanResult>>& scans)
{
    if (scans.size() != comparison.files.size())
        return;
    std::size_t scanned = 0;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        if (!comparison.files[i].isProbed())
            continue;
        if (scans[i] == nullptr)
            return;
        ++scanned;
    }
    if (scanned < 2)
        return;

    ScanRows rows(comparison, scans);
    const std::string fileTrack(kScanTrack);
    rows.add(fileTrack, "Verdict", [](const ScanResult& scan) -> ComparisonCell {
        return scanVerdictLines(scan).front();
    });
    rows.add(fileTrack, "Decoded duration", [](const ScanResult& scan) -> ComparisonCell {
        return scan.duration ? Utils::formatDuration(*scan.duration) : std::string();
    });

    std::vector<std::int64_t> indexes;
    for (const auto& scan : scans)
        if (scan != nullptr)
            for (const StreamScanFacts& stream : scan->streams)
                if (std::find(indexes.begin(), indexes.end(), stream.index) == indexes.end())
                    indexes.push_back(stream.index);
    std::sort(indexes.begin(), indexes.end());
    for (const std::int64_t index : indexes) {
        const std::string track = fileTrack + " " + std::to_string(index);
        auto fact = [index](const std::function<std::string(const StreamScanFacts&)>& text) {
            return [index, text](const ScanResult& scan) -> ComparisonCell {
                const StreamScanFacts* stream = streamWithIndex(scan, index);
                if (stream == nullptr)
                    return std::nullopt;
                return text(*stream);
            };
        };
        rows.add(track, "Stream", fact([](const StreamScanFacts& stream) {
                     return stream.kind + " " + stream.codec;
                 }));
        rows.add(track, "Decoded", fact([](const StreamScanFacts& stream) {
                     return stream.isVideo()
                                ? fmt::format("{} frames", stream.frames.value_or(0))
                                : fmt::format("{} samples", stream.samples.value_or(0));
                 }));
        rows.add(track, "Loudness", fact([](const StreamScanFacts& stream) {
                     return stream.loudness ? loudnessText(*stream.loudness) : std::string();
                 }));
        rows.add(track, "Content MD5",
                 fact([](const StreamScanFacts& stream) { return stream.md5.value_or(""); }));
    }

    // The content is the same when every scanned file has the same stream hashes (a file with
    // a stream that gave no hash proves nothing).
    std::optional<std::vector<std::string>> reference;
    bool same = true;
    for (std::size_t i = 0; i < scans.size(); ++i) {
        if (scans[i] == nullptr || !comparison.files[i].isProbed())
            continue;
        const auto hashes = contentHashes(*scans[i]);
        if (hashes.empty() || std::find(hashes.begin(), hashes.end(), "") != hashes.end())
            same = false;
        if (!reference)
            reference = hashes;
        else if (hashes != *reference)
            same = false;
    }
    rows.add(fileTrack, "Content", [same](const ScanResult&) -> ComparisonCell {
        return std::string(same ? kSameContent : kDifferentContent);
    });
    comparison.rows.back().differs = !same;
}

}  // namespace vellinor
