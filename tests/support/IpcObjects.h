#pragma once

#include <string>

namespace testsupport {

// Removes the System V shared memory segments and semaphores keyed by Qt's
// key files ("mQipc*") in the folder: what a killed Update left behind when
// it ran with that folder as TMPDIR. Returns how many objects went.
int removeIpcObjectsKeyedIn(const std::string& folder);

// Notes the process id of an Update program a test started, for the check
// of the IPC-objects fixture (tests/support/ipc_objects.sh): one line in
// $UPDATER_IPC_PIDS, when that is set.
void noteUpdateProcess(long long pid);

}  // namespace testsupport
