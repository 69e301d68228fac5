#include "common/OrvalenMd5.h"

#include <cstdio>
#include <cstring>

#include "common/OrvalenDebugLog.h"

#define MD5_LOG(level, function, ...) \
    ORVALEN_CONSOLE_LOG("OrvalenMd5", level, function, __VA_ARGS__)

namespace Orvalen {

namespace {

// floor(abs(sin(i + 1)) * 2^32)
constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391,
};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

inline uint32_t rotateLeft(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

inline uint32_t loadLittleEndian(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void storeLittleEndian(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

const unsigned char kPadding[64] = {0x80};

}  // namespace

OrvalenMd5::OrvalenMd5() { reset(); }

void OrvalenMd5::reset() {
    mCount[0] = mCount[1] = 0;
    mState[0] = 0x67452301;
    mState[1] = 0xefcdab89;
    mState[2] = 0x98badcfe;
    mState[3] = 0x10325476;
    std::memset(mBuffer, 0, sizeof mBuffer);
}

void OrvalenMd5::transform(const unsigned char block[64]) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = loadLittleEndian(block + 4 * i);

    uint32_t a = mState[0], b = mState[1], c = mState[2], d = mState[3];
    // Fully unrolled, the branches and word rotation below fold away.
#pragma GCC unroll 64
    for (int i = 0; i < 64; ++i) {
        // The sum is split so that the terms not needing the newest word b
        // are added while b is still being computed.
        uint32_t early = a + kSine[i];
        uint32_t late;
        if (i < 16) {
            early += x[i];
            late = d ^ (b & (c ^ d));
        } else if (i < 32) {
            early += x[(5 * i + 1) & 15] + (c & ~d);
            late = b & d;
        } else if (i < 48) {
            early += x[(3 * i + 5) & 15];
            late = b ^ c ^ d;
        } else {
            early += x[(7 * i) & 15];
            late = c ^ (b | ~d);
        }
        const uint32_t next = b + rotateLeft(early + late, kShift[i / 16][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    mState[0] += a;
    mState[1] += b;
    mState[2] += c;
    mState[3] += d;
}

void OrvalenMd5::update(const unsigned char* input, uint32_t length) {
    uint32_t index = (mCount[0] >> 3) & 0x3f;
    const uint32_t addedBits = length << 3;
    mCount[0] += addedBits;
    if (mCount[0] < addedBits) ++mCount[1];
    mCount[1] += length >> 29;

    const uint32_t room = 64 - index;
    uint32_t i = 0;
    if (length >= room) {
        std::memcpy(mBuffer + index, input, room);
        transform(mBuffer);
        for (i = room; i + 63 < length; i += 64) transform(input + i);
        index = 0;
    }
    std::memcpy(mBuffer + index, input + i, length - i);
}

std::string OrvalenMd5::finish() {
    unsigned char bits[8];
    storeLittleEndian(bits, mCount[0]);
    storeLittleEndian(bits + 4, mCount[1]);

    const uint32_t index = (mCount[0] >> 3) & 0x3f;
    update(kPadding, index < 56 ? 56 - index : 120 - index);
    update(bits, 8);

    static const char kHex[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 0; i < 16; ++i) {
        const unsigned byte = (mState[i / 4] >> (8 * (i % 4))) & 0xff;
        text[2 * i] = kHex[byte >> 4];
        text[2 * i + 1] = kHex[byte & 0xf];
    }
    return text;
}

std::string OrvalenMd5::getFromString(const std::string& input) {
    if (input.empty()) {
        MD5_LOG(LEVEL_ERROR, "Orvalen::OrvalenMd5::getFromString",
                "%s input is null, file %s, line %d", "Orvalen::OrvalenMd5::getFromString",
                sourceFileName(__FILE__), __LINE__);
        return std::string();
    }
    reset();
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    // The update step counts in 32 bits; longer inputs go in slices.
    constexpr size_t kSlice = 1u << 30;
    for (size_t done = 0; done < input.size(); done += kSlice) {
        const size_t left = input.size() - done;
        update(bytes + done, static_cast<uint32_t>(left < kSlice ? left : kSlice));
    }
    return finish();
}

std::string OrvalenMd5::getFromFile(const std::string& path) {
    static const char* const kFunction = "Orvalen::OrvalenMd5::getFromFile";
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        MD5_LOG(LEVEL_ERROR, kFunction, "open %s fail, file %s, line %d", path.c_str(),
                sourceFileName(__FILE__), __LINE__);
        return std::string();
    }
    // Larger stream buffer: fewer system calls under the 1024-byte reads.
    std::setvbuf(file, nullptr, _IOFBF, 64 * 1024);
    reset();
    unsigned char chunk[1024] = {0};
    uint64_t fileCount = 0;
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        update(chunk, static_cast<uint32_t>(got));
        fileCount += got;
    }
    bool readFailed = false;
    if (std::feof(file)) {
        MD5_LOG(LEVEL_DEBUG, kFunction, "fread file end finish");
    } else if (std::ferror(file)) {
        std::perror("fread file error");
        MD5_LOG(LEVEL_DEBUG, kFunction, "fread file error");
        readFailed = true;
    }
    MD5_LOG(LEVEL_DEBUG, kFunction, "Orvalenmd5 fileCount[%llu]",
            static_cast<unsigned long long>(fileCount));
    std::fclose(file);
    // A digest of part of the file would pass for the digest of all of it.
    if (readFailed) return std::string();
    return finish();
}

}  // namespace Orvalen
