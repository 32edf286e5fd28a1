// HDR facts through vellinor-cli: the record's "hdr" key and the --details rows of an HEVC file
// whose HDR10 metadata is only in its SEI messages.

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "json/json.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

TEST(CliHdr, Hdr10WithItsMaxCllInTheRecordAndTheDetails)
{
    TempDir dir;
    const std::string file = (dir / "hdr10.mkv").string();
    runFfmpeg({"-f", "lavfi", "-i", "testsrc2=size=128x72:rate=25", "-frames:v", "2", "-c:v",
               "libx265", "-x265-params",
               "log-level=error:hdr-opt=1:repeat-headers=1:colorprim=bt2020:transfer=smpte2084:"
               "colormatrix=bt2020nc:master-display=G(13250,34500)B(7500,3000)R(34000,16000)"
               "WP(15635,16450)L(10000000,1):max-cll=1000,400",
               "-pix_fmt", "yuv420p10le", file});

    CliRun record = runCli({"--record", file});
    ASSERT_EQ(record.exitStatus, 0) << record.err;
    auto parsed = JSON::parse(record.out);
    ASSERT_TRUE(parsed);
    const JSON hdr = (*parsed)[{0, "tracksInfo", 0, "hdr"}];
    EXPECT_EQ(hdr["summary"], JSON("HDR10"));
    EXPECT_EQ((hdr[{"contentLightLevel", "maxCLL"}]), JSON(1000));
    EXPECT_EQ((hdr[{"contentLightLevel", "maxFALL"}]), JSON(400));
    EXPECT_EQ(hdr["readFirstFrame"], JSON(true));

    CliRun details = runCli({"--details", file});
    ASSERT_EQ(details.exitStatus, 0) << details.err;
    EXPECT_NE(details.out.find("HDR MaxCLL"), std::string::npos) << details.out;
    EXPECT_NE(details.out.find("1000 cd/m²"), std::string::npos) << details.out;
    EXPECT_NE(details.out.find("HDR10\n"), std::string::npos) << details.out;
}

}  // namespace
}  // namespace vellinor::test
