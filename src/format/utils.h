#pragma once

// Utils: the formatting operations that turn raw facts into display text. Stateless; every
// operation runs on the caller's thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellinor::Utils {

// Size in bytes of the file at `path` (symbolic links followed); 0 when it cannot be read.
// Prints "Failed to get file attributes for local path: <path> with error: <reason>" or
// "Failed to get a size attribute from path: <path>" through the diagnostics sink. Only the
// attributes are read: a FIFO, a device or a folder is never opened and gives its st_size.
std::uint64_t getFileSize(const std::string& path);

// The size as display text in decimal (1000-based) units, or "Unknown File Size" (with the
// same messages as getFileSize).
std::string getFileSizeHuman(const std::string& path);

// The byte-count text used by getFileSizeHuman: "0 bytes", "1 byte", "999 bytes", "1 KB",
// "12 KB", "1.5 MB", "4.38 GB", "1.2 TB" (KB whole, MB one fraction digit, GB and up two;
// trailing zeros dropped; "." as decimal point; no grouping). Rounds half to even on the exact
// count (1,500 bytes -> "2 KB", 2,500 -> "2 KB"); a value that rounds to 1000 of its unit moves
// up one (999,999 bytes -> "1 MB"). Units run up to EB.
std::string formatByteCount(std::uint64_t bytes);

// "HH:MM:SS.mmm": hours not reduced modulo 24; the remainder is rounded to whole microseconds,
// then cut to milliseconds. 7.3 gives 00:00:07.300, 17.04 00:00:17.040, 59.9999 00:00:59.999,
// 90000 gives 25:00:00.000.
// A negative value gives the text of its magnitude with one leading "-" (-61.5 gives
// -00:01:01.500; no sign when every field is zero); NaN, infinities and magnitudes of 2^63
// seconds or more give "--:--:--.---".
std::string formatDuration(double seconds);

// Evaluates a frame rate written as "a/b" (decimal numbers with optional sign, fraction and
// exponent; blanks around the parts allowed) in floating point: "30000/1001" gives 29.97...,
// "0/0" gives NaN, "1/0" gives infinity. A plain number ("25") is its own value. Anything else
// ("", "N/A", "1/2/3", "inf", a number beyond double's range) gives NaN. Never throws; does not
// depend on the locale.
double evaluateFrameRate(std::string_view text);

// 0 to 3 fraction digits, half-to-even, "." as decimal point, no grouping: 29.97, 23.976, 25.
// Rounds the exact binary value, so only ties that are exact in binary go to even
// (0.0625 -> "0.062", 0.1875 -> "0.188") while 0.0005, a hair above its tie, gives "0.001".
// Negative values carry "-", never "-0". NaN and infinities give no text.
std::optional<std::string> formatFrameRate(double framesPerSecond);

// A 64-bit float as the shortest decimal text that reads back to the same value, always with a
// fractional part: 1.5, 2.0, 0.096. (Used for bit rates in kbps and for codec levels.)
// Magnitudes in [1e-5, 1e16) and zero are written plainly (1234567.0, 0.00001); others in
// exponent form with a fractional mantissa (1.0e+20, 2.5e-07). NaN gives "nan", infinities
// "inf" and "-inf"; -0.0 gives "-0.0".
std::string formatShortestDecimal(double value);

}  // namespace vellinor::Utils
