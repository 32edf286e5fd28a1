#include "probe/field_explanations.h"

#include <algorithm>
#include <array>

#include "format/unicode_lower.h"

namespace vellinor {
namespace {

// The flags of a stream's "disposition" (shown as "<flag>.disposition").
constexpr FieldExplanation kDispositions[] = {
    {"default", "1 when players should pick this track unless the viewer chooses another.",
     FactGroup::flags, "Default track", FactFormat::words},
    {"forced",
     "1 when the track must be shown even when subtitles are off (such as signs or foreign "
     "dialogue).",
     FactGroup::flags, "Forced", FactFormat::words},
    {"dub", "1 when the track is a dubbed language version.", FactGroup::flags, "Dubbed",
     FactFormat::words},
    {"original", "1 when the track is in the original language of the work.", FactGroup::flags,
     "Original language", FactFormat::words},
    {"comment", "1 when the track is a commentary.", FactGroup::flags, "Commentary",
     FactFormat::words},
    {"lyrics", "1 when the track holds song lyrics.", FactGroup::flags, "Lyrics",
     FactFormat::words},
    {"karaoke", "1 when the track is meant for karaoke.", FactGroup::flags, "Karaoke",
     FactFormat::words},
    {"hearing_impaired",
     "1 when the track is for viewers who are hard of hearing (captions naming sounds).",
     FactGroup::flags, "For the hard of hearing", FactFormat::words},
    {"visual_impaired", "1 when the track is for viewers with impaired sight (audio description).",
     FactGroup::flags, "For the visually impaired", FactFormat::words},
    {"clean_effects", "1 when the audio track holds only effects and music, no speech.",
     FactGroup::flags, "Clean effects", FactFormat::words},
    {"attached_pic", "1 when the stream is a single picture such as cover art, not a video.",
     FactGroup::flags, "Attached picture", FactFormat::words},
    {"timed_thumbnails",
     "1 when the stream holds thumbnail pictures at intervals through the file.", FactGroup::flags,
     "Timed thumbnails", FactFormat::words},
    {"captions", "1 when the subtitles are captions for the hard of hearing.", FactGroup::flags,
     "Captions", FactFormat::words},
    {"descriptions",
     "1 when the track describes what happens on screen, for viewers who cannot see it.",
     FactGroup::flags, "Descriptions", FactFormat::words},
    {"metadata", "1 when the track holds data about the file rather than content to play.",
     FactGroup::flags, "Metadata", FactFormat::words},
    {"dependent", "1 when the track only makes sense together with another one.", FactGroup::flags,
     "Dependent", FactFormat::words},
    {"still_image", "1 when the video is a still picture.", FactGroup::flags, "Still image",
     FactFormat::words},
    {"non_diegetic",
     "1 when the audio is not heard by the characters on screen (such as a narrator).",
     FactGroup::flags, "Non-diegetic", FactFormat::words},
};

// Tags (shown as "<tag>.tags"); matched without regard to case.
constexpr FieldExplanation kTags[] = {
    {"language", "Language of the track as an ISO 639 code (eng, fre); und when undetermined."},
    {"title", "Name given to the track or the file."},
    {"handler_name",
     "Name the writing program gave the track's handler in an MP4 or QuickTime file."},
    {"vendor_id", "Four-character code of the program or company that wrote the track."},
    {"encoder", "Program or library that encoded the track or wrote the file."},
    {"creation_time", "When the file or track was made, as stored in it."},
    {"major_brand",
     "MP4 brand the file declares first: the standard it follows (isom, mp42, M4V)."},
    {"minor_version", "Version of the MP4 brand the file declares."},
    {"compatible_brands", "Other MP4 brands the file says it also follows."},
    {"rotate", "Clockwise rotation to apply to the picture on display, in degrees."},
    {"duration", "Length of the track as the writing program stored it in a tag (Matroska)."},
    {"bps",
     "Average bit rate of the track in bits per second, as counted by the writing program "
     "(Matroska statistics)."},
    {"number_of_frames",
     "Frames (or packets) in the track, as counted by the writing program (Matroska statistics)."},
    {"number_of_bytes",
     "Bytes in the track, as counted by the writing program (Matroska statistics)."},
    {"_statistics_writing_app", "Program that counted the Matroska statistics tags."},
    {"_statistics_writing_date_utc", "When the Matroska statistics tags were counted."},
    {"_statistics_tags", "Names of the tags that hold Matroska statistics."},
    {"mimetype", "Media type of an attached file (image/jpeg, font/ttf)."},
    {"artist", "Performer or author of the work."},
    {"album", "Album the work belongs to."},
    {"date", "Date of the work, such as its year of release."},
    {"genre", "Genre of the work."},
    {"comment", "Free-text comment stored in the file."},
    {"copyright", "Copyright notice stored in the file."},
    {"track", "Number of the track within its album or series."},
    {"media_type", "iTunes kind of media as a number (9 for a movie, 10 for a TV show)."},
};

std::optional<std::string> find(std::span<const FieldExplanation> table, std::string_view field)
{
    const auto it = std::find_if(table.begin(), table.end(),
                                 [field](const FieldExplanation& e) { return e.field == field; });
    if (it == table.end())
        return std::nullopt;
    return std::string(it->text);
}

bool endsWith(std::string_view text, std::string_view suffix)
{
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

// "BPS-eng" -> "BPS": mkvmerge may name statistics tags with a language suffix.
std::string_view withoutLanguageSuffix(std::string_view tag)
{
    const auto dash = tag.rfind('-');
    if (dash != std::string_view::npos && dash > 0 && tag.size() - dash - 1 == 3)
        return tag.substr(0, dash);
    return tag;
}

}  // namespace

std::optional<std::string> explainField(std::string_view key)
{
    constexpr std::string_view dispositionSuffix = ".disposition";
    constexpr std::string_view tagSuffix = ".tags";
    if (endsWith(key, dispositionSuffix))
        return find(kDispositions, key.substr(0, key.size() - dispositionSuffix.size()));
    if (endsWith(key, tagSuffix)) {
        std::string_view tag = key.substr(0, key.size() - tagSuffix.size());
        // "<field>.<entry>.tags" come from an iTunes movie-information tag.
        if (tag.find('.') != std::string_view::npos)
            return std::string("Part of the iTunes movie information stored in the file.");
        if (auto text = find(kTags, unicode::toLower(tag)))
            return text;
        if (auto text = find(kTags, unicode::toLower(withoutLanguageSuffix(tag))))
            return text;
        if (tag.empty())
            return std::nullopt;
        return std::string("A tag stored in the file by the program that wrote it.");
    }
    return find(fieldCatalogue(), key);
}

std::span<const FieldExplanation> streamFieldExplanations()
{
    return fieldCatalogue();
}
std::span<const FieldExplanation> dispositionExplanations()
{
    return kDispositions;
}
std::span<const FieldExplanation> tagExplanations()
{
    return kTags;
}

}  // namespace vellinor
