// Response envelopes from the backend: any bytes must give a result, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "OrvalenBackendServerBase/OrvalenBSRecivedPackage.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Every refused input prints a log line; libFuzzer reports on stderr.
    return std::freopen("/dev/null", "w", stdout) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Orvalen::OrvalenBSRecivedPackage package;
    if (package.parseReceive(text.c_str())) {
        Orvalen::OrvalenBSRecivedPackage again;
        again.parseReceive(("{\"data\":" + package.data + "}").c_str());
    }
    return 0;
}
