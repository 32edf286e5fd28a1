#pragma once

// Utils: the formatting operations that turn raw facts into display text. Stateless; every
// operation runs on the caller's thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellinor::Utils {

// Size in bytes of the file at `path`; 0 when it cannot be read. Prints
// "Failed to get file attributes for local path: <path> with error: <reason>" or
// "Failed to get a size attribute from path: <path>" through the diagnostics sink.
std::uint64_t getFileSize(const std::string& path);

// The size as display text in decimal (1000-based) units, or "Unknown File Size" (with the
// same messages as getFileSize).
std::string getFileSizeHuman(const std::string& path);

// The byte-count text used by getFileSizeHuman: "0 bytes", "1 byte", "999 bytes", "1 KB",
// "12 KB", "1.5 MB", "4.38 GB", "1.2 TB" (KB whole, MB one fraction digit, GB and up two;
// trailing zeros dropped; "." as decimal point; no grouping).
std::string formatByteCount(std::uint64_t bytes);

// "HH:MM:SS.mmm": hours not reduced modulo 24, milliseconds cut (never rounded) from the
// floating-point remainder. 7.3 gives 00:00:07.299, 90000 gives 25:00:00.000.
std::string formatDuration(double seconds);

// Evaluates a frame rate written as "a/b" (decimal numbers, optional signs) in floating point.
// "0/0" gives NaN; text that is not such a fraction gives NaN. Never throws.
double evaluateFrameRate(std::string_view text);

// 0 to 3 fraction digits, half-to-even, "." as decimal point, no grouping: 29.97, 23.976, 25.
// NaN and infinities give no text.
std::optional<std::string> formatFrameRate(double framesPerSecond);

// A 64-bit float as the shortest decimal text that reads back to the same value, always with a
// fractional part: 1.5, 2.0, 0.096. (Used for bit rates in kbps and for codec levels.)
std::string formatShortestDecimal(double value);

}  // namespace vellinor::Utils
