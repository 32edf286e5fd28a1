#include "probe/hdr_facts.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

#include "format/utils.h"
#include "probe/probe_text.h"

namespace vellinor {
namespace {

using probe_detail::isText;

// ffprobe's side data names.
constexpr std::string_view kMasteringDisplay = "Mastering display metadata";
constexpr std::string_view kContentLightLevel = "Content light level metadata";
constexpr std::string_view kDolbyVision = "DOVI configuration record";
constexpr std::string_view kHdr10Plus = "HDR Dynamic Metadata SMPTE2094-40 (HDR10+)";

constexpr std::string_view kPq = "smpte2084";
constexpr std::string_view kHlg = "arib-std-b67";

using NameTable = std::array<std::pair<std::string_view, std::string_view>, 16>;

// The tool's names (libavutil's) and the names people know them by.
constexpr NameTable kPrimariesNames{{
    {"bt709", "BT.709"},
    {"bt470m", "BT.470 System M"},
    {"bt470bg", "BT.601 PAL"},
    {"smpte170m", "BT.601 NTSC"},
    {"smpte240m", "SMPTE 240M"},
    {"film", "Generic film"},
    {"bt2020", "BT.2020"},
    {"smpte428", "SMPTE ST 428 (XYZ)"},
    {"smpte431", "DCI-P3"},
    {"smpte432", "Display P3"},
    {"jedec-p22", "EBU Tech 3213"},
    {"ebu3213", "EBU Tech 3213"},
}};
constexpr NameTable kTransferNames{{
    {"bt709", "BT.709"},
    {"gamma22", "Gamma 2.2"},
    {"gamma28", "Gamma 2.8"},
    {"smpte170m", "BT.601"},
    {"smpte240m", "SMPTE 240M"},
    {"linear", "Linear"},
    {"log100", "Logarithmic 100:1"},
    {"log316", "Logarithmic 316:1"},
    {"iec61966-2-4", "xvYCC"},
    {"bt1361e", "BT.1361"},
    {"iec61966-2-1", "sRGB"},
    {"bt2020-10", "BT.2020 10-bit"},
    {"bt2020-12", "BT.2020 12-bit"},
    {"smpte2084", "PQ"},
    {"smpte428", "SMPTE ST 428"},
    {"arib-std-b67", "HLG"},
}};
constexpr NameTable kMatrixNames{{
    {"gbr", "RGB"},
    {"bt709", "BT.709"},
    {"fcc", "FCC"},
    {"bt470bg", "BT.601 PAL"},
    {"smpte170m", "BT.601 NTSC"},
    {"smpte240m", "SMPTE 240M"},
    {"ycgco", "YCgCo"},
    {"bt2020nc", "BT.2020 non-constant luminance"},
    {"bt2020c", "BT.2020 constant luminance"},
    {"smpte2085", "SMPTE ST 2085"},
    {"chroma-derived-nc", "Chromaticity-derived non-constant luminance"},
    {"chroma-derived-c", "Chromaticity-derived constant luminance"},
    {"ictcp", "ICtCp"},
}};

std::string namedText(const NameTable& table, std::string_view name)
{
    std::string text(name);
    for (const auto& [tool, common] : table) {
        if (!tool.empty() && tool == name) {
            text += " (";
            text += common;
            text += ")";
            break;
        }
    }
    return text;
}

// "unknown", "reserved" and absent all mean the stream does not say.
std::string knownName(const JSON& value)
{
    auto text = value.string();
    if (!text || text->empty() || *text == "unknown" || *text == "reserved" ||
        *text == "unspecified")
        return {};
    return *text;
}

// ffprobe prints these values as "34000/50000" texts.
std::optional<double> fraction(const JSON& value)
{
    std::optional<double> result;
    if (auto text = value.string())
        result = Utils::evaluateFrameRate(*text);
    else
        result = value.doubleOptional();
    if (!result || !std::isfinite(*result))
        return std::nullopt;
    return result;
}

std::optional<Chromaticity> chromaticity(const JSON& entry, std::string_view name)
{
    std::string prefix(name);
    auto x = fraction(entry[prefix + "_x"]);
    auto y = fraction(entry[prefix + "_y"]);
    if (!x || !y)
        return std::nullopt;
    return Chromaticity{*x, *y};
}

MasteringDisplay masteringDisplay(const JSON& entry)
{
    MasteringDisplay display;
    display.red = chromaticity(entry, "red");
    display.green = chromaticity(entry, "green");
    display.blue = chromaticity(entry, "blue");
    display.whitePoint = chromaticity(entry, "white_point");
    display.minLuminance = fraction(entry["min_luminance"]);
    display.maxLuminance = fraction(entry["max_luminance"]);
    return display;
}

void addSideData(HdrFacts& facts, const JSON& list)
{
    for (const auto& [position, entry] : list) {
        const JSON type = entry["side_data_type"];
        if (isText(type, kMasteringDisplay) && !facts.masteringDisplay) {
            facts.masteringDisplay = masteringDisplay(entry);
        } else if (isText(type, kContentLightLevel) && !facts.contentLightLevel) {
            facts.contentLightLevel =
                ContentLightLevel{entry["max_content"].intOptional().value_or(0),
                                  entry["max_average"].intOptional().value_or(0)};
        } else if (isText(type, kDolbyVision) && !facts.dolbyVision) {
            DolbyVisionConfiguration dovi;
            dovi.profile = entry["dv_profile"].intOptional().value_or(0);
            dovi.level = entry["dv_level"].intOptional().value_or(0);
            dovi.compatibilityId = entry["dv_bl_signal_compatibility_id"].intOptional().value_or(0);
            dovi.rpu = entry["rpu_present_flag"].intOptional().value_or(0) != 0;
            dovi.enhancementLayer = entry["el_present_flag"].intOptional().value_or(0) != 0;
            dovi.baseLayer = entry["bl_present_flag"].intOptional().value_or(0) != 0;
            facts.dolbyVision = dovi;
        } else if (isText(type, kHdr10Plus)) {
            facts.hdr10Plus = true;
        }
    }
}

// More than 8 bits per component: "yuv420p10le", "p010le", "yuv444p12be", "gbrp16le", ...
bool isHighBitDepth(std::string_view pixelFormat)
{
    constexpr std::array<std::string_view, 8> kMarkers{"p10",  "p12",  "p14",  "p16",
                                                       "p010", "p016", "p210", "y210"};
    return std::any_of(kMarkers.begin(), kMarkers.end(), [&](std::string_view marker) {
        return pixelFormat.find(marker) != std::string_view::npos;
    });
}

// What a player without Dolby Vision shows of the base layer.
std::string_view compatibilityText(std::int64_t id)
{
    switch (id) {
        case 1:
        case 6:  // the Blu-ray form: HDR10 as well
            return "HDR10 compatible";
        case 2:
            return "SDR compatible";
        case 4:
            return "HLG compatible";
        default:
            return {};
    }
}

// Up to `digits` fraction digits, trailing zeros dropped: 0.68, 0.3127, 1000.
std::string decimal(double value, int digits)
{
    std::array<char, 64> buffer{};
    std::snprintf(buffer.data(), buffer.size(), "%.*f", digits, value);
    std::string text(buffer.data());
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

std::string pointText(const Chromaticity& point)
{
    return "x " + decimal(point.x, 4) + ", y " + decimal(point.y, 4);
}

struct KnownGamut {
    std::string_view name;
    Chromaticity red, green, blue;
};

constexpr std::array<KnownGamut, 3> kKnownGamuts{{
    {"BT.2020", {0.708, 0.292}, {0.170, 0.797}, {0.131, 0.046}},
    {"Display P3", {0.680, 0.320}, {0.265, 0.690}, {0.150, 0.060}},
    {"BT.709", {0.640, 0.330}, {0.300, 0.600}, {0.150, 0.060}},
}};

bool near(const Chromaticity& a, const Chromaticity& b)
{
    // Matroska stores the coordinates as floats; 0.0005 covers its rounding and no more.
    return std::abs(a.x - b.x) < 0.0005 && std::abs(a.y - b.y) < 0.0005;
}

std::string primariesOfDisplay(const MasteringDisplay& display)
{
    if (!display.red || !display.green || !display.blue)
        return {};
    std::string text;
    for (const KnownGamut& gamut : kKnownGamuts) {
        if (near(*display.red, gamut.red) && near(*display.green, gamut.green) &&
            near(*display.blue, gamut.blue)) {
            text = std::string(gamut.name) + ": ";
            break;
        }
    }
    text += "R " + pointText(*display.red) + "; G " + pointText(*display.green) + "; B " +
            pointText(*display.blue);
    return text;
}

std::string whitePointText(const Chromaticity& point)
{
    std::string text = near(point, {0.3127, 0.3290}) ? "D65: " : "";
    return text + pointText(point);
}

std::string candelas(double value, int digits)
{
    return decimal(value, digits) + " cd/m²";
}

JSON pointRecord(const std::optional<Chromaticity>& point)
{
    if (!point)
        return JSON();
    return JSON::dictionary({{"x", JSON(point->x)}, {"y", JSON(point->y)}});
}

JSON optionalNumber(const std::optional<double>& value)
{
    return value ? JSON(*value) : JSON();
}

JSON nameOrNull(const std::string& name)
{
    return name.empty() ? JSON() : JSON(name);
}

JSON commonNameOrNull(const NameTable& table, const std::string& name)
{
    for (const auto& [tool, common] : table)
        if (!tool.empty() && tool == name)
            return JSON(std::string(common));
    return JSON();
}

}  // namespace

bool hasHdrFacts(const JSON& stream)
{
    return isText(stream["codec_type"], "video") &&
           stream[{"disposition", "attached_pic"}].intOptional().value_or(0) == 0;
}

HdrFacts hdrFactsOf(const JSON& stream)
{
    HdrFacts facts;
    facts.primaries = knownName(stream["color_primaries"]);
    facts.transfer = knownName(stream["color_transfer"]);
    facts.matrix = knownName(stream["color_space"]);
    addSideData(facts, stream["side_data_list"]);
    return facts;
}

void addFirstFrameFacts(HdrFacts& facts, const JSON& frame)
{
    facts.readFirstFrame = true;
    if (facts.primaries.empty())
        facts.primaries = knownName(frame["color_primaries"]);
    if (facts.transfer.empty())
        facts.transfer = knownName(frame["color_transfer"]);
    if (facts.matrix.empty())
        facts.matrix = knownName(frame["color_space"]);
    addSideData(facts, frame["side_data_list"]);
}

bool needsFirstFrame(const JSON& stream, const HdrFacts& facts)
{
    if (!hasHdrFacts(stream) || facts.masteringDisplay || facts.contentLightLevel)
        return false;
    if (facts.transfer == kPq || facts.transfer == kHlg)
        return true;
    return facts.transfer.empty() && isHighBitDepth(stream["pix_fmt"].string().value_or(""));
}

std::string hdrSummary(const HdrFacts& facts)
{
    if (facts.dolbyVision) {
        std::string text = "Dolby Vision " + std::to_string(facts.dolbyVision->profile);
        if (facts.dolbyVision->compatibilityId != 0)
            text += "." + std::to_string(facts.dolbyVision->compatibilityId);
        if (auto compatible = compatibilityText(facts.dolbyVision->compatibilityId);
            !compatible.empty()) {
            text += ", ";
            text += compatible;
        }
        if (facts.hdr10Plus)
            text += ", HDR10+";
        return text;
    }
    const bool staticMetadata = facts.masteringDisplay || facts.contentLightLevel;
    if (facts.transfer == kPq) {
        if (facts.hdr10Plus)
            return "HDR10+";
        return facts.primaries.empty() || facts.primaries == "bt2020" ? "HDR10" : "PQ";
    }
    if (facts.transfer == kHlg)
        return "HLG";
    if (facts.transfer.empty() && facts.hdr10Plus)
        return "HDR10+";
    if (facts.transfer.empty() && staticMetadata)
        return "HDR10";
    return "SDR";
}

std::string primariesText(std::string_view name)
{
    return namedText(kPrimariesNames, name);
}

std::string transferText(std::string_view name)
{
    return namedText(kTransferNames, name);
}

std::string matrixText(std::string_view name)
{
    return namedText(kMatrixNames, name);
}

KeyValueRows hdrRows(const HdrFacts& facts)
{
    probe_detail::RowMap rows;
    rows["HDR"] = hdrSummary(facts);
    if (!facts.primaries.empty())
        rows["HDR color primaries"] = primariesText(facts.primaries);
    if (!facts.transfer.empty())
        rows["HDR transfer"] = transferText(facts.transfer);
    if (!facts.matrix.empty())
        rows["HDR matrix"] = matrixText(facts.matrix);
    if (const auto& display = facts.masteringDisplay) {
        if (auto text = primariesOfDisplay(*display); !text.empty())
            rows["HDR mastering display primaries"] = std::move(text);
        if (display->whitePoint)
            rows["HDR mastering display white point"] = whitePointText(*display->whitePoint);
        if (display->minLuminance && display->maxLuminance)
            rows["HDR mastering display luminance"] = "min " + candelas(*display->minLuminance, 4) +
                                                      ", max " +
                                                      candelas(*display->maxLuminance, 4);
    }
    if (const auto& light = facts.contentLightLevel) {
        rows["HDR MaxCLL"] = candelas(static_cast<double>(light->maxCll), 0);
        rows["HDR MaxFALL"] = candelas(static_cast<double>(light->maxFall), 0);
    }
    if (const auto& dovi = facts.dolbyVision) {
        std::string text = "profile " + std::to_string(dovi->profile) + ", level " +
                           std::to_string(dovi->level) + ", compatibility " +
                           std::to_string(dovi->compatibilityId);
        for (const auto& [present, layer] :
             {std::pair{dovi->rpu, "RPU"}, std::pair{dovi->baseLayer, "BL"},
              std::pair{dovi->enhancementLayer, "EL"}})
            if (present)
                text += std::string(", ") + layer;
        rows["HDR Dolby Vision"] = std::move(text);
    }
    if (facts.hdr10Plus)
        rows["HDR10+"] = facts.readFirstFrame ? "in the first frame" : "present";
    KeyValueRows result;
    for (auto& [key, value] : rows)
        result.push_back({key, std::move(value)});
    return result;
}

void setHdrRows(KeyValueRows& rows, const HdrFacts& facts)
{
    std::erase_if(rows, [](const KeyValueRow& row) { return row.key.starts_with("HDR"); });
    for (KeyValueRow& row : hdrRows(facts)) {
        auto place = std::upper_bound(
            rows.begin(), rows.end(), row.key,
            [](const std::string& key, const KeyValueRow& other) { return key < other.key; });
        rows.insert(place, std::move(row));
    }
}

JSON hdrRecord(const HdrFacts& facts)
{
    JSON mastering;
    if (const auto& display = facts.masteringDisplay)
        mastering = JSON::dictionary({{"red", pointRecord(display->red)},
                                      {"green", pointRecord(display->green)},
                                      {"blue", pointRecord(display->blue)},
                                      {"whitePoint", pointRecord(display->whitePoint)},
                                      {"minLuminance", optionalNumber(display->minLuminance)},
                                      {"maxLuminance", optionalNumber(display->maxLuminance)}});
    JSON light;
    if (const auto& level = facts.contentLightLevel)
        light = JSON::dictionary({{"maxCLL", JSON(static_cast<long long>(level->maxCll))},
                                  {"maxFALL", JSON(static_cast<long long>(level->maxFall))}});
    JSON dolbyVision;
    if (const auto& dovi = facts.dolbyVision)
        dolbyVision = JSON::dictionary(
            {{"profile", JSON(static_cast<long long>(dovi->profile))},
             {"level", JSON(static_cast<long long>(dovi->level))},
             {"compatibilityId", JSON(static_cast<long long>(dovi->compatibilityId))},
             {"rpu", JSON(dovi->rpu)},
             {"baseLayer", JSON(dovi->baseLayer)},
             {"enhancementLayer", JSON(dovi->enhancementLayer)}});
    return JSON::dictionary({
        {"summary", JSON(hdrSummary(facts))},
        {"colorPrimaries", nameOrNull(facts.primaries)},
        {"colorPrimariesName", commonNameOrNull(kPrimariesNames, facts.primaries)},
        {"colorTransfer", nameOrNull(facts.transfer)},
        {"colorTransferName", commonNameOrNull(kTransferNames, facts.transfer)},
        {"colorMatrix", nameOrNull(facts.matrix)},
        {"colorMatrixName", commonNameOrNull(kMatrixNames, facts.matrix)},
        {"masteringDisplay", std::move(mastering)},
        {"contentLightLevel", std::move(light)},
        {"dolbyVision", std::move(dolbyVision)},
        {"hdr10Plus", JSON(facts.hdr10Plus)},
        {"readFirstFrame", JSON(facts.readFirstFrame)},
    });
}

}  // namespace vellinor
