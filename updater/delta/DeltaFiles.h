#pragma once

// Whole files in memory, for making and applying patches.

#include <cstdint>
#include <filesystem>
#include <string>

namespace delta {

// False when the file cannot be read or holds more than limit bytes.
bool readWholeFile(const std::filesystem::path& file, uint64_t limit, std::string& bytes);

// Writes bytes as the whole file, making the folders above it.
bool writeWholeFile(const std::filesystem::path& file, const std::string& bytes);

// Lower-case hex SHA-256.
std::string sha256Of(const std::string& bytes);

}  // namespace delta
