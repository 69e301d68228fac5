#include "service/OVUpdateEndpoints.h"

namespace OVUpdateEndpoints {

namespace {

constexpr unsigned int kTestSnMode = 2;

QString configured(const char* variable, const char* builtIn) {
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? QString::fromUtf8(builtIn) : value;
}

}  // namespace

QString production() {
    return configured("OV_UPDATE_PRODUCTION_ENDPOINT", UPDATE_PRODUCTION_ENDPOINT);
}

QString test() { return configured("OV_UPDATE_TEST_ENDPOINT", UPDATE_TEST_ENDPOINT); }

QString forSnMode(unsigned int snMode) { return snMode == kTestSnMode ? test() : production(); }

}  // namespace OVUpdateEndpoints
