#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "OrvalenFile.h"

namespace Orvalen {
namespace platform {

const char kPathSeparator = '/';

bool pathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

MakeDirectoryResult makeDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0755) == 0) return MakeDirectoryResult::Created;
    if (errno == EEXIST) return MakeDirectoryResult::AlreadyExists;
    if (errno == ENOENT) return MakeDirectoryResult::PathNotFound;
    return MakeDirectoryResult::Failed;
}

int64_t fileSize(const std::string& path) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) return -1;
    return static_cast<int64_t>(info.st_size);
}

bool commitToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
    // Devices and pipes cannot be synchronised; there is nothing to lose.
    return fsync(fileno(file)) == 0 || errno == EINVAL || errno == EROFS;
}

bool startCommitToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) return false;
#ifdef SYNC_FILE_RANGE_WRITE
    // Only a hint: a failure leaves the data to the next commit.
    sync_file_range(fileno(file), 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    return true;
}

bool truncateToEmpty(std::FILE* file) {
    return std::fflush(file) == 0 && ftruncate(fileno(file), 0) == 0;
}

}  // namespace platform
}  // namespace Orvalen
