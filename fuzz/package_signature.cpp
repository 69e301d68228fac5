// The packageSignature member of a backend answer and a key list: any bytes
// must give a verdict, never a crash, and never Verified for a key that did
// not sign.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "OrvalenBackendServer/OrvalenPackageSignature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<Orvalen::SigningPublicKey> keys;
    std::string error;
    Orvalen::parsePublicKeys(text, keys, error);
    // Public key of the seed 0..31 (tests/support/TestSigningKeys.h, key A);
    // nothing here was signed with it.
    Orvalen::parsePublicKeys("A6EHv/POEL4dcN0Y50vAmWfk1jCbpQ1fHdyGZBJVMbg=", keys, error);
    const std::string statement =
        Orvalen::packageStatement("LUMI_DESK", "2.0.1", 26, std::string(64, '0'));
    if (Orvalen::verifyStatement(keys, statement, text) == Orvalen::SignatureVerdict::Verified) {
        std::abort();
    }
    return 0;
}
