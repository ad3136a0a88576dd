#pragma once
// The names of the temporary files this process is writing, kept so that a handler of a
// terminating signal can remove them before the process dies. Registering and forgetting are
// safe from any thread; removing is safe from a signal handler.
#include <string>

namespace lv::exporter {

// Records path as a live temporary file or folder. Returns a handle for forgetTemporary, or -1
// when the table is full or memory runs out (the file is then simply not removed on a signal).
int registerTemporary(const std::string& path);

// Drops the record of handle (a value from registerTemporary; -1 is ignored).
void forgetTemporary(int handle);

// Unlinks every recorded temporary file and removes every recorded folder that is then empty.
// Async-signal-safe: only reads the table, unlinks and removes folders.
void removeRegisteredTemporaries();

// How many temporaries are recorded now (for tests).
int registeredTemporaryCount();

} // namespace lv::exporter
