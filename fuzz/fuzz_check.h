#pragma once

// What the fuzz targets share: a check that stops the run with a readable message (libFuzzer
// then saves the input as a crash), and silence for the diagnostic lines the code under test
// prints on every bad input.

#include <cstdio>
#include <cstdlib>

#include "base/diagnostics.h"

// Variadic, so a condition may hold braces and commas.
#define FUZZ_CHECK(...)                                                                          \
    do {                                                                                         \
        if (!(__VA_ARGS__)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #__VA_ARGS__); \
            std::abort();                                                                        \
        }                                                                                        \
    } while (false)

namespace vellinor::fuzz {

// Sends diagnostics nowhere; call at the top of every input (cheap after the first call).
inline void silenceDiagnostics()
{
    static const bool silenced = [] {
        diagnostics::setSink([](std::string_view) {});
        return true;
    }();
    (void)silenced;
}

}  // namespace vellinor::fuzz
