#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include "OrvalenFile.h"

namespace Orvalen {
namespace platform {

const char kPathSeparator = '\\';

bool pathExists(const std::string& path) { return _access(path.c_str(), 0) == 0; }

MakeDirectoryResult makeDirectory(const std::string& path) {
    if (CreateDirectoryA(path.c_str(), nullptr)) return MakeDirectoryResult::Created;
    switch (GetLastError()) {
        case ERROR_ALREADY_EXISTS:
            return MakeDirectoryResult::AlreadyExists;
        case ERROR_PATH_NOT_FOUND:
            return MakeDirectoryResult::PathNotFound;
        default:
            return MakeDirectoryResult::Failed;
    }
}

int64_t fileSize(const std::string& path) {
    struct _stat64 info;
    if (_stat64(path.c_str(), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

bool commitToDisk(std::FILE* file) { return std::fflush(file) == 0 && _commit(_fileno(file)) == 0; }

// The system's lazy writer takes the data to the disk from here.
bool startCommitToDisk(std::FILE* file) { return std::fflush(file) == 0; }

bool truncateToEmpty(std::FILE* file) {
    return std::fflush(file) == 0 && _chsize_s(_fileno(file), 0) == 0;
}

}  // namespace platform
}  // namespace Orvalen
