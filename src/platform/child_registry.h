#pragma once

// Every child process group this program has running (the probe tool's runs and servers), so
// that a program that quits can end them all at once instead of waiting for each to finish or
// reach its time limit. runProcess and ServerProcess enrol what they start and leave before
// they reap it.

#include <sys/types.h>

namespace vellinor::platform::children {

// Records `pid`, the leader of its own process group. False once endAll has run: the caller
// must then kill and reap the child itself and count the start as failed.
bool enroll(pid_t pid);
// Forgets `pid`; called before the child is reaped, so its number is never killed once reused.
void leave(pid_t pid);
// True once endAll has run (and allowStarts has not): new children must not be started.
bool ending();
// Kills (SIGKILL) every enrolled child's process group and refuses every later start.
void endAll();
// Lets children be started again after endAll, for a program that goes on (tests).
void allowStarts();

}  // namespace vellinor::platform::children
