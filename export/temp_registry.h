#pragma once
// The names of the temporary files this process is writing, and the child process groups that
// may still be writing into them, kept so that a handler of a terminating signal can end the
// children and remove the files before the process dies. Registering and forgetting are safe
// from any thread; stopping and removing are safe from a signal handler.
#include <string>

namespace lv::exporter {

// Records path as a live temporary file or folder. Returns a handle for forgetTemporary, or -1
// when the table is full or memory runs out (the file is then simply not removed on a signal).
int registerTemporary(const std::string& path);

// Drops the record of handle (a value from registerTemporary; -1 is ignored).
void forgetTemporary(int handle);

// Records leader, a child that leads a process group of its own, while this process waits for
// it. Returns a handle for forgetChildGroup, or -1 when every slot is taken (the group is then
// not stopped on a signal).
int registerChildGroup(int leader);

// Drops the record of handle (a value from registerChildGroup; -1 is ignored). Call it before
// reaping the leader, so that a signal never kills a group whose number was given away again.
void forgetChildGroup(int handle);

// Kills every recorded child process group with SIGKILL and reaps each leader.
// Async-signal-safe.
void stopRegisteredChildGroups();

// Stops the recorded child groups first (so that none writes again), then unlinks every
// recorded temporary file and removes every recorded folder that is then empty.
// Async-signal-safe: only reads the tables, kills, reaps, unlinks and removes folders.
void removeRegisteredTemporaries();

// How many temporaries are recorded now (for tests).
int registeredTemporaryCount();

} // namespace lv::exporter
