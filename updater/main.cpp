#include "service/OVPackageSigning.h"
#include "startup/OVUpdateEntry.h"

// The build's package signing keys: the CMake cache variable
// UPDATE_SIGNING_PUBLIC_KEYS (a test-only build of this file gets test keys).
int main(int argc, char** argv) {
    setBuiltInSigningKeys(UPDATE_SIGNING_PUBLIC_KEYS);
    return runUpdate(argc, argv);
}
