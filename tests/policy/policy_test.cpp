// Policies: reading them (every bad policy names its file, line and rule), every kind of rule
// on a record, and the bounds on a rule that never ends.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "policy/policy_check.h"
#include "policy/policy_file.h"

namespace vellinor::policy {
namespace {

using namespace std::chrono_literals;

// A record as `vellinor-cli --record` writes one: the details are texts.
std::string record(const std::string& width, const std::string& rate, const std::string& sampleRate)
{
    return R"({"path": "a.mkv", "duration": 10.5, "bitrate": 900000, "numberOfVideoTracks": 1,
        "metadata": [{"key": "format_name", "value": "matroska,webm"}],
        "tracksInfo": [
          {"trackNumber": 0, "trackType": "Video", "trackCodec": "h264", "hdr": {"summary": "SDR"},
           "trackKeyValue": [{"key": "width", "value": ")" +
           width + R"("},
                             {"key": "avg_frame_rate", "value": ")" +
           rate + R"("},
                             {"key": "language.tags", "value": "eng"}]},
          {"trackNumber": 1, "trackType": "Audio", "trackCodec": "aac",
           "trackKeyValue": [{"key": "sample_rate", "value": ")" +
           sampleRate + R"("}]},
          {"trackNumber": 2, "trackType": "Audio", "trackCodec": "aac",
           "trackKeyValue": [{"key": "sample_rate", "value": "48000"}]}],
        "scan": null})";
}

Policy parsed(const std::string& text)
{
    auto policy = parsePolicy(text, "test.toml");
    EXPECT_TRUE(policy) << policy.error();
    return policy ? *policy : Policy{};
}

TEST(PolicyFile, BadPoliciesNameTheFileLineAndRule)
{
    struct Case {
        std::string text;
        std::string error;
    };
    const std::vector<Case> cases{
        {"name = \"x\"\n", "test.toml: no rules ([[rule]] tables)"},
        {"[[rule]]\nname = \"A\"\njq = \".width ==\"\n",
         "test.toml:1: rule \"A\": jq: syntax error"},
        {"[[rule]]\nname = \"A\"\nfield = \"widht\"\n",
         "test.toml:1: rule \"A\": unknown field \"widht\""},
        {"[[rule]]\nname = \"A\"\ntracks = \"audio\"\nfield = \"sample_rat\"\nvalue = 1\n",
         "rule \"A\": unknown track field \"sample_rat\""},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nop = \"=<\"\nvalue = 1\n",
         "unknown op \"=<\""},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nop = \">\"\nvalue = \"long\"\n",
         "op \">\" needs a number"},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nop = \"in\"\nvalue = 3\n", "needs a list"},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nvalue = 1\ntolerance = \"x\"\n",
         "test.toml:5: rule \"A\": \"tolerance\" must be a number"},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nvalue = 1\nseverity = 3\n",
         "test.toml:5: rule \"A\": \"severity\" must be a text"},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nvalue = 1\nseverity = \"fatal\"\n",
         "severity \"fatal\" is neither"},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nvalu = 1\n",
         "test.toml:4: rule \"A\": unknown key \"valu\""},
        {"[[rule]]\nname = \"A\"\ntracks = \"data\"\njq = \"true\"\n", "tracks \"data\" is not"},
        {"[[rule]]\nname = \"A\"\n", "needs \"jq\" (a jq program) or \"field\""},
        {"[[rule]]\njq = \"true\"\n", "test.toml:1: rule #1: every rule needs a name"},
        {"[[rule]]\nname = \"A\"\njq = \"true\"\n[[rule]]\nname = \"A\"\njq = \"true\"\n",
         "test.toml:4: rule \"A\": another rule has this name"},
        {"[[rule]]\nname = \"A\"\njq = \"true\"\nop = \"==\"\n", "\"op\" goes with \"field\""},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nop = \"exists\"\nvalue = 1\n",
         "takes no value"},
        {"[[rule]]\nname = \"A\"\nfield = \"duration\"\nop = \"<\"\nvalue = 1\ntolerance = 1\n",
         "tolerance goes with"},
        {"[[rule]]\nname = \"A\"\njq = \"true\"\n[[rule]]\nname = \"B\"\njq = \"true\"\nactual = "
         "\"[\"\n",
         "test.toml:4: rule \"B\": jq: "},
        {"rule = 3\n", "test.toml:1: \"rule\" must be [[rule]] tables"},
        {"nmae = \"x\"\n[[rule]]\nname = \"A\"\njq = \"true\"\n",
         "test.toml:1: unknown key \"nmae\""},
        {"[[rule]\n", "test.toml:1: "},
    };
    for (const Case& c : cases) {
        // jq programs are compiled when the checker is made.
        auto policy = parsePolicy(c.text, "test.toml");
        std::string error = policy ? "" : policy.error();
        if (policy) {
            auto checker = PolicyChecker::make(*policy);
            ASSERT_FALSE(checker) << c.text;
            error = checker.error();
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << c.text << "\n" << error;
    }
}

TEST(PolicyCheck, EveryKindOfRuleOnARecord)
{
    struct Case {
        std::string rule;  // the [[rule]] table's body, less its name
        bool passed;
        std::string actual;  // part of the actual value shown
        std::string reason;  // part of the reason
    };
    const std::vector<Case> cases{
        {"field = \"duration\"\nvalue = 10.5", true, "", ""},
        {"field = \"duration\"\nvalue = 10\ntolerance = 0.5", true, "", ""},
        {"field = \"duration\"\nvalue = 10\ntolerance = 0.4", false, "10.5", ""},
        {"field = \"duration\"\nop = \"!=\"\nvalue = 10\ntolerance = 0.4", true, "", ""},
        {"field = \"bitrate\"\nop = \"<=\"\nvalue = 1000000", true, "", ""},
        {"field = \"bitrate\"\nop = \">\"\nvalue = 1000000", false, "900000", ""},
        {"field = \"format.format_name\"\nop = \"matches\"\nvalue = \"^matroska\"", true, "", ""},
        {"field = \"path\"\nop = \"in\"\nvalue = [\"a.mkv\", \"b.mkv\"]", true, "", ""},
        {"field = \"toolProblem\"\nop = \"exists\"", false, "", ""},
        {"field = \"scan.decodeErrors\"\nvalue = 0", false, "", "no scan.decodeErrors"},
        {"field = \"path\"\nop = \">=\"\nvalue = 3", false, "", "path is \"a.mkv\", not a number"},
        {"tracks = \"video\"\nfield = \"width\"\nvalue = 1920", true, "", ""},
        {"tracks = \"video\"\nfield = \"avg_frame_rate\"\nvalue = 29.97\ntolerance = 0.01", true,
         "", ""},
        {"tracks = \"video\"\nfield = \"language.tags\"\nvalue = \"eng\"", true, "", ""},
        {"tracks = \"video\"\nfield = \"hdr.summary\"\nvalue = \"SDR\"", true, "", ""},
        {"tracks = \"audio\"\nfield = \"sample_rate\"\nvalue = 48000", false, "track 1: 44100", ""},
        {"tracks = \"audio\"\nfield = \"sample_rate\"\nop = \"in\"\nvalue = [44100, 48000]", true,
         "", ""},
        {"tracks = \"subtitle\"\njq = \"true\"", false, "", "the file has no subtitle track"},
        {"jq = '[.tracksInfo[] | select(.trackType == \"Audio\")] | length == 2'", true, "", ""},
        {"jq = '.duration > 20 or (.bitrate / 1000 | floor) == 900'", true, "", ""},
        {"tracks = \"audio\"\njq = '.facts.sample_rate <= $file.bitrate'", true, "", ""},
        {"jq = '.missing.deeper'", false, "", "gave null, not true or false"},
        {"jq = 'empty'", false, "", "gave no answer"},
        {"jq = 'error(\"broken\")'", false, "", "broken"},
        {"jq = '.path | tonumber > 0'", false, "", "while parsing 'a.mkv'"},
        {"jq = 'false'\nactual = '.trackCount'\nexpected = \"six\"", false, "", ""},
        {"jq = '.bitrate == $ref.bitrate'", false, "", ""},
        {"tracks = \"video\"\nfield = \"width\"\nsame_as_reference = true", false,
         "track 0: {\"actual\":1920,\"reference\":1280}", ""},
        {"tracks = \"audio\"\nfield = \"sample_rate\"\nsame_as_reference = true", false,
         "track 1: {\"actual\":44100,\"reference\":48000}",
         "track 2: the reference has no sample_rate"},
    };
    std::string text;
    for (std::size_t i = 0; i < cases.size(); ++i)
        text += "[[rule]]\nname = \"rule " + std::to_string(i) + "\"\n" + cases[i].rule + "\n";
    auto checker = PolicyChecker::make(parsed(text));
    ASSERT_TRUE(checker) << checker.error();
    // The reference has one audio track, of 48 kHz, and a smaller picture.
    const std::string reference = R"({"bitrate": 1, "tracksInfo": [
        {"trackNumber": 0, "trackType": "Video", "trackKeyValue": [{"key": "width", "value": "1280"}]},
        {"trackNumber": 1, "trackType": "Audio", "trackKeyValue": [{"key": "sample_rate", "value": "48000"}]}]})";
    const auto outcomes = (*checker)->check({record("1920", "30000/1001", "44100")}, reference);
    ASSERT_EQ(outcomes.size(), 1u);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const RuleOutcome& outcome = outcomes[0].rules[i];
        SCOPED_TRACE(cases[i].rule);
        EXPECT_EQ(outcome.passed, cases[i].passed) << outcome.reason;
        EXPECT_NE(outcome.actual.find(cases[i].actual), std::string::npos) << outcome.actual;
        EXPECT_NE(outcome.reason.find(cases[i].reason), std::string::npos) << outcome.reason;
    }
}

TEST(PolicyCheck, WarningsDoNotFailAFileAndADamagedRecordFailsEveryRule)
{
    auto checker = PolicyChecker::make(
        parsed("[[rule]]\nname = \"w\"\nseverity = \"warning\"\njq = \"false\"\n"
               "[[rule]]\nname = \"e\"\njq = \"true\"\n"));
    ASSERT_TRUE(checker);
    const auto outcomes = (*checker)->check({record("1", "1", "1"), "{\"path\": "});
    const Policy& policy = (*checker)->policy();
    EXPECT_TRUE(outcomes[0].passed(policy));
    EXPECT_EQ(outcomes[0].failedCount(policy, Severity::warning), 1u);
    EXPECT_FALSE(outcomes[1].passed(policy));
    EXPECT_NE(outcomes[1].rules[1].reason.find("the record is not JSON"), std::string::npos);
}

TEST(PolicyCheck, ARuleThatNeverEndsFailsAndTheRestAreStillChecked)
{
    const std::vector<std::string> hostile{"def f: f; f", "[range(1e12)] | length > 0",
                                           "[repeat(.)] | length > 0", "last(range(1e15)) > 0"};
    for (const std::string& program : hostile) {
        SCOPED_TRACE(program);
        auto checker = PolicyChecker::make(
            parsed(
                "[[rule]]\nname = \"before\"\njq = \"true\"\n[[rule]]\nname = \"endless\"\njq = '" +
                program + "'\n[[rule]]\nname = \"after\"\njq = \".duration > 10\"\n"),
            CheckLimits{300ms, std::size_t(256) << 20});
        ASSERT_TRUE(checker);
        const auto outcomes = (*checker)->check({record("1", "1", "1"), record("2", "2", "2")});
        for (const FileOutcome& outcome : outcomes) {
            EXPECT_TRUE(outcome.rules[0].passed);
            EXPECT_FALSE(outcome.rules[1].passed);
            EXPECT_FALSE(outcome.rules[1].reason.empty());
            EXPECT_TRUE(outcome.rules[2].passed) << outcome.rules[2].reason;
        }
    }
}

}  // namespace
}  // namespace vellinor::policy
