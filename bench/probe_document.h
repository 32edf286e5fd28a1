#pragma once

// The document the benchmarks read: ffprobe's -show_format -show_streams -show_chapters output
// (its JSON layout) for a file with many streams and chapters, about 2 MB. Shared so the parse
// and the derivation of a probe record are measured on the same bytes.

#include <cstddef>
#include <iterator>
#include <string>

namespace vellinor::bench {

inline constexpr int kStreams = 40;
inline constexpr int kChapters = 6000;

// Builds ffprobe's -show_format -show_streams -show_chapters output (its JSON layout) for a
// file with many streams and chapters: about 2 MB.
inline std::string makeProbeDocument()
{
    std::string out;
    out.reserve(std::size_t{3} << 20);
    out += "{\n    \"streams\": [\n";
    for (int i = 0; i < kStreams; ++i) {
        const bool video = i % 5 == 0;
        const std::string index = std::to_string(i);
        out += "        {\n";
        out += "            \"index\": " + index + ",\n";
        out += std::string("            \"codec_name\": \"") + (video ? "h264" : "aac") + "\",\n";
        out +=
            std::string("            \"codec_long_name\": \"") +
            (video ? "H.264 / AVC / MPEG-4 AVC / MPEG-4 part 10" : "AAC (Advanced Audio Coding)") +
            "\",\n";
        out += std::string("            \"profile\": \"") + (video ? "High" : "LC") + "\",\n";
        out +=
            std::string("            \"codec_type\": \"") + (video ? "video" : "audio") + "\",\n";
        out += "            \"codec_tag_string\": \"avc1\",\n";
        out += "            \"codec_tag\": \"0x31637661\",\n";
        if (video) {
            out += "            \"width\": 1920,\n            \"height\": 1080,\n";
            out += "            \"coded_width\": 1920,\n            \"coded_height\": 1088,\n";
            out += "            \"closed_captions\": 0,\n            \"film_grain\": 0,\n";
            out += "            \"has_b_frames\": 2,\n";
            out += "            \"sample_aspect_ratio\": \"1:1\",\n";
            out += "            \"display_aspect_ratio\": \"16:9\",\n";
            out += "            \"pix_fmt\": \"yuv420p\",\n            \"level\": 40,\n";
            out += "            \"chroma_location\": \"left\",\n";
            out += "            \"field_order\": \"progressive\",\n";
            out += "            \"refs\": 1,\n            \"is_avc\": \"true\",\n";
            out += "            \"nal_length_size\": \"4\",\n";
        } else {
            out += "            \"sample_fmt\": \"fltp\",\n";
            out += "            \"sample_rate\": \"48000\",\n            \"channels\": 2,\n";
            out += "            \"channel_layout\": \"stereo\",\n";
            out += "            \"bits_per_sample\": 0,\n";
        }
        out += "            \"id\": \"0x" + std::to_string(i + 1) + "\",\n";
        out += "            \"r_frame_rate\": \"24000/1001\",\n";
        out += "            \"avg_frame_rate\": \"24000/1001\",\n";
        out += "            \"time_base\": \"1/24000\",\n";
        out += "            \"start_pts\": 0,\n            \"start_time\": \"0.000000\",\n";
        out += "            \"duration_ts\": 172800000,\n";
        out += "            \"duration\": \"7200.000000\",\n";
        out += "            \"bit_rate\": \"" + std::to_string(128000 + i * 1000) + "\",\n";
        out += "            \"bits_per_raw_sample\": \"8\",\n";
        out += "            \"nb_frames\": \"172627\",\n";
        out += "            \"extradata_size\": 46,\n";
        out += "            \"disposition\": {\n";
        const char* dispositions[] = {
            "default",         "dub",           "original",     "comment",
            "lyrics",          "karaoke",       "forced",       "hearing_impaired",
            "visual_impaired", "clean_effects", "attached_pic", "timed_thumbnails",
            "captions",        "descriptions",  "metadata",     "dependent",
            "still_image"};
        for (std::size_t d = 0; d < std::size(dispositions); ++d) {
            out += std::string("                \"") + dispositions[d] +
                   "\": " + (d == 0 && i < 2 ? "1" : "0") +
                   (d + 1 < std::size(dispositions) ? ",\n" : "\n");
        }
        out += "            },\n";
        out += "            \"tags\": {\n";
        out +=
            "                \"language\": \"" + std::string(i % 3 == 0 ? "eng" : "fre") + "\",\n";
        out += "                \"handler_name\": \"Track handler " + index + "\",\n";
        out += "                \"vendor_id\": \"[0][0][0][0]\",\n";
        out += "                \"title\": \"Stream \\\"" + index + "\\\" \\u00e9t\\u00e9\"\n";
        out += "            }";
        if (video) {
            out += ",\n            \"side_data_list\": [\n                {\n";
            out += "                    \"side_data_type\": \"Display Matrix\",\n";
            out +=
                "                    \"displaymatrix\": \"\\n00000000:            0       "
                "65536           0\\n00000001:       -65536           0           0\\n"
                "00000002:            0           0  1073741824\\n\",\n";
            out += "                    \"rotation\": -90\n                }\n            ]";
        }
        out += i + 1 < kStreams ? "\n        },\n" : "\n        }\n";
    }
    out += "    ],\n    \"chapters\": [\n";
    for (int i = 0; i < kChapters; ++i) {
        const long long start = i * 60000LL;
        const long long end = start + 60000;
        out += "        {\n";
        out += "            \"id\": " + std::to_string(1000000 + i) + ",\n";
        out += "            \"time_base\": \"1/1000\",\n";
        out += "            \"start\": " + std::to_string(start) + ",\n";
        out += "            \"start_time\": \"" + std::to_string(start / 1000) + ".000000\",\n";
        out += "            \"end\": " + std::to_string(end) + ",\n";
        out += "            \"end_time\": \"" + std::to_string(end / 1000) + ".000000\",\n";
        out += "            \"tags\": {\n";
        out += "                \"title\": \"Chapter " + std::to_string(i + 1) + "\"\n";
        out += "            }\n";
        out += i + 1 < kChapters ? "        },\n" : "        }\n";
    }
    out += "    ],\n    \"format\": {\n";
    out += "        \"filename\": \"/media/films/A very long film name (2023).mkv\",\n";
    out += "        \"nb_streams\": " + std::to_string(kStreams) + ",\n";
    out += "        \"nb_programs\": 0,\n";
    out += "        \"format_name\": \"matroska,webm\",\n";
    out += "        \"format_long_name\": \"Matroska / WebM\",\n";
    out += "        \"start_time\": \"0.000000\",\n";
    out += "        \"duration\": \"7200.000000\",\n";
    out += "        \"size\": \"4294967296\",\n";
    out += "        \"bit_rate\": \"4772185\",\n";
    out += "        \"probe_score\": 100,\n";
    out += "        \"tags\": {\n";
    out += "            \"title\": \"A very long film\",\n";
    out += "            \"encoder\": \"libebml v1.4.4 + libmatroska v1.7.1\",\n";
    out += "            \"creation_time\": \"2023-01-01T00:00:00.000000Z\",\n";
    out += "            \"COMMENT\": \"Made for measuring\"\n";
    out += "        }\n    }\n}\n";
    return out;
}

}  // namespace vellinor::bench
