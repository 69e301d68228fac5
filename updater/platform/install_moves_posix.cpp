#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "OVInstallJournal.h"

namespace OVPlatform {
namespace installfs {

bool moveReplacing(const fs::path& from, const fs::path& to, std::string& error) {
    if (std::rename(from.c_str(), to.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
}

bool appendDurably(const fs::path& file, const std::string& line, std::string& error) {
    const int fd = open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    const bool written = write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    if (!written) error = std::strerror(errno);
    const bool synced = written && fsync(fd) == 0;
    if (written && !synced) error = std::strerror(errno);
    close(fd);
    return synced;
}

bool sameOwner(const fs::path& path, const fs::path& reference) {
    struct stat of {
    }, ref{};
    return lstat(path.c_str(), &of) == 0 && stat(reference.c_str(), &ref) == 0 &&
           of.st_uid == ref.st_uid;
}

}  // namespace installfs
}  // namespace OVPlatform
