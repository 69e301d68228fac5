#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Recorders.h"
#include "TestServers.h"

namespace testsupport {

// One reference backend for all tests of a suite; before each test its
// faults and the requests it saw are cleared, and so is the shared log.
class ReferenceBackendTest : public testing::Test {
protected:
    static void SetUpTestSuite() { slot() = std::make_unique<ReferenceBackend>(); }
    static void TearDownTestSuite() { slot().reset(); }

    void SetUp() override {
        ASSERT_TRUE(backend().running());
        ASSERT_TRUE(backend().reset());
        sharedTestLog().clear();
    }

    static ReferenceBackend& backend() { return *slot(); }
    static bool logged(const std::string& text) { return sharedTestLog().contains(text); }

private:
    static std::unique_ptr<ReferenceBackend>& slot() {
        static std::unique_ptr<ReferenceBackend> backend;
        return backend;
    }
};

}  // namespace testsupport
