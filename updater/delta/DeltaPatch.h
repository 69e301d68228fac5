#pragma once

// Binary patches: one zstd frame that holds the new bytes, compressed with
// the old bytes as its reference ("patch-from"), so that what both share
// costs almost nothing. Long-distance matching and a window that spans both
// files find the shared parts of large files too.

#include <string>

namespace delta {

// The patch that rebuilds newBytes from oldBytes; empty when zstd fails.
std::string makePatch(const std::string& oldBytes, const std::string& newBytes);

// Rebuilds the new bytes into out, which must come to exactly newSize bytes.
// False, with the reason in error, for a patch that is not one frame of that
// size or that needs another reference.
bool applyPatch(const std::string& oldBytes, const std::string& patch, size_t newSize,
                std::string& out, std::string& error);

}  // namespace delta
