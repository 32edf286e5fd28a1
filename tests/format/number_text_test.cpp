// Durations, frame rates, byte counts and shortest decimals as text.

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "format/utils.h"

namespace vellinor {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FormatDuration, ClockText)
{
    const struct {
        double seconds;
        const char* expected;
    } cases[] = {
        {0.0, "00:00:00.000"},
        {3661.5, "01:01:01.500"},
        {0.0009, "00:00:00.000"},
        {90000.0, "25:00:00.000"},
        {360000.0, "100:00:00.000"},
        {59.9999, "00:00:59.999"},
        {7.3, "00:00:07.300"},  // the binary remainder is a hair below 0.3
        {10.01, "00:00:10.010"},
        {17.04, "00:00:17.040"},
        {8.36, "00:00:08.360"},
        {0.0005, "00:00:00.000"},
        {59.9999999, "00:01:00.000"},  // rounds to a whole minute at the microsecond
        {59.0, "00:00:59.000"},
        {60.0, "00:01:00.000"},
        {3599.999, "00:59:59.999"},  // stored as 3599.99899999...
        {86399.5, "23:59:59.500"},
        {std::nextafter(1.0, 0.0), "00:00:01.000"},  // a microsecond rounds it up
        {1e15, "277777777777:46:40.000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::formatDuration(c.seconds), c.expected) << c.seconds;
}

TEST(FormatDuration, NegativeAndUnrepresentableInput)
{
    const struct {
        double seconds;
        const char* expected;
    } cases[] = {
        {-61.5, "-00:01:01.500"},
        {-3661.25, "-01:01:01.250"},
        {-0.0, "00:00:00.000"},
        {-0.0004, "00:00:00.000"},  // no sign on an all-zero text
        {-0.001, "-00:00:00.001"},
        {kNaN, "--:--:--.---"},
        {kInf, "--:--:--.---"},
        {-kInf, "--:--:--.---"},
        {9223372036854775808.0, "--:--:--.---"},  // 2^63 does not fit int64
        {-9223372036854775808.0, "--:--:--.---"},
        {1e300, "--:--:--.---"},
        {9223372036854774784.0, "2562047788015215:13:04.000"},  // largest double below 2^63
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::formatDuration(c.seconds), c.expected) << c.seconds;
}

TEST(EvaluateFrameRate, Fractions)
{
    const struct {
        const char* text;
        double expected;
    } cases[] = {
        {"25/1", 25.0},
        {"30000/1001", 30000.0 / 1001.0},
        {"24000/1001", 24000.0 / 1001.0},
        {"-24/1", -24.0},
        {"+24/-2", -12.0},
        {"1/2", 0.5},
        {"25", 25.0},
        {"29.97", 29.97},
        {"2.5e1/1", 25.0},
        {".5/1", 0.5},
        {" 30 / 1 ", 30.0},
        {"\t30/1\t", 30.0},
        {"1/0", kInf},
        {"-1/0", -kInf},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::evaluateFrameRate(c.text), c.expected) << '"' << c.text << '"';
}

TEST(EvaluateFrameRate, NotANumber)
{
    for (const char* text : {"0/0",   "",      "  ",     "abc",     "1/2/3", "N/A",   "/",
                             "1/",    "/1",    "25/1x",  "25 1",    "inf/1", "nan",   "1/inf",
                             "--1/1", "+-1/1", "0x10/1", "1e999/1", "1//2",  "1,5/1", "25/1\n"})
        EXPECT_TRUE(std::isnan(Utils::evaluateFrameRate(text))) << '"' << text << '"';
}

TEST(FormatFrameRate, RoundsToThreeDigits)
{
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {30000.0 / 1001.0, "29.97"},
        {24000.0 / 1001.0, "23.976"},
        {60000.0 / 1001.0, "59.94"},
        {25.0, "25"},
        {23.976023976, "23.976"},
        {30.0, "30"},
        {0.0, "0"},
        {-0.0, "0"},
        {-0.0004, "0"},  // rounds to zero: no "-0"
        {-24.0, "-24"},
        {-23.9765, "-23.977"},  // 23.9765 is a hair above the tie in binary
        {0.0625, "0.062"},      // exact ties in binary go to the even digit
        {0.1875, "0.188"},
        {0.3125, "0.312"},
        {1.0625, "1.062"},
        {0.0005, "0.001"},  // a hair above 0.0005 in binary, so not a tie
        {0.0015, "0.002"},
        {1.0005, "1"},  // a hair below 1.0005 in binary
        {2.0005, "2.001"},
        {0.9996, "1"},
        {1234567.5, "1234567.5"},  // no grouping
        {1e20, "100000000000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::formatFrameRate(c.value), std::optional<std::string>(c.expected))
            << c.value;
}

TEST(FormatFrameRate, NoTextForNonFiniteValues)
{
    EXPECT_EQ(Utils::formatFrameRate(kNaN), std::nullopt);
    EXPECT_EQ(Utils::formatFrameRate(kInf), std::nullopt);
    EXPECT_EQ(Utils::formatFrameRate(-kInf), std::nullopt);
    EXPECT_EQ(Utils::formatFrameRate(Utils::evaluateFrameRate("0/0")), std::nullopt);
    const auto largest = Utils::formatFrameRate(std::numeric_limits<double>::max());
    ASSERT_TRUE(largest.has_value());
    EXPECT_EQ(largest->size(), 309u);
}

TEST(FormatShortestDecimal, RoundTripsWithAFraction)
{
    const struct {
        double value;
        const char* expected;
    } cases[] = {
        {1.5, "1.5"},
        {2.0, "2.0"},
        {0.096, "0.096"},
        {1.411, "1.411"},
        {4.1, "4.1"},
        {3.0, "3.0"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {-2.5, "-2.5"},
        {0.1 + 0.2, "0.30000000000000004"},
        {1234567.0, "1234567.0"},
        {100000.0, "100000.0"},
        {0.00001, "0.00001"},
        {9999999999999998.0, "9999999999999998.0"},
        {1e16, "1.0e+16"},
        {1e20, "1.0e+20"},
        {2.5e-7, "2.5e-07"},
        {-1e300, "-1.0e+300"},
        {kNaN, "nan"},
        {kInf, "inf"},
        {-kInf, "-inf"},
    };
    for (const auto& c : cases) {
        const std::string text = Utils::formatShortestDecimal(c.value);
        EXPECT_EQ(text, c.expected) << c.value;
        if (std::isfinite(c.value)) {
            EXPECT_EQ(std::stod(text), c.value) << text;
        }
    }
}

TEST(FormatByteCount, UnitsDigitsAndBoundaries)
{
    const struct {
        std::uint64_t bytes;
        const char* expected;
    } cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {2, "2 bytes"},
        {999, "999 bytes"},
        {1000, "1 KB"},
        {1499, "1 KB"},
        {1500, "2 KB"},  // half to even
        {2500, "2 KB"},
        {2501, "3 KB"},
        {12345, "12 KB"},
        {999499, "999 KB"},
        {999500, "1 MB"},  // would be 1000 KB
        {999999, "1 MB"},
        {1000000, "1 MB"},
        {1500000, "1.5 MB"},
        {1050000, "1 MB"},  // 1.05 ties to the even 1.0
        {1150000, "1.2 MB"},
        {999949999, "999.9 MB"},
        {999950000, "1 GB"},
        {4380000000, "4.38 GB"},
        {4385000000, "4.38 GB"},
        {4395000000, "4.4 GB"},
        {20000000000, "20 GB"},
        {999995000000, "1 TB"},
        {1200000000000, "1.2 TB"},
        {1234567890123456, "1.23 PB"},
        {1000000000000000000, "1 EB"},
        {std::numeric_limits<std::uint64_t>::max(), "18.45 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utils::formatByteCount(c.bytes), c.expected) << c.bytes;
}

}  // namespace
}  // namespace vellinor
