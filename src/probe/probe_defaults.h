#pragma once

// What both front ends and every runner take unless told otherwise: how long the probe tool may
// run on one file, and how many files a comparison takes.

#include <chrono>
#include <cstddef>

#include "platform/run_limits.h"

namespace vellinor::probe_defaults {

// A probe still running after this long is given up and the file says "the probe tool timed
// out after 60 s" (a time limit of zero, where one can be set, means none). As long as any
// child run may take.
inline constexpr std::chrono::milliseconds kTimeLimit = platform::kDefaultRunTimeLimit;

// A comparison needs at least two files; the window compares at most eight, side by side (the
// command line takes any number).
inline constexpr std::size_t kFewestComparedFiles = 2;
inline constexpr std::size_t kMostComparedFiles = 8;

// Whether `files` files make a comparison of at most `most`.
constexpr bool canCompare(std::size_t files, std::size_t most = static_cast<std::size_t>(-1))
{
    return files >= kFewestComparedFiles && files <= most;
}

}  // namespace vellinor::probe_defaults
