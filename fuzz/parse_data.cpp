// The data member of a backend answer: any bytes must give a result, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "OrvalenBackendServerBase/OrvalenOtaReceived.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every refused input prints a log line; libFuzzer reports on stderr.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Orvalen::OrvalenOtaReceived received;
    received.parseData(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
