#pragma once

// The facts of a track as a person reads them at a glance: grouped by meaning (Codec, Picture,
// Colour and HDR, Timing, Sound, Flags, Tags, Side data), with human names, units and words
// ("192 kb/s", "48.0 kHz", "10 bits", "4:2:0", "Interlaced, top field first"), defaults and
// zero flags left out. One table here names every field the probe tool prints: its group, its
// name, how its value reads and what it means (the explanations of field_explanations.h come
// from the same table). The window's Facts view, `vellinor-cli facts` and the one-line track
// summaries all read their facts from here.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "json/json.h"
#include "probe/file_probe.h"
#include "probe/hdr_facts.h"

namespace vellinor {

// In the order the groups are shown.
enum class FactGroup { container, codec, picture, colour, timing, sound, flags, tags, sideData };

// "Container", "Codec", "Picture", "Colour and HDR", "Timing", "Sound", "Flags", "Tags",
// "Side data".
std::string_view factGroupName(FactGroup group);

// How a field's value reads as a fact.
enum class FactFormat {
    hidden,      // explained, but no fact of its own (read by a rule below, or too technical)
    text,        // the value as it stands
    count,       // a whole number; 0 left out
    pixels,      // "1920 pixels"
    bitRate,     // "192 kb/s", "15.2 Mb/s"; 0 left out
    sampleRate,  // "48.0 kHz", "22.05 kHz"
    bits,        // "24 bits"; 0 left out
    seconds,     // "00:01:30.500"
    byteCount,   // "4.38 GB (4380123456 bytes)"
    channels,    // "6 channels"
    words,       // a word table of the rule (colour range, scan type, sample format, ...)
};

// One row of the table: a field of a stream or of the container, with its group, its human name
// and what it means. `field` and `text` are what field_explanations.h calls a FieldExplanation.
struct CatalogueEntry {
    // Only `field` and `text` for a field that is explained but shows no fact of its own.
    constexpr CatalogueEntry(std::string_view field_, std::string_view text_,
                             FactGroup group_ = FactGroup::codec, std::string_view name_ = {},
                             FactFormat format_ = FactFormat::hidden)
        : field(field_), text(text_), group(group_), name(name_), format(format_)
    {
    }

    std::string_view field;  // as the probe tool names it: "bit_rate", "color_range"
    std::string_view text;   // the explanation: one line, ending in a full stop
    FactGroup group = FactGroup::codec;
    std::string_view name;  // the fact's name ("Bit rate"); empty for hidden fields
    FactFormat format = FactFormat::hidden;
};

// Every stream and container field of the table, in the order their facts are shown.
std::span<const CatalogueEntry> fieldCatalogue();

// One fact as shown.
struct Fact {
    FactGroup group = FactGroup::codec;
    std::string name;   // "Bit rate"
    std::string value;  // "192 kb/s"; may hold several lines (a tag, side data)
    // Where it comes from, in the probe tool's words: "bit_rate", "tag NUMBER_OF_FRAMES",
    // "pix_fmt yuv420p10le", "bit_rate and duration". A fact read from another field than its
    // own, or worked out, has a source other than its key.
    std::string source;
    // The details key it stands for, for its explanation ("bit_rate", "BPS.tags",
    // "default.disposition", "pix_fmt").
    std::string key;

    friend bool operator==(const Fact&, const Fact&) = default;
};

// The facts of one stream of the probe document, grouped and in the order shown. `format` is
// the document's "format" object (for the share of the file). `hdr`: the HDR facts Vellinor
// found for a video stream (its first frame included), if any.
std::vector<Fact> streamFacts(const JSON& stream, const JSON& format,
                              const std::optional<HdrFacts>& hdr);

// The facts of a track of `probe` (its stream in the probe document).
std::vector<Fact> trackFacts(const FileProbe& probe, const TrackInfo& track);

// The facts of the container: format, size, overall bit rate, duration, writing application and
// library, the container's tags.
std::vector<Fact> containerFacts(const FileProbe& probe);

// A track in one line: "AC-3, 384 kb/s, 48 kHz, 5.1"; "HEVC Main 10, 3840x2160, 23.976 fps,
// 10 bits, 4:2:0, HDR10"; its title in quotes and "Default" / "Forced" at the end.
std::string streamSummary(const JSON& stream, const std::optional<HdrFacts>& hdr);
std::string trackSummary(const FileProbe& probe, const TrackInfo& track);

// Value formats shared with the summaries; exposed for their tests.
namespace facts_text {
// "500 b/s", "192 kb/s", "9718 kb/s", "15.2 Mb/s".
std::string bitRate(std::int64_t bitsPerSecond);
// A UID given in hexadecimal digits, as "317837194758116655621432773446108564871
// (0xEF1D3792B77AE458159FCE441079CD87)".
std::string uniqueId(std::string_view hex);
// "48.0 kHz", "44.1 kHz", "22.05 kHz", "11.025 kHz".
std::string sampleRate(std::int64_t hertz);

// What a pixel format name says of its samples: yuv420p10le is YUV, 10 bits, 4:2:0.
struct PixelLayout {
    std::string model;   // "YUV", "RGB", "Grey", "Palette"
    int bitDepth = 0;    // 0 when unknown
    std::string chroma;  // "4:2:0"; empty when not subsampled YUV-like
};
std::optional<PixelLayout> pixelLayout(std::string_view pixFmt);

// "Progressive", "Interlaced, top field first", ...; empty for unknown orders.
std::string scanType(std::string_view fieldOrder);
}  // namespace facts_text

}  // namespace vellinor
