#pragma once

// The one-line reasons a probe tool run gave nothing to read, shown as FileProbe::toolProblem.
// Every runner (one-shot or warm server) words them the same way.

#include <chrono>
#include <cstddef>
#include <string>

namespace vellinor::tool_problem {

// The largest probe document read, in bytes of the tool's output and in values. ffprobe's
// document for a long film with hundreds of chapters is a few hundred kilobytes; these bound
// what one file may cost while its document is parsed (under 500 MB, for a document of tiny
// values right at the byte limit) where nothing else does.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{32} << 20;
inline constexpr std::size_t kMaxDocumentValues = 2'000'000;

// "the probe tool timed out after 60 s" ("... after 250 ms" for limits below whole seconds).
std::string timedOut(std::chrono::milliseconds limit);
// "the probe tool was killed by signal 11"
std::string killedBySignal(int signalNumber);
// Why a run ended by `signalNumber`: "the probe tool was stopped by its sandbox: socket" when
// a sandboxed sniffer said which call it was refused (that line is then taken out of `output`:
// it is no document), killedBySignal() otherwise.
std::string endedBySignal(int signalNumber, std::string& output);
// "the probe tool printed more than 256 MiB"
std::string outputTooLarge(std::size_t maxBytes);
// "the probe tool printed more than 2000000 values"
std::string tooManyValues(std::size_t maxValues);
// "the probe tool is not among the resources" (no "sniffer" where the resources are looked for)
std::string missingTool();
// A run its caller gave up on (Cancel, quitting): "the probe was cancelled"
std::string cancelled();
// "could not start the probe tool: <why>"
std::string couldNotStart(const std::string& why);

}  // namespace vellinor::tool_problem
