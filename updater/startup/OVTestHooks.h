#pragma once

// Hooks of the test build of Update (Update-testhooks) alone; the product
// never compiles them.
namespace OVTestHooks {

// OV_TEST_KILL_AFTER_STEP=k: the process kills itself (SIGKILL) after its
// k-th journal step, counting commit and recovery steps alike.
void install();

// OV_TEST_EXIT_AFTER_RECOVERY is set: Update ends right after its recovery.
bool exitAfterRecovery();

}  // namespace OVTestHooks
