#pragma once

// Why a child's run (the probe tool, the scanner, the packet reader) gave nothing to read, as
// the failure its caller reports: FileProbe::toolProblem for the probe tool. Every runner
// (one-shot or warm server) and every reader words them the same way, here.

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>

#include "base/expected.h"
#include "platform/process.h"

namespace vellinor::tool_problem {

// The largest probe document read, in bytes of the tool's output and in values. ffprobe's
// document for a long film with hundreds of chapters is a few hundred kilobytes; these bound
// what one file may cost while its document is parsed (under 500 MB, for a document of tiny
// values right at the byte limit) where nothing else does.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{32} << 20;
inline constexpr std::size_t kMaxDocumentValues = 2'000'000;

// How a child is named in its reasons.
struct ChildNames {
    std::string_view subject;    // "the probe tool"
    std::string_view cancelled;  // the reason of a run its caller gave up on (Cancel, quitting)
};
inline constexpr ChildNames kProbeTool{"the probe tool", "the probe was cancelled"};
inline constexpr ChildNames kScanner{"the scanner", "the scan was cancelled"};
inline constexpr ChildNames kPacketReader{"the packet reader", "the packet read was cancelled"};

// How a child's run ended, as its caller's failure, ok() for an exit (what its status means
// is the caller's to say). A signal is a failure even where the output before it is kept; a
// sandboxed sniffer's line naming the call it was refused is taken out of the output then
// (it is no document). The texts, for the probe tool:
//   timedOut        "the probe tool timed out after 60 s" ("... after 250 ms" below seconds)
//   signaled        "the probe tool was killed by signal 11", or
//                   "the probe tool was stopped by its sandbox: socket"
//   outputTooLarge  "the probe tool printed more than 32 MiB"
//   cancelled       "the probe was cancelled"
//   failedToStart   "could not start the probe tool: <why>"
Status childStatus(const ChildNames& child, platform::ProcessResult& result,
                   std::chrono::milliseconds timeLimit, std::size_t maxOutputBytes);

// The probe tool's own failures that no child outcome gives.
// "the probe tool timed out after 60 s"
Failure timedOut(std::chrono::milliseconds limit);
// "the probe tool printed more than 2000000 values"
Failure tooManyValues(std::size_t maxValues);
// "the probe tool is not among the resources" (no "sniffer" where the resources are looked for)
Failure missingTool();
// A run its caller gave up on before it started: "the probe was cancelled"
Failure cancelled();

}  // namespace vellinor::tool_problem
