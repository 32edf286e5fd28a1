// Field explanations: the common fields are there, group suffixes map to their entry, and an
// unknown field has none.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "probe/field_explanations.h"

namespace vellinor {
namespace {

TEST(FieldExplanations, CoversTheCommonFieldsAndTheSuffixes)
{
    const char* explained[] = {"has_b_frames",
                               "HDR",
                               "HDR MaxCLL",
                               "HDR Dolby Vision",
                               "refs",
                               "field_order",
                               "color_range",
                               "color_space",
                               "color_transfer",
                               "color_primaries",
                               "chroma_location",
                               "sample_aspect_ratio",
                               "display_aspect_ratio",
                               "r_frame_rate",
                               "avg_frame_rate",
                               "time_base",
                               "start_pts",
                               "bits_per_raw_sample",
                               "profile",
                               "level",
                               "channel_layout",
                               "sample_fmt",
                               "bits_per_sample",
                               "frames_per_second",
                               "default.disposition",
                               "forced.disposition",
                               "hearing_impaired.disposition",
                               "language.tags",
                               "LANGUAGE.tags",
                               "BPS-eng.tags",
                               "DURATION.tags",
                               "title.tags",
                               "format_long_name"};
    for (const char* key : explained) {
        const auto text = explainField(key);
        ASSERT_TRUE(text.has_value()) << key;
        EXPECT_EQ(text->back(), '.') << key;
        EXPECT_EQ(text->find('\n'), std::string::npos) << key;
    }
    EXPECT_EQ(explainField("LANGUAGE.tags"), explainField("language.tags"));
    EXPECT_EQ(explainField("BPS-eng.tags"), explainField("BPS.tags"));
    EXPECT_NE(explainField("comment.disposition"), explainField("comment.tags"));
    EXPECT_TRUE(explainField("SOME_WRITER_THING.tags").has_value());  // a tag in general

    for (const char* key : {"", "no_such_field", "default", "nonsense.disposition", ".tags",
                            "has_b_frames.disposition", "Has_B_Frames"})
        EXPECT_FALSE(explainField(key).has_value()) << key;
}

TEST(FieldExplanations, HasAtLeastFiftyDistinctEntriesEachOneLine)
{
    std::size_t total = 0;
    for (const auto table :
         {streamFieldExplanations(), dispositionExplanations(), tagExplanations()}) {
        std::set<std::string_view> fields;
        for (const FieldExplanation& entry : table) {
            EXPECT_TRUE(fields.insert(entry.field).second) << "twice: " << entry.field;
            EXPECT_FALSE(entry.text.empty()) << entry.field;
            EXPECT_LE(entry.text.size(), 160u) << entry.field;
            EXPECT_EQ(entry.text.find('\n'), std::string_view::npos) << entry.field;
        }
        total += table.size();
    }
    EXPECT_GE(total, 50u);
}

}  // namespace
}  // namespace vellinor
