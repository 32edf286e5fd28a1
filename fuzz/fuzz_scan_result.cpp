// Fuzz target: arbitrary bytes as the deep scanner's output (progress lines and the document),
// read by the parser both faces use, and everything shown or written from the result.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "probe/scan_result.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace vellinor;
    fuzz::silenceDiagnostics();
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto scan = parseScanOutput(text);
    if (!scan)
        return 0;
    const auto verdict = scanVerdictLines(*scan);
    FUZZ_CHECK(!verdict.empty());
    FUZZ_CHECK(scan->damaged() == (verdict.front() != "No decode errors"));
    FUZZ_CHECK(scanReportLines(*scan).size() >= verdict.size());
    // The record is always writable JSON: texts from the file are mended to UTF-8.
    FUZZ_CHECK(scanRecord(*scan).rawString("utf-8", 0).has_value());
    return 0;
}
