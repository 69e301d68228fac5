// Linked into the OpenCL test programs of an AddressSanitizer build. The leak check
// runs once the last test has finished, while the CPU OpenCL runtime's worker
// threads are still parked: at process exit they wind down at the same time
// as LeakSanitizer stops the world, and its thread tracer then crashes now
// and then. A check made here replaces the one at exit.
#include <gtest/gtest.h>
#include <sanitizer/lsan_interface.h>

namespace {

class LeakCheckBeforeExit : public testing::Environment {
public:
    void TearDown() override { __lsan_do_leak_check(); }
};

testing::Environment* const kLeakCheck = testing::AddGlobalTestEnvironment(new LeakCheckBeforeExit);

}  // namespace
