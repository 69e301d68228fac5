#pragma once

#include <string>

namespace testsupport {

// Removes the System V shared memory segments and semaphores keyed by Qt's
// key files ("qipc_*") in the folder: what a killed Update left behind when
// it ran with that folder as TMPDIR. Returns how many objects went.
int removeIpcObjectsKeyedIn(const std::string& folder);

}  // namespace testsupport
