// A kernel program carried inside a library in scrambled form: every byte is
// XORed with a repeating key whose terminating zero is part of the period, so
// the period is the key length plus one.
#pragma once

#include <cstddef>
#include <string>

namespace gpurt {

struct EmbeddedProgram {
    const unsigned char* bytes;
    std::size_t length;  // bytes of program text, without a terminating zero
    const char* key;     // lower-case letters and digits
};

// XOR with the key; the same operation scrambles and descrambles.
std::string descramble_program(const unsigned char* bytes, std::size_t length, const char* key);

inline std::string descramble_program(const EmbeddedProgram& program) {
    return descramble_program(program.bytes, program.length, program.key);
}

}  // namespace gpurt
