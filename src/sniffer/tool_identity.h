#pragma once

#include <string>

namespace sniffer {

// One line naming this program, the libav libraries it runs with and its own build
// ("sniffer 0.1.0 libavformat 59.27.100 libavcodec 59.37.100 libavutil 57.28.100
// build 3f2a..."): a probe cache keyed on it is dropped whenever any of them changes.
std::string identity();

// Prints identity() and a newline; returns the exit status.
int printIdentity();

}  // namespace sniffer
