#pragma once

// The manifest of a delta package: what the new tree holds and how each of
// its files is made from the old tree. Plain text, UTF-8, one record a line,
// each line ending in "\n":
//
//   update-delta 1
//   from <version name of the old tree>
//   to <version name of the new tree>
//   same <size> <sha256> <path>
//   whole <size> <sha256> <path>
//   patch <size> <sha256> <old size> <old sha256> <path>
//
// One file record for every file of the new tree, paths relative, "/"
// separated, unique. "same": the installed file is kept and must already
// hold these bytes. "whole": the new file is stored as file/<path> in the
// package. "patch": patch/<path> is a zstd frame that rebuilds the new file
// from the installed old file (its size and SHA-256 given) as the
// reference. SHA-256 in lower-case hex. A file only the old tree holds is not
// named and is left as it is.

#include <cstdint>
#include <string>
#include <vector>

namespace delta {

extern const char kManifestName[];  // the manifest's name in the package
extern const char kWholeFolder[];   // "file"
extern const char kPatchFolder[];   // "patch"

enum class FileKind { Same, Whole, Patch };

struct FileRecord {
    FileKind kind = FileKind::Same;
    std::string path;  // relative, "/" separated
    uint64_t size = 0;
    std::string sha256;
    uint64_t oldSize = 0;  // Patch only
    std::string oldSha256;
};

struct Manifest {
    std::string fromVersion;
    std::string toVersion;
    std::vector<FileRecord> files;
};

// The largest file the reader accepts as a patch's input or output: a patch
// is applied in memory.
constexpr uint64_t kLargestPatchedFile = uint64_t(1) << 30;

std::string writeManifest(const Manifest& manifest);

// False, with the first problem in error, unless every line is well formed:
// known records, decimal sizes, 64 lower-case hex digits, versions that are
// single non-empty words, paths that stay below the installation (no root,
// drive, empty, "." or ".." element, no backslash), no path twice.
bool readManifest(const std::string& text, Manifest& manifest, std::string& error);

}  // namespace delta
