#pragma once

// The few file-system calls of the download module that differ between
// Windows and POSIX. Everything else uses the C runtime's file functions.

#include <cstdint>
#include <cstdio>
#include <string>

namespace Orvalen {
namespace platform {

// Separator written between a directory and a file name.
extern const char kPathSeparator;

enum class MakeDirectoryResult { Created, AlreadyExists, PathNotFound, Failed };

// True when something exists at the path (_access with mode 0, access F_OK).
bool pathExists(const std::string& path);
// Creates one directory level; the parent must exist.
MakeDirectoryResult makeDirectory(const std::string& path);
// Size of the file in bytes, -1 when it cannot be read (missing file).
int64_t fileSize(const std::string& path);
// Writes the stream's buffer out and commits the file's data to the disk.
bool commitToDisk(std::FILE* file);
// Writes the stream's buffer out to the system and, where it can, starts
// taking the file's data to the disk without waiting for it.
bool startCommitToDisk(std::FILE* file);
// Cuts the open file to zero length; later appends start at byte 0.
bool truncateToEmpty(std::FILE* file);

}  // namespace platform
}  // namespace Orvalen
