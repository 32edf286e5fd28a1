// `vellinor-cli check` through the built program: the example policies on media that meets
// them and media that does not, each output form, and the exit statuses.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli_runner.h"
#include "json/json.h"
#include "support/policy_media.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

namespace fs = std::filesystem;

class CliCheck : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempDir;
        s_media = new PolicyMedia(makePolicyMedia(s_dir->path()));
    }
    static void TearDownTestSuite()
    {
        delete s_media;
        delete s_dir;
    }
    static CliRunOptions cacheAside()
    {
        CliRunOptions options;
        options.env["XDG_CACHE_HOME"] = (*s_dir / "cache").string();
        return options;
    }
    static TempDir* s_dir;
    static PolicyMedia* s_media;
};

TempDir* CliCheck::s_dir = nullptr;
PolicyMedia* CliCheck::s_media = nullptr;

TEST_F(CliCheck, EachExamplePolicyPassesItsMediaAndFailsTheOthers)
{
    struct Case {
        const char* policy;
        fs::path passes;
        std::vector<fs::path> fail;
        std::string failingRule;  // one rule each failing file breaks
    };
    const std::vector<Case> cases{
        {"broadcast-hd", s_media->broadcast, {s_media->archival, s_media->web}, "FAIL  Stereo"},
        {"archival-ffv1",
         s_media->archival,
         {s_media->broadcast, s_media->web},
         "FAIL  FFV1 video: actual track 0: \"h264\", expected == \"ffv1\""},
        {"web-h264-aac", s_media->web, {s_media->archival}, "FAIL  H.264 video"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.policy);
        const std::string policy = examplePolicy(c.policy).string();
        const CliRun pass = runCli({"check", "--policy", policy, c.passes.string()}, cacheAside());
        EXPECT_EQ(pass.exitStatus, 0) << pass.out << pass.err;
        EXPECT_NE(pass.out.find(c.passes.string() + ": pass, all "), std::string::npos) << pass.out;
        for (const fs::path& file : c.fail) {
            const CliRun fail = runCli({"check", "--policy", policy, file.string()}, cacheAside());
            EXPECT_EQ(fail.exitStatus, 4) << fail.out << fail.err;
            EXPECT_NE(fail.out.find(file.string() + ": FAIL, "), std::string::npos) << fail.out;
            EXPECT_NE(fail.out.find(c.failingRule), std::string::npos) << fail.out;
        }
    }
}

TEST_F(CliCheck, OutputFormsCarryEachRuleAndTheVerdict)
{
    const std::string policy = examplePolicy("web-h264-aac").string();
    const std::string good = s_media->web.string();
    const std::string bad = s_media->archival.string();

    const CliRun lines = runCli({"check", "--jsonl", "--policy", policy, good, bad}, cacheAside());
    EXPECT_EQ(lines.exitStatus, 4);
    std::vector<JSON> objects;
    for (std::size_t at = 0, end; (end = lines.out.find('\n', at)) != std::string::npos;
         at = end + 1)
        objects.push_back(JSON::parse(lines.out.substr(at, end - at)).valueOr(JSON()));
    ASSERT_EQ(objects.size(), 2u) << lines.out;
    EXPECT_EQ(objects[0]["passed"], JSON(true));
    EXPECT_EQ(objects[1]["passed"], JSON(false));
    EXPECT_EQ(objects[1]["rules"][1]["name"], JSON("H.264 video"));
    EXPECT_EQ(objects[1]["rules"][1]["actual"], JSON("track 0: \"ffv1\""));
    EXPECT_EQ(objects[1]["rules"][1]["expected"], JSON("== \"h264\""));

    const CliRun csv = runCli({"check", "--csv", "--policy", policy, bad}, cacheAside());
    EXPECT_EQ(csv.out.rfind("path,rule,severity,result,actual,expected,reason\r\n", 0), 0u)
        << csv.out;
    EXPECT_NE(csv.out.find(bad + ",H.264 video,error,fail,"), std::string::npos) << csv.out;

    const CliRun junit = runCli({"check", "--junit", "--policy", policy, good, bad}, cacheAside());
    EXPECT_EQ(junit.exitStatus, 4);
    EXPECT_NE(junit.out.find("<testsuites tests=\"2\" failures=\"1\">"), std::string::npos);
    EXPECT_NE(junit.out.find("name=\"" + good + "\"/>"), std::string::npos) << junit.out;
    EXPECT_NE(junit.out.find("<failure message=\"4 rules failed\">"), std::string::npos)
        << junit.out;
}

TEST_F(CliCheck, BadPoliciesAndMissingFilesHaveTheirOwnStatus)
{
    const fs::path badPolicy = *s_dir / "bad.toml";
    writeFile(badPolicy, "[[rule]]\nname = \"Size\"\nfield = \"widht\"\ntracks = \"video\"\n");
    const fs::path needsReference = *s_dir / "reference.toml";
    writeFile(needsReference,
              "[[rule]]\nname = \"Same size\"\ntracks = \"video\"\n"
              "field = \"width\"\nsame_as_reference = true\n");
    struct Case {
        std::vector<std::string> arguments;
        int exitStatus;
        std::string inErr;
        std::string inOut;
    };
    const std::string web = s_media->web.string();
    const std::vector<Case> cases{
        {{"--policy", badPolicy.string(), web},
         2,
         badPolicy.string() + ":1: rule \"Size\": unknown track field \"widht\"",
         ""},
        {{"--policy", (*s_dir / "none.toml").string(), web}, 2, "none.toml: cannot be read", ""},
        {{"--policy", needsReference.string(), web}, 2, "name one with --reference", ""},
        {{"--policy", needsReference.string(), "--reference", s_media->broadcast.string(), web},
         4,
         "",
         "actual track 0: {\"actual\":640,\"reference\":1920}"},
        {{"--policy", needsReference.string(), "--reference", web, web}, 0, "", ": pass"},
        {{"--policy", examplePolicy("web-h264-aac").string(), (*s_dir / "gone.mp4").string()},
         1,
         "gone.mp4: ",
         "FAIL"},
        {{"--policy", examplePolicy("web-h264-aac").string()}, 2, "PATH is required", ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments{"check"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const CliRun run = runCli(arguments, cacheAside());
        SCOPED_TRACE(c.arguments.front() + " " + c.arguments[1]);
        EXPECT_EQ(run.exitStatus, c.exitStatus) << run.out << run.err;
        EXPECT_NE(run.err.find(c.inErr), std::string::npos) << run.err;
        EXPECT_NE(run.out.find(c.inOut), std::string::npos) << run.out;
    }
}

}  // namespace
}  // namespace vellinor::test
