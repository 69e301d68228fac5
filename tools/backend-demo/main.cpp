// Shows the backend client's general pieces at work on real files:
//   backend-demo md5 FILE...    MD5 of each file, in md5sum's layout
//   backend-demo text TEXT      MD5 of a text
//   backend-demo pool FILE...   MD5 of all files at once on the six-thread pool
// The library's own log lines go to standard output in between.
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/HThread.h"
#include "common/OrvalenMd5.h"

namespace {

struct Result {
    std::string digest;
    std::thread::id worker;
};

// Results of the pool's tasks, filled on the workers.
struct Results {
    std::mutex mutex;
    std::condition_variable done;
    std::vector<Result> items;
    size_t finished = 0;
};

class DigestTask : public Orvalen::_Thread {
public:
    DigestTask(Results& results, size_t index, std::string path)
        : mResults(results), mIndex(index), mPath(std::move(path)) {}

    void Run(void*) override {
        const std::string digest = Orvalen::OrvalenMd5().getFromFile(mPath);
        {
            std::lock_guard<std::mutex> lock(mResults.mutex);
            mResults.items[mIndex] = {digest, std::this_thread::get_id()};
            ++mResults.finished;
        }
        mResults.done.notify_one();
        delete this;
    }

private:
    Results& mResults;
    size_t mIndex;
    std::string mPath;
};

int printDigest(const std::string& digest, const char* name) {
    if (digest.empty()) {
        std::printf("\nno digest for %s\n", name);
        return 1;
    }
    std::printf("\n%s  %s\n", digest.c_str(), name);
    return 0;
}

int digestFiles(int count, char** paths) {
    int failures = 0;
    Orvalen::OrvalenMd5 md5;
    for (int i = 0; i < count; ++i) failures += printDigest(md5.getFromFile(paths[i]), paths[i]);
    return failures ? 1 : 0;
}

int digestOnPool(int count, char** paths) {
    Results results;
    results.items.resize(count);
    Orvalen::ThreadPool::create(6);
    for (int i = 0; i < count; ++i) {
        Orvalen::ThreadPool::AddTask(new DigestTask(results, i, paths[i]));
    }
    {
        std::unique_lock<std::mutex> lock(results.mutex);
        results.done.wait(lock, [&] { return results.finished == size_t(count); });
    }
    Orvalen::ThreadPool::StopAll();

    std::vector<std::thread::id> workers;
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        failures += printDigest(results.items[i].digest, paths[i]);
        bool known = false;
        for (const auto& w : workers) known = known || w == results.items[i].worker;
        if (!known) workers.push_back(results.items[i].worker);
    }
    std::printf("%d files digested on %zu of the pool's threads\n", count, workers.size());
    return failures ? 1 : 0;
}

int usage() {
    std::fprintf(stderr,
                 "usage: backend-demo md5 FILE...\n"
                 "       backend-demo text TEXT\n"
                 "       backend-demo pool FILE...\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    const std::string command = argv[1];
    if (command == "md5") return digestFiles(argc - 2, argv + 2);
    if (command == "text") return printDigest(Orvalen::OrvalenMd5().getFromString(argv[2]), "-");
    if (command == "pool") return digestOnPool(argc - 2, argv + 2);
    return usage();
}
