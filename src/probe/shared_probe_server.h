#pragma once

// The probe server every Vellinor program of one user shares (`sniffer --listen`). It lives
// in $XDG_RUNTIME_DIR/vellinor/ (the folder 0700, its socket "probe.sock" 0600; each side
// checks that the other runs as the same user). The first program that needs it starts it;
// it stays until no program has been connected to it for kSharedServerIdle, until a newer
// build of the sniffer is installed, or until it is stopped (`vellinor-cli server stop`).
// Without a runtime folder of this user, or with VELLINOR_NO_SERVER set, nothing is shared:
// each program keeps private servers as ProbeService always did.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "base/expected.h"
#include "platform/server_process.h"
#include "probe/probe_defaults.h"

namespace vellinor {

// Set to anything but the empty text: no shared server.
inline constexpr const char* kNoServerVariable = "VELLINOR_NO_SERVER";
// How long the shared server stays once its last client is gone.
inline constexpr std::chrono::seconds kSharedServerIdle{60};

struct SharedServerPlace {
    std::string folder;      // $XDG_RUNTIME_DIR/vellinor
    std::string socketPath;  // folder/probe.sock
};

// Where this user's shared server lives, or nothing when sharing is off.
std::optional<SharedServerPlace> sharedServerPlace();

struct SharedServerRequest {
    std::string toolPath;  // the sniffer whose build the server must be
    std::chrono::milliseconds timeout = probe_defaults::kTimeLimit;
    std::size_t maxOutputBytes = 0;
    std::chrono::milliseconds idle = kSharedServerIdle;
};

// A connection to the shared server, greeted and given this client's limits; ready for the
// requests of serve_protocol.h. Starts the server when none runs (one start at a time, however
// many programs ask at once) and replaces one of another build. Fails when sharing is off or
// the server cannot be reached or started.
Expected<std::unique_ptr<platform::ServerProcess>> connectSharedServer(
    const SharedServerRequest& request);

struct SharedServerState {
    std::string socketPath;
    bool running = false;
    pid_t pid = 0;
    std::string identity;  // of the executable it runs
};

// Whether the server runs (asked over its socket). Fails when sharing is off.
Expected<SharedServerState> sharedServerState();

// Stops the server, if one runs, and waits until it is gone; its state before.
Expected<SharedServerState> stopSharedServer();

// The identity a server started from `executable` greets with (empty when it cannot be read).
std::string executableIdentity(const std::string& executable);

}  // namespace vellinor
