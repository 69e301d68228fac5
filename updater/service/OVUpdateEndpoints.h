#pragma once

#include <QString>

// The backend's base addresses, in table order: production first, then test.
// The built-in values come from the build (UPDATE_PRODUCTION_ENDPOINT,
// UPDATE_TEST_ENDPOINT); the environment variables of the same names, prefixed
// OV_, replace them at run time (staging backends, tests).
namespace OVUpdateEndpoints {

QString production();
QString test();
// The test endpoint for snMode 2, production for every other mode.
QString forSnMode(unsigned int snMode);

}  // namespace OVUpdateEndpoints
