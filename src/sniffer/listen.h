#pragma once

// `sniffer --listen`: the shared probe server of one user. It leaves its caller's session
// (so it outlives the program that started it), holds a lock file for as long as it runs (so
// two starts at once give one server), listens on a Unix socket, and for each connection of a
// process of its own user forks a per-client server running the `--serve` loop over that
// connection: the libraries and decoders set up once before forking stay warm for everyone.
// Per-client servers and their children die with it.
//
// It ends once no client has been connected for the idle time, when the executable it was
// started from is replaced by another build (after its clients are done), and on SIGTERM,
// SIGINT or SIGHUP (at once). It removes its socket when it ends.
//
// The process started by the caller waits until the server listens and prints "ready" (or
// "busy" when another server holds the lock, or why it could not start), then exits.

#include "sniffer/serve.h"

namespace sniffer {

// argv: "--listen" SOCKET "--lock" FILE "--idle" MILLISECONDS ["--memory-limit" BYTES].
int runListen(int argc, char** argv, const ProbeFunction& probe);

}  // namespace sniffer
