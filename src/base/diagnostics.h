#pragma once

// The one place every single-line diagnostic goes through (file attributes, serialization,
// property lists, a failed tool start, a failed save). By default each line is written to
// standard output, as the window does; a front end may send them elsewhere (the command line
// sends them to standard error). Lines are delivered whole, one at a time, from any thread.

#include <functional>
#include <string_view>

namespace vellinor::diagnostics {

using Sink = std::function<void(std::string_view line)>;

// Delivers one line (without its line break) to the current sink.
void emitLine(std::string_view line);

// Delivers a line about the program's own state (its probe cache, a setting), never about the
// file being probed at the time: a front end that names the file lines come from leaves it out.
void emitGeneralLine(std::string_view line);
// True while the line being delivered to the sink came from emitGeneralLine.
bool deliveringGeneralLine();

// Replaces the sink; an empty function restores the default (standard output). Returns the
// previous sink so a caller can put it back.
Sink setSink(Sink sink);

}  // namespace vellinor::diagnostics
