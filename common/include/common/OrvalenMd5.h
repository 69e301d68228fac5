#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace Orvalen {

// MD5 digests (RFC 1321) as 32 lower-case hex characters. An empty result
// means no digest could be computed. One object per thread; every call starts
// from a fresh context.
class OrvalenMd5 {
public:
    OrvalenMd5();

    std::string getFromString(const std::string& input);
    // Reads the file in 1024-byte chunks; memory use does not grow with its size.
    std::string getFromFile(const std::string& path);

private:
    void reset();
    void update(const unsigned char* input, uint32_t length);
    std::string finish();
    void transform(const unsigned char block[64]);

    uint32_t mCount[2];  // message length in bits, low word first
    uint32_t mState[4];
    unsigned char mBuffer[64];
};

}  // namespace Orvalen
