#pragma once

// Pieces shared by the ways this folder starts child processes (internal to src/platform).

#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include "platform/child_watch.h"

namespace vellinor::platform::spawn_detail {

using platform::UniqueFd;

class SpawnFileActions {
public:
    SpawnFileActions() { m_error = posix_spawn_file_actions_init(&m_actions); }
    ~SpawnFileActions()
    {
        if (m_error == 0)
            posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    [[nodiscard]] int error() const { return m_error; }
    [[nodiscard]] posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions{};
    int m_error = 0;
};

class SpawnAttributes {
public:
    SpawnAttributes() { m_error = posix_spawnattr_init(&m_attributes); }
    ~SpawnAttributes()
    {
        if (m_error == 0)
            posix_spawnattr_destroy(&m_attributes);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    [[nodiscard]] int error() const { return m_error; }
    [[nodiscard]] posix_spawnattr_t* get() { return &m_attributes; }

private:
    posix_spawnattr_t m_attributes{};
    int m_error = 0;
};

// The child gets its own process group, so a time-out also kills whatever it started itself,
// and a clean signal state: nothing blocked, nothing ignored (a caller that ignores SIGPIPE
// must not hand that on to the tool).
inline int prepareAttributes(SpawnAttributes& attributes)
{
    if (int error = attributes.error())
        return error;
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (int error = posix_spawnattr_setpgroup(attributes.get(), 0))
        return error;
    if (int error = posix_spawnattr_setsigmask(attributes.get(), &none))
        return error;
    if (int error = posix_spawnattr_setsigdefault(attributes.get(), &all))
        return error;
    return posix_spawnattr_setflags(
        attributes.get(), POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
}

}  // namespace vellinor::platform::spawn_detail
