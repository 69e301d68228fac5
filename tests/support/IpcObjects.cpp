#include "IpcObjects.h"

#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace testsupport {

int removeIpcObjectsKeyedIn(const std::string& folder) {
    int removed = 0;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename().string().rfind("qipc_", 0) != 0) continue;
        // Qt keys its System V objects with ftok(file, 'Q').
        const key_t key = ftok(it->path().c_str(), 'Q');
        if (key == -1) continue;
        const int segment = shmget(key, 0, 0);
        if (segment != -1 && shmctl(segment, IPC_RMID, nullptr) == 0) ++removed;
        const int semaphore = semget(key, 0, 0);
        if (semaphore != -1 && semctl(semaphore, 0, IPC_RMID) == 0) ++removed;
    }
    return removed;
}

void noteUpdateProcess(long long pid) {
    const char* file = std::getenv("UPDATER_IPC_PIDS");
    if (file && *file && pid > 0) std::ofstream(file, std::ios::app) << pid << "\n";
}

}  // namespace testsupport
