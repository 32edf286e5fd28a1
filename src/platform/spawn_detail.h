#pragma once

// Pieces shared by the ways this folder starts child processes (internal to src/platform).

#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/child_watch.h"

namespace vellinor::platform::spawn_detail {

using platform::UniqueFd;

// The argument vector exec and posix_spawn take: the executable's path, the arguments, a null.
// They take char* const[] but never write through it. Valid while the strings are.
inline std::vector<char*> argumentVector(const std::string& executable,
                                         const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(executable.c_str()));
    for (const auto& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    return argv;
}

// A posix_spawn object (file actions, attributes), destroyed with its owner when it was made.
template <typename Object, int (*init)(Object*), int (*destroy)(Object*)>
class SpawnObject {
public:
    SpawnObject() { m_error = init(&m_object); }
    ~SpawnObject()
    {
        if (m_error == 0)
            destroy(&m_object);
    }
    SpawnObject(const SpawnObject&) = delete;
    SpawnObject& operator=(const SpawnObject&) = delete;

    [[nodiscard]] int error() const { return m_error; }
    [[nodiscard]] Object* get() { return &m_object; }

private:
    Object m_object{};
    int m_error = 0;
};

using SpawnFileActions = SpawnObject<posix_spawn_file_actions_t, posix_spawn_file_actions_init,
                                     posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnObject<posix_spawnattr_t, posix_spawnattr_init, posix_spawnattr_destroy>;

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
