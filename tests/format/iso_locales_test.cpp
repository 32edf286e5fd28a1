// The ISO 639 table's shape and the code lookup.

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include <gtest/gtest.h>

#include "format/iso_locales.h"
#include "format/unicode_lower.h"

namespace vellinor {
namespace {

bool isLowerAscii(std::string_view code, std::size_t length)
{
    return code.size() == length &&
           std::all_of(code.begin(), code.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

TEST(IsoLocaleCodes, EveryRowIsWellFormed)
{
    const auto& rows = IsoLocaleCodes::all();
    ASSERT_EQ(rows.size(), 184u);
    EXPECT_EQ(rows.front().alpha1, "ab");
    EXPECT_EQ(rows.back().alpha1, "zu");
    for (const IsoLocaleInfo& row : rows) {
        SCOPED_TRACE(std::string(row.name));
        EXPECT_FALSE(row.name.empty());
        EXPECT_FALSE(row.local.empty());
        EXPECT_TRUE(isLowerAscii(row.alpha1, 2));
        EXPECT_TRUE(isLowerAscii(row.alpha2, 3));
        EXPECT_TRUE(isLowerAscii(row.alpha2B, 3));
        EXPECT_EQ(row.alpha2T, row.alpha2);
        EXPECT_EQ(row.alpha3, row.alpha2);
    }
}

TEST(IsoLocaleCodes, NoCodeBelongsToTwoRows)
{
    std::map<std::string_view, std::string_view> owner;  // code -> English name
    for (const IsoLocaleInfo& row : IsoLocaleCodes::all()) {
        for (std::string_view code : {row.alpha1, row.alpha2, row.alpha3, row.alpha2B}) {
            const auto [it, added] = owner.emplace(code, row.name);
            EXPECT_TRUE(added || it->second == row.name)
                << code << " belongs to " << it->second << " and " << row.name;
        }
    }
}

TEST(IsoLocaleCodes, BibliographicCodesDifferInTwentyRows)
{
    const std::set<std::pair<std::string_view, std::string_view>> expected{
        {"alb", "sqi"}, {"arm", "hye"}, {"baq", "eus"}, {"bur", "mya"}, {"chi", "zho"},
        {"cze", "ces"}, {"dut", "nld"}, {"fre", "fra"}, {"geo", "kat"}, {"ger", "deu"},
        {"gre", "ell"}, {"ice", "isl"}, {"mac", "mkd"}, {"may", "msa"}, {"mao", "mri"},
        {"per", "fas"}, {"rum", "ron"}, {"slo", "slk"}, {"tib", "bod"}, {"wel", "cym"},
    };
    std::set<std::pair<std::string_view, std::string_view>> found;
    for (const IsoLocaleInfo& row : IsoLocaleCodes::all()) {
        if (row.alpha2B != row.alpha2)
            found.emplace(row.alpha2B, row.alpha2);
    }
    EXPECT_EQ(found, expected);
}

TEST(IsoLocaleCodes, NamesAsTheTableHasThem)
{
    const std::map<std::string_view, std::pair<std::string_view, std::string_view>> expected{
        {"ab", {"Abkhaz", "аҧсуа бызшәа"}},
        {"aa", {"Afar", "Afaraf"}},
        {"am", {"Amharic", "አማርኛ"}},
        {"ar", {"Arabic", "العربية"}},
        {"zh", {"Chinese", "中文"}},
        {"gn", {"Guaraní", "Avañe'ẽ"}},
        {"mi", {"Māori", "te reo Māori"}},
        {"nb", {"Norwegian Bokmål", "Norsk bokmål"}},
        {"pi", {"Pāli", "पाऴि"}},
        {"vo", {"Volapük", "Volapük"}},
        {"nd", {"Northern Ndebele", "isiNdebele"}},
        {"nr", {"Southern Ndebele", "isiNdebele"}},
        {"bh", {"Bihari", "भोजपुरी"}},
        {"ii", {"Nuosu", "ꆈꌠ꒿"}},
    };
    std::size_t seen = 0;
    for (const IsoLocaleInfo& row : IsoLocaleCodes::all()) {
        const auto it = expected.find(row.alpha1);
        if (it == expected.end())
            continue;
        ++seen;
        EXPECT_EQ(row.name, it->second.first);
        EXPECT_EQ(row.local, it->second.second);
    }
    EXPECT_EQ(seen, expected.size());
}

TEST(IsoLocales, FindsEveryCodeForm)
{
    const struct {
        std::string_view code;
        std::string_view name;
    } cases[] = {
        {"eng", "English"},
        {"EN", "English"},
        {"En", "English"},
        {"ENG", "English"},
        {"fre", "French"},
        {"fra", "French"},
        {"ger", "German"},
        {"deu", "German"},
        {"DEU", "German"},
        {"dv", "Divehi"},
        {"div", "Divehi"},
        {"bh", "Bihari"},
        {"bih", "Bihari"},
        {"no", "Norwegian"},
        {"nor", "Norwegian"},
        {"nob", "Norwegian Bokmål"},
        {"nno", "Norwegian Nynorsk"},
        {"iii", "Nuosu"},
        {"chu", "Old Church Slavonic"},
        {"oji", "Ojibwe"},
        {"tib", "Tibetan Standard"},
        {"bod", "Tibetan Standard"},
        {"zu", "Zulu"},
        {"ab", "Abkhaz"},
        {"\xE2\x84\xAAor", "Korean"},      // KELVIN SIGN lowers to k
        {"\xEF\xBC\xA5\xEF\xBC\xAE", ""},  // full-width EN lowers to full-width en, not "en"
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsoLocales::find(c.code).name, c.name) << c.code;
}

TEST(IsoLocales, EveryCodeOfEveryRowFindsThatRowInAnyCase)
{
    const auto upper = [](std::string_view code) {
        std::string text(code);
        for (char& c : text)
            c = static_cast<char>(c - 'a' + 'A');
        return text;
    };
    for (const IsoLocaleInfo& row : IsoLocaleCodes::all()) {
        for (std::string_view code : {row.alpha1, row.alpha2, row.alpha2B}) {
            EXPECT_EQ(IsoLocales::find(code), row) << code;
            EXPECT_EQ(IsoLocales::find(upper(code)), row) << code;
        }
    }
}

TEST(IsoLocales, AlbanianByEitherThreeLetterCode)
{
    for (std::string_view code : {"alb", "sqi", "sq", "ALB"}) {
        const IsoLocaleInfo info = IsoLocales::find(code);
        EXPECT_EQ(info.name, "Albanian") << code;
        EXPECT_EQ(info.local, "Shqip") << code;
        EXPECT_EQ(info.alpha1, "sq");
        EXPECT_EQ(info.alpha2, "sqi");
        EXPECT_EQ(info.alpha2B, "alb");
    }
}

TEST(IsoLocales, MissesGiveAnEmptyRecord)
{
    using namespace std::string_view_literals;
    for (std::string_view code :
         {"und"sv, ""sv, "english"sv, " eng"sv, "eng "sv, "en-US"sv, "e"sv, "engl"sv,
          "\xC4\xB0t"sv,             // İt lowers to i + combining dot + t, not "it"
          "\xFF\xFE"sv, "e\x80n"sv,  // not UTF-8
          "\xC0\xA5n"sv,             // an overlong 'e'
          "en\0"sv, "\0"sv}) {
        EXPECT_EQ(IsoLocales::find(code), IsoLocaleInfo{}) << code;
    }
}

TEST(UnicodeLower, MapsCapitalsOfTheCommonScripts)
{
    const struct {
        std::string_view in;
        std::string_view out;
    } cases[] = {
        {"ENG Eng eng 123", "eng eng eng 123"},
        {"ÀÉÎÕÜÞ×", "àéîõüþ×"},
        {"ŸĀŁŽ", "ÿāłž"},
        {"ƁƏǄǅǱ", "ɓəǆǆǳ"},
        {"ΑΒΓΔΩΆΏ", "αβγδωάώ"},
        {"ДЖЁЂЯ", "джёђя"},
        {"ѠҐӀӁ", "ѡґӏӂ"},
        {"ԱՖ", "աֆ"},
        {"ẞḀỸ", "ßḁỹ"},
        {"İ", "i\xCC\x87"},
        {"ΩKÅ", "ωkå"},  // OHM, KELVIN and ANGSTROM SIGN
        {"ＡＺ", "ａｚ"},
        {"中文 ß ǅ", "中文 ß ǆ"},
        {"\xFF\xC3", "\xFF\xC3"},                  // invalid bytes kept
        {"\xED\xA0\x80", "\xED\xA0\x80"},          // a surrogate is not UTF-8
        {"\xF4\x90\x80\x80", "\xF4\x90\x80\x80"},  // beyond U+10FFFF
        {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // an emoji passes untouched
    };
    for (const auto& c : cases)
        EXPECT_EQ(unicode::toLower(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace vellinor
