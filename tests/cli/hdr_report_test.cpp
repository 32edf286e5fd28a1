// HDR facts through vellinor-cli: the record's "hdr" key and the --details rows of HEVC files
// whose HDR metadata is only in their SEI messages (HDR10 from x265's own SEI; HDR10+ from a
// dynamic-metadata SEI put into the stream here, as no encoder on Debian writes one).

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli_runner.h"
#include "json/json.h"
#include "support/test_support.h"

namespace vellinor::test {
namespace {

class BitWriter {
public:
    void put(std::uint32_t value, int count)
    {
        for (int bit = count - 1; bit >= 0; --bit) {
            if (m_used == 0)
                m_bytes.push_back(0);
            const unsigned bitValue = ((value >> bit) & 1u) << (7 - m_used);
            m_bytes.back() =
                static_cast<char>(static_cast<unsigned char>(m_bytes.back()) | bitValue);
            m_used = (m_used + 1) % 8;
        }
    }
    [[nodiscard]] const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
    int m_used = 0;
};

// A prefix SEI NAL unit (Annex B) holding one HDR10+ message: ITU-T T.35, SMPTE ST 2094-40
// application 4, one window, peaks of 1000, 900 and 800 cd/m².
std::string hdr10PlusSeiNal()
{
    BitWriter bits;
    bits.put(0xB5, 8);     // country: United States
    bits.put(0x003C, 16);  // provider
    bits.put(0x0001, 16);  // provider's code
    bits.put(4, 8);        // application identifier
    bits.put(1, 8);        // application version
    bits.put(1, 2);        // windows
    bits.put(400, 27);     // targeted display maximum luminance
    bits.put(0, 1);        // no actual peak luminance of the targeted display
    for (std::uint32_t peak : {1000u, 900u, 800u})
        bits.put(peak * 10, 17);  // maxscl, in units of 0.1 cd/m²
    bits.put(500, 17);            // average maxrgb
    bits.put(1, 4);               // one percentile
    bits.put(99, 7);
    bits.put(9000, 17);
    bits.put(0, 10);  // fraction of bright pixels
    bits.put(0, 1);   // no actual peak luminance of the mastering display
    bits.put(0, 1);   // no tone mapping
    bits.put(0, 1);   // no colour saturation mapping
    const std::string& payload = bits.bytes();

    std::string message{4, static_cast<char>(payload.size())};  // registered user data
    message += payload;
    message += '\x80';                                               // trailing bits
    std::string nal = std::string("\0\0\0\1", 4) + '\x4E' + '\x01';  // prefix SEI, layer 0
    int zeros = 0;
    for (char byte : message) {
        if (zeros >= 2 && static_cast<unsigned char>(byte) <= 3) {
            nal += '\x03';  // emulation prevention
            zeros = 0;
        }
        nal += byte;
        zeros = byte == 0 ? zeros + 1 : 0;
    }
    return nal;
}

// `stream` with the HDR10+ SEI before the first slice of its first picture.
std::string withHdr10Plus(const std::string& stream)
{
    std::size_t at = 0;
    for (;;) {
        at = stream.find(std::string("\0\0\1", 3), at);
        if (at == std::string::npos || at + 3 >= stream.size())
            return {};
        const int type = (static_cast<unsigned char>(stream[at + 3]) >> 1) & 0x3f;
        if (type < 32)
            break;
        at += 3;
    }
    if (at > 0 && stream[at - 1] == '\0')
        --at;
    return stream.substr(0, at) + hdr10PlusSeiNal() + stream.substr(at);
}

TEST(CliHdr, SummaryMaxCllAndDetailsOfSeiOnlyMetadata)
{
    TempDir dir;
    auto encode = [](const std::string& file, std::vector<std::string> format) {
        std::vector<std::string> arguments = {
            "-f",
            "lavfi",
            "-i",
            "testsrc2=size=128x72:rate=25",
            "-frames:v",
            "2",
            "-c:v",
            "libx265",
            "-x265-params",
            "log-level=error:hdr-opt=1:repeat-headers=1:colorprim=bt2020:transfer=smpte2084:"
            "colormatrix=bt2020nc:master-display=G(13250,34500)B(7500,3000)R(34000,16000)"
            "WP(15635,16450)L(10000000,1):max-cll=1000,400",
            "-pix_fmt",
            "yuv420p10le"};
        arguments.insert(arguments.end(), format.begin(), format.end());
        arguments.push_back(file);
        return runFfmpeg(arguments);
    };
    ASSERT_TRUE(encode((dir / "hdr10.mkv").string(), {}));
    const std::string hevc = (dir / "plain.hevc").string();
    ASSERT_TRUE(encode(hevc, {"-f", "hevc"}));
    const std::string plusStream = withHdr10Plus(readFile(hevc));
    ASSERT_FALSE(plusStream.empty());
    writeFile(dir / "hdr10plus.hevc", plusStream);
    ASSERT_TRUE(
        runFfmpeg({"-fflags", "+genpts", "-r", "25", "-i", (dir / "hdr10plus.hevc").string(), "-c",
                   "copy", (dir / "hdr10plus.mp4").string()}));

    const struct {
        std::string name;
        std::string file;
        std::string summary;
        bool hdr10Plus;
    } cases[] = {
        {"HDR10", (dir / "hdr10.mkv").string(), "HDR10", false},
        {"HDR10+", (dir / "hdr10plus.mp4").string(), "HDR10+", true},
    };
    for (const auto& c : cases) {
        CliRun record = runCli({"--no-cache", "--record", c.file});
        ASSERT_EQ(record.exitStatus, 0) << c.name << record.err;
        auto parsed = JSON::parse(record.out);
        ASSERT_TRUE(parsed) << c.name;
        const JSON hdr = (*parsed)[{0, "tracksInfo", 0, "hdr"}];
        EXPECT_EQ(hdr["summary"], JSON(c.summary)) << c.name;
        EXPECT_EQ(hdr["hdr10Plus"], JSON(c.hdr10Plus)) << c.name;
        EXPECT_EQ((hdr[{"contentLightLevel", "maxCLL"}]), JSON(1000)) << c.name;
        EXPECT_EQ((hdr[{"contentLightLevel", "maxFALL"}]), JSON(400)) << c.name;
        EXPECT_EQ(hdr["readFirstFrame"], JSON(true)) << c.name;

        CliRun details = runCli({"--no-cache", "--details", c.file});
        ASSERT_EQ(details.exitStatus, 0) << c.name << details.err;
        EXPECT_NE(details.out.find("1000 cd/m²"), std::string::npos) << c.name << details.out;
        EXPECT_NE(details.out.find(c.summary + "\n"), std::string::npos) << c.name << details.out;
        EXPECT_EQ(details.out.find("HDR10+ ") != std::string::npos, c.hdr10Plus)
            << c.name << details.out;
    }
}

}  // namespace
}  // namespace vellinor::test
