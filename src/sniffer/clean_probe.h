#pragma once

// Whether a probe was clean: the libraries logged nothing at error level or worse (counted by
// an av_log callback, whatever the log level lets through) and every decoder the probe tried
// opened. A server's child goes on to another file only after clean ones, so a damaged file
// never shares a process with the next file's answer.

namespace sniffer::clean_probe {

// Starts watching for the next probe (installs the log callback the first time).
void begin();

// A decoder the probe tried would not open.
void decoderFailed();

// Nothing unclean since begin().
bool clean();

}  // namespace sniffer::clean_probe
